// The network client: Init's first failing result, the connecting countdown and time-out on
// the virtual clock, and a whole session against an in-process host (join with the machine id,
// message 17, traffic both ways, the session lost, Stop).
#include "net/client/om_aerovant_client.h"

#include "platform/clock.h"
#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_connection.h"
#include "platform/dplay/host/dplay_host.h"
#include "tests/net/net_fixture.h"
#include "tests/net/network_classes.h"
#include "tests/support/framework_classes.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using nettest::Bytes;

struct Log {
    std::vector<std::string> lines;
    static void add(const char* text, void* context) {
        static_cast<Log*>(context)->lines.push_back(text);
    }
    bool has(const std::string& line) const {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

struct Countdown {
    std::vector<int32_t> shown; // each second once, in order
    bool sleep_wall = false;
    static void show(void* context, const char* page, int32_t seconds) {
        auto* self = static_cast<Countdown*>(context);
        EXPECT_STREQ(page, "menus\\connecting.html");
        if (self->shown.empty() || self->shown.back() != seconds) self->shown.push_back(seconds);
        if (self->sleep_wall) std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
};

ComRef<IOmAerovantClient> make_client() {
    ComRef<IOmAerovantClient> client;
    EXPECT_EQ(OmCreate(CLSID_OmAerovantClient, IID_IOmAerovantClient, client.put()), 0);
    return client;
}

// A loopback port nobody listens on.
uint16_t closed_port() {
    uint16_t port = 0;
    int fd = platform::dplay_socket::listen_on("127.0.0.1", 0, &port);
    ::close(fd);
    return port;
}

class ClientInitTest : public testsupport::FrameworkTest {};

TEST_F(ClientInitTest, InitReportsTheFirstFailingStepAndStillSetsUpThePlayer) {
    IObjectManager* manager = OmGetObjectManager();
    testsupport::register_storage_classes(manager);
    testsupport::register_system_classes(manager);
    OmAerovantClient_RegisterClasses(manager);
    ComRef<IOmTransport> missing;
    OmResult no_transport = OmCreate(CLSID_Win32Dx6Transport, IID_IOmTransport, missing.put());
    ASSERT_LT(no_transport, 0);

    auto client = make_client();
    Log log;
    client->SetLogCallback(Log::add, &log);
    EXPECT_EQ(client->Init("example"), no_transport);
    TvPlayerInfo* player = nullptr;
    ASSERT_EQ(client->GetLocalPlayer(&player), 0);
    EXPECT_STREQ(player->name, "PlayerName");
    EXPECT_STREQ(player->planeId, "aircodh2");
    EXPECT_EQ(player->localWord, 10u);
    EXPECT_TRUE(log.has("AerovantClient Initialised."));

    // With the transport present the queue is the step that fails.
    Win32Dx6Transport_RegisterClasses(manager);
    ComRef<IPacketQueue> no_queue;
    OmResult queue_missing = OmCreate(CLSID_PacketQueue, IID_IPacketQueue, no_queue.put());
    EXPECT_EQ(client->Init("example"), queue_missing);
    EXPECT_EQ(client->GetPacketQueue(), nullptr);
}

class ClientTest : public nettest::NetTest {
protected:
    void SetUp() override {
        nettest::NetTest::SetUp();
        platform::set_direct_play_timing(platform::DirectPlayTiming{});
        client_ = make_client();
        client_->SetLogCallback(Log::add, &log_);
        client_->SetStatusPage(Countdown::show, &countdown_);
    }
    void TearDown() override {
        client_.reset();
        nettest::NetTest::TearDown();
    }

    ComRef<IOmAerovantClient> client_;
    Log log_;
    Countdown countdown_;
};

TEST_F(ClientTest, WithNoServerTheCountdownRunsThirtyToOneAndTimesOutAt31Seconds) {
    testsupport::VirtualClockScope clock(5000);
    std::string address = "127.0.0.1:" + std::to_string(closed_port());
    ASSERT_EQ(client_->Init(address.c_str()), 0);
    static int progress_calls;
    progress_calls = 0;
    uint32_t start = platform::timeGetTime();
    ASSERT_EQ(client_->TvStartSessionJoin(
                  [](void*) {
                      ++progress_calls;
                      return OmResult(0);
                  },
                  nullptr, "0123456789abcdef", 16),
              0);
    uint32_t elapsed = platform::timeGetTime() - start;
    std::vector<int32_t> expected;
    for (int32_t s = 30; s >= 1; --s) expected.push_back(s);
    EXPECT_EQ(countdown_.shown, expected);
    EXPECT_GE(elapsed, 31000u);
    EXPECT_LT(elapsed, 31100u);
    EXPECT_GT(progress_calls, 0);
    EXPECT_EQ(client_->Stop(), 0); // the join thread is done after it
    EXPECT_TRUE(log_.has("TCP/IP Service Started."));
    EXPECT_TRUE(log_.has("Could not start session."));
    EXPECT_EQ(client_->Close(), 0);
}

TEST_F(ClientTest, ACancelledSearchStillWaitsForTheJoin) {
    testsupport::VirtualClockScope clock(0);
    std::string address = "127.0.0.1:" + std::to_string(closed_port());
    ASSERT_EQ(client_->Init(address.c_str()), 0);
    uint32_t start = platform::timeGetTime();
    client_->TvStartSessionJoin([](void*) { return OmResult(-1); }, nullptr, nullptr, 0);
    EXPECT_GE(platform::timeGetTime() - start, 31000u);
    EXPECT_EQ(countdown_.shown.front(), 30);
}

// The countdown gives up on a join that hangs; Stop then ends it at once and the join thread
// is gone before the transport is.
TEST_F(ClientTest, StopEndsAJoinTheCountdownGaveUpOn) {
    testsupport::VirtualClockScope clock(0);
    platform::DirectPlayTiming slow;
    slow.join_ms = 60000;
    platform::set_direct_play_timing(slow);
    auto host = platform::DirectPlayHost::start(platform::DirectPlayHostOptions{});
    ASSERT_TRUE(host);
    host->set_answer_joins(false);
    std::string address = "127.0.0.1:" + std::to_string(host->port());
    ASSERT_EQ(client_->Init(address.c_str()), 0);
    // The search waits for the host on the wall clock; the countdown then runs out fast.
    client_->TvStartSessionJoin(
        [](void*) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return OmResult(0);
        },
        nullptr, nullptr, 0);
    EXPECT_TRUE(log_.has("Session: AerovantServer"));
    EXPECT_EQ(countdown_.shown.back(), 1);
    client_->Poll(0); // the transport is still in use by the blocked join
    auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(client_->Stop(), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_TRUE(log_.has("Could not start session."));
    client_.reset();
    platform::set_direct_play_timing(platform::DirectPlayTiming{});
}

struct Session {
    std::vector<uint32_t> ids; // the player id the handler was given
    std::vector<uint16_t> types;
    std::vector<uint32_t> values; // the message's first 32 bits
    std::vector<uint32_t> events; // queue system events
    static OmResult handle(void* context, uint32_t player_id, IBinaryStreamComposer* packet,
                           uint16_t type, uint16_t) {
        auto* self = static_cast<Session*>(context);
        uint32_t value = 0;
        packet->Field(OM_FIELD_BITS, 32, &value);
        self->ids.push_back(player_id);
        self->types.push_back(type);
        self->values.push_back(value);
        return 0;
    }
    static OmResult event(uintptr_t context, OmTransportMessage* m) {
        reinterpret_cast<Session*>(context)->events.push_back(m->kind);
        return 0;
    }
};

// A datagram from the server as the queue lays it out: one plain message with a 32-bit value.
Bytes server_datagram(uint8_t serial, uint16_t type, uint32_t value) {
    Bytes d = {serial, 0xFF, uint8_t(type), uint8_t(type >> 8), 0, 0, 5, 0, 0, 0};
    for (int i = 0; i < 4; ++i) d.push_back(uint8_t(value >> (8 * i)));
    d.push_back(0); // the flush byte
    return d;
}

template <class F>
bool eventually(F condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

TEST_F(ClientTest, AWholeSessionAgainstAnInProcessHost) {
    testsupport::VirtualClockScope clock(0);
    auto host = platform::DirectPlayHost::start(platform::DirectPlayHostOptions{});
    ASSERT_TRUE(host);
    uint32_t server = host->create_port(nullptr, 0);
    Session session;
    // Installed before Init: the new queue still reports to it.
    client_->SetQueueCallback(Session::event, reinterpret_cast<uintptr_t>(&session));
    client_->SetMessageHandler(Session::handle, &session);
    std::string address = "127.0.0.1:" + std::to_string(host->port());
    ASSERT_EQ(client_->Init(address.c_str()), 0);

    // Before Start nothing is pumped or delivered.
    client_->Poll(1);
    EXPECT_TRUE(session.types.empty());

    countdown_.sleep_wall = true; // the join runs on wall time
    ASSERT_EQ(client_->TvStartSessionJoin(nullptr, nullptr, "machine-game-id!", 16), 0);
    EXPECT_TRUE(log_.has("Session: AerovantServer"));
    EXPECT_TRUE(log_.has("Connected to Session"));
    EXPECT_TRUE(log_.has("Created Port."));
    platform::DirectPlayHostMessage m;
    ASSERT_TRUE(host->wait_message(5000));
    ASSERT_TRUE(host->receive(&m));
    EXPECT_EQ(m.kind, 0u);
    EXPECT_EQ(std::string(m.data.begin(), m.data.end()), "machine-game-id!");
    const uint32_t client_port = m.from;

    // Message 17 gives the player id: the handler sees it first, with the old id.
    Bytes d17 = server_datagram(0, 17, server);
    ASSERT_EQ(host->send(server, client_port, 0, d17.data(), uint32_t(d17.size())), 0);
    ASSERT_TRUE(eventually([&] {
        client_->Poll(0);
        return !session.types.empty();
    }));
    EXPECT_EQ(session.types[0], 17);
    EXPECT_EQ(session.ids[0], 0u);
    EXPECT_EQ(session.values[0], server);
    Bytes d21 = server_datagram(1, 21, 3);
    ASSERT_EQ(host->send(server, client_port, 0, d21.data(), uint32_t(d21.size())), 0);
    ASSERT_TRUE(eventually([&] {
        client_->Poll(0);
        return session.types.size() == 2;
    }));
    EXPECT_EQ(session.ids[1], server);

    // The client's messages go to the player id it was given, from its own port.
    IBinaryStreamComposer* packet = client_->NewPacket();
    ASSERT_NE(packet, nullptr);
    int32_t value = 0x01020304;
    packet->Int(&value);
    ASSERT_EQ(client_->Send(packet, 19, 0xa1), 0);
    client_->Poll(OM_PUMP_FORCE);
    ASSERT_TRUE(eventually([&] { return host->receive(&m) && m.kind == 16 && m.data.size() > 2; }));
    EXPECT_EQ(m.from, client_port);
    EXPECT_EQ(m.to, server);
    ASSERT_GE(m.data.size(), 11u);
    EXPECT_EQ(m.data[1], 1); // acknowledges the server's datagram 1
    EXPECT_EQ(m.data[2], 19);

    // The session's end reaches the installed queue callback.
    host->disconnect_members();
    ASSERT_TRUE(eventually([&] {
        client_->Poll(0);
        return !session.events.empty();
    }));
    EXPECT_EQ(session.events.back(), OM_TRANSPORT_SESSION_LOST);
    EXPECT_TRUE(log_.has("Session lost."));

    // After Stop nothing is delivered.
    EXPECT_EQ(client_->Stop(), 0);
    size_t before = session.types.size();
    client_->Poll(OM_PUMP_FORCE);
    EXPECT_EQ(session.types.size(), before);
    EXPECT_EQ(client_->Close(), 0);
}

} // namespace
