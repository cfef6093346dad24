// The DirectPlay stand-in against an in-process session host on loopback: addresses,
// providers, enumeration, join, ports, data both ways, and the loss of the session.
#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_address.h"
#include "platform/dplay/host/dplay_host.h"
#include "tests/support/free_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

using namespace platform;

namespace {

template <class T>
ComPtr<T> create(const GUID& clsid, const GUID& iid) {
    void* out = nullptr;
    EXPECT_EQ(DirectPlayCoCreateInstance(clsid, iid, &out), S_OK);
    return ComPtr<T>(static_cast<T*>(out));
}

std::vector<uint8_t> tcp_address(const std::string& host, const uint32_t* port) {
    auto lobby = create<IDirectPlayLobby3A>(CLSID_DirectPlayLobby, IID_IDirectPlayLobby3A);
    std::vector<DPCOMPOUNDADDRESSELEMENT> elements = {
        {DPAID_ServiceProvider, 16, &DPSPGUID_TCPIP},
        {DPAID_INet, uint32_t(host.size() + 1), host.c_str()}};
    if (port) elements.push_back({DPAID_INetPort, 4, port});
    uint32_t size = 0;
    EXPECT_EQ(
        lobby->CreateCompoundAddress(elements.data(), uint32_t(elements.size()), nullptr, &size),
        DPERR_BUFFERTOOSMALL);
    std::vector<uint8_t> block(size);
    EXPECT_EQ(lobby->CreateCompoundAddress(elements.data(), uint32_t(elements.size()), block.data(),
                                           &size),
              DP_OK);
    return block;
}

// Waits on the wall clock (the stand-in's own time) for a condition, at most five seconds.
template <class F>
bool eventually(F condition) {
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

struct Found {
    std::vector<std::string> names;
    std::vector<GUID> instances;
    bool timed_out = false;
};

bool on_session(const DPSESSIONDESC2* session, uint32_t*, uint32_t flags, void* context) {
    auto* found = static_cast<Found*>(context);
    if (flags & DPESC_TIMEDOUT) {
        found->timed_out = true;
        return false;
    }
    found->names.push_back(session->lpszSessionNameA);
    found->instances.push_back(session->guidInstance);
    return true;
}

class DirectPlayTest : public ::testing::Test {
protected:
    void SetUp() override {
        set_direct_play_timing(DirectPlayTiming{});
        host_ = DirectPlayHost::start(DirectPlayHostOptions{});
        ASSERT_TRUE(host_);
    }
    void TearDown() override { set_direct_play_timing(DirectPlayTiming{}); }

    // A joined DirectPlay object with one player carrying `data`.
    ComPtr<IDirectPlay4A> join(DPID* player, const std::string& data = "0123456789abcdef") {
        auto dp = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
        uint32_t port = host_->port();
        std::vector<uint8_t> address = tcp_address("127.0.0.1", &port);
        EXPECT_EQ(dp->InitializeConnection(address.data(), 0), DP_OK);
        DPSESSIONDESC2 desc{};
        desc.dwSize = sizeof desc;
        Found found;
        EXPECT_TRUE(eventually([&] {
            found = Found{};
            dp->EnumSessions(&desc, 0, on_session, &found, DPENUMSESSIONS_ASYNC);
            return !found.names.empty();
        }));
        if (found.names.empty()) return dp;
        EXPECT_EQ(found.names[0], "AerovantServer");
        EXPECT_TRUE(found.timed_out);
        desc.guidInstance = found.instances[0];
        EXPECT_EQ(dp->Open(&desc, DPOPEN_JOIN), DP_OK);
        EXPECT_EQ(dp->CreatePlayer(player, nullptr, nullptr, data.data(), uint32_t(data.size()), 0),
                  DP_OK);
        EXPECT_NE(*player, 0u);
        return dp;
    }

    // The next message for the DirectPlay object, waited for.
    static std::vector<uint8_t> next_message(IDirectPlay3A* dp, DPID* from, DPID* to) {
        std::vector<uint8_t> buffer;
        eventually([&] {
            uint32_t size = 0;
            int32_t r = dp->Receive(from, to, DPRECEIVE_ALL | DPRECEIVE_PEEK, nullptr, &size);
            if (r != DPERR_BUFFERTOOSMALL) return false;
            buffer.resize(size);
            return dp->Receive(from, to, DPRECEIVE_ALL, buffer.data(), &size) == DP_OK;
        });
        return buffer;
    }

    std::unique_ptr<DirectPlayHost> host_;
};

TEST(DirectPlayAddress, EndpointParseRule) {
    struct Case {
        const char* text;
        const char* host;
        uint16_t port;
        bool ok;
    } cases[] = {
        {"example.net:6113", "example.net", 6113, true},
        {"10.0.0.2:4000:6113", "10.0.0.2", 4000, true}, // an address that already had a port
        {":6113", "127.0.0.1", 6113, true},
        {"", "127.0.0.1", 7, true},
        {"host", "host", 7, true},
        {"host:", "host", 7, true},
        {"host:70000", "", 0, false},
        {"host:0", "", 0, false},
    };
    for (const Case& c : cases) {
        DirectPlayEndpoint e{};
        ASSERT_EQ(parse_direct_play_endpoint(c.text, 7, &e), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_STREQ(e.host, c.host) << c.text;
        EXPECT_EQ(e.port, c.port) << c.text;
    }
}

TEST(DirectPlayAddress, CompoundAddressRoundTripsAndRejectsDamage) {
    uint32_t port = 6113;
    std::vector<uint8_t> block = tcp_address("example.net", &port);
    CompoundAddress a;
    ASSERT_TRUE(parse_compound_address(block.data(), &a));
    EXPECT_TRUE(a.has_provider && a.provider == DPSPGUID_TCPIP);
    EXPECT_EQ(a.inet, "example.net");
    EXPECT_EQ(a.port, 6113u);
    // A size word that claims more than the elements hold, and an unterminated host text.
    std::vector<uint8_t> shortened = block;
    uint32_t claimed = uint32_t(block.size()) + 10;
    std::memcpy(shortened.data(), &claimed, 4);
    shortened.resize(block.size() + 10, 0xEE);
    EXPECT_FALSE(parse_compound_address(shortened.data(), &a));
    std::vector<uint8_t> unterminated = block;
    unterminated[4 + 20 + 16 + 20 + 11] = 'x';
    EXPECT_FALSE(parse_compound_address(unterminated.data(), &a));
}

TEST(DirectPlayProviders, OnlyTcpIpIsPresent) {
    auto dp = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
    std::vector<GUID> providers;
    dp->EnumConnections(
        nullptr,
        [](const GUID* sp, void* connection, uint32_t, const DPNAME*, uint32_t, void* context) {
            CompoundAddress a;
            EXPECT_TRUE(parse_compound_address(connection, &a));
            static_cast<std::vector<GUID>*>(context)->push_back(*sp);
            return true;
        },
        &providers, DPCONNECTION_DIRECTPLAY);
    ASSERT_EQ(providers.size(), 1u);
    EXPECT_TRUE(providers[0] == DPSPGUID_TCPIP);

    auto lobby = create<IDirectPlayLobby3A>(CLSID_DirectPlayLobby, IID_IDirectPlayLobby3A);
    DPCOMPOUNDADDRESSELEMENT ipx{DPAID_ServiceProvider, 16, &DPSPGUID_IPX};
    uint8_t block[64];
    uint32_t size = sizeof block;
    ASSERT_EQ(lobby->CreateCompoundAddress(&ipx, 1, block, &size), DP_OK);
    EXPECT_EQ(dp->InitializeConnection(block, 0), DPERR_UNAVAILABLE);
    // The 3A interface is the same object.
    void* three = nullptr;
    ASSERT_EQ(dp->QueryInterface(IID_IDirectPlay3A, &three), S_OK);
    static_cast<IDirectPlay3A*>(three)->Release();
}

TEST_F(DirectPlayTest, JoinCreatePortAndExchangeData) {
    DPID client_port = 0;
    auto dp = join(&client_port);
    ASSERT_TRUE(host_->wait_message(5000));
    DirectPlayHostMessage m;
    ASSERT_TRUE(host_->receive(&m));
    EXPECT_EQ(m.kind, 0u);
    EXPECT_EQ(m.from, client_port);
    EXPECT_EQ(std::string(m.data.begin(), m.data.end()), "0123456789abcdef");
    EXPECT_EQ(host_->member_count(), 1u);

    DPID server_port = host_->create_port(nullptr, 0);
    DPID from = 0, to = 0;
    std::vector<uint8_t> created = next_message(dp.get(), &from, &to);
    ASSERT_EQ(created.size(), sizeof(DPMSG_CREATEPLAYERORGROUP));
    EXPECT_EQ(from, DPID_SYSMSG);
    auto* record = reinterpret_cast<DPMSG_CREATEPLAYERORGROUP*>(created.data());
    EXPECT_EQ(record->dwType, DPSYS_CREATEPLAYERORGROUP);
    EXPECT_EQ(record->dpId, server_port);

    // Client to server, one message of its exact length (also an empty one).
    const char hello[] = "hello server";
    ASSERT_EQ(dp->Send(client_port, server_port, DPSEND_GUARANTEED, hello, sizeof hello), DP_OK);
    ASSERT_EQ(dp->Send(client_port, server_port, 0, nullptr, 0), DP_OK);
    ASSERT_TRUE(eventually([&] { return host_->receive(&m); }));
    EXPECT_EQ(m.kind, 16u);
    EXPECT_EQ(m.from, client_port);
    EXPECT_EQ(m.to, server_port);
    EXPECT_EQ(m.data.size(), sizeof hello);
    ASSERT_TRUE(eventually([&] { return host_->receive(&m); }));
    EXPECT_TRUE(m.data.empty());

    // Server to client, and a broadcast that skips its sender.
    const char reply[] = "welcome";
    ASSERT_EQ(host_->send(server_port, client_port, 0, reply, sizeof reply), DP_OK);
    ASSERT_EQ(host_->send(server_port, 0, 0, "all", 3), DP_OK);
    std::vector<uint8_t> got = next_message(dp.get(), &from, &to);
    EXPECT_EQ(std::string(got.begin(), got.end() - 1), "welcome");
    EXPECT_EQ(from, server_port);
    EXPECT_EQ(to, client_port);
    got = next_message(dp.get(), &from, &to);
    EXPECT_EQ(std::string(got.begin(), got.end()), "all");
    EXPECT_FALSE(host_->receive(&m)); // the server's own broadcast is not echoed

    // Errors the transports map.
    uint32_t size = 0;
    EXPECT_EQ(dp->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size), DPERR_NOMESSAGES);
    EXPECT_EQ(dp->Send(client_port + 100, server_port, 0, "x", 1), DPERR_INVALIDPLAYER);
    std::vector<uint8_t> huge(70000);
    EXPECT_EQ(dp->Send(client_port, server_port, 0, huge.data(), uint32_t(huge.size())),
              DPERR_SENDTOOBIG);
}

TEST_F(DirectPlayTest, TwoMembersSeeEachOthersPortsComeAndGo) {
    DPID first = 0, second = 0;
    auto a = join(&first);
    auto b = join(&second);
    DPID from = 0, to = 0;
    std::vector<uint8_t> created = next_message(a.get(), &from, &to);
    ASSERT_EQ(created.size(), sizeof(DPMSG_CREATEPLAYERORGROUP) + 16);
    auto* record = reinterpret_cast<DPMSG_CREATEPLAYERORGROUP*>(created.data());
    EXPECT_EQ(record->dpId, second);
    EXPECT_EQ(std::memcmp(record->lpData, "0123456789abcdef", 16), 0);
    uint32_t count = 7;
    EXPECT_EQ(b->GetMessageCount(second, &count), DP_OK);
    EXPECT_EQ(count, 0u); // the earlier member's port is not announced to the newcomer

    ASSERT_EQ(a->Send(first, second, 0, "ab", 2), DP_OK);
    std::vector<uint8_t> got = next_message(b.get(), &from, &to);
    EXPECT_EQ(std::string(got.begin(), got.end()), "ab");
    EXPECT_EQ(from, first);

    ASSERT_EQ(b->Close(), DP_OK);
    got = next_message(a.get(), &from, &to);
    ASSERT_EQ(got.size(), sizeof(DPMSG_DESTROYPLAYERORGROUP));
    EXPECT_EQ(reinterpret_cast<DPMSG_DESTROYPLAYERORGROUP*>(got.data())->dpId, second);
    EXPECT_EQ(b->Send(second, first, 0, "x", 1), DPERR_NOCONNECTION);
}

TEST_F(DirectPlayTest, EndOfStreamLosesTheSessionOnce) {
    DPID player = 0;
    auto dp = join(&player);
    host_->disconnect_members();
    DPID from = 0, to = 0;
    std::vector<uint8_t> got = next_message(dp.get(), &from, &to);
    ASSERT_EQ(got.size(), sizeof(DPMSG_GENERIC));
    EXPECT_EQ(reinterpret_cast<DPMSG_GENERIC*>(got.data())->dwType, DPSYS_SESSIONLOST);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    uint32_t size = 0;
    EXPECT_EQ(dp->Receive(&from, &to, DPRECEIVE_ALL, nullptr, &size), DPERR_NOMESSAGES);
    EXPECT_EQ(dp->Send(player, 0, 0, "x", 1), DPERR_NOCONNECTION);
}

TEST_F(DirectPlayTest, HeartbeatSilenceLosesTheSession) {
    DirectPlayTiming quick;
    quick.heartbeat_ms = 20;
    quick.silence_ms = 200;
    set_direct_play_timing(quick);
    DirectPlayHostOptions options;
    options.heartbeat_ms = 20;
    host_ = DirectPlayHost::start(options);
    ASSERT_TRUE(host_);
    DPID player = 0;
    auto dp = join(&player);
    // Heartbeats keep a quiet session alive well past the silence bound.
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    uint32_t count = 0;
    ASSERT_EQ(dp->GetMessageCount(0, &count), DP_OK);
    EXPECT_EQ(count, 0u);
    host_->set_mute(true);
    DPID from = 0, to = 0;
    std::vector<uint8_t> got = next_message(dp.get(), &from, &to);
    ASSERT_EQ(got.size(), sizeof(DPMSG_GENERIC));
    EXPECT_EQ(reinterpret_cast<DPMSG_GENERIC*>(got.data())->dwType, DPSYS_SESSIONLOST);
}

TEST_F(DirectPlayTest, SynchronousEnumerationWaitsForTheAnswer) {
    auto dp = create<IDirectPlay3A>(CLSID_DirectPlay, IID_IDirectPlay3A);
    uint32_t port = host_->port();
    std::vector<uint8_t> address = tcp_address("127.0.0.1", &port);
    ASSERT_EQ(dp->InitializeConnection(address.data(), 0), DP_OK);
    EXPECT_EQ(dp->InitializeConnection(address.data(), 0), DPERR_ALREADYINITIALIZED);
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    Found found;
    ASSERT_EQ(dp->EnumSessions(&desc, 5000, on_session, &found, 0), DP_OK);
    ASSERT_EQ(found.names.size(), 1u);
    // Joining a session that was never found asks nobody.
    desc.guidInstance = GUID{1, 2, 3, {4}};
    EXPECT_EQ(dp->Open(&desc, DPOPEN_JOIN), DPERR_NOSESSIONS);
    // The host holds the port: no session can be created on it.
    EXPECT_EQ(dp->Open(&desc, DPOPEN_CREATE), DPERR_CANTCREATESESSION);
    EXPECT_EQ(dp->Open(&desc, 0), DPERR_INVALIDFLAGS);
}

TEST_F(DirectPlayTest, ACreatedSessionIsHostedJoinedAndEndedByItsCreator) {
    host_.reset();
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    desc.guidApplication = GUID{7, 7, 7, {7}};
    desc.lpszSessionNameA = "corvel";
    auto creator = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
    EXPECT_EQ(creator->Open(&desc, DPOPEN_CREATE), DPERR_UNINITIALIZED);
    // The port is one the system handed out; another test may take it first.
    uint32_t port = 0;
    bool created = false;
    for (int attempt = 0; attempt < 5 && !created; ++attempt) {
        creator = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
        port = testsupport::free_loopback_port();
        std::vector<uint8_t> address = tcp_address("127.0.0.1", &port);
        ASSERT_EQ(creator->InitializeConnection(address.data(), 0), DP_OK);
        created = creator->Open(&desc, DPOPEN_CREATE) == DP_OK;
    }
    ASSERT_TRUE(created);
    EXPECT_EQ(creator->Open(&desc, DPOPEN_CREATE), DPERR_ALREADYINITIALIZED);
    EXPECT_EQ(creator->Open(&desc, DPOPEN_JOIN), DPERR_ALREADYINITIALIZED);

    // The creator's first player hears that its side hosts the session; later ones do not.
    DPID own = 0, second_own = 0, from = 0, to = 0;
    ASSERT_EQ(creator->CreatePlayer(&own, nullptr, nullptr, nullptr, 0, 0), DP_OK);
    std::vector<uint8_t> got = next_message(creator.get(), &from, &to);
    ASSERT_EQ(got.size(), sizeof(DPMSG_GENERIC));
    EXPECT_EQ(reinterpret_cast<DPMSG_GENERIC*>(got.data())->dwType, DPSYS_HOST);
    EXPECT_EQ(from, DPID_SYSMSG);
    EXPECT_EQ(to, own);
    ASSERT_EQ(creator->CreatePlayer(&second_own, nullptr, nullptr, nullptr, 0, 0), DP_OK);
    uint32_t count = 9;
    ASSERT_EQ(creator->GetMessageCount(0, &count), DP_OK);
    EXPECT_EQ(count, 0u);

    // A member finds it under its name and application, and both sides hear each other.
    auto member = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
    std::vector<uint8_t> address = tcp_address("127.0.0.1", &port);
    ASSERT_EQ(member->InitializeConnection(address.data(), 0), DP_OK);
    DPSESSIONDESC2 ask{};
    ask.dwSize = sizeof ask;
    ask.guidApplication = desc.guidApplication;
    Found found;
    ASSERT_EQ(member->EnumSessions(&ask, 5000, on_session, &found, 0), DP_OK);
    ASSERT_EQ(found.names, std::vector<std::string>{"corvel"});
    ask.guidInstance = found.instances[0];
    ASSERT_EQ(member->Open(&ask, DPOPEN_JOIN), DP_OK);
    DPID theirs = 0;
    ASSERT_EQ(member->CreatePlayer(&theirs, nullptr, nullptr, "id", 2, 0), DP_OK);
    got = next_message(creator.get(), &from, &to);
    ASSERT_EQ(got.size(), sizeof(DPMSG_CREATEPLAYERORGROUP) + 2);
    EXPECT_EQ(reinterpret_cast<DPMSG_CREATEPLAYERORGROUP*>(got.data())->dpId, theirs);
    ASSERT_EQ(member->Send(theirs, own, DPSEND_GUARANTEED, "up", 2), DP_OK);
    got = next_message(creator.get(), &from, &to);
    EXPECT_EQ(std::string(got.begin(), got.end()), "up");
    EXPECT_EQ(from, theirs);
    EXPECT_EQ(to, own);
    ASSERT_EQ(creator->Send(own, 0, 0, "down", 4), DP_OK);
    got = next_message(member.get(), &from, &to);
    EXPECT_EQ(std::string(got.begin(), got.end()), "down");
    EXPECT_EQ(from, own);
    got = next_message(creator.get(), &from, &to); // the creator's other player hears it too
    EXPECT_EQ(std::string(got.begin(), got.end()), "down");
    EXPECT_EQ(to, second_own);

    // The session ends with its creator; its port is free for the next one.
    ASSERT_EQ(creator->Close(), DP_OK);
    bool lost = false;
    ASSERT_TRUE(eventually([&] {
        uint32_t size = 0;
        if (member->Receive(&from, &to, DPRECEIVE_ALL | DPRECEIVE_PEEK, nullptr, &size) !=
            DPERR_BUFFERTOOSMALL)
            return false;
        std::vector<uint8_t> record(size);
        member->Receive(&from, &to, DPRECEIVE_ALL, record.data(), &size);
        lost = reinterpret_cast<DPMSG_GENERIC*>(record.data())->dwType == DPSYS_SESSIONLOST;
        return lost;
    }));
    EXPECT_EQ(member->Send(theirs, own, 0, "x", 1), DPERR_NOCONNECTION);
    EXPECT_EQ(creator->Close(), DPERR_NOCONNECTION);
    auto next = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
    ASSERT_EQ(next->InitializeConnection(address.data(), 0), DP_OK);
    EXPECT_EQ(next->Open(&desc, DPOPEN_CREATE), DP_OK);
}

TEST_F(DirectPlayTest, NothingListeningFindsNoSession) {
    uint32_t port = host_->port();
    host_.reset();
    auto dp = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
    std::vector<uint8_t> address = tcp_address("127.0.0.1", &port);
    ASSERT_EQ(dp->InitializeConnection(address.data(), 0), DP_OK);
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    Found found;
    ASSERT_EQ(dp->EnumSessions(&desc, 300, on_session, &found, 0), DP_OK);
    EXPECT_TRUE(found.names.empty());
    EXPECT_TRUE(found.timed_out);
    DPID id = 0;
    EXPECT_EQ(dp->CreatePlayer(&id, nullptr, nullptr, nullptr, 0, 0), DPERR_NOCONNECTION);
}

TEST_F(DirectPlayTest, CloseFromAnotherThreadEndsABlockedJoin) {
    DirectPlayTiming slow;
    slow.join_ms = 60000;
    set_direct_play_timing(slow);
    auto dp = create<IDirectPlay4A>(CLSID_DirectPlay, IID_IDirectPlay4A);
    uint32_t port = host_->port();
    std::vector<uint8_t> address = tcp_address("127.0.0.1", &port);
    ASSERT_EQ(dp->InitializeConnection(address.data(), 0), DP_OK);
    DPSESSIONDESC2 desc{};
    desc.dwSize = sizeof desc;
    Found found;
    ASSERT_EQ(dp->EnumSessions(&desc, 5000, on_session, &found, 0), DP_OK);
    ASSERT_EQ(found.instances.size(), 1u);
    desc.guidInstance = found.instances[0];
    host_->set_mute(true); // the join is never answered
    int32_t joined = 1;
    std::thread joiner([&] { joined = dp->Open(&desc, DPOPEN_JOIN); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    dp->Close();
    joiner.join();
    EXPECT_LT(joined, 0);
}

} // namespace
