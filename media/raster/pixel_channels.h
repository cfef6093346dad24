// Channel descriptions of the direct-colour formats and the channel rule that converts a pixel
// between two of them; pixel reads and writes of 1 to 4 bytes.
#pragma once

#include "media/raster/pixel_format.h"

#include <cstdint>

// (mask, shift) per channel in the order red, green, blue, alpha. The shift moves the
// channel's top bit to bit 31; a mask of 0 means the format lacks the channel.
struct OmChannelLayout {
    uint32_t mask[4];
    uint32_t shift[4];
    bool has_alpha() const { return mask[3] != 0; }
};

inline constexpr int OM_CHANNEL_ALPHA = 3;

// The description of a direct-colour format (16 bits layouts 1-3, 24 and 32 bits); false for
// any other format.
bool om_channel_layout(uint32_t format, OmChannelLayout* out);

// How a source alpha becomes the colour key when the destination has no alpha.
enum class OmAlphaKeyRule {
    below_half,   // alpha below 0x80 is transparent (every conversion but 32 to 24 bits)
    at_most_half, // alpha of 0x80 or less is transparent (32 to 24 bits)
};

// The channel rule: every channel truncated or zero-padded, nothing rounded. A source alpha
// that the destination lacks becomes the colour key (transparent pixels 0, opaque pixels that
// came out 0 become 1); a destination alpha the source lacks is 0, or 0xFF with
// `opaque_fill` (24 to 32 bits).
struct OmPixelConverter {
    OmChannelLayout source;
    OmChannelLayout dest;
    OmAlphaKeyRule key_rule;
    bool opaque_fill;

    uint32_t operator()(uint32_t pixel) const {
        uint32_t out = 0;
        for (int c = 0; c < 4; ++c) {
            if (!source.mask[c]) continue;
            uint32_t n = (pixel & source.mask[c]) << source.shift[c];
            out |= (n >> dest.shift[c]) & dest.mask[c];
        }
        if (source.has_alpha() && !dest.has_alpha()) {
            uint32_t alpha = (pixel & source.mask[3]) << source.shift[3];
            bool transparent =
                key_rule == OmAlphaKeyRule::below_half ? alpha < 0x80000000u : alpha < 0x81000000u;
            if (transparent) return 0;
            if (out == 0) return 1;
        } else if (opaque_fill) {
            out |= dest.mask[3];
        }
        return out;
    }
};

// The converter between two formats (OmAlphaKeyRule and the alpha fill chosen by depth).
// False when either format has no channel description.
bool om_pixel_converter(uint32_t source_format, uint32_t dest_format, OmPixelConverter* out);

// Pixel values of 1, 2, 3 (red, green, blue bytes; word red << 16 | green << 8 | blue) and 4
// bytes.
inline uint32_t om_read_pixel(const uint8_t* p, uint32_t bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return uint32_t(p[0]) | uint32_t(p[1]) << 8;
    case 3: return uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2];
    default:
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
}

inline void om_write_pixel(uint8_t* p, uint32_t bytes, uint32_t value) {
    switch (bytes) {
    case 1: p[0] = uint8_t(value); break;
    case 2:
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        break;
    case 3:
        p[0] = uint8_t(value >> 16);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value);
        break;
    default:
        p[0] = uint8_t(value);
        p[1] = uint8_t(value >> 8);
        p[2] = uint8_t(value >> 16);
        p[3] = uint8_t(value >> 24);
        break;
    }
}
