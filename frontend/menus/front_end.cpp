// The front-end loop, the title page and the page functions the rest of the front end uses.
#include "frontend/menus/front_end.h"

#include "engine/core/lg_image.h"
#include "framework/platform/os_service.h"
#include "framework/platform/timer.h"
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/page_loop.h"
#include "frontend/menus/page_seam.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/damaged_files.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"
#include "game/world/om_lg_renderer.h"
#include "media/input/input.h"
#include "platform/clock.h"
#include "platform/message_box.h"

#include <string>

namespace {

constexpr uint32_t page_timeout_ms = 180000;
constexpr char title_page[] = "menus\\titlescreen.html";
constexpr char error_title[] = "Aerovant Error";

std::string run_page_hook(const char* page, uint32_t timeout_ms) {
    TvSetLink(page);
    TvShowPage(page);
    TvRunPage(TvMenus().link, timeout_ms);
    return TvGetQuitFlag() ? std::string(TV_QUIT_LINK) : TvMenus().link;
}

void show_status_hook(const char* page, int32_t seconds) {
    TvShowNetStatusPage(page, seconds);
}

void set_up_hook() {
    TvSetUpMenuVideo();
}

// The milliseconds since the last sample: the game's timer when there is one.
class PageClock {
public:
    PageClock() : last_(platform::timeGetTime()) {
        if (ITimer* timer = TvGetTimer()) timer->Update();
    }
    uint32_t step() {
        if (ITimer* timer = TvGetTimer()) {
            timer->Update();
            return timer->GetDeltaMs();
        }
        const uint32_t now = platform::timeGetTime();
        const uint32_t delta = now - last_;
        last_ = now;
        return delta;
    }

private:
    uint32_t last_;
};

bool key_pressed() {
    IInput* input = TvGetInput();
    if (!input) return false;
    input->Poll();
    bool pressed = false;
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (event.length) input->FreeEventData(&event);
        if (event.source == TvGetKeyboardDevice() && event.code == TV_KEY_DOWN) pressed = true;
    }
    return pressed;
}

} // namespace

void TvInstallMenuPageHooks() {
    static const TvPageHooks hooks{run_page_hook, show_status_hook, TvReleaseMenuVideo,
                                   set_up_hook};
    TvInstallPageHooks(&hooks);
}

OmResult TvShowTimedPage(const char* name, uint32_t ms) {
    TvShowPage(name);
    PageClock clock;
    for (uint32_t elapsed = 0; elapsed < ms;) {
        if (IOmOS* os = TvGetOS()) {
            os->Pump();
            if (os->IsQuitRequested()) TvSetQuitFlag(1);
        }
        if (TvGetQuitFlag() || key_pressed()) break;
        elapsed += clock.step();
        TvDrawPage();
        TvShowMenuFrame(false);
        TvCountMenuFrame();
        if (!TvGetMenuCamera()) platform::Sleep(10);
    }
    return OM_S_OK;
}

OmResult TvShowTitleScreen() {
    tvfe::TvSetMusicVolume(TvMenus().music_volume);
    tvfe::TvSelectMusic(0);
    tvfe::TvStartMusic();
    return TvShowTimedPage(title_page, 5000);
}

OmResult TvRunFrontEnd(const char* start_command) {
    TvResetMenuState();
    TvResetMenuPassCount();
    TvMenuState& m = TvMenus();
    const TvGameSetupSettings& settings = TvGetGameSetupSettings();
    m.music_volume = settings.volumes[0];
    m.effects_volume_game = settings.volumes[1];
    m.effects_volume_menu = settings.volumes[2];
    m.sensitivity[0] = settings.pitch_sensitivity;
    m.sensitivity[1] = settings.roll_sensitivity;
    m.sensitivity[2] = settings.throttle_sensitivity;
    TvInstallMenuPageHooks();

    OmResult r = TvSetUpMenuCamera(tvfe::TvGetScreenWidth(), tvfe::TvGetScreenHeight(), 16);
    LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr);
    LgImageRegisterFileFormat("jpg", TvLoadImageRaster, nullptr);
    if (r >= 0) r = TvSetUpMenuBrowser();
    if (r < 0) {
        // Without the menu objects there is nothing to show: the program ends.
        platform::message_box(error_title, "Couldn't setup HTML browser.");
        TvReleaseMenuVideo();
        return r;
    }
    TvShowTitleScreen();
    if (TvGetCurrentMode() != 0) TvApplyVideoMode(0);

    TvSetLink(start_command ? start_command : "");
    OmResult dispatched = TvGetQuitFlag() ? OM_S_OK : TvDispatchLink();
    while (dispatched >= 0 && !TvGetQuitFlag()) {
        m.current_page = m.link;
        TvRunPage(m.link, page_timeout_ms);
        if (TvGetQuitFlag()) break;
        dispatched = TvDispatchLink();
    }
    // Damaged data files noted during the last dispatch end the program here at the latest.
    TvEndOverDamagedFiles();
    return OM_S_OK;
}
