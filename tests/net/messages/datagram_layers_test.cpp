// The test server's datagram layer against the game's packet queue: the server's first
// datagram, and guaranteed messages both ways through a faulty channel (losses, duplicates,
// reordering, late acknowledgements) delivered once each.
#include "net/messages/game_messages.h"
#include "net/transport/packet_queue.h"

#include "platform/clock.h"
#include "tests/net/net_fixture.h"
#include "tests/support/virtual_clock.h"
#include "tools/mpserver/mp_link.h"
#include "tools/mpserver/mp_messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>
#include <random>

namespace {

using mpserver::Direction;
using mpserver::Message;
using nettest::Bytes;
using nettest::ScriptedTransport;
namespace msg = mpserver::msg;

class DatagramLayersTest : public nettest::NetTest {
protected:
    void SetUp() override {
        nettest::NetTest::SetUp();
        fresh_queue();
    }
    // A new queue over a new scripted transport.
    void fresh_queue() {
        queue_.reset();
        transport_.reset();
        ASSERT_EQ(OmCreate(CLSID_PacketQueue, IID_IPacketQueue, queue_.put()), 0);
        ScriptedTransport* t = nullptr;
        ASSERT_EQ(om_new_component(&t), 0);
        transport_.attach(t);
        queue_->SetOption(OM_QUEUE_TRANSPORT, reinterpret_cast<uintptr_t>(t));
    }
    void TearDown() override {
        queue_.reset();
        transport_.reset();
        nettest::NetTest::TearDown();
    }

    // Every message the queue has received: type, flags and payload.
    std::vector<std::tuple<uint16_t, uint16_t, Bytes>> client_received() {
        std::vector<std::tuple<uint16_t, uint16_t, Bytes>> out;
        IBinaryStreamComposer* packet = nullptr;
        uint16_t type = 0, flags = 0;
        while (queue_->Receive(&packet, &type, &flags) == 0) {
            IByteStream* s = packet->GetStream();
            uint32_t n = 0;
            s->Seek(0, OM_SEEK_END, &n);
            s->Seek(0, OM_SEEK_START, nullptr);
            Bytes b(n);
            uint32_t done = 0;
            if (n) s->Read(b.data(), n, &done);
            packet->Release();
            out.emplace_back(type, flags, b);
        }
        return out;
    }

