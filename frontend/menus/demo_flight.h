// The engine's demo flight on the started video: terrain, biplanes and smoke, flown until the
// window closes, Esc is pressed or the frame count runs out.
#pragma once

#include "framework/core/result_codes.h"

// Frames to show (-1: until the user leaves; headless then 120). 0, or OM_E_FAIL when the
// scene cannot be built or drawn (a message box says why).
OmResult TvFlyDemo(long frames);

// Frames shown by the last flight.
long TvDemoFramesShown();
