// Headless switch: window, input and audio stand-ins run without a display or audio device.
#pragma once

namespace platform {

// True when the program runs without a display and audio device. Read once from the
// environment variable CORVEL_HEADLESS ("1", "true" or "yes"), or set by set_headless().
bool headless();

// Forces headless mode on or off (tests call this before anything opens a window).
void set_headless(bool on);

} // namespace platform
