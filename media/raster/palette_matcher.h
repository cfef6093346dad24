// The palette matcher: a palette of 256 colours and its inverse colour map of 32768 entries
// (top 5 bits of red, green, blue -> nearest palette index). Shared by the blitter's 8-bit
// conversions and the 8-bit software renderer.
#pragma once

#include "media/raster/pixel_format.h"

#include <cstdint>

inline constexpr uint32_t OM_PALETTE_ENTRIES = 256;
inline constexpr uint32_t OM_INVERSE_MAP_SIZE = 32768;

struct OmPaletteMatcher {
    // The palette as A8 R8 G8 B8 words (entries past the count given to build() are 0).
    uint32_t colours[OM_PALETTE_ENTRIES];
    // Index of the nearest entry for each 15-bit colour r5 << 10 | g5 << 5 | b5.
    uint8_t inverse[OM_INVERSE_MAP_SIZE];
};

// Loads `count` (at most 256) A8 R8 G8 B8 colours and builds the inverse map: for every 15-bit
// value v (red (v >> 10) << 3, green ((v >> 5) & 31) << 3, blue (v & 31) << 3) the entry of
// least squared RGB distance among those whose alpha is above 0x80; the first entry wins a
// tie; 0 when no entry qualifies.
void om_palette_matcher_build(OmPaletteMatcher* matcher, const uint32_t* colours, uint32_t count);

// The nearest palette index of a colour.
inline uint8_t om_palette_matcher_nearest(const OmPaletteMatcher* matcher, uint8_t red,
                                          uint8_t green, uint8_t blue) {
    return matcher
        ->inverse[(uint32_t(red & 0xF8) << 7) | (uint32_t(green & 0xF8) << 2) | (blue >> 3)];
}
