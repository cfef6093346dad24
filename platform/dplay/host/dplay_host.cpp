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
    bool joined = false;
};

namespace {

bool is_null(const GUID& g) {
    static const GUID zero{};
    return g == zero;
}

} // namespace

std::unique_ptr<DirectPlayHost> DirectPlayHost::start(const DirectPlayHostOptions& options,
                                                      std::string* error) {
    std::unique_ptr<DirectPlayHost> host(new DirectPlayHost);
    host->options_ = options;
    if (host->options_.session_name.size() > DP_SESSION_NAME_MAX)
        host->options_.session_name.resize(DP_SESSION_NAME_MAX);
    uint8_t id[16];
    if (new_guid(id) == 0) std::memcpy(&host->instance_, id, 16);
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
    DPID id = next_port_++;
    port_owner_[id] = 0;
    std::vector<uint8_t> bytes;
    if (data && size)
        bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    announce(dplay_wire::system_created, id, bytes, 0);
    dplay_socket::wake(wake_fd_);
    return id;
}

bool DirectPlayHost::destroy_port(DPID id) {
    std::lock_guard guard(lock_);
    auto found = port_owner_.find(id);
    if (found == port_owner_.end() || found->second != 0) return false;
    port_owner_.erase(found);
    announce(dplay_wire::system_destroyed, id, {}, 0);
    dplay_socket::wake(wake_fd_);
    return true;
}

int32_t DirectPlayHost::send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) {
    if (size && !data) return DPERR_INVALIDPARAMS;
    if (size > dplay_wire::max_data) return DPERR_SENDTOOBIG;
    std::lock_guard guard(lock_);
    auto sender = port_owner_.find(from);
    if (sender == port_owner_.end() || sender->second != 0) return DPERR_INVALIDPLAYER;
    if (to && !port_owner_.count(to)) return DPERR_INVALIDPLAYER;
    std::vector<uint8_t> bytes;
    if (size)
        bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + size);
    route(from, to, flags, bytes);
    dplay_socket::wake(wake_fd_);
    return DP_OK;
}

bool DirectPlayHost::receive(DirectPlayHostMessage* out) {
    std::lock_guard guard(lock_);
    if (inbox_.empty()) return false;
    *out = std::move(inbox_.front());
    inbox_.pop_front();
    return true;
}

bool DirectPlayHost::wait_message(uint32_t timeout_ms) {
    std::unique_lock guard(lock_);
    return arrived_.wait_for(guard, milliseconds(timeout_ms), [&] { return !inbox_.empty(); });
}

size_t DirectPlayHost::member_count() {
    std::lock_guard guard(lock_);
    size_t n = 0;
    for (auto& [id, member] : members_) n += member->joined;
    return n;
}

std::vector<DPID> DirectPlayHost::ports() {
    std::lock_guard guard(lock_);
    std::vector<DPID> ids;
    for (auto& [id, owner] : port_owner_) ids.push_back(id);
    return ids;
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
    answer_joins_ = answer;
}

void DirectPlayHost::send_frame(Member& member, const Frame& frame) {
    if (mute_ || !member.connection.open()) return;
    member.connection.queue(frame);
}

// Delivers to one port or (to 0) to every port but the sender: the host's own ports through
// its inbox, the members' through their connections.
void DirectPlayHost::route(DPID from, DPID to, uint32_t flags, const std::vector<uint8_t>& bytes) {
    for (auto& [port, owner] : port_owner_) {
        if (port == from || (to && port != to)) continue;
        if (owner == 0) {
            inbox_.push_back(DirectPlayHostMessage{16, from, port, flags, bytes});
            arrived_.notify_all();
            continue;
        }
        auto member = members_.find(owner);
        if (member == members_.end()) continue;
        Frame f;
        f.op = dplay_wire::DATA;
        f.from = from;
        f.to = port;
        f.flags = flags;
        f.bytes = bytes;
        send_frame(*member->second, f);
    }
}

