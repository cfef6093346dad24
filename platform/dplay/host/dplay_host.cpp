// The DirectPlay stand-in's session host: one poll loop over the listener, the members'
// connections and a wake-up descriptor; all state under one lock.
#include "platform/dplay/host/dplay_host.h"

#include "platform/dplay/dplay_connection.h"
#include "platform/guid_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

using dplay_socket::Clock;
using dplay_socket::Connection;
using dplay_wire::Frame;
using std::chrono::milliseconds;

struct DirectPlayHost::Member {
    Connection connection;
};

DirectPlayHost::DirectPlayHost() = default;

std::unique_ptr<DirectPlayHost> DirectPlayHost::start(const DirectPlayHostOptions& options,
                                                      std::string* error) {
    std::unique_ptr<DirectPlayHost> host(new DirectPlayHost);
    host->options_ = options;
    if (host->options_.session_name.size() > DP_SESSION_NAME_MAX)
        host->options_.session_name.resize(DP_SESSION_NAME_MAX);
    uint8_t id[16];
    if (new_guid(id) == 0) std::memcpy(&host->instance_, id, 16);
    host->session_ = std::make_unique<DirectPlayHostSession>(
        host->options_.session_name, host->options_.application, host->instance_,
        [h = host.get()](uint64_t member, const Frame& frame) { h->send_frame(member, frame); });
    host->listen_fd_ = dplay_socket::listen_on(options.address, options.port, &host->port_);
    host->wake_fd_ = dplay_socket::make_wake_fd();
    if (host->listen_fd_ < 0 || host->wake_fd_ < 0) {
        if (error) *error = std::string("cannot listen: ") + std::strerror(errno);
        return nullptr;
    }
    host->io_ = std::thread([h = host.get()] { h->run(); });
    return host;
}

DirectPlayHost::~DirectPlayHost() {
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    if (io_.joinable()) {
        dplay_socket::wake(wake_fd_);
        io_.join();
    }
    members_.clear();
    if (listen_fd_ >= 0) ::close(listen_fd_);
    if (wake_fd_ >= 0) ::close(wake_fd_);
}

DPID DirectPlayHost::create_port(const void* data, uint32_t size) {
    std::lock_guard guard(lock_);
    std::vector<uint8_t> bytes;
    if (data && size)
        bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    DPID id = session_->create_port(std::move(bytes));
    dplay_socket::wake(wake_fd_);
    return id;
}

bool DirectPlayHost::destroy_port(DPID id) {
    std::lock_guard guard(lock_);
    if (!session_->destroy_port(id)) return false;
    dplay_socket::wake(wake_fd_);
    return true;
}

int32_t DirectPlayHost::send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) {
    if (size && !data) return DPERR_INVALIDPARAMS;
    if (size > dplay_wire::max_data) return DPERR_SENDTOOBIG;
    std::lock_guard guard(lock_);
    std::vector<uint8_t> bytes;
    if (size)
        bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    int32_t result = session_->send(from, to, flags, bytes);
    if (result != DP_OK) return result;
    note_arrivals();
    dplay_socket::wake(wake_fd_);
    return DP_OK;
}

bool DirectPlayHost::receive(DirectPlayHostMessage* out) {
    std::lock_guard guard(lock_);
    return session_->receive(out);
}

bool DirectPlayHost::wait_message(uint32_t timeout_ms) {
    std::unique_lock guard(lock_);
    return arrived_.wait_for(guard, milliseconds(timeout_ms),
                             [&] { return !session_->inbox_empty(); });
}

size_t DirectPlayHost::member_count() {
    std::lock_guard guard(lock_);
    return session_->joined_count();
}

std::vector<DPID> DirectPlayHost::ports() {
    std::lock_guard guard(lock_);
    return session_->ports();
}

void DirectPlayHost::disconnect_members() {
    std::lock_guard guard(lock_);
    disconnect_requested_ = true;
    dplay_socket::wake(wake_fd_);
}

