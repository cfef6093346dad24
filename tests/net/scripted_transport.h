// The scripted transport double of the network tests and harnesses: the datagrams a queue or
// session layer sends collect in `sent`, and what it receives comes from `incoming`, which the
// test fills (or loses, repeats, reorders) by hand. No gtest, so the fuzz harnesses use it too.
#pragma once

#include "framework/core/component.h"
#include "net/transport/om_transport.h"

#include <deque>
#include <vector>

namespace nettest {

using Bytes = std::vector<uint8_t>;

// A transport whose sent datagrams collect in `sent` and whose received messages come from
// `incoming`, in order. Receive honours the receiver filter like the DirectPlay transports.
class ScriptedTransport final : public OmObject<ScriptedTransport, IOmTransport> {
public:
    struct Incoming {
        uint32_t kind = OM_TRANSPORT_DATA;
        uint32_t sender = 0;
        uint32_t receiver = 0;
        Bytes data;
    };
    std::vector<Bytes> sent;
    std::vector<uint32_t> sent_flags;
    std::deque<Incoming> incoming;
    // With sessions on, creating, joining, enumerating (one session) and closing succeed,
    // and ports get ids from next_port on.
    bool sessions = false;
    uint32_t next_port = 1;

    void deliver(const Bytes& datagram, uint32_t receiver = 0) {
        incoming.push_back({OM_TRANSPORT_DATA, 1, receiver, datagram});
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmTransport, this}});
    }
    OmResult Init() override { return OM_S_OK; }
    int32_t GetVersion() override { return 0; }
    OmResult SetAddress(int32_t, const void*) override { return OM_E_FAIL; }
    OmResult GetOption(int32_t, uint32_t*) override { return OM_E_FAIL; }
    OmResult CreatePort(uint32_t* id, const void*, uint32_t) override {
        if (!sessions || !id) return OM_E_FAIL;
        *id = next_port++;
        return OM_S_OK;
    }
    OmResult DestroyPort(uint32_t) override { return OM_E_FAIL; }
    OmResult Broadcast(OmTransportMessage* m, uint32_t f) override { return Send(m, f); }
    OmResult Send(OmTransportMessage* m, uint32_t flags) override {
        const auto* d = static_cast<const uint8_t*>(m->data);
        sent.emplace_back(d, d + m->length);
        sent_flags.push_back(flags);
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
        if (incoming.empty()) return OM_E_TRANSPORT_NOMESSAGES;
        if (!(flags & OM_TRANSPORT_RECEIVE_ANY) && incoming.front().receiver != id)
            return OM_E_FAIL;
        buffer_ = std::move(incoming.front());
        incoming.pop_front();
        *m = OmTransportMessage{buffer_.kind, buffer_.sender, buffer_.receiver,
                                uint32_t(buffer_.data.size()), buffer_.data.data()};
        return OM_S_OK;
    }
    OmResult GetPortInfo(uint32_t, uint32_t*) override { return OM_E_FAIL; }
    OmResult GetMessageCount(uint32_t, uint32_t*) override { return OM_E_FAIL; }
    OmResult SetApplicationGuid(const GUID*) override { return OM_E_FAIL; }
    OmResult GetApplicationGuid(GUID*) override { return OM_E_FAIL; }
    OmResult CreateSession(const char*) override { return sessions ? OM_S_OK : OM_E_FAIL; }
    OmResult JoinSession(const char*) override { return sessions ? OM_S_OK : OM_E_FAIL; }
    OmResult GetSessionName(const char**) override { return OM_E_FAIL; }
    OmResult Close() override { return sessions ? OM_S_OK : OM_E_FAIL; }
    OmResult EnumerateSessions(uint32_t* count) override {
        if (!sessions) return OM_E_FAIL;
        if (count) *count = 1;
        return OM_S_OK;
    }
    OmResult GetSession(uint32_t, const OmTransportSession**) override { return OM_E_FAIL; }
    OmResult StartServiceProvider(int32_t) override { return OM_E_FAIL; }
    OmResult TestServiceProvider(int32_t) override { return OM_E_FAIL; }
    OmResult SelectConnection(const OmTransportConnection*) override { return OM_E_FAIL; }
    OmResult ReleaseConnection() override { return OM_E_FAIL; }
    int32_t GetConnectionCount() override { return 0; }
    OmResult GetConnection(uint32_t, const OmTransportConnection**) override { return OM_E_FAIL; }

private:
    Incoming buffer_;
};

} // namespace nettest
