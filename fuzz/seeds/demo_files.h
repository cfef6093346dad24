// The demo data set's text files as the seed makers read them from the source tree.
#pragma once

#include "fuzz/fuzz_support.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fuzzing {

// A file of data/files/ (the program directory's sources), whole.
inline std::string demo_file(const std::string& relative) {
    const std::filesystem::path path =
        std::filesystem::path(CORVEL_SOURCE_DIR) / "data/files" / relative;
    std::ifstream in(path, std::ios::binary);
    require(bool(in), "a demo data file is there");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace fuzzing
