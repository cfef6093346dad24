// characters.ini: the pilot roster read at game set-up and written back after every change,
// and the mission video mode kept with the pilots.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

inline constexpr char TV_PILOTS_FILE_NAME[] = "characters.ini";

// Reads characters.ini into the roster. OM_E_FAIL, the roster unchanged, when the file cannot
// be opened or read as a property sheet.
OmResult TvLoadPilots();
// Writes the roster whole (an empty slot 0 is first filled from the first used slot).
// OM_E_FAIL, the file untouched, when it cannot be written.
OmResult TvWritePilotsFile();

// The side a favourite plane flies for: TV_SIDE_ALLIED for the allied planes (with or without
// the network kinds' "multi" prefix), else TV_SIDE_CENTRAL.
int32_t TvSideOfPlane(const char* plane);
