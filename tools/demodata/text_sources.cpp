// Copying the text sources and reading INI text for the generator.
#include "tools/demodata/text_sources.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace demodata {

namespace fs = std::filesystem;

bool read_file(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

bool copy_text_sources(const std::string& sourceRoot, OutputTree& out) {
    std::error_code ec;
    if (!fs::is_directory(sourceRoot, ec)) return out.fail("no source directory " + sourceRoot);
    std::vector<std::string> files;
    for (fs::recursive_directory_iterator it(sourceRoot, ec), end; it != end && !ec;
         it.increment(ec))
        if (it->is_regular_file())
            files.push_back(fs::relative(it->path(), sourceRoot).generic_string());
    if (ec) return out.fail("cannot walk " + sourceRoot + ": " + ec.message());
    std::sort(files.begin(), files.end());
    for (const std::string& f : files) {
        std::string text;
        if (!read_file(sourceRoot + "/" + f, text)) return out.fail("cannot read " + f);
        if (!out.write_text(f, text)) return false;
    }
    return true;
}

const std::string* IniSection::find(const std::string& key) const {
    for (const auto& [k, v] : keys)
        if (k == key) return &v;
    return nullptr;
}

namespace {

std::string trim(const std::string& s) {
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

} // namespace

std::vector<IniSection> read_ini_text(const std::string& text) {
    std::vector<IniSection> sections(1);
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        if (line[0] == '[') {
            const size_t close = line.find(']');
            sections.push_back(
                {trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1)),
                 {}});
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            sections.back().keys.emplace_back(line, "");
        else
            sections.back().keys.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
    }
    return sections;
}

} // namespace demodata
