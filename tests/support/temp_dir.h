// A temporary directory that removes itself, for tests that touch the file system.
#pragma once

#include <string>
#include <string_view>

namespace testsupport {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // The full path of a name inside the directory.
    std::string operator/(std::string_view name) const;
    // Creates a file (and its parent directories) with the given contents.
    void write_file(std::string_view name, std::string_view contents) const;
    void make_dir(std::string_view name) const;
    std::string read_file(std::string_view name) const;

private:
    std::string path_;
};

} // namespace testsupport
