// The plain list the signing tool signs: every data file the game's readers open through the
// data storage, keyed by the path exactly as the reader forms it ('\' turned into '/'), INI
// files under [warning] and models and maps under [secure].
#pragma once

#include "tools/demodata/output_tree.h"

#include <optional>
#include <string>
#include <vector>

namespace demodata {

struct ListedFile {
    std::string section; // "warning" or "secure"
    std::string key;     // the path as the game opens it
    std::string form;    // "TEXT" or "BINARY"
};

// The entry for one written file, or nullopt for files the game does not open through the
// data storage (pictures, sounds, pages, and the files the game rewrites itself).
std::optional<ListedFile> listed_file(const std::string& relative);

// The list's INI text for the written files, in sorted key order.
std::string plain_list(const std::vector<std::string>& written);

} // namespace demodata
