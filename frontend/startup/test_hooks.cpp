// Test hooks from the environment.
#include "frontend/startup/test_hooks.h"

#include "frontend/startup/frame_shots.h"
#include "frontend/startup/stage_log.h"
#include "platform/audio/capture.h"

#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/window/key_script.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

TvTestHooks hooks;

std::string variable(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// Starts the scripted key events of the file; a file that cannot be read or parsed is
// reported and delivers nothing.
void start_key_script(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    if (file.is_open()) text << file.rdbuf();
    std::vector<platform::ScriptedKey> keys;
    std::string error = "cannot be read";
    if (!file.is_open() || !platform::parse_key_script(text.str(), &keys, &error)) {
        std::fprintf(stderr, "corvel: the key script %s: %s\n", path.c_str(), error.c_str());
        return;
    }
    platform::start_key_script(std::move(keys));
}

} // namespace

void TvApplyTestHooks() {
    hooks = {};
    hooks.program_dir = variable("CORVEL_PROGRAM_DIR");
    const std::string clock = variable("CORVEL_VIRTUAL_CLOCK");
    hooks.virtual_clock = clock == "1" || clock == "true" || clock == "yes";
    hooks.input_playback = variable("CORVEL_INPUT_PLAYBACK");
    hooks.frame_shots = variable("CORVEL_FRAME_SHOTS");
    const std::string at = variable("CORVEL_FRAME_SHOT_AT");
    for (size_t start = 0; start < at.size();) {
        size_t end = at.find(',', start);
        if (end == std::string::npos) end = at.size();
        const unsigned long long n =
            std::strtoull(at.substr(start, end - start).c_str(), nullptr, 10);
        if (n) hooks.frame_shot_at.push_back(n);
        start = end + 1;
    }
    TvStartFrameShots(hooks.frame_shots, hooks.frame_shot_at);
    TvStartStageLog(variable("CORVEL_STAGE_LOG"));
    if (!hooks.program_dir.empty()) platform::set_program_dir(hooks.program_dir);
    if (hooks.virtual_clock) platform::use_virtual_clock(true);
    hooks.master_list_holes =
        int32_t(std::strtol(variable("CORVEL_MASTER_LIST_HOLES").c_str(), nullptr, 10));
    hooks.key_script = variable("CORVEL_KEY_SCRIPT");
    if (!hooks.key_script.empty()) start_key_script(hooks.key_script);
    hooks.audio_capture = variable("CORVEL_AUDIO_CAPTURE");
    if (!hooks.audio_capture.empty() && !platform::audio::start_capture(hooks.audio_capture))
        std::fprintf(stderr, "corvel: cannot write the audio capture %s\n",
                     hooks.audio_capture.c_str());
}

const TvTestHooks& TvGetTestHooks() {
    return hooks;
}
