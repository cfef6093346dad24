// The loading screen, countdown pages, credits and the pause menu.
#include "frontend/single/mission_pages.h"

#include "engine/core/lg_camera.h"
#include "framework/core/com_ref.h"
#include "frontend/html/html_browser.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/menus/page_seam.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/frame_clock.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/video/video_startup.h"
#include "game/rules/tv_game.h"
#include "media/display/renderer.h"
#include "media/input/input.h"

#include <cstdio>

namespace {

constexpr uint32_t credits_page_ms = 5000;
constexpr uint32_t escape_key = 0x80;
constexpr char restart_link[] = "command:restart";
constexpr char abort_link[] = "command:abort";
const LgRGBA opaque_black{0, 0, 0, 255};

// The progress bar in page units.
constexpr float bar_left = 122.0f;
constexpr float bar_top = 403.0f;
constexpr float bar_bottom = 424.0f;
constexpr float bar_width = 388.0f;

std::string shown_page;
float progress_drawn = 0.0f;
bool multiplayer_pause_request = false;

std::string format_page(const char* pattern, int32_t n) {
    char text[256];
    std::snprintf(text, sizeof text, pattern, n);
    return text;
}

bool is_client_game(ITvGame* game) {
    IUnknown* client = nullptr;
    if (!game || game->QueryInterface(IID_ITvClientGame, reinterpret_cast<void**>(&client)) < 0 ||
        !client)
        return false;
    client->Release();
    return true;
}

bool vsync() {
    return TvGetGameSettingsRecord().vsync != 0;
}

void draw_progress_bar(float progress) {
    IRenderer* renderer = TvGetMenuRenderer();
    if (!renderer || renderer->BeginScene() < 0) return;
    const float sx = float(tvfe::TvGetScreenWidth()) / TV_PAGE_WIDTH;
    const float sy = float(tvfe::TvGetScreenHeight()) / TV_PAGE_HEIGHT;
    const float right = bar_left + float(int32_t(bar_width * progress));
    const uint32_t white = 0xFFFFFFFF;
    const OmTLVertex quad[4] = {
        {bar_left * sx, bar_top * sy, 1.0f, 1.0f, white, 0, 0.0f, 0.0f},
        {bar_left * sx, bar_bottom * sy, 1.0f, 1.0f, white, 0, 0.0f, 1.0f},
        {right * sx, bar_bottom * sy, 1.0f, 1.0f, white, 0, 1.0f, 1.0f},
        {right * sx, bar_top * sy, 1.0f, 1.0f, white, 0, 1.0f, 0.0f},
    };
    renderer->SetRenderState(OM_RS_TEXTURE, 0);
    renderer->SetRenderState(OM_RS_TEXTURE_PERSPECTIVE, 0);
    renderer->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_FAN, quad, 4, OM_DRAW_DONOTCLIP);
    renderer->SetRenderState(OM_RS_TEXTURE_PERSPECTIVE, 1);
    renderer->EndScene();
}

void update_menu_camera() {
    if (LgCamera* camera = TvGetMenuCamera()) {
        LgCameraBeginUpdate(camera);
        LgCameraEndUpdate(camera);
    }
}

// Keyboard key-down events of one poll: 1 for Escape, 0 for other keys, -1 for none. A blank
// stops the reading for the pass.
int32_t read_credits_keys() {
    IInput* input = TvGetInput();
    if (!input) return -1;
    input->Poll();
    int32_t result = -1;
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (event.length) input->FreeEventData(&event);
        if (event.source != TvGetKeyboardDevice() || event.code != TV_KEY_DOWN) continue;
        if (event.value == escape_key) return 1;
        if (event.value == ' ') return 0;
        result = 0;
    }
    return result;
}

} // namespace

std::string TvCampaignLoadingPage() {
    const TvMenuState& m = TvMenus();
    switch (m.current_campaign) {
    case 0:
        return format_page("missions\\allied\\loading%d.html",
                           m.allied_mission > 5 ? m.allied_mission - 5 : m.allied_mission);
    case 1:
        return format_page("missions\\central\\loading%d.html",
                           m.central_mission > 5 ? m.central_mission - 5 : m.central_mission);
    default: return format_page("missions\\tutorials\\loading%d.html", m.training_mission);
    }
}

