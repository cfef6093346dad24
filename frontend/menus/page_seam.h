// The menus as the rest of the front end reaches them: running a page with a time-out, the
// status page a network search counts down on, and tearing the menu display down and up
// around a change of video mode or renderer. The menu browser installs its functions here;
// without it a page shows nothing and waits out its time-out (or the user's close request).
#pragma once

#include <cstdint>
#include <string>

inline constexpr char TV_TIMEOUT_LINK[] = "command:timeout";
inline constexpr char TV_QUIT_LINK[] = "command:quit";

struct TvPageHooks {
    // Shows the page and runs the page loop on it; the link that ended it.
    std::string (*run_page)(const char* page, uint32_t timeout_ms);
    // Shows the page with its countdown (a network search).
    void (*show_status_page)(const char* page, int32_t seconds);
    // The menu browser and the menu camera released (before the engine stops).
    void (*release_menu_display)();
    // The menu camera set up for the screen size at 16 bits, the menu browser, and the image
    // readers registered again (after the engine started).
    void (*set_up_menu_display)();
};

// Installs the hooks (copied); null restores the defaults.
void TvInstallPageHooks(const TvPageHooks* hooks);

std::string TvRunPage(const char* page, uint32_t timeout_ms);
void TvShowStatusPage(const char* page, int32_t seconds);
void TvReleaseMenuDisplay();
void TvSetUpMenuDisplay();
