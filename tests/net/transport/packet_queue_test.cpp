// The packet queue over a scripted transport: golden datagrams, pass order, resend timing on
// the virtual clock, acknowledgements, losses, duplicates, stale and damaged datagrams,
// oversized payloads, options and the queue over the null transport.
#include "net/transport/packet_queue.h"

#include "framework/containers/com_list.h"

#include "platform/clock.h"
#include "tests/net/net_fixture.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using nettest::Bytes;
using nettest::ScriptedTransport;

struct Parsed {
    uint16_t type;
    uint16_t flags;
    int serial; // -1 for a plain message
    Bytes payload;
};

// Reads a datagram the way its layout is documented (the test's own reading, not the queue's).
std::vector<Parsed> parse(const Bytes& d) {
    std::vector<Parsed> out;
    size_t at = 2;
    while (at < d.size()) {
        Parsed p{};
        p.type = uint16_t(d[at] | d[at + 1] << 8);
        p.flags = uint16_t(d[at + 2] | d[at + 3] << 8);
        at += 4;
        p.serial = (p.flags & 0x3C) ? d[at++] : -1;
        uint32_t n = d[at] | d[at + 1] << 8 | d[at + 2] << 16 | uint32_t(d[at + 3]) << 24;
        at += 4;
        p.payload.assign(d.begin() + std::ptrdiff_t(at), d.begin() + std::ptrdiff_t(at + n));
        at += n;
        out.push_back(p);
    }
    return out;
}

struct Received {
    uint16_t type;
    uint16_t flags;
    Bytes payload;
};

class PacketQueueTest : public nettest::NetTest {
protected:
    void SetUp() override {
        nettest::NetTest::SetUp();
        a_ = make_queue(&ta_);
        b_ = make_queue(&tb_);
    }
    void TearDown() override {
        a_.reset();
        b_.reset();
        ta_.reset();
        tb_.reset();
        nettest::NetTest::TearDown();
    }

    ComRef<IPacketQueue> make_queue(ComRef<ScriptedTransport>* transport) {
        ComRef<IPacketQueue> q;
        EXPECT_EQ(OmCreate(CLSID_PacketQueue, IID_IPacketQueue, q.put()), 0);
        ScriptedTransport* t = nullptr;
        EXPECT_EQ(om_new_component(&t), 0);
        transport->attach(t);
        q->SetOption(OM_QUEUE_TRANSPORT, reinterpret_cast<uintptr_t>(t));
        return q;
    }

    // Queues a message whose payload is `bytes` written as 8-bit fields (plus the flush byte).
    static void send(IPacketQueue* q, uint16_t type, uint16_t flags, const Bytes& bytes) {
        IBinaryStreamComposer* packet = q->NewPacket();
        ASSERT_NE(packet, nullptr);
        for (uint8_t byte : bytes) {
            uint8_t b = byte;
            packet->Field(OM_FIELD_BITS, 8, &b);
        }
        ASSERT_EQ(q->Send(packet, type, flags), 0);
    }

    static std::vector<Received> drain(IPacketQueue* q) {
        std::vector<Received> out;
        for (;;) {
            IBinaryStreamComposer* packet = nullptr;
            uint16_t type = 0, flags = 0;
            if (q->Receive(&packet, &type, &flags) < 0) break;
            Received r{type, flags, {}};
            IByteStream* s = packet->GetStream();
            uint8_t byte;
            uint32_t done = 0;
            while (s->Read(&byte, 1, &done) >= 0 && done == 1) r.payload.push_back(byte);
            packet->Release();
            out.push_back(r);
        }
        return out;
    }

    // A forced pump: sends now, then reads what arrived.
    static OmResult pump(IPacketQueue* q) { return q->Pump(OM_PUMP_FORCE); }

    testsupport::VirtualClockScope clock_{1000};
    ComRef<ScriptedTransport> ta_, tb_;
    ComRef<IPacketQueue> a_, b_;
};

