// The multiplayer client game's own interface, answered besides ITvGame (IID_ITvClientGame):
// what the game's objects read of the match (the player planes by slot, the local slot) and
// the kill bookkeeping the network-driven plane asks of it.
#pragma once

#include "game/rules/tv_game.h"

struct ITvClientGame : IUnknown {
    // The plane in a player slot (no reference added), null when the slot is empty or out of
    // range.
    virtual ITvObject* GetPlayerPlane(int32_t slot) = 0;
    // The number of player slots.
    virtual int32_t GetPlayerSlotCount() = 0;
    // The local player's slot.
    virtual int32_t GetLocalSlot() = 0;
    // Takes one kill from the slot's player and tells the server. 0.
    virtual OmResult DeductKill(int32_t slot) = 0;
};

// The game's client-game interface (one reference), or null for a single-player game.
inline ITvClientGame* TvQueryClientGame(ITvGame* game) {
    ITvClientGame* client = nullptr;
    if (!game || game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0)
        return nullptr;
    return client;
}
