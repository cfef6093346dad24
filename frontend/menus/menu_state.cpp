// The menu state and the client-state names.
#include "frontend/menus/menu_state.h"

namespace {

TvMenuState state;

const char* const client_state_names[18] = {"Offline",
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
                                            ""};

} // namespace

TvMenuState& TvMenus() {
    return state;
}

void TvResetMenuState() {
    state = TvMenuState{};
}

void TvSetLink(const std::string& text) {
    state.link = text.substr(0, TV_LINK_LIMIT);
}

const char* TvClientStateName(int32_t value) {
    return value >= 0 && value < 18 ? client_state_names[value] : "";
}