TEST_F(PacketQueueTest, GoldenFirstDatagramAndItsAcknowledgement) {
    send(a_.get(), 0x1234, OM_SEND_GUARANTEED_4, {0xAB});
    send(a_.get(), 7, 0, {}); // an empty message is the flush byte alone
    ASSERT_EQ(pump(a_.get()), 0);
    ASSERT_EQ(ta_->sent.size(), 1u);
    EXPECT_EQ(ta_->sent[0], (Bytes{0x00, 0xFF, // serials
                                   0x34, 0x12, 0x04, 0x00, 0x00, 0x02, 0, 0, 0, 0xAB,
                                   0x00, 0x07, 0x00, 0x00, 0x00, 0x01, 0, 0, 0, 0x00}));

    tb_->deliver(ta_->sent[0]);
    ASSERT_EQ(b_->Pump(0), 0);
    std::vector<Received> got = drain(b_.get());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, 0x1234);
    EXPECT_EQ(got[0].flags, OM_SEND_GUARANTEED_4);
    EXPECT_EQ(got[0].payload, (Bytes{0xAB, 0x00}));
    EXPECT_EQ(got[1].payload, (Bytes{0x00}));
    // B owes an acknowledgement: a pure one, serial 0 acknowledging A's datagram 0.
    ASSERT_EQ(pump(b_.get()), 0);
    ASSERT_EQ(tb_->sent.size(), 1u);
    EXPECT_EQ(tb_->sent[0], (Bytes{0x00, 0x00}));

    // The acknowledgement frees the resend; then both sides fall quiet.
    ta_->deliver(tb_->sent[0]);
    ASSERT_EQ(a_->Pump(0), 0);
    ASSERT_EQ(pump(a_.get()), 0);
    ASSERT_EQ(pump(b_.get()), 0);
    EXPECT_EQ(ta_->sent.size(), 1u);
    EXPECT_EQ(tb_->sent.size(), 1u);
}

TEST_F(PacketQueueTest, PassesAndFrontFlagOrderTheDatagram) {
    send(a_.get(), 1, OM_SEND_LAST_PASS, {});
    send(a_.get(), 2, 0, {});
    send(a_.get(), 3, OM_SEND_FIRST_PASS, {});
    send(a_.get(), 4, OM_SEND_FRONT, {});
    send(a_.get(), 5, OM_SEND_FIRST_PASS | OM_SEND_LAST_PASS, {});
    ASSERT_EQ(pump(a_.get()), 0);
    std::vector<Parsed> d = parse(ta_->sent.at(0));
    std::vector<uint16_t> types;
    for (const Parsed& p : d) types.push_back(p.type);
    EXPECT_EQ(types, (std::vector<uint16_t>{3, 5, 4, 2, 1}));
}

TEST_F(PacketQueueTest, ResendClassesFollowTheirDelays) {
    send(a_.get(), 10, OM_SEND_GUARANTEED_4, {1});
    pump(a_.get());
    send(a_.get(), 32, OM_SEND_GUARANTEED_32, {2});
    pump(a_.get());
    auto carried = [&](size_t datagram) {
        std::vector<uint16_t> types;
        for (const Parsed& p : parse(ta_->sent.at(datagram))) {
            // Resends keep the serial of the datagram that first carried them.
            EXPECT_EQ(p.serial, p.type == 10 ? 0 : 1);
            types.push_back(p.type);
        }
        return types;
    };
    EXPECT_EQ(carried(1), (std::vector<uint16_t>{10, 32}));
    pump(a_.get()); // the first pump after its first sending resends the slow class too
    EXPECT_EQ(carried(2), (std::vector<uint16_t>{10, 32}));
    platform::advance_virtual_clock(400);
    pump(a_.get());
    EXPECT_EQ(carried(3), (std::vector<uint16_t>{10})); // the 500 ms class waits
    platform::advance_virtual_clock(150);
    pump(a_.get());
    EXPECT_EQ(carried(4), (std::vector<uint16_t>{10, 32}));
}

TEST_F(PacketQueueTest, LostGuaranteedMessageArrivesOnceFromItsResend) {
    send(a_.get(), 9, OM_SEND_GUARANTEED_8, {42});
    pump(a_.get()); // datagram 0 is lost
    platform::advance_virtual_clock(60);
    pump(a_.get());
    ASSERT_EQ(ta_->sent.size(), 2u);
    tb_->deliver(ta_->sent[1]);
    tb_->deliver(ta_->sent[1]); // the network repeats it
    b_->Pump(0);
    std::vector<Received> got = drain(b_.get());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].payload, (Bytes{42, 0}));
    // A later resend of it is a duplicate too.
    platform::advance_virtual_clock(60);
    pump(a_.get());
    tb_->deliver(ta_->sent.back());
    b_->Pump(0);
    EXPECT_TRUE(drain(b_.get()).empty());
}

