// The multiplayer lobby: one pass per frame (window messages, network poll, the client state's
// action, the pointer and the page), the lobby column of the game protocol's message table,
// the join sequence (mission load, join request, the local plane) and the respawn sequence
// (respawn request, time request, time sync).
#include "frontend/multiplayer/lobby.h"

#include "framework/io/binary_stream_composer.h"
#include "framework/platform/timer.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/menus/page_seam.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/multiplayer/lobby_internal.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/pilots/text_entry.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/frame_clock.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/damaged_files.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/machine_game_id.h"
#include "game/rules/tv_game.h"
#include "media/input/input.h"
#include "media/raster/mouse_pointer.h"
#include "net/client/om_aerovant_client.h"
#include "platform/clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

constexpr char source_name[] = "tvnetmenu";
constexpr uint32_t page_timeout_ms = 180000;
constexpr char multi_prefix[] = "multi";

OmResult default_run_page(std::string& link) {
    return TvRunPage(link, page_timeout_ms);
}
OmResult default_search_pass(void*) {
    return TvPollBackPage();
}
bool default_menu_pass(std::string* clicked);

constexpr TvLobbyPages default_pages{default_run_page, default_search_pass, default_menu_pass};
TvLobbyPages pages = default_pages;

uint32_t now_ms() {
    return TvLobbyNow();
}

IOmAerovantClient* client() {
    return TvGetNetworkClient();
}

bool is_page(const TvMultiplayerSession& s, const char* page) {
    return s.page == page;
}

void set_page(TvMultiplayerSession& s, const char* page) {
    TvSetSessionPage(s, page);
}

void show(TvMultiplayerSession& s, const char* page) {
    set_page(s, page);
    TvShowSessionPage(s);
}

void leave(TvMultiplayerSession& s, OmResult result = OM_E_FAIL) {
    s.leave = true;
    s.leave_result = result;
}

// Seconds left until `deadline`, at most `most`.
int32_t seconds_left(uint32_t deadline, int32_t most) {
    const int32_t left = int32_t(deadline - now_ms());
    return left <= 0 ? 0 : std::min(most, (left + 999) / 1000);
}

void menu_sound_for_lobby() {
    const TvMenuState& m = TvMenus();
    tvfe::TvSetChannelVolume("InGame", 0.0f);
    tvfe::TvSelectMusic(0);
    tvfe::TvSetMusicVolume(m.music_volume);
    tvfe::TvStartMusic();
}

// --- The join sequence ----------------------------------------------------------------------

// The join request from the current pilot: name, favourite plane (a network plane kind),
// side flags and the sender's settings words.
TvPlayerInfo join_request() {
    TvPlayerInfo info{};
    const TvPilotRecord* pilot = TvCurrentPilotSlot();
    const TvGameSettings& record = TvGetGameSettingsRecord();
    std::snprintf(info.name, sizeof info.name, "%s",
                  pilot && pilot->full_name[0] ? pilot->full_name : "Pilot");
    const char* plane =
        pilot && pilot->favourite_plane[0] ? pilot->favourite_plane : TV_DEFAULT_FAVOURITE_PLANE;
    // Only the network kinds ("multi...") exist in a multiplayer mission.
    if (std::strncmp(plane, multi_prefix, sizeof multi_prefix - 1) == 0)
        std::snprintf(info.planeId, sizeof info.planeId, "%s", plane);
    else
        std::snprintf(info.planeId, sizeof info.planeId, "%s%.26s", multi_prefix, plane);
    const int32_t side = pilot && pilot->side == TV_SIDE_CENTRAL ? TV_SIDE_CENTRAL : TV_SIDE_ALLIED;
    info.sideFlags = (1u << side) + 2;
    info.settings[0] = record.join_values[0];
    info.settings[1] = record.join_values[1];
    return info;
}

