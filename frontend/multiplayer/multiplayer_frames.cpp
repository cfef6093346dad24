// The multiplayer frame loop and its pause overlay.
#include "frontend/multiplayer/multiplayer_frames.h"

#include "engine/core/lg_camera.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_resources.h"
#include "framework/platform/profile.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/multiplayer/lobby_internal.h"
#include "frontend/multiplayer/session_context.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/frame_clock.h"
#include "frontend/single/mission_pages.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/stage_log.h"
#include "frontend/video/video_startup.h"
#include "game/rules/tv_game.h"
#include "game/world/tv_object.h"
#include "media/input/input.h"
#include "net/client/om_aerovant_client.h"
#include "platform/clock.h"
#include "platform/window/event_hub.h"

#include <algorithm>

namespace {

constexpr uint32_t escape_key = 0x80;
constexpr uint32_t key_q = 0x51;
constexpr uint32_t key_q_lower = 0x71;
constexpr uint32_t status_value = 517;
constexpr uint16_t disconnected_message = 48;
constexpr uint32_t session_lost_event = 3;
constexpr int32_t status_in_lobby = 7;
// Engine render states the overlay turns off while it draws.
constexpr int32_t state_fog = 11;
constexpr int32_t state_texture = 1;

bool overlay = false;
bool overlay_page_loaded = false;
int32_t highest_arena_use = 0;
TvMultiplayerFrameObserver frame_observer = nullptr;

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

void mark(IProfile* profiler, const char* stage) {
    if (profiler) profiler->Sample(stage);
    TvStageLogMark(stage);
}

// The client game's handlers, through the session's view of it.
OmResult game_message(void* context, uint32_t, IBinaryStreamComposer* packet, uint16_t type,
                      uint16_t flags) {
    auto* s = static_cast<TvMultiplayerSession*>(context);
    if (!s || !s->game) return OM_E_FAIL;
    const OmResult r = s->game->handle_message(packet, type, flags);
    TvLobbyNoteLocalPlane(*s);
    // The server's disconnection ends the match after this frame whatever the game made of it.
    if (type == disconnected_message) s->end_flags |= TV_END_DISCONNECTED;
    return r;
}

OmResult game_system_event(uintptr_t context, OmTransportMessage* event) {
    auto* s = reinterpret_cast<TvMultiplayerSession*>(context);
    if (!s || !event) return OM_E_FAIL;
    if (s->game) s->game->system_event(event);
    TvLobbyNoteLocalPlane(*s);
    // A lost session ends the match as a disconnection does.
    if (event->kind == session_lost_event) {
        s->end_flags |= TV_END_DISCONNECTED;
        s->leave_page = 1;
    }
    // A refusing callback would stop the queue's receiving for the rest of the pump.
    return OM_S_OK;
}

// The pause page of a match is the overlay: the match goes on under it. (The pause page
// routine would only raise this request for a client game.)
void raise_overlay() {
    TvTakeMultiplayerPauseRequest();
    overlay = true;
}

// Alt and Tab: the player switched away; the match goes on, the overlay is up on return.
void task_switch() {
    tvfe::TvPauseMusic();
    tvfe::TvStopAllSounds();
    TvWaitWhileUnfocused(TvPumpWindowMessages);
    raise_overlay();
    TvMenus().alt = 0;
    tvfe::TvStartMusic();
}

void read_input(TvMultiplayerSession& s, ITvGame* game) {
    IInput* input = TvGetInput();
    if (!input) return;
    TvMenuState& m = TvMenus();
    const uint16_t keyboard = TvGetKeyboardDevice();
    input->Poll();
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (keyboard != 0 && event.source == keyboard) {
            const bool alt = event.value == TV_KEY_LEFT_ALT || event.value == TV_KEY_RIGHT_ALT;
            const bool q = event.value == key_q || event.value == key_q_lower;
            if (event.code == TV_KEY_DOWN && alt) {
                m.alt = 1;
            } else if (event.code == TV_KEY_UP && alt) {
                m.alt = 0;
            } else if (event.code == TV_KEY_DOWN && event.value == TV_KEY_TAB && m.alt) {
                task_switch();
            } else if (event.code == TV_KEY_UP && q && overlay) {
                overlay = false;
                // A finish or a disconnection taken this frame ends the match as it is: the
                // quit, too late, neither hides it nor costs a kill.
                if (s.end_flags == 0) {
                    s.end_flags = TV_END_QUIT;
                    tvfe::TvStopAllSounds();
                }
            } else if (event.code == TV_KEY_UP && event.value == escape_key) {
                const bool typing = s.game && s.game->chat_active();
                if (!overlay && !typing)
                    raise_overlay();
                else
                    overlay = false;
            }
        }
        game->HandleInput(&event);
        if (event.length) input->FreeEventData(&event);
    }
}

