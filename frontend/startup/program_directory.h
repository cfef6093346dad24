// The program directory: where the program's data, settings file and error log live.
#pragma once

#include <string>

// The directory with a trailing separator, computed once and cached for the process.
const std::string& TvGetProgramDirectory();
// Forgets the cached directory (the program's own test hooks may move it between runs).
void TvForgetProgramDirectory();
