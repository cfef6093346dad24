// The pixel converter's program-wide channel rules.
#include "engine/driver/lg_pixel_converter.h"

#include <bit>

namespace {

struct ChannelRule {
    uint32_t mask;
    bool left;      // the channel byte moves left (towards the mask) when packing
    uint32_t shift; // by this many bits
};

ChannelRule rules[4]; // red, green, blue, alpha

ChannelRule rule_for(uint32_t mask) {
    if ((mask & 0x80000000u) != 0) return {mask, true, 24};
    const uint32_t top = mask == 0 ? 0 : 31 - static_cast<uint32_t>(std::countl_zero(mask));
    if (top >= 7) return {mask, true, top - 7};
    return {mask, false, 7 - top};
}

uint32_t pack(const ChannelRule& r, uint8_t value) {
    const uint32_t v = value;
    return (r.left ? v << r.shift : v >> r.shift) & r.mask;
}

uint8_t unpack(const ChannelRule& r, uint32_t pixel) {
    const uint32_t v = pixel & r.mask;
    return static_cast<uint8_t>(r.left ? v >> r.shift : v << r.shift);
}

} // namespace

void LgPixelFormatSetUp(const platform::DDPIXELFORMAT* format) {
    if (format == nullptr) return;
    rules[0] = rule_for(format->dwRBitMask);
    rules[1] = rule_for(format->dwGBitMask);
    rules[2] = rule_for(format->dwBBitMask);
    rules[3] = rule_for(format->dwRGBAlphaBitMask);
}

uint32_t LgPixelFromRGBA(const LgRGBA* colour) {
    return pack(rules[0], colour->red) | pack(rules[1], colour->green) |
           pack(rules[2], colour->blue) | pack(rules[3], colour->alpha);
}

LgRGBA* LgRGBAFromPixel(LgRGBA* out, uint32_t pixel) {
    out->red = unpack(rules[0], pixel);
    out->green = unpack(rules[1], pixel);
    out->blue = unpack(rules[2], pixel);
    out->alpha = unpack(rules[3], pixel);
    return out;
}
