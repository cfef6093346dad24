// The single-player mission loop.
#include "frontend/single/mission_loop.h"

#include "engine/core/lg_camera.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_resources.h"
#include "engine/core/lg_texture.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "framework/platform/profile.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/settings/language_strings.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/frame_clock.h"
#include "frontend/single/mission_pages.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/damaged_files.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/master_list_holes.h"
#include "frontend/startup/stage_log.h"
#include "frontend/startup/startup_trace.h"
#include "frontend/startup/test_hooks.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"
#include "game/rules/tv_game.h"
#include "media/input/input.h"
#include "platform/clock.h"
#include "platform/window/event_hub.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char source_name[] = "tvnetmenu";
constexpr uint32_t escape_key = 0x80;
constexpr int32_t result_text_offset = 20;
// Failures on one mission before it gets easier, and the most steps it gets easier by.
constexpr int32_t failures_before_help = 2;
constexpr int32_t most_help_steps = 5;
constexpr float speed_step = 0.014f;
constexpr float endurance_step = 0.06f;

int32_t last_outcome = 0;
int32_t pilot_campaign_word = 0;
int32_t pilot_failures_word = 0;
int32_t last_mission_played[TV_PILOT_SLOTS] = {};
int32_t highest_arena_use = 0;

struct SavedDifficulty {
    float game_speed;
    float side_endurance;
    float enemy_endurance;
};

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

bool vsync() {
    return TvGetGameSettingsRecord().vsync != 0;
}

// The game draws into the settings' frame raster: the camera that owns it shows it.
void show_game_frame() {
    LgCamera* engine_camera = TvGetEngineCamera();
    LgRaster* frame = TvGetGameSettingsRecord().frame_raster;
    if (engine_camera && frame && LgCameraGetRaster(engine_camera) == frame)
        LgCameraShowRaster(engine_camera, TvGetVideoWindowHandle(), vsync() ? 1 : 0);
    else
        TvShowMenuFrame(vsync());
    TvCountMenuFrame();
}

bool is_client_game(ITvGame* game) {
    IUnknown* client = nullptr;
    if (game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 || !client)
        return false;
    client->Release();
    return true;
}

void debug_output(const char* text) {
    if (IOmOS* os = TvGetOS()) os->DebugOutput(text);
}

void clear_input() {
    if (IInput* input = TvGetInput()) {
        input->Poll();
        input->ClearEvents();
    }
}

// Steps 2 to 5: the loading page shown while the music fades out.
void show_loading_page() {
    const std::string page = TvCampaignLoadingPage();
    TvSetLink(page);
    const float music = TvMenus().music_volume;
    TvFrameClock clock;
    for (uint32_t t = 0; t < TV_MUSIC_FADE_OUT_MS && !TvGetQuitFlag();) {
        TvPumpWindowMessages();
        t += clock.sample();
        tvfe::TvSetMusicVolume(music - music / float(TV_MUSIC_FADE_OUT_MS) *
                                           float(std::min(t, TV_MUSIC_FADE_OUT_MS)));
    }
    tvfe::TvStopMusic();
    tvfe::TvStopAllSounds();
    TvApplyVideoMode(TvGetConfiguredMissionMode());
    TvShowPage(page.c_str());
    TvSetShownPageName(page);
    tvfe::TvSetChannelVolume("InGame", 0.0f);
    TvResetLoadingProgress();
    TvDrawLoadingProgress(0.0f);
    if (LgCamera* camera = TvGetMenuCamera()) {
        LgCameraBeginUpdate(camera);
        LgCameraEndUpdate(camera);
    }
    debug_output("starting loop\n");
    for (int32_t pass = 0; pass < TV_LOADING_PASSES; ++pass) {
        TvDrawPage();
        TvPumpWindowMessages();
        TvShowMenuFrame(true);
        platform::Sleep(0);
    }
    debug_output("ending loop\n");
    TvShowMenuFrame(vsync());
}

// The game draws into the settings' frame raster, which must be one the loop can show: after a
// mode change without an engine-camera raster, the menu camera's rasters are given again.
void ensure_frame_rasters() {
    TvGameSettings& record = TvGetGameSettingsRecord();
    LgCamera* menu = TvGetMenuCamera();
    if (record.frame_raster || !menu) return;
    record.frame_raster = LgCameraGetRaster(menu);
    record.depth_raster = LgCameraGetZRaster(menu);
}