// The acknowledgement of a datagram that did not hold a guaranteed message never releases
// that message: losing its datagram, then its first resend, still delivers it.
TEST_F(PacketQueueTest, GuaranteedMessageIsNeverAcknowledgedUndelivered) {
    send(a_.get(), 50, OM_SEND_GUARANTEED_32, {5});
    pump(a_.get()); // datagram 0: lost
    pump(a_.get()); // datagram 1: its first resend, lost as well
    send(a_.get(), 51, 0, {6});
    pump(a_.get()); // datagram 2: a plain message only, delivered
    ASSERT_EQ(ta_->sent.size(), 3u);
    tb_->deliver(ta_->sent[2]);
    b_->Pump(0);
    ASSERT_EQ(drain(b_.get()).size(), 1u);
    pump(b_.get());
    ASSERT_EQ(tb_->sent.size(), 1u);
    EXPECT_EQ(tb_->sent[0][1], 2); // B acknowledges datagram 2
    ta_->deliver(tb_->sent[0]);
    ASSERT_EQ(a_->Pump(0), 0);
    platform::advance_virtual_clock(600);
    pump(a_.get());
    std::vector<Parsed> resent = parse(ta_->sent.back());
    ASSERT_EQ(resent.size(), 1u);
    EXPECT_EQ(resent[0].type, 50);
    EXPECT_EQ(resent[0].serial, 0);
    tb_->deliver(ta_->sent.back());
    b_->Pump(0);
    std::vector<Received> got = drain(b_.get());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 50);
}

TEST_F(PacketQueueTest, NoNewGuaranteedMessageOvertakesAHeldBackResend) {
    a_->SetOption(OM_QUEUE_MAX_DATAGRAM, 400);
    send(a_.get(), 1, OM_SEND_GUARANTEED_4, Bytes(90, 1));
    pump(a_.get());
    send(a_.get(), 2, OM_SEND_GUARANTEED_4, Bytes(90, 2));
    pump(a_.get()); // both outstanding, under serials 0 and 1
    a_->SetOption(OM_QUEUE_MAX_DATAGRAM, 200);
    send(a_.get(), 3, OM_SEND_GUARANTEED_4, Bytes(10, 3));
    send(a_.get(), 4, 0, Bytes(10, 4));
    pump(a_.get()); // the resends of 1 and 2 do not both fit: 2 is held back
    std::vector<uint16_t> types;
    for (const Parsed& p : parse(ta_->sent.back())) types.push_back(p.type);
    EXPECT_EQ(types, (std::vector<uint16_t>{1, 4})); // the plain one may go, 3 may not
    EXPECT_LE(ta_->sent.back().size(), 200u);
}