// State 4: the mission of message 21 loads, then the join request goes out.
void load_and_join(TvMultiplayerSession& s) {
    const TvMenuState& m = TvMenus();
    tvfe::TvSetMusicVolume(0.0f);
    tvfe::TvSetChannelVolume("InGame", 0.0f);
    show(s, TV_MP_LOADING_PAGE);
    TvDrawPage();
    TvShowMenuFrame(TvGetGameSettingsRecord().vsync != 0);
    if (IOmAerovantClient* c = client()) c->Poll(OM_PUMP_FORCE);
    ITvGame* game = s.game ? s.game->game() : nullptr;
    TvGameSettings& record = TvGetGameSettingsRecord();
    if (!game || game->Create(&record) < 0 || TvEndingOverDamagedFiles()) {
        if (TvEndOverDamagedFiles()) return;
        // Nothing of a half-made mission is flown: the session ends.
        char detail[32];
        std::snprintf(detail, sizeof detail, "%d", record.mission_number);
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't load the multiplayer mission", detail);
        TvLobbyEndSession(s, TV_MP_DISCONNECTED_PAGE);
        menu_sound_for_lobby();
        return;
    }
    TvMenus().mission_loaded = 1;
    TvSendJoinRequest(join_request());
    tvfe::TvSelectMusic(0);
    tvfe::TvSetMusicVolume(m.music_volume);
    tvfe::TvStartMusic();
    TvSetClientState(s, 5);
}

// --- The respawn sequence and the time sync -------------------------------------------------

void request_respawn(TvMultiplayerSession& s) {
    TvSendRespawnRequest();
    if (s.game) s.game->clear_outcome();
    TvSetClientState(s, 7);
    s.countdown = TV_RESPAWN_COUNTDOWN;
    s.respawn_deadline = now_ms() + TV_RESPAWN_DEADLINE_MS;
    TvInstallLobbyHandlers(s);
    set_page(s, TV_MP_WAITING_PAGE);
}

void clear_input() {
    if (IInput* input = TvGetInput()) {
        input->Poll();
        input->ClearEvents();
    }
}

void time_sync_pass(TvMultiplayerSession& s) {
    uint32_t step = 0;
    if (ITimer* timer = TvGetTimer()) {
        timer->Update();
        step = timer->GetDeltaMs();
    }
    if (s.game) {
        if (ITvGame* game = s.game->game()) {
            const InputEvent tick{TV_TIMER_DEVICE, TV_TIMER_CODE, 12, step};
            game->HandleInput(&tick);
        }
    }
    const uint32_t game_time = s.game ? s.game->game_time_ms() : 0;
    if (auto estimate = s.time_sync.pass(now_ms(), game_time)) TvSendTimeSample(*estimate);
    TvLobbyFinishSync(s);
}

// --- The page-running states -----------------------------------------------------------------

void run_current_page(TvMultiplayerSession& s) {
    // A handler that set the flag already left the page it wants acted on.
    if (!s.leave_page) {
        TvShowSessionPage(s);
        TvMenus().current_page = s.page;
        pages.run_page(s.page);
    }
    // The flag has made the page loop return; the page it left is acted on below.
    s.leave_page = 0;
}

bool same_page(const std::string& a, const char* b) {
    return strcasecmp(a.c_str(), b) == 0;
}

// "planechoice:%s": the plane change goes to the server, the lobby page again.
void choose_plane(TvMultiplayerSession& s) {
    char plane[32] = {};
    if (std::sscanf(s.page.c_str(), "planechoice:%31s", plane) == 1) TvSendPlaneChange(plane);
    TvSetClientState(s, 8);
    set_page(s, TV_MULTIPLAYER_PAGE);
}

