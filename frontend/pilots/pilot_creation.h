// A new pilot: its slot prepared, its name typed on the name-entry page and the roster saved.
#pragma once

#include "framework/core/result_codes.h"

#include <cstddef>
#include <cstdint>

// Creates pilot n (1..7; 0 counts as 1). 0 when the name was entered (the roster is saved);
// OM_E_FAIL when the entry was cancelled (the slot is left empty).
OmResult TvRunCreatePilot(int32_t n);

// The name split at its last blank into forenames and sirname (the whole name is the sirname
// when there is no blank).
void TvSplitPilotName(const char* name, char* forenames, size_t forenames_size, char* sirname,
                      size_t sirname_size);
