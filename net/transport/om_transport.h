// IOmTransport: the framework's datagram carrier for multiplayer play (service providers,
// addresses, sessions, ports and message descriptors), its result codes and the classes of
// the "Ormic Transport" category.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID CATID_OrmicTransport = om_guid("DD8DEEA8-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmTransport = om_guid("DDA10178-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32Dx6Transport = om_guid("DFA3FD68-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32Dx5Transport = om_guid("DFA3FD67-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_NullTransport = om_guid("DD86C79B-C84F-11D4-871E-00C04F7963BA");

// Result codes of the transports.
inline constexpr OmResult OM_E_TRANSPORT_CANTADDPLAYER = int32_t(0x802C0064u);
inline constexpr OmResult OM_E_TRANSPORT_CANTCREATEPLAYER = int32_t(0x802C0065u);
inline constexpr OmResult OM_E_TRANSPORT_INVALIDFLAGS = int32_t(0x802C0066u);
inline constexpr OmResult OM_E_TRANSPORT_INVALIDPARAMS = int32_t(0x802C0067u);
inline constexpr OmResult OM_E_TRANSPORT_NOCONNECTION = int32_t(0x802C0068u);
inline constexpr OmResult OM_E_TRANSPORT_INVALIDPLAYER = int32_t(0x802C0069u);
inline constexpr OmResult OM_E_TRANSPORT_BUSY = int32_t(0x802C006Au);
inline constexpr OmResult OM_E_TRANSPORT_SENDTOOBIG = int32_t(0x802C006Bu);
inline constexpr OmResult OM_E_TRANSPORT_NOMESSAGES = int32_t(0x802C006Cu);
inline constexpr OmResult OM_E_TRANSPORT_NOPROVIDER = int32_t(0x802C006Du);

// Descriptor kinds.
inline constexpr uint32_t OM_TRANSPORT_PORT_CREATED = 0;
inline constexpr uint32_t OM_TRANSPORT_PORT_DESTROYED = 1;
inline constexpr uint32_t OM_TRANSPORT_BECAME_HOST = 2;
inline constexpr uint32_t OM_TRANSPORT_SESSION_LOST = 3;
inline constexpr uint32_t OM_TRANSPORT_DATA = 16;

// Send flags: bit 0 asks for guaranteed delivery.
inline constexpr uint32_t OM_TRANSPORT_SEND_GUARANTEED = 0x0001;
// Receive flags: 0x1000 is added by ReceiveFor, 0x2000 takes messages for any receiver.
inline constexpr uint32_t OM_TRANSPORT_RECEIVE_FOR = 0x1000;
inline constexpr uint32_t OM_TRANSPORT_RECEIVE_ANY = 0x2000;
// NullTransport: look at the message and leave it queued. A bit of its own: ReceiveFor adds
// 0x1000 to every call, so a peek on that bit would hand a queue the same message for ever.
inline constexpr uint32_t OM_TRANSPORT_RECEIVE_PEEK = 0x4000;

// Service provider kinds of StartServiceProvider, TestServiceProvider and SetAddress.
inline constexpr int32_t OM_TRANSPORT_TCPIP = 1;
inline constexpr int32_t OM_TRANSPORT_IPX = 2;   // SetAddress: a modem address
inline constexpr int32_t OM_TRANSPORT_MODEM = 3; // SetAddress: a serial address
inline constexpr int32_t OM_TRANSPORT_SERIAL = 4;
inline constexpr int32_t OM_TRANSPORT_SYNC_ENUMERATION = 5; // SetAddress/GetOption word
inline constexpr int32_t OM_TRANSPORT_RECEIVE_BUFFER = 4;   // GetOption id

// A message descriptor: kind, sender id, receiver id (0: every port), byte count and data.
// On receipt the bytes belong to the transport until its next receive.
struct OmTransportMessage {
    uint32_t kind;
    uint32_t sender;
    uint32_t receiver;
    uint32_t length;
    void* data;
};

