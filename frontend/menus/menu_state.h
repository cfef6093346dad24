// The front end's program-wide menu state: the link buffer and the page paths, the session and
// campaign words, the values the page tokens read and set, the page loop's pointer and flags.
// One instance, main thread only.
#pragma once

#include <cstdint>
#include <string>

// Link buffer and page paths hold at most this many characters.
inline constexpr size_t TV_LINK_LIMIT = 255;
// Session mode of a single-player mission waiting for its plane.
inline constexpr int32_t TV_SESSION_CHOOSING_PLANE = 15;
// Session mode for the length of a multiplayer session: the lobby's plane and side changes
// go to the server.
inline constexpr int32_t TV_SESSION_MULTIPLAYER = 1;

struct TvMenuState {
    std::string link;         // the chosen link, or the next page's path
    std::string current_page; // the page on which the link was chosen
    std::string return_page;  // set by "selectplane:"

    int32_t session_mode = 0;
    int32_t countdown = 30; // seconds, shown by the connecting and waiting pages
    int32_t campaign_mode = 0;

    // Set by the page tokens, read by the mission loop.
    int32_t current_campaign = 0; // 0 allied, 1 central, others the tutorials
    int32_t allied_mission = 1;
    int32_t central_mission = 1;
    int32_t training_mission = 1;
    int32_t master_mode = 0;
    int32_t mission_chosen = 0;
    int32_t mission_loaded = 0;

    // The last mission's counters.
    int32_t mission_brit_kills = 0;
    int32_t mission_german_kills = 0;
    int32_t mission_shots_fired = 0;
    int32_t mission_shots_on_target = 0;

    // Multiplayer.
    int32_t client_state = 0;
    int32_t map_id = 0;
    int32_t last_outcome = 0;
    int32_t continue_seconds = 0;
    int32_t leave_page = 0; // set by the session's message handlers: the page loop returns

    // Settings outside the settings record (read from set-up's settings at the front end's
    // start).
    float music_volume = 0.5f;
    float effects_volume_game = 1.0f;
    float effects_volume_menu = 1.0f;
    float sensitivity[3] = {0.5f, 0.5f, 1.0f}; // pitch, roll, throttle

    // The page loop.
    std::string status_text;
    int32_t pointer_x = 100;
    int32_t pointer_y = 100;
    uint32_t click = 0;
    int32_t focus = 0;
    int32_t last_focused_link = 0;
    int32_t active = 1;
    int32_t alt = 0;

    // The network status page shown last.
    std::string status_page_shown;
    int32_t status_value_shown = 0;
    bool status_shown = false;
};

TvMenuState& TvMenus();
// Back to the initial state (a new run).
void TvResetMenuState();
// Copies `text` into the link buffer, cut to its 255 characters.
void TvSetLink(const std::string& text);
