// Pages that run outside the page loop around a mission: the loading screen and its progress
// bar, countdown pages, the credits and the single-player pause menu.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <string>

inline constexpr char TV_PAUSE_PAGE[] = "Menus\\pause.html";
inline constexpr char TV_LOADING_PAGE[] = "menus\\loading.html";
inline constexpr char TV_MAIN_PAGE[] = "menus\\main.html";
inline constexpr int32_t TV_CREDITS_PAGES = 7;

// The loading page of the current campaign: "missions\<allied|central>\loading%d.html" with
// the campaign's mission number (missions above 5 use the number minus 5), or
// "missions\tutorials\loading%d.html" with the training mission.
std::string TvCampaignLoadingPage();

// The name of the page these operations showed last.
const std::string& TvGetShownPageName();
void TvSetShownPageName(const std::string& name);

// Draws the loading page with its progress bar when the progress moved on by 0.05 or more, or
// went back (a new load). The game's loader calls it.
void TvDrawLoadingProgress(float progress);
// The progress last drawn (0 at start).
float TvGetLoadingProgressDrawn();
void TvResetLoadingProgress();

// Shows the page for `ms` milliseconds, counting the whole seconds left down in the menus'
// continue countdown. No input is read.
OmResult TvShowCountdownPage(const char* name, uint32_t ms);

// The seven credits pages, 5000 ms each (Escape ends the sequence after the page shown); then
// the main page.
OmResult TvRunCredits();

// The pause menu of a single-player mission ("command:restart" restarts the mission,
// "command:abort" ends it with outcome 48); in a multiplayer session only the pause request
// is raised.
OmResult TvRunPauseMenu();
// Raised by TvRunPauseMenu in a multiplayer session; the multiplayer loop takes it.
bool TvTakeMultiplayerPauseRequest();
