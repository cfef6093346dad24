// Which files are signed and under which key: each reader's own path form decides the key.
#include "tools/demodata/signed_list.h"

#include <algorithm>
#include <cctype>

namespace demodata {
namespace {

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

bool starts_with(const std::string& s, const std::string& head) {
    return s.compare(0, head.size(), head) == 0;
}

std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

size_t depth(const std::string& s) {
    return size_t(std::count(s.begin(), s.end(), '/'));
}

} // namespace

std::optional<ListedFile> listed_file(const std::string& r) {
    const bool ini = ends_with(r, ".ini") || ends_with(r, ".INI");
    const bool model = ends_with(r, ".dff") || ends_with(r, ".bsp");
    if (!ini && !model) return std::nullopt;
    const std::string section = ini ? "warning" : "secure";
    const std::string form = ini ? "TEXT" : "BINARY";
    auto entry = [&](std::string key) { return ListedFile{section, std::move(key), form}; };

    // The shrapnel loader spells its directory in capitals ("OBJECTS\GROUND\SHRAPNEL\%s").
    if (starts_with(r, "objects/ground/shrapnel/"))
        return entry("OBJECTS/GROUND/SHRAPNEL/" + (ini ? upper(r.substr(24)) : r.substr(24)));
    // Ground kinds are read from ".\objects\%s\%s\..." and the ordnance table from
    // ".\objects\ordinance\ordinance.ini"; the ordnance models from "objects\ordinance\%s.dff".
    if (starts_with(r, "objects/ground/") && depth(r) == 3 &&
        !starts_with(r, "objects/ground/textures/"))
        return entry("./" + r);
    if (r == "objects/ordinance/ordinance.ini") return entry("./" + r);
    if (starts_with(r, "objects/ordinance/") && model) return entry(r);
    if (starts_with(r, "objects/planes/") && depth(r) == 3) return entry(r);
    if (r == "objects/particles/lensflare.ini") return entry(r);
    if (starts_with(r, "maps/") && depth(r) == 2) return entry(r);
    if (starts_with(r, "missions/") && ends_with(r, "/mission.ini")) return entry(r);
    // Start-up reads "language\%s\strings.ini" through the storage.
    if (starts_with(r, "Language/") && ends_with(r, "/strings.ini"))
        return entry("language/" + r.substr(9));
    // texden.ini and the control layouts are opened by bare name from the program directory.
    if (r == "texden.ini" || r == "keyboard.ini" || r == "mousekeys.ini" || r == "joystick.ini" ||
        r == "joystickkeys.ini")
        return entry(r);
    return std::nullopt;
}

std::string plain_list(const std::vector<std::string>& written) {
    std::vector<ListedFile> files;
    for (const std::string& w : written)
        if (auto f = listed_file(w)) files.push_back(*f);
    std::sort(files.begin(), files.end(),
              [](const ListedFile& a, const ListedFile& b) { return a.key < b.key; });
    files.erase(
        std::unique(files.begin(), files.end(),
                    [](const ListedFile& a, const ListedFile& b) { return a.key == b.key; }),
        files.end());
    std::string text = "# The demo set's signed files (generated; do not edit).\n";
    for (const char* section : {"warning", "secure"}) {
        text += std::string("[") + section + "]\n";
        for (const ListedFile& f : files)
            if (f.section == section) text += f.key + "=" + f.form + "\n";
    }
    return text;
}

} // namespace demodata