// Step 6: a pilot who keeps failing one mission gets a slower game and a tougher side.
SavedDifficulty apply_difficulty(int32_t mission) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    const SavedDifficulty saved{record.game_speed, record.standard_endurance,
                                record.enemy_endurance};
    record.standard_endurance = 1.0f;
    const TvPilotRoster& roster = TvGetPilotRoster();
    TvPilotRecord* pilot = TvCurrentPilot();
    if (!pilot) return saved;
    int32_t& last = last_mission_played[roster.current];
    if (mission != last) {
        last = mission;
        pilot->times_on_last_mission = 0;
    }
    if (pilot->times_on_last_mission > failures_before_help) {
        const int32_t k =
            std::min(pilot->times_on_last_mission - failures_before_help, most_help_steps);
        record.game_speed *= 1.0f - speed_step * float(k);
        record.standard_endurance = 1.0f + endurance_step * float(k);
    }
    pilot_campaign_word = pilot->current_campaign;
    pilot_failures_word = pilot->times_on_last_mission;
    return saved;
}

void restore_difficulty(const SavedDifficulty& saved) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.game_speed = saved.game_speed;
    record.standard_endurance = saved.side_endurance;
    record.enemy_endurance = saved.enemy_endurance;
}

// Step 7: the single-player game component, made when there is none.
ITvGame* single_player_game() {
    ITvGame* game = TvGetGameComponent();
    if (game && is_client_game(game)) {
        TvMenus().session_mode = TV_SESSION_CHOOSING_PLANE;
        TvDiscardGameComponent();
        game = nullptr;
    }
    if (game) return game;
    ITvGame* made = nullptr;
    if (OmCreate(CLSID_TavrinGame, IID_ITvGame, &made) < 0 || !made) {
        TvWriteErrorLine(source_name, __LINE__, "Couldn't create a game component.");
        return nullptr;
    }
    TvSetGameComponent(made);
    made->Release();
    return TvGetGameComponent();
}

// The menus' music at the settings' volume again, without a fade.
void restart_menu_music() {
    tvfe::TvSelectMusic(0);
    tvfe::TvSetMusicVolume(TvMenus().music_volume);
    tvfe::TvStartMusic();
}

// Step 9: the game runs while its sounds and the music fade in.
void fade_into_game(ITvGame* game) {
    const TvMenuState& m = TvMenus();
    clear_input();
    tvfe::TvSetMusicVolume(0.0f);
    tvfe::TvSetChannelVolume("InGame", 0.0f);
    tvfe::TvSetChannelVolume("InMenu", 0.0f);
    tvfe::TvStartMusic();
    TvFrameClock clock;
    for (uint32_t t = 0; t < TV_GAME_FADE_IN_MS && !TvGetQuitFlag();) {
        t = std::min(t + clock.sample(), TV_GAME_FADE_IN_MS);
        game->Update();
        const float share = float(t) / float(TV_GAME_FADE_IN_MS);
        tvfe::TvSetMusicVolume(m.music_volume * share);
        tvfe::TvSetChannelVolume("InGame", m.effects_volume_game * share);
    }
    clear_input();
}

// Alt and Tab: the player switched away. The music waits while the window has no focus, then the
// pause page opens.
void wait_for_focus_then_pause() {
    tvfe::TvPauseMusic();
    TvWaitWhileUnfocused(TvPumpWindowMessages);
    TvRunPauseMenu();
    tvfe::TvStartMusic();
}

// Step 10.3: the queued input, the keys the front end watches first.
void hand_input_to_game(ITvGame* game) {
    IInput* input = TvGetInput();
    if (!input) return;
    TvMenuState& m = TvMenus();
    const uint16_t keyboard = TvGetKeyboardDevice();
    input->Poll();
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (keyboard != 0 && event.source == keyboard) {
            const bool alt = event.value == TV_KEY_LEFT_ALT || event.value == TV_KEY_RIGHT_ALT;
            if (event.code == TV_KEY_UP && event.value == escape_key) {
                TvRunPauseMenu();
                m.alt = 0;
            } else if (event.code == TV_KEY_UP && alt) {
                m.alt = 0;
            } else if (event.code == TV_KEY_DOWN && alt) {
                m.alt = 1;
            } else if (event.code == TV_KEY_DOWN && event.value == TV_KEY_TAB && m.alt) {
                wait_for_focus_then_pause();
                m.alt = 0;
            }
        }
        game->HandleInput(&event);
        if (event.length) input->FreeEventData(&event);
    }
}

void mark(IProfile* profiler, const char* stage) {
    if (profiler) profiler->Sample(stage);
    TvStageLogMark(stage);
}

