// OmAerovantClient: the game's connection to the multiplayer server. It owns a DirectPlay
// transport and a packet queue over it, joins the server's session on a join thread while the
// caller shows a countdown, and hands every received message to the installed handler.
#pragma once

#include "framework/core/class_factory.h"
#include "net/client/message_codec.h"
#include "net/transport/packet_queue.h"

inline constexpr GUID CLSID_OmAerovantClient = om_guid("DC1A276E-E7E5-4B43-B6C9-BDAAB52B8E79");
inline constexpr GUID IID_IOmAerovantClient = om_guid("4D2466D6-C6C2-479E-931F-20D7D7C473C2");

// The session the client joins, the port its address gets, and the server's player-id message.
inline constexpr char TV_SESSION_NAME[] = "AerovantServer";
inline constexpr char TV_ADDRESS_FORMAT[] = "%s:6113";
inline constexpr uint16_t TV_MSG_PLAYER_ID = 17;
inline constexpr char TV_CONNECTING_PAGE[] = "menus\\connecting.html";

using TvLogCallback = void (*)(const char* text, void* context);
// A step of the caller's page loop while the client searches; negative ends the search.
using TvProgressCallback = OmResult (*)(void* context);
// handler(context, local player id, packet, type, flags); its result is ignored.
using TvMessageHandler = OmResult (*)(void* context, uint32_t player_id,
                                      IBinaryStreamComposer* packet, uint16_t type, uint16_t flags);
// The front end's status page: shows `page` with `seconds` as its countdown.
using TvStatusPage = void (*)(void* context, const char* page, int32_t seconds);

struct IOmAerovantClient : IUnknown {
    // A new transport (address "%s:6113" of the server, empty without one) and queue. 0 or the
    // first failing step's result; the local player record is set up either way.
    virtual OmResult Init(const char* server_address) = 0;
    // Releases the queue, then the transport. 0.
    virtual OmResult Close() = 0;
    // Starts TCP/IP, searches the session for up to 30 s (progress is called each pass),
    // joins it and creates the player's port (with `player_data`) on the join thread, showing
    // the connecting page's countdown until the join is done or 31 s have passed. Always 0.
    virtual OmResult TvStartSessionJoin(TvProgressCallback progress, void* progress_context,
                                        const void* player_data, uint32_t player_data_size) = 0;
    // Leaves the session and releases the connection; Poll then does nothing. 0.
    virtual OmResult Stop() = 0;
    // Pumps the queue and hands each received message to the handler, then to OnMessage. 0.
    virtual OmResult Poll(uint32_t pump_flags) = 0;
    virtual OmResult SetLogCallback(TvLogCallback fn, void* context) = 0;
    // The client's own look at a message: type 17 carries the local player id. 0.
    virtual OmResult OnMessage(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) = 0;
    // An empty packet to write a message into; the caller owns it until Send.
    virtual IBinaryStreamComposer* NewPacket() = 0;
    // Queues the packet (taken over) with its type and flags. The queue's result.
    virtual OmResult Send(IBinaryStreamComposer* packet, uint16_t type, uint16_t flags) = 0;
    // A still-waiting message of exactly this type and flags, taken back; or null.
    virtual IBinaryStreamComposer* Withdraw(uint16_t type, uint16_t flags) = 0;
    virtual OmResult GetLocalPlayer(TvPlayerInfo** out) = 0;
    // The callback of the queue's system events (a player leaving, the session lost).
    virtual OmResult SetQueueCallback(OmQueueSystemCallback fn, uintptr_t context) = 0;
    virtual OmResult GetQueueCallback(OmQueueSystemCallback* fn, uintptr_t* context) = 0;
    virtual OmResult SetMessageHandler(TvMessageHandler fn, void* context) = 0;
    virtual OmResult GetMessageHandler(TvMessageHandler* fn, void** context) = 0;
    // The queue, no reference added (null before Init).
    virtual IPacketQueue* GetPacketQueue() = 0;
    // The status page the countdown goes to (the front end's; none shows nothing).
    virtual OmResult SetStatusPage(TvStatusPage fn, void* context) = 0;
};

OM_DECLARE_MODULE(OmAerovantClient);
