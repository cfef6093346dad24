// The DirectPlay stand-in object: one TCP connection to a session host, served by its own I/O
// thread (connects, reads frames, keeps the heartbeat, notices silence), with the calls of
// IDirectPlay3A/4A answered from its state under one lock. A session it creates is a session
// host of its own, which it joins over loopback like any other member.
#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_address.h"
#include "platform/dplay/dplay_connection.h"
#include "platform/dplay/dplay_member.h"
#include "platform/dplay/host/dplay_host.h"

#include <arpa/inet.h>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <poll.h>
#include <set>
#include <thread>
#include <unistd.h>

namespace platform {
namespace {

using dplay_socket::Clock;
using dplay_socket::Connection;
using dplay_wire::Frame;
using std::chrono::milliseconds;

constexpr char provider_name[] = "TCP/IP";

using Message = DirectPlayMember::Message;
using Session = DirectPlayMember::Session;
using PortAnswer = DirectPlayMember::PortAnswer;

enum class Link { none, connecting, connected };

class DirectPlay final : public IDirectPlay4A {
public:
    DirectPlay() : timing_(direct_play_timing()) {}
    ~DirectPlay() {
        {
            std::lock_guard guard(lock_);
            stop_io_ = true;
        }
        if (io_.joinable()) {
            dplay_socket::wake(wake_fd_);
            io_.join();
        }
        if (wake_fd_ >= 0) ::close(wake_fd_);
    }

