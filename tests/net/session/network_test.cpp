// Network session layer: options and forwarding, numbering by the host, player records, the
// welcome of new ports, host migration, clock offsets and damaged bodies from other sides.
#include "net/session/network.h"

#include "platform/dplay/dplay.h"
#include "tests/net/net_fixture.h"
#include "tests/net/session/hub_transport.h"
#include "tests/support/free_port.h"
#include "tests/support/virtual_clock.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <random>
#include <thread>

namespace {

using namespace nettest;

struct Seen {
    uint32_t code;
    uint32_t sender;
    uint32_t receiver;
    uint32_t length;
    std::vector<uint8_t> body;
};

std::mutex seen_lock;
std::vector<Seen> seen[3];
std::atomic<int> refuse[3];

// The user callback of side S: records every block; refuses code 2 while refuse[S] is set.
template <int S>
int32_t record(OmTransportMessage* block) {
    Seen s{~0u, block->sender, block->receiver, block->length, {}};
    if (block->length >= OM_NETWORK_HEADER_SIZE && block->data) {
        const auto* d = static_cast<const uint8_t*>(block->data);
        s.body.assign(d, d + block->length - OM_NETWORK_HEADER_SIZE);
    }
    if (s.body.size() >= 4) s.code = word_of(s.body, 0);
    std::lock_guard g(seen_lock);
    seen[S].push_back(s);
    return s.code == OM_NETWORK_REQUEST && refuse[S] ? 1 : 0;
}

std::vector<uint32_t> codes_seen(int side) {
    std::lock_guard g(seen_lock);
    std::vector<uint32_t> codes;
    for (const Seen& s : seen[side]) codes.push_back(s.code);
    return codes;
}

std::vector<uint32_t> codes_of(const std::vector<Hub::Message>& messages) {
    std::vector<uint32_t> codes;
    for (const Hub::Message& m : messages) codes.push_back(word_of(m.body, 0));
    return codes;
}

// A participant's clock: the world's time plus an offset. A side that waits for another
// (polled on a second thread) lets that side finish its work before its own time moves.
struct SideClock {
    WorldClock* world;
    int32_t offset = 0;
    Hub* hub = nullptr;
    int wait_for = -1;

    static uint32_t read(void* context) {
        auto* c = static_cast<SideClock*>(context);
        if (c->hub && c->wait_for >= 0) c->hub->wait_idle(c->wait_for);
        return c->world->tick() + uint32_t(c->offset);
    }
};

// Polls a side on a thread of its own until it goes.
class Poller {
public:
    explicit Poller(IOmNetwork* network)
        : thread_([this, network] {
              while (!stop_) {
                  network->Poll();
                  std::this_thread::yield();
              }
          }) {}
    ~Poller() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class NetworkTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        for (int i = 0; i < 3; ++i) {
            seen[i].clear();
            refuse[i] = 0;
        }
    }

    static ComRef<IOmNetwork> make(IOmTransport* transport = nullptr) {
        ComRef<IOmNetwork> n;
        EXPECT_EQ(OmCreate<IOmNetwork>(CLSID_Network, IID_IOmNetwork, n.put()), OM_S_OK);
        if (transport) {
            EXPECT_EQ(n->SetOption(OM_NETWORK_TRANSPORT, transport), OM_S_OK);
        }
        return n;
    }

    static ComRef<IOmNetwork> make_null() {
        IOmTransport* t = nullptr;
        EXPECT_EQ(OmCreate<IOmTransport>(CLSID_NullTransport, IID_IOmTransport, &t), OM_S_OK);
        return make(t);
    }

    static OmResult send_words(IOmNetwork* n, uint32_t sender, uint32_t receiver,
                               const Words& words) {
        std::vector<uint8_t> body = body_of(words);
        OmTransportMessage block{OM_TRANSPORT_DATA, sender, receiver,
                                 OM_NETWORK_HEADER_SIZE + uint32_t(body.size()), body.data()};
        return n->Send(&block, OM_TRANSPORT_SEND_GUARANTEED);
    }

    static std::vector<uint32_t> numbers(IOmNetwork* n) {
        uint32_t count = 0;
        n->GetPlayerCount(&count);
        std::vector<uint32_t> out(count);
        for (uint32_t i = 0; i < count; ++i) n->GetPlayerNumber(i, &out[i]);
        return out;
    }
};

