// Seeds of the font.cft harness: small faces with literal, repeated and empty rows, a code
// without glyph and a glyph whose rows end early.
#include "fuzz/seeds/seed_set.h"

#include <string>
#include <vector>

namespace {

std::string word(uint32_t v) {
    return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}

struct SeedGlyph {
    bool present;
    uint32_t width;
    std::string rows;
};

// Magic, an unused word, the table size, count, height, a kept word, then the entries.
std::string cft(uint32_t height, const std::vector<SeedGlyph>& glyphs) {
    std::string entries;
    uint32_t table = 0;
    for (const SeedGlyph& g : glyphs) {
        entries += word(g.present);
        table += 4;
        if (!g.present) continue;
        entries += word(g.width) + word(uint32_t(g.rows.size())) + g.rows;
        table += 8 + uint32_t(g.rows.size());
    }
    return word(0x464F4E54) + word(0) + word(table - 8) + word(uint32_t(glyphs.size())) +
           word(height) + word(0) + entries;
}

} // namespace

FUZZ_SEEDS(font_cft_read) {
    seeds.add("two_glyphs",
              cft(2, {{false, 0, ""}, {true, 3, std::string("\x80\x02\xC0\x01\xF0\xC0", 6)}}));
    seeds.add("literal_runs", cft(1, {{true, 5, std::string("\x04\x12\x34\x50\xC0", 5)}}));
    seeds.add("rows_end_early", cft(3, {{true, 4, std::string("\x83\x07", 2)}}));
}
