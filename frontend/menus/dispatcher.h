// The menu command dispatcher: executes the link in the link buffer (a settings change, a
// page, a pilot operation, a mission, a multiplayer session, a lobby message or quit).
#pragma once

#include "framework/core/result_codes.h"

// OM_E_FAIL for "command:quit" (the front end ends), else 0.
OmResult TvDispatchLink();