TEST_F(NetworkTest, ComponentOptionsAndForwarding) {
    ComRef<IOmNetwork> n = make();
    ComRef<IUnknown> other;
    EXPECT_EQ(n->QueryInterface(IID_IOmTransport, other.put_void()), OM_E_NOINTERFACE);
    IUnknown* outer_made = nullptr;
    EXPECT_EQ(OmCreateInstance(CLSID_Network, n.get(), 0, IID_IUnknown,
                               reinterpret_cast<void**>(&outer_made)),
              OM_E_NOAGGREGATION);

    // Without a transport.
    uint32_t port = 0, count = 0;
    EXPECT_EQ(n->Poll(), OM_E_FAIL);
    EXPECT_EQ(n->GetVersion(), 0);
    EXPECT_EQ(n->GetHostPort(&port), OM_E_FAIL);
    EXPECT_EQ(n->CreateSession("s", &port), OM_E_FAIL);
    EXPECT_EQ(n->EnumerateSessions(&count), OM_E_FAIL);
    EXPECT_EQ(n->MeasureClockOffset(1, 2, nullptr), OM_E_FAIL);
    GUID guid{1, 2, 3, {4}};
    EXPECT_EQ(n->SetApplicationGuid(&guid), OM_S_OK);
    EXPECT_EQ(n->GetApplicationGuid(&guid), OM_S_OK);
    EXPECT_EQ(guid, GUID{});

    EXPECT_EQ(n->SetOption(OM_NETWORK_TRANSPORT, nullptr), OM_E_FAIL);
    EXPECT_EQ(n->SetOption(4, nullptr), OM_E_FAIL);
    EXPECT_EQ(n->SetOption(OM_NETWORK_TIMEOUT, nullptr), OM_E_FAIL);
    EXPECT_EQ(n->SetOption(99, nullptr), OM_E_FAIL);
    EXPECT_EQ(n->GetOption(OM_NETWORK_TIMEOUT, &count), OM_E_FAIL);

    // The category's transport, initialised; a handed-over one is kept.
    EXPECT_EQ(n->Network_SelectTransport(), OM_S_OK);
    EXPECT_GT(n->GetVersion(), 0);
    IOmTransport* null_transport = nullptr;
    ASSERT_EQ(OmCreate<IOmTransport>(CLSID_NullTransport, IID_IOmTransport, &null_transport),
              OM_S_OK);
    EXPECT_EQ(n->SetOption(OM_NETWORK_TRANSPORT, null_transport), OM_S_OK);
    EXPECT_EQ(n->Network_SelectTransport(), OM_S_OK);
    EXPECT_EQ(n->GetVersion(), 1);

    // Forwarded steps of the null transport.
    EXPECT_EQ(n->SetOption(OM_NETWORK_ADDRESS_1, const_cast<char*>("x:1")), OM_S_OK);
    EXPECT_EQ(n->StartServiceProvider(0), OM_S_OK);
    EXPECT_EQ(n->StartServiceProvider(0), OM_E_FAIL);
    EXPECT_EQ(n->TestServiceProvider(3), OM_E_FAIL);
    EXPECT_EQ(n->GetConnectionCount(), 1);
    const OmTransportConnection* connection = nullptr;
    EXPECT_EQ(n->GetConnection(0, &connection), OM_S_OK);
    EXPECT_STREQ(connection->name, "NULL Service");
    EXPECT_EQ(n->EnumerateSessions(&count), OM_S_OK);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(n->JoinSession("s", &port), OM_E_FAIL); // nothing to join
    EXPECT_EQ(n->CreateSession("s", &port), OM_S_OK);
    uint32_t host = 0;
    EXPECT_EQ(n->GetHostPort(&host), OM_S_OK);
    EXPECT_EQ(host, port);
    const char* name = nullptr;
    EXPECT_EQ(n->GetSessionName(&name), OM_S_OK);
    EXPECT_STREQ(name, "s");
    OmNetworkCallback callback = nullptr;
    EXPECT_EQ(n->SetCallback(record<0>), OM_S_OK);
    EXPECT_EQ(n->GetCallback(&callback), OM_S_OK);
    EXPECT_EQ(callback, &record<0>);
    EXPECT_EQ(n->Close(), OM_S_OK);
    EXPECT_EQ(n->GetHostPort(&host), OM_E_FAIL);
    EXPECT_EQ(n->Close(), OM_E_FAIL);
}

