// Pixel formats of the graphics stand-in: constructors for the formats it offers, and the
// conversions between raw pixel values and 8-bit ARGB.
#pragma once

#include "platform/graphics/ddraw_types.h"

#include <cstdint>

namespace platform {

DDPIXELFORMAT make_rgb_format(uint32_t bits, uint32_t alpha_mask, uint32_t red_mask,
                              uint32_t green_mask, uint32_t blue_mask);
// bits 1, 2, 4 or 8.
DDPIXELFORMAT make_palette_format(uint32_t bits);
DDPIXELFORMAT make_z_format(uint32_t bits);

// The formats the stand-in knows by name.
DDPIXELFORMAT format_565();
DDPIXELFORMAT format_555();
DDPIXELFORMAT format_1555();
DDPIXELFORMAT format_4444();
DDPIXELFORMAT format_8888();
DDPIXELFORMAT format_x888();
DDPIXELFORMAT format_888();

bool same_format(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b);
// Bits of one pixel: RGB bit count, z depth or palette index size (0 for an unknown format).
uint32_t format_bits(const DDPIXELFORMAT& f);
// 0 for non-palettised formats, else 1, 2, 4 or 8.
uint32_t palette_index_bits(const DDPIXELFORMAT& f);
// Bytes a row of `width` pixels needs (sub-byte formats round up).
uint32_t row_bytes(const DDPIXELFORMAT& f, uint32_t width);

// Converts raw pixels of one RGB format to and from 0xAARRGGBB. Channels are widened by bit
// replication; formats without alpha decode to alpha 255. Encoding truncates each channel.
class PixelCodec {
public:
    PixelCodec() = default;
    explicit PixelCodec(const DDPIXELFORMAT& f);

    uint32_t decode(uint32_t raw) const;
    uint32_t encode(uint32_t argb) const;
    bool has_alpha() const { return channels_[0].bits != 0; }

private:
    struct Channel {
        uint32_t mask = 0;
        uint32_t shift = 0; // lowest set bit
        uint32_t bits = 0;
    };
    Channel channels_[4]; // a, r, g, b
};

// Reads and writes one pixel of 1 to 4 bytes at p (little-endian).
uint32_t load_pixel(const uint8_t* p, uint32_t bytes);
void store_pixel(uint8_t* p, uint32_t bytes, uint32_t value);

} // namespace platform
