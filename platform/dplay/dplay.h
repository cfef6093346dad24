// DirectPlay stand-in: the session, player and message calls of a DirectPlay 3/4 object, its
// lobby's compound addresses and service-provider enumeration, carried over TCP to a session
// host (platform/dplay/host). Only the TCP/IP service provider is present.
#pragma once

#include "platform/graphics/com_base.h"

#include <cstdint>

namespace platform {

using DPID = uint32_t;

// Class and interface ids, and the ids of the service providers and address elements.
extern const GUID CLSID_DirectPlay;
extern const GUID CLSID_DirectPlayLobby;
extern const GUID IID_IDirectPlay3A;
extern const GUID IID_IDirectPlay4A;
extern const GUID IID_IDirectPlayLobby3A;
extern const GUID DPSPGUID_TCPIP;
extern const GUID DPSPGUID_IPX;
extern const GUID DPSPGUID_MODEM;
extern const GUID DPSPGUID_SERIAL;
extern const GUID DPAID_ServiceProvider; // the provider's GUID
extern const GUID DPAID_INet;            // host text with its terminating zero
extern const GUID DPAID_INetPort;        // 4-byte port number
extern const GUID DPAID_Modem;           // modem name text
extern const GUID DPAID_Phone;           // phone number text
extern const GUID DPAID_ComPort;         // DPCOMPORTADDRESS

// Results. DP_OK is 0; every failure is negative.
inline constexpr int32_t DP_OK = 0;
inline constexpr int32_t DPERR_ALREADYINITIALIZED = int32_t(0x88770005u);
inline constexpr int32_t DPERR_BUSY = int32_t(0x8877000Au);
inline constexpr int32_t DPERR_BUFFERTOOSMALL = int32_t(0x8877001Eu);
inline constexpr int32_t DPERR_CANTADDPLAYER = int32_t(0x88770028u);
inline constexpr int32_t DPERR_CANTCREATEPLAYER = int32_t(0x8877003Cu);
inline constexpr int32_t DPERR_CANTCREATESESSION = int32_t(0x88770046u);
inline constexpr int32_t DPERR_GENERIC = int32_t(0x80004005u);
inline constexpr int32_t DPERR_INVALIDFLAGS = int32_t(0x88770078u);
inline constexpr int32_t DPERR_INVALIDOBJECT = int32_t(0x88770082u);
inline constexpr int32_t DPERR_INVALIDPARAMS = int32_t(0x80070057u);
inline constexpr int32_t DPERR_INVALIDPLAYER = int32_t(0x88770096u);
inline constexpr int32_t DPERR_NOCONNECTION = int32_t(0x887700AAu);
inline constexpr int32_t DPERR_NOMESSAGES = int32_t(0x887700BEu);
inline constexpr int32_t DPERR_NOSESSIONS = int32_t(0x887700C8u);
inline constexpr int32_t DPERR_SENDTOOBIG = int32_t(0x887700E6u);
inline constexpr int32_t DPERR_TIMEOUT = int32_t(0x887700F0u);
inline constexpr int32_t DPERR_UNAVAILABLE = int32_t(0x887700FAu);
inline constexpr int32_t DPERR_UNSUPPORTED = int32_t(0x80004001u);
inline constexpr int32_t DPERR_UNINITIALIZED = int32_t(0x8877015Eu);
inline constexpr int32_t DPERR_CONNECTIONLOST = int32_t(0x887701F4u);
inline constexpr int32_t DPERR_NOTLOBBIED = int32_t(0x8877042Eu);

// Flags.
inline constexpr uint32_t DPCONNECTION_DIRECTPLAY = 0x00000001;
inline constexpr uint32_t DPENUMSESSIONS_ASYNC = 0x00000010;
inline constexpr uint32_t DPESC_TIMEDOUT = 0x00000001;
inline constexpr uint32_t DPOPEN_JOIN = 0x00000001;
inline constexpr uint32_t DPOPEN_CREATE = 0x00000002;
inline constexpr uint32_t DPSEND_GUARANTEED = 0x00000001;
inline constexpr uint32_t DPRECEIVE_ALL = 0x00000001;
inline constexpr uint32_t DPRECEIVE_TOPLAYER = 0x00000002;
inline constexpr uint32_t DPRECEIVE_FROMPLAYER = 0x00000004;
inline constexpr uint32_t DPRECEIVE_PEEK = 0x00000008;
inline constexpr uint32_t DPSESSION_MIGRATEHOST = 0x00000004;
inline constexpr uint32_t DPSESSION_KEEPALIVE = 0x00000040;

// The sender id of system messages, and their types.
inline constexpr DPID DPID_SYSMSG = 0;
inline constexpr uint32_t DPSYS_CREATEPLAYERORGROUP = 0x0003;
inline constexpr uint32_t DPSYS_DESTROYPLAYERORGROUP = 0x0005;
inline constexpr uint32_t DPSYS_SESSIONLOST = 0x0031;
inline constexpr uint32_t DPSYS_HOST = 0x0101;

// The stand-in's session-name limit (characters, without the terminator).
inline constexpr uint32_t DP_SESSION_NAME_MAX = 79;
// The port a TCP/IP address without a port element connects to.
inline constexpr uint16_t DP_DEFAULT_PORT = 6113;

struct DPSESSIONDESC2 {
    uint32_t dwSize; // 80
    uint32_t dwFlags;
    GUID guidInstance;
    GUID guidApplication;
    uint32_t dwMaxPlayers;
    uint32_t dwCurrentPlayers;
    const char* lpszSessionNameA; // valid during the callback only
    const char* lpszPasswordA;
};

struct DPNAME {
    uint32_t dwSize;
    uint32_t dwFlags;
    const char* lpszShortNameA;
    const char* lpszLongNameA;
};

// System messages as Receive lays them out in the caller's buffer (data follows the record).
struct DPMSG_GENERIC {
    uint32_t dwType;
};
struct DPMSG_CREATEPLAYERORGROUP {
    uint32_t dwType; // DPSYS_CREATEPLAYERORGROUP
    uint32_t dwPlayerType;
    DPID dpId;
    uint32_t dwCurrentPlayers;
    void* lpData; // points into the same buffer, after this record
    uint32_t dwDataSize;
};
struct DPMSG_DESTROYPLAYERORGROUP {
    uint32_t dwType; // DPSYS_DESTROYPLAYERORGROUP
    uint32_t dwPlayerType;
    DPID dpId;
};

struct DPCOMPORTADDRESS {
    uint32_t dwComPort;
    uint32_t dwBaudRate;
    uint32_t dwStopBits;
    uint32_t dwParity;
    uint32_t dwFlowControl;
};

struct DPCOMPOUNDADDRESSELEMENT {
    GUID guidDataType;
    uint32_t dwDataSize;
    const void* lpData;
};

// cb(service provider, connection address, its size, provider name, flags, context): true to
// go on.
using LPDPENUMCONNECTIONSCALLBACK = bool (*)(const GUID* sp, void* connection, uint32_t size,
                                             const DPNAME* name, uint32_t flags, void* context);
// cb(session or null, timeout in/out, flags (DPESC_TIMEDOUT at the end), context): true to go
// on.
using LPDPENUMSESSIONSCALLBACK2 = bool (*)(const DPSESSIONDESC2* session, uint32_t* timeout,
                                           uint32_t flags, void* context);

// The DirectPlay 3 calls the transports make. Every call is safe from any thread; the blocking
// ones (Open with DPOPEN_JOIN, CreatePlayer, a synchronous EnumSessions) are bounded and end
// early when another thread calls Close.
struct IDirectPlay3A : IUnknown {
    // Leaves the session (the connection to the host is closed); DPERR_NOCONNECTION when none.
    virtual int32_t Close() = 0;
    // Asks the session host for a new player id (waits at most the port bound). DP_OK,
    // DPERR_NOCONNECTION without a joined session, DPERR_CANTCREATEPLAYER when the host
    // refuses or does not answer, DPERR_INVALIDPARAMS for a null id.
    virtual int32_t CreatePlayer(DPID* id, const DPNAME* name, void* event, const void* data,
                                 uint32_t size, uint32_t flags) = 0;
    // DPERR_INVALIDPLAYER for a player not created here.
    virtual int32_t DestroyPlayer(DPID id) = 0;
    // Calls cb once per present service provider (TCP/IP only). DP_OK.
    virtual int32_t EnumConnections(const GUID* application, LPDPENUMCONNECTIONSCALLBACK cb,
                                    void* context, uint32_t flags) = 0;
    // Synchronous (flags 0): asks the host and waits for its answer (timeout ms, 0 = default).
    // DPENUMSESSIONS_ASYNC: reports the sessions known so far and starts a new request when
    // none is outstanding. Ends with a DPESC_TIMEDOUT callback. DPERR_UNINITIALIZED without a
    // connection.
    virtual int32_t EnumSessions(DPSESSIONDESC2* desc, uint32_t timeout,
                                 LPDPENUMSESSIONSCALLBACK2 cb, void* context, uint32_t flags) = 0;
    // Messages waiting for `id` (0: all). DPERR_INVALIDPLAYER for an id not created here.
    virtual int32_t GetMessageCount(DPID id, uint32_t* count) = 0;
    // Takes a compound address; only the TCP/IP provider is accepted (DPERR_UNAVAILABLE for
    // the others, DPERR_INVALIDPARAMS for a malformed block, DPERR_ALREADYINITIALIZED twice).
    virtual int32_t InitializeConnection(const void* connection, uint32_t flags) = 0;
    // DPOPEN_JOIN: joins an enumerated session by instance id (waits at most the join bound;
    // DPERR_NOSESSIONS when unknown, DPERR_TIMEOUT, DPERR_CONNECTIONLOST). DPOPEN_CREATE:
    // hosts a session (named and for the application the description gives) on the
    // connection's port, on its numeric address or on every interface, and joins it; the
    // first player created then gets DPSYS_HOST. Close ends the hosted session for every
    // member. DPERR_CANTCREATESESSION when the port cannot be had or the join fails,
    // DPERR_ALREADYINITIALIZED while in a session.
    virtual int32_t Open(DPSESSIONDESC2* desc, uint32_t flags) = 0;
    // Takes (or with DPRECEIVE_PEEK looks at) the oldest message, or with DPRECEIVE_TOPLAYER
    // the oldest for *to. DPERR_NOMESSAGES; DPERR_BUFFERTOOSMALL with *size = the size needed.
    // System messages come from DPID_SYSMSG as DPMSG_* records.
    virtual int32_t Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) = 0;
    // Sends one message (delivered whole, in order). to 0: every player but the sender.
    // DPERR_NOCONNECTION, DPERR_INVALIDPLAYER (sender not ours), DPERR_SENDTOOBIG, DPERR_BUSY
    // while megabytes wait unsent because the host does not read.
    virtual int32_t Send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) = 0;
};