// The host numbers its own ports through its own requests, handled at once; the first number
// is 2, a refusal fails the request and at most 255 players are accepted.
TEST_F(NetworkTest, HostNumbersItsOwnPorts) {
    ComRef<IOmNetwork> n = make_null();
    n->SetCallback(record<0>);
    uint32_t port = 0, number = 0;
    ASSERT_EQ(n->CreateSession("s", &port), OM_S_OK);
    ASSERT_EQ(n->RequestPlayer(port, &number, 8), OM_S_OK);
    EXPECT_EQ(number, 2u);
    EXPECT_EQ(codes_seen(0), (Words{OM_NETWORK_REQUEST, OM_NETWORK_ADD}));
    {
        std::lock_guard g(seen_lock);
        EXPECT_EQ(seen[0][1].body, body_of({4, 2, port}));
        EXPECT_EQ(seen[0][1].length, 32u);
    }
    uint32_t size = 0;
    void* data = nullptr;
    EXPECT_EQ(n->GetPlayerData(2, &data, &size), OM_S_OK);
    EXPECT_EQ(size, 8u);

    refuse[0] = 1;
    EXPECT_EQ(n->RequestPlayer(port, &number, 0), OM_E_FAIL);
    refuse[0] = 0;
    EXPECT_EQ(numbers(n.get()), (Words{2}));

    for (uint32_t i = 1; i < OM_NETWORK_MAX_PLAYERS; ++i)
        ASSERT_EQ(n->RequestPlayer(port, &number, 0), OM_S_OK) << i;
    EXPECT_EQ(number, 256u);
    size_t asked = codes_seen(0).size();
    EXPECT_EQ(n->RequestPlayer(port, &number, 0), OM_E_FAIL);
    EXPECT_EQ(codes_seen(0).size(), asked); // refused without asking the user
    uint32_t count = 0;
    n->GetPlayerCount(&count);
    EXPECT_EQ(count, OM_NETWORK_MAX_PLAYERS);
    EXPECT_EQ(n->RequestPlayer(port, nullptr, 0), OM_E_FAIL);

    // Releasing the connection removes every player with its notice.
    seen[0].clear();
    EXPECT_EQ(n->ReleaseConnection(), OM_S_OK);
    n->GetPlayerCount(&count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(codes_seen(0), Words(OM_NETWORK_MAX_PLAYERS, OM_NETWORK_REMOVE));
}

// Numbers the host gives stay unique when others' code 4 brought numbers past its counter, and
// a session created after Close numbers from 2 again.
TEST_F(NetworkTest, HostNumbersStayUniqueAndStartAgainInANewSession) {
    ComRef<IOmNetwork> n = make_null();
    uint32_t port = 0, number = 0;
    ASSERT_EQ(n->CreateSession("s", &port), OM_S_OK);
    ASSERT_EQ(send_words(n.get(), port, port, {4, 5, 9}), OM_S_OK);
    ASSERT_EQ(send_words(n.get(), port, port, {4, 3, 9}), OM_S_OK);
    ASSERT_EQ(n->RequestPlayer(port, &number, 0), OM_S_OK);
    EXPECT_EQ(number, 6u);
    EXPECT_EQ(numbers(n.get()), (Words{5, 3, 6}));
    ASSERT_EQ(send_words(n.get(), port, port, {4, 0xFFFFFFFF, 9}), OM_S_OK);
    EXPECT_EQ(n->RequestPlayer(port, &number, 0), OM_E_FAIL); // no number left above it
    EXPECT_EQ(numbers(n.get()), (Words{5, 3, 6, 0xFFFFFFFF}));

    EXPECT_EQ(n->Close(), OM_S_OK);
    ASSERT_EQ(n->CreateSession("s", &port), OM_S_OK);
    ASSERT_EQ(n->RequestPlayer(port, &number, 0), OM_S_OK);
    EXPECT_EQ(number, 2u);
}

TEST_F(NetworkTest, PlayerRecords) {
    ComRef<IOmNetwork> n = make_null();
    n->SetCallback(record<0>);
    uint32_t port = 0, number = 0;
    ASSERT_EQ(n->CreateSession("s", &port), OM_S_OK);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(n->RequestPlayer(port, &number, 0), OM_S_OK);
    EXPECT_EQ(numbers(n.get()), (Words{2, 3, 4}));

    // Data blocks and the changed flag.
    const char text[] = "abcdef";
    void* data = nullptr;
    uint32_t size = 99;
    EXPECT_EQ(n->GetPlayerData(3, &data, &size), OM_E_FAIL); // no block yet
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(n->SetPlayerData(3, nullptr, 0), OM_S_OK);
    EXPECT_EQ(n->SetPlayerData(3, nullptr, 4), OM_E_FAIL);
    EXPECT_EQ(n->SetPlayerData(3, text, 0), OM_S_OK);
    EXPECT_EQ(n->TakeChanged(3), 0);
    EXPECT_EQ(n->SetPlayerData(9, text, 4), OM_E_FAIL);
    EXPECT_EQ(n->SetPlayerData(3, text, 4), OM_S_OK);
    EXPECT_EQ(n->TakeChanged(3), 1);
    EXPECT_EQ(n->TakeChanged(3), 0);
    EXPECT_EQ(n->SetPlayerData(3, text, 7), OM_S_OK);
    EXPECT_EQ(n->GetPlayerData(3, &data, &size), OM_S_OK);
    EXPECT_EQ(size, 7u);
    EXPECT_STREQ(static_cast<const char*>(data), "abcdef");
    EXPECT_EQ(n->TakeChanged(3), 0); // reading cleared it
    EXPECT_EQ(n->GetPlayerData(9, &data, &size), OM_E_FAIL);
    EXPECT_EQ(n->TakeChanged(9), 0);

    // Ports, numbers by index, walking.
    uint32_t at = 7;
    EXPECT_EQ(n->GetPlayerPort(4, &at), OM_S_OK);
    EXPECT_EQ(at, port);
    at = 7;
    EXPECT_EQ(n->GetPlayerPort(9, &at), OM_S_OK);
    EXPECT_EQ(at, 7u);
    EXPECT_EQ(n->IsPlayerAtPort(port, 2), 1);
    EXPECT_EQ(n->IsPlayerNotAtPort(port, 2), 0);
    EXPECT_EQ(n->IsPlayerAtPort(port, 9), 0);
    EXPECT_EQ(n->IsPlayerNotAtPort(port, 9), 0);
    EXPECT_EQ(n->GetPlayerNumber(3, &number), OM_E_FAIL);
    EXPECT_EQ(number, 0u);
    uint32_t walk = 0, next = 0;
    EXPECT_EQ(n->WalkPlayers(OM_NETWORK_WALK_FIRST, &walk, nullptr), OM_S_OK);
    EXPECT_EQ(walk, 2u);
    EXPECT_EQ(n->WalkPlayers(OM_NETWORK_WALK_NEXT, &walk, &next), OM_S_OK);
    EXPECT_EQ(next, 3u);
    walk = 4;
    next = 77;
    EXPECT_EQ(n->WalkPlayers(OM_NETWORK_WALK_NEXT, &walk, &next), OM_S_OK);
    EXPECT_EQ(next, 77u); // the last one
    EXPECT_EQ(n->WalkPlayers(OM_NETWORK_WALK_PREVIOUS, &walk, &next), OM_S_OK);
    EXPECT_EQ(next, 3u);
    EXPECT_EQ(n->WalkPlayers(OM_NETWORK_WALK_NEXT, &walk, nullptr), OM_E_FAIL);
    EXPECT_EQ(n->WalkPlayers(2, &walk, &next), OM_E_FAIL);
    EXPECT_EQ(n->WalkPlayers(5, &walk, &next), OM_E_FAIL);

    // Data to the own port goes nowhere; unknown numbers are refused.
    EXPECT_EQ(n->SendPlayerData(port, port, 3, 1), OM_S_OK);
    EXPECT_EQ(n->SendPlayerData(port + 1, port, 9, 1), OM_E_FAIL);
    EXPECT_EQ(n->BroadcastPlayerData(port, 9, 1), OM_E_FAIL);

    // Removal: the notice is a whole block {3, number}.
    seen[0].clear();
    EXPECT_EQ(n->RemovePlayer(3), OM_S_OK);
    EXPECT_EQ(n->RemovePlayer(3), OM_S_OK);
    ASSERT_EQ(seen[0].size(), 1u);
    EXPECT_EQ(seen[0][0].body, body_of({3, 3}));
    EXPECT_EQ(seen[0][0].length, 28u);
    EXPECT_EQ(numbers(n.get()), (Words{2, 4}));
    send_words(n.get(), port, port, {OM_NETWORK_REMOVE, 4});
    EXPECT_EQ(numbers(n.get()), (Words{2}));
    EXPECT_EQ(n->Close(), OM_S_OK);
    EXPECT_EQ(numbers(n.get()), Words{});
    EXPECT_EQ(n->WalkPlayers(OM_NETWORK_WALK_FIRST, &walk, nullptr), OM_E_FAIL);
    EXPECT_EQ(walk, 0u);
}

// A block to its own sender is handled at once, without the transport; others travel as
// their bodies alone and reach the other side's callback untouched.
TEST_F(NetworkTest, SendToOwnPortStaysOffTheTransport) {
    Hub hub;
    int h = 0, a = 0;
    ComRef<IOmNetwork> host = make(hub.endpoint(&h));
    ComRef<IOmNetwork> side = make(hub.endpoint(&a));
    host->SetCallback(record<0>);
    side->SetCallback(record<1>);
    uint32_t hp = 0, ap = 0;
    ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
    {
        Poller poll_host(host.get());
        ASSERT_EQ(side->JoinSession("s", &ap), OM_S_OK);
    }
    hub.clear_sent();
    seen[0].clear();
    EXPECT_EQ(send_words(host.get(), hp, hp, {100, 1, 2}), OM_S_OK);
    EXPECT_TRUE(hub.sent().empty());
    ASSERT_EQ(codes_seen(0), Words{100});
    EXPECT_EQ(seen[0][0].length, 32u);

    seen[1].clear();
    EXPECT_EQ(send_words(host.get(), hp, ap, {200, 7}), OM_S_OK);
    ASSERT_EQ(hub.sent().size(), 1u);
    EXPECT_EQ(hub.sent()[0].body, body_of({200, 7}));
    EXPECT_EQ(side->Poll(), OM_S_OK);
    ASSERT_EQ(codes_seen(1), Words{200});
    EXPECT_EQ(seen[1][0].sender, hp);
    EXPECT_EQ(seen[1][0].receiver, ap);

    // Blocks that cannot be messages.
    OmTransportMessage short_block{OM_TRANSPORT_DATA, hp, ap, 19, nullptr};
    EXPECT_EQ(host->Send(&short_block, 1), OM_E_FAIL);
    EXPECT_EQ(host->Send(nullptr, 1), OM_E_FAIL);
    EXPECT_EQ(host->Broadcast(nullptr, 1), OM_E_FAIL);

    // A cut session fails the poll after the waiting messages were handled.
    seen[1].clear();
    send_words(host.get(), hp, ap, {201});
    hub.cut(a);
    EXPECT_EQ(side->Poll(), OM_E_FAIL);
    EXPECT_EQ(codes_seen(1), Words{201});
    EXPECT_EQ(side->Poll(), OM_S_OK);
}

// A new port gets the welcome; with players also the list and every data block.
TEST_F(NetworkTest, NewPortGetsWelcomeListAndData) {
    Hub hub;
    int h = 0;
    ComRef<IOmNetwork> host = make(hub.endpoint(&h));
    ComRef<IOmNetwork> first = make(hub.endpoint());
    ComRef<IOmNetwork> second = make(hub.endpoint());
    first->SetCallback(record<1>);
    second->SetCallback(record<2>);
    uint32_t hp = 0, p1 = 0, p2 = 0, number = 0;
    ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
    {
        Poller poll_host(host.get());
        ASSERT_EQ(first->JoinSession("s", &p1), OM_S_OK);
    }
    EXPECT_EQ(codes_of(hub.sent_to(p1)), Words{OM_NETWORK_WELCOME});
    EXPECT_EQ(hub.sent_to(p1)[0].body, body_of({1, 1}));
    EXPECT_EQ(codes_seen(1), Words{OM_NETWORK_WELCOME});
    uint32_t known = 0;
    EXPECT_EQ(first->GetHostPort(&known), OM_S_OK);
    EXPECT_EQ(known, hp);

    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(host->RequestPlayer(hp, &number, 0), OM_S_OK);
        uint32_t value = 0x1000 + number;
        host->SetPlayerData(number, &value, 4);
    }
    {
        Poller poll_host(host.get());
        ASSERT_EQ(second->JoinSession("s", &p2), OM_S_OK);
        hub.wait_idle(h);
        for (int i = 0; i < 4; ++i) second->Poll(); // the list and the data follow the welcome
    }
    first->Poll();
    std::vector<Hub::Message> to_second = hub.sent_to(p2);
    ASSERT_EQ(codes_of(to_second), (Words{1, 8, 16, 16, 16}));
    EXPECT_EQ(to_second[0].body, body_of({1, 4}));
    EXPECT_EQ(to_second[1].body, body_of({8, 2, hp, 3, hp, 4, hp}));
    EXPECT_EQ(to_second[1].body.size(), 28u);
    EXPECT_EQ(to_second[4].body, body_of({16, 4, 4, 0x1004}));
    EXPECT_EQ(numbers(second.get()), (Words{2, 3, 4}));
    void* data = nullptr;
    ASSERT_EQ(second->GetPlayerData(3, &data, nullptr), OM_S_OK);
    EXPECT_EQ(*static_cast<uint32_t*>(data), 0x1003u);
    EXPECT_EQ(codes_seen(2), (Words{1, 16, 16, 16}));
    // The first side heard of each new number once, by code 4.
    EXPECT_EQ(numbers(first.get()), (Words{2, 3, 4}));
    EXPECT_EQ(codes_seen(1), (Words{1, 4, 4, 4}));
}