// Tells the host's side once and every other joined member once that a port came or went.
void DirectPlayHost::announce(uint32_t kind, DPID port, const std::vector<uint8_t>& data,
                              uint64_t except_member) {
    if (except_member != 0) {
        inbox_.push_back(DirectPlayHostMessage{kind, port, 0, 0, data});
        arrived_.notify_all();
    }
    for (auto& [id, member] : members_) {
        if (id == except_member || !member->joined) continue;
        Frame f;
        f.op = dplay_wire::SYSTEM;
        f.kind = kind;
        f.id = port;
        f.bytes = data;
        send_frame(*member, f);
    }
}

void DirectPlayHost::drop_member(uint64_t member_id) {
    auto member = members_.find(member_id);
    if (member == members_.end()) return;
    member->second->connection.close();
    members_.erase(member);
    for (auto it = port_owner_.begin(); it != port_owner_.end();) {
        if (it->second == member_id) {
            DPID port = it->first;
            it = port_owner_.erase(it);
            announce(dplay_wire::system_destroyed, port, {}, member_id);
        } else {
            ++it;
        }
    }
}

void DirectPlayHost::handle(uint64_t member_id, Frame& frame) {
    Member& member = *members_[member_id];
    switch (frame.op) {
    case dplay_wire::ENUM:
        if (is_null(frame.application) || is_null(options_.application) ||
            frame.application == options_.application) {
            Frame reply;
            reply.op = dplay_wire::ENUM_REPLY;
            reply.instance = instance_;
            // A host for any application answers under the application asked for.
            reply.application =
                is_null(options_.application) ? frame.application : options_.application;
            reply.name = options_.session_name;
            send_frame(member, reply);
        }
        break;
    case dplay_wire::JOIN: {
        if (!answer_joins_) break;
        Frame reply;
        reply.op = dplay_wire::JOIN_REPLY;
        reply.result = frame.instance == instance_ ? 0 : 1;
        if (reply.result == 0) member.joined = true;
        send_frame(member, reply);
        break;
    }
    case dplay_wire::CREATE_PORT: {
        Frame reply;
        reply.op = dplay_wire::PORT_CREATED;
        if (!member.joined || next_port_ == 0) {
            reply.result = 1;
            send_frame(member, reply);
            break;
        }
        DPID id = next_port_++;
        port_owner_[id] = member_id;
        reply.id = id;
        send_frame(member, reply);
        announce(dplay_wire::system_created, id, frame.bytes, member_id);
        break;
    }
    case dplay_wire::DATA: {
        // A member speaks only for its own ports, to ports that exist.
        auto sender = port_owner_.find(frame.from);
        if (sender == port_owner_.end() || sender->second != member_id) break;
        if (frame.to && !port_owner_.count(frame.to)) break;
        route(frame.from, frame.to, frame.flags, frame.bytes);
        break;
    }
    case dplay_wire::SYSTEM: {
        // A member gives one of its ports back.
        auto port = port_owner_.find(frame.id);
        if (frame.kind != dplay_wire::system_destroyed || port == port_owner_.end() ||
            port->second != member_id)
            break;
        port_owner_.erase(port);
        announce(dplay_wire::system_destroyed, frame.id, {}, member_id);
        break;
    }
    default: break; // answers only a member receives
    }
}

void DirectPlayHost::service(uint64_t member_id, short revents) {
    Member& member = *members_[member_id];
    if (revents & (POLLIN | POLLERR | POLLHUP)) {
        bool alive = member.connection.read_available();
        while (std::optional<Frame> f = member.connection.next_frame()) {
            handle(member_id, *f);
            if (!members_.count(member_id)) return;
        }
        if (!alive || member.connection.malformed()) {
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
                members_[next_member_++] = std::move(member);
            }
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (members_.count(ids[i])) service(ids[i], fds[i].revents);
        }
    }
}

} // namespace platform
