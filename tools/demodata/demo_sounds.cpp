// Silent 16-bit mono WAVs at 22050 Hz, a tenth of a second long.
#include "tools/demodata/demo_sounds.h"

#include "tools/demodata/text_sources.h"

#include <algorithm>
#include <set>

namespace demodata {
namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xffff);
    put16(b, v >> 16);
}
void tag(std::vector<uint8_t>& b, const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(t[i]));
}

std::vector<uint8_t> silent_wav() {
    constexpr uint32_t rate = 22050, samples = rate / 10, bytes = samples * 2;
    std::vector<uint8_t> b;
    b.reserve(44 + bytes);
    tag(b, "RIFF");
    put32(b, 36 + bytes);
    tag(b, "WAVE");
    tag(b, "fmt ");
    put32(b, 16);
    put16(b, 1); // PCM
    put16(b, 1); // mono
    put32(b, rate);
    put32(b, rate * 2);
    put16(b, 2);
    put16(b, 16);
    tag(b, "data");
    put32(b, bytes);
    b.resize(b.size() + bytes, 0);
    return b;
}

std::string with_slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

} // namespace

bool write_silent_sounds(OutputTree& out) {
    std::string text;
    if (!read_file(out.path("sound/sounds.ini"), text)) return out.fail("no sound/sounds.ini");
    std::set<std::string> files;
    for (const IniSection& s : read_ini_text(text)) {
        if (s.name.empty() || s.find("Channel") == nullptr) continue;
        // Sounds made from another sound (Inherit, Sound) read no sample of their own.
        if (s.find("Inherit") != nullptr || s.find("Sound") != nullptr) continue;
        const std::string* sample = s.find("Sample");
        files.insert("sound/" + with_slashes(sample != nullptr ? *sample : s.name));
    }
    if (read_file(out.path("music.ini"), text))
        for (const IniSection& s : read_ini_text(text))
            if (const std::string* f = s.find("filename")) files.insert(with_slashes(*f));
    const std::vector<uint8_t> wav = silent_wav();
    for (const std::string& f : files) {
        // A recording the source tree supplied was copied already.
        if (std::find(out.written().begin(), out.written().end(), f) != out.written().end())
            continue;
        if (!out.write(f, wav)) return false;
    }
    return true;
}

} // namespace demodata
