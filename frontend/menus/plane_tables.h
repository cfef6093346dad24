// The planes a player can fly: availability bits, display names and descriptions by plane id
// (ids compare exactly, case included).
#pragma once

#include <cstdint>

// The plane's bit ANDed with the settings record's available-planes mask; 0 for an unknown id.
uint32_t TvIsPlaneAvailable(const char* id);
// The display name; "" for an unknown id.
const char* TvGetPlaneName(const char* id);
// The description (an HTML fragment); "" for an unknown id.
const char* TvGetPlaneDescription(const char* id);
