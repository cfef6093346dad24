// Building the inverse colour map of a palette: an exhaustive nearest-entry search per 15-bit
// colour. Squared distances are whole numbers below 2^24, so integer arithmetic picks the
// same entries as a single-precision search would.
#include "media/raster/palette_matcher.h"

#include <cstring>

void om_palette_matcher_build(OmPaletteMatcher* matcher, const uint32_t* colours, uint32_t count) {
    if (count > OM_PALETTE_ENTRIES) count = OM_PALETTE_ENTRIES;
    std::memset(matcher->colours, 0, sizeof(matcher->colours));
    if (count) std::memcpy(matcher->colours, colours, count * sizeof(uint32_t));

    // The entries that can be chosen (alpha above 0x80), in palette order.
    int32_t red[OM_PALETTE_ENTRIES], green[OM_PALETTE_ENTRIES], blue[OM_PALETTE_ENTRIES];
    uint8_t index[OM_PALETTE_ENTRIES];
    uint32_t usable = 0;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t c = colours[i];
        if ((c >> 24) <= 0x80) continue;
        red[usable] = int32_t((c >> 16) & 0xFF);
        green[usable] = int32_t((c >> 8) & 0xFF);
        blue[usable] = int32_t(c & 0xFF);
        index[usable] = uint8_t(i);
        ++usable;
    }
    if (!usable) {
        std::memset(matcher->inverse, 0, sizeof(matcher->inverse));
        return;
    }
    for (uint32_t v = 0; v < OM_INVERSE_MAP_SIZE; ++v) {
        int32_t r = int32_t((v >> 10) << 3), g = int32_t(((v >> 5) & 31) << 3),
                b = int32_t((v & 31) << 3);
        int32_t best = 16777216;
        uint8_t chosen = 0;
        for (uint32_t k = 0; k < usable; ++k) {
            int32_t dr = red[k] - r, dg = green[k] - g, db = blue[k] - b;
            int32_t d = dr * dr + dg * dg + db * db;
            if (d < best) {
                best = d;
                chosen = index[k];
            }
        }
        matcher->inverse[v] = chosen;
    }
}