const std::string& TvGetShownPageName() {
    return shown_page;
}

void TvSetShownPageName(const std::string& name) {
    shown_page = name;
}

void TvDrawLoadingProgress(float progress) {
    if (!(progress - progress_drawn >= 0.05f || progress < progress_drawn)) return;
    progress_drawn = progress;
    TvDrawPage();
    if (shown_page == TvCampaignLoadingPage() || shown_page == TV_LOADING_PAGE)
        draw_progress_bar(progress);
    TvShowMenuFrame(vsync());
}

float TvGetLoadingProgressDrawn() {
    return progress_drawn;
}

void TvResetLoadingProgress() {
    progress_drawn = 0.0f;
}

OmResult TvShowCountdownPage(const char* name, uint32_t ms) {
    TvFrameClock clock;
    TvMenuState& m = TvMenus();
    for (uint32_t elapsed = 0; elapsed < ms && !TvGetQuitFlag();) {
        if (TvShowPage(name) >= 0) shown_page = name;
        elapsed += clock.sample();
        m.continue_seconds = elapsed < ms ? int32_t((ms - elapsed) / 1000) : 0;
        update_menu_camera();
        TvDrawPage();
        TvShowMenuFrame(vsync());
        TvCountMenuFrame();
    }
    m.continue_seconds = 0;
    return OM_S_OK;
}

OmResult TvRunCredits() {
    if (IInput* input = TvGetInput()) {
        input->Poll();
        input->ClearEvents();
    }
    IHTMLBrowser* browser = TvGetMenuBrowser();
    IRenderer* renderer = TvGetMenuRenderer();
    bool ended = false;
    for (int32_t n = 1; n <= TV_CREDITS_PAGES && !ended && !TvGetQuitFlag(); ++n) {
        // The credits are read from the program directory as they are, without tokens.
        ComRef<IHTMLPage> page;
        const std::string name = format_page("menus\\credits%d.html", n);
        if (browser) browser->LoadPage(name.c_str(), page.put());
        TvFrameClock clock;
        for (uint32_t elapsed = 0; elapsed < credits_page_ms && !TvGetQuitFlag();) {
            TvPumpWindowMessages();
            if (read_credits_keys() == 1) ended = true;
            elapsed += clock.sample();
            if (LgCamera* camera = TvGetMenuCamera())
                LgCameraClear(camera, &opaque_black, LgCameraClearImage | LgCameraClearZ);
            update_menu_camera();
            if (page && renderer && renderer->BeginScene() >= 0) {
                page->Draw(0, 0);
                renderer->EndScene();
            }
            TvShowMenuFrame(vsync());
            TvCountMenuFrame();
        }
    }
    // The menus go on from the main page.
    TvSetLink(TV_MAIN_PAGE);
    TvShowPage(TV_MAIN_PAGE);
    shown_page = TV_MAIN_PAGE;
    return OM_S_OK;
}

OmResult TvRunPauseMenu() {
    ITvGame* game = TvGetGameComponent();
    if (is_client_game(game)) {
        multiplayer_pause_request = true;
        return OM_S_OK;
    }
    tvfe::TvSetChannelVolume("InGame", 0.0f);
    std::string link;
    do {
        shown_page = TV_PAUSE_PAGE;
        link = TvRunPage(TV_PAUSE_PAGE, 0);
    } while (link == TV_PAUSE_PAGE && !TvGetQuitFlag());
    if (game && link == restart_link) game->Restart();
    if (game && link == abort_link) game->ForceOutcome(kTvOutcomeAborted);
    tvfe::TvSetChannelVolume("InGame", TvMenus().effects_volume_game);
    return OM_S_OK;
}

bool TvTakeMultiplayerPauseRequest() {
    const bool requested = multiplayer_pause_request;
    multiplayer_pause_request = false;
    return requested;
}
