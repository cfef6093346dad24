// Win32Dx6Transport and Win32Dx5Transport: IOmTransport over a DirectPlay 4 or DirectPlay 3
// object of the platform layer. One class serves both; the version picks the interface, the
// synchronous-enumeration word and the shape of the TCP/IP address.
#include "net/transport/om_transport.h"

#include "net/transport/packet_queue.h"
#include "platform/dplay/dplay.h"
#include "platform/dplay/dplay_wire.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The packet queue packs datagrams no larger than one DirectPlay message carries.
static_assert(OM_QUEUE_TRANSPORT_LIMIT <= platform::dplay_wire::max_data);

constexpr GUID dx6_application = om_guid("96ED43E9-C851-11D4-871E-00C04F7963BA");
// Callers keep the TCP/IP text, modem name and phone number below these lengths.
constexpr size_t tcpip_text_limit = 112;
constexpr size_t modem_name_limit = 64;
constexpr size_t phone_limit = 48;

const GUID* const transport_categories[] = {&CATID_OrmicTransport, nullptr};

platform::GUID to_platform(const GUID& g) {
    platform::GUID p;
    std::memcpy(&p, &g, 16);
    return p;
}

const platform::GUID* provider_of(int32_t kind) {
    switch (kind) {
    case OM_TRANSPORT_TCPIP: return &platform::DPSPGUID_TCPIP;
    case OM_TRANSPORT_IPX: return &platform::DPSPGUID_IPX;
    case OM_TRANSPORT_MODEM: return &platform::DPSPGUID_MODEM;
    case OM_TRANSPORT_SERIAL: return &platform::DPSPGUID_SERIAL;
    default: return nullptr;
    }
}

// The provider whose address SetAddress builds for a kind (not the StartServiceProvider one).
const platform::GUID* address_provider_of(int32_t kind) {
    switch (kind) {
    case 1: return &platform::DPSPGUID_TCPIP;
    case 2: return &platform::DPSPGUID_MODEM;
    case 3: return &platform::DPSPGUID_SERIAL;
    default: return nullptr;
    }
}

