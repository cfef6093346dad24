// The menus' page functions and their defaults.
#include "frontend/menus/page_seam.h"

#include "engine/core/lg_image.h"
#include "framework/platform/os_service.h"
#include "frontend/setup/window_hook.h"
#include "frontend/startup/window_components.h"
#include "game/world/om_lg_renderer.h"
#include "platform/clock.h"

namespace {

TvPageHooks hooks{};

// Without the menus: the window is pumped and the time-out waited out on the program's clock;
// a close request ends the wait.
std::string wait_out_page(uint32_t timeout_ms) {
    const uint32_t start = platform::timeGetTime();
    for (;;) {
        if (IOmOS* os = TvGetOS()) {
            os->Pump();
            if (os->IsQuitRequested()) TvSetQuitFlag(1);
        }
        if (TvGetQuitFlag()) return TV_QUIT_LINK;
        if (platform::timeGetTime() - start >= timeout_ms) return TV_TIMEOUT_LINK;
        platform::Sleep(10);
    }
}

} // namespace

void TvInstallPageHooks(const TvPageHooks* installed) {
    hooks = installed ? *installed : TvPageHooks{};
}

std::string TvRunPage(const char* page, uint32_t timeout_ms) {
    return hooks.run_page ? hooks.run_page(page, timeout_ms) : wait_out_page(timeout_ms);
}

void TvShowStatusPage(const char* page, int32_t seconds) {
    if (hooks.show_status_page) hooks.show_status_page(page, seconds);
}

void TvReleaseMenuDisplay() {
    if (hooks.release_menu_display) hooks.release_menu_display();
}

void TvSetUpMenuDisplay() {
    if (hooks.set_up_menu_display) {
        hooks.set_up_menu_display();
        return;
    }
    // The engine's BMP reader and the game's JPEG reader are registered again whatever else
    // the menus do.
    LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr);
    LgImageRegisterFileFormat("jpg", TvLoadImageRaster, nullptr);
}