    int32_t QueryInterface(const GUID& iid, void** out) override {
        if (!out) return E_INVALIDARG;
        if (iid == IID_IDirectPlay4A || iid == IID_IDirectPlay3A) {
            AddRef();
            *out = static_cast<IDirectPlay4A*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override { return release_and_delete(this, refs_); }

    int32_t Close() override {
        std::unique_ptr<DirectPlayHost> hosted;
        std::unique_lock guard(lock_);
        bool had_any = member_.joined || link_ != Link::none || hosted_;
        ++generation_; // ends the blocking calls of other threads
        member_.joined = false;
        member_.players.clear();
        member_.inbox.clear();
        member_.sessions.clear();
        member_.enum_outstanding = false;
        host_notice_pending_ = false;
        drop_link(guard);
        // A hosted session ends with its host: every member's connection closes.
        hosted = std::move(hosted_);
        target_ = endpoint_;
        cv_.notify_all();
        guard.unlock();
        hosted.reset();
        return had_any ? DP_OK : DPERR_NOCONNECTION;
    }

    int32_t CreatePlayer(DPID* id, const DPNAME*, void*, const void* data, uint32_t size,
                         uint32_t) override {
        if (!id) return DPERR_INVALIDPARAMS;
        *id = 0;
        if ((size && !data) || size > dplay_wire::max_body - 1) return DPERR_INVALIDPARAMS;
        std::unique_lock guard(lock_);
        if (!member_.joined || link_ != Link::connected) return DPERR_NOCONNECTION;
        Frame f;
        f.op = dplay_wire::CREATE_PORT;
        if (size)
            f.bytes.assign(static_cast<const uint8_t*>(data),
                           static_cast<const uint8_t*>(data) + size);
        uint64_t ticket = member_.ports_requested++;
        conn_.queue(f);
        dplay_socket::wake(wake_fd_);
        uint64_t generation = generation_;
        auto deadline = Clock::now() + milliseconds(timing_.port_ms);
        cv_.wait_until(guard, deadline, [&] {
            return member_.port_answers.count(ticket) || generation != generation_ ||
                   !member_.joined;
        });
        auto found = member_.port_answers.find(ticket);
        if (found == member_.port_answers.end()) {
            // A late answer names a port nobody here will use: it is given back.
            member_.abandoned.insert(ticket);
            return generation != generation_ || !member_.joined ? DPERR_NOCONNECTION
                                                                : DPERR_CANTCREATEPLAYER;
        }
        PortAnswer answer = found->second;
        member_.port_answers.erase(found);
        if (answer.result != 0 || answer.id == 0) return DPERR_CANTCREATEPLAYER;
        member_.players.push_back(answer.id);
        *id = answer.id;
        if (host_notice_pending_) {
            // The side that created the session learns that it hosts it through its first
            // player, as a side that takes the host role over would.
            Message m;
            m.system_type = DPSYS_HOST;
            m.to = answer.id;
            member_.inbox.push_back(std::move(m));
            host_notice_pending_ = false;
        }
        return DP_OK;
    }

    int32_t DestroyPlayer(DPID id) override {
        std::lock_guard guard(lock_);
        auto found = std::find(member_.players.begin(), member_.players.end(), id);
        if (found == member_.players.end()) return DPERR_INVALIDPLAYER;
        member_.players.erase(found);
        give_back_port(id);
        return DP_OK;
    }

    int32_t EnumConnections(const GUID*, LPDPENUMCONNECTIONSCALLBACK cb, void* context,
                            uint32_t) override {
        if (!cb) return DPERR_INVALIDPARAMS;
        // The connection address of a provider names only the provider.
        DPCOMPOUNDADDRESSELEMENT element{DPAID_ServiceProvider, 16, &DPSPGUID_TCPIP};
        std::vector<uint8_t> block = make_compound_address(&element, 1);
        DPNAME name{sizeof(DPNAME), 0, provider_name, provider_name};
        cb(&DPSPGUID_TCPIP, block.data(), uint32_t(block.size()), &name, 0, context);
        return DP_OK;
    }

    int32_t EnumSessions(DPSESSIONDESC2* desc, uint32_t timeout, LPDPENUMSESSIONSCALLBACK2 cb,
                         void* context, uint32_t flags) override {
        if (!desc || !cb) return DPERR_INVALIDPARAMS;
        std::vector<Session> found;
        {
            std::unique_lock guard(lock_);
            if (!initialized_) return DPERR_UNINITIALIZED;
            enum_application_ = desc->guidApplication;
            start_link();
            if (flags & DPENUMSESSIONS_ASYNC) {
                if (!member_.enum_outstanding) request_enumeration();
            } else {
                uint64_t replies = member_.enum_replies;
                request_enumeration();
                uint64_t generation = generation_;
                auto deadline =
                    Clock::now() + milliseconds(timeout ? timeout : timing_.enumeration_ms);
                cv_.wait_until(guard, deadline, [&] {
                    return member_.enum_replies != replies || generation != generation_ ||
                           link_ == Link::none;
                });
            }
            for (const Session& s : member_.sessions) {
                if (is_null(desc->guidApplication) || s.application == desc->guidApplication)
                    found.push_back(s);
            }
        }
        uint32_t callback_timeout = timeout;
        for (const Session& s : found) {
            DPSESSIONDESC2 d{};
            d.dwSize = sizeof d;
            d.guidInstance = s.instance;
            d.guidApplication = s.application;
            d.lpszSessionNameA = s.name.c_str();
            if (!cb(&d, &callback_timeout, 0, context)) return DP_OK;
        }
        cb(nullptr, &callback_timeout, DPESC_TIMEDOUT, context);
        return DP_OK;
    }

    int32_t GetMessageCount(DPID id, uint32_t* count) override {
        if (!count) return DPERR_INVALIDPARAMS;
        std::lock_guard guard(lock_);
        *count = 0;
        if (id &&
            std::find(member_.players.begin(), member_.players.end(), id) == member_.players.end())
            return DPERR_INVALIDPLAYER;
        for (const Message& m : member_.inbox)
            if (!id || m.to == id || m.to == 0) ++*count;
        return DP_OK;
    }

    int32_t InitializeConnection(const void* connection, uint32_t) override {
        CompoundAddress address;
        if (!connection) return DPERR_INVALIDPARAMS;
        if (!parse_compound_address(connection, &address) || !address.has_provider)
            return DPERR_INVALIDPARAMS;
        if (!(address.provider == DPSPGUID_TCPIP)) return DPERR_UNAVAILABLE;
        DirectPlayEndpoint endpoint{};
        if (!parse_direct_play_endpoint(address.has_inet ? address.inet.c_str() : "",
                                        DP_DEFAULT_PORT, &endpoint))
            return DPERR_INVALIDPARAMS;
        if (address.has_port) {
            if (address.port == 0 || address.port > 65535) return DPERR_INVALIDPARAMS;
            endpoint.port = uint16_t(address.port);
        }
        // A session created here listens on the address when it is a numeric one, else (no
        // address, or a name that may stand for any of this machine's addresses) on every
        // interface.
        std::string listen_text =
            address.has_inet ? address.inet.substr(0, address.inet.find(':')) : "";
        in_addr numeric{};
        bool listen_any =
            listen_text.empty() || inet_pton(AF_INET, listen_text.c_str(), &numeric) != 1;
        std::lock_guard guard(lock_);
        if (initialized_) return DPERR_ALREADYINITIALIZED;
        endpoint_ = endpoint;
        target_ = endpoint;
        listen_any_ = listen_any;
        initialized_ = true;
        return DP_OK;
    }

    int32_t Open(DPSESSIONDESC2* desc, uint32_t flags) override {
        if (!desc) return DPERR_INVALIDPARAMS;
        if (flags == DPOPEN_CREATE) return create_session(*desc);
        if (flags != DPOPEN_JOIN) return DPERR_INVALIDFLAGS;
        std::unique_lock guard(lock_);
        if (!initialized_) return DPERR_UNINITIALIZED;
        if (member_.joined || hosted_) return DPERR_ALREADYINITIALIZED;
        auto known =
            std::find_if(member_.sessions.begin(), member_.sessions.end(),
                         [&](const Session& s) { return s.instance == desc->guidInstance; });
        if (known == member_.sessions.end()) return DPERR_NOSESSIONS;
        return join(guard, desc->guidInstance);
    }

    int32_t Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) override {
        if (!size || !from || !to) return DPERR_INVALIDPARAMS;
        std::lock_guard guard(lock_);
        return member_.receive(from, to, flags, data, size);
    }

    int32_t Send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) override {
        if (size && !data) return DPERR_INVALIDPARAMS;
        std::lock_guard guard(lock_);
        if (!member_.joined || link_ != Link::connected) return DPERR_NOCONNECTION;
        if (std::find(member_.players.begin(), member_.players.end(), from) ==
            member_.players.end())
            return DPERR_INVALIDPLAYER;
        if (size > dplay_wire::max_data) return DPERR_SENDTOOBIG;
        if (conn_.backlogged()) return DPERR_BUSY; // the host is not reading
        Frame f;
        f.op = dplay_wire::DATA;
        f.from = from;
        f.to = to;
        f.flags = flags;
        if (size)
            f.bytes.assign(static_cast<const uint8_t*>(data),
                           static_cast<const uint8_t*>(data) + size);
        conn_.queue(f);
        if (conn_.wants_write()) dplay_socket::wake(wake_fd_);
        return DP_OK;
    }

private:
    // Asks the linked host to join its session `instance` and waits for the answer. Called
    // with the lock held.
    int32_t join(std::unique_lock<std::mutex>& guard, const GUID& instance) {
        start_link();
        if (link_ == Link::none) return DPERR_CONNECTIONLOST;
        Frame f;
        f.op = dplay_wire::JOIN;
        f.instance = instance;
        member_.join_answer.reset();
        conn_.queue(f, link_ == Link::connecting);
        dplay_socket::wake(wake_fd_);
        uint64_t generation = generation_;
        auto deadline = Clock::now() + milliseconds(timing_.join_ms);
        bool answered = cv_.wait_until(guard, deadline, [&] {
            return member_.join_answer.has_value() || generation != generation_ ||
                   link_ == Link::none;
        });
        if (!answered) return DPERR_TIMEOUT;
        if (!member_.join_answer) return DPERR_CONNECTIONLOST;
        if (*member_.join_answer != 0) return DPERR_NOSESSIONS;
        member_.joined = true;
        member_.lost_reported = false;
        return DP_OK;
    }

