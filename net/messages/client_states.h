// The client-state word of the multiplayer lobby and the names the page token "netstatus"
// shows for it.
#pragma once

#include <cstdint>

enum TvClientState : int32_t {
    TV_CLIENT_OFFLINE = 0,
    TV_CLIENT_SEARCHING = 1,
    TV_CLIENT_WAITING_ACCEPTANCE = 2,
    TV_CLIENT_WAITING_PARAMETERS = 3,
    TV_CLIENT_LOADING_LEVEL = 4,
    TV_CLIENT_WAITING_USER_PARAMETERS = 5,
    TV_CLIENT_PLAYING = 6,
    TV_CLIENT_WAITING_RESPAWN = 7,
    TV_CLIENT_CONNECTED = 8,
    TV_CLIENT_GETTING_TIME = 9,
    TV_CLIENT_SYNCING_TIME = 10,
    TV_CLIENT_WAITING_TIME = 11,
    TV_CLIENT_SELECTING_PLANE = 12,
    TV_CLIENT_SELECTING_SIDE = 13,
    TV_CLIENT_LOADING_NEW_LEVEL = 14,
    TV_CLIENT_OFFLINE_LOCAL = 15,
    TV_CLIENT_DISCONNECTED = 16,
    TV_CLIENT_ENDED = 17,
};

inline constexpr int32_t TV_CLIENT_STATE_COUNT = 18;
inline constexpr uint32_t TV_CLIENT_STATE_NAME_SIZE = 32;

// The state's name from the 18-entry table of 32-character fields; "" outside 0..17.
const char* TvClientStateName(int32_t state);
