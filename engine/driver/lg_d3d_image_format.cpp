// The raster an image should become: its size, type and format byte, texture formats chosen
// by the image's alpha and palette from the table made at device start.
#include "engine/core/lg_error.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_texture.h"
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_render_state_init.h"

#include "platform/graphics/pixel_format.h"

#include <algorithm>
#include <bit>

using namespace platform;

namespace {

constexpr uint32_t anyMipFilter = D3DPTFILTERCAPS_MIPNEAREST | D3DPTFILTERCAPS_MIPLINEAR |
                                  D3DPTFILTERCAPS_LINEARMIPNEAREST |
                                  D3DPTFILTERCAPS_LINEARMIPLINEAR;
constexpr uint8_t mipmapBit = LgRasterFormatMipmap >> 8;
constexpr uint8_t autoMipmapBit = LgRasterFormatAutoMipmap >> 8;

// Full alpha when any alpha lies between 0 and 255, one-bit when only 0 and 255 occur. For an
// indexed image only the colours its pixels use count: unused palette entries are often zero.
LgD3DAlphaClass alpha_class(const LgImage* image) {
    bool translucent = false;
    bool transparent = false;
    auto look = [&](uint8_t alpha) {
        if (alpha == 0)
            transparent = true;
        else if (alpha != 255)
            translucent = true;
    };
    for (int32_t y = 0; y < image->height && !translucent; ++y) {
        const uint8_t* row = image->pixels + static_cast<ptrdiff_t>(y) * image->stride;
        for (int32_t x = 0; x < image->width; ++x) {
            if (image->depth == 32)
                look(reinterpret_cast<const LgRGBA*>(row)[x].alpha);
            else if (image->palette != nullptr)
                look(image->palette[row[x] & (image->depth == 4 ? 0x0F : 0xFF)].alpha);
        }
    }
    if (translucent) return LgD3DFullAlpha;
    return transparent ? LgD3DOneBitAlpha : LgD3DOpaque;
}

LgD3DPaletteClass palette_class(const LgImage* image) {
    switch (image->depth) {
    case 4: return LgD3DPalette4;
    case 8: return LgD3DPalette8;
    default: return LgD3DNoPalette;
    }
}

int32_t clamp_side(int32_t side, uint32_t least, uint32_t most) {
    if (most != 0 && side > static_cast<int32_t>(most)) side = static_cast<int32_t>(most);
    if (side < static_cast<int32_t>(least)) side = static_cast<int32_t>(least);
    return side;
}

int32_t power_of_two_below(int32_t side) {
    return side > 0 ? static_cast<int32_t>(std::bit_floor(static_cast<uint32_t>(side))) : side;
}

} // namespace

int32_t LgD3DImageRasterFormat(void* out, void* in, int32_t flags) {
    auto* proposal = static_cast<LgRaster*>(out);
    const auto* image = static_cast<const LgImage*>(in);
    if (proposal == nullptr || image == nullptr) return 0;
    const int32_t type = flags & 7;
    proposal->width = image->width;
    proposal->height = image->height;
    proposal->type = static_cast<uint8_t>(type);
    proposal->format = static_cast<uint8_t>(flags >> 8);
    if (type == LgRasterTypeNormal || type == LgRasterTypeZBuffer || type == LgRasterTypeCamera) {
        proposal->depth = 0;
        return 1;
    }
    if (type != LgRasterTypeTexture) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrDevice0D);
        return 0;
    }
    const LgD3DTextureFormat* entry =
        image->pixels != nullptr
            ? LgD3DDriver.formats.choice[alpha_class(image)][palette_class(image)]
            : LgD3DDriver.formats.choice[LgD3DOpaque][palette_class(image)];
    if (entry == nullptr) {
        // No device has started: there are no texture formats to choose from.
        LgErrorRaise(LgErrorGroupGeneric, LgErrDevice0D);
        return 0;
    }
    const D3DDEVICEDESC& device = LgD3DCurrentDeviceDesc();
    const D3DPRIMCAPS& caps = device.dpcTriCaps;
    uint8_t format = static_cast<uint8_t>(entry->code >> 8);
    const bool mipmapped = (caps.dwTextureFilterCaps & anyMipFilter) != 0 &&
                           LgTextureGetMipmapping() != 0 && (flags & LgRasterFormatMipmap) != 0;
    if (mipmapped) {
        format |= mipmapBit;
        if (LgTextureGetAutoMipmapping() != 0) format |= autoMipmapBit;
    }
    int32_t width = clamp_side(image->width, device.dwMinTextureWidth, device.dwMaxTextureWidth);
    int32_t height =
        clamp_side(image->height, device.dwMinTextureHeight, device.dwMaxTextureHeight);
    if (mipmapped || (caps.dwTextureCaps & D3DPTEXTURECAPS_POW2) != 0) {
        width = power_of_two_below(width);
        height = power_of_two_below(height);
    }
    if ((caps.dwTextureCaps & D3DPTEXTURECAPS_SQUAREONLY) != 0)
        width = height = std::min(width, height);
    proposal->width = width;
    proposal->height = height;
    proposal->depth = static_cast<int32_t>(format_bits(entry->desc.ddpfPixelFormat));
    proposal->format = format;
    return 1;
}
