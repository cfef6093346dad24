// The multiplayer session's shared words: what the lobby, the frame loop and the message
// handlers read and change between them. The menu words (client state, countdown, leave-page
// flag, current page) stay in the menu state, where the page tokens and the page loop read
// them; the context refers to them. One context is the handlers' context.
#pragma once

#include "frontend/menus/menu_state.h"
#include "frontend/multiplayer/session_game.h"
#include "net/messages/time_sync.h"

#include <cstdint>
#include <memory>
#include <string>

// End flags of a match (the frame loop's result for the session driver).
inline constexpr int32_t TV_END_QUIT = 0x30;
inline constexpr int32_t TV_END_DISCONNECTED = 0x40;
inline constexpr int32_t TV_END_FINISHED = 0x100;         // + winner
inline constexpr int32_t TV_END_FINISHED_NO_VOTE = 0x200; // + slot

// Deadlines of the connect phase and of a respawn, in platform-clock milliseconds.
inline constexpr uint32_t TV_CONNECT_DEADLINE_MS = 30000;
inline constexpr uint32_t TV_RESPAWN_DEADLINE_MS = 16000;
inline constexpr int32_t TV_RESPAWN_COUNTDOWN = 15;
inline constexpr int32_t TV_CONNECT_COUNTDOWN = 30;
// The lobby shows the multiplayer page again on a status change at most this often.
inline constexpr uint32_t TV_LOBBY_REFRESH_MS = 10000;

// Pages of the session.
inline constexpr char TV_MULTIPLAYER_PAGE[] = "menus\\multiplayer.html";
inline constexpr char TV_MP_CONNECTING_PAGE[] = "menus\\connecting.html";
inline constexpr char TV_MP_WAITING_PAGE[] = "menus\\waiting.html";
inline constexpr char TV_MP_LOADING_PAGE[] = "menus\\loading.html";
inline constexpr char TV_MP_DISCONNECTED_PAGE[] = "menus\\disconnected.html";
// A join whose plane could not be made (a plane the data set does not have) ends here.
inline constexpr char TV_MP_NO_PLANE_PAGE[] = "menus\\noplane.html";
inline constexpr char TV_MP_FINISHED_PAGE[] = "menus\\finished.html";
inline constexpr char TV_MP_FINISHED_NO_VOTE_PAGE[] = "menus\\finishednv.html";
inline constexpr char TV_MP_VOTING_PAGE[] = "menus\\votinginprogress.html";
inline constexpr char TV_MP_PLAYER_LIMIT_PAGE[] = "menus\\playerlimit.html";
inline constexpr char TV_MP_CHOOSE_SIDE_PAGE[] = "menus\\chooseside.html";
inline constexpr char TV_MP_CHOOSE_ALLIED_PAGE[] = "menus\\chooseallied.html";
inline constexpr char TV_MP_PAUSE_PAGE[] = "menus\\multipause.html";
inline constexpr char TV_MP_MAIN_PAGE[] = "menus\\main.html";

struct TvMultiplayerSession {
    // The menu words the session shares with the page loop and the page tokens.
    int32_t& client_state = TvMenus().client_state;
    int32_t& countdown = TvMenus().countdown;
    int32_t& leave_page = TvMenus().leave_page;
    std::string& page = TvMenus().link; // the current page, and the page loop's chosen link

    int32_t end_flags = 0;
    int32_t session_running = 1;
    uint32_t connect_deadline = 0;
    uint32_t respawn_deadline = 0;
    uint32_t next_refresh = 0;
    TvTimeSync time_sync;
    int32_t local_slot = -1; // from message 21
    // The local slot holds the plane the accepted join made (another player's plane may take
    // the slot once that one is gone).
    bool local_plane = false;
    bool leave = false; // a lobby pass decided to leave
    OmResult leave_result = OM_E_FAIL;

    // The client game of the session, while one exists.
    std::unique_ptr<TvSessionGame> game;
};

TvMultiplayerSession& TvGetMultiplayerSession();
// Back to a new session's words (the game is dropped).
void TvResetMultiplayerSession();

// Sets the client state (the observer sees every change).
void TvSetClientState(TvMultiplayerSession& s, int32_t state);
// Every client state set, in order; tests read them. Null removes it.
using TvClientStateObserver = void (*)(int32_t state);
void TvSetClientStateObserver(TvClientStateObserver observer);

// Sets the current page (cut to the link buffer's size).
void TvSetSessionPage(TvMultiplayerSession& s, const char* page);
// Loads and shows the current page (the lobby's "show").
void TvShowSessionPage(TvMultiplayerSession& s);

// Pages shown by the session, in order; tests read them. Null removes it.
using TvSessionPageObserver = void (*)(const char* page);
void TvSetSessionPageObserver(TvSessionPageObserver observer);