void connected_pass(TvMultiplayerSession& s) {
    menu_sound_for_lobby();
    run_current_page(s);
    if (TvGetQuitFlag()) return leave(s);
    if (s.page == TV_TIMEOUT_LINK) {
        set_page(s, TV_MULTIPLAYER_PAGE);
    } else if (s.page == "command:rejoin") {
        request_respawn(s);
    } else if (s.page == TV_MP_MAIN_PAGE || s.page == "command:back") {
        leave(s);
    } else if (s.page == "command:killconnect") {
        s.countdown = TV_CONNECT_COUNTDOWN;
        set_page(s, TV_MULTIPLAYER_PAGE);
        leave(s);
    } else if (same_page(s.page, TV_MP_CHOOSE_SIDE_PAGE)) {
        // The multiplayer page's "Change side": the side page, then the plane page.
        TvSetClientState(s, 13);
    } else if (s.page.rfind("planechoice:", 0) == 0) {
        choose_plane(s);
    } else if (TvDispatchLink() < 0) {
        leave(s);
    }
}

void plane_pass(TvMultiplayerSession& s) {
    run_current_page(s);
    if (TvGetQuitFlag()) return leave(s);
    if (s.page.rfind("planechoice:", 0) == 0) {
        choose_plane(s);
    } else if (s.page == "command:back") {
        leave(s);
    } else if (s.page == TV_TIMEOUT_LINK) {
        set_page(s, TvMenus().current_page.c_str());
    } else if (TvDispatchLink() < 0) {
        leave(s);
    }
}

void side_pass(TvMultiplayerSession& s) {
    set_page(s, TV_MP_CHOOSE_SIDE_PAGE);
    run_current_page(s);
    if (TvGetQuitFlag()) return leave(s);
    if (s.page == "command:back") return leave(s);
    const int32_t side =
        same_page(s.page, TV_MP_CHOOSE_ALLIED_PAGE) ? TV_SIDE_ALLIED : TV_SIDE_CENTRAL;
    TvSendSideChange(side);
    TvSetClientState(s, 12);
}

// State 14: the level switch after a map vote.
void change_level(TvMultiplayerSession& s) {
    show(s, TV_MP_LOADING_PAGE);
    TvDrawPage();
    TvShowMenuFrame(TvGetGameSettingsRecord().vsync != 0);
    IOmAerovantClient* c = client();
    if (c) {
        if (IPacketQueue* queue = c->GetPacketQueue()) {
            queue->SetOption(OM_QUEUE_PRESEND_CALLBACK, 0);
            queue->SetOption(OM_QUEUE_PRESEND_CONTEXT, 0);
        }
        c->Poll(0);
    }
    const int32_t mission = TvGetGameSettingsRecord().mission_number;
    if (!s.game || s.game->change_mission(mission) < 0) {
        char detail[32];
        std::snprintf(detail, sizeof detail, "%d", mission);
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't load the multiplayer mission", detail);
        TvLobbyEndSession(s, TV_MP_DISCONNECTED_PAGE);
        return;
    }
    TvSetClientState(s, 8);
    set_page(s, TV_MULTIPLAYER_PAGE);
}

// --- One pass --------------------------------------------------------------------------------