// Numbers reach every side by code 4; a repeated code 4 and a refusal meant for another port
// change nothing; a refusing host fails the request.
TEST_F(NetworkTest, NumbersReachEverySide) {
    WorldClock world;
    Hub hub(&world);
    int h = 0, a = 0, b = 0;
    ComRef<IOmNetwork> host = make(hub.endpoint(&h));
    ComRef<IOmNetwork> asker = make(hub.endpoint(&a));
    ComRef<IOmNetwork> other = make(hub.endpoint(&b));
    SideClock host_clock{&world}, asker_clock{&world, 0, &hub, h}, other_clock{&world, 0, &hub, h};
    OmNetworkSetClock(host.get(), SideClock::read, &host_clock);
    OmNetworkSetClock(asker.get(), SideClock::read, &asker_clock);
    OmNetworkSetClock(other.get(), SideClock::read, &other_clock);
    host->SetCallback(record<0>);
    asker->SetCallback(record<1>);
    other->SetCallback(record<2>);
    uint32_t hp = 0, ap = 0, bp = 0, number = 0;
    ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
    ASSERT_EQ(host->RequestPlayer(hp, &number, 0), OM_S_OK);
    {
        Poller poll_host(host.get());
        ASSERT_EQ(asker->JoinSession("s", &ap), OM_S_OK);
        ASSERT_EQ(other->JoinSession("s", &bp), OM_S_OK);
        ASSERT_EQ(asker->RequestPlayer(ap, &number, 16), OM_S_OK);
        EXPECT_EQ(number, 3u);
        refuse[0] = 1;
        EXPECT_EQ(asker->RequestPlayer(ap, &number, 16), OM_E_FAIL);
        hub.wait_idle(h);
    }
    EXPECT_EQ(numbers(host.get()), (Words{2, 3}));
    EXPECT_EQ(numbers(asker.get()), (Words{2, 3}));
    uint32_t size = 0;
    void* data = nullptr;
    EXPECT_EQ(asker->GetPlayerData(3, &data, &size), OM_S_OK);
    EXPECT_EQ(size, 16u);
    other->Poll();
    EXPECT_EQ(numbers(other.get()), (Words{2, 3}));
    EXPECT_EQ(asker->IsPlayerAtPort(ap, 3), 1);
    EXPECT_EQ(other->IsPlayerAtPort(ap, 3), 1);

    // A second code 4 for a known number: nothing changes, the callback does not hear it.
    seen[2].clear();
    hub.inject(b, {OM_TRANSPORT_DATA, hp, bp, body_of({4, 3, 999})});
    other->Poll();
    EXPECT_EQ(numbers(other.get()), (Words{2, 3}));
    EXPECT_EQ(other->IsPlayerAtPort(ap, 3), 1);
    EXPECT_TRUE(codes_seen(2).empty());

    // A refusal for another port is ignored: the request runs into its time-out instead.
    uint32_t timeout = 300;
    asker->SetOption(OM_NETWORK_TIMEOUT, &timeout);
    asker_clock.wait_for = -1;
    hub.answer = [&](const Hub::Message& m) {
        std::vector<Hub::Message> out;
        if (m.body.size() >= 4 && word_of(m.body, 0) == OM_NETWORK_REQUEST)
            out.push_back({OM_TRANSPORT_DATA, hp, ap + 100, body_of({5, 0})});
        return out;
    };
    hub.drop = [](const Hub::Message&) { return true; };
    hub.set_next_host(0);
    uint32_t before = world.now();
    EXPECT_EQ(asker->RequestPlayer(ap, &number, 0), OM_E_FAIL);
    EXPECT_GT(world.now() - before, timeout);
}

