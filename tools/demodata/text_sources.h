// The set's text sources (INI files, HTML pages) copied from the source tree, and the few
// INI values the generator itself needs from them.
#pragma once

#include "tools/demodata/output_tree.h"

#include <string>
#include <vector>

namespace demodata {

// Copies every file under `sourceRoot` to the same relative path of the output, in sorted
// order. False when the source tree is missing or a file cannot be copied.
bool copy_text_sources(const std::string& sourceRoot, OutputTree& out);

// One INI section as plain text pairs, in file order.
struct IniSection {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
    const std::string* find(const std::string& key) const;
};
// A tolerant reader for the generator's own use: "[name]" headers, "key = value" lines, '#'
// and ';' comments; blanks around names and values trimmed.
std::vector<IniSection> read_ini_text(const std::string& text);
bool read_file(const std::string& path, std::string& text);

} // namespace demodata
