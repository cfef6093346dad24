// Network: a small session and player layer over any transport of the "Ormic Transport"
// category. It forwards the provider, connection and session steps, hands out player numbers
// from the session host, keeps a player list with one data block per player and spreads the
// blocks, follows host migration, measures the clock offset to another participant and passes
// every message it does not consume to a user callback.
//
// Message block: an OmTransportMessage whose length counts the 20-byte wire descriptor plus the
// body (length = 20 + body bytes) and whose data pointer points at the body. Only the body
// travels: little-endian 32-bit words, the first being the message code. Codes 0-9 and 16
// belong to the layer:
//   0 {0}                 ask the host for its welcome        1 {1, counter}  welcome
//   2 {2, 0}              number request (to the host)        3 {3, number}   remove
//   4 {4, number, port}   add (host broadcast)                5 {5, 0}       refused
//   6 {6, t0, -, -, -}    time request   7 {7, t0, t1, t2, -} time answer
//   8 {8, {number, port}...} player list (at most 255 pairs)  9 {9, 0}       new port
//  16 {16, number, size, bytes...} player data (size at most 64 KiB)
// A layer message shorter than its code's size is dropped before any word is read.
#pragma once

#include "framework/core/class_factory.h"
#include "net/transport/om_transport.h"

inline constexpr GUID CLSID_Network = om_guid("DD7ADBD8-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IOmNetwork = om_guid("DD9515B6-C84F-11D4-871E-00C04F7963BA");

// The descriptor size a block's length counts besides its body.
inline constexpr uint32_t OM_NETWORK_HEADER_SIZE = 20;
// Players a host accepts; a longer list is not taken.
inline constexpr uint32_t OM_NETWORK_MAX_PLAYERS = 255;
// Largest player data block carried by code 16.
inline constexpr uint32_t OM_NETWORK_MAX_PLAYER_DATA = 65536;

// Layer message codes.
inline constexpr uint32_t OM_NETWORK_HELLO = 0;
inline constexpr uint32_t OM_NETWORK_WELCOME = 1;
inline constexpr uint32_t OM_NETWORK_REQUEST = 2;
inline constexpr uint32_t OM_NETWORK_REMOVE = 3;
inline constexpr uint32_t OM_NETWORK_ADD = 4;
inline constexpr uint32_t OM_NETWORK_REFUSED = 5;
inline constexpr uint32_t OM_NETWORK_TIME_REQUEST = 6;
inline constexpr uint32_t OM_NETWORK_TIME_ANSWER = 7;
inline constexpr uint32_t OM_NETWORK_LIST = 8;
inline constexpr uint32_t OM_NETWORK_NEW_PORT = 9;
inline constexpr uint32_t OM_NETWORK_PLAYER_DATA = 16;

// Option ids of SetOption.
inline constexpr int32_t OM_NETWORK_TRANSPORT = 1; // value: IOmTransport*, reference taken over
inline constexpr int32_t OM_NETWORK_ADDRESS_1 = 2; // SetAddress(1, value)
inline constexpr int32_t OM_NETWORK_ADDRESS_2 = 3; // SetAddress(2, value)
inline constexpr int32_t OM_NETWORK_ADDRESS_3 = 5; // SetAddress(3, value)
inline constexpr int32_t OM_NETWORK_TIMEOUT = 6;   // value: address of a u32 of ms

// WalkPlayers modes.
inline constexpr int32_t OM_NETWORK_WALK_FIRST = 1;
inline constexpr int32_t OM_NETWORK_WALK_NEXT = 3;
inline constexpr int32_t OM_NETWORK_WALK_PREVIOUS = 4;

// Called with one message block from inside Poll, Send (to the own port) or RemovePlayer; the
// block is gone after the call. The result counts only for code 2 at the host: 0 accepts.
using OmNetworkCallback = int32_t (*)(OmTransportMessage* block);

struct IOmNetwork : IUnknown {
    virtual OmResult SetOption(int32_t id, void* value) = 0;
    virtual OmResult GetOption(int32_t id, void* out) = 0;
    // Creates and initialises the category's chosen transport unless one was handed over.
    virtual OmResult Network_SelectTransport() = 0;
    virtual int32_t GetVersion() = 0;
    // OM_E_FAIL while the host port is unknown.
    virtual OmResult GetHostPort(uint32_t* id) = 0;
    virtual OmResult CreatePort(uint32_t* id, const void* data, uint32_t size) = 0;
    virtual OmResult DestroyPort(uint32_t id) = 0;
    virtual OmResult StartServiceProvider(int32_t kind) = 0;
    virtual OmResult TestServiceProvider(int32_t kind) = 0;
    virtual OmResult SelectConnection(const OmTransportConnection* connection) = 0;
    virtual OmResult ReleaseConnection() = 0;
    virtual int32_t GetConnectionCount() = 0;
    virtual OmResult GetConnection(uint32_t index, const OmTransportConnection** out) = 0;
    // Opens a session as its host and creates the host port.
    virtual OmResult CreateSession(const char* name, uint32_t* port) = 0;
    // Joins, creates a port and waits (at most the request time-out) for the host's welcome.
    virtual OmResult JoinSession(const char* name, uint32_t* port) = 0;
    virtual OmResult GetSessionName(const char** out) = 0;
    virtual OmResult Close() = 0;
    virtual OmResult EnumerateSessions(uint32_t* count) = 0;
    virtual OmResult GetSession(uint32_t index, const OmTransportSession** out) = 0;
    // Asks the host for a player number for `port`; the new record gets a data block of
    // `size` bytes. OM_E_FAIL on a refusal or after the request time-out.
    virtual OmResult RequestPlayer(uint32_t port, uint32_t* number, uint32_t size) = 0;
    virtual OmResult RemovePlayer(uint32_t number) = 0;
    virtual OmResult GetPlayerPort(uint32_t number, uint32_t* port) = 0;
    virtual OmResult SetPlayerData(uint32_t number, const void* data, uint32_t size) = 0;
    // The block stays the record's.
    virtual OmResult GetPlayerData(uint32_t number, void** data, uint32_t* size) = 0;
    // 1 once after the data block was set from outside, else 0.
    virtual int32_t TakeChanged(uint32_t number) = 0;
    virtual OmResult GetPlayerCount(uint32_t* count) = 0;
    virtual OmResult GetPlayerNumber(uint32_t index, uint32_t* number) = 0;
    virtual OmResult WalkPlayers(int32_t mode, uint32_t* number, uint32_t* next) = 0;
    virtual OmResult SendPlayerData(uint32_t receiver, uint32_t sender, uint32_t number,
                                    uint32_t flags) = 0;
    virtual OmResult BroadcastPlayerData(uint32_t sender, uint32_t number, uint32_t flags) = 0;
    virtual int32_t IsPlayerAtPort(uint32_t port, uint32_t number) = 0;
    virtual int32_t IsPlayerNotAtPort(uint32_t port, uint32_t number) = 0;
    virtual OmResult SetApplicationGuid(const GUID* guid) = 0;
    virtual OmResult GetApplicationGuid(GUID* out) = 0;
    // Sends a block (a block to its own sender is handled here at once, without the
    // transport). The caller's block is left as it was.
    virtual OmResult Send(OmTransportMessage* block, uint32_t flags) = 0;
    virtual OmResult Broadcast(OmTransportMessage* block, uint32_t flags) = 0;
    // Handles every waiting message; OM_E_FAIL after a session loss.
    virtual OmResult Poll() = 0;
    virtual OmResult SetCallback(OmNetworkCallback callback) = 0;
    virtual OmResult GetCallback(OmNetworkCallback* out) = 0;
    // Median offset (receiver's clock minus sender's) over up to 30 round trips in 10 s.
    virtual OmResult MeasureClockOffset(uint32_t sender, uint32_t receiver, int32_t* offset) = 0;
};

// The millisecond clock a Network reads (OmOSGetTime unless replaced); lets an embedding or a
// test give each participant its own time. Null restores the default. OM_E_FAIL when
// `network` is not a Network.
using OmNetworkClock = uint32_t (*)(void* context);
OmResult OmNetworkSetClock(IOmNetwork* network, OmNetworkClock clock, void* context);

OM_DECLARE_MODULE(Network);