// When the host's port goes, the chosen survivor becomes host once and every side follows it.
TEST_F(NetworkTest, HostMigration) {
    Hub hub;
    int h = 0, a = 0, b = 0;
    ComRef<IOmNetwork> host = make(hub.endpoint(&h));
    ComRef<IOmNetwork> heir = make(hub.endpoint(&a));
    ComRef<IOmNetwork> other = make(hub.endpoint(&b));
    heir->SetCallback(record<1>);
    other->SetCallback(record<2>);
    uint32_t hp = 0, ap = 0, bp = 0, number = 0;
    ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
    ASSERT_EQ(host->RequestPlayer(hp, &number, 0), OM_S_OK);
    {
        Poller poll_host(host.get());
        ASSERT_EQ(heir->JoinSession("s", &ap), OM_S_OK);
        ASSERT_EQ(other->JoinSession("s", &bp), OM_S_OK);
        ASSERT_EQ(other->RequestPlayer(bp, &number, 0), OM_S_OK);
        hub.wait_idle(h);
    }
    heir->Poll();
    EXPECT_EQ(numbers(heir.get()), (Words{2, 3}));

    hub.set_next_host(ap);
    hub.clear_sent();
    ASSERT_EQ(host->DestroyPort(hp), OM_S_OK);
    EXPECT_EQ(heir->Poll(), OM_S_OK);
    std::vector<Hub::Message> welcomes = hub.sent();
    ASSERT_EQ(codes_of(welcomes), Words{OM_NETWORK_WELCOME});
    EXPECT_EQ(welcomes[0].sender, ap);
    EXPECT_EQ(welcomes[0].receiver, 0u);
    EXPECT_EQ(welcomes[0].body, body_of({1, 3}));
    EXPECT_EQ(numbers(heir.get()), Words{3}); // the old host's player left with its port
    uint32_t known = 0;
    EXPECT_EQ(heir->GetHostPort(&known), OM_S_OK);
    EXPECT_EQ(known, ap);

    // A repeated notice does not make it broadcast again.
    hub.inject(a, {OM_TRANSPORT_BECAME_HOST, 0, ap, {}});
    heir->Poll();
    EXPECT_EQ(hub.sent().size(), 1u);

    other->Poll();
    EXPECT_EQ(other->GetHostPort(&known), OM_S_OK);
    EXPECT_EQ(known, ap);
    EXPECT_EQ(numbers(other.get()), Words{3});

    // The new host numbers the next request.
    {
        Poller poll_heir(heir.get());
        ASSERT_EQ(other->RequestPlayer(bp, &number, 0), OM_S_OK);
    }
    EXPECT_EQ(number, 4u);
}

