// The running program's options.
#include "frontend/startup/program_options.h"

namespace {

TvProgramOptions program_options;

} // namespace

const TvProgramOptions& TvGetProgramOptions() {
    return program_options;
}

void TvSetProgramOptions(const TvProgramOptions& options) {
    program_options = options;
}
