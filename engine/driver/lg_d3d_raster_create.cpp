// Standard function 4: the DirectDraw surface behind every engine raster, made from the
// templates of the started device.
#include "engine/core/lg_error.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_raster.h"
#include "engine/driver/lg_d3d_texture_chain.h"
#include "engine/driver/lg_d3d_texture_formats.h"

#include <algorithm>
#include <bit>
#include <cstring>

using namespace platform;

namespace {

constexpr int32_t formatBits = 0x6F00;
constexpr int32_t explicitFormatBits = 0xF00;
constexpr int32_t mipBits = LgRasterFormatMipmap | LgRasterFormatAutoMipmap;

int32_t refuse(int32_t code) {
    LgErrorRaise(LgErrorGroupGeneric, code);
    return 0;
}

int32_t bit_count(const DDPIXELFORMAT& f) {
    return static_cast<int32_t>(f.dwRGBBitCount);
}

// Completes a depth of 0 or checks a given one; 0 on success, else the error code.
int32_t settle_depth(LgRaster* raster, int32_t depth) {
    if (raster->depth == 0) {
        raster->depth = depth;
        return 0;
    }
    return raster->depth == depth ? 0 : LgErrDevice0C;
}

LgD3DTextureFormat* texture_format_by_depth(int32_t flags, int32_t depth, int32_t* error) {
    const LgD3DTextureFormats& f = LgD3DDriver.formats;
    if ((flags & LgRasterFormatPal4) != 0) {
        if (depth != 0 && depth != 4) *error = LgErrDevice0C;
        return f.pal4;
    }
    if ((flags & LgRasterFormatPal8) != 0) {
        if (depth != 0 && depth != 8) *error = LgErrDevice0C;
        return f.pal8;
    }
    switch (depth) {
    case 4: return f.pal4;
    case 8: return f.pal8;
    case 16: return f.first;
    case 24: return f.format24;
    case 32: return f.format32;
    case 0:
        for (LgD3DTextureFormat* candidate : {f.first, f.format24, f.format32, f.pal8, f.pal4})
            if (candidate != nullptr) return candidate;
        return nullptr;
    default: return nullptr;
    }
}

// Step 1: the format code and depth of the raster; 0 or the error code.
int32_t check_format(LgRaster* raster, int32_t type, int32_t flags, int32_t* code) {
    const int32_t format = flags & formatBits;
    const int32_t mips = flags & mipBits;
    const LgD3DTextureFormats& f = LgD3DDriver.formats;
    switch (type) {
    case LgRasterTypeNormal:
    case LgRasterTypeCamera:
        if (mips != 0 || (format != 0 && format != f.cameraCode)) return LgErrDevice0D;
        *code = f.cameraCode;
        return settle_depth(raster, bit_count(f.cameraTemplate.ddpfPixelFormat));
    case LgRasterTypeZBuffer:
        if (mips != 0 || (format != 0 && format != f.zCode)) return LgErrDevice0D;
        *code = f.zCode;
        return settle_depth(raster, f.zDepth);
    default: break;
    }
    int32_t wanted = 0;
    if ((flags & explicitFormatBits) != 0) {
        wanted = format;
    } else {
        int32_t error = 0;
        const LgD3DTextureFormat* chosen = texture_format_by_depth(flags, raster->depth, &error);
        if (error != 0) return error;
        if (chosen == nullptr) return LgErrDevice0D;
        wanted = chosen->code;
    }
    const LgD3DTextureFormat* entry = LgD3DFindTextureFormat(wanted);
    if (entry == nullptr) return LgErrDevice0D;
    *code = entry->code;
    return settle_depth(raster, bit_count(entry->desc.ddpfPixelFormat));
}

void take_description(LgRaster* raster, LgD3DRasterSlice* slice, IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    surface->GetSurfaceDesc(&desc);
    slice->format->format = desc.ddpfPixelFormat;
    raster->depth = bit_count(desc.ddpfPixelFormat);
    raster->stride = desc.lPitch;
}

IDirectDrawSurface4* create_from(const DDSURFACEDESC2& templ, const LgRaster* raster) {
    DDSURFACEDESC2 desc = templ;
    desc.dwWidth = static_cast<uint32_t>(raster->width);
    desc.dwHeight = static_cast<uint32_t>(raster->height);
    IDirectDrawSurface4* surface = nullptr;
    if (LgD3DDriver.directDraw == nullptr ||
        failed(LgD3DDriver.directDraw->CreateSurface(&desc, &surface, nullptr)))
        return nullptr;
    return surface;
}

int32_t mip_count(int32_t width, int32_t height) {
    const auto side = static_cast<uint32_t>(std::min(width, height));
    return static_cast<int32_t>(std::bit_width(side));
}

int32_t create_texture(LgRaster* raster, LgD3DRasterSlice* slice, int32_t mips) {
    const LgD3DTextureFormat* entry = LgD3DFindTextureFormat((raster->format & 0x6F) << 8);
    if (entry == nullptr) entry = LgD3DDriver.formats.first;
    DDSURFACEDESC2 desc = entry->desc;
    desc.dwWidth = static_cast<uint32_t>(raster->width);
    desc.dwHeight = static_cast<uint32_t>(raster->height);
    raster->format = static_cast<uint8_t>((entry->code >> 8) | (mips >> 8));
    if (mips != 0) {
        desc.dwFlags |= DDSD_MIPMAPCOUNT;
        desc.ddsCaps.dwCaps |= DDSCAPS_MIPMAP | DDSCAPS_COMPLEX;
        desc.dwMipMapCount = static_cast<uint32_t>(mip_count(raster->width, raster->height));
    }
    slice->colourKey = (desc.dwFlags & DDSD_CKSRCBLT) != 0 ? 1 : 0;
    IDirectDrawSurface4* surface = nullptr;
    IDirectDrawPalette* palette = nullptr;
    IDirect3DTexture2* texture = nullptr;
    bool ok = LgD3DDriver.directDraw != nullptr &&
              succeeded(LgD3DDriver.directDraw->CreateSurface(&desc, &surface, nullptr));
    if (ok) {
        DDSURFACEDESC2 made{};
        made.dwSize = sizeof(made);
        surface->GetSurfaceDesc(&made);
        slice->format->format = made.ddpfPixelFormat;
        raster->depth = bit_count(made.ddpfPixelFormat);
        raster->stride = 0;
    }
    if (ok && entry->paletteCaps != 0) {
        PALETTEENTRY entries[256] = {};
        ok = succeeded(LgD3DDriver.directDraw->CreatePalette(entry->paletteCaps, entries, &palette,
                                                             nullptr)) &&
             succeeded(surface->SetPalette(palette));
    }
    ok = ok && succeeded(surface->QueryInterface(IID_IDirect3DTexture2,
                                                 reinterpret_cast<void**>(&texture)));
    if (!ok) {
        LgD3DReleaseField(texture);
        LgD3DReleaseField(palette);
        LgD3DReleaseField(surface);
        LgD3DReleasePixelFormat(slice->format);
        slice->format = nullptr;
        LgD3DRaiseDriverError("Failed to create DD Surface for Texture");
        return 0;
    }
    slice->surface = surface;
    slice->palette = palette;
    slice->texture = texture;
    LgTexChainAdd(raster);
    return 1;
}

// Surfaces of a started device that the raster shares (full screen) or owns (windowed).
int32_t create_surface_from(LgRaster* raster, LgD3DRasterSlice* slice, const DDSURFACEDESC2& templ,
                            IDirectDrawSurface4* shared) {
    IDirectDrawSurface4* surface = nullptr;
    if (LgD3DDriver.fullScreen && shared != nullptr) {
        shared->AddRef();
        surface = shared;
    } else {
        surface = create_from(templ, raster);
    }
    if (surface == nullptr) {
        LgD3DReleasePixelFormat(slice->format);
        slice->format = nullptr;
        return 0;
    }
    slice->surface = surface;
    take_description(raster, slice, surface);
    return 1;
}

} // namespace