// Offsets either way, with symmetric delays on the way there and back.
TEST_F(NetworkTest, ClockOffsetOfEitherSign) {
    for (int32_t offset : {500, -500}) {
        SCOPED_TRACE(offset);
        WorldClock world;
        Hub hub(&world);
        hub.set_delay(20);
        int h = 0;
        ComRef<IOmNetwork> host = make(hub.endpoint(&h));
        ComRef<IOmNetwork> side = make(hub.endpoint());
        SideClock host_clock{&world, offset}, side_clock{&world, 0, &hub, h};
        OmNetworkSetClock(host.get(), SideClock::read, &host_clock);
        OmNetworkSetClock(side.get(), SideClock::read, &side_clock);
        uint32_t hp = 0, sp = 0;
        ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
        Poller poll_host(host.get());
        ASSERT_EQ(side->JoinSession("s", &sp), OM_S_OK);
        int32_t measured = 0;
        ASSERT_EQ(side->MeasureClockOffset(sp, hp, &measured), OM_S_OK);
        EXPECT_NEAR(measured, offset, 2);
        // Thirty round trips of about 40 ms each.
        EXPECT_EQ(hub.sent_to(hp).size(), 30u);
    }
}

// The mean of the middle of the sorted samples; no answer at all is a failure.
TEST_F(NetworkTest, ClockOffsetMedianWindow) {
    struct Case {
        std::vector<int32_t> samples;
        int32_t expected;
    };
    std::vector<int32_t> thirty;
    for (int i = 0; i < 30; ++i) thirty.push_back(7 * i - 100);
    thirty[0] = -100000;
    thirty[29] = 90000; // outside the window
    const Case cases[] = {
        {{800, -20, -40, -900, -30, 30, -10, -50, 20, -35}, -20}, // sorted 4..6: -30..-10
        {thirty, 5},                                              // sorted 12..18: -16..26
        {{-7}, -7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.samples.size());
        std::vector<int32_t> shuffled = c.samples;
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
        // The side's clock stands still while answers come, then races on.
        struct Clock {
            uint32_t ms = 5000;
            uint32_t step = 0;
            static uint32_t read(void* self) {
                auto* c = static_cast<Clock*>(self);
                return c->ms += c->step;
            }
        } clock;
        Hub hub;
        ComRef<IOmNetwork> host = make(hub.endpoint());
        int s = 0;
        ComRef<IOmNetwork> side = make(hub.endpoint(&s));
        OmNetworkSetClock(side.get(), Clock::read, &clock);
        uint32_t hp = 0, sp = 0;
        ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
        {
            Poller poll_host(host.get());
            ASSERT_EQ(side->JoinSession("s", &sp), OM_S_OK);
        }
        size_t answered = 0;
        hub.drop = [](const Hub::Message&) { return true; };
        hub.answer = [&](const Hub::Message& m) {
            std::vector<Hub::Message> out;
            if (answered == shuffled.size()) {
                clock.step = 1000;
                return out;
            }
            uint32_t t0 = word_of(m.body, 1);
            uint32_t t = t0 + uint32_t(shuffled[answered++]);
            out.push_back({OM_TRANSPORT_DATA, hp, sp, body_of({7, t0, t, t, 0})});
            return out;
        };
        int32_t offset = 12345;
        ASSERT_EQ(side->MeasureClockOffset(sp, hp, &offset), OM_S_OK);
        EXPECT_EQ(offset, c.expected);
    }

    // Nobody answers: a failure, the offset as it was.
    WorldClock world;
    Hub hub(&world);
    ComRef<IOmNetwork> side = make(hub.endpoint());
    SideClock clock{&world};
    OmNetworkSetClock(side.get(), SideClock::read, &clock);
    int32_t offset = 12345;
    EXPECT_EQ(side->MeasureClockOffset(100, 101, &offset), OM_E_FAIL);
    EXPECT_EQ(offset, 12345);
    EXPECT_GE(world.now() - 1000, 10000u);
    EXPECT_LE(hub.sent().size(), 101u);
}

// A host that never answers: joining and asking for a number end at the request time-out on
// the program's (virtual) clock.
TEST_F(NetworkTest, SilentHostTimesOut) {
    testsupport::VirtualClockScope virtual_clock(1000);
    Hub hub;
    int a = 0;
    ComRef<IOmNetwork> host = make(hub.endpoint());
    ComRef<IOmNetwork> side = make(hub.endpoint(&a));
    uint32_t hp = 0, sp = 0, number = 0;
    ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);

    uint32_t start = platform::timeGetTime();
    EXPECT_EQ(side->JoinSession("s", &sp), OM_E_FAIL);
    uint32_t waited = platform::timeGetTime() - start;
    EXPECT_GT(waited, 20000u);
    EXPECT_LT(waited, 20100u);
    const char* name = nullptr;
    EXPECT_EQ(side->GetSessionName(&name), OM_E_FAIL); // the session was closed again

    // A welcome arrives, then the host falls silent.
    hub.inject(a, {OM_TRANSPORT_DATA, hp, 0, body_of({1, 1})});
    ASSERT_EQ(side->JoinSession("s", &sp), OM_S_OK);
    uint32_t known = 0;
    EXPECT_EQ(side->GetHostPort(&known), OM_S_OK);
    uint32_t timeout = 2000;
    side->SetOption(OM_NETWORK_TIMEOUT, &timeout);
    start = platform::timeGetTime();
    EXPECT_EQ(side->RequestPlayer(sp, &number, 0), OM_E_FAIL);
    waited = platform::timeGetTime() - start;
    EXPECT_GT(waited, 2000u);
    EXPECT_LT(waited, 2100u);
}

