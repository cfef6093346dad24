// The table of client-state names.
#include "net/messages/client_states.h"

namespace {

const char state_names[TV_CLIENT_STATE_COUNT][TV_CLIENT_STATE_NAME_SIZE] = {
    "Offline",
    "Searching for a Session",
    "Waiting for server acceptance",
    "Waiting for game parameters",
    "Loading Level",
    "Waiting for user parameters",
    "Playing game",
    "Waiting for respawn",
    "Connected to Game",
    "Getting Time",
    "Syncing Time",
    "Waiting for Time",
    "Selecting Plane",
    "Selecting Side",
    "Loading level",
    "Offline",
    "Disconnected",
    "",
};

} // namespace

const char* TvClientStateName(int32_t state) {
    if (state < 0 || state >= TV_CLIENT_STATE_COUNT) return "";
    return state_names[state];
}
