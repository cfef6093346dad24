// Video modes and renderer choice at run time: the menus run in entry 0 of the mode list and
// missions in the configured mission mode; a mode or renderer switch discards the game
// session, tears the menu display down, restarts the engine and builds the display again.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

inline constexpr char TV_VIDEO_MODES_PAGE[] = "menus\\videomodes.html";
inline constexpr uint32_t TV_VIDEO_MODES_TIMEOUT_MS = 10000;

// The mode-list index missions use ([graphics] "mode", kept with the pilot).
int32_t TvGetConfiguredMissionMode();
void TvSetConfiguredMissionMode(int32_t mode);

// Switches to `mode` (nothing happens when it is the current mode). 0; OM_E_FAIL when the mode
// did not start (the previous mode is started again).
OmResult TvApplyVideoMode(int32_t mode);
// Tries `mode` while the confirmation page shows, then returns to the menus' mode. 0 when the
// user confirmed it (it becomes the configured mission mode), OM_E_FAIL when the page timed
// out or was left by a close request, or when the mode did not start (the page then shows the
// previous mode and nothing is configured).
OmResult TvChooseVideoMode(int32_t mode);
// Switches the rendering sub-system and starts its first 640 x 480 16-bit mode (entry 0 when
// it has none). 0; OM_E_FAIL when nothing of the renderer starts (the previous renderer and
// mode are started again and the settings keep them) or when the renderer is not one of the
// list (nothing changes).
OmResult TvChooseRenderer(int32_t renderer);
