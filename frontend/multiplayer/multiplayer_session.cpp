// The multiplayer session driver: creates the client game, initialises the network client,
// then runs the lobby and the frame loop in turn; tears everything down when the lobby leaves.
#include "frontend/multiplayer/multiplayer_session.h"

#include "framework/core/object_manager.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/menus/page_tokens.h"
#include "frontend/multiplayer/lobby.h"
#include "frontend/multiplayer/multiplayer_frames.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/single/single_player.h"
#include "frontend/startup/error_log.h"
#include "game/rules/tv_client_game.h"
#include "game/rules/tv_game.h"
#include "net/client/om_aerovant_client.h"

namespace {

constexpr char source_name[] = "tvnetmenu";
// Pages a session that ended keeps: the player reads why it ended (state 17), or goes to the
// main menu as chosen.
bool keeps_end_page(const TvMultiplayerSession& s) {
    return s.page == TV_MP_DISCONNECTED_PAGE || s.page == TV_MP_NO_PLANE_PAGE ||
           s.page == TV_MP_PLAYER_LIMIT_PAGE || s.page == TV_MP_VOTING_PAGE ||
           s.page == TV_MP_MAIN_PAGE;
}

void tear_down(TvMultiplayerSession& s) {
    s.session_running = 0;
    if (!keeps_end_page(s)) TvSetSessionPage(s, TV_MULTIPLAYER_PAGE);
    TvSetClientState(s, 0);
    s.countdown = TV_CONNECT_COUNTDOWN;
    TvMenus().mission_loaded = 0;
    if (ITvGame* game = TvGetGameComponent()) game->Destroy();
    if (IOmAerovantClient* client = TvGetNetworkClient()) {
        client->Stop();
        client->Close();
    }
    TvSetGameComponent(nullptr);
    s.game.reset();
}

// After a match: the page the end flags call for, and the lobby's handlers again.
void back_to_lobby(TvMultiplayerSession& s) {
    if (s.end_flags & TV_END_DISCONNECTED) {
        TvSetSessionPage(s, TV_MP_DISCONNECTED_PAGE);
        TvShowSessionPage(s);
        TvSetClientState(s, 17);
        s.countdown = TV_CONNECT_COUNTDOWN;
    } else {
        TvSetClientState(s, 8);
        if (s.end_flags & TV_END_FINISHED)
            TvSetSessionPage(s, TV_MP_FINISHED_PAGE);
        else if (s.end_flags & TV_END_FINISHED_NO_VOTE)
            TvSetSessionPage(s, TV_MP_FINISHED_NO_VOTE_PAGE);
        else
            TvSetSessionPage(s, TV_MULTIPLAYER_PAGE);
    }
    TvMenus().last_outcome = s.end_flags;
    TvInstallLobbyHandlers(s);
}

OmResult run_multiplayer(const char* address) {
    return TvRunMultiplayerSession(address);
}

// The "players" token: the client game's table of the players.
OmResult build_scoreboard(std::string* html) {
    ITvClientGame* client = TvQueryClientGame(TvGetGameComponent());
    if (!client) return OM_E_FAIL;
    const OmResult r = client->BuildScoreboard(html);
    client->Release();
    return r;
}

// The session mode for as long as the session runs, 0 again however it ends; the side the
// join set in the settings record goes back with it, since single-player missions read that
// word as the side their endurance scales follow.
class SessionModeScope {
public:
    SessionModeScope() : side_flag_(TvGetGameSettingsRecord().side_flag) {
        TvMenus().session_mode = TV_SESSION_MULTIPLAYER;
    }
    ~SessionModeScope() {
        TvMenus().session_mode = 0;
        TvGetGameSettingsRecord().side_flag = side_flag_;
    }
    SessionModeScope(const SessionModeScope&) = delete;
    SessionModeScope& operator=(const SessionModeScope&) = delete;

private:
    int32_t side_flag_;
};

} // namespace

OmResult TvRunMultiplayerSession(const char* server_address) {
    const SessionModeScope session_mode;
    TvMultiplayerSession& s = TvGetMultiplayerSession();
    TvResetMultiplayerSession();
    TvSetSessionPage(s, TV_MP_CONNECTING_PAGE);
    TvSetClientState(s, 0);
    s.countdown = TV_CONNECT_COUNTDOWN;
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.placed_player_count = 0;
    record.viewport_count = 0;
    record.suppress_default_plane = 1;

    TvDiscardGameComponent();
    s.game = TvMakeSessionGame();
    if (!s.game || !s.game->game()) {
        TvWriteErrorLine(source_name, __LINE__, "Couldn't create a game component.");
        s.game.reset();
        return OM_E_FAIL;
    }
    TvSetGameComponent(s.game->game());

    IOmAerovantClient* client = TvGetNetworkClient();
    if (!client || client->Init(server_address) < 0) {
        TvWriteErrorLine(source_name, __LINE__, "Couldn't init client component.");
        TvSetGameComponent(nullptr);
        s.game.reset();
        return OM_E_FAIL;
    }
    record.network_client = client;

    while (s.session_running) {
        if (TvRunMultiplayerLobby() < 0) {
            tear_down(s);
            break;
        }
        TvRunMultiplayerFrames();
        back_to_lobby(s);
    }
    s.session_running = 1;
    // The page loop outside the session has no handler to answer the flag.
    s.leave_page = 0;
    return OM_S_OK;
}

void TvInstallMultiplayerEntryPoint() {
    TvMenuEntryPoints entry_points = TvSinglePlayerEntryPoints();
    entry_points.run_multiplayer = run_multiplayer;
    TvInstallMenuEntryPoints(&entry_points);
    TvInstallScoreboardBuilder(build_scoreboard);
}
