// The menu command dispatcher: executes the link in the link buffer (a settings change, a
// page, a pilot operation, a mission, a multiplayer session, a lobby message or quit).
#pragma once

#include "framework/core/result_codes.h"

// OM_E_FAIL for "command:quit" (the front end ends), else 0.
OmResult TvDispatchLink();

// The control layout file loaded into the settings sheet ("controldefault:"): the control
// type, [globalcontrol] "type", the ten player control sections replaced by the file's.
// OM_E_FAIL (sheet unchanged, no page loaded) when the file cannot be opened or read.
OmResult TvLoadControlLayout(const char* file);