// Bodies too short for their code, oversized data sizes and overlong lists are dropped
// before anything is read: no reply, no callback, no change.
TEST_F(NetworkTest, DamagedBodiesAreDropped) {
    Hub hub;
    int h = 0;
    ComRef<IOmNetwork> host = make(hub.endpoint(&h));
    host->SetCallback(record<0>);
    uint32_t hp = 0, number = 0, stranger = 0;
    ASSERT_EQ(host->CreateSession("s", &hp), OM_S_OK);
    ASSERT_EQ(host->RequestPlayer(hp, &number, 0), OM_S_OK);
    ASSERT_EQ(host->RequestPlayer(hp, &number, 0), OM_S_OK);
    uint32_t value = 77;
    host->SetPlayerData(2, &value, 4);
    host->TakeChanged(2);
    ComRef<IOmNetwork> side = make(hub.endpoint());
    side->Poll();
    {
        // A port of another endpoint to send from.
        ComRef<IOmNetwork> peer = make(hub.endpoint());
        Poller poll_host(host.get());
        ASSERT_EQ(peer->JoinSession("s", &stranger), OM_S_OK);
        hub.wait_idle(h);
    }

    auto unchanged = [&](const char* what) {
        SCOPED_TRACE(what);
        EXPECT_TRUE(hub.sent().empty());
        EXPECT_TRUE(codes_seen(0).empty());
        EXPECT_EQ(numbers(host.get()), (Words{2, 3}));
        EXPECT_EQ(host->TakeChanged(2), 0);
        void* data = nullptr;
        uint32_t size = 0;
        EXPECT_EQ(host->GetPlayerData(2, &data, &size), OM_S_OK);
        EXPECT_EQ(size, 4u);
        uint32_t known = 0;
        host->GetHostPort(&known);
        EXPECT_EQ(known, hp);
    };
    auto deliver = [&](std::vector<uint8_t> body) {
        hub.clear_sent();
        seen[0].clear();
        hub.inject(h, {OM_TRANSPORT_DATA, stranger, hp, std::move(body)});
        host->Poll();
    };

    const Words whole[] = {
        {0},          {1, 9},          {2, 0},          {3, 2},           {4, 9, 1},
        {5, 0},       {6, 1, 0, 0, 0}, {7, 1, 2, 3, 0}, {8, 9, stranger}, {9, 0},
        {16, 2, 4, 5}};
    for (const Words& w : whole) {
        std::vector<uint8_t> full = body_of(w);
        for (size_t cut = 0; cut < full.size(); ++cut) {
            if (w[0] == 8 && cut >= 4) continue; // a shorter list is still a list
            deliver(std::vector<uint8_t>(full.begin(), full.begin() + cut));
            unchanged(("code " + std::to_string(w[0]) + " cut at " + std::to_string(cut)).c_str());
        }
    }

    // Data sizes beyond the body or beyond 64 KiB.
    deliver(body_of({16, 2, 5, 1}));
    unchanged("size past the body");
    deliver(body_of({16, 2, 0xFFFFFFFF, 1}));
    unchanged("size of 4 GiB");
    std::vector<uint8_t> big = body_of({16, 2, OM_NETWORK_MAX_PLAYER_DATA + 1});
    big.resize(12 + OM_NETWORK_MAX_PLAYER_DATA + 1);
    deliver(big);
    unchanged("size above 64 KiB");

    // Lists longer than the player cap, up to a claimed million pairs.
    for (uint32_t pairs : {256u, 1000000u}) {
        std::vector<uint8_t> list = body_of({8});
        list.resize(4 + size_t(8) * pairs, 1);
        deliver(list);
        unchanged(("list of " + std::to_string(pairs)).c_str());
    }

    // A list naming a number twice.
    deliver(body_of({8, 7, stranger, 7, stranger}));
    unchanged("list naming a number twice");

    // The whole forms do act (the cuts above were not dropped for another reason).
    deliver(body_of({0}));
    EXPECT_EQ(codes_of(hub.sent()), Words{OM_NETWORK_WELCOME});
    deliver(body_of({16, 2, 4, 5}));
    EXPECT_EQ(host->TakeChanged(2), 1);
    std::vector<uint8_t> list = body_of({8});
    for (uint32_t i = 0; i < OM_NETWORK_MAX_PLAYERS; ++i) {
        std::vector<uint8_t> pair = body_of({100 + i, stranger});
        list.insert(list.end(), pair.begin(), pair.end());
    }
    deliver(list);
    uint32_t count = 0;
    host->GetPlayerCount(&count);
    EXPECT_EQ(count, OM_NETWORK_MAX_PLAYERS);
}

