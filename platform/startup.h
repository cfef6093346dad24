// Process-wide set-up of the platform layer, done once before anything else runs.
#pragma once

namespace platform {

// Puts the process in the C locale for number parsing and formatting, and reads the headless
// switch. Safe to call more than once.
void startup();

} // namespace platform
