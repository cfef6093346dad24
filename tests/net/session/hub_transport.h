// A transport double for several participants in one process: endpoints share one session
// through a thread-safe hub, each with its own receive queue. The hub announces ports (kind 0
// with the port's data), departures (kind 1), a host hand-over to a chosen survivor when the
// host's port goes (kind 2) and cuts (kind 3); it logs every send and can drop, delay or
// answer messages by script. Time is a shared world clock the tests move.
#pragma once

#include "framework/core/component.h"
#include "net/transport/om_transport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace nettest {

using Words = std::vector<uint32_t>;

inline std::vector<uint8_t> body_of(const Words& words) {
    std::vector<uint8_t> bytes(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        for (int b = 0; b < 4; ++b) bytes[4 * i + b] = uint8_t(words[i] >> (8 * b));
    return bytes;
}

inline uint32_t word_of(const std::vector<uint8_t>& body, size_t index) {
    uint32_t w = 0;
    for (int b = 0; b < 4; ++b) w |= uint32_t(body.at(4 * index + b)) << (8 * b);
    return w;
}

// Milliseconds every participant agrees on; participants add their own offsets.
struct WorldClock {
    std::atomic<uint32_t> ms{1000};
    uint32_t now() const { return ms.load(); }
    uint32_t tick() { return ms.fetch_add(1) + 1; }
};

class Hub {
public:
    struct Message {
        uint32_t kind = OM_TRANSPORT_DATA;
        uint32_t sender = 0;
        uint32_t receiver = 0;
        std::vector<uint8_t> body;
        uint32_t flags = 0;
        uint32_t due = 0;
    };
    // Called under the hub's lock for each data message sent: true drops it.
    std::function<bool(const Message&)> drop;
    // Called under the hub's lock for each data message sent: messages to deliver at once.
    std::function<std::vector<Message>(const Message&)> answer;

    explicit Hub(WorldClock* world = nullptr) : world_(world) {}

    // A new endpoint (one reference, for the Network that takes it over) and its index.
    IOmTransport* endpoint(int* index = nullptr);

    void set_delay(uint32_t ms) {
        std::lock_guard g(lock_);
        delay_ = ms;
    }
    // The port that becomes host when the host's port goes (else the lowest survivor).
    void set_next_host(uint32_t port) {
        std::lock_guard g(lock_);
        next_host_ = port;
    }
    void cut(int endpoint) {
        std::lock_guard g(lock_);
        ends_.at(endpoint).queue.push_back({OM_TRANSPORT_SESSION_LOST, 0, 0, {}, 0, 0});
    }
    void inject(int endpoint, Message m) {
        std::lock_guard g(lock_);
        ends_.at(endpoint).queue.push_back(std::move(m));
    }
    std::vector<Message> sent() {
        std::lock_guard g(lock_);
        return sent_;
    }
    std::vector<Message> sent_to(uint32_t port) {
        std::lock_guard g(lock_);
        std::vector<Message> out;
        for (const Message& m : sent_)
            if (m.receiver == port) out.push_back(m);
        return out;
    }
    void clear_sent() {
        std::lock_guard g(lock_);
        sent_.clear();
    }
    size_t waiting(int endpoint) {
        std::lock_guard g(lock_);
        return ends_.at(endpoint).queue.size();
    }
    uint32_t host_port() {
        std::lock_guard g(lock_);
        return host_port_;
    }
    // Waits (real time, bounded) until the endpoint has handled everything due for it.
    void wait_idle(int endpoint) {
        auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < give_up) {
            {
                std::lock_guard g(lock_);
                End& e = ends_.at(endpoint);
                bool due = !e.queue.empty() && e.queue.front().due <= now_locked();
                if (!e.taken && !due) return;
            }
            std::this_thread::yield();
        }
    }

    // --- the endpoints' side, under the lock ----------------------------------------------
    struct End {
        std::deque<Message> queue;
        std::vector<uint8_t> buffer;
        bool taken = false;
        bool in_session = false;
        GUID application{};
    };

    std::mutex lock_;
    WorldClock* world_;
    std::vector<End> ends_;
    std::map<uint32_t, int> ports_; // port -> endpoint
    std::vector<Message> sent_;
    uint32_t next_port_ = 100;
    uint32_t delay_ = 0;
    uint32_t next_host_ = 0;
    bool session_open_ = false;
    std::string session_name_;
    int host_end_ = -1;
    uint32_t host_port_ = 0;
    OmTransportSession session_record_{};

    uint32_t now_locked() const { return world_ ? world_->now() : 0; }

    void post_locked(uint32_t port, Message m) {
        auto owner = ports_.find(port);
        if (owner == ports_.end()) return;
        m.receiver = port;
        ends_[owner->second].queue.push_back(std::move(m));
    }

    void remove_port_locked(uint32_t id) {
        ports_.erase(id);
        for (auto& [port, end] : ports_)
            post_locked(port, {OM_TRANSPORT_PORT_DESTROYED, id, 0, {}});
        if (id != host_port_ || ports_.empty()) return;
        uint32_t survivor = ports_.count(next_host_) ? next_host_ : ports_.begin()->first;
        host_port_ = survivor;
        host_end_ = ports_[survivor];
        post_locked(survivor, {OM_TRANSPORT_BECAME_HOST, 0, 0, {}});
    }
};