// Step 10: frames until the game has an outcome or the program is asked to quit.
int32_t run_frames(ITvGame* game) {
    IProfile* profiler = TvGetProfiler();
    TvFrameClock clock;
    int32_t outcome = 0;
    while (outcome == 0 && !TvGetQuitFlag()) {
        // Messages are not pumped here; a close request waiting for the pump ends the mission.
        if (platform::message_queued(platform::WM_CLOSE) ||
            platform::message_queued(platform::WM_QUIT)) {
            TvSetQuitFlag(1);
            break;
        }
        if (profiler) profiler->BeginFrame();
        TvStageLogBeginFrame();
        outcome = game->GetOutcome();
        hand_input_to_game(game);
        mark(profiler, "Input");
        const InputEvent tick{TV_TIMER_DEVICE, TV_TIMER_CODE, 12, clock.sample()};
        game->HandleInput(&tick);
        game->Update();
        mark(profiler, "Game update");
        game->Render(TvDrawInGameOverlay, nullptr);
        mark(profiler, "Draw Profile");
        tvfe::TvUpdateSounds();
        highest_arena_use = std::max(highest_arena_use, LgResourcesGetArenaUsed());
        show_game_frame();
        mark(nullptr, "Show");
        TvStageLogCountLive(game);
        if (profiler) profiler->EndFrame();
    }
    return outcome;
}

// Step 11: 2500 ms of the game with the outcome's text; Escape cuts them short.
void run_result_frames(ITvGame* game) {
    TvFrameClock clock;
    uint32_t elapsed = 0;
    const uint16_t keyboard = TvGetKeyboardDevice();
    while (elapsed < TV_RESULT_FRAMES_MS && !TvGetQuitFlag()) {
        if (IInput* input = TvGetInput()) {
            input->Poll();
            InputEvent event;
            while (input->GetEvent(&event) >= 0) {
                if (keyboard != 0 && event.source == keyboard && event.value == escape_key)
                    elapsed = TV_RESULT_FRAMES_MS;
                if (event.source == TV_TIMER_DEVICE && event.code == TV_TIMER_CODE)
                    elapsed += event.value;
                game->HandleInput(&event);
                if (event.length) input->FreeEventData(&event);
            }
        }
        elapsed += clock.sample();
        game->Update();
        game->Render(TvDrawMissionResult, reinterpret_cast<void*>(uintptr_t(elapsed)));
        show_game_frame();
        tvfe::TvUpdateSounds();
    }
}

// Step 12: the menus' music and sounds fade back in.
void fade_back_to_menus() {
    TvMenuState& m = TvMenus();
    m.mission_loaded = 0;
    tvfe::TvSetChannelVolume("InGame", 0.0f);
    tvfe::TvStopMusic();
    tvfe::TvStopAllSounds();
    tvfe::TvSetMusicVolume(0.0f);
    tvfe::TvSelectMusic(0);
    tvfe::TvStartMusic();
    TvFrameClock clock;
    for (uint32_t t = 0; t < TV_MENU_FADE_IN_MS && !TvGetQuitFlag();) {
        TvPumpWindowMessages();
        t = std::min(t + clock.sample(), TV_MENU_FADE_IN_MS);
        const float share = float(t) / float(TV_MENU_FADE_IN_MS);
        tvfe::TvSetMusicVolume(m.music_volume * share);
        tvfe::TvSetChannelVolume("InMenu", m.effects_volume_menu * share);
    }
    // A close request cut the fade short: the menus end at full volume anyway.
    tvfe::TvSetMusicVolume(m.music_volume);
    tvfe::TvSetChannelVolume("InMenu", m.effects_volume_menu);
}

// A won campaign mission moves the pilot on; the page that follows.
std::string book_victory(ITvGame* game, TvPilotRecord* pilot) {
    const TvMenuState& m = TvMenus();
    if (!pilot || !m.campaign_mode) return TV_VICTORY_PAGE;
    if (int32_t* mission = TvCurrentCampaignMission()) ++*mission;
    pilot->score += game->GetMissionResult();
    if (m.current_campaign == 0 && m.allied_mission >= 1 && m.allied_mission <= 10)
        pilot->allied_complete[m.allied_mission - 1] = 1;
    if (m.current_campaign == 1 && m.central_mission >= 1 && m.central_mission <= 10)
        pilot->central_complete[m.central_mission - 1] = 1;
    if (m.allied_mission == 11) return TV_CONGRATULATIONS_PAGE;
    return m.current_campaign == 1 ? TV_CENTRAL_VICTORY_PAGE : TV_ALLIED_VICTORY_PAGE;
}

// Steps 14 and 15.
void book_result(ITvGame* game, int32_t outcome) {
    TvMenuState& m = TvMenus();
    TvPilotRecord* pilot = TvCurrentPilot();
    if (pilot) ++pilot->times_played;
    std::string page;
    if (outcome == TV_OUTCOME_ACCOMPLISHED) {
        page = book_victory(game, pilot);
        if (pilot) pilot->times_on_last_mission = 0;
    } else {
        if (pilot) ++pilot->times_on_last_mission;
        page = TV_DEFEAT_PAGE;
    }
    TvPlayerScore score{};
    game->GetLocalPlayerScore(&score);
    m.mission_brit_kills = score.kills_side_a;
    m.mission_german_kills = score.kills_side_b;
    m.mission_shots_fired = score.shots_fired;
    m.mission_shots_on_target = score.hits_scored;
    if (pilot) {
        pilot->brit_kills += score.kills_side_a;
        pilot->german_kills += score.kills_side_b;
        pilot->kills += score.kills_side_a + score.kills_side_b;
        pilot->shots_fired += score.shots_fired;
        pilot->shots_on_target += score.hits_scored;
        // The roster is written after every finished mission, whatever its outcome.
        TvSavePilots();
    }
    TvSetLink(page);
}

