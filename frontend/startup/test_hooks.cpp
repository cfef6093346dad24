// Test hooks from the environment.
#include "frontend/startup/test_hooks.h"

#include "platform/clock.h"
#include "platform/paths.h"

#include <cstdlib>
#include <cstring>

namespace {

TvTestHooks hooks;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

void TvApplyTestHooks() {
    hooks = {};
    hooks.program_dir = variable("CORVEL_PROGRAM_DIR");
    const std::string clock = variable("CORVEL_VIRTUAL_CLOCK");
    hooks.virtual_clock = clock == "1" || clock == "true" || clock == "yes";
    hooks.input_playback = variable("CORVEL_INPUT_PLAYBACK");
    if (!hooks.program_dir.empty()) platform::set_program_dir(hooks.program_dir);
    if (hooks.virtual_clock) platform::use_virtual_clock(true);
}

const TvTestHooks& TvGetTestHooks() {
    return hooks;
}