template <int Version>
class DirectPlayTransport final : public OmObject<DirectPlayTransport<Version>, IOmTransport> {
    static constexpr bool dx6 = Version == 6;

public:
    ~DirectPlayTransport() {
        release_play();
        for (Connection& c : connections_) std::free(c.record.data);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmTransport, this}});
    }

    OmResult Init() override {
        platform::IDirectPlay3A* probe = new_play();
        if (!probe) return OM_E_FAIL;
        int32_t r = probe->EnumConnections(&application_p(), on_connection, this,
                                           platform::DPCONNECTION_DIRECTPLAY);
        probe->Release();
        return r < 0 ? OM_E_FAIL : OM_S_OK;
    }

    int32_t GetVersion() override { return dx6 ? 3 : 2; }

    OmResult SetAddress(int32_t kind, const void* data) override {
        if (dx6 && kind == OM_TRANSPORT_SYNC_ENUMERATION) {
            sync_enumeration_ = uint32_t(reinterpret_cast<uintptr_t>(data));
            return OM_S_OK;
        }
        const platform::GUID* provider = address_provider_of(kind);
        if (!provider || !data) return OM_E_FAIL;
        Connection* connection = first_connection(*provider);
        if (!connection) return OM_E_FAIL;
        std::vector<platform::DPCOMPOUNDADDRESSELEMENT> elements;
        elements.push_back({platform::DPAID_ServiceProvider, 16, provider});
        std::string host;
        uint32_t port = 0;
        if (kind == 1) {
            const char* text = static_cast<const char*>(data);
            if (std::strlen(text) >= tcpip_text_limit) return OM_E_FAIL;
            const char* colon = dx6 ? std::strchr(text, ':') : nullptr;
            host.assign(text, colon ? size_t(colon - text) : std::strlen(text));
            elements.push_back({platform::DPAID_INet, uint32_t(host.size() + 1), host.c_str()});
            if (colon) {
                port = uint32_t(std::strtoul(colon + 1, nullptr, 10));
                elements.push_back({platform::DPAID_INetPort, 4, &port});
            }
        } else if (kind == 2) {
            const char* modem = static_cast<const char*>(data);
            const char* phone = modem + modem_name_limit;
            size_t modem_length = strnlen(modem, modem_name_limit);
            size_t phone_length = strnlen(phone, phone_limit);
            if (modem_length == modem_name_limit || phone_length == phone_limit) return OM_E_FAIL;
            elements.push_back({platform::DPAID_Modem, uint32_t(modem_length + 1), modem});
            elements.push_back({platform::DPAID_Phone, uint32_t(phone_length + 1), phone});
        } else {
            elements.push_back({platform::DPAID_ComPort, sizeof(platform::DPCOMPORTADDRESS), data});
        }
        void* lobby_out = nullptr;
        if (platform::DirectPlayCoCreateInstance(platform::CLSID_DirectPlayLobby,
                                                 platform::IID_IDirectPlayLobby3A, &lobby_out) < 0)
            return OM_E_FAIL;
        auto* lobby = static_cast<platform::IDirectPlayLobby3A*>(lobby_out);
        uint32_t size = 0;
        lobby->CreateCompoundAddress(elements.data(), uint32_t(elements.size()), nullptr, &size);
        void* block = size ? std::malloc(size) : nullptr;
        int32_t r = block ? lobby->CreateCompoundAddress(elements.data(), uint32_t(elements.size()),
                                                         block, &size)
                          : platform::DPERR_GENERIC;
        lobby->Release();
        if (r < 0) {
            std::free(block);
            return OM_E_FAIL;
        }
        std::free(connection->record.data);
        connection->record.data = block;
        connection->record.size = size;
        return OM_S_OK;
    }

    OmResult GetOption(int32_t id, uint32_t* out) override {
        if (!out) return OM_E_FAIL;
        if (id == OM_TRANSPORT_RECEIVE_BUFFER) {
            *out = uint32_t(buffer_.size());
            return OM_S_OK;
        }
        if (dx6 && id == OM_TRANSPORT_SYNC_ENUMERATION) {
            *out = sync_enumeration_;
            return OM_S_OK;
        }
        return OM_E_FAIL;
    }

    OmResult CreatePort(uint32_t* id, const void* data, uint32_t size) override {
        if (!id || !play_) return OM_E_FAIL;
        platform::DPID created = 0;
        int32_t r = play_->CreatePlayer(&created, nullptr, nullptr, data, size, 0);
        *id = r < 0 ? 0 : created;
        switch (r) {
        case platform::DP_OK: return OM_S_OK;
        case platform::DPERR_CANTADDPLAYER: return OM_E_TRANSPORT_CANTADDPLAYER;
        case platform::DPERR_CANTCREATEPLAYER: return OM_E_TRANSPORT_CANTCREATEPLAYER;
        case platform::DPERR_INVALIDPARAMS: return OM_E_TRANSPORT_INVALIDPARAMS;
        case platform::DPERR_INVALIDFLAGS: return OM_E_TRANSPORT_INVALIDFLAGS;
        case platform::DPERR_NOCONNECTION: return OM_E_TRANSPORT_NOCONNECTION;
        default: return r < 0 ? OM_E_FAIL : OM_S_OK;
        }
    }

    OmResult DestroyPort(uint32_t id) override {
        if (!play_) return OM_E_FAIL;
        int32_t r = play_->DestroyPlayer(id);
        if (r == platform::DPERR_INVALIDOBJECT || r == platform::DPERR_INVALIDPLAYER)
            return OM_E_TRANSPORT_INVALIDPLAYER;
        return r < 0 ? OM_E_FAIL : OM_S_OK;
    }

    OmResult Broadcast(OmTransportMessage* message, uint32_t flags) override {
        if (!message) return OM_E_FAIL;
        message->receiver = 0;
        return Send(message, flags);
    }

    OmResult Send(OmTransportMessage* message, uint32_t flags) override {
        if (!message || !play_) return OM_E_FAIL;
        int32_t r =
            play_->Send(message->sender, message->receiver,
                        (flags & OM_TRANSPORT_SEND_GUARANTEED) ? platform::DPSEND_GUARANTEED : 0,
                        message->data, message->length);
        switch (r) {
        case platform::DP_OK: return OM_S_OK;
        case platform::DPERR_INVALIDPARAMS: return OM_E_TRANSPORT_INVALIDPARAMS;
        case platform::DPERR_INVALIDPLAYER: return OM_E_TRANSPORT_INVALIDPLAYER;
        case platform::DPERR_SENDTOOBIG: return OM_E_TRANSPORT_SENDTOOBIG;
        case platform::DPERR_BUSY: return OM_E_TRANSPORT_BUSY;
        // Without a connection the caller learns so (a session that is gone is not a
        // general failure).
        case platform::DPERR_NOCONNECTION: return OM_E_TRANSPORT_NOCONNECTION;
        default: return r < 0 ? OM_E_FAIL : OM_S_OK;
        }
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
        if (!play_ || !message) return OM_E_FAIL;
        for (;;) {
            platform::DPID from = 0, to = 0;
            uint32_t size = uint32_t(buffer_.size());
            int32_t r =
                play_->Receive(&from, &to, platform::DPRECEIVE_ALL | platform::DPRECEIVE_PEEK,
                               buffer_.empty() ? nullptr : buffer_.data(), &size);
            if (r == platform::DPERR_NOMESSAGES) return OM_E_TRANSPORT_NOMESSAGES;
            if (r == platform::DPERR_BUFFERTOOSMALL) {
                // The message is read by the next call, into a buffer that now fits it.
                try {
                    buffer_.resize(size_t(size) + 1);
                } catch (...) {
                    return OM_E_OUTOFMEMORY;
                }
                return OM_E_FAIL;
            }
            if (r == platform::DPERR_INVALIDPARAMS) return OM_E_TRANSPORT_INVALIDPARAMS;
            if (r == platform::DPERR_INVALIDOBJECT || r == platform::DPERR_INVALIDPLAYER)
                return OM_E_TRANSPORT_INVALIDPLAYER;
            if (r < 0) return OM_E_FAIL;
            if (from != platform::DPID_SYSMSG) {
                if (!(flags & OM_TRANSPORT_RECEIVE_ANY) && to != id) return OM_E_FAIL;
                if (!take(&from, &to, &size)) return OM_E_FAIL;
                *message = OmTransportMessage{OM_TRANSPORT_DATA, from, to, size, buffer_.data()};
                return OM_S_OK;
            }
            if (!take(&from, &to, &size)) return OM_E_FAIL;
            uint32_t type = size >= 4 ? *reinterpret_cast<const uint32_t*>(buffer_.data()) : 0;
            switch (type) {
            case platform::DPSYS_CREATEPLAYERORGROUP: {
                if (size < sizeof(platform::DPMSG_CREATEPLAYERORGROUP)) continue;
                auto* created =
                    reinterpret_cast<platform::DPMSG_CREATEPLAYERORGROUP*>(buffer_.data());
                *message = OmTransportMessage{OM_TRANSPORT_PORT_CREATED, created->dpId, to,
                                              created->dwDataSize, created->lpData};
                return OM_S_OK;
            }
            case platform::DPSYS_DESTROYPLAYERORGROUP: {
                if (size < sizeof(platform::DPMSG_DESTROYPLAYERORGROUP)) continue;
                auto* destroyed =
                    reinterpret_cast<platform::DPMSG_DESTROYPLAYERORGROUP*>(buffer_.data());
                *message = OmTransportMessage{OM_TRANSPORT_PORT_DESTROYED, destroyed->dpId, to, 0,
                                              nullptr};
                return OM_S_OK;
            }
            case platform::DPSYS_SESSIONLOST:
                *message = OmTransportMessage{OM_TRANSPORT_SESSION_LOST, 0, to, 0, nullptr};
                return OM_S_OK;
            case platform::DPSYS_HOST:
                *message = OmTransportMessage{OM_TRANSPORT_BECAME_HOST, 0, to, 0, nullptr};
                return OM_S_OK;
            default: continue; // other system messages are of no interest
            }
        }
    }

    OmResult GetPortInfo(uint32_t, uint32_t* out) override {
        if (!out) return OM_E_FAIL;
        *out = 0;
        return OM_S_OK;
    }

    OmResult GetMessageCount(uint32_t id, uint32_t* count) override {
        if (!count || !play_) return OM_E_FAIL;
        int32_t r = play_->GetMessageCount(id, count);
        if (r == platform::DPERR_INVALIDOBJECT || r == platform::DPERR_INVALIDPLAYER) {
            *count = 0;
            return OM_E_TRANSPORT_INVALIDPLAYER;
        }
        return r < 0 ? OM_E_FAIL : OM_S_OK;
    }

    OmResult SetApplicationGuid(const GUID* guid) override {
        application_ = guid ? *guid : GUID_NULL;
        return OM_S_OK;
    }

    OmResult GetApplicationGuid(GUID* out) override {
        if (!out) return OM_E_FAIL;
        *out = application_;
        return OM_S_OK;
    }

    OmResult CreateSession(const char* name) override {
        if (!play_ || !name) return OM_E_FAIL;
        platform::DPSESSIONDESC2 desc{};
        desc.dwSize = 80;
        desc.dwFlags = platform::DPSESSION_MIGRATEHOST | platform::DPSESSION_KEEPALIVE;
        desc.guidApplication = application_p();
        desc.lpszSessionNameA = name;
        if (play_->Open(&desc, platform::DPOPEN_CREATE) < 0) return OM_E_FAIL;
        session_name_ = name;
        return OM_S_OK;
    }

    OmResult JoinSession(const char* name) override {
        if (!play_ || !name) return OM_E_FAIL;
        for (const OmTransportSession& s : sessions_) {
            if (std::strcmp(s.name, name) != 0) continue;
            platform::DPSESSIONDESC2 desc{};
            desc.dwSize = 80;
            desc.guidInstance = to_platform(s.instance);
            desc.guidApplication = application_p();
            if (play_->Open(&desc, platform::DPOPEN_JOIN) < 0) return OM_E_FAIL;
            session_name_ = name;
            return OM_S_OK;
        }
        return OM_E_FAIL;
    }

    OmResult GetSessionName(const char** out) override {
        if (!out) return OM_E_FAIL;
        *out = session_name_.empty() ? nullptr : session_name_.c_str();
        return session_name_.empty() ? OM_E_FAIL : OM_S_OK;
    }

    OmResult Close() override {
        if (!play_) return OM_E_FAIL;
        return play_->Close() < 0 ? OM_E_FAIL : OM_S_OK;
    }

    OmResult EnumerateSessions(uint32_t* count) override {
        sessions_.clear();
        if (count) *count = 0;
        if (!play_) return OM_E_FAIL;
        platform::DPSESSIONDESC2 desc{};
        desc.dwSize = 80;
        desc.guidApplication = application_p();
        uint32_t flags = (dx6 && sync_enumeration_ == 0) ? platform::DPENUMSESSIONS_ASYNC : 0;
        if (play_->EnumSessions(&desc, 0, on_session, this, flags) < 0) {
            sessions_.clear();
            return OM_E_FAIL;
        }
        if (count) *count = uint32_t(sessions_.size());
        return OmResult(sessions_.size());
    }

    OmResult GetSession(uint32_t index, const OmTransportSession** out) override {
        if (!out) return OM_E_FAIL;
        *out = index < sessions_.size() ? &sessions_[index] : nullptr;
        return *out ? OM_S_OK : OM_E_FAIL;
    }

    OmResult StartServiceProvider(int32_t kind) override {
        if (play_) return OM_E_FAIL;
        const platform::GUID* provider = provider_of(kind);
        Connection* connection = provider ? first_connection(*provider) : nullptr;
        if (!connection) return OM_E_TRANSPORT_NOPROVIDER;
        play_ = new_play();
        if (!play_) return OM_E_FAIL;
        if (play_->InitializeConnection(connection->record.data, 0) < 0) {
            release_play();
            return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult TestServiceProvider(int32_t kind) override {
        const platform::GUID* provider = provider_of(kind);
        Connection* connection = provider ? first_connection(*provider) : nullptr;
        if (!connection) return OM_E_TRANSPORT_NOPROVIDER;
        platform::IDirectPlay3A* probe = new_play();
        if (!probe) return OM_E_FAIL;
        int32_t r = probe->InitializeConnection(connection->record.data, 0);
        probe->Release();
        return r < 0 ? OM_E_FAIL : OM_S_OK;
    }

    OmResult SelectConnection(const OmTransportConnection* connection) override {
        if (play_ || !connection || !connection->data) return OM_E_FAIL;
        play_ = new_play();
        if (!play_) return OM_E_FAIL;
        if (play_->InitializeConnection(connection->data, 0) < 0) {
            release_play();
            return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult ReleaseConnection() override {
        if (!play_) return OM_E_TRANSPORT_NOPROVIDER;
        release_play();
        return OM_S_OK;
    }

    int32_t GetConnectionCount() override { return int32_t(connections_.size()); }

    OmResult GetConnection(uint32_t index, const OmTransportConnection** out) override {
        if (!out) return OM_E_FAIL;
        *out = index < connections_.size() ? &connections_[index].record : nullptr;
        return *out ? OM_S_OK : OM_E_FAIL;
    }

private:
    struct Connection {
        OmTransportConnection record;
        platform::GUID provider;
    };

    static platform::IDirectPlay3A* new_play() {
        void* out = nullptr;
        const platform::GUID& iid = dx6 ? platform::IID_IDirectPlay4A : platform::IID_IDirectPlay3A;
        if (platform::DirectPlayCoCreateInstance(platform::CLSID_DirectPlay, iid, &out) < 0)
            return nullptr;
        return static_cast<platform::IDirectPlay3A*>(out);
    }

    void release_play() {
        if (play_) play_->Release();
        play_ = nullptr;
    }

    const platform::GUID& application_p() {
        std::memcpy(&application_platform_, &application_, 16);
        return application_platform_;
    }

    Connection* first_connection(const platform::GUID& provider) {
        for (Connection& c : connections_)
            if (c.provider == provider) return &c;
        return nullptr;
    }

    // Takes the message looked at out of the queue (into the same buffer).
    bool take(platform::DPID* from, platform::DPID* to, uint32_t* size) {
        *size = uint32_t(buffer_.size());
        return play_->Receive(from, to, platform::DPRECEIVE_ALL, buffer_.data(), size) >= 0;
    }

    static bool on_connection(const platform::GUID* provider, void* data, uint32_t size,
                              const platform::DPNAME* name, uint32_t, void* context) {
        auto* self = static_cast<DirectPlayTransport*>(context);
        if (!provider || !data || !size) return true;
        void* copy = std::malloc(size);
        if (!copy) return true;
        std::memcpy(copy, data, size);
        // Only a provider that can be initialised with its own address is usable.
        platform::IDirectPlay3A* probe = new_play();
        bool usable = probe && probe->InitializeConnection(copy, 0) >= 0;
        if (probe) probe->Release();
        if (!usable) {
            std::free(copy);
            return true;
        }
        Connection c{};
        const char* short_name = name && name->lpszShortNameA ? name->lpszShortNameA : "";
        std::strncpy(c.record.name, short_name, sizeof c.record.name - 1);
        std::memcpy(&c.record.provider, provider, 16);
        c.record.data = copy;
        c.record.size = size;
        c.provider = *provider;
        self->connections_.push_back(c);
        return true;
    }

    static bool on_session(const platform::DPSESSIONDESC2* session, uint32_t*, uint32_t flags,
                           void* context) {
        if (flags & platform::DPESC_TIMEDOUT || !session) return false;
        auto* self = static_cast<DirectPlayTransport*>(context);
        OmTransportSession s{};
        if (session->lpszSessionNameA)
            std::strncpy(s.name, session->lpszSessionNameA, sizeof s.name - 1);
        std::memcpy(&s.instance, &session->guidInstance, 16);
        self->sessions_.push_back(s);
        return true;
    }

    std::vector<Connection> connections_;
    std::vector<OmTransportSession> sessions_;
    std::string session_name_;
    uint32_t sync_enumeration_ = 1;
    std::vector<uint8_t> buffer_;
    platform::IDirectPlay3A* play_ = nullptr;
    GUID application_ = dx6_application;
    platform::GUID application_platform_{};
};

const OmClassRecord dx6_classes[] = {{&CLSID_Win32Dx6Transport, transport_categories, nullptr,
                                      OmCreateComponent<DirectPlayTransport<6>>,
                                      "Win32Dx6Transport"}};
const OmClassRecord dx5_classes[] = {{&CLSID_Win32Dx5Transport, transport_categories, nullptr,
                                      OmCreateComponent<DirectPlayTransport<5>>,
                                      "Win32Dx5Transport"}};

} // namespace

OM_DEFINE_MODULE(Win32Dx6Transport, dx6_classes)
OM_DEFINE_MODULE(Win32Dx5Transport, dx5_classes)
