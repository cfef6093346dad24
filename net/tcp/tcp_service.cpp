// The socket service shared by all TCP streams: user count, host cache, listeners, and the
// name resolver that tests replace.
#include "net/tcp/tcp_service.h"

#include "net/tcp/win32_tcp.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netdb.h>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace omtcp {

struct Listener {
    int socket;
    uint16_t port;
    uint32_t users;
};

namespace {

constexpr size_t hostCacheName = 80; // with the terminator
constexpr int listenBacklog = 3;

bool system_resolver(const char* host, uint32_t* address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
    *address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    freeaddrinfo(found);
    return true;
}

struct CacheEntry {
    std::string name;
    uint32_t address;
};

struct Service {
    std::mutex lock;
    uint32_t users = 0;
    std::vector<CacheEntry> cache;
    std::vector<Listener*> listeners;
    OmTcpResolver resolver = system_resolver;
};

Service& service() {
    static Service s;
    return s;
}

} // namespace

OmResult service_start() {
    Service& s = service();
    std::lock_guard guard(s.lock);
    ++s.users;
    return OM_S_OK;
}

void service_stop() {
    Service& s = service();
    std::lock_guard guard(s.lock);
    if (s.users == 0 || --s.users != 0) return;
    s.cache.clear();
    s.cache.shrink_to_fit();
}

OmResult resolve_host(const char* host, uint32_t* address) {
    Service& s = service();
    std::lock_guard guard(s.lock);
    for (const CacheEntry& e : s.cache)
        if (e.name == host) {
            *address = e.address;
            return OM_S_OK;
        }
    if (!s.resolver(host, address)) return OM_E_TCP_HOSTNOTFOUND;
    if (std::strlen(host) < hostCacheName) s.cache.push_back({host, *address});
    return OM_S_OK;
}

OmResult listener_acquire(uint16_t* port, Listener** out) {
    Service& s = service();
    std::lock_guard guard(s.lock);
    for (Listener* l : s.listeners)
        if (*port != 0 && l->port == *port) {
            ++l->users;
            *out = l;
            return OM_S_OK;
        }
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return OM_E_FAIL;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    a.sin_port = htons(*port);
    socklen_t length = sizeof a;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(fd, listenBacklog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) != 0) {
        close(fd);
        return OM_E_FAIL;
    }
    auto* l = new Listener{fd, ntohs(a.sin_port), 1};
    s.listeners.push_back(l);
    *port = l->port;
    *out = l;
    return OM_S_OK;
}

void listener_release(Listener* listener) {
    if (listener == nullptr) return;
    Service& s = service();
    std::lock_guard guard(s.lock);
    if (--listener->users != 0) return;
    std::erase(s.listeners, listener);
    close(listener->socket);
    delete listener;
}

int listener_accept(Listener* listener) {
    for (;;) {
        const int fd = accept4(listener->socket, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0 || errno != EINTR) return fd;
    }
}

OmResult map_socket_error(int error) {
    switch (error) {
    case ECONNRESET: return OM_E_TCP_NOTCONNECTED;
    case EADDRNOTAVAIL: return OM_E_TCP_HOSTNOTFOUND;
    case ENETDOWN: return OM_E_TCP_NETDOWN;
    case ECONNREFUSED: return OM_E_TCP_REFUSED;
    case ENETUNREACH: return OM_E_TCP_UNREACHABLE;
    case ETIMEDOUT: return OM_E_TCP_TIMEDOUT;
    default: return OM_E_FAIL;
    }
}

} // namespace omtcp

OmTcpResolver OmTcpSetResolver(OmTcpResolver resolver) {
    omtcp::Service& s = omtcp::service();
    std::lock_guard guard(s.lock);
    const OmTcpResolver previous = s.resolver;
    s.resolver = resolver ? resolver : omtcp::system_resolver;
    return previous;
}