class HubEndpoint final : public OmObject<HubEndpoint, IOmTransport> {
public:
    Hub* hub = nullptr;
    int index = 0;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmTransport, this}});
    }
    OmResult Init() override { return OM_S_OK; }
    int32_t GetVersion() override { return 1; }
    OmResult SetAddress(int32_t kind, const void*) override {
        return kind >= 1 && kind <= 3 ? OM_S_OK : OM_E_FAIL;
    }
    OmResult GetOption(int32_t, uint32_t*) override { return OM_E_FAIL; }

    OmResult CreatePort(uint32_t* id, const void* data, uint32_t size) override {
        if (!id) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        if (!hub->ends_[index].in_session) return OM_E_TRANSPORT_NOCONNECTION;
        uint32_t created = hub->next_port_++;
        std::vector<uint8_t> bytes;
        if (size)
            bytes.assign(static_cast<const uint8_t*>(data),
                         static_cast<const uint8_t*>(data) + size);
        for (auto& [port, end] : hub->ports_)
            hub->post_locked(port, {OM_TRANSPORT_PORT_CREATED, created, 0, bytes});
        hub->ports_[created] = index;
        if (hub->host_end_ == index && hub->host_port_ == 0) hub->host_port_ = created;
        *id = created;
        return OM_S_OK;
    }

    OmResult DestroyPort(uint32_t id) override {
        std::lock_guard g(hub->lock_);
        auto found = hub->ports_.find(id);
        if (found == hub->ports_.end() || found->second != index)
            return OM_E_TRANSPORT_INVALIDPLAYER;
        hub->remove_port_locked(id);
        return OM_S_OK;
    }

    OmResult Broadcast(OmTransportMessage* m, uint32_t flags) override {
        if (!m) return OM_E_FAIL;
        m->receiver = 0;
        return Send(m, flags);
    }

    OmResult Send(OmTransportMessage* m, uint32_t flags) override {
        if (!m || (m->length && !m->data)) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        if (m->sender == m->receiver) return OM_S_OK;
        if (m->receiver && !hub->ports_.count(m->receiver)) return OM_E_TRANSPORT_INVALIDPLAYER;
        Hub::Message sent{OM_TRANSPORT_DATA, m->sender, m->receiver, {}, flags, 0};
        if (m->length) {
            const auto* d = static_cast<const uint8_t*>(m->data);
            sent.body.assign(d, d + m->length);
        }
        hub->sent_.push_back(sent);
        std::vector<Hub::Message> answers;
        if (hub->answer) answers = hub->answer(sent);
        if (!(hub->drop && hub->drop(sent))) {
            sent.due = hub->now_locked() + hub->delay_;
            if (m->receiver) {
                hub->post_locked(m->receiver, sent);
            } else {
                for (auto& [port, end] : hub->ports_)
                    if (port != m->sender) hub->post_locked(port, sent);
            }
        }
        for (Hub::Message& a : answers) hub->post_locked(a.receiver, std::move(a));
        return OM_S_OK;
    }

    OmResult ReceiveFor(uint32_t id, OmTransportMessage* m, uint32_t flags) override {
        return Receive(id, m,
                       flags | OM_TRANSPORT_RECEIVE_FOR | (id ? 0 : OM_TRANSPORT_RECEIVE_ANY));
    }
    OmResult ReceiveAny(OmTransportMessage* m, uint32_t flags) override {
        return Receive(0, m, flags | OM_TRANSPORT_RECEIVE_ANY);
    }
    OmResult Receive(uint32_t id, OmTransportMessage* m, uint32_t flags) override {
        if (!m) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        Hub::End& e = hub->ends_[index];
        e.taken = false;
        if (e.queue.empty() || e.queue.front().due > hub->now_locked())
            return OM_E_TRANSPORT_NOMESSAGES;
        Hub::Message& next = e.queue.front();
        if (!(flags & OM_TRANSPORT_RECEIVE_ANY) && next.receiver != id) return OM_E_FAIL;
        e.buffer = std::move(next.body);
        *m = {next.kind, next.sender, next.receiver, uint32_t(e.buffer.size()),
              e.buffer.empty() ? nullptr : e.buffer.data()};
        e.queue.pop_front();
        e.taken = true;
        return OM_S_OK;
    }
    OmResult GetPortInfo(uint32_t, uint32_t* out) override {
        if (!out) return OM_E_FAIL;
        *out = 0;
        return OM_S_OK;
    }
    OmResult GetMessageCount(uint32_t, uint32_t* count) override {
        if (!count) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        *count = uint32_t(hub->ends_[index].queue.size());
        return OM_S_OK;
    }
    OmResult SetApplicationGuid(const GUID* guid) override {
        std::lock_guard g(hub->lock_);
        hub->ends_[index].application = guid ? *guid : GUID{};
        return OM_S_OK;
    }
    OmResult GetApplicationGuid(GUID* out) override {
        if (!out) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        *out = hub->ends_[index].application;
        return OM_S_OK;
    }
    OmResult CreateSession(const char* name) override {
        std::lock_guard g(hub->lock_);
        if (!name || hub->session_open_) return OM_E_FAIL;
        hub->session_open_ = true;
        hub->session_name_ = name;
        hub->host_end_ = index;
        hub->ends_[index].in_session = true;
        std::snprintf(hub->session_record_.name, sizeof hub->session_record_.name, "%s", name);
        return OM_S_OK;
    }
    OmResult JoinSession(const char* name) override {
        std::lock_guard g(hub->lock_);
        if (!name || !hub->session_open_ || hub->session_name_ != name) return OM_E_FAIL;
        hub->ends_[index].in_session = true;
        return OM_S_OK;
    }
    OmResult GetSessionName(const char** out) override {
        if (!out) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        bool in = hub->ends_[index].in_session;
        *out = in ? hub->session_name_.c_str() : nullptr;
        return in ? OM_S_OK : OM_E_FAIL;
    }
    OmResult Close() override {
        std::lock_guard g(hub->lock_);
        Hub::End& e = hub->ends_[index];
        if (!e.in_session) return OM_E_FAIL;
        e.in_session = false;
        std::vector<uint32_t> mine;
        for (auto& [port, end] : hub->ports_)
            if (end == index) mine.push_back(port);
        for (uint32_t port : mine) hub->remove_port_locked(port);
        e.queue.clear();
        return OM_S_OK;
    }
    OmResult EnumerateSessions(uint32_t* count) override {
        std::lock_guard g(hub->lock_);
        uint32_t n = hub->session_open_ ? 1 : 0;
        if (count) *count = n;
        return OmResult(n);
    }
    OmResult GetSession(uint32_t i, const OmTransportSession** out) override {
        if (!out) return OM_E_FAIL;
        std::lock_guard g(hub->lock_);
        bool ok = i == 0 && hub->session_open_;
        *out = ok ? &hub->session_record_ : nullptr;
        return ok ? OM_S_OK : OM_E_FAIL;
    }
    OmResult StartServiceProvider(int32_t) override { return OM_S_OK; }
    OmResult TestServiceProvider(int32_t) override { return OM_S_OK; }
    OmResult SelectConnection(const OmTransportConnection*) override { return OM_S_OK; }
    OmResult ReleaseConnection() override { return OM_S_OK; }
    int32_t GetConnectionCount() override { return 1; }
    OmResult GetConnection(uint32_t, const OmTransportConnection** out) override {
        if (out) *out = nullptr;
        return OM_E_FAIL;
    }
};

inline IOmTransport* Hub::endpoint(int* index) {
    HubEndpoint* e = nullptr;
    om_new_component(&e);
    if (!e) return nullptr;
    std::lock_guard g(lock_);
    e->hub = this;
    e->index = int(ends_.size());
    ends_.emplace_back();
    if (index) *index = e->index;
    return e;
}

} // namespace nettest