bool close_requested() {
    return platform::message_queued(platform::WM_CLOSE) ||
           platform::message_queued(platform::WM_QUIT);
}

} // namespace

OmResult TvRunMultiplayerFrames() {
    TvMultiplayerSession& s = TvGetMultiplayerSession();
    ITvGame* game = s.game ? s.game->game() : nullptr;
    IOmAerovantClient* client = TvGetNetworkClient();
    if (client) {
        client->SetMessageHandler(game_message, &s);
        client->SetQueueCallback(game_system_event, reinterpret_cast<uintptr_t>(&s));
    }
    s.end_flags = 0;
    s.leave_page = 0;
    overlay = false;
    overlay_page_loaded = false;
    TvMenus().alt = 0;
    if (!game) return OM_S_OK;
    IProfile* profiler = TvGetProfiler();
    TvFrameClock clock;
    for (long frame = 0; s.end_flags == 0 && !s.leave_page && !TvGetQuitFlag(); ++frame) {
        // Messages are not pumped here; a close request waiting for the pump ends the match.
        if (close_requested()) {
            TvSetQuitFlag(1);
            break;
        }
        if (profiler) profiler->BeginFrame();
        TvStageLogBeginFrame();
        s.end_flags = game->GetOutcome();
        if (client) client->Poll(0);
        read_input(s, game);
        mark(profiler, "Input");
        const InputEvent tick{TV_TIMER_DEVICE, TV_TIMER_CODE, 12, clock.sample()};
        game->HandleInput(&tick);
        game->Update();
        mark(profiler, "Game update");
        game->Render(TvDrawMultiplayerPause, &s);
        mark(profiler, "Draw Profile");
        tvfe::TvUpdateSounds();
        highest_arena_use = std::max(highest_arena_use, LgResourcesGetArenaUsed());
        show_game_frame();
        mark(nullptr, "Show");
        TvStageLogCountLive(game);
        if (profiler) profiler->EndFrame();
        if (frame_observer) frame_observer(frame);
    }
    overlay = false;
    if (s.game) {
        if (ITvObject* plane = s.game->player_plane(s.local_slot))
            plane->SetProperty(status_value, uintptr_t(status_in_lobby));
    }
    if (s.end_flags == TV_END_QUIT) {
        const TvMenuState& m = TvMenus();
        tvfe::TvSetChannelVolume("InGame", 0.0f);
        tvfe::TvSelectMusic(0);
        tvfe::TvSetMusicVolume(m.music_volume);
        tvfe::TvStartMusic();
        if (s.game) s.game->deduct_kill(s.local_slot);
    }
    return OM_S_OK;
}

void TvDrawMultiplayerPause(LgRaster*, void*) {
    if (!overlay) return;
    LgRenderStateSet(state_fog, nullptr);
    LgRenderStateSet(state_texture, nullptr);
    if (!overlay_page_loaded) {
        TvShowPage(TV_MP_PAUSE_PAGE);
        overlay_page_loaded = true;
    }
    TvDrawPage();
    LgRenderStateSet(state_fog, reinterpret_cast<void*>(uintptr_t(1)));
}

bool TvMultiplayerPauseShown() {
    return overlay;
}

void TvSetMultiplayerFrameObserver(TvMultiplayerFrameObserver observer) {
    frame_observer = observer;
}
