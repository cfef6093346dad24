// The shift-and-mask pixel converter: prepared once from a pixel format's channel masks, then
// packing RGBA colours into device pixels and back. The program-wide converter serves the
// engine-facing calls; copies between two formats keep converters of their own.
#pragma once

#include "engine/core/lg_objects.h"
#include "platform/graphics/ddraw_types.h"

struct LgPixelChannelRule {
    uint32_t mask;
    bool left;      // the channel byte moves left (towards the mask) when packing
    uint32_t shift; // by this many bits
};

struct LgPixelConverter {
    LgPixelChannelRule rules[4]; // red, green, blue, alpha

    void set_up(const platform::DDPIXELFORMAT& format);
    uint32_t pack(const LgRGBA& c) const {
        return pack_channel(rules[0], c.red) | pack_channel(rules[1], c.green) |
               pack_channel(rules[2], c.blue) | pack_channel(rules[3], c.alpha);
    }
    // Each channel's top bit lands on bit 7 of its byte; channels without a mask read 0.
    LgRGBA unpack(uint32_t pixel) const {
        return {unpack_channel(rules[0], pixel), unpack_channel(rules[1], pixel),
                unpack_channel(rules[2], pixel), unpack_channel(rules[3], pixel)};
    }

private:
    static uint32_t pack_channel(const LgPixelChannelRule& r, uint8_t value) {
        const uint32_t v = value;
        return (r.left ? v << r.shift : v >> r.shift) & r.mask;
    }
    static uint8_t unpack_channel(const LgPixelChannelRule& r, uint32_t pixel) {
        const uint32_t v = pixel & r.mask;
        return static_cast<uint8_t>(r.left ? v >> r.shift : v << r.shift);
    }
};

// The program-wide converter.
const LgPixelConverter& LgPixelConverterCurrent();

// Prepares the converter for the format's red, green, blue and alpha masks.
void LgPixelFormatSetUp(const platform::DDPIXELFORMAT* format);
uint32_t LgPixelFromRGBA(const LgRGBA* colour);
LgRGBA* LgRGBAFromPixel(LgRGBA* out, uint32_t pixel);
