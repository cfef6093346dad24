// Program entry of corvel: reads the program's own options, applies the test hooks of the
// environment and runs the game's start-up, front end and shutdown.
#include "frontend/startup/command_line.h"
#include "frontend/startup/frame_shots.h"
#include "frontend/startup/stage_log.h"
#include "frontend/startup/test_hooks.h"
#include "platform/startup.h"
#include "platform/window/key_script.h"
#include "program/program_entry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// "--frames N" is the program's own; every other word belongs to the game's command line.
bool parse_options(int argc, char** argv, TvProgramOptions* out) {
    std::vector<const char*> game_words = {argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0) {
            if (i + 1 >= argc) return false;
            char* end = nullptr;
            const long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 0 || end == argv[i]) return false;
            out->frames = n;
        } else {
            game_words.push_back(argv[i]);
        }
    }
    out->command_line = TvJoinArguments(int(game_words.size()), game_words.data());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    platform::startup();
    TvProgramOptions options;
    if (!parse_options(argc, argv, &options)) {
        std::fprintf(stderr, "usage: corvel [--frames N] [-client ADDRESS] [-host]\n");
        return 2;
    }
    TvApplyTestHooks();
    const int result = TvRunProgram(options);
    TvFinishFrameShots();
    TvFinishStageLog();
    platform::stop_key_script();
    return result;
}
