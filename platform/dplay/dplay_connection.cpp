// Sockets of the DirectPlay stand-in: non-blocking connects and listeners, wake-up descriptors
// and the framed connection.
#include "platform/dplay/dplay_connection.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace platform::dplay_socket {
namespace {

bool make_nonblocking(int fd) {
    int flags = fcntl(fd, F_GETFL, 0);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

} // namespace

int connect_to(const char* host, uint16_t port, bool* pending) {
    *pending = false;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || !found) return -1;
    sockaddr_in address{};
    std::memcpy(&address, found->ai_addr, sizeof address);
    freeaddrinfo(found);
    address.sin_port = htons(port);
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    if (!make_nonblocking(fd)) {
        ::close(fd);
        return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS) {
            ::close(fd);
            return -1;
        }
        *pending = true;
    }
    return fd;
}

int listen_on(const char* address, uint16_t port, uint16_t* bound) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    if (address && inet_pton(AF_INET, address, &a.sin_addr) != 1) {
        ::close(fd);
        return -1;
    }
    socklen_t size = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 16) != 0 ||
        !make_nonblocking(fd) || getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
        ::close(fd);
        return -1;
    }
    if (bound) *bound = ntohs(a.sin_port);
    return fd;
}

int connect_result(int fd) {
    int error = 0;
    socklen_t size = sizeof error;
    if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) return errno;
    return error;
}

int make_wake_fd() {
    return eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void wake(int fd) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(fd, &one, sizeof one);
}

void drain_wake(int fd) {
    uint64_t value;
    [[maybe_unused]] ssize_t n = read(fd, &value, sizeof value);
}

Connection::Connection(Connection&& o) noexcept
    : fd_(std::exchange(o.fd_, -1)), out_(std::move(o.out_)),
      sent_(o.sent_), last_heard_(o.last_heard_), last_sent_(o.last_sent_) {}

Connection& Connection::operator=(Connection&& o) noexcept {
    if (this != &o) {
        close();
        fd_ = std::exchange(o.fd_, -1);
        out_ = std::move(o.out_);
        sent_ = o.sent_;
        last_heard_ = o.last_heard_;
        last_sent_ = o.last_sent_;
    }
    return *this;
}

void Connection::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    out_.clear();
    sent_ = 0;
}

bool Connection::queue(const dplay_wire::Frame& frame, bool hold) {
    if (!dplay_wire::encode(frame, out_)) return false;
    last_sent_ = Clock::now();
    if (!hold) flush();
    return true;
}

bool Connection::flush() {
    if (fd_ < 0) return false;
    while (sent_ < out_.size()) {
        ssize_t n = ::send(fd_, out_.data() + sent_, out_.size() - sent_, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
            return false;
        }
        sent_ += size_t(n);
    }
    out_.clear();
    sent_ = 0;
    return true;
}

bool Connection::read_available(const std::function<void(const uint8_t*, size_t)>& take) {
    if (fd_ < 0) return false;
    uint8_t chunk[16384];
    for (;;) {
        ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n > 0) {
            last_heard_ = Clock::now();
            take(chunk, size_t(n));
            continue;
        }
        if (n == 0) return false;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return true;
        return false;
    }
}

} // namespace platform::dplay_socket
