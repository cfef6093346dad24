// NullTransport: IOmTransport without a network. The ports of one process exchange messages
// through an in-memory queue; it can host a session but never join one.
#include "net/transport/om_transport.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace {

constexpr GUID null_application = om_guid("DD86C79A-C84F-11D4-871E-00C04F7963BA");
constexpr uint32_t first_port_id = 10;

const GUID* const transport_categories[] = {&CATID_OrmicTransport, nullptr};

struct QueuedMessage {
    uint32_t kind;
    uint32_t sender;
    uint32_t receiver;
    std::vector<uint8_t> data;
};

class NullTransport final : public OmObject<NullTransport, IOmTransport> {
public:
    NullTransport() { std::strcpy(connection_.name, "NULL Service"); }

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
        if (size && !data) return OM_E_FAIL;
        uint32_t created = next_port_++;
        std::vector<uint8_t> bytes;
        if (size)
            bytes.assign(static_cast<const uint8_t*>(data),
                         static_cast<const uint8_t*>(data) + size);
        for (uint32_t port : ports_)
            queue_.push_back({OM_TRANSPORT_PORT_CREATED, created, port, bytes});
        ports_.push_back(created);
        *id = created;
        return OM_S_OK;
    }

    // The remaining ports hear of it, as the DirectPlay transports report a departed player.
    OmResult DestroyPort(uint32_t id) override {
        auto found = std::find(ports_.begin(), ports_.end(), id);
        if (found == ports_.end()) return OM_E_TRANSPORT_INVALIDPLAYER;
        ports_.erase(found);
        for (uint32_t port : ports_) queue_.push_back({OM_TRANSPORT_PORT_DESTROYED, id, port, {}});
        return OM_S_OK;
    }

    OmResult Broadcast(OmTransportMessage* message, uint32_t flags) override {
        if (!message) return OM_E_FAIL;
        message->receiver = 0;
        return Send(message, flags);
    }

    OmResult Send(OmTransportMessage* message, uint32_t) override {
        if (!message) return OM_E_FAIL;
        if (message->length && !message->data) return OM_E_FAIL;
        if (message->sender == message->receiver) return OM_S_OK;
        std::vector<uint8_t> bytes;
        if (message->length) {
            const auto* data = static_cast<const uint8_t*>(message->data);
            bytes.assign(data, data + message->length);
        }
        if (message->receiver) {
            queue_.push_back({OM_TRANSPORT_DATA, message->sender, message->receiver, bytes});
            return OM_S_OK;
        }
        for (uint32_t port : ports_) {
            if (port != message->sender)
                queue_.push_back({OM_TRANSPORT_DATA, message->sender, port, bytes});
        }
        return OM_S_OK;
    }

    OmResult ReceiveFor(uint32_t id, OmTransportMessage* message, uint32_t flags) override {
        flags |= OM_TRANSPORT_RECEIVE_FOR;
        if (id == 0) flags |= OM_TRANSPORT_RECEIVE_ANY;
        return Receive(id, message, flags);
    }

    OmResult ReceiveAny(OmTransportMessage* message, uint32_t flags) override {
        return Receive(0, message, flags | OM_TRANSPORT_RECEIVE_ANY);
    }

    OmResult Receive(uint32_t id, OmTransportMessage* message, uint32_t flags) override {
        if (!message) return OM_E_FAIL;
        if (queue_.empty()) return OM_E_TRANSPORT_NOMESSAGES;
        QueuedMessage& next = queue_.front();
        if (!(flags & OM_TRANSPORT_RECEIVE_ANY) && next.receiver != id) return OM_E_FAIL;
        buffer_ = next.data;
        *message =
            OmTransportMessage{next.kind, next.sender, next.receiver, uint32_t(buffer_.size()),
                               buffer_.empty() ? nullptr : buffer_.data()};
        if (!(flags & OM_TRANSPORT_RECEIVE_PEEK)) queue_.pop_front();
        return OM_S_OK;
    }

    OmResult GetPortInfo(uint32_t, uint32_t* out) override {
        if (!out) return OM_E_FAIL;
        *out = 0;
        return OM_S_OK;
    }

    OmResult GetMessageCount(uint32_t id, uint32_t* count) override {
        if (!count) return OM_E_FAIL;
        *count = uint32_t(std::count_if(queue_.begin(), queue_.end(), [&](const QueuedMessage& m) {
            return id == 0 || m.receiver == id;
        }));
        return OM_S_OK;
    }

    OmResult SetApplicationGuid(const GUID* guid) override {
        application_ = guid ? *guid : null_application;
        return OM_S_OK;
    }

    OmResult GetApplicationGuid(GUID* out) override {
        if (!out) return OM_E_FAIL;
        *out = application_;
        return OM_S_OK;
    }

    OmResult CreateSession(const char* name) override {
        if (session_open_ || !name) return OM_E_FAIL;
        session_open_ = true;
        host_ = true;
        session_name_ = name;
        return OM_S_OK;
    }

    OmResult JoinSession(const char*) override { return OM_E_FAIL; }

    OmResult GetSessionName(const char** out) override {
        if (!out) return OM_E_FAIL;
        *out = session_open_ ? session_name_.c_str() : nullptr;
        return session_open_ ? OM_S_OK : OM_E_FAIL;
    }

    OmResult Close() override {
        if (!session_open_) return OM_E_FAIL;
        session_open_ = false;
        host_ = false;
        queue_.clear();
        ports_.clear();
        return OM_S_OK;
    }

    OmResult EnumerateSessions(uint32_t* count) override {
        if (count) *count = 0;
        return OM_S_OK;
    }

    OmResult GetSession(uint32_t, const OmTransportSession** out) override {
        if (out) *out = nullptr;
        return OM_E_FAIL;
    }

    OmResult StartServiceProvider(int32_t kind) override {
        if (started_) return OM_E_FAIL;
        if (kind == 0) {
            started_ = true;
            return OM_S_OK;
        }
        return kind >= 1 && kind <= 4 ? OM_E_TRANSPORT_NOPROVIDER : OM_E_FAIL;
    }

    OmResult TestServiceProvider(int32_t kind) override { return kind == 0 ? OM_S_OK : OM_E_FAIL; }

    OmResult SelectConnection(const OmTransportConnection* connection) override {
        if (connection != &connection_ || started_) return OM_E_FAIL;
        started_ = true;
        return OM_S_OK;
    }

    OmResult ReleaseConnection() override {
        started_ = false;
        return OM_S_OK;
    }

    int32_t GetConnectionCount() override { return 1; }

    OmResult GetConnection(uint32_t index, const OmTransportConnection** out) override {
        if (!out) return OM_E_FAIL;
        *out = index == 0 ? &connection_ : nullptr;
        return index == 0 ? OM_S_OK : OM_E_FAIL;
    }

private:
    OmTransportConnection connection_{};
    bool started_ = false;
    bool session_open_ = false;
    bool host_ = false;
    std::string session_name_;
    std::vector<uint32_t> ports_;
    uint32_t next_port_ = first_port_id;
    std::deque<QueuedMessage> queue_;
    std::vector<uint8_t> buffer_;
    GUID application_ = null_application;
};

const OmClassRecord classes[] = {{&CLSID_NullTransport, transport_categories, nullptr,
                                  OmCreateComponent<NullTransport>, "NullTransport"}};

} // namespace

OM_DEFINE_MODULE(NullTransport, classes)