    // Starts a session host on the connection's port and joins it over loopback (or over the
    // numeric address it listens on).
    int32_t create_session(const DPSESSIONDESC2& desc) {
        std::unique_ptr<DirectPlayHost> host;
        std::unique_lock guard(lock_);
        if (!initialized_) return DPERR_UNINITIALIZED;
        if (member_.joined || hosted_) return DPERR_ALREADYINITIALIZED;
        DirectPlayHostOptions options;
        options.address = listen_any_ ? nullptr : endpoint_.host;
        options.port = endpoint_.port;
        options.session_name = desc.lpszSessionNameA ? desc.lpszSessionNameA : "";
        options.application = desc.guidApplication;
        options.heartbeat_ms = timing_.heartbeat_ms;
        options.silence_ms = timing_.silence_ms;
        host = DirectPlayHost::start(options);
        if (!host) return DPERR_CANTCREATESESSION;
        // A connection to another host (left by an enumeration) gives way to the own one.
        drop_link(guard);
        member_.sessions.clear();
        member_.enum_outstanding = false;
        target_ = endpoint_;
        if (listen_any_) std::snprintf(target_.host, sizeof target_.host, "127.0.0.1");
        target_.port = host->port();
        next_attempt_ = {};
        int32_t r = join(guard, host->instance());
        if (r != DP_OK) {
            member_.joined = false;
            drop_link(guard);
            target_ = endpoint_;
            guard.unlock();
            return DPERR_CANTCREATESESSION;
        }
        hosted_ = std::move(host);
        host_notice_pending_ = true;
        return DP_OK;
    }