void DirectPlayHost::set_mute(bool mute) {
    std::lock_guard guard(lock_);
    mute_ = mute;
}

void DirectPlayHost::set_answer_joins(bool answer) {
    std::lock_guard guard(lock_);
    session_->set_answer_joins(answer);
}

void DirectPlayHost::send_frame(uint64_t member_id, const Frame& frame) {
    auto member = members_.find(member_id);
    if (mute_ || member == members_.end() || !member->second->connection.open()) return;
    member->second->connection.queue(frame);
}

// Wakes the waiters of wait_message once the own side has something.
void DirectPlayHost::note_arrivals() {
    if (!session_->inbox_empty()) arrived_.notify_all();
}

void DirectPlayHost::drop_member(uint64_t member_id) {
    auto member = members_.find(member_id);
    if (member == members_.end()) return;
    member->second->connection.close();
    members_.erase(member);
    session_->drop_member(member_id);
    note_arrivals();
}

void DirectPlayHost::service(uint64_t member_id, short revents) {
    Member& member = *members_[member_id];
    if (revents & (POLLIN | POLLERR | POLLHUP)) {
        bool alive = member.connection.read_available([&](const uint8_t* bytes, size_t count) {
            session_->take_bytes(member_id, bytes, count);
        });
        note_arrivals();
        if (!alive || session_->malformed(member_id)) {
            drop_member(member_id);
            return;
        }
    }
    // A member that stops reading is let go rather than buffered for without end.
    if ((member.connection.wants_write() && !member.connection.flush()) ||
        member.connection.backlogged()) {
        drop_member(member_id);
        return;
    }
    auto now = Clock::now();
    if (now - member.connection.last_heard() >= milliseconds(options_.silence_ms)) {
        drop_member(member_id);
        return;
    }
    if (!mute_ && now - member.connection.last_sent() >= milliseconds(options_.heartbeat_ms)) {
        Frame ping;
        ping.op = dplay_wire::PING;
        member.connection.queue(ping);
    }
}

void DirectPlayHost::run() {
    std::unique_lock guard(lock_);
    std::vector<pollfd> fds;
    std::vector<uint64_t> ids;
    while (!stop_) {
        if (disconnect_requested_) {
            disconnect_requested_ = false;
            std::vector<uint64_t> all;
            for (auto& [id, member] : members_) all.push_back(id);
            for (uint64_t id : all) drop_member(id);
        }
        fds.assign({{wake_fd_, POLLIN, 0}, {listen_fd_, POLLIN, 0}});
        ids.assign({0, 0});
        auto now = Clock::now();
        auto next = now + milliseconds(options_.heartbeat_ms);
        for (auto& [id, member] : members_) {
            short events = POLLIN;
            if (member->connection.wants_write()) events |= POLLOUT;
            fds.push_back({member->connection.fd(), events, 0});
            ids.push_back(id);
            // A muted host sends no heartbeat, so only silence is waited for.
            if (!mute_)
                next = std::min(next, member->connection.last_sent() +
                                          milliseconds(options_.heartbeat_ms));
            next =
                std::min(next, member->connection.last_heard() + milliseconds(options_.silence_ms));
        }
        int timeout = next <= now ? 0 : int(std::chrono::ceil<milliseconds>(next - now).count());
        guard.unlock();
        ::poll(fds.data(), fds.size(), timeout);
        guard.lock();
        if (stop_) break;
        if (fds[0].revents) dplay_socket::drain_wake(wake_fd_);
        if (fds[1].revents & POLLIN) {
            for (;;) {
                int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (fd < 0) break;
                int one = 1;
                setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
                auto member = std::make_unique<Member>();
                member->connection = Connection(fd);
                session_->add_member(next_member_);
                members_[next_member_++] = std::move(member);
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (members_.count(ids[i])) service(ids[i], fds[i].revents);
        }
    }
}

} // namespace platform