// The menu browser's fonts, images and pages are let go before a mission loads and again when
// it ends, so neither the mission nor the menus after it carry the other's.
void clear_browser_caches() {
    IHTMLBrowser* browser = TvGetMenuBrowser();
    if (!browser) return;
    browser->ClearCaches();
    TvTraceStep("browser caches cleared");
}

} // namespace

OmResult TvRunSinglePlayerMission(int32_t mission) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    TvMenuState& m = TvMenus();
    LgTextureSetMipmapping(1);
    LgTextureSetAutoMipmapping(1);
    record.mission_number = mission;
    record.viewport_count = 1; // the new-session word
    if (IHTMLPage** status = TvGetStatusPageSlot(); *status) {
        (*status)->Release();
        *status = nullptr;
    }
    clear_browser_caches();
    last_outcome = 0;

    show_loading_page();
    const SavedDifficulty saved = apply_difficulty(mission);

    ITvGame* game = single_player_game();
    if (!game) {
        restore_difficulty(saved);
        TvApplyVideoMode(0);
        restart_menu_music();
        return OM_E_FAIL;
    }
    if (TvGetLastMissionCreated() != 0) game->Destroy();
    ensure_frame_rasters();
    if (mission != TvGetLastMissionCreated()) {
        record.viewport_count = 1;
        record.placed_player_count = 0;
    }
    const OmResult created = game->Create(&record);
    // Damaged data files met while the mission was made end the program, whatever Create said.
    const bool damaged = TvEndOverDamagedFiles();
    if (created < 0 || damaged) {
        // Nothing was flown: the menus come back in their own mode with their music.
        TvSetLastMissionCreated(0);
        m.mission_loaded = 0;
        restore_difficulty(saved);
        if (damaged) return OM_E_FAIL;
        TvApplyVideoMode(0);
        restart_menu_music();
        return created;
    }
    TvSetLastMissionCreated(mission);
    m.mission_loaded = 1;
    TvAddMasterListHoles(game, TvGetTestHooks().master_list_holes);

    fade_into_game(game);
    last_outcome = run_frames(game);
    if (!TvGetQuitFlag()) run_result_frames(game);
    fade_back_to_menus();
    clear_browser_caches();
    restore_difficulty(saved);
    book_result(game, last_outcome);
    if (TvGetCurrentMode() != 0) TvApplyVideoMode(0);
    return OM_S_OK;
}

void TvDrawMissionResult(LgRaster*, void*) {
    ITvGame* game = TvGetGameComponent();
    if (!game) return;
    set_state(6, 0);
    set_state(4, 0);
    set_state(13, 0);
    set_state(1, 0);
    set_state(11, 1);
    const char* key = TvOutcomeStringKey(last_outcome);
    const std::string text = key ? TvGetLanguageString(key) : std::string();
    const float y = float(tvfe::TvGetScreenHeight() / 2 - result_text_offset);
    game->DrawCentredText(y, text.c_str(), 0);
    set_state(6, 1);
    set_state(4, 1);
}

void TvDrawInGameOverlay(LgRaster*, void*) {}

const char* TvOutcomeStringKey(int32_t outcome) {
    switch (outcome) {
    case TV_OUTCOME_ACCOMPLISHED: return "missionaccomplished";
    case TV_OUTCOME_FAILED: return "missionfailed";
    case TV_OUTCOME_PLANE_DESTROYED: return "planedestroyed";
    case TV_OUTCOME_CRITICAL: return "missioncritical";
    case TV_OUTCOME_OUT_OF_TIME: return "outoftime";
    case TV_OUTCOME_ABORTED: return "missionaborted";
    default: return nullptr;
    }
}

int32_t TvGetLastOutcome() {
    return last_outcome;
}

int32_t TvGetPilotCampaignWord() {
    return pilot_campaign_word;
}

int32_t TvGetPilotFailuresWord() {
    return pilot_failures_word;
}

int32_t TvGetLastMissionPlayed(int32_t slot) {
    return slot >= 0 && slot < TV_PILOT_SLOTS ? last_mission_played[slot] : 0;
}

void TvForgetMissionsPlayed() {
    std::fill(std::begin(last_mission_played), std::end(last_mission_played), 0);
}
