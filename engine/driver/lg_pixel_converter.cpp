// The pixel converter's channel rules and the program-wide converter.
#include "engine/driver/lg_pixel_converter.h"

#include <bit>

namespace {

LgPixelConverter current{};

LgPixelChannelRule rule_for(uint32_t mask) {
    if ((mask & 0x80000000u) != 0) return {mask, true, 24};
    const uint32_t top = mask == 0 ? 0 : 31 - static_cast<uint32_t>(std::countl_zero(mask));
    if (top >= 7) return {mask, true, top - 7};
    return {mask, false, 7 - top};
}

} // namespace

void LgPixelConverter::set_up(const platform::DDPIXELFORMAT& format) {
    rules[0] = rule_for(format.dwRBitMask);
    rules[1] = rule_for(format.dwGBitMask);
    rules[2] = rule_for(format.dwBBitMask);
    rules[3] = rule_for(format.dwRGBAlphaBitMask);
}

const LgPixelConverter& LgPixelConverterCurrent() {
    return current;
}

void LgPixelFormatSetUp(const platform::DDPIXELFORMAT* format) {
    if (format != nullptr) current.set_up(*format);
}

uint32_t LgPixelFromRGBA(const LgRGBA* colour) {
    return current.pack(*colour);
}

LgRGBA* LgRGBAFromPixel(LgRGBA* out, uint32_t pixel) {
    *out = current.unpack(pixel);
    return out;
}
