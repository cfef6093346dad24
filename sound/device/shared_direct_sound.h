// The program's one DirectSound object: the given one, else the one registered program-wide,
// else a new one at a cooperative level for the window, registered program-wide.
#pragma once

#include "framework/core/result_codes.h"
#include "platform/audio/dsound.h"

// `given` may be null; `out` gets one reference. The query's or DirectSound's failure.
OmResult OmSharedDirectSound(IUnknown* given, void* window, uint32_t level, IDirectSound** out);
