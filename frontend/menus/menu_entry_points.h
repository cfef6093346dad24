// What the dispatcher starts that lives outside the menus: the single-player mission, the
// multiplayer session, pilot creation and the pilots file, the server-address entry, control
// capture and the credits. Each is installed by the part of the front end that owns it; until
// then its default writes one error-log line and answers OM_E_FAIL (the dispatcher then shows
// what it would show after a failure).
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct TvMenuEntryPoints {
    // Runs single-player mission n; leaves the next page in the link buffer.
    OmResult (*play_mission)(int32_t mission);
    // Runs a multiplayer session with the server address (null: the configured one); leaves
    // the next page in the link buffer.
    OmResult (*run_multiplayer)(const char* address);
    // Creates pilot n (1..7) through its name-entry page; OM_E_FAIL when cancelled.
    OmResult (*create_pilot)(int32_t pilot);
    // Writes the roster to characters.ini.
    OmResult (*save_pilots)();
    // Takes the server address on its entry page; 0 when entered.
    OmResult (*enter_server_address)();
    // Captures a control into the settings section: up flag, kind (1 single, 2 axis).
    OmResult (*capture_control)(const char* section, int32_t up, int32_t kind);
    // Shows the credits pages; leaves the next page current.
    OmResult (*show_credits)();
};

// Installs the entry points (copied; null members keep their defaults); null restores all.
void TvInstallMenuEntryPoints(const TvMenuEntryPoints* entry_points);

OmResult TvPlayMission(int32_t mission);
OmResult TvRunMultiplayer(const char* address);
OmResult TvCreatePilot(int32_t pilot);
OmResult TvSavePilots();
OmResult TvEnterServerAddress();
OmResult TvCaptureControl(const char* section, int32_t up, int32_t kind);
OmResult TvShowCredits();