void state_action(TvMultiplayerSession& s) {
    switch (s.client_state) {
    case 0:
        if (is_page(s, TV_MP_DISCONNECTED_PAGE)) return leave(s);
        TvSetClientState(s, 1);
        show(s, TV_MP_CONNECTING_PAGE);
        s.connect_deadline = now_ms() + TV_CONNECT_DEADLINE_MS;
        break;
    case 1: {
        IOmAerovantClient* c = client();
        if (!c) return leave(s);
        bool back = false;
        struct Search {
            bool* back;
        } search{&back};
        const TvMachineGameId& id = TvGetMachineGameId();
        c->TvStartSessionJoin(
            [](void* context) -> OmResult {
                auto* search = static_cast<Search*>(context);
                const OmResult r = pages.search_pass(nullptr);
                if (r < 0) *search->back = true;
                return r;
            },
            &search, id.data(), uint32_t(id.size()));
        if (back || TvGetQuitFlag()) {
            // "Back" on the connecting page gives up the connection.
            TvSetClientState(s, 0);
            s.countdown = TV_CONNECT_COUNTDOWN;
            set_page(s, TV_MULTIPLAYER_PAGE);
            return leave(s);
        }
        TvSetClientState(s, 2);
        show(s, TV_MP_CONNECTING_PAGE);
        break;
    }
    case 2:
        if (int32_t(now_ms() - s.connect_deadline) >= 0) {
            TvSetClientState(s, 0);
            s.countdown = TV_CONNECT_COUNTDOWN;
            set_page(s, TV_MULTIPLAYER_PAGE);
            return leave(s);
        }
        break;
    case 4: load_and_join(s); break;
    case 6:
        tvfe::TvStopMusic();
        tvfe::TvSetChannelVolume("InGame", TvMenus().effects_volume_game);
        return leave(s, OM_S_OK);
    case 7:
        if (int32_t(now_ms() - s.respawn_deadline) >= 0) {
            TvSetClientState(s, 8);
            set_page(s, TV_MULTIPLAYER_PAGE);
        } else {
            TvShowNetStatusPage(TV_MP_WAITING_PAGE, seconds_left(s.respawn_deadline, 15));
        }
        break;
    case 8: connected_pass(s); break;
    case 9:
        TvSendTimeRequest();
        TvShowNetStatusPage(TV_MP_WAITING_PAGE, seconds_left(s.respawn_deadline, 15));
        break;
    case 10: time_sync_pass(s); break;
    case 12: plane_pass(s); break;
    case 13: side_pass(s); break;
    case 14: change_level(s); break;
    case 15:
    case 17: return leave(s);
    default: break;
    }
}

// Step 6: a link clicked outside the page loop.
void act_on_click(TvMultiplayerSession& s, const std::string& target) {
    if (target == "command:back") {
        if (s.client_state == 10) {
            TvSetClientState(s, 8);
            set_page(s, TV_MULTIPLAYER_PAGE);
        } else {
            leave(s);
        }
    } else if (target == "command:killconnect") {
        s.countdown = TV_CONNECT_COUNTDOWN;
        set_page(s, TV_MULTIPLAYER_PAGE);
        leave(s);
    } else if (target == "command:connectip" && s.client_state == 17) {
        s.countdown = TV_CONNECT_COUNTDOWN;
        if (!is_page(s, TV_MP_DISCONNECTED_PAGE)) TvSetClientState(s, 0);
        set_page(s, "command:connectip");
    } else if (target == "command:changeip" && s.client_state == 17) {
        s.countdown = TV_CONNECT_COUNTDOWN;
        show(s, target.c_str());
        if (TvDispatchLink() >= 0) show(s, TV_MULTIPLAYER_PAGE);
    } else {
        show(s, target.c_str());
    }
}

// Steps 4 to 7 over the menu browser.
bool default_menu_pass(std::string* clicked) {
    TvMenuState& m = TvMenus();
    bool chosen = false;
    if (IInput* input = TvGetInput()) {
        input->Poll();
        const uint16_t mouse = TvGetMouseDevice();
        // The click flag is cleared after every pass: a press and its release in one poll
        // make a click for this pass.
        TvMenuClick clicks;
        InputEvent event;
        while (input->GetEvent(&event) >= 0) {
            if (event.length) input->FreeEventData(&event);
            if (mouse == 0 || event.source != mouse) continue;
            const int32_t value = int32_t(event.value);
            if (event.code == TV_MOUSE_X)
                m.pointer_x = std::clamp(m.pointer_x + value, 0, 639);
            else if (event.code == TV_MOUSE_Y)
                m.pointer_y = std::clamp(m.pointer_y + value, 0, 479);
            else if (event.code == TV_MOUSE_BUTTON)
                clicks.button(m.click, event.value);
        }
    }
    if (IHTMLPage* page = TvGetCurrentPage()) {
        const int32_t hit = page->LinkAt(m.pointer_x, m.pointer_y);
        page->SelectLink(hit);
        // The pointer is the hand over a link and the arrow elsewhere, as on every page.
        if (IMousePointer* pointer = TvGetMenuPointer()) pointer->SetFrame(hit >= 0 ? 2 : 0);
        if (hit >= 0 && !m.focus) tvfe::TvPlaySound("Menu.Focus");
        m.focus = hit >= 0 ? 1 : 0;
        char href[1024] = "", target[256] = "";
        if (hit >= 0 && m.click &&
            page->GetLink(hit, href, sizeof href, target, sizeof target) >= 0) {
            *clicked = href;
            chosen = true;
        }
    }
    m.click = 0;
    TvDrawPage();
    TvDrawPointer();
    TvShowMenuFrame(TvGetGameSettingsRecord().vsync != 0);
    TvCountMenuFrame();
    return chosen;
}

} // namespace