// The layer over the DirectPlay stand-in, through real sockets on loopback: one side hosts
// a session, two sides join it.
class NetworkOverDirectPlay : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        platform::set_direct_play_timing(platform::DirectPlayTiming{});
    }

    // A side over a DirectPlay transport for the address, its provider started.
    static ComRef<IOmNetwork> side(const std::string& address) {
        IOmTransport* t = nullptr;
        EXPECT_EQ(OmCreate<IOmTransport>(CLSID_Win32Dx6Transport, IID_IOmTransport, &t), OM_S_OK);
        ComRef<IOmNetwork> n = make(t);
        std::string text = address;
        EXPECT_EQ(n->SetOption(OM_NETWORK_ADDRESS_1, text.data()), OM_S_OK);
        EXPECT_EQ(n->StartServiceProvider(OM_TRANSPORT_TCPIP), OM_S_OK);
        return n;
    }

    // Polls on the wall clock until the condition holds (the sockets take their time, more so
    // under a sanitizer), at most twenty seconds.
    template <class F>
    static bool eventually(F condition) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return condition();
    }

    static uint32_t data_word(IOmNetwork* n, uint32_t number) {
        void* data = nullptr;
        uint32_t size = 0, word = 0;
        if (n->GetPlayerData(number, &data, &size) != OM_S_OK || size != 4) return 0;
        std::memcpy(&word, data, 4);
        return word;
    }
};

TEST_F(NetworkOverDirectPlay, AHostAndTwoJoiningSidesOverLoopback) {
    // The port is one the system handed out; another test may take it first.
    ComRef<IOmNetwork> host;
    std::string address;
    uint32_t hp = 0;
    for (int attempt = 0; attempt < 5 && !hp; ++attempt) {
        address = "127.0.0.1:" + std::to_string(testsupport::free_loopback_port());
        host = side(address);
        if (host->CreateSession("corvel", &hp) != OM_S_OK) hp = 0;
    }
    ASSERT_NE(hp, 0u);
    host->SetCallback(record<0>);
    uint32_t number = 0, known = 0;
    ASSERT_EQ(host->RequestPlayer(hp, &number, 4), OM_S_OK);
    EXPECT_EQ(number, 2u);
    EXPECT_EQ(host->GetHostPort(&known), OM_S_OK);
    EXPECT_EQ(known, hp);

    // Each joining side is welcomed with the list so far, then numbered by the host.
    ComRef<IOmNetwork> first = side(address);
    ComRef<IOmNetwork> second = side(address);
    first->SetCallback(record<1>);
    second->SetCallback(record<2>);
    uint32_t fp = 0, sp = 0, fn = 0, sn = 0;
    {
        Poller poll_host(host.get());
        ASSERT_EQ(first->JoinSession("corvel", &fp), OM_S_OK);
        ASSERT_TRUE(eventually([&] {
            first->Poll();
            return numbers(first.get()) == Words{2};
        }));
        ASSERT_EQ(first->RequestPlayer(fp, &fn, 4), OM_S_OK);
        ASSERT_EQ(second->JoinSession("corvel", &sp), OM_S_OK);
        ASSERT_TRUE(eventually([&] {
            second->Poll();
            return numbers(second.get()) == (Words{2, 3});
        }));
        ASSERT_EQ(second->RequestPlayer(sp, &sn, 4), OM_S_OK);
    }
    EXPECT_EQ(fn, 3u);
    EXPECT_EQ(sn, 4u);
    EXPECT_EQ(first->GetHostPort(&known), OM_S_OK);
    EXPECT_EQ(known, hp);
    auto every_side = [&](auto condition) {
        return eventually([&] {
            host->Poll();
            first->Poll();
            second->Poll();
            return condition();
        });
    };
    ASSERT_TRUE(every_side([&] {
        return numbers(host.get()) == (Words{2, 3, 4}) &&
               numbers(first.get()) == (Words{2, 3, 4}) &&
               numbers(second.get()) == (Words{2, 3, 4});
    }));
    EXPECT_EQ(host->IsPlayerAtPort(sp, 4), 1);
    EXPECT_EQ(first->IsPlayerAtPort(sp, 4), 1);

    // Data both ways: a joining side's block and the host's reach every other side, and a
    // message of the user's goes from one joining side to the other.
    uint32_t value = 0xA11CE;
    ASSERT_EQ(first->SetPlayerData(3, &value, 4), OM_S_OK);
    ASSERT_EQ(first->BroadcastPlayerData(fp, 3, OM_TRANSPORT_SEND_GUARANTEED), OM_S_OK);
    value = 0xB0B;
    ASSERT_EQ(host->SetPlayerData(2, &value, 4), OM_S_OK);
    ASSERT_EQ(host->BroadcastPlayerData(hp, 2, OM_TRANSPORT_SEND_GUARANTEED), OM_S_OK);
    ASSERT_EQ(send_words(second.get(), sp, fp, {0x100, 7}), OM_S_OK);
    ASSERT_TRUE(every_side([&] {
        const Words seen_by_first = codes_seen(1);
        return data_word(host.get(), 3) == 0xA11CE && data_word(second.get(), 3) == 0xA11CE &&
               data_word(first.get(), 2) == 0xB0B && data_word(second.get(), 2) == 0xB0B &&
               std::count(seen_by_first.begin(), seen_by_first.end(), 0x100u) == 1;
    }));

    // A side leaves: its player goes on the others, each hearing of the removal once.
    {
        std::lock_guard g(seen_lock);
        seen[0].clear();
        seen[1].clear();
    }
    ASSERT_EQ(second->Close(), OM_S_OK);
    ASSERT_TRUE(eventually([&] {
        host->Poll();
        first->Poll();
        return numbers(host.get()) == (Words{2, 3}) && numbers(first.get()) == (Words{2, 3});
    }));
    EXPECT_EQ(codes_seen(0), Words{OM_NETWORK_REMOVE});
    EXPECT_EQ(codes_seen(1), Words{OM_NETWORK_REMOVE});

    // The host closes: the session ends for the side still in it.
    ASSERT_EQ(host->Close(), OM_S_OK);
    EXPECT_EQ(numbers(host.get()), Words{});
    ASSERT_TRUE(eventually([&] { return first->Poll() == OM_E_FAIL; }));
    EXPECT_EQ(send_words(first.get(), fp, hp, {0x100}), OM_E_TRANSPORT_NOCONNECTION);
}

} // namespace