    static bool is_null(const GUID& g) {
        static const GUID zero{};
        return g == zero;
    }

    // Starts a connection to the host unless one is up or being made, or a refused attempt
    // was too recent. Called with the lock held.
    void start_link() {
        if (link_ != Link::none || Clock::now() < next_attempt_) return;
        if (wake_fd_ < 0) wake_fd_ = dplay_socket::make_wake_fd();
        if (wake_fd_ < 0) return;
        bool pending = false;
        int fd = dplay_socket::connect_to(target_.host, target_.port, &pending);
        if (fd < 0) {
            next_attempt_ = Clock::now() + milliseconds(timing_.reconnect_ms);
            return;
        }
        conn_ = Connection(fd);
        member_.reset_stream();
        connect_started_ = Clock::now();
        link_ = pending ? Link::connecting : Link::connected;
        if (!io_.joinable()) io_ = std::thread([this] { run_io(); });
        dplay_socket::wake(wake_fd_);
    }

    // Called with the lock held; the socket is closed by the I/O thread (never under a poll).
    void drop_link(std::unique_lock<std::mutex>& guard) {
        if (link_ == Link::none) return;
        close_requested_ = true;
        dplay_socket::wake(wake_fd_);
        cv_.wait(guard, [&] { return !close_requested_; });
    }

    void request_enumeration() {
        if (link_ == Link::none) return;
        Frame f;
        f.op = dplay_wire::ENUM;
        f.application = enum_application_;
        conn_.queue(f, link_ == Link::connecting);
        member_.enum_outstanding = true;
        dplay_socket::wake(wake_fd_);
    }

    void give_back_port(DPID id) {
        if (link_ != Link::connected) return;
        Frame f;
        f.op = dplay_wire::SYSTEM;
        f.kind = dplay_wire::system_destroyed;
        f.id = id;
        conn_.queue(f);
    }

    // The connection is gone: a joined session reports its loss once.
    void lose_link() {
        conn_.close();
        link_ = Link::none;
        member_.enum_outstanding = false;
        member_.sessions.clear();
        next_attempt_ = Clock::now() + milliseconds(timing_.reconnect_ms);
        if (member_.joined && !member_.lost_reported) {
            Message m;
            m.system_type = DPSYS_SESSIONLOST;
            m.to = member_.players.empty() ? 0 : member_.players.front();
            member_.inbox.push_back(std::move(m));
            member_.lost_reported = true;
        }
        member_.joined = false;
        cv_.notify_all();
    }