// One usable service provider.
struct OmTransportConnection {
    char name[80];
    GUID provider;
    void* data; // the provider's address block
    uint32_t size;
};

// One session found by EnumerateSessions.
struct OmTransportSession {
    char name[80];
    GUID instance;
};

struct IOmTransport : IUnknown {
    // Lists the usable service providers. 0, or OM_E_FAIL.
    virtual OmResult Init() = 0;
    // 3 (DirectPlay 4), 2 (DirectPlay 3), 1 (null).
    virtual int32_t GetVersion() = 0;
    // Kind 1: TCP/IP host text; 2: modem block; 3: serial block; 5: the synchronous-
    // enumeration word (the pointer's value). 0, or OM_E_FAIL.
    virtual OmResult SetAddress(int32_t kind, const void* data) = 0;
    // Id 4: receive buffer size; id 5: synchronous-enumeration word. OM_E_FAIL otherwise.
    virtual OmResult GetOption(int32_t id, uint32_t* out) = 0;
    // A new port (player) carrying `data`; its id in *id (0 on failure).
    virtual OmResult CreatePort(uint32_t* id, const void* data, uint32_t size) = 0;
    virtual OmResult DestroyPort(uint32_t id) = 0;
    // Send with the receiver set to 0.
    virtual OmResult Broadcast(OmTransportMessage* message, uint32_t flags) = 0;
    // Sends the descriptor's data from its sender to its receiver.
    virtual OmResult Send(OmTransportMessage* message, uint32_t flags) = 0;
    // Receive(id, flags | 0x1000, and 0x2000 when id is 0).
    virtual OmResult ReceiveFor(uint32_t id, OmTransportMessage* message, uint32_t flags) = 0;
    // Receive(0, flags | 0x2000).
    virtual OmResult ReceiveAny(OmTransportMessage* message, uint32_t flags) = 0;
    // The next message for `id` (any receiver with 0x2000). OM_E_TRANSPORT_NOMESSAGES when
    // none waits; OM_E_FAIL when the next one is for another receiver.
    virtual OmResult Receive(uint32_t id, OmTransportMessage* message, uint32_t flags) = 0;
    // Writes 0.
    virtual OmResult GetPortInfo(uint32_t id, uint32_t* out) = 0;
    virtual OmResult GetMessageCount(uint32_t id, uint32_t* count) = 0;
    virtual OmResult SetApplicationGuid(const GUID* guid) = 0;
    virtual OmResult GetApplicationGuid(GUID* out) = 0;
    virtual OmResult CreateSession(const char* name) = 0;
    // Joins the first enumerated session of exactly this name.
    virtual OmResult JoinSession(const char* name) = 0;
    virtual OmResult GetSessionName(const char** out) = 0;
    virtual OmResult Close() = 0;
    // Lists the sessions; the number of them (also in *count), or OM_E_FAIL with 0.
    virtual OmResult EnumerateSessions(uint32_t* count) = 0;
    virtual OmResult GetSession(uint32_t index, const OmTransportSession** out) = 0;
    // Starts the first connection of the provider kind. OM_E_TRANSPORT_NOPROVIDER when there
    // is none, OM_E_FAIL when one is started already or it cannot start.
    virtual OmResult StartServiceProvider(int32_t kind) = 0;
    virtual OmResult TestServiceProvider(int32_t kind) = 0;
    virtual OmResult SelectConnection(const OmTransportConnection* connection) = 0;
    virtual OmResult ReleaseConnection() = 0;
    virtual int32_t GetConnectionCount() = 0;
    virtual OmResult GetConnection(uint32_t index, const OmTransportConnection** out) = 0;
};

OM_DECLARE_MODULE(Win32Dx6Transport);
OM_DECLARE_MODULE(Win32Dx5Transport);
OM_DECLARE_MODULE(NullTransport);
