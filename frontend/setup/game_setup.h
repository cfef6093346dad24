// Game set-up: after video has started, the long-lived objects of the front end and the game
// are made (the engine camera, input and its Timer, the sound front end, the window hook, the
// network client and the profiler) and the settings record every mission is created from is
// filled from aerovant.ini.
#pragma once

#include "framework/core/result_codes.h"
#include "frontend/settings/program_settings.h"

struct IPropertySheet;
struct IOmAerovantClient;
struct IProfile;
struct LgCamera;

inline constexpr char TV_SETUP_ERROR_TITLE[] = "The Aerovant";
inline constexpr char TV_SETUP_NO_SETTINGS_TEXT[] = "Couldn't open aerovant.ini file properly";
// The profiler's stages and frames of history.
inline constexpr uint32_t TV_PROFILER_STAGES = 32;
inline constexpr uint32_t TV_PROFILER_HISTORY = 100;

// 0 on success, also when the engine camera cannot be created (then nothing else is set up);
// OM_E_FAIL without a settings sheet (a message box says so) or when the window references or
// the network client cannot be had (the error log says which).
OmResult TvSetUpGame(IPropertySheet* sheet);

// Front-end shutdown releases these in its order; TvReleaseGameSetUp releases what is left.
void TvReleaseProfiler();
void TvReleaseNetworkClient();
// The hook is taken off the window and both window references released.
void TvReleaseSetUpWindow();
void TvReleaseGameSetUp();

// The engine camera (the menus' camera) lives only while the engine runs: it is destroyed
// before the engine stops and made again after it started (a mode or renderer switch).
void TvReleaseEngineCamera();
// 0, or OM_E_FAIL when the engine cannot make it.
OmResult TvRecreateEngineCamera();

// Holds `sheet` as the settings sheet (a reference added; the one held before released; null
// holds none). Set-up holds the sheet it is given; code that needs only the settings sheet of
// a set-up game (the settings commands, video-mode switches) can be given one without the rest.
void TvHoldSettingsSheet(IPropertySheet* sheet);
// What set-up holds (no reference added), or null.
IPropertySheet* TvGetSettingsSheet();
LgCamera* TvGetEngineCamera();
IOmAerovantClient* TvGetNetworkClient();
// Holds `client` as the network client in place of the one set-up made (a reference added;
// the one held before is released; null holds none). For harnesses that run the multiplayer
// front end without video and the rest of set-up.
void TvSetNetworkClient(IOmAerovantClient* client);
IProfile* TvGetProfiler();
// The settings read by set-up.
const TvGameSetupSettings& TvGetGameSetupSettings();
