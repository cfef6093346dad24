// The program directory from the platform's view of the running executable.
#include "frontend/startup/program_directory.h"

#include "platform/paths.h"

namespace {

std::string& cached() {
    static std::string directory;
    return directory;
}

} // namespace

const std::string& TvGetProgramDirectory() {
    std::string& directory = cached();
    if (directory.empty()) {
        directory = platform::program_dir();
        if (directory.empty() || directory.back() != '/') directory += '/';
    }
    return directory;
}

void TvForgetProgramDirectory() {
    cached().clear();
}
