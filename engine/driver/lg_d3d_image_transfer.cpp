// Pixels between engine images and rasters: palette indices and palettes for 4- and 8-bit
// rasters, packed colours for 16-, 24- and 32-bit ones.
#include "engine/core/lg_error.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_raster.h"
#include "engine/driver/lg_d3d_texture_formats.h"
#include "engine/driver/lg_pixel_converter.h"

#include "platform/graphics/pixel_format.h"

#include <algorithm>

using namespace platform;

namespace {

constexpr uint8_t pixelsLocked = 0x06;
constexpr uint8_t paletteLocked = 0x18;

int32_t fail_with(int32_t code) {
    LgErrorRaise(LgErrorGroupGeneric, code);
    return 0;
}

int32_t palette_size(int32_t depth) {
    return depth == 4 ? 16 : 256;
}

uint32_t palette_word(const LgRGBA& c) {
    return static_cast<uint32_t>(c.alpha) << 24 | static_cast<uint32_t>(c.red) << 16 |
           static_cast<uint32_t>(c.green) << 8 | c.blue;
}

LgRGBA palette_colour(uint32_t w) {
    return {static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w),
            static_cast<uint8_t>(w >> 24)};
}

// The raster's pixels (and palette) for the transfer: taken from a lock the caller holds, or
// locked here and unlocked again when the transfer ends.
class RasterAccess {
public:
    RasterAccess(LgRaster* raster, int32_t mode) : raster_(raster) {
        if ((raster->privateFlags & pixelsLocked) != 0) {
            pixels_ = LgD3DGetRasterPixels(raster);
        } else if (LgD3DRasterLock(&pixels_, raster, mode)) {
            lockedPixels_ = true;
        }
        if ((raster->format & 0x60) == 0) return;
        LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
        if ((raster->privateFlags & paletteLocked) != 0) {
            palette_ = slice->paletteBuffer;
        } else if (LgD3DPaletteLock(&palette_, raster, mode)) {
            lockedPalette_ = true;
        }
    }
    ~RasterAccess() {
        if (lockedPalette_) LgD3DPaletteUnlock(raster_, nullptr, 0);
        if (lockedPixels_) LgD3DRasterUnlock(raster_, nullptr, 0);
    }
    RasterAccess(const RasterAccess&) = delete;
    RasterAccess& operator=(const RasterAccess&) = delete;

    uint8_t* pixels() const { return pixels_; }
    uint32_t* palette() const { return palette_; }
    int32_t stride() const { return raster_->stride; }

private:
    LgRaster* raster_;
    uint8_t* pixels_ = nullptr;
    uint32_t* palette_ = nullptr;
    bool lockedPixels_ = false;
    bool lockedPalette_ = false;
};

struct Area {
    int32_t width, height;
};

Area common_area(const LgImage* image, const LgRaster* raster) {
    return {std::min(image->width, raster->width), std::min(image->height, raster->height)};
}

uint8_t* image_row(const LgImage* image, int32_t y) {
    return image->pixels + static_cast<ptrdiff_t>(y) * image->stride;
}

uint8_t* raster_row(const RasterAccess& access, int32_t y) {
    return access.pixels() + static_cast<ptrdiff_t>(y) * access.stride();
}

// Rasters without alpha that keep a colour key read pixel 0 as transparent.
bool keyed_without_alpha(const LgRaster* raster) {
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    return slice->colourKey != 0 && slice->format != nullptr &&
           slice->format->format.dwRGBAlphaBitMask == 0;
}

void indices_into_raster(const LgImage* image, LgRaster* raster, const RasterAccess& access) {
    const Area a = common_area(image, raster);
    for (int32_t y = 0; y < a.height; ++y) {
        const uint8_t* from = image_row(image, y);
        uint8_t* to = raster_row(access, y);
        if (raster->depth == 8) {
            std::copy_n(from, a.width, to);
            continue;
        }
        // Two pixels a byte, the first in the low nibble.
        for (int32_t x = 0; x < a.width; ++x) {
            uint8_t& byte = to[x / 2];
            const uint8_t index = from[x] & 0x0F;
            byte = (x & 1) == 0 ? static_cast<uint8_t>((byte & 0xF0) | index)
                                : static_cast<uint8_t>((byte & 0x0F) | index << 4);
        }
    }
    if (access.palette() != nullptr && image->palette != nullptr) {
        const int32_t entries = std::min(palette_size(image->depth), palette_size(raster->depth));
        for (int32_t i = 0; i < entries; ++i) access.palette()[i] = palette_word(image->palette[i]);
    }
}

void colours_into_raster(const LgImage* image, LgRaster* raster, const RasterAccess& access) {
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    LgPixelConverter converter{};
    converter.set_up(slice->format->format);
    const bool keyed = keyed_without_alpha(raster);
    const uint32_t darkest = keyed ? LgD3DDarkestVisiblePixel(raster->format << 8 & 0x0F00) : 0;
    const uint32_t bytes = static_cast<uint32_t>(raster->depth) / 8;
    const Area a = common_area(image, raster);
    for (int32_t y = 0; y < a.height; ++y) {
        const uint8_t* from = image_row(image, y);
        uint8_t* to = raster_row(access, y);
        for (int32_t x = 0; x < a.width; ++x, to += bytes) {
            const LgRGBA& c = image->depth == 32 ? reinterpret_cast<const LgRGBA*>(from)[x]
                                                 : image->palette[from[x]];
            uint32_t pixel = converter.pack(c);
            if (keyed) pixel = c.alpha == 0 ? 0 : (pixel != 0 ? pixel : darkest);
            store_pixel(to, bytes, pixel);
        }
    }
}

