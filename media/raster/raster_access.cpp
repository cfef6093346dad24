// Palette, colour-key and rectangle helpers over IRaster.
#include "media/raster/raster_access.h"

#include <cstring>

IRaster* om_raster_palette(IRaster* raster) {
    intptr_t value = 0;
    if (raster->GetProperty(OM_RASTER_PALETTE, &value) < 0) return nullptr;
    return reinterpret_cast<IRaster*>(value);
}

OmResult om_read_palette(IRaster* palette, OmPaletteWords* out) {
    std::memset(out, 0, sizeof(*out));
    if (om_pixel_bits(palette->GetFormat()) != 32) return OM_E_UNKNOWNPIXELFORMAT;
    uint32_t count = palette->GetWidth();
    if (count > 256) count = 256;
    if (palette->GetHeight() == 0) count = 0;
    if (!count) return OM_S_OK;
    OmRasterLock lock(palette, OM_LOCK_READ);
    if (lock.result() < 0) return lock.result();
    const uint8_t* p = lock.row(0);
    for (uint32_t i = 0; i < count; ++i, p += 4)
        out->words[i] =
            uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    out->count = count;
    return OM_S_OK;
}

OmColourKey om_raster_colour_key(IRaster* raster) {
    intptr_t enabled = 0, value = 0;
    if (raster->GetProperty(OM_RASTER_COLOUR_KEY_ENABLED, &enabled) < 0) enabled = 0;
    if (raster->GetProperty(OM_RASTER_COLOUR_KEY, &value) < 0) value = 0;
    return {(enabled & 0xFF) != 0, uint32_t(value)};
}

void om_set_raster_colour_key(IRaster* raster, OmColourKey key) {
    raster->SetProperty(OM_RASTER_COLOUR_KEY, intptr_t(key.value));
    raster->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, key.enabled ? 1 : 0);
}

OmRect om_whole_or(IRaster* raster, const OmRect* rect) {
    if (rect) return *rect;
    return {0, 0, int32_t(raster->GetWidth()), int32_t(raster->GetHeight())};
}
