// What the multiplayer session asks of its client game: the game component itself, the
// client game's message and system-event handling, its clock, the player planes it makes from
// the server's player records, the kill bookkeeping, the chat line and the level switch.
// The session reaches the client game only through this table, so the lobby and the frame
// loop can be tried against a scripted game.
#pragma once

#include "framework/core/result_codes.h"
#include "net/client/message_codec.h"

#include <cstdint>
#include <memory>

struct ITvGame;
struct ITvObject;
struct IBinaryStreamComposer;
struct OmTransportMessage;

class TvSessionGame {
public:
    virtual ~TvSessionGame() = default;

    // The game component (no reference added).
    virtual ITvGame* game() = 0;
    // The client game's handling of a received message (the packet at its start).
    virtual OmResult handle_message(IBinaryStreamComposer* packet, uint16_t type,
                                    uint16_t flags) = 0;
    // The client game's handling of a transport system event (a player leaving, ...).
    virtual OmResult system_event(OmTransportMessage* event) = 0;
    // The outcome word := 0.
    virtual void clear_outcome() = 0;
    // Clock offset := server time - game clock; the adjustment as given.
    virtual void set_clock(int32_t server_time, int32_t adjustment) = 0;
    // The game clock in milliseconds.
    virtual uint32_t game_time_ms() = 0;
    // Makes the plane of a player record (the mission's network plane) and adds the player:
    // the local one also reports through the network client and becomes the queue's plane
    // callback. 0, or OM_E_FAIL when no plane could be made.
    virtual OmResult add_player(const TvPlayerInfo& info, int32_t slot, bool local) = 0;
    // The plane of a player slot (no reference added), or null.
    virtual ITvObject* player_plane(int32_t slot) = 0;
    // One kill taken from the slot, message 22 sent.
    virtual OmResult deduct_kill(int32_t slot) = 0;
    // Planes in or out of the world by their status, frames copied to the records.
    virtual void sync_player_planes() = 0;
    // True while the player types a chat line.
    virtual bool chat_active() = 0;
    // The level switch after a map vote. 0 or OM_E_FAIL.
    virtual OmResult change_mission(int32_t mission) = 0;
};

// Creates the client game component and the session's view of it (which holds one reference
// on the component); null when the component cannot be created.
using TvSessionGameFactory = std::unique_ptr<TvSessionGame> (*)();
// The factory TvRunMultiplayer uses; tests install their own (null restores the default).
void TvSetSessionGameFactory(TvSessionGameFactory factory);
std::unique_ptr<TvSessionGame> TvMakeSessionGame();
