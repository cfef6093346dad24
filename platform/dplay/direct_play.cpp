// The DirectPlay stand-in object: one TCP connection to a session host, served by its own I/O
// thread (connects, reads frames, keeps the heartbeat, notices silence), with the calls of
// IDirectPlay3A/4A answered from its state under one lock.
#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_address.h"
#include "platform/dplay/dplay_connection.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
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

// A received message as the inbox keeps it.
struct Message {
    uint32_t system_type = 0; // 0 for a player message
    DPID from = 0;
    DPID to = 0;
    DPID player = 0; // system messages: the player created or destroyed
    std::vector<uint8_t> bytes;
};

struct Session {
    GUID instance;
    GUID application;
    std::string name;
};

struct PortAnswer {
    uint32_t result;
    uint32_t id;
};

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
        std::unique_lock guard(lock_);
        bool had_any = joined_ || link_ != Link::none;
        ++generation_; // ends the blocking calls of other threads
        joined_ = false;
        players_.clear();
        inbox_.clear();
        sessions_.clear();
        enum_outstanding_ = false;
        drop_link(guard);
        cv_.notify_all();
        return had_any ? DP_OK : DPERR_NOCONNECTION;
    }

    int32_t CreatePlayer(DPID* id, const DPNAME*, void*, const void* data, uint32_t size,
                         uint32_t) override {
        if (!id) return DPERR_INVALIDPARAMS;
        *id = 0;
        if ((size && !data) || size > dplay_wire::max_body - 1) return DPERR_INVALIDPARAMS;
        std::unique_lock guard(lock_);
        if (!joined_ || link_ != Link::connected) return DPERR_NOCONNECTION;
        Frame f;
        f.op = dplay_wire::CREATE_PORT;
        if (size)
            f.bytes.assign(static_cast<const uint8_t*>(data),
                           static_cast<const uint8_t*>(data) + size);
        uint64_t ticket = ports_requested_++;
        conn_.queue(f);
        dplay_socket::wake(wake_fd_);
        uint64_t generation = generation_;
        auto deadline = Clock::now() + milliseconds(timing_.port_ms);
        cv_.wait_until(guard, deadline, [&] {
            return port_answers_.count(ticket) || generation != generation_ || !joined_;
        });
        auto found = port_answers_.find(ticket);
        if (found == port_answers_.end()) {
            // A late answer names a port nobody here will use: it is given back.
            abandoned_.insert(ticket);
            return generation != generation_ || !joined_ ? DPERR_NOCONNECTION
                                                         : DPERR_CANTCREATEPLAYER;
        }
        PortAnswer answer = found->second;
        port_answers_.erase(found);
        if (answer.result != 0 || answer.id == 0) return DPERR_CANTCREATEPLAYER;
        players_.push_back(answer.id);
        *id = answer.id;
        return DP_OK;
    }

    int32_t DestroyPlayer(DPID id) override {
        std::lock_guard guard(lock_);
        auto found = std::find(players_.begin(), players_.end(), id);
        if (found == players_.end()) return DPERR_INVALIDPLAYER;
        players_.erase(found);
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
                if (!enum_outstanding_) request_enumeration();
            } else {
                uint64_t replies = enum_replies_;
                request_enumeration();
                uint64_t generation = generation_;
                auto deadline =
                    Clock::now() + milliseconds(timeout ? timeout : timing_.enumeration_ms);
                cv_.wait_until(guard, deadline, [&] {
                    return enum_replies_ != replies || generation != generation_ ||
                           link_ == Link::none;
                });
            }
            for (const Session& s : sessions_) {
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
        if (id && std::find(players_.begin(), players_.end(), id) == players_.end())
            return DPERR_INVALIDPLAYER;
        for (const Message& m : inbox_)
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
        std::lock_guard guard(lock_);
        if (initialized_) return DPERR_ALREADYINITIALIZED;
        endpoint_ = endpoint;
        initialized_ = true;
        return DP_OK;
    }

    int32_t Open(DPSESSIONDESC2* desc, uint32_t flags) override {
        if (!desc) return DPERR_INVALIDPARAMS;
        if (flags == DPOPEN_CREATE) return DPERR_UNSUPPORTED;
        if (flags != DPOPEN_JOIN) return DPERR_INVALIDFLAGS;
        std::unique_lock guard(lock_);
        if (!initialized_) return DPERR_UNINITIALIZED;
        if (joined_) return DPERR_ALREADYINITIALIZED;
        auto known = std::find_if(sessions_.begin(), sessions_.end(), [&](const Session& s) {
            return s.instance == desc->guidInstance;
        });
        if (known == sessions_.end()) return DPERR_NOSESSIONS;
        start_link();
        if (link_ == Link::none) return DPERR_CONNECTIONLOST;
        Frame f;
        f.op = dplay_wire::JOIN;
        f.instance = desc->guidInstance;
        join_answer_.reset();
        conn_.queue(f, link_ == Link::connecting);
        dplay_socket::wake(wake_fd_);
        uint64_t generation = generation_;
        auto deadline = Clock::now() + milliseconds(timing_.join_ms);
        bool answered = cv_.wait_until(guard, deadline, [&] {
            return join_answer_.has_value() || generation != generation_ || link_ == Link::none;
        });
        if (!answered) return DPERR_TIMEOUT;
        if (!join_answer_) return DPERR_CONNECTIONLOST;
        if (*join_answer_ != 0) return DPERR_NOSESSIONS;
        joined_ = true;
        lost_reported_ = false;
        return DP_OK;
    }

    int32_t Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) override {
        if (!size || !from || !to) return DPERR_INVALIDPARAMS;
        std::lock_guard guard(lock_);
        auto m = inbox_.begin();
        if (flags & DPRECEIVE_TOPLAYER) {
            m = std::find_if(inbox_.begin(), inbox_.end(),
                             [&](const Message& x) { return x.to == *to || x.to == 0; });
        }
        if (m == inbox_.end()) return DPERR_NOMESSAGES;
        uint32_t needed = needed_size(*m);
        if (!data || *size < needed) {
            *size = needed;
            return DPERR_BUFFERTOOSMALL;
        }
        fill(*m, data);
        *size = needed;
        *from = m->system_type ? DPID_SYSMSG : m->from;
        *to = m->to;
        if (!(flags & DPRECEIVE_PEEK)) inbox_.erase(m);
        return DP_OK;
    }

    int32_t Send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) override {
        if (size && !data) return DPERR_INVALIDPARAMS;
        std::lock_guard guard(lock_);
        if (!joined_ || link_ != Link::connected) return DPERR_NOCONNECTION;
        if (std::find(players_.begin(), players_.end(), from) == players_.end())
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
    static bool is_null(const GUID& g) {
        static const GUID zero{};
        return g == zero;
    }

    static uint32_t needed_size(const Message& m) {
        switch (m.system_type) {
        case 0: return uint32_t(m.bytes.size());
        case DPSYS_CREATEPLAYERORGROUP:
            return uint32_t(sizeof(DPMSG_CREATEPLAYERORGROUP) + m.bytes.size());
        case DPSYS_DESTROYPLAYERORGROUP: return sizeof(DPMSG_DESTROYPLAYERORGROUP);
        default: return sizeof(DPMSG_GENERIC);
        }
    }

    static void fill(const Message& m, void* data) {
        switch (m.system_type) {
        case 0:
            if (!m.bytes.empty()) std::memcpy(data, m.bytes.data(), m.bytes.size());
            break;
        case DPSYS_CREATEPLAYERORGROUP: {
            auto* record = static_cast<DPMSG_CREATEPLAYERORGROUP*>(data);
            *record = DPMSG_CREATEPLAYERORGROUP{};
            record->dwType = DPSYS_CREATEPLAYERORGROUP;
            record->dpId = m.player;
            record->dwDataSize = uint32_t(m.bytes.size());
            record->lpData = m.bytes.empty() ? nullptr : record + 1;
            if (!m.bytes.empty()) std::memcpy(record + 1, m.bytes.data(), m.bytes.size());
            break;
        }
        case DPSYS_DESTROYPLAYERORGROUP: {
            auto* record = static_cast<DPMSG_DESTROYPLAYERORGROUP*>(data);
            *record = DPMSG_DESTROYPLAYERORGROUP{DPSYS_DESTROYPLAYERORGROUP, 0, m.player};
            break;
        }
        default: static_cast<DPMSG_GENERIC*>(data)->dwType = m.system_type;
        }
    }

    // Starts a connection to the host unless one is up or being made, or a refused attempt
    // was too recent. Called with the lock held.
    void start_link() {
        if (link_ != Link::none || Clock::now() < next_attempt_) return;
        if (wake_fd_ < 0) wake_fd_ = dplay_socket::make_wake_fd();
        if (wake_fd_ < 0) return;
        bool pending = false;
        int fd = dplay_socket::connect_to(endpoint_.host, endpoint_.port, &pending);
        if (fd < 0) {
            next_attempt_ = Clock::now() + milliseconds(timing_.reconnect_ms);
            return;
        }
        conn_ = Connection(fd);
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
        enum_outstanding_ = true;
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
        enum_outstanding_ = false;
        sessions_.clear();
        next_attempt_ = Clock::now() + milliseconds(timing_.reconnect_ms);
        if (joined_ && !lost_reported_) {
            Message m;
            m.system_type = DPSYS_SESSIONLOST;
            m.to = players_.empty() ? 0 : players_.front();
            inbox_.push_back(std::move(m));
            lost_reported_ = true;
        }
        joined_ = false;
        cv_.notify_all();
    }

    void take_frame(Frame& f) {
        switch (f.op) {
        case dplay_wire::ENUM_REPLY: {
            auto same = std::find_if(sessions_.begin(), sessions_.end(),
                                     [&](const Session& s) { return s.instance == f.instance; });
            if (same != sessions_.end())
                *same = Session{f.instance, f.application, f.name};
            else
                sessions_.push_back(Session{f.instance, f.application, f.name});
            enum_outstanding_ = false;
            ++enum_replies_;
            break;
        }
        case dplay_wire::JOIN_REPLY: join_answer_ = f.result; break;
        case dplay_wire::PORT_CREATED: {
            uint64_t ticket = ports_answered_++;
            if (abandoned_.erase(ticket)) {
                if (f.result == 0 && f.id) give_back_port(f.id);
            } else {
                port_answers_[ticket] = PortAnswer{f.result, f.id};
            }
            break;
        }
        case dplay_wire::DATA:
            if (joined_) {
                Message m;
                m.from = f.from;
                m.to = f.to;
                m.bytes = std::move(f.bytes);
                inbox_.push_back(std::move(m));
            }
            break;
        case dplay_wire::SYSTEM:
            if (joined_ &&
                (f.kind == dplay_wire::system_created || f.kind == dplay_wire::system_destroyed)) {
                Message m;
                m.system_type = f.kind == dplay_wire::system_created ? DPSYS_CREATEPLAYERORGROUP
                                                                     : DPSYS_DESTROYPLAYERORGROUP;
                m.player = f.id;
                m.to = players_.empty() ? 0 : players_.front();
                if (f.kind == dplay_wire::system_created) m.bytes = std::move(f.bytes);
                inbox_.push_back(std::move(m));
            }
            break;
        default: break; // requests only a host answers
        }
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
            bool alive = conn_.read_available();
            while (std::optional<Frame> f = conn_.next_frame()) take_frame(*f);
            if (!alive || conn_.malformed()) {
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
    std::vector<Session> sessions_;
    bool enum_outstanding_ = false;
    uint64_t enum_replies_ = 0;

    bool joined_ = false;
    bool lost_reported_ = false;
    std::optional<uint32_t> join_answer_;
    uint64_t ports_requested_ = 0;
    uint64_t ports_answered_ = 0;
    std::map<uint64_t, PortAnswer> port_answers_;
    std::set<uint64_t> abandoned_;
    std::vector<DPID> players_;
    std::deque<Message> inbox_;
};

} // namespace

int32_t create_direct_play(const GUID& iid, void** out) {
    if (!(iid == IID_IDirectPlay4A || iid == IID_IDirectPlay3A)) return E_NOINTERFACE;
    *out = static_cast<IDirectPlay4A*>(new DirectPlay);
    return S_OK;
}

} // namespace platform
