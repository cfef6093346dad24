// The transports: the null transport's in-memory ports, and the DirectPlay transports against
// an in-process session host on loopback.
#include "net/transport/om_transport.h"

#include "platform/dplay/dplay.h"
#include "platform/dplay/host/dplay_host.h"
#include "tests/net/net_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using nettest::NetTest;

ComRef<IOmTransport> make_transport(const GUID& clsid) {
    ComRef<IOmTransport> t;
    EXPECT_EQ(OmCreate(clsid, IID_IOmTransport, t.put()), 0);
    return t;
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

using TransportCategoryTest = NetTest;

TEST_F(TransportCategoryTest, EveryTransportIsInTheOrmicTransportCategory) {
    std::vector<GUID> found;
    GUID cursor{};
    while (OmFindNextClassOfCategory(CATID_OrmicTransport, &cursor) == 0) found.push_back(cursor);
    for (const GUID* clsid :
         {&CLSID_NullTransport, &CLSID_Win32Dx5Transport, &CLSID_Win32Dx6Transport})
        EXPECT_NE(std::find(found.begin(), found.end(), *clsid), found.end());
    EXPECT_EQ(found.size(), 3u);
    ComRef<IOmTransport> any;
    EXPECT_EQ(OmCreateInstanceOfCategory(CATID_OrmicTransport, nullptr, 0, IID_IOmTransport,
                                         any.put_void()),
              0);
}

using NullTransportTest = NetTest;

TEST_F(NullTransportTest, PortsHearOfLaterPortsOnly) {
    auto t = make_transport(CLSID_NullTransport);
    uint32_t first = 0, second = 0;
    ASSERT_EQ(t->CreatePort(&first, "id", 2), 0);
    ASSERT_EQ(t->CreatePort(&second, "xy", 2), 0);
    EXPECT_EQ(first, 10u);
    EXPECT_EQ(second, 11u);
    OmTransportMessage m{};
    EXPECT_EQ(t->ReceiveFor(second, &m, 0), OM_E_FAIL); // the next message is for the first
    ASSERT_EQ(t->ReceiveFor(first, &m, 0), 0);
    EXPECT_EQ(m.kind, OM_TRANSPORT_PORT_CREATED);
    EXPECT_EQ(m.sender, second);
    EXPECT_EQ(std::string(static_cast<char*>(m.data), m.length), "xy");
    EXPECT_EQ(t->ReceiveFor(second, &m, 0), OM_E_TRANSPORT_NOMESSAGES);
}

TEST_F(NullTransportTest, BroadcastReachesEveryOtherPortAndPeekingKeepsTheMessage) {
    auto t = make_transport(CLSID_NullTransport);
    uint32_t p[3];
    for (uint32_t& id : p) ASSERT_EQ(t->CreatePort(&id, nullptr, 0), 0);
    OmTransportMessage m{};
    while (t->ReceiveAny(&m, 0) == 0) {}
    char text[] = "hi";
    OmTransportMessage out{OM_TRANSPORT_DATA, p[0], 99, 2, text};
    ASSERT_EQ(t->Broadcast(&out, 0), 0);
    uint32_t count = 0;
    ASSERT_EQ(t->GetMessageCount(0, &count), 0);
    EXPECT_EQ(count, 2u);
    // A receive for a port takes its message once; a peek leaves it.
    ASSERT_EQ(t->Receive(p[1], &m, OM_TRANSPORT_RECEIVE_PEEK), 0);
    ASSERT_EQ(t->Receive(p[1], &m, OM_TRANSPORT_RECEIVE_PEEK), 0);
    ASSERT_EQ(t->ReceiveFor(p[1], &m, 0), 0);
    EXPECT_EQ(std::string(static_cast<char*>(m.data), m.length), "hi");
    ASSERT_EQ(t->ReceiveFor(p[2], &m, 0), 0);
    EXPECT_EQ(t->ReceiveFor(p[2], &m, 0), OM_E_TRANSPORT_NOMESSAGES);
    // Sending to oneself queues nothing.
    OmTransportMessage self{OM_TRANSPORT_DATA, p[0], p[0], 2, text};
    ASSERT_EQ(t->Send(&self, 0), 0);
    ASSERT_EQ(t->GetMessageCount(0, &count), 0);
    EXPECT_EQ(count, 0u);
}

TEST_F(NullTransportTest, HostsButNeverJoins) {
    auto t = make_transport(CLSID_NullTransport);
    EXPECT_EQ(t->GetVersion(), 1);
    EXPECT_EQ(t->JoinSession("AerovantServer"), OM_E_FAIL);
    EXPECT_EQ(t->StartServiceProvider(OM_TRANSPORT_TCPIP), OM_E_TRANSPORT_NOPROVIDER);
    ASSERT_EQ(t->StartServiceProvider(0), 0);
    EXPECT_EQ(t->StartServiceProvider(0), OM_E_FAIL);
    EXPECT_EQ(t->Close(), OM_E_FAIL);
    ASSERT_EQ(t->CreateSession("local"), 0);
    EXPECT_EQ(t->CreateSession("again"), OM_E_FAIL);
    const char* name = nullptr;
    ASSERT_EQ(t->GetSessionName(&name), 0);
    EXPECT_STREQ(name, "local");
    const OmTransportConnection* c = nullptr;
    ASSERT_EQ(t->GetConnection(0, &c), 0);
    EXPECT_STREQ(c->name, "NULL Service");
    EXPECT_EQ(t->Close(), 0);
}

class DirectPlayTransportTest : public NetTest {
protected:
    void SetUp() override {
        NetTest::SetUp();
        platform::set_direct_play_timing(platform::DirectPlayTiming{});
        host_ = platform::DirectPlayHost::start(platform::DirectPlayHostOptions{});
        ASSERT_TRUE(host_);
        address_ = "127.0.0.1:" + std::to_string(host_->port());
    }
    void TearDown() override {
        host_.reset();
        NetTest::TearDown();
    }

    // A transport that has joined the host's session and created a port carrying `data`.
    ComRef<IOmTransport> joined(const GUID& clsid, uint32_t* port) {
        auto t = make_transport(clsid);
        EXPECT_EQ(t->Init(), 0);
        EXPECT_EQ(t->GetConnectionCount(), 1);
        if (clsid == CLSID_Win32Dx6Transport) {
            EXPECT_EQ(t->SetAddress(OM_TRANSPORT_SYNC_ENUMERATION, nullptr), 0);
        }
        EXPECT_EQ(t->SetAddress(OM_TRANSPORT_TCPIP, (address_ + ":6113").c_str()), 0);
        EXPECT_EQ(t->StartServiceProvider(OM_TRANSPORT_TCPIP), 0);
        uint32_t count = 0;
        EXPECT_TRUE(eventually([&] { return t->EnumerateSessions(&count) > 0; }));
        const OmTransportSession* session = nullptr;
        EXPECT_EQ(t->GetSession(0, &session), 0);
        EXPECT_EQ(t->GetSession(count, &session), OM_E_FAIL);
        EXPECT_EQ(t->JoinSession("AerovantServer"), 0);
        EXPECT_EQ(t->CreatePort(port, "machinegameid-16", 16), 0);
        return t;
    }

    std::unique_ptr<platform::DirectPlayHost> host_;
    std::string address_;
};

TEST_F(DirectPlayTransportTest, JoinsAndCarriesDataBothWaysByPortId) {
    uint32_t port = 0;
    auto t = joined(CLSID_Win32Dx6Transport, &port);
    EXPECT_EQ(t->GetVersion(), 3);
    ASSERT_NE(port, 0u);
    platform::DirectPlayHostMessage hm;
    ASSERT_TRUE(eventually([&] { return host_->receive(&hm); }));
    EXPECT_EQ(hm.kind, 0u);
    EXPECT_EQ(hm.from, port);
    EXPECT_EQ(std::string(hm.data.begin(), hm.data.end()), "machinegameid-16");

    uint32_t server = host_->create_port(nullptr, 0);
    OmTransportMessage m{};
    ASSERT_TRUE(eventually([&] { return t->ReceiveFor(port, &m, 0) == 0; }));
    EXPECT_EQ(m.kind, OM_TRANSPORT_PORT_CREATED);
    EXPECT_EQ(m.sender, server);

    char hello[] = "datagram";
    OmTransportMessage out{OM_TRANSPORT_DATA, port, server, sizeof hello, hello};
    ASSERT_EQ(t->Send(&out, OM_TRANSPORT_SEND_GUARANTEED), 0);
    ASSERT_TRUE(eventually([&] { return host_->receive(&hm); }));
    EXPECT_EQ(hm.from, port);
    EXPECT_EQ(hm.to, server);
    EXPECT_EQ(hm.data.size(), sizeof hello);

    // A message larger than the receive buffer takes one failed receive to grow it.
    std::string big(3000, 'b');
    ASSERT_EQ(host_->send(server, port, 0, big.data(), uint32_t(big.size())), 0);
    OmResult first = OM_E_TRANSPORT_NOMESSAGES;
    ASSERT_TRUE(eventually(
        [&] { return (first = t->ReceiveFor(port, &m, 0)) != OM_E_TRANSPORT_NOMESSAGES; }));
    EXPECT_EQ(first, OM_E_FAIL);
    uint32_t buffer = 0;
    ASSERT_EQ(t->GetOption(OM_TRANSPORT_RECEIVE_BUFFER, &buffer), 0);
    EXPECT_EQ(buffer, 3001u);
    ASSERT_EQ(t->ReceiveFor(port, &m, 0), 0);
    EXPECT_EQ(m.kind, OM_TRANSPORT_DATA);
    EXPECT_EQ(m.length, 3000u);
    EXPECT_EQ(m.sender, server);
    EXPECT_EQ(t->ReceiveFor(port, &m, 0), OM_E_TRANSPORT_NOMESSAGES);
}

TEST_F(DirectPlayTransportTest, MessageForAnotherPortWaitsUntilReadForAnyPort) {
    uint32_t port = 0;
    auto t = joined(CLSID_Win32Dx6Transport, &port);
    uint32_t server = host_->create_port(nullptr, 0);
    OmTransportMessage m{};
    ASSERT_TRUE(eventually([&] { return t->ReceiveAny(&m, 0) == 0; })); // the port-created news
    ASSERT_EQ(host_->send(server, port, 0, "mine", 4), 0);
    ASSERT_TRUE(eventually([&] {
        uint32_t n = 0;
        return t->GetMessageCount(port, &n) == 0 && n == 1;
    }));
    EXPECT_EQ(t->Receive(port + 1000, &m, 0), OM_E_FAIL);
    EXPECT_EQ(t->Receive(port + 1000, &m, 0), OM_E_FAIL); // still waiting
    ASSERT_EQ(t->Receive(port + 1000, &m, OM_TRANSPORT_RECEIVE_ANY), 0);
    EXPECT_EQ(m.receiver, port);
    EXPECT_EQ(std::string(static_cast<char*>(m.data), m.length), "mine");
}

TEST_F(DirectPlayTransportTest, EndOfTheHostsStreamLosesTheSession) {
    uint32_t port = 0;
    auto t = joined(CLSID_Win32Dx6Transport, &port);
    host_->disconnect_members();
    OmTransportMessage m{};
    ASSERT_TRUE(eventually([&] { return t->ReceiveFor(port, &m, 0) == 0; }));
    EXPECT_EQ(m.kind, OM_TRANSPORT_SESSION_LOST);
    char byte = 0;
    OmTransportMessage out{OM_TRANSPORT_DATA, port, 0, 1, &byte};
    EXPECT_EQ(t->Send(&out, 0), OM_E_TRANSPORT_NOCONNECTION);
    EXPECT_EQ(t->Close(), OM_E_FAIL); // nothing left to close
    EXPECT_EQ(t->ReleaseConnection(), 0);
    EXPECT_EQ(t->ReleaseConnection(), OM_E_TRANSPORT_NOPROVIDER);
    EXPECT_EQ(t->Send(&out, 0), OM_E_FAIL);
}

TEST_F(DirectPlayTransportTest, DirectPlayThreeTakesTheWholeTextAsItsAddress) {
    uint32_t port = 0;
    auto t = joined(CLSID_Win32Dx5Transport, &port);
    EXPECT_EQ(t->GetVersion(), 2);
    EXPECT_NE(port, 0u);
    uint32_t word = 0;
    EXPECT_EQ(t->GetOption(OM_TRANSPORT_SYNC_ENUMERATION, &word), OM_E_FAIL);
    EXPECT_EQ(t->SetAddress(OM_TRANSPORT_SYNC_ENUMERATION, nullptr), OM_E_FAIL);
}

TEST_F(DirectPlayTransportTest, ProvidersOtherThanTcpIpAreMissing) {
    auto t = make_transport(CLSID_Win32Dx6Transport);
    ASSERT_EQ(t->Init(), 0);
    const OmTransportConnection* c = nullptr;
    ASSERT_EQ(t->GetConnection(0, &c), 0);
    EXPECT_EQ(t->GetConnection(1, &c), OM_E_FAIL);
    for (int32_t kind : {OM_TRANSPORT_IPX, OM_TRANSPORT_MODEM, OM_TRANSPORT_SERIAL}) {
        EXPECT_EQ(t->StartServiceProvider(kind), OM_E_TRANSPORT_NOPROVIDER) << kind;
        EXPECT_EQ(t->TestServiceProvider(kind), OM_E_TRANSPORT_NOPROVIDER) << kind;
    }
    char modem[112] = "modem";
    EXPECT_EQ(t->SetAddress(2, modem), OM_E_FAIL); // a modem address: no modem provider
    EXPECT_EQ(t->SetAddress(4, modem), OM_E_FAIL);
    EXPECT_EQ(t->TestServiceProvider(OM_TRANSPORT_TCPIP), 0);
    EXPECT_EQ(t->JoinSession("AerovantServer"), OM_E_FAIL); // nothing started, nothing found
    ASSERT_EQ(t->StartServiceProvider(OM_TRANSPORT_TCPIP), 0);
    EXPECT_EQ(t->StartServiceProvider(OM_TRANSPORT_TCPIP), OM_E_FAIL);
    EXPECT_EQ(t->JoinSession("AerovantServer"), OM_E_FAIL); // never enumerated
    uint32_t id = 5;
    EXPECT_EQ(t->CreatePort(&id, nullptr, 0), OM_E_TRANSPORT_NOCONNECTION);
    EXPECT_EQ(id, 0u);
}

} // namespace
