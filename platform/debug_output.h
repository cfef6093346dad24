// The debugger's output channel. Text written here reaches a debugger watching the program;
// without one it goes nowhere, as it does on a desktop system, so a user's terminal never
// sees it. CORVEL_DEBUG_OUTPUT=1 in the environment stands in for a debugger (standard error).
#pragma once

namespace platform {

// Hands the text to the debugger (standard error while one watches), else drops it.
void debug_output(const char* text);

// Whether debug output goes anywhere: a tracing debugger is attached or the environment asks
// for it. Read each time, so a debugger attached later is found.
bool debug_output_watched();

} // namespace platform