void indices_from_raster(LgImage* image, const LgRaster* raster, const RasterAccess& access) {
    const Area a = common_area(image, raster);
    const uint32_t* palette = access.palette();
    for (int32_t y = 0; y < a.height; ++y) {
        const uint8_t* from = raster_row(access, y);
        uint8_t* to = image_row(image, y);
        for (int32_t x = 0; x < a.width; ++x) {
            const uint8_t index =
                raster->depth == 8 ? from[x] : ((from[x / 2] >> ((x & 1) * 4)) & 0x0F);
            if (image->depth == 32)
                reinterpret_cast<LgRGBA*>(to)[x] =
                    palette != nullptr ? palette_colour(palette[index]) : LgRGBA{0, 0, 0, 255};
            else
                to[x] = index;
        }
    }
    if (image->depth != 32 && palette != nullptr && image->palette != nullptr) {
        const int32_t entries = std::min(palette_size(image->depth), palette_size(raster->depth));
        for (int32_t i = 0; i < entries; ++i) image->palette[i] = palette_colour(palette[i]);
    }
}

void colours_from_raster(LgImage* image, const LgRaster* raster, const RasterAccess& access) {
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    LgPixelConverter converter{};
    converter.set_up(slice->format->format);
    const bool hasAlpha = slice->format->format.dwRGBAlphaBitMask != 0;
    const bool keyed = keyed_without_alpha(raster);
    const uint32_t bytes = static_cast<uint32_t>(raster->depth) / 8;
    const Area a = common_area(image, raster);
    for (int32_t y = 0; y < a.height; ++y) {
        const uint8_t* from = raster_row(access, y);
        auto* to = reinterpret_cast<LgRGBA*>(image_row(image, y));
        for (int32_t x = 0; x < a.width; ++x, from += bytes) {
            const uint32_t pixel = load_pixel(from, bytes);
            LgRGBA c = converter.unpack(pixel);
            if (!hasAlpha) c.alpha = keyed && pixel == 0 ? 0 : 255;
            to[x] = c;
        }
    }
}

bool palettised_depth(int32_t depth) {
    return depth == 4 || depth == 8;
}

bool colour_depth(int32_t depth) {
    return depth == 16 || depth == 24 || depth == 32;
}

} // namespace

int32_t LgD3DRasterFromImage(void* out, void* in, int32_t) {
    auto* raster = static_cast<LgRaster*>(out);
    const auto* image = static_cast<const LgImage*>(in);
    if (raster == nullptr || image == nullptr || image->pixels == nullptr) return 0;
    const bool indexed = palettised_depth(image->depth);
    if (palettised_depth(raster->depth)) {
        // A 4-bit raster holds only 4-bit indices; neither takes colours.
        if (!indexed || (raster->depth == 4 && image->depth != 4))
            return fail_with(LgErrImageDepth);
    } else if (colour_depth(raster->depth)) {
        // Indices need their palette; other depths have nothing the raster could take.
        if (!(indexed || image->depth == 32) || (indexed && image->palette == nullptr) ||
            LgD3DRasterSliceOf(raster)->format == nullptr)
            return fail_with(LgErrImageDepth);
    } else {
        return fail_with(LgErrDevice0C);
    }
    const RasterAccess access(raster, LgRasterLockWrite);
    if (access.pixels() == nullptr) return 0;
    if (palettised_depth(raster->depth))
        indices_into_raster(image, raster, access);
    else
        colours_into_raster(image, raster, access);
    return 1;
}

int32_t LgD3DImageFromRaster(void* out, void* in, int32_t) {
    auto* image = static_cast<LgImage*>(out);
    auto* raster = static_cast<LgRaster*>(in);
    if (image == nullptr || raster == nullptr || image->pixels == nullptr) return 0;
    const bool indexed = palettised_depth(image->depth);
    if (!indexed && image->depth != 32) return fail_with(LgErrDevice0C);
    if (palettised_depth(raster->depth)) {
        if (image->depth == 4 && raster->depth == 8) return fail_with(LgErrDevice0C);
    } else if (colour_depth(raster->depth)) {
        // Colours would have to be quantised into a palette: not a transfer.
        if (indexed || LgD3DRasterSliceOf(raster)->format == nullptr)
            return fail_with(LgErrDevice0C);
    } else {
        return fail_with(LgErrDevice0C);
    }
    const RasterAccess access(raster, LgRasterLockRead);
    if (access.pixels() == nullptr) return 0;
    if (palettised_depth(raster->depth))
        indices_from_raster(image, raster, access);
    else
        colours_from_raster(image, raster, access);
    return 1;
}