int32_t LgD3DRasterCreate(void* out, void*, int32_t flags) {
    auto* raster = static_cast<LgRaster*>(out);
    if (raster == nullptr) return 0;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    std::memset(slice, 0, sizeof(LgD3DRasterSlice));
    const int32_t type = flags & 7;
    if (type != LgRasterTypeNormal && type != LgRasterTypeZBuffer && type != LgRasterTypeCamera &&
        type != LgRasterTypeTexture)
        return refuse(LgErrDevice0D);
    // Rasters with storage need the started device's templates and interfaces.
    if (!LgD3DDriver.started) return refuse(LgErrBadState);
    raster->type = static_cast<uint8_t>(type);
    raster->creationFlags = static_cast<uint8_t>(flags & 0xF8);
    const int32_t mips = flags & mipBits;
    int32_t code = 0;
    if (const int32_t error = check_format(raster, type, flags, &code)) return refuse(error);
    raster->format =
        static_cast<uint8_t>((code >> 8) | (type == LgRasterTypeTexture ? mips >> 8 : 0));
    LgD3DSetRasterPixels(raster, nullptr);

    auto* record = static_cast<LgD3DPixelFormatRecord*>(LgD3DAlloc(sizeof(LgD3DPixelFormatRecord)));
    if (record == nullptr) return refuse(LgErrOutOfMemory);
    record->refCount = 1;
    record->format = LgD3DDriver.primaryDesc.ddpfPixelFormat;
    slice->format = record;

    const bool noSurface = (flags & LgRasterDontAllocate) != 0;
    if (raster->width == 0 || raster->height == 0) {
        raster->creationFlags |= LgRasterDontAllocate;
        raster->stride = 0;
        if (raster->depth == 0) raster->depth = 16;
        return 1;
    }
    const LgD3DTextureFormats& f = LgD3DDriver.formats;
    switch (type) {
    case LgRasterTypeTexture: return noSurface ? 1 : create_texture(raster, slice, mips);
    case LgRasterTypeNormal:
        return noSurface ? 1 : create_surface_from(raster, slice, f.plainTemplate, nullptr);
    case LgRasterTypeZBuffer:
        if (noSurface || LgD3DDriver.noZBuffer) {
            std::memset(&record->format, 0, sizeof(record->format));
            raster->depth = 0;
            raster->stride = 0;
            return 1;
        }
        return create_surface_from(raster, slice, f.zTemplate,
                                   LgD3DDriver.fullScreenTarget.zBuffer);
    default:
        if (noSurface) {
            std::memset(&record->format, 0, sizeof(record->format));
            return 1;
        }
        return create_surface_from(raster, slice, f.cameraTemplate,
                                   LgD3DDriver.fullScreenTarget.colour);
    }
}
