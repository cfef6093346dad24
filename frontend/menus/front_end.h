// The front end: runs the start-up command, then the menus until the user quits.
#pragma once

#include "framework/core/result_codes.h"

// 0 after a normal end (the user quit or closed the window, or the frame count ran out).
OmResult TvRunFrontEnd(const char* start_command);
