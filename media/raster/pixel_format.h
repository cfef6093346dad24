// The pixel-format word shared by rasters, blitter, codecs, displays and renderers, with the
// rectangle and colour records that travel with it.
#pragma once

#include "framework/core/om_rect.h"

#include <cstdint>

// Bits of a pixel-format word. The low byte is the bits per pixel; the second byte the layout
// number within the depth (16 bits: 1 = 5-6-5, 2 = 5-5-5 with optional 1-bit alpha, 3 = 4-4-4
// with optional 4-bit alpha; 1 for the other depths).
inline constexpr uint32_t OM_PIXEL_DEPTH_MASK = 0xFF;
inline constexpr uint32_t OM_PIXEL_LAYOUT_MASK = 0xFF00;
inline constexpr uint32_t OM_PIXEL_PALETTISED = 0x10000; // pixels index the raster's palette
inline constexpr uint32_t OM_PIXEL_GREY = 0x20000;
inline constexpr uint32_t OM_PIXEL_DIRECT = 0x40000; // red, green, blue channels in the pixel
inline constexpr uint32_t OM_PIXEL_ALPHA = 0x80000;  // the pixel carries alpha
inline constexpr uint32_t OM_PIXEL_BUMP = 0x200000;  // two byte differences per pixel
// The renderers' 4-bit palette code (Direct3D texture formats).
inline constexpr uint32_t OM_PIXEL_PALETTE4_RENDERER = 0x100000;

// Format words in use. 16- and 32-bit pixels are little-endian words (a 32-bit pixel lies in
// memory as blue, green, red, alpha); a 24-bit pixel lies in memory as red, green, blue and
// its word is red << 16 | green << 8 | blue.
inline constexpr uint32_t OM_FORMAT_PALETTE4 = 0x10104;
inline constexpr uint32_t OM_FORMAT_PALETTE8 = 0x10108;
inline constexpr uint32_t OM_FORMAT_GREY8 = 0x20108;
inline constexpr uint32_t OM_FORMAT_RGB565 = 0x40110;
inline constexpr uint32_t OM_FORMAT_XRGB1555 = 0x40210;
inline constexpr uint32_t OM_FORMAT_ARGB1555 = 0xC0210;
inline constexpr uint32_t OM_FORMAT_XRGB4444 = 0x40310;
inline constexpr uint32_t OM_FORMAT_ARGB4444 = 0xC0310;
inline constexpr uint32_t OM_FORMAT_RGB888 = 0x40118;
inline constexpr uint32_t OM_FORMAT_XRGB8888 = 0x40120;
inline constexpr uint32_t OM_FORMAT_ARGB8888 = 0xC0120; // the system's default format
inline constexpr uint32_t OM_FORMAT_BUMP = 0x200410;    // byte 0 dx, byte 1 dy
inline constexpr uint32_t OM_FORMAT_PALETTE4_RENDERER = 0x100104;

inline constexpr uint32_t om_pixel_bits(uint32_t format) {
    return format & OM_PIXEL_DEPTH_MASK;
}
inline constexpr uint32_t om_pixel_layout(uint32_t format) {
    return (format & OM_PIXEL_LAYOUT_MASK) >> 8;
}
inline constexpr bool om_pixel_has_alpha(uint32_t format) {
    return (format & OM_PIXEL_ALPHA) != 0;
}

// OmRect (x, y, width, height; null = the whole raster) is the framework's rectangle.

// The four-byte colour record of fog colours, palettes and colour conversions: blue, green,
// red, alpha in memory, i.e. the little-endian word A8 R8 G8 B8.
struct OmColour {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    uint8_t alpha;
};
static_assert(sizeof(OmColour) == 4);

// The A8 R8 G8 B8 word of a colour record and back.
inline constexpr uint32_t om_colour_word(OmColour c) {
    return uint32_t(c.alpha) << 24 | uint32_t(c.red) << 16 | uint32_t(c.green) << 8 | c.blue;
}
inline constexpr OmColour om_colour_of(uint32_t argb) {
    return {uint8_t(argb), uint8_t(argb >> 8), uint8_t(argb >> 16), uint8_t(argb >> 24)};
}