    ComRef<IPacketQueue> queue_;
    ComRef<ScriptedTransport> transport_;
};

TEST_F(DatagramLayersTest, TheServersFirstDatagramIsTheGoldenOneAndTheGameReadsIt) {
    testsupport::VirtualClockScope clock(0);
    mpserver::Link link;
    link.queue(msg::player_id, 0,
               mpserver::encode(Message(msg::player_id).set("id", 1), Direction::ToClient));
    link.queue(msg::game_parameters, 0,
               mpserver::encode(Message(msg::game_parameters).set("mission", 1).set("slot", 0),
                                Direction::ToClient));
    auto d = link.datagram(0);
    ASSERT_TRUE(d);
    const Bytes golden = {0x00, 0xFF, 0x11, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00,
                          0x00, 0x01, 0x00, 0x00, 0x00, 0x15, 0x00, 0x00, 0x00,
                          0x05, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(*d, golden);

    transport_->deliver(golden);
    ASSERT_EQ(queue_->Pump(0), 0);
    IBinaryStreamComposer* packet = nullptr;
    uint16_t type = 0, flags = 0;
    ASSERT_EQ(queue_->Receive(&packet, &type, &flags), 0);
    EXPECT_EQ(type, 17);
    auto id = TvDecodeToClientPlayerId(packet);
    packet->Release();
    ASSERT_TRUE(id);
    EXPECT_EQ(id->playerId, 1u);
    ASSERT_EQ(queue_->Receive(&packet, &type, &flags), 0);
    EXPECT_EQ(type, 21);
    auto parameters = TvDecodeToClientGameParameters(packet);
    packet->Release();
    ASSERT_TRUE(parameters);
    EXPECT_EQ(parameters->mission, 1);
    EXPECT_EQ(parameters->slot, 0u);

    // The game's join request goes as a class-32 message of 89 bytes and acknowledges the
    // server's datagram 0.
    IBinaryStreamComposer* join = queue_->NewPacket();
    ASSERT_EQ(TvEncode(join, TvToServerJoinRequest{}), 0);
    ASSERT_EQ(
        queue_->Send(join, uint16_t(TvToServerJoinRequest::type), TvToServerJoinRequest::flags), 0);
    ASSERT_EQ(queue_->Pump(OM_PUMP_FORCE), 0);
    ASSERT_FALSE(transport_->sent.empty());
    const Bytes& sent = transport_->sent.back();
    std::vector<mpserver::Received> got;
    ASSERT_EQ(link.receive(sent.data(), sent.size(), got), mpserver::Link::Accept::Read);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 19);
    EXPECT_EQ(got[0].flags, 0xa1);
    EXPECT_EQ(got[0].payload.size(), 89u);
    EXPECT_EQ(sent[1], 0x00);

    // An acknowledgement the server's link never sent is refused, like the queue refuses one.
    Bytes bad_ack = {1, 9};
    EXPECT_EQ(link.receive(bad_ack.data(), bad_ack.size(), got), mpserver::Link::Accept::NeverSent);
    for (const Bytes& cut :
         {Bytes{}, Bytes{7}, Bytes{2, 0, 19, 0, 0xa1}, Bytes{2, 0, 1, 0, 0, 0, 9, 0, 0, 0}})
        EXPECT_EQ(link.receive(cut.data(), cut.size(), got), mpserver::Link::Accept::Malformed);
}

// A channel that loses, repeats, reorders and delays datagrams, deterministically.
class FaultyChannel {
public:
    explicit FaultyChannel(uint32_t seed) : random_(seed) {}
    void put(const Bytes& d) {
        uint32_t roll = random_() % 100;
        if (roll < 20) return;          // lost
        uint32_t delay = random_() % 4; // late: up to three steps
        in_flight_.push_back({step_ + delay, d});
        if (roll < 30) in_flight_.push_back({step_ + delay + 1, d}); // repeated
    }
    // What arrives at this step, in an order the delays shuffle.
    std::vector<Bytes> take() {
        ++step_;
        std::vector<Bytes> out;
        for (auto it = in_flight_.begin(); it != in_flight_.end();) {
            if (it->first <= step_) {
                out.push_back(it->second);
                it = in_flight_.erase(it);
            } else {
                ++it;
            }
        }
        return out;
    }

private:
    std::mt19937 random_;
    uint32_t step_ = 0;
    std::deque<std::pair<uint32_t, Bytes>> in_flight_;
};

TEST_F(DatagramLayersTest, GuaranteedMessagesArriveOnceEachBothWaysThroughAFaultyChannel) {
    const uint16_t classes[] = {0x84, 0x89, 0x91, 0xa1, 0x04, 0x08};
    for (uint32_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        fresh_queue();
        testsupport::VirtualClockScope clock(1000);
        mpserver::Link link;
        FaultyChannel to_server(seed), to_client(seed * 7 + 1);
        constexpr int count = 60;
        std::vector<int> at_server, at_client;
        uint32_t now = 1000;
        for (int step = 0; step < 2000; ++step) {
            if (step < count) {
                uint16_t flags = classes[step % 6];
                link.queue(500, flags, Bytes{uint8_t(step), uint8_t(step >> 8)});
                IBinaryStreamComposer* p = queue_->NewPacket();
                int32_t value = step;
                p->Int(&value);
                queue_->Send(p, 501, uint16_t(flags & ~0x40));
            }
            now += 20;
            platform::set_virtual_time(now);
            // The game's side: its pump, then what reached it.
            for (const Bytes& d : to_client.take()) transport_->deliver(d);
            queue_->Pump(0);
            for (const auto& [type, flags, payload] : client_received()) {
                ASSERT_EQ(type, 500);
                at_client.push_back(payload[0] | payload[1] << 8);
            }
            for (const Bytes& d : transport_->sent) to_server.put(d);
            transport_->sent.clear();
            // The server's side.
            for (const Bytes& d : to_server.take()) {
                std::vector<mpserver::Received> got;
                link.receive(d.data(), d.size(), got);
                for (const auto& r : got) {
                    ASSERT_EQ(r.type, 501);
                    int32_t v;
                    std::memcpy(&v, r.payload.data(), 4);
                    at_server.push_back(v);
                }
            }
            if (step % 2 == 0) {
                if (auto d = link.datagram(now)) to_client.put(*d);
            }
            if (int(at_server.size()) == count && int(at_client.size()) == count &&
                link.waiting() == 0)
                break;
        }
        for (std::vector<int>* got : {&at_server, &at_client}) {
            ASSERT_EQ(int(got->size()), count);
            std::vector<int> sorted = *got;
            std::sort(sorted.begin(), sorted.end());
            for (int i = 0; i < count; ++i) EXPECT_EQ(sorted[size_t(i)], i);
        }
        EXPECT_EQ(link.waiting(), 0u);
    }
}

TEST_F(DatagramLayersTest,
       WithoutLossesGuaranteedMessagesKeepTheirOrderDespiteDuplicatesAndLateAcks) {
    testsupport::VirtualClockScope clock(1000);
    mpserver::Link link;
    std::vector<int> at_server, at_client;
    std::deque<Bytes> late_acks;
    uint32_t now = 1000;
    for (int step = 0; step < 400; ++step) {
        if (step < 40) {
            link.queue(500, 0x21, Bytes{uint8_t(step)}); // no 0x80: in queue order
            IBinaryStreamComposer* p = queue_->NewPacket();
            int32_t value = step;
            p->Int(&value);
            queue_->Send(p, 501, 0x09);
        }
        now += 20;
        platform::set_virtual_time(now);
        queue_->Pump(0);
        for (const auto& [type, flags, payload] : client_received())
            at_client.push_back(payload[0]);
        for (const Bytes& d : transport_->sent) {
            for (int copy = 0; copy < 2; ++copy) {
                std::vector<mpserver::Received> got;
                link.receive(d.data(), d.size(), got);
                for (const auto& r : got) at_server.push_back(r.payload[0]);
            }
        }
        transport_->sent.clear();
        if (auto d = link.datagram(now)) late_acks.push_back(*d);
        // The server's datagrams (and so its acknowledgements) arrive three steps late.
        if (late_acks.size() > 3) {
            transport_->deliver(late_acks.front());
            late_acks.pop_front();
        }
    }
    std::vector<int> expected(40);
    for (int i = 0; i < 40; ++i) expected[size_t(i)] = i;
    EXPECT_EQ(at_server, expected);
    EXPECT_EQ(at_client, expected);
}

} // namespace
