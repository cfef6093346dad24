// What the lobby's passes and its message handlers share inside the multiplayer front end:
// the game's messages the lobby sends, and the state changes both sides make.
#pragma once

#include "net/client/message_codec.h"

#include <cstdint>

struct TvMultiplayerSession;

// The lobby's messages to the server (through the network client; nothing without one).
void TvSendJoinRequest(const TvPlayerInfo& info);
void TvSendRespawnRequest();
void TvSendTimeRequest();
void TvSendTimeSample(int32_t estimate);
void TvSendPlaneChange(const char* plane_id);
void TvSendSideChange(int32_t side);

// State 17 with `page`: the session cannot go on; the lobby leaves at its next pass.
void TvLobbyEndSession(TvMultiplayerSession& s, const char* page);
// Whether the game holds the local player's plane (the join was accepted and nothing took the
// plane away since): a respawn, a time sync and the match are for that plane only.
bool TvLobbyHasLocalPlane(TvMultiplayerSession& s);
// Forgets the local plane once the local slot holds none: a plane that comes to the slot later
// is another player's.
void TvLobbyNoteLocalPlane(TvMultiplayerSession& s);
// The time sync has ended: the clock set, state 6, the input queue cleared. Without the local
// plane there is nothing to fly: back to the lobby page (state 8) instead.
void TvLobbyFinishSync(TvMultiplayerSession& s);
// Message 21's game parameters into the game's settings record.
void TvLobbyStoreGameParameters(int32_t mission, int32_t slot);
// Message 41's mission number.
void TvLobbyStoreMission(int32_t mission);
// The accepted join's slot and side flags into the settings record, where the finish message
// and the map vote weigh the round against them for the rest of the session.
void TvLobbyStoreLocalPlayer(int32_t slot, uint32_t side_flags);
// Milliseconds of the platform clock (virtual in tests).
uint32_t TvLobbyNow();
