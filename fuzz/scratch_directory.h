// A directory of a harness's or seed maker's own under /tmp, removed again with the object:
// for code that reads and writes files by path.
#pragma once

#include "fuzz/fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>

namespace fuzzing {

class ScratchDirectory {
public:
    ScratchDirectory() {
        char pattern[] = "/tmp/corvel-fuzz-XXXXXX";
        require(mkdtemp(pattern) != nullptr, "a scratch directory is made");
        path_ = pattern;
    }
    ~ScratchDirectory() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::string& path() const { return path_; }
    // Writes (replacing) a file and its parent directories; its full path.
    std::string write(const std::string& name, std::span<const uint8_t> bytes) const {
        const std::string full = path_ + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        require(static_cast<bool>(out), "a scratch file is written");
        return full;
    }
    std::string write(const std::string& name, std::string_view text) const {
        return write(name, {reinterpret_cast<const uint8_t*>(text.data()), text.size()});
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path_ + "/" + name, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }

private:
    std::string path_;
};

} // namespace fuzzing