    void run_io() {
        std::unique_lock guard(lock_);
        while (!stop_io_) {
            if (close_requested_) {
                conn_.close();
                link_ = Link::none;
                close_requested_ = false;
                cv_.notify_all();
            }
            pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {-1, 0, 0}};
            int timeout = -1;
            auto now = Clock::now();
            if (conn_.open()) {
                fds[1].fd = conn_.fd();
                fds[1].events = POLLIN;
                if (link_ == Link::connecting || conn_.wants_write()) fds[1].events |= POLLOUT;
                // A connection being made gives up after the join bound (an unreachable host
                // would otherwise hold it for the system's own long time-out).
                auto next = connect_started_ + milliseconds(timing_.join_ms);
                if (link_ == Link::connected) {
                    auto beat = conn_.last_sent() + milliseconds(timing_.heartbeat_ms);
                    auto silent = conn_.last_heard() + milliseconds(timing_.silence_ms);
                    next = std::min(beat, silent);
                }
                timeout =
                    next <= now ? 0 : int(std::chrono::ceil<milliseconds>(next - now).count());
            }
            guard.unlock();
            ::poll(fds, fds[1].fd >= 0 ? 2 : 1, timeout);
            guard.lock();
            if (fds[0].revents) dplay_socket::drain_wake(wake_fd_);
            if (stop_io_ || close_requested_ || !conn_.open() || conn_.fd() != fds[1].fd) continue;
            service_connection(fds[1].revents);
        }
        conn_.close();
        link_ = Link::none;
    }

    void service_connection(short revents) {
        if (link_ == Link::connecting) {
            if (!(revents & (POLLOUT | POLLERR | POLLHUP))) {
                if (Clock::now() - connect_started_ >= milliseconds(timing_.join_ms)) lose_link();
                return;
            }
            if (dplay_socket::connect_result(conn_.fd()) != 0) {
                lose_link();
                return;
            }
            link_ = Link::connected;
            conn_.reset_times();
        }
        if (revents & (POLLIN | POLLERR | POLLHUP)) {
            // A port given back while the host's frames are taken goes out on this link.
            const DirectPlayMember::Reply reply = [this](const Frame& f) { conn_.queue(f); };
            bool alive = conn_.read_available([&](const uint8_t* bytes, size_t count) {
                member_.take_bytes(bytes, count, reply);
            });
            if (!alive || member_.malformed()) {
                lose_link();
                return;
            }
            cv_.notify_all();
        }
        if (conn_.wants_write() && !conn_.flush()) {
            lose_link();
            return;
        }
        auto now = Clock::now();
        if (now - conn_.last_heard() >= milliseconds(timing_.silence_ms)) {
            lose_link();
            return;
        }
        if (now - conn_.last_sent() >= milliseconds(timing_.heartbeat_ms)) {
            Frame ping;
            ping.op = dplay_wire::PING;
            conn_.queue(ping);
        }
    }

    RefCounted refs_;
    const DirectPlayTiming timing_;
    std::mutex lock_;
    std::condition_variable cv_;
    bool initialized_ = false;
    DirectPlayEndpoint endpoint_{};
    DirectPlayEndpoint target_{}; // the host connected to: endpoint_, or the own one
    bool listen_any_ = true;

    Link link_ = Link::none;
    Connection conn_;
    Clock::time_point next_attempt_{};
    Clock::time_point connect_started_{};
    std::thread io_;
    int wake_fd_ = -1;
    bool stop_io_ = false;
    bool close_requested_ = false;
    uint64_t generation_ = 0;

    GUID enum_application_{};
    DirectPlayMember member_;
    // The session this object created; it lives until Close (or the object's end).
    std::unique_ptr<DirectPlayHost> hosted_;
    bool host_notice_pending_ = false;
};

} // namespace

int32_t create_direct_play(const GUID& iid, void** out) {
    if (!(iid == IID_IDirectPlay4A || iid == IID_IDirectPlay3A)) return E_NOINTERFACE;
    *out = static_cast<IDirectPlay4A*>(new DirectPlay);
    return S_OK;
}

} // namespace platform
