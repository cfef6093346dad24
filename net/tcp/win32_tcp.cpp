// Win32TCP: the TCP stream component over the socket service. Connect blocks; the connected
// socket is non-blocking, so a read with nothing waiting returns at once with nothing.
#include "net/tcp/win32_tcp.h"

#include "framework/core/component.h"
#include "net/tcp/tcp_service.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// How long a write waits for room in the socket's buffer before it gives up.
constexpr int sendStallMs = 120000;

class Win32TCP final : public OmObject<Win32TCP, IOmTcp, IByteStream> {
public:
    OmResult init() {
        if (omtcp::service_start() < 0) return OM_E_FAIL;
        started_ = true;
        return OM_S_OK;
    }
    ~Win32TCP() {
        stop();
        if (started_) omtcp::service_stop();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IOmTcp, static_cast<IOmTcp*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)}});
    }

    OmResult SetOption(uint32_t id, uint32_t value) override {
        switch (id) {
        case OM_TCP_PORT: port_ = static_cast<uint16_t>(value); return OM_S_OK;
        case OM_TCP_LISTEN: {
            stop();
            if (value == 0) return OM_S_OK;
            uint16_t port = port_;
            OmResult r = omtcp::listener_acquire(&port, &listener_);
            if (r >= 0) port_ = port;
            return r;
        }
        case OM_TCP_CLOSE_ON_RESET: close_on_reset_ = value; return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult GetOption(uint32_t id, uint32_t* out) override {
        if (out == nullptr) return OM_E_FAIL;
        switch (id) {
        case OM_TCP_PORT: *out = port_; return OM_S_OK;
        case OM_TCP_LISTEN: *out = listener_ != nullptr ? 1 : 0; return OM_S_OK;
        case OM_TCP_CLOSE_ON_RESET: *out = close_on_reset_; return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult Connect(const char* host) override {
        stop();
        if (host == nullptr) return OM_E_FAIL;
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return OM_E_FAIL;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port_);
        OmResult r = omtcp::resolve_host(host, &a.sin_addr.s_addr);
        if (r < 0) {
            close(fd);
            return r;
        }
        int c;
        do c = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        while (c != 0 && errno == EINTR);
        if (c != 0) {
            r = omtcp::map_socket_error(errno);
            close(fd);
            return r;
        }
        const int flags = fcntl(fd, F_GETFL);
        if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0) {
            close(fd);
            return OM_E_FAIL;
        }
        socket_ = fd;
        reset_seen_ = false;
        return OM_S_OK;
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        OmResult r = ensure_connection();
        if (r < 0) return r;
        if (count == 0) {
            if (done) *done = 0;
            return OM_S_OK;
        }
        for (;;) {
            const ssize_t got = recv(socket_, buffer, count, 0);
            if (got > 0) {
                if (done) *done = static_cast<uint32_t>(got);
                return OM_S_OK;
            }
            if (got == 0) return OM_E_TCP_CLOSED;
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return OM_S_OK;
            return failed(errno);
        }
    }

    // Writes everything, waiting for room when the socket's buffer is full.
    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        OmResult r = ensure_connection();
        if (r < 0) return r;
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        uint32_t sent = 0;
        r = OM_S_OK;
        while (sent < count) {
            const ssize_t n = send(socket_, bytes + sent, count - sent, MSG_NOSIGNAL);
            if (n >= 0) {
                sent += static_cast<uint32_t>(n);
                continue;
            }
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p = {socket_, POLLOUT, 0};
                const int ready = poll(&p, 1, sendStallMs);
                if (ready > 0 || (ready < 0 && errno == EINTR)) continue;
                r = OM_E_TCP_TIMEDOUT;
                break;
            }
            r = failed(errno);
            break;
        }
        if (done) *done = sent;
        return r;
    }

    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

private:
    // A reset (or a write to a peer that has gone, EPIPE) forgets the socket; with option 3
    // the stream stays finished.
    OmResult failed(int error) {
        if (error != ECONNRESET && error != EPIPE) return OM_E_FAIL;
        close_socket();
        if (close_on_reset_ != 0) reset_seen_ = true;
        return OM_E_TCP_NOTCONNECTED;
    }

    OmResult ensure_connection() {
        if (close_on_reset_ != 0 && reset_seen_) return OM_E_TCP_CLOSED;
        if (socket_ >= 0) return OM_S_OK;
        if (listener_ == nullptr) return OM_E_TCP_NOTCONNECTED;
        socket_ = omtcp::listener_accept(listener_);
        return socket_ >= 0 ? OM_S_OK : OM_E_TCP_NOTCONNECTED;
    }

    void close_socket() {
        if (socket_ >= 0) close(socket_);
        socket_ = -1;
    }

    void stop() {
        omtcp::listener_release(listener_);
        listener_ = nullptr;
        close_socket();
    }

    int socket_ = -1;
    omtcp::Listener* listener_ = nullptr;
    uint32_t close_on_reset_ = 0;
    bool reset_seen_ = false;
    bool started_ = false;
    uint16_t port_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_Win32TCP, nullptr, nullptr, OmCreateComponent<Win32TCP>, "Win32TCP"}};

} // namespace

OM_DEFINE_MODULE(Win32TCP, classes)
