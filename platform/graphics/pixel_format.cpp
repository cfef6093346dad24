// Pixel formats of the graphics stand-in and the raw <-> ARGB conversions.
#include "platform/graphics/pixel_format.h"

#include <bit>
#include <cstring>

namespace platform {

DDPIXELFORMAT make_rgb_format(uint32_t bits, uint32_t alpha_mask, uint32_t red_mask,
                              uint32_t green_mask, uint32_t blue_mask) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_RGB | (alpha_mask ? DDPF_ALPHAPIXELS : 0);
    f.dwRGBBitCount = bits;
    f.dwRBitMask = red_mask;
    f.dwGBitMask = green_mask;
    f.dwBBitMask = blue_mask;
    f.dwRGBAlphaBitMask = alpha_mask;
    return f;
}

DDPIXELFORMAT make_palette_format(uint32_t bits) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    switch (bits) {
    case 1: f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED1; break;
    case 2: f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED2; break;
    case 4: f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED4; break;
    default:
        f.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
        bits = 8;
        break;
    }
    f.dwRGBBitCount = bits;
    return f;
}

DDPIXELFORMAT make_z_format(uint32_t bits) {
    DDPIXELFORMAT f{};
    f.dwSize = sizeof(DDPIXELFORMAT);
    f.dwFlags = DDPF_ZBUFFER;
    f.dwZBufferBitDepth = bits;
    f.dwZBitMask = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    return f;
}

DDPIXELFORMAT format_565() {
    return make_rgb_format(16, 0, 0xF800, 0x07E0, 0x001F);
}
DDPIXELFORMAT format_555() {
    return make_rgb_format(16, 0, 0x7C00, 0x03E0, 0x001F);
}
DDPIXELFORMAT format_1555() {
    return make_rgb_format(16, 0x8000, 0x7C00, 0x03E0, 0x001F);
}
DDPIXELFORMAT format_4444() {
    return make_rgb_format(16, 0xF000, 0x0F00, 0x00F0, 0x000F);
}
DDPIXELFORMAT format_8888() {
    return make_rgb_format(32, 0xFF000000u, 0xFF0000, 0xFF00, 0xFF);
}
DDPIXELFORMAT format_x888() {
    return make_rgb_format(32, 0, 0xFF0000, 0xFF00, 0xFF);
}
DDPIXELFORMAT format_888() {
    return make_rgb_format(24, 0, 0xFF0000, 0xFF00, 0xFF);
}

bool same_format(const DDPIXELFORMAT& a, const DDPIXELFORMAT& b) {
    constexpr uint32_t kind = DDPF_RGB | DDPF_ALPHAPIXELS | DDPF_ANY_PALETTE | DDPF_ZBUFFER |
                              DDPF_FOURCC | DDPF_LUMINANCE;
    if ((a.dwFlags & kind) != (b.dwFlags & kind)) return false;
    if (a.dwFlags & DDPF_FOURCC) return a.dwFourCC == b.dwFourCC;
    if (a.dwRGBBitCount != b.dwRGBBitCount) return false;
    if (a.dwFlags & (DDPF_ANY_PALETTE | DDPF_ZBUFFER)) return true;
    return a.dwRBitMask == b.dwRBitMask && a.dwGBitMask == b.dwGBitMask &&
           a.dwBBitMask == b.dwBBitMask &&
           ((a.dwFlags & DDPF_ALPHAPIXELS) == 0 || a.dwRGBAlphaBitMask == b.dwRGBAlphaBitMask);
}

uint32_t format_bits(const DDPIXELFORMAT& f) {
    if (f.dwFlags & DDPF_FOURCC) return 0;
    return f.dwRGBBitCount;
}

uint32_t palette_index_bits(const DDPIXELFORMAT& f) {
    if (f.dwFlags & DDPF_PALETTEINDEXED8) return 8;
    if (f.dwFlags & DDPF_PALETTEINDEXED4) return 4;
    if (f.dwFlags & DDPF_PALETTEINDEXED2) return 2;
    if (f.dwFlags & DDPF_PALETTEINDEXED1) return 1;
    return 0;
}

uint32_t row_bytes(const DDPIXELFORMAT& f, uint32_t width) {
    return (width * format_bits(f) + 7) / 8;
}

PixelCodec::PixelCodec(const DDPIXELFORMAT& f) {
    const uint32_t masks[4] = {(f.dwFlags & DDPF_ALPHAPIXELS) ? f.dwRGBAlphaBitMask : 0,
                               f.dwRBitMask, f.dwGBitMask, f.dwBBitMask};
    for (int i = 0; i < 4; ++i) {
        Channel& c = channels_[i];
        c.mask = masks[i];
        if (!c.mask) continue;
        c.shift = static_cast<uint32_t>(std::countr_zero(c.mask));
        c.bits = static_cast<uint32_t>(std::popcount(c.mask));
        if (c.bits > 8) { // wider channels keep their top 8 bits
            c.shift += c.bits - 8;
            c.bits = 8;
            c.mask = 0xFFu << c.shift;
        }
    }
}

static uint32_t widen(uint32_t v, uint32_t bits) {
    if (bits >= 8) return v;
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) { // replicate the channel's bits down into the low bits
        int shift = 8 - filled - static_cast<int>(bits);
        out |= shift >= 0 ? v << shift : v >> -shift;
        filled += static_cast<int>(bits);
    }
    return out & 0xFF;
}

uint32_t PixelCodec::decode(uint32_t raw) const {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const Channel& c = channels_[i];
        uint32_t v = c.bits ? widen((raw & c.mask) >> c.shift, c.bits) : (i == 0 ? 255u : 0u);
        out |= v << (24 - 8 * i);
    }
    return out;
}

uint32_t PixelCodec::encode(uint32_t argb) const {
    uint32_t out = 0;
    for (int i = 0; i < 4; ++i) {
        const Channel& c = channels_[i];
        if (!c.bits) continue;
        uint32_t v = (argb >> (24 - 8 * i)) & 0xFF;
        out |= ((v >> (8 - c.bits)) << c.shift) & c.mask;
    }
    return out;
}

uint32_t load_pixel(const uint8_t* p, uint32_t bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0] | p[1] << 8);
    case 3: return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16);
    default: {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    }
}

void store_pixel(uint8_t* p, uint32_t bytes, uint32_t value) {
    switch (bytes) {
    case 1: p[0] = static_cast<uint8_t>(value); break;
    case 2:
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        break;
    case 3:
        p[0] = static_cast<uint8_t>(value);
        p[1] = static_cast<uint8_t>(value >> 8);
        p[2] = static_cast<uint8_t>(value >> 16);
        break;
    default: std::memcpy(p, &value, 4); break;
    }
}

} // namespace platform