struct IDirectPlay4A : IDirectPlay3A {};

struct IDirectPlayLobby3A : IUnknown {
    // Builds a compound address from its elements; with a null or short buffer answers
    // DPERR_BUFFERTOOSMALL and the size needed.
    virtual int32_t CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, uint32_t count,
                                          void* address, uint32_t* size) = 0;
};

// The COM creation call for CLSID_DirectPlay (IID_IDirectPlay3A or IID_IDirectPlay4A) and
// CLSID_DirectPlayLobby (IID_IDirectPlayLobby3A). E_NOINTERFACE, E_INVALIDARG.
int32_t DirectPlayCoCreateInstance(const GUID& clsid, const GUID& iid, void** out);

// The stand-in's own timers, in wall-clock milliseconds (never the virtual clock).
struct DirectPlayTiming {
    uint32_t heartbeat_ms = 2000;   // a PING at least this often
    uint32_t silence_ms = 15000;    // nothing heard this long: the session is lost
    uint32_t join_ms = 10000;       // bound of Open(DPOPEN_JOIN)
    uint32_t port_ms = 10000;       // bound of CreatePlayer
    uint32_t enumeration_ms = 1000; // default timeout of a synchronous EnumSessions
    uint32_t reconnect_ms = 500;    // pause before a refused connection is tried again
};
// Objects made after the call use these timings (tests shorten them).
void set_direct_play_timing(const DirectPlayTiming& timing);
DirectPlayTiming direct_play_timing();

// The parse rule of a TCP/IP host text: the host is the text before the first ':' (empty:
// 127.0.0.1); the port is the run of digits right after it (none: `fallback`).
struct DirectPlayEndpoint {
    char host[128];
    uint16_t port;
};
bool parse_direct_play_endpoint(const char* text, uint16_t fallback, DirectPlayEndpoint* out);

} // namespace platform
