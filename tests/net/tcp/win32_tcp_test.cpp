// The TCP stream on loopback: listening, accepting and connecting, reads with nothing
// waiting, a peer's close and reset, refused connections, name look-ups through a fake
// resolver and its cache, listeners shared per port, and writes to a peer that has gone.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/sync_stream.h"
#include "net/tcp/win32_tcp.h"
#include "tests/support/framework_fixture.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A plain socket of the test's own: a listener or a client on loopback.
struct RawSocket {
    int fd = -1;
    explicit RawSocket(int f = -1) : fd(f) {}
    ~RawSocket() { close_now(); }
    RawSocket(RawSocket&& o) noexcept : fd(o.fd) { o.fd = -1; }
    RawSocket& operator=(RawSocket&& o) noexcept {
        std::swap(fd, o.fd);
        return *this;
    }
    void close_now() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    // Closing with a zero linger sends a reset.
    void reset_now() {
        const linger l = {1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        close_now();
    }
};

sockaddr_in loopback(uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

RawSocket raw_listener(uint16_t* port) {
    RawSocket s(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in a = loopback(0);
    socklen_t length = sizeof a;
    EXPECT_EQ(bind(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    EXPECT_EQ(listen(s.fd, 4), 0);
    getsockname(s.fd, reinterpret_cast<sockaddr*>(&a), &length);
    *port = ntohs(a.sin_port);
    return s;
}

bool raw_connect(uint16_t port, RawSocket* out = nullptr) {
    RawSocket s(socket(AF_INET, SOCK_STREAM, 0));
    sockaddr_in a = loopback(port);
    const bool ok = connect(s.fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (out != nullptr) *out = std::move(s);
    return ok;
}

int lookups = 0;
bool fake_resolver(const char* host, uint32_t* address) {
    ++lookups;
    if (std::string(host) != "alpha.test") return false;
    *address = htonl(INADDR_LOOPBACK);
    return true;
}

class Win32TcpTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(Win32TCP_RegisterClasses(OmGetObjectManager()), 0);
        ASSERT_EQ(SyncStream_RegisterClasses(OmGetObjectManager()), 0);
    }
    void TearDown() override {
        OmTcpSetResolver(nullptr);
        testsupport::FrameworkTest::TearDown();
    }
    static ComRef<IOmTcp> tcp() {
        ComRef<IOmTcp> t;
        EXPECT_EQ(OmCreate(CLSID_Win32TCP, IID_IOmTcp, t.put()), 0);
        return t;
    }
    static ComRef<IByteStream> stream_of(const ComRef<IOmTcp>& t) {
        ComRef<IByteStream> s;
        EXPECT_EQ(t->QueryInterface(IID_IByteStream, s.put_void()), 0);
        return s;
    }
    // A listener on a port the system chooses; its port through `port`.
    static ComRef<IOmTcp> listening(uint16_t* port) {
        ComRef<IOmTcp> t = tcp();
        EXPECT_EQ(t->SetOption(OM_TCP_PORT, 0), 0);
        EXPECT_EQ(t->SetOption(OM_TCP_LISTEN, 1), 0);
        uint32_t p = 0;
        EXPECT_EQ(t->GetOption(OM_TCP_PORT, &p), 0);
        EXPECT_NE(p, 0u);
        *port = static_cast<uint16_t>(p);
        return t;
    }
    static ComRef<IOmTcp> connected(uint16_t port, const char* host = "127.0.0.1") {
        ComRef<IOmTcp> t = tcp();
        EXPECT_EQ(t->SetOption(OM_TCP_PORT, port), 0);
        EXPECT_EQ(t->Connect(host), 0);
        return t;
    }
    // Blocking reads (the framework's waiting stream over the TCP stream).
    static ComRef<IByteStream> waiting(const ComRef<IOmTcp>& t) {
        ComRef<ISyncStream> sync;
        EXPECT_EQ(OmCreate(CLSID_SyncStream, IID_ISyncStream, sync.put()), 0);
        EXPECT_EQ(
            sync->SetOption(OM_SYNC_INNER_STREAM, reinterpret_cast<intptr_t>(stream_of(t).get())),
            0);
        EXPECT_EQ(sync->SetOption(OM_SYNC_TIMEOUT, 10000), 0);
        ComRef<IByteStream> s;
        EXPECT_EQ(sync->QueryInterface(IID_IByteStream, s.put_void()), 0);
        return s;
    }
};

TEST_F(Win32TcpTest, ListensAcceptsConnectsAndCarriesBytesBothWays) {
    uint16_t port = 0;
    ComRef<IOmTcp> server = listening(&port);
    uint32_t value = 0;
    EXPECT_EQ(server->GetOption(OM_TCP_LISTEN, &value), 0);
    EXPECT_EQ(value, 1u);
    ComRef<IOmTcp> client = connected(port);
    EXPECT_EQ(client->GetOption(OM_TCP_LISTEN, &value), 0);
    EXPECT_EQ(value, 0u);

    uint32_t count = 0;
    EXPECT_EQ(stream_of(client)->Write("hello", 5, &count), 0);
    EXPECT_EQ(count, 5u);
    char got[8] = {};
    EXPECT_EQ(waiting(server)->Read(got, 5, &count), 0);
    EXPECT_EQ(std::string(got, count), "hello");
    EXPECT_EQ(stream_of(server)->Write("back", 4, &count), 0);
    EXPECT_EQ(waiting(client)->Read(got, 4, &count), 0);
    EXPECT_EQ(std::string(got, count), "back");

    // Nothing waiting: 0 at once, the count as it was.
    count = 12345;
    EXPECT_EQ(stream_of(client)->Read(got, sizeof got, &count), 0);
    EXPECT_EQ(count, 12345u);
    EXPECT_EQ(stream_of(client)->Seek(0, OM_SEEK_START, nullptr), OM_E_FAIL);
    EXPECT_EQ(server->SetOption(9, 1), OM_E_FAIL);
    EXPECT_EQ(server->GetOption(9, &value), OM_E_FAIL);
}

TEST_F(Win32TcpTest, PeerCloseEndsTheStream) {
    uint16_t port = 0;
    RawSocket listener = raw_listener(&port);
    ComRef<IOmTcp> client = connected(port);
    RawSocket peer(accept(listener.fd, nullptr, nullptr));
    ASSERT_GE(peer.fd, 0);
    send(peer.fd, "ab", 2, 0);
    peer.close_now();
    char got[4];
    uint32_t count = 0;
    EXPECT_EQ(waiting(client)->Read(got, 4, &count), OM_E_TCP_CLOSED);
    EXPECT_EQ(count, 2u);
}

TEST_F(Win32TcpTest, ResetForgetsTheConnectionAndWithOption3StaysFinished) {
    for (const uint32_t closeOnReset : {0u, 1u}) {
        SCOPED_TRACE(closeOnReset);
        uint16_t port = 0;
        ComRef<IOmTcp> server = listening(&port);
        ASSERT_EQ(server->SetOption(OM_TCP_CLOSE_ON_RESET, closeOnReset), 0);
        ComRef<IByteStream> in = waiting(server);
        RawSocket first;
        ASSERT_TRUE(raw_connect(port, &first));
        send(first.fd, "x", 1, 0);
        char got[4];
        uint32_t count = 0;
        ASSERT_EQ(in->Read(got, 1, &count), 0); // accepted
        first.reset_now();
        EXPECT_EQ(in->Read(got, 1, &count), OM_E_TCP_NOTCONNECTED);

        // A later connection replaces it, unless the stream is to stay finished.
        RawSocket second;
        ASSERT_TRUE(raw_connect(port, &second));
        send(second.fd, "y", 1, 0);
        const OmResult r = in->Read(got, 1, &count);
        if (closeOnReset != 0) {
            EXPECT_EQ(r, OM_E_TCP_CLOSED);
            EXPECT_EQ(stream_of(server)->Write("z", 1, nullptr), OM_E_TCP_CLOSED);
        } else {
            EXPECT_EQ(r, 0);
            EXPECT_EQ(got[0], 'y');
        }
    }
}

TEST_F(Win32TcpTest, ConnectFailuresMapToTheirResults) {
    uint16_t port = 0;
    { RawSocket unused = raw_listener(&port); }
    ComRef<IOmTcp> t = tcp();
    ASSERT_EQ(t->SetOption(OM_TCP_PORT, port), 0);
    EXPECT_EQ(t->Connect("127.0.0.1"), OM_E_TCP_REFUSED);

    OmTcpSetResolver(fake_resolver);
    EXPECT_EQ(t->Connect("nowhere.test"), OM_E_TCP_HOSTNOTFOUND);
    uint32_t count = 0;
    EXPECT_EQ(stream_of(t)->Read(&count, 1, &count), OM_E_TCP_NOTCONNECTED);
}

TEST_F(Win32TcpTest, ConnectingTwiceToOneNameLooksItUpOnce) {
    OmTcpSetResolver(fake_resolver);
    lookups = 0;
    uint16_t port = 0;
    ComRef<IOmTcp> server = listening(&port);
    ComRef<IOmTcp> client = connected(port, "alpha.test");
    EXPECT_EQ(client->Connect("alpha.test"), 0);
    ComRef<IOmTcp> other = connected(port, "alpha.test");
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(client->Connect("beta.test"), OM_E_TCP_HOSTNOTFOUND);
    EXPECT_EQ(lookups, 2);
}

TEST_F(Win32TcpTest, ListenersOfOnePortShareOneSocketThatClosesWithTheLast) {
    uint16_t port = 0;
    ComRef<IOmTcp> first = listening(&port);
    ComRef<IOmTcp> second = tcp();
    ASSERT_EQ(second->SetOption(OM_TCP_PORT, port), 0);
    // A socket of its own could not bind the port while the first one listens.
    ASSERT_EQ(second->SetOption(OM_TCP_LISTEN, 1), 0);

    ASSERT_EQ(first->SetOption(OM_TCP_LISTEN, 0), 0);
    uint32_t value = 1;
    EXPECT_EQ(first->GetOption(OM_TCP_LISTEN, &value), 0);
    EXPECT_EQ(value, 0u);
    EXPECT_TRUE(raw_connect(port));
    second.reset();
    EXPECT_FALSE(raw_connect(port));
}

TEST_F(Win32TcpTest, ReadOrWriteWithoutConnectionOrListenerIsNotConnected) {
    ComRef<IByteStream> s = stream_of(tcp());
    char b[4];
    uint32_t count = 7;
    EXPECT_EQ(s->Read(b, 4, &count), OM_E_TCP_NOTCONNECTED);
    EXPECT_EQ(s->Write("abcd", 4, &count), OM_E_TCP_NOTCONNECTED);
    // Listening with nothing pending: still nothing to read from.
    uint16_t port = 0;
    EXPECT_EQ(stream_of(listening(&port))->Read(b, 4, &count), OM_E_TCP_NOTCONNECTED);
}

TEST_F(Win32TcpTest, WritingToAPeerThatHasGoneFailsWithoutKillingTheProcess) {
    uint16_t port = 0;
    RawSocket listener = raw_listener(&port);
    ComRef<IOmTcp> client = connected(port);
    RawSocket peer(accept(listener.fd, nullptr, nullptr));
    peer.close_now();
    const std::string block(65536, 'w');
    OmResult r = 0;
    for (int i = 0; i < 100 && r >= 0; ++i)
        r = stream_of(client)->Write(block.data(), static_cast<uint32_t>(block.size()), nullptr);
    EXPECT_EQ(r, OM_E_TCP_NOTCONNECTED);
}

} // namespace
