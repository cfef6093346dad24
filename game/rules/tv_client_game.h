// The multiplayer client game's own interface, answered besides ITvGame (IID_ITvClientGame):
// the network's messages and system events, the outcome and clock the lobby drives, the
// players' planes and records, the scoreboard, the level switch, and what the game's objects
// read of the match (the player planes by slot, the local slot, the kill bookkeeping).
#pragma once

#include "game/rules/tv_game.h"
#include "net/client/message_codec.h"

#include <string>

struct IBinaryStreamComposer;
struct OmTransportMessage;

inline constexpr GUID CLSID_TavrinClientGame = om_guid("6d20b2b9-2fdd-4c23-9645-11113489d702");

// Outcome words of a match (GetOutcome): the local plane finished, the session lost, the match
// won by a slot (0x100 + slot) and finished without a vote (0x200 + slot).
inline constexpr int32_t kTvOutcomeLocalDeath = 0x21;
inline constexpr int32_t kTvOutcomeDisconnected = 0x40;
inline constexpr int32_t kTvOutcomeFinished = 0x100;
inline constexpr int32_t kTvOutcomeFinishedNoVote = 0x200;

struct ITvClientGame : IUnknown {
    // A system event of the packet queue (the lobby's and the match's queue callback): a port
    // leaving (kind 1) removes the remote player with that network id; the session lost
    // (kind 3) ends the match with outcome 0x40. OM_E_FAIL (callers ignore it).
    virtual OmResult OnSystemEvent(const OmTransportMessage* event) = 0;
    // One received message (the match's message handler; the lobby passes the client game's
    // messages on). Malformed messages and values that do not fit the world are dropped.
    // 0, or OM_E_FAIL for a dropped or ignored message (callers ignore it).
    virtual OmResult HandleMessage(IBinaryStreamComposer* packet, uint16_t type,
                                   uint16_t flags) = 0;
    // Outcome := 0 (before a respawn). 0.
    virtual OmResult ClearOutcome() = 0;
    // Puts a plane into a player slot: flags 0x10 (local) or 0x20 (remote) added, the slot's
    // record a copy of `info`, then the game's SetPlayerPlane (the camera for the local one).
    // OM_E_FAIL for a bad slot or a missing plane or record.
    virtual OmResult AddPlayer(ITvObject* plane, int32_t local, const TvPlayerInfo* info,
                               int32_t slot) = 0;
    // Clock offset := server time - the game timer's time now; adjustment := `adjustment`.
    // The game's time queries give the server's time from then on. 0.
    virtual OmResult SetClock(int32_t server_time, int32_t adjustment) = 0;
    // The menu pages' "players" table. OM_E_FAIL without a session.
    virtual OmResult BuildScoreboard(std::string* html) = 0;
    // The level switch after a map vote: the session rebuilt on the mission and every player's
    // plane made again (kills 0). 0 or OM_E_FAIL.
    virtual OmResult ChangeMission(int32_t mission_number) = 0;

    // Takes one kill from the slot's player and tells the server (message 22). 0, or
    // OM_E_FAIL for a slot without a player.
    virtual OmResult DeductKill(int32_t slot) = 0;
    // Makes a player's plane from a decoded player-info record: the mission's air entry of the
    // record's plane type with the record's object id, frame matrix (right row normalised),
    // flags 0xc00 (local) or 0x800 and side flags, a network-driven plane with the record's
    // status, and for the local plane the network client. The plane is in the game's lists
    // but in no player slot yet (see AddPlayer). One reference in *out.
    // OM_E_FAIL, with nothing made, for an unknown plane type, an object id that is out of
    // range or taken, a position beyond the network's range (kTvNetPositionLimit), a bad slot,
    // or no mission.
    virtual OmResult CreatePlayerPlane(const TvPlayerInfo* info, int32_t slot, int32_t local,
                                       ITvObject** out) = 0;
    // The local player's join (message 19 accepted): CreatePlayerPlane(local), AddPlayer(local),
    // the settings' local slot, and the packet queue's pre-send callback (this plane's report,
    // options 9 and 10) with the record's send interval and datagram size (options 5 and 4,
    // when set). OM_E_FAIL, with nothing changed, as CreatePlayerPlane or for an occupied slot.
    virtual OmResult JoinLocalPlayer(const TvPlayerInfo* info, int32_t slot) = 0;
    // The plane in a player slot (no reference added), null when the slot is empty or out of
    // range.
    virtual ITvObject* GetPlayerPlane(int32_t slot) = 0;
    // The number of player slots.
    virtual int32_t GetPlayerSlotCount() = 0;
    // The local player's slot.
    virtual int32_t GetLocalSlot() = 0;
    // The slot's player record (the client game's; valid until the player leaves), or null.
    virtual const TvPlayerInfo* GetPlayerRecord(int32_t slot) = 0;
    // Non-zero while the player types a chat line (keyboard input goes to the line).
    virtual int32_t IsChatActive() = 0;
};

// The game's client-game interface (one reference), or null for a single-player game.
inline ITvClientGame* TvQueryClientGame(ITvGame* game) {
    ITvClientGame* client = nullptr;
    if (!game || game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0)
        return nullptr;
    return client;
}

// The queue's system callback and the network client's message handler over a client game
// (context: its ITvClientGame). The system callback answers 0 (a negative answer would stop
// the queue's receiving for that pump); the handler's answer is ignored by the client.
OmResult TvClientGameSystemEvent(uintptr_t context, OmTransportMessage* event);
OmResult TvClientGameMessageHandler(void* context, uint32_t player_id,
                                    IBinaryStreamComposer* packet, uint16_t type, uint16_t flags);

// Registers TavrinClientGame with the object manager (the program's start-up).
OmResult TvRegisterClientGameClass(IObjectManager* manager);
