// A temporary directory that removes itself.
#include "tests/support/temp_dir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "corvel-test-XXXXXX").string();
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view name) const {
    return path_ + "/" + std::string(name);
}

void TempDir::write_file(std::string_view name, std::string_view contents) const {
    std::filesystem::path p = *this / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out.write(contents.data(), std::streamsize(contents.size()));
}

void TempDir::make_dir(std::string_view name) const {
    std::filesystem::create_directories(*this / name);
}

std::string TempDir::read_file(std::string_view name) const {
    std::ifstream in(*this / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

} // namespace testsupport