uint32_t TvLobbyNow() {
    return platform::timeGetTime();
}

void TvLobbyEndSession(TvMultiplayerSession& s, const char* page) {
    TvSetClientState(s, 17);
    s.countdown = TV_CONNECT_COUNTDOWN;
    set_page(s, page);
}

bool TvLobbyHasLocalPlane(TvMultiplayerSession& s) {
    TvLobbyNoteLocalPlane(s);
    return s.local_plane;
}

void TvLobbyNoteLocalPlane(TvMultiplayerSession& s) {
    if (!s.game || s.local_slot < 0 || !s.game->player_plane(s.local_slot)) s.local_plane = false;
}

void TvLobbyFinishSync(TvMultiplayerSession& s) {
    const auto setting = s.time_sync.finished();
    if (!setting) return;
    if (!TvLobbyHasLocalPlane(s)) {
        // The server took the player away during the sync: the lobby page, where the player
        // can ask to fly again.
        TvSetClientState(s, 8);
        set_page(s, TV_MULTIPLAYER_PAGE);
        return;
    }
    s.game->set_clock(int32_t(setting->time), setting->offset);
    TvSetClientState(s, 6);
    clear_input();
}

void TvLobbyStoreGameParameters(int32_t mission, int32_t slot) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.mission_number = mission;
    record.local_player = slot;
    TvMenus().map_id = mission;
}

void TvLobbyStoreLocalPlayer(int32_t slot, uint32_t side_flags) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.local_player = slot;
    record.side_flag = int32_t(side_flags);
}

void TvLobbyStoreMission(int32_t mission) {
    TvGetGameSettingsRecord().mission_number = mission;
    TvMenus().map_id = mission;
}

void TvSetLobbyPages(const TvLobbyPages* given) {
    pages = default_pages;
    if (!given) return;
    if (given->run_page) pages.run_page = given->run_page;
    if (given->search_pass) pages.search_pass = given->search_pass;
    if (given->menu_pass) pages.menu_pass = given->menu_pass;
}

void TvInstallLobbyHandlers(TvMultiplayerSession& s) {
    if (IOmAerovantClient* c = client()) {
        c->SetMessageHandler(TvLobbyHandleMessage, &s);
        c->SetQueueCallback(TvLobbyHandleSystemEvent, reinterpret_cast<uintptr_t>(&s));
    }
}

OmResult TvRunMultiplayerLobby() {
    TvMultiplayerSession& s = TvGetMultiplayerSession();
    TvInstallLobbyHandlers(s);
    s.leave = false;
    s.leave_result = OM_E_FAIL;
    while (!s.leave) {
        TvPumpWindowMessages();
        if (IOmAerovantClient* c = client()) c->Poll(0);
        if (TvGetQuitFlag()) {
            leave(s);
            break;
        }
        state_action(s);
        if (s.leave || TvGetQuitFlag()) break;
        std::string clicked;
        if (pages.menu_pass(&clicked)) act_on_click(s, clicked);
    }
    if (TvGetQuitFlag()) s.leave_result = OM_E_FAIL;
    TvShowSessionPage(s);
    return s.leave_result;
}
