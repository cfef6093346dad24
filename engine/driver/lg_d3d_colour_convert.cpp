// Colour to device pixel and back for every raster format the driver knows.
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_texture_formats.h"
#include "engine/driver/lg_pixel_converter.h"

using namespace platform;

namespace {

constexpr int32_t layoutMask = 0x0F00;
constexpr int32_t paletteBits = 0x6000;

constexpr int32_t format1555 = 0x100;
constexpr int32_t format565 = 0x200;
constexpr int32_t format4444 = 0x300;
constexpr int32_t format8888 = 0x500;
constexpr int32_t format888 = 0x600;
constexpr int32_t format555 = 0xA00;
constexpr int32_t formatDisplay = 0x000;

// The display's format, or null before a device has started.
const DDPIXELFORMAT* display_format() {
    const DDPIXELFORMAT& f = LgD3DDriver.primaryDesc.ddpfPixelFormat;
    return f.dwRGBBitCount != 0 ? &f : nullptr;
}

// Formats without alpha keep 0 for transparent colours.
uint32_t keyed(const LgRGBA& c, uint32_t packed, int32_t code) {
    if (c.alpha == 0) return 0;
    return packed != 0 ? packed : LgD3DDarkestVisiblePixel(code);
}

uint8_t opaque_unless_zero(uint32_t pixel) {
    return pixel != 0 ? 255 : 0;
}

} // namespace

uint32_t LgD3DDarkestVisiblePixel(int32_t code) {
    if (code == formatDisplay) {
        const DDPIXELFORMAT* display = display_format();
        code = display != nullptr ? LgD3DPixelFormatCode(display) : 0;
    }
    const LgD3DTextureFormat* entry = LgD3DFindTextureFormat(code);
    if (entry != nullptr && entry->smallestChannel[2] != 0) {
        LgPixelConverter converter{};
        converter.set_up(entry->desc.ddpfPixelFormat);
        const uint32_t pixel = converter.pack({0, 0, entry->smallestChannel[2], 255});
        if (pixel != 0) return pixel;
    }
    return 1;
}

int32_t LgD3DRGBAToPixel(void* out, void* in, int32_t format) {
    if (out == nullptr || in == nullptr || (format & paletteBits) != 0) return 0;
    const LgRGBA& c = *static_cast<const LgRGBA*>(in);
    const uint32_t r = c.red, g = c.green, b = c.blue, a = c.alpha;
    const int32_t code = format & layoutMask;
    uint32_t pixel = 0;
    switch (code) {
    case format1555: pixel = (a & 0x80) << 8 | (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3; break;
    case format565: pixel = keyed(c, (r & 0xF8) << 8 | (g & 0xFC) << 3 | b >> 3, code); break;
    case format4444: pixel = (a & 0xF0) << 8 | (r >> 4) << 8 | (g & 0xF0) | b >> 4; break;
    case format8888: pixel = a << 24 | r << 16 | g << 8 | b; break;
    case format888: pixel = keyed(c, r << 16 | g << 8 | b, code); break;
    case format555: pixel = keyed(c, (r & 0xF8) << 7 | (g & 0xF8) << 2 | b >> 3, code); break;
    case formatDisplay: {
        const DDPIXELFORMAT* display = display_format();
        if (display == nullptr) return 0;
        LgPixelConverter converter{};
        converter.set_up(*display);
        pixel = keyed(c, converter.pack(c), code);
        break;
    }
    default: return 0;
    }
    *static_cast<uint32_t*>(out) = pixel;
    return 1;
}

int32_t LgD3DPixelToRGBA(void* out, void* in, int32_t format) {
    if (out == nullptr || in == nullptr || (format & paletteBits) != 0) return 0;
    const uint32_t p = *static_cast<const uint32_t*>(in);
    LgRGBA c{};
    switch (format & layoutMask) {
    case format1555:
        c = {static_cast<uint8_t>((p >> 7) & 0xF8), static_cast<uint8_t>((p >> 2) & 0xF8),
             static_cast<uint8_t>((p << 3) & 0xF8), static_cast<uint8_t>((p & 0x8000) ? 255 : 0)};
        break;
    case format565:
        c = {static_cast<uint8_t>((p >> 8) & 0xF8), static_cast<uint8_t>((p >> 3) & 0xFC),
             static_cast<uint8_t>((p << 3) & 0xF8), opaque_unless_zero(p)};
        break;
    case format4444:
        c = {static_cast<uint8_t>((p >> 4) & 0xF0), static_cast<uint8_t>(p & 0xF0),
             static_cast<uint8_t>((p << 4) & 0xF0), static_cast<uint8_t>((p >> 8) & 0xF0)};
        break;
    case format8888:
        c = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
             static_cast<uint8_t>(p >> 24)};
        break;
    case format888:
        c = {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p),
             opaque_unless_zero(p)};
        break;
    case format555:
        c = {static_cast<uint8_t>((p >> 7) & 0xF8), static_cast<uint8_t>((p >> 2) & 0xF8),
             static_cast<uint8_t>((p << 3) & 0xF8), opaque_unless_zero(p)};
        break;
    case formatDisplay: {
        const DDPIXELFORMAT* display = display_format();
        if (display == nullptr) return 0;
        LgPixelConverter converter{};
        converter.set_up(*display);
        c = converter.unpack(p);
        c.alpha = opaque_unless_zero(p);
        break;
    }
    default: return 0;
    }
    *static_cast<LgRGBA*>(out) = c;
    return 1;
}