TEST_F(PacketQueueTest, MessagesComeOutInArrivalOrder) {
    for (uint16_t t = 1; t <= 3; ++t) send(a_.get(), t, 0, {uint8_t(t)});
    pump(a_.get());
    for (uint16_t t = 4; t <= 6; ++t) send(a_.get(), t, OM_SEND_GUARANTEED_16, {uint8_t(t)});
    pump(a_.get());
    tb_->deliver(ta_->sent[0]);
    tb_->deliver(ta_->sent[1]);
    b_->Pump(0);
    std::vector<uint16_t> types;
    for (const Received& r : drain(b_.get())) types.push_back(r.type);
    EXPECT_EQ(types, (std::vector<uint16_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(PacketQueueTest, StaleDatagramEndsTheReceivingPass) {
    Bytes newer = {5, 0xFF, 1, 0, 0, 0, 1, 0, 0, 0, 0xAA};
    Bytes older = {3, 0xFF, 2, 0, 0, 0, 1, 0, 0, 0, 0xBB};
    Bytes later = {6, 0xFF, 3, 0, 0, 0, 1, 0, 0, 0, 0xCC};
    tb_->deliver(newer);
    tb_->deliver(older);
    tb_->deliver(later);
    b_->Pump(0);
    std::vector<Received> got = drain(b_.get());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 1);
    EXPECT_EQ(tb_->incoming.size(), 1u); // the one behind the stale datagram waits
    b_->Pump(0);
    got = drain(b_.get());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 3);
}

TEST_F(PacketQueueTest, DamagedDatagramsAreDroppedWhole) {
    const Bytes damaged[] = {
        {0},                                     // shorter than its head
        {0, 0xFF, 1, 0, 0},                      // a header cut short
        {0, 0xFF, 1, 0, 0, 0, 9, 0, 0, 0, 1, 2}, // a payload running past the end
        {0, 0xFF, 1, 0, 4, 0},                   // a guaranteed header without its serial
        {0, 0xFF, 1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
        {0, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0, 2, 0}, // a good message, then a broken one
    };
    for (const Bytes& d : damaged) tb_->deliver(d);
    ASSERT_EQ(b_->Pump(0), 0);
    EXPECT_TRUE(drain(b_.get()).empty());
    pump(b_.get());
    EXPECT_TRUE(tb_->sent.empty()); // nothing was accepted, so nothing is owed
    tb_->deliver({0, 0xFF, 1, 0, 0, 0, 0, 0, 0, 0});
    b_->Pump(0);
    EXPECT_EQ(drain(b_.get()).size(), 1u);
}

TEST_F(PacketQueueTest, AcknowledgementOfADatagramNeverSentFailsThePump) {
    tb_->deliver({0, 7, 1, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(b_->Pump(0), OM_E_FAIL);
    EXPECT_TRUE(drain(b_.get()).empty());
}

TEST_F(PacketQueueTest, PayloadsTooLargeForTheMaximumGoAloneInALargerDatagram) {
    a_->SetOption(OM_QUEUE_MAX_DATAGRAM, 64);
    // 60 bytes of payload (59 + flush byte) fit no 64-byte datagram, even an empty one; 200
    // exceed the maximum itself.
    send(a_.get(), 1, 0, {1});
    send(a_.get(), 2, 0, Bytes(59, 2));
    send(a_.get(), 3, OM_SEND_GUARANTEED_8, Bytes(199, 3));
    pump(a_.get());
    pump(a_.get());
    pump(a_.get());
    ASSERT_EQ(ta_->sent.size(), 3u);
    std::vector<uint16_t> per_datagram;
    for (const Bytes& d : ta_->sent) {
        std::vector<Parsed> m = parse(d);
        ASSERT_FALSE(m.empty());
        per_datagram.push_back(m.size() == 1 ? m[0].type : 0);
    }
    EXPECT_EQ(per_datagram, (std::vector<uint16_t>{1, 2, 3}));
    EXPECT_EQ(ta_->sent[1].size(), 2u + 8 + 60);
    EXPECT_EQ(ta_->sent[2].size(), 2u + 9 + 200);
}

TEST_F(PacketQueueTest, OptionsAreHeldToTheirBounds) {
    struct Case {
        int32_t id;
        uintptr_t value;
        uintptr_t stored;
    } cases[] = {
        {OM_QUEUE_MAX_DATAGRAM, 10, 64},      {OM_QUEUE_MAX_DATAGRAM, 100000, 65535},
        {OM_QUEUE_MAX_DATAGRAM, 1500, 1500},  {OM_QUEUE_SEND_INTERVAL, 0, 10},
        {OM_QUEUE_SEND_INTERVAL, 5000, 1000}, {OM_QUEUE_SEND_INTERVAL, 100, 100},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(a_->SetOption(c.id, c.value), 0);
        uintptr_t got = 0;
        ASSERT_EQ(a_->GetOption(c.id, &got), 0);
        EXPECT_EQ(got, c.stored) << c.id << " " << c.value;
    }
    EXPECT_EQ(a_->SetOption(OM_QUEUE_SEND_LIST, 0), OM_E_FAIL);
    EXPECT_EQ(a_->SetOption(11, 0), OM_E_FAIL);
    uintptr_t untouched = 77;
    EXPECT_EQ(a_->GetOption(OM_QUEUE_SYSTEM_CALLBACK, &untouched), 0);
    EXPECT_EQ(untouched, 77u);
}

TEST_F(PacketQueueTest, WithdrawAndReceiveOnAnEmptyQueue) {
    send(a_.get(), 31, 0x89, {1});
    send(a_.get(), 31, 0x89, {2});
    EXPECT_EQ(a_->Withdraw(31, 0x91), nullptr);
    IBinaryStreamComposer* first = a_->Withdraw(31, 0x89);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetMode(), OM_COMPOSER_READ);
    uint8_t value = 0;
    ASSERT_EQ(first->Field(OM_FIELD_BITS, 8, &value), 0);
    EXPECT_EQ(value, 2); // 0x80 put the later one in front
    first->Release();
    uintptr_t cursor_word = 0;
    ASSERT_EQ(a_->GetOption(OM_QUEUE_SEND_LIST, &cursor_word), 0);
    auto* cursor = reinterpret_cast<ICOMListCursor*>(cursor_word);
    ASSERT_NE(cursor->Current(), nullptr);
    cursor->Next();
    EXPECT_EQ(cursor->Current(), nullptr); // one message left
    cursor->Release();

    IBinaryStreamComposer* packet = reinterpret_cast<IBinaryStreamComposer*>(1);
    uint16_t type = 9, flags = 9;
    EXPECT_EQ(b_->Receive(&packet, &type, &flags), OM_E_FAIL);
    EXPECT_EQ(packet, nullptr);
    EXPECT_EQ(type, 0);
    EXPECT_EQ(flags, 0);
}

TEST_F(PacketQueueTest, TimedPumpsWaitForTheIntervalAndCallThePresendHook) {
    static int presends;
    presends = 0;
    a_->SetOption(OM_QUEUE_PRESEND_CALLBACK,
                  reinterpret_cast<uintptr_t>(+[](uintptr_t, IPacketQueue*) {
                      ++presends;
                      return OmResult(0);
                  }));
    send(a_.get(), 1, 0, {});
    platform::advance_virtual_clock(30);
    a_->Pump(0);
    EXPECT_TRUE(ta_->sent.empty());
    platform::advance_virtual_clock(30);
    a_->Pump(0);
    EXPECT_EQ(ta_->sent.size(), 1u);
    EXPECT_EQ(presends, 1);
    send(a_.get(), 2, OM_SEND_PUMP_NOW, {}); // pumps at once, without the hook
    EXPECT_EQ(ta_->sent.size(), 2u);
    EXPECT_EQ(presends, 1);
}

TEST_F(PacketQueueTest, SystemEventsReachTheCallback) {
    static uint32_t seen_kind;
    seen_kind = 99;
    b_->SetOption(OM_QUEUE_SYSTEM_CALLBACK,
                  reinterpret_cast<uintptr_t>(+[](uintptr_t context, OmTransportMessage* m) {
                      seen_kind = m->kind;
                      return OmResult(context);
                  }));
    tb_->incoming.push_back({OM_TRANSPORT_SESSION_LOST, 0, 0, {}});
    ASSERT_EQ(b_->Pump(0), 0);
    EXPECT_EQ(seen_kind, OM_TRANSPORT_SESSION_LOST);
    b_->SetOption(OM_QUEUE_SYSTEM_CONTEXT, uintptr_t(-1)); // the callback refuses
    tb_->incoming.push_back({OM_TRANSPORT_PORT_DESTROYED, 12, 0, {}});
    EXPECT_EQ(b_->Pump(0), OM_E_FAIL);
}

// Two queues on the ports of one null transport talk to each other; receiving for a port
// takes each datagram once.
TEST_F(PacketQueueTest, TwoQueuesOverTheNullTransport) {
    ComRef<IOmTransport> null;
    ASSERT_EQ(OmCreate(CLSID_NullTransport, IID_IOmTransport, null.put()), 0);
    uint32_t pa = 0, pb = 0;
    ASSERT_EQ(null->CreatePort(&pa, nullptr, 0), 0);
    ASSERT_EQ(null->CreatePort(&pb, nullptr, 0), 0);
    OmTransportMessage created{};
    ASSERT_EQ(null->ReceiveFor(pa, &created, 0), 0); // pa hears of pb
    for (IPacketQueue* q : {a_.get(), b_.get()})
        q->SetOption(OM_QUEUE_TRANSPORT, reinterpret_cast<uintptr_t>(null.get()));
    a_->SetOption(OM_QUEUE_LOCAL_ID, reinterpret_cast<uintptr_t>(&pa));
    a_->SetOption(OM_QUEUE_REMOTE_ID, reinterpret_cast<uintptr_t>(&pb));
    b_->SetOption(OM_QUEUE_LOCAL_ID, reinterpret_cast<uintptr_t>(&pb));
    b_->SetOption(OM_QUEUE_REMOTE_ID, reinterpret_cast<uintptr_t>(&pa));
    send(a_.get(), 17, OM_SEND_GUARANTEED_4, {5, 0, 0, 0});
    pump(a_.get());
    b_->Pump(0);
    std::vector<Received> got = drain(b_.get());
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].type, 17);
    pump(b_.get()); // B's acknowledgement
    a_->Pump(0);
    uint32_t waiting = 1;
    null->GetMessageCount(0, &waiting);
    EXPECT_EQ(waiting, 0u);
    a_.reset();
    b_.reset();
}

} // namespace
