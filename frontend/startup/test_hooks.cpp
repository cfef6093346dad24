// Test hooks from the environment.
#include "frontend/startup/test_hooks.h"

#include "platform/audio/capture.h"
#include "platform/clock.h"
#include "platform/paths.h"

#include <cstdio>
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
    hooks.audio_capture = variable("CORVEL_AUDIO_CAPTURE");
    if (!hooks.audio_capture.empty() && !platform::audio::start_capture(hooks.audio_capture))
        std::fprintf(stderr, "corvel: cannot write the audio capture %s\n",
                     hooks.audio_capture.c_str());
}

const TvTestHooks& TvGetTestHooks() {
    return hooks;
}
