// The single-player mission: loading page and music fade, the game session (re)created from
// the settings record, the frame loop with its pause page, the result frames with the outcome
// text, the way back to the menus, and the result booked into the pilot's record.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <string>

struct LgRaster;

// Outcome codes the result frames name.
inline constexpr int32_t TV_OUTCOME_ACCOMPLISHED = 0x10;
inline constexpr int32_t TV_OUTCOME_FAILED = 0x20;
inline constexpr int32_t TV_OUTCOME_PLANE_DESTROYED = 0x21;
inline constexpr int32_t TV_OUTCOME_CRITICAL = 0x22;
inline constexpr int32_t TV_OUTCOME_OUT_OF_TIME = 0x24;
inline constexpr int32_t TV_OUTCOME_ABORTED = 0x30;

inline constexpr uint32_t TV_RESULT_FRAMES_MS = 2500;
inline constexpr uint32_t TV_MUSIC_FADE_OUT_MS = 1500;
inline constexpr uint32_t TV_GAME_FADE_IN_MS = 1000;
inline constexpr uint32_t TV_MENU_FADE_IN_MS = 1500;
inline constexpr int32_t TV_LOADING_PASSES = 50;

inline constexpr char TV_VICTORY_PAGE[] = "menus\\victory.html";
inline constexpr char TV_DEFEAT_PAGE[] = "menus\\defeat.html";
inline constexpr char TV_CONGRATULATIONS_PAGE[] = "menus\\congratulations.html";
inline constexpr char TV_ALLIED_VICTORY_PAGE[] = "menus\\allied_victory.html";
inline constexpr char TV_CENTRAL_VICTORY_PAGE[] = "menus\\central_victory.html";

// Runs mission n and leaves its result page in the link buffer. 0; OM_E_FAIL when no game
// component can be made; the game's Create failure.
OmResult TvRunSinglePlayerMission(int32_t mission);

// Render callbacks: the outcome's text centred on the camera raster during the result frames
// (context: the elapsed milliseconds); nothing during the mission.
void TvDrawMissionResult(LgRaster* raster, void* context);
void TvDrawInGameOverlay(LgRaster* raster, void* context);

// The language-string key of an outcome, or null for outcomes without a text.
const char* TvOutcomeStringKey(int32_t outcome);
// The outcome of the last mission run (0 before any).
int32_t TvGetLastOutcome();

// The two words the game reads about the pilot: its current campaign and its failures on the
// mission it is flying.
int32_t TvGetPilotCampaignWord();
int32_t TvGetPilotFailuresWord();
// The mission the pilot played last (not saved; 0 none).
int32_t TvGetLastMissionPlayed(int32_t slot);
void TvForgetMissionsPlayed();
