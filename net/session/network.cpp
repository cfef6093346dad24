// Network: the session and player layer over an IOmTransport (see network.h for the messages).
#include "net/session/network.h"

#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t default_timeout_ms = 20000;
constexpr uint32_t clock_samples = 30;
constexpr uint32_t clock_window_ms = 10000;
constexpr uint32_t clock_answer_ms = 100;
constexpr uint32_t first_counter = 1;

uint32_t read_word(const uint8_t* body, uint32_t index) {
    const uint8_t* p = body + 4 * index;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void write_word(uint8_t* body, uint32_t index, uint32_t value) {
    uint8_t* p = body + 4 * index;
    p[0] = uint8_t(value);
    p[1] = uint8_t(value >> 8);
    p[2] = uint8_t(value >> 16);
    p[3] = uint8_t(value >> 24);
}

// The least body a layer code needs before any of its words is read; 0 for user codes.
uint32_t minimum_body(uint32_t code) {
    switch (code) {
    case OM_NETWORK_HELLO:
    case OM_NETWORK_LIST: return 4;
    case OM_NETWORK_WELCOME:
    case OM_NETWORK_REQUEST:
    case OM_NETWORK_REMOVE:
    case OM_NETWORK_REFUSED:
    case OM_NETWORK_NEW_PORT: return 8;
    case OM_NETWORK_ADD: return 12;
    case OM_NETWORK_TIME_REQUEST:
    case OM_NETWORK_TIME_ANSWER: return 20;
    case OM_NETWORK_PLAYER_DATA: return 12;
    default: return 0;
    }
}

int32_t accept_everything(OmTransportMessage*) {
    return 0;
}

uint32_t default_clock(void*) {
    return OmOSGetTime();
}

// A body of little-endian words, owned by the framework allocator.
class Body {
public:
    explicit Body(uint32_t bytes)
        : bytes_(bytes), data_(static_cast<uint8_t*>(OmAllocMemory(bytes ? bytes : 1))) {
        if (data_) std::memset(data_, 0, bytes ? bytes : 1);
    }
    ~Body() { OmFreeMemory(data_); }
    Body(const Body&) = delete;
    Body& operator=(const Body&) = delete;

    explicit operator bool() const { return data_ != nullptr; }
    uint8_t* data() const { return data_; }
    uint32_t size() const { return bytes_; }
    void set(uint32_t index, uint32_t value) { write_word(data_, index, value); }
    // The block over this body: kind 16, length 20 + body.
    OmTransportMessage block(uint32_t sender, uint32_t receiver) const {
        return {OM_TRANSPORT_DATA, sender, receiver, OM_NETWORK_HEADER_SIZE + bytes_, data_};
    }

private:
    uint32_t bytes_;
    uint8_t* data_;
};

struct PlayerNode {
    PlayerNode* previous;
    PlayerNode* next;
    uint32_t number;
    uint32_t port;
    uint32_t changed;
    uint32_t size;
    uint8_t* data;
};

class Network final : public OmObject<Network, IOmNetwork> {
public:
    OmResult init() {
        OmResult r = OmOSAcquire();
        if (OmFailed(r)) return r;
        os_held_ = true;
        return OmCreateMemoryPool(sizeof(PlayerNode), 16, &pool_);
    }

    ~Network() {
        if (transport_) transport_->Release();
        clear_players();
        if (pool_) pool_->Release();
        if (os_held_) OmOSRelease();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmNetwork, this}});
    }

    void set_clock(OmNetworkClock clock, void* context) {
        clock_ = clock ? clock : default_clock;
        clock_context_ = clock ? context : nullptr;
    }

    // --- transport and forwarding -------------------------------------------------------

    OmResult SetOption(int32_t id, void* value) override {
        switch (id) {
        case OM_NETWORK_TRANSPORT: {
            drop_transport();
            if (!value) return OM_E_FAIL;
            auto* transport = static_cast<IOmTransport*>(value);
            OmResult r = transport->Init();
            if (OmFailed(r)) {
                transport->Release();
                return r;
            }
            transport_ = transport;
            ready_ = true;
            return OM_S_OK;
        }
        case OM_NETWORK_ADDRESS_1:
        case OM_NETWORK_ADDRESS_2:
        case OM_NETWORK_ADDRESS_3: {
            if (!transport_) return OM_E_FAIL;
            int32_t kind = id == OM_NETWORK_ADDRESS_1 ? 1 : id == OM_NETWORK_ADDRESS_2 ? 2 : 3;
            return transport_->SetAddress(kind, value);
        }
        case OM_NETWORK_TIMEOUT:
            if (!value) return OM_E_FAIL;
            timeout_ms_ = *static_cast<const uint32_t*>(value);
            return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }

    OmResult GetOption(int32_t, void*) override { return OM_E_FAIL; }

    OmResult Network_SelectTransport() override {
        if (ready_) return OM_S_OK;
        drop_transport();
        IOmTransport* transport = nullptr;
        OmResult r = OmCreateInstanceOfCategory(CATID_OrmicTransport, nullptr, 0, IID_IOmTransport,
                                                reinterpret_cast<void**>(&transport));
        if (OmFailed(r)) return r;
        r = transport->Init();
        if (OmFailed(r)) {
            transport->Release();
            return r;
        }
        transport_ = transport;
        return OM_S_OK;
    }

    int32_t GetVersion() override { return transport_ ? transport_->GetVersion() : 0; }

    OmResult GetHostPort(uint32_t* id) override {
        if (!id) return OM_E_FAIL;
        *id = host_port_;
        return host_port_ ? OM_S_OK : OM_E_FAIL;
    }

    OmResult CreatePort(uint32_t* id, const void* data, uint32_t size) override {
        if (!transport_) return OM_E_FAIL;
        OmResult r = forwarded(transport_->CreatePort(id, data, size));
        Poll();
        return r;
    }

    OmResult DestroyPort(uint32_t id) override {
        return transport_ ? forwarded(transport_->DestroyPort(id)) : OM_E_FAIL;
    }
    OmResult StartServiceProvider(int32_t kind) override {
        return transport_ ? forwarded(transport_->StartServiceProvider(kind)) : OM_E_FAIL;
    }
    OmResult TestServiceProvider(int32_t kind) override {
        return transport_ ? transport_->TestServiceProvider(kind) : OM_E_FAIL;
    }
    OmResult SelectConnection(const OmTransportConnection* connection) override {
        return transport_ ? forwarded(transport_->SelectConnection(connection)) : OM_E_FAIL;
    }

    OmResult ReleaseConnection() override {
        if (!transport_) return OM_E_FAIL;
        if (OmFailed(transport_->ReleaseConnection())) return OM_E_FAIL;
        while (first_) RemovePlayer(first_->number);
        return OM_S_OK;
    }

    int32_t GetConnectionCount() override {
        return transport_ ? transport_->GetConnectionCount() : OM_E_FAIL;
    }
    OmResult GetConnection(uint32_t index, const OmTransportConnection** out) override {
        return transport_ ? forwarded(transport_->GetConnection(index, out)) : OM_E_FAIL;
    }

    OmResult CreateSession(const char* name, uint32_t* port) override {
        if (!transport_ || !port) return OM_E_FAIL;
        if (OmFailed(transport_->CreateSession(name))) return OM_E_FAIL;
        host_ = true;
        if (OmFailed(transport_->CreatePort(port, nullptr, 0))) {
            transport_->Close();
            host_ = false;
            return OM_E_FAIL;
        }
        host_port_ = *port;
        return OM_S_OK;
    }

    OmResult JoinSession(const char* name, uint32_t* port) override {
        if (!transport_ || !port) return OM_E_FAIL;
        uint32_t count = 0;
        if (OmFailed(EnumerateSessions(&count)) || count == 0) return OM_E_FAIL;
        if (OmFailed(transport_->JoinSession(name))) return OM_E_FAIL;
        if (OmFailed(transport_->CreatePort(port, nullptr, 0))) {
            transport_->Close();
            return OM_E_FAIL;
        }
        host_port_ = 0;
        uint32_t start = now();
        while (true) {
            Poll();
            if (host_port_) return OM_S_OK;
            if (now() - start > timeout_ms_) break;
        }
        transport_->Close();
        forget_session();
        return OM_E_FAIL;
    }

    OmResult GetSessionName(const char** out) override {
        return transport_ ? forwarded(transport_->GetSessionName(out)) : OM_E_FAIL;
    }

    OmResult Close() override {
        if (!transport_) return OM_E_FAIL;
        if (OmFailed(transport_->Close())) return OM_E_FAIL;
        forget_session();
        return OM_S_OK;
    }

    OmResult EnumerateSessions(uint32_t* count) override {
        if (!transport_) return OM_E_FAIL;
        uint32_t found = 0;
        OmResult r = transport_->EnumerateSessions(&found);
        if (count) *count = OmFailed(r) ? 0 : found;
        return forwarded(r);
    }

    OmResult GetSession(uint32_t index, const OmTransportSession** out) override {
        return transport_ ? forwarded(transport_->GetSession(index, out)) : OM_E_FAIL;
    }

    // --- players --------------------------------------------------------------------------

    OmResult RequestPlayer(uint32_t port, uint32_t* number, uint32_t size) override {
        if (!number || !transport_) return OM_E_FAIL;
        Poll();
        uint32_t highest = 0;
        for (PlayerNode* p = first_; p; p = p->next) highest = std::max(highest, p->number);
        refused_ = false;
        pending_port_ = port;
        uint32_t host = 0;
        GetHostPort(&host);
        Body request(8);
        if (!request) return OM_E_OUTOFMEMORY;
        request.set(0, OM_NETWORK_REQUEST);
        OmTransportMessage block = request.block(port, host);
        if (OmFailed(Send(&block, OM_TRANSPORT_SEND_GUARANTEED))) return OM_E_FAIL;
        uint32_t start = now();
        while (true) {
            Poll();
            bool last = refused_ || now() - start > timeout_ms_;
            OmResult result = last ? OM_E_FAIL : OM_S_OK;
            PlayerNode* granted = first_;
            while (granted && granted->number <= highest) granted = granted->next;
            if (granted) {
                *number = granted->number;
                OmFreeMemory(granted->data);
                granted->data = static_cast<uint8_t*>(OmAllocMemory(size ? size : 1));
                granted->size = granted->data ? size : 0;
                if (granted->data) std::memset(granted->data, 0, size ? size : 1);
                granted->changed = 0;
                return granted->data ? result : OM_E_OUTOFMEMORY;
            }
            if (last) return OM_E_FAIL;
        }
    }

    OmResult RemovePlayer(uint32_t number) override {
        PlayerNode* node = find(number);
        if (!node) return OM_S_OK;
        Body notice(8);
        if (notice) {
            notice.set(0, OM_NETWORK_REMOVE);
            notice.set(1, number);
            OmTransportMessage block = notice.block(0, 0);
            callback_(&block);
        }
        // The callback may have removed it already.
        if (PlayerNode* again = find(number)) unlink(again);
        return OM_S_OK;
    }

    OmResult GetPlayerPort(uint32_t number, uint32_t* port) override {
        if (!port) return OM_E_FAIL;
        if (PlayerNode* node = find(number)) *port = node->port;
        return OM_S_OK;
    }

    OmResult SetPlayerData(uint32_t number, const void* data, uint32_t size) override {
        if (!data) return size == 0 ? OM_S_OK : OM_E_FAIL;
        if (size == 0) return OM_S_OK;
        PlayerNode* node = find(number);
        if (!node) return OM_E_FAIL;
        if (node->size != size || !node->data) {
            OmFreeMemory(node->data);
            node->data = static_cast<uint8_t*>(OmAllocMemory(size));
            if (!node->data) {
                node->size = 0;
                return OM_E_OUTOFMEMORY;
            }
        }
        std::memcpy(node->data, data, size);
        node->size = size;
        node->changed = 1;
        return OM_S_OK;
    }

    OmResult GetPlayerData(uint32_t number, void** data, uint32_t* size) override {
        if (!data) return OM_E_FAIL;
        PlayerNode* node = find(number);
        if (!node) return OM_E_FAIL;
        if (node->size == 0) {
            if (size) *size = 0;
            return OM_E_FAIL;
        }
        *data = node->data;
        if (size) *size = node->size;
        node->changed = 0;
        return OM_S_OK;
    }

    int32_t TakeChanged(uint32_t number) override {
        PlayerNode* node = find(number);
        if (!node || !node->changed) return 0;
        node->changed = 0;
        return 1;
    }

    OmResult GetPlayerCount(uint32_t* count) override {
        if (!count) return OM_E_FAIL;
        *count = player_count_;
        return OM_S_OK;
    }

    OmResult GetPlayerNumber(uint32_t index, uint32_t* number) override {
        if (!number) return OM_E_FAIL;
        PlayerNode* node = first_;
        for (uint32_t i = 0; node && i < index; ++i) node = node->next;
        if (index >= player_count_ || !node) {
            *number = 0;
            return OM_E_FAIL;
        }
        *number = node->number;
        return OM_S_OK;
    }

    OmResult WalkPlayers(int32_t mode, uint32_t* number, uint32_t* next) override {
        if (!first_) {
            if (number) *number = 0;
            return OM_E_FAIL;
        }
        if (!number) return OM_E_FAIL;
        switch (mode) {
        case OM_NETWORK_WALK_FIRST: *number = first_->number; return OM_S_OK;
        case OM_NETWORK_WALK_NEXT:
        case OM_NETWORK_WALK_PREVIOUS: {
            if (!next) return OM_E_FAIL;
            PlayerNode* node = find(*number);
            if (!node) return OM_E_FAIL;
            PlayerNode* step = mode == OM_NETWORK_WALK_NEXT ? node->next : node->previous;
            if (step) *next = step->number;
            return OM_S_OK;
        }
        default: return OM_E_FAIL;
        }
    }

    OmResult SendPlayerData(uint32_t receiver, uint32_t sender, uint32_t number,
                            uint32_t flags) override {
        if (receiver == sender) return OM_S_OK;
        return send_player_data(receiver, sender, number, flags, false);
    }

    OmResult BroadcastPlayerData(uint32_t sender, uint32_t number, uint32_t flags) override {
        return send_player_data(0, sender, number, flags, true);
    }

    int32_t IsPlayerAtPort(uint32_t port, uint32_t number) override {
        PlayerNode* node = find(number);
        return node && node->port == port ? 1 : 0;
    }

    int32_t IsPlayerNotAtPort(uint32_t port, uint32_t number) override {
        PlayerNode* node = find(number);
        return node && node->port != port ? 1 : 0;
    }

    OmResult SetApplicationGuid(const GUID* guid) override {
        return transport_ ? transport_->SetApplicationGuid(guid) : OM_S_OK;
    }

    OmResult GetApplicationGuid(GUID* out) override {
        if (!out) return OM_E_FAIL;
        if (!transport_ || OmFailed(transport_->GetApplicationGuid(out))) *out = GUID{};
        return OM_S_OK;
    }

    // --- messages ---------------------------------------------------------------------------

    OmResult Send(OmTransportMessage* block, uint32_t flags) override {
        OmTransportMessage message;
        if (!as_transport_message(block, &message)) return OM_E_FAIL;
        if (message.receiver == message.sender)
            return handle(message.sender, message.receiver,
                          static_cast<const uint8_t*>(message.data), message.length);
        return transport_ ? transport_->Send(&message, flags) : OM_E_FAIL;
    }

    OmResult Broadcast(OmTransportMessage* block, uint32_t flags) override {
        OmTransportMessage message;
        if (!as_transport_message(block, &message) || !transport_) return OM_E_FAIL;
        return transport_->Broadcast(&message, flags);
    }

    OmResult Poll() override {
        if (!transport_) return OM_E_FAIL;
        OmResult result = OM_S_OK;
        OmTransportMessage message{};
        while (transport_ && transport_->ReceiveAny(&message, 0) == OM_S_OK) {
            switch (message.kind) {
            case OM_TRANSPORT_PORT_CREATED:
                if (host_ && message.receiver == host_port_) {
                    uint8_t body[8] = {};
                    write_word(body, 0, OM_NETWORK_NEW_PORT);
                    handle(message.sender, host_port_, body, sizeof body);
                }
                break;
            case OM_TRANSPORT_PORT_DESTROYED:
                while (PlayerNode* node = find_port(message.sender)) RemovePlayer(node->number);
                break;
            case OM_TRANSPORT_BECAME_HOST:
                if (!host_taken_) {
                    host_port_ = message.receiver;
                    host_ = true;
                    host_taken_ = true;
                    result = broadcast_welcome();
                }
                break;
            case OM_TRANSPORT_SESSION_LOST: result = OM_E_FAIL; break;
            case OM_TRANSPORT_DATA: {
                // The transport's bytes last only until its next receive, which the handling
                // (or the user callback) may cause.
                if (message.length && !message.data) break;
                Body copy(message.length);
                if (!copy) break;
                if (message.length) std::memcpy(copy.data(), message.data, message.length);
                handle(message.sender, message.receiver, copy.data(), message.length);
                break;
            }
            default: break;
            }
        }
        return result;
    }

    OmResult SetCallback(OmNetworkCallback callback) override {
        callback_ = callback ? callback : accept_everything;
        return OM_S_OK;
    }

    OmResult GetCallback(OmNetworkCallback* out) override {
        if (!out) return OM_E_FAIL;
        *out = callback_;
        return OM_S_OK;
    }

    OmResult MeasureClockOffset(uint32_t sender, uint32_t receiver, int32_t* offset) override {
        if (!transport_ || !offset) return OM_E_FAIL;
        std::vector<int32_t> samples;
        uint32_t start = now();
        do {
            clock_valid_ = false;
            clock_offset_ = 0;
            Body request(20);
            if (!request) return OM_E_OUTOFMEMORY;
            request.set(0, OM_NETWORK_TIME_REQUEST);
            request.set(1, now());
            OmTransportMessage block = request.block(sender, receiver);
            Send(&block, OM_TRANSPORT_SEND_GUARANTEED);
            uint32_t sent = now();
            while (true) {
                Poll();
                if (clock_valid_ || now() - sent >= clock_answer_ms) break;
            }
            if (clock_valid_) samples.push_back(clock_offset_);
        } while (samples.size() < clock_samples && now() - start < clock_window_ms);
        if (samples.empty()) return OM_E_FAIL;
        std::sort(samples.begin(), samples.end());
        size_t low = 40 * samples.size() / 100;
        size_t high = 60 * samples.size() / 100;
        int64_t sum = 0;
        for (size_t i = low; i <= high; ++i) sum += samples[i];
        *offset = int32_t(sum / int64_t(high - low + 1));
        return OM_S_OK;
    }

private:
    static OmResult forwarded(OmResult r) { return OmFailed(r) ? OM_E_FAIL : OM_S_OK; }

    uint32_t now() { return clock_(clock_context_); }

    void drop_transport() {
        if (transport_) transport_->Release();
        transport_ = nullptr;
        ready_ = false;
    }

    // What is left of a session after it closed: no players, no host, and numbering that
    // starts again (a later session numbers from 2, not from where this one stopped).
    void forget_session() {
        clear_players();
        host_ = false;
        host_taken_ = false;
        host_port_ = 0;
        counter_ = first_counter;
    }

    // A user's block as a transport message: the body alone travels. False for a block that
    // cannot be one (null, shorter than its descriptor, a body without bytes).
    static bool as_transport_message(const OmTransportMessage* block, OmTransportMessage* out) {
        if (!block || block->length < OM_NETWORK_HEADER_SIZE) return false;
        uint32_t body = block->length - OM_NETWORK_HEADER_SIZE;
        if (body && !block->data) return false;
        *out = {OM_TRANSPORT_DATA, block->sender, block->receiver, body, block->data};
        return true;
    }

    // --- the player list ----------------------------------------------------------------

    PlayerNode* find(uint32_t number) const {
        for (PlayerNode* p = first_; p; p = p->next)
            if (p->number == number) return p;
        return nullptr;
    }

    PlayerNode* find_port(uint32_t port) const {
        for (PlayerNode* p = first_; p; p = p->next)
            if (p->port == port) return p;
        return nullptr;
    }

    PlayerNode* append(uint32_t number, uint32_t port, uint32_t changed) {
        auto* node = static_cast<PlayerNode*>(pool_->Get());
        if (!node) return nullptr;
        *node = PlayerNode{last_, nullptr, number, port, changed, 0, nullptr};
        (last_ ? last_->next : first_) = node;
        last_ = node;
        ++player_count_;
        return node;
    }

    void unlink(PlayerNode* node) {
        (node->previous ? node->previous->next : first_) = node->next;
        (node->next ? node->next->previous : last_) = node->previous;
        OmFreeMemory(node->data);
        pool_->Put(node);
        --player_count_;
    }

    void clear_players() {
        while (first_) unlink(first_);
    }

    // --- sending ------------------------------------------------------------------------

    OmResult send_words(uint32_t sender, uint32_t receiver, std::initializer_list<uint32_t> words,
                        bool broadcast) {
        Body body(uint32_t(words.size() * 4));
        if (!body) return OM_E_OUTOFMEMORY;
        uint32_t index = 0;
        for (uint32_t w : words) body.set(index++, w);
        OmTransportMessage block = body.block(sender, receiver);
        return broadcast ? Broadcast(&block, OM_TRANSPORT_SEND_GUARANTEED)
                         : Send(&block, OM_TRANSPORT_SEND_GUARANTEED);
    }

    OmResult broadcast_welcome() {
        return send_words(host_port_, 0, {OM_NETWORK_WELCOME, counter_}, true);
    }

    OmResult send_player_data(uint32_t receiver, uint32_t sender, uint32_t number, uint32_t flags,
                              bool broadcast) {
        PlayerNode* node = find(number);
        if (!node) return OM_E_FAIL;
        Body body(12 + node->size);
        if (!body) return OM_E_OUTOFMEMORY;
        body.set(0, OM_NETWORK_PLAYER_DATA);
        body.set(1, number);
        body.set(2, node->size);
        if (node->size) std::memcpy(body.data() + 12, node->data, node->size);
        OmTransportMessage block = body.block(sender, receiver);
        return broadcast ? Broadcast(&block, flags) : Send(&block, flags);
    }

    // --- receiving ----------------------------------------------------------------------

    OmResult tell_user(uint32_t sender, uint32_t receiver, const uint8_t* body, uint32_t length) {
        OmTransportMessage block{OM_TRANSPORT_DATA, sender, receiver,
                                 OM_NETWORK_HEADER_SIZE + length, const_cast<uint8_t*>(body)};
        return callback_(&block);
    }

    // Handles one message body by its code; a body too short for its code is dropped.
    OmResult handle(uint32_t sender, uint32_t receiver, const uint8_t* body, uint32_t length) {
        if (length < 4) return OM_S_OK;
        uint32_t code = read_word(body, 0);
        if (length < minimum_body(code)) return OM_S_OK;
        bool at_host = host_ && receiver == host_port_;
        switch (code) {
        case OM_NETWORK_HELLO:
            if (!at_host) return OM_S_OK;
            return send_words(receiver, sender, {OM_NETWORK_WELCOME, counter_}, false);
        case OM_NETWORK_WELCOME:
            host_port_ = sender;
            counter_ = read_word(body, 1);
            host_taken_ = false;
            return tell_user(sender, receiver, body, length);
        case OM_NETWORK_REQUEST: return handle_request(sender, receiver, body, length);
        case OM_NETWORK_REMOVE: return RemovePlayer(read_word(body, 1));
        case OM_NETWORK_ADD: {
            uint32_t number = read_word(body, 1);
            if (find(number)) return OM_S_OK;
            if (!append(number, read_word(body, 2), 0)) return OM_E_OUTOFMEMORY;
            counter_ = number;
            return tell_user(sender, receiver, body, length);
        }
        case OM_NETWORK_REFUSED:
            if (receiver == pending_port_) refused_ = true;
            return OM_S_OK;
        case OM_NETWORK_TIME_REQUEST: {
            uint32_t received = now();
            return send_words(receiver, sender,
                              {OM_NETWORK_TIME_ANSWER, read_word(body, 1), received, now(), 0},
                              false);
        }
        case OM_NETWORK_TIME_ANSWER: {
            uint32_t arrived = now();
            int64_t there = int32_t(read_word(body, 2) - read_word(body, 1));
            int64_t back = int32_t(read_word(body, 3) - arrived);
            clock_offset_ = int32_t((there + back) / 2);
            clock_valid_ = true;
            return OM_S_OK;
        }
        case OM_NETWORK_LIST: {
            uint32_t pairs = (length - 4) / 8;
            if (pairs > OM_NETWORK_MAX_PLAYERS) return OM_S_OK;
            // A list naming a number twice is no list of players: dropped whole.
            std::vector<uint32_t> listed(pairs);
            for (uint32_t i = 0; i < pairs; ++i) listed[i] = read_word(body, 1 + 2 * i);
            std::sort(listed.begin(), listed.end());
            if (std::adjacent_find(listed.begin(), listed.end()) != listed.end()) return OM_S_OK;
            clear_players();
            for (uint32_t i = 0; i < pairs; ++i) {
                if (!append(read_word(body, 1 + 2 * i), read_word(body, 2 + 2 * i), 1))
                    return OM_E_OUTOFMEMORY;
            }
            return OM_S_OK;
        }
        case OM_NETWORK_NEW_PORT: return welcome_port(sender, receiver);
        case OM_NETWORK_PLAYER_DATA: {
            uint32_t size = read_word(body, 2);
            if (size > length - 12 || size > OM_NETWORK_MAX_PLAYER_DATA) return OM_S_OK;
            SetPlayerData(read_word(body, 1), body + 12, size);
            return tell_user(sender, receiver, body, length);
        }
        default: return tell_user(sender, receiver, body, length);
        }
    }

    // Code 2 at the host: the user decides; an accepted port gets the next number, which
    // every side learns by code 4.
    OmResult handle_request(uint32_t sender, uint32_t receiver, const uint8_t* body,
                            uint32_t length) {
        if (!host_ || receiver != host_port_) return OM_S_OK;
        // The new number is above every number in use (others' code 4 and lists may have
        // brought numbers past the counter), so it is never given twice; none is left
        // after 0xFFFFFFFF.
        uint32_t highest = counter_;
        for (PlayerNode* p = first_; p; p = p->next) highest = std::max(highest, p->number);
        if (player_count_ >= OM_NETWORK_MAX_PLAYERS || highest == UINT32_MAX ||
            tell_user(sender, receiver, body, length) != 0)
            return send_words(receiver, sender, {OM_NETWORK_REFUSED, 0}, false);
        uint32_t number = highest + 1;
        if (!append(number, sender, 0)) return OM_E_OUTOFMEMORY;
        counter_ = number;
        uint8_t added[12];
        write_word(added, 0, OM_NETWORK_ADD);
        write_word(added, 1, number);
        write_word(added, 2, sender);
        tell_user(receiver, receiver, added, sizeof added);
        send_words(receiver, 0, {OM_NETWORK_ADD, number, sender}, true);
        return OM_S_OK;
    }

    // Code 9 at the host: the new port gets the welcome, the list and every data block.
    OmResult welcome_port(uint32_t port, uint32_t receiver) {
        if (!host_ || receiver != host_port_) return OM_S_OK;
        OmResult r = send_words(host_port_, port, {OM_NETWORK_WELCOME, counter_}, false);
        if (OmFailed(r)) return r;
        if (first_) {
            Body list(4 + 8 * player_count_);
            if (!list) return OM_E_OUTOFMEMORY;
            list.set(0, OM_NETWORK_LIST);
            uint32_t index = 1;
            for (PlayerNode* p = first_; p; p = p->next) {
                list.set(index++, p->number);
                list.set(index++, p->port);
            }
            OmTransportMessage block = list.block(host_port_, port);
            r = Send(&block, OM_TRANSPORT_SEND_GUARANTEED);
            if (OmFailed(r)) return r;
        }
        for (PlayerNode* p = first_; p; p = p->next)
            SendPlayerData(port, host_port_, p->number, OM_TRANSPORT_SEND_GUARANTEED);
        return OM_S_OK;
    }

    IOmTransport* transport_ = nullptr;
    bool ready_ = false;
    PlayerNode* first_ = nullptr;
    PlayerNode* last_ = nullptr;
    IMemoryPool* pool_ = nullptr;
    uint32_t player_count_ = 0;
    bool refused_ = false;
    uint32_t pending_port_ = 0;
    uint32_t host_port_ = 0;
    uint32_t counter_ = first_counter;
    bool host_ = false;
    bool host_taken_ = false;
    uint32_t timeout_ms_ = default_timeout_ms;
    bool clock_valid_ = false;
    int32_t clock_offset_ = 0;
    OmNetworkCallback callback_ = accept_everything;
    OmNetworkClock clock_ = default_clock;
    void* clock_context_ = nullptr;
    bool os_held_ = false;
};

const OmClassRecord classes[] = {
    {&CLSID_Network, nullptr, nullptr, OmCreateComponent<Network>, "Network"}};

} // namespace

OmResult OmNetworkSetClock(IOmNetwork* network, OmNetworkClock clock, void* context) {
    auto* self = dynamic_cast<Network*>(network);
    if (!self) return OM_E_FAIL;
    self->set_clock(clock, context);
    return OM_S_OK;
}

OM_DEFINE_MODULE(Network, classes)
