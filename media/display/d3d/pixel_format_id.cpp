// Pixel-format identification and colour conversion.
#include "media/display/d3d/pixel_format_id.h"

using namespace platform;

uint32_t om_identify_pixel_format(const DDPIXELFORMAT& f) {
    if (f.dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXEDTO8)) return OM_FORMAT_PALETTE8;
    if (f.dwFlags & DDPF_PALETTEINDEXED4) return OM_FORMAT_PALETTE4_RENDERER;
    if (!(f.dwFlags & DDPF_RGB)) return 0;
    const bool alpha = (f.dwFlags & DDPF_ALPHAPIXELS) != 0;
    const uint32_t r = f.dwRBitMask, g = f.dwGBitMask, b = f.dwBBitMask, a = f.dwRGBAlphaBitMask;
    switch (f.dwRGBBitCount) {
    case 16:
        if (r == 0xF800 && g == 0x07E0 && b == 0x001F) return OM_FORMAT_RGB565;
        if (r == 0x7C00 && g == 0x03E0 && b == 0x001F)
            return alpha && a == 0x8000 ? OM_FORMAT_ARGB1555 : OM_FORMAT_XRGB1555;
        if (r == 0x0F00 && g == 0x00F0 && b == 0x000F)
            return alpha && a == 0xF000 ? OM_FORMAT_ARGB4444 : OM_FORMAT_XRGB4444;
        return 0;
    case 24: return r == 0xFF0000 && g == 0xFF00 && b == 0xFF ? OM_FORMAT_RGB888 : 0;
    case 32:
        return r == 0xFF0000 && g == 0xFF00 && b == 0xFF && alpha && a == 0xFF000000u
                   ? OM_FORMAT_ARGB8888
                   : 0;
    default: return 0;
    }
}

uint32_t om_identify_surface_format(const DDSURFACEDESC2& desc) {
    if (!(desc.dwFlags & DDSD_PIXELFORMAT)) return 0;
    return om_identify_pixel_format(desc.ddpfPixelFormat);
}

OmResult om_convert_colour(uint32_t format, OmColour c, uint32_t* value) {
    if (!value) return OM_E_FAIL;
    const uint32_t bits = format & 0xFF, layout = (format >> 8) & 0xFF;
    const bool alpha = (format & OM_PIXEL_ALPHA) != 0;
    const uint32_t red = c.red, green = c.green, blue = c.blue, a = c.alpha;
    if (bits == 16 && layout == 1) {
        *value = (red & 0xF8) << 8 | (green & 0xFC) << 3 | blue >> 3;
    } else if (bits == 16 && layout == 2) {
        *value = (red & 0xF8) << 7 | (green & 0xF8) << 2 | blue >> 3;
        if (alpha) *value |= (a & 0x80) << 8;
    } else if (bits == 16 && layout == 3) {
        *value = (red & 0xF0) << 4 | (green & 0xF0) | blue >> 4;
        if (alpha) *value |= (a & 0xF0) << 8;
    } else if ((bits == 24 || bits == 32) && layout == 1) {
        *value = red << 16 | green << 8 | blue;
        if (bits == 32 && alpha) *value |= a << 24;
    } else {
        return OM_E_FAIL;
    }
    return OM_S_OK;
}
