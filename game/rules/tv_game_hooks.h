// Entry points of game modules the game component calls but does not own (the control
// bindings). Their module installs them at start-up; without them the step is skipped.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct ITvGame;
struct ITvObject;

struct TvGameHooks {
    // Installs the Control.ini bindings of a player slot on its plane.
    OmResult (*install_control_bindings)(ITvGame* game, ITvObject* plane, int32_t slot);
};

// Installs the table (copied); null clears it.
void TvInstallGameHooks(const TvGameHooks* hooks);
const TvGameHooks& TvGameModuleHooks();
