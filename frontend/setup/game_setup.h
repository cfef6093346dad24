// Game set-up: after video has started, the long-lived objects of the front end and the game
// are made and the settings every mission is created from are read.
#pragma once

#include "framework/core/result_codes.h"
#include "frontend/settings/program_settings.h"

struct IPropertySheet;

inline constexpr char TV_SETUP_ERROR_TITLE[] = "The Aerovant";
inline constexpr char TV_SETUP_NO_SETTINGS_TEXT[] = "Couldn't open aerovant.ini file properly";

// 0, or OM_E_FAIL (without a settings sheet: a message box says so).
OmResult TvSetUpGame(IPropertySheet* sheet);
// Releases what set-up made.
void TvReleaseGameSetUp();

// The settings sheet kept by set-up (no reference added), or null.
IPropertySheet* TvGetSettingsSheet();
// The settings read by set-up.
const TvGameSetupSettings& TvGetGameSetupSettings();
