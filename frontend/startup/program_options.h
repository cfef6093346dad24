// Options of the program itself, outside the game's command line: how many frames to show
// before leaving (headless runs and tests).
#pragma once

#include <string>

struct TvProgramOptions {
    // The game's command line ("-client <address>", "-host").
    std::string command_line;
    // Frames the front end shows before it leaves; -1 until the user quits (120 headless).
    long frames = -1;
};

// The options of the running program.
const TvProgramOptions& TvGetProgramOptions();
void TvSetProgramOptions(const TvProgramOptions& options);
