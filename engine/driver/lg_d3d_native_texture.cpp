// Native textures in chunked streams: the device's own surface description, the raw pixels of
// every mip level and the palette, written and read back without image conversion.
#include "engine/driver/lg_d3d_native_texture.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_string_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/driver/lg_d3d_raster.h"
#include "engine/driver/lg_d3d_render_state_init.h"
#include "engine/driver/lg_d3d_surface.h"
#include "engine/driver/lg_d3d_texture_chain.h"
#include "engine/driver/lg_d3d_texture_formats.h"

#include "platform/graphics/pixel_format.h"

#include <bit>
#include <cstring>

using namespace platform;

namespace {

constexpr uint8_t platformId[4] = {'D', '3', 'D', 0};
constexpr uint8_t surfaceMagic[4] = {'D', 'D', 'S', ' '};
constexpr uint32_t modesPayload = 8;
constexpr uint32_t surfaceHeader = 4 + kSurfaceDescWireSize;
constexpr uint32_t anyMipFilter = 0x3C;
constexpr uint8_t autoMipmapFormat = LgRasterFormatAutoMipmap >> 8;
constexpr uint8_t mipmapFormat = LgRasterFormatMipmap >> 8;
constexpr uint32_t storedCapsCleared = DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE;
constexpr uint32_t notTextureCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_BACKBUFFER |
                                    DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE | DDSCAPS_OFFSCREENPLAIN |
                                    DDSCAPS_ZBUFFER | DDSCAPS_3DDEVICE;

constexpr uint32_t fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(a) | static_cast<uint32_t>(b) << 8 |
           static_cast<uint32_t>(c) << 16 | static_cast<uint32_t>(d) << 24;
}
constexpr uint32_t dxt1 = fourcc('D', 'X', 'T', '1');
constexpr uint32_t dxt2 = fourcc('D', 'X', 'T', '2');
constexpr uint32_t dxt3 = fourcc('D', 'X', 'T', '3');
constexpr uint32_t dxt4 = fourcc('D', 'X', 'T', '4');
constexpr uint32_t dxt5 = fourcc('D', 'X', 'T', '5');

int32_t palette_entries(const LgRaster* raster) {
    switch (raster->format & 0x60) {
    case 0x20: return 256;
    case 0x40: return 16;
    default: return 0;
    }
}

DDSURFACEDESC2 describe(IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    surface->GetSurfaceDesc(&desc);
    return desc;
}

// Stored bytes of one level: compressed levels by their linear size, others as rows without
// padding. Rows of 4-bit pixels hold two pixels a byte, so a row never reads past the pitch.
uint32_t level_bytes(const DDSURFACEDESC2& desc) {
    if ((desc.dwFlags & DDSD_LINEARSIZE) != 0) return desc.dwLinearSize;
    return row_bytes(desc.ddpfPixelFormat, desc.dwWidth) * desc.dwHeight;
}

uint32_t all_level_bytes(IDirectDrawSurface4* top) {
    uint32_t total = 0;
    for (IDirectDrawSurface4* s = top; s != nullptr; s = LgD3DGetNextMipLevel(s))
        total += level_bytes(describe(s));
    return total;
}

uint32_t surface_body_size(const LgRaster* raster) {
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    const int32_t entries = palette_entries(raster);
    return surfaceHeader + all_level_bytes(slice->surface) +
           (entries != 0 ? 4 + 4 * static_cast<uint32_t>(entries) : 0);
}

bool write_u32(LgStream* stream, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return LgStreamWrite(stream, bytes, 4) != nullptr;
}

bool read_u32(LgStream* stream, uint32_t& value) {
    uint8_t b[4];
    if (LgStreamRead(stream, b, 4) != 4) return false;
    value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
            static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

// Moves one level's rows between the stream and the locked surface.
template <bool Writing>
bool transfer_level(LgStream* stream, IDirectDrawSurface4* level) {
    DDSURFACEDESC2 desc{};
    auto* pixels = static_cast<uint8_t*>(Writing ? LgD3DSurfaceLockRead(level, &desc)
                                                 : LgD3DSurfaceLockWrite(level, &desc));
    if (pixels == nullptr) return false;
    const bool linear = (desc.dwFlags & DDSD_LINEARSIZE) != 0;
    const uint32_t rowLength =
        linear ? desc.dwLinearSize : row_bytes(desc.ddpfPixelFormat, desc.dwWidth);
    const uint32_t rows = linear ? 1 : desc.dwHeight;
    bool ok = rowLength != 0;
    for (uint32_t y = 0; ok && y < rows; ++y) {
        uint8_t* row = pixels + static_cast<size_t>(y) * static_cast<uint32_t>(desc.lPitch);
        ok = Writing ? LgStreamWrite(stream, row, rowLength) != nullptr
                     : LgStreamRead(stream, row, rowLength) == rowLength;
    }
    LgD3DSurfaceUnlock(level);
    return ok;
}

bool write_surface_body(LgStream* stream, const LgRaster* raster) {
    const LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    DDSURFACEDESC2 desc = describe(slice->surface);
    desc.ddsCaps.dwCaps &= ~storedCapsCleared;
    desc.ddsCaps.dwCaps2 &= ~DDSCAPS2_TEXTUREMANAGE;
    desc.dwFlags &= ~DDSD_PITCH;
    uint8_t wire[kSurfaceDescWireSize];
    surface_desc_to_wire(desc, (raster->format & autoMipmapFormat) != 0 ? 1 : 0, wire);
    if (LgStreamWrite(stream, surfaceMagic, 4) == nullptr ||
        LgStreamWrite(stream, wire, kSurfaceDescWireSize) == nullptr)
        return false;
    for (IDirectDrawSurface4* s = slice->surface; s != nullptr; s = LgD3DGetNextMipLevel(s))
        if (!transfer_level<true>(stream, s)) return false;
    const int32_t entries = palette_entries(raster);
    if (entries == 0) return true;
    uint32_t caps = 0;
    PALETTEENTRY colours[256];
    if (slice->palette == nullptr || failed(slice->palette->GetCaps(&caps)) ||
        failed(slice->palette->GetEntries(0, 0, static_cast<uint32_t>(entries), colours)))
        return false;
    return write_u32(stream, caps) &&
           LgStreamWrite(stream, colours, 4 * static_cast<uint32_t>(entries)) != nullptr;
}

int32_t alpha_bits_for(uint32_t code) {
    switch (code) {
    case dxt1: return 1;
    case dxt2:
    case dxt3: return 4;
    case dxt4:
    case dxt5: return 8;
    default: return -1;
    }
}

// The listed format a compressed texture the device cannot use is decompressed into.
const LgD3DTextureFormat* replacement_format(uint32_t code) {
    const int32_t alpha = alpha_bits_for(code);
    if (alpha < 0) return nullptr;
    const LgD3DTextureFormat* best = nullptr;
    int32_t bestAlpha = -1;
    for (const LgD3DTextureFormat* e = LgD3DDriver.formats.list; e != nullptr; e = e->next) {
        const DDPIXELFORMAT& f = e->desc.ddpfPixelFormat;
        if (std::popcount(f.dwRBitMask) < 4 || std::popcount(f.dwGBitMask) < 4 ||
            std::popcount(f.dwBBitMask) < 4)
            continue;
        const int32_t a = std::popcount(f.dwRGBAlphaBitMask);
        if (a == alpha) return e;
        if (a > bestAlpha) {
            best = e;
            bestAlpha = a;
        }
    }
    return best;
}

// Blits the stored levels into a surface of a format the device takes, and uses that.
bool decompress(LgRaster* raster, const DDSURFACEDESC2& stored, uint32_t code) {
    const LgD3DTextureFormat* entry = replacement_format(code);
    if (entry == nullptr) return false;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    DDSURFACEDESC2 desc = entry->desc;
    desc.dwWidth = stored.dwWidth;
    desc.dwHeight = stored.dwHeight;
    desc.dwFlags |= stored.dwFlags & (DDSD_CKSRCBLT | DDSD_MIPMAPCOUNT);
    desc.ddckCKSrcBlt = stored.ddckCKSrcBlt;
    desc.dwMipMapCount = stored.dwMipMapCount;
    desc.ddsCaps.dwCaps |= stored.ddsCaps.dwCaps & (DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
    IDirectDrawSurface4* fresh = nullptr;
    if (failed(LgD3DDriver.directDraw->CreateSurface(&desc, &fresh, nullptr))) return false;
    IDirectDrawSurface4* to = fresh;
    for (IDirectDrawSurface4* from = slice->surface; from != nullptr && to != nullptr;
         from = LgD3DGetNextMipLevel(from), to = LgD3DGetNextMipLevel(to)) {
        if (failed(to->Blt(nullptr, from, nullptr, DDBLT_WAIT, nullptr))) {
            fresh->Release();
            return false;
        }
    }
    LgTexChainRemove(raster);
    slice->surface->Release();
    slice->surface = fresh;
    LgTexChainAdd(raster);
    slice->format->format = entry->desc.ddpfPixelFormat;
    raster->depth = static_cast<int32_t>(format_bits(entry->desc.ddpfPixelFormat));
    raster->format = static_cast<uint8_t>((raster->format & (mipmapFormat | autoMipmapFormat)) |
                                          entry->code >> 8);
    return true;
}

// The entries of a palette of these capabilities, the largest size bit winning as in the
// palette's creation; 0 without one.
int32_t palette_size(uint32_t caps) {
    if ((caps & DDPCAPS_8BIT) != 0) return 256;
    if ((caps & DDPCAPS_4BIT) != 0) return 16;
    if ((caps & DDPCAPS_2BIT) != 0) return 4;
    if ((caps & DDPCAPS_1BIT) != 0) return 2;
    return 0;
}

bool read_palette(LgStream* stream, LgRaster* raster, uint32_t& consumed) {
    const int32_t entries = palette_entries(raster);
    if (entries == 0) return true;
    uint32_t caps = 0;
    PALETTEENTRY colours[256];
    if (!read_u32(stream, caps) ||
        LgStreamRead(stream, colours, 4 * static_cast<uint32_t>(entries)) !=
            4 * static_cast<uint32_t>(entries))
        return false;
    consumed += 4 + 4 * static_cast<uint32_t>(entries);
    // A palette of another size would be attached all the same, and its entries could then
    // be neither written back nor looked up by the raster's indices.
    if (palette_size(caps) != entries) return false;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    return succeeded(
               LgD3DDriver.directDraw->CreatePalette(caps, colours, &slice->palette, nullptr)) &&
           succeeded(slice->surface->SetPalette(slice->palette));
}

// Everything after the raster exists; false leaves the caller to destroy it.
bool fill_raster(LgStream* stream, LgRaster* raster, DDSURFACEDESC2& desc, uint32_t word,
                 uint32_t& consumed) {
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    slice->colourKey = (desc.dwFlags & DDSD_CKSRCBLT) != 0 ? 1 : 0;
    if (failed(LgD3DDriver.directDraw->CreateSurface(&desc, &slice->surface, nullptr))) {
        slice->surface = nullptr;
        return false;
    }
    // From here the raster owns the surface: destroying it releases what it holds.
    raster->creationFlags &= static_cast<uint8_t>(~LgRasterDontAllocate);
    const DDSURFACEDESC2 made = describe(slice->surface);
    const auto code = static_cast<uint32_t>(LgD3DPixelFormatCode(&made.ddpfPixelFormat));
    slice->format->format = made.ddpfPixelFormat;
    raster->depth = static_cast<int32_t>(format_bits(made.ddpfPixelFormat));
    raster->stride = 0;
    raster->width = static_cast<int32_t>(made.dwWidth);
    raster->height = static_cast<int32_t>(made.dwHeight);
    const LgD3DTextureFormat* entry = LgD3DFindTextureFormat(static_cast<int32_t>(code));
    if (entry != nullptr) slice->format->format = entry->desc.ddpfPixelFormat;
    uint8_t format = 0;
    if ((made.ddpfPixelFormat.dwFlags & DDPF_FOURCC) != 0) {
        if (code == dxt1) {
            format = 0x01;
            slice->format->format = make_rgb_format(16, 0x8000, 0x7C00, 0x3E0, 0x1F);
        } else if (alpha_bits_for(code) > 1) {
            format = 0x03;
            slice->format->format = make_rgb_format(16, 0xF000, 0xF00, 0xF0, 0xF);
        } else {
            return false;
        }
    } else {
        format = static_cast<uint8_t>(code >> 8);
    }
    if ((made.ddsCaps.dwCaps & DDSCAPS_MIPMAP) != 0) {
        format |= mipmapFormat;
        if (word == 1) format |= autoMipmapFormat;
    }
    raster->format = format;
    LgTexChainAdd(raster);
    for (IDirectDrawSurface4* s = slice->surface; s != nullptr; s = LgD3DGetNextMipLevel(s)) {
        const uint32_t bytes = level_bytes(describe(s));
        if (bytes == 0 || !transfer_level<false>(stream, s)) return false;
        consumed += bytes;
    }
    if (entry == nullptr && !decompress(raster, made, code)) return false;
    if (!read_palette(stream, raster, consumed)) return false;
    return succeeded(slice->surface->QueryInterface(IID_IDirect3DTexture2,
                                                    reinterpret_cast<void**>(&slice->texture)));
}

} // namespace

LgRaster* LgD3DReadNativeRaster(LgStream* stream, uint32_t length) {
    if (stream == nullptr || length < surfaceHeader || LgD3DDriver.directDraw == nullptr)
        return nullptr;
    uint8_t magic[4];
    uint8_t wire[kSurfaceDescWireSize];
    if (LgStreamRead(stream, magic, 4) != 4 || std::memcmp(magic, surfaceMagic, 4) != 0 ||
        LgStreamRead(stream, wire, kSurfaceDescWireSize) != kSurfaceDescWireSize)
        return nullptr;
    DDSURFACEDESC2 desc{};
    const uint32_t word = surface_desc_from_wire(wire, &desc);
    desc.dwSize = sizeof(desc);
    if ((LgD3DCurrentDeviceDesc().dpcTriCaps.dwTextureFilterCaps & anyMipFilter) == 0) {
        desc.dwFlags &= ~DDSD_MIPMAPCOUNT;
        desc.ddsCaps.dwCaps &= ~(DDSCAPS_MIPMAP | DDSCAPS_COMPLEX);
        desc.dwMipMapCount = 0;
    }
    desc.ddsCaps.dwCaps |= DDSCAPS_TEXTURE;
    desc.ddsCaps.dwCaps2 |= DDSCAPS2_TEXTUREMANAGE;
    // A stored texture describes a texture: a primary surface with back buffers, a z buffer or
    // a render target would be made as such, whatever memory that takes.
    if ((desc.ddsCaps.dwCaps & notTextureCaps) != 0) return nullptr;
    desc.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
    desc.dwBackBufferCount = 0;
    // The surface is made before its pixels are read: a size no device texture can have
    // would have the device set aside memory the stream may never fill.
    const D3DDEVICEDESC& device = LgD3DCurrentDeviceDesc();
    if ((device.dwMaxTextureWidth != 0 && desc.dwWidth > device.dwMaxTextureWidth) ||
        (device.dwMaxTextureHeight != 0 && desc.dwHeight > device.dwMaxTextureHeight))
        return nullptr;
    LgRaster* raster = LgRasterCreate(0, 0, 0, LgRasterTypeTexture | LgRasterDontAllocate);
    if (raster == nullptr) return nullptr;
    uint32_t consumed = surfaceHeader;
    if (!fill_raster(stream, raster, desc, word, consumed) || consumed > length) {
        LgRasterDestroy(raster);
        return nullptr;
    }
    if (consumed < length && LgStreamSkip(stream, length - consumed) == nullptr) {
        LgRasterDestroy(raster);
        return nullptr;
    }
    return raster;
}

int32_t LgD3DNativeTextureSize(void* out, void* in, int32_t) {
    const auto* texture = static_cast<const LgTexture*>(in);
    if (out == nullptr || texture == nullptr || texture->raster == nullptr ||
        LgD3DRasterSliceOf(texture->raster)->surface == nullptr)
        return 0;
    *static_cast<uint32_t*>(out) = LgChunkHeaderSize + modesPayload +
                                   LgStringStreamSize(texture->name) + LgChunkHeaderSize +
                                   LgStringStreamSize(texture->mask) + LgChunkHeaderSize +
                                   LgChunkHeaderSize + surface_body_size(texture->raster);
    return 1;
}

int32_t LgD3DNativeTextureWrite(void* out, void* in, int32_t) {
    auto* stream = static_cast<LgStream*>(out);
    const auto* texture = static_cast<const LgTexture*>(in);
    if (stream == nullptr || texture == nullptr || texture->raster == nullptr ||
        LgD3DRasterSliceOf(texture->raster)->surface == nullptr)
        return 0;
    const uint32_t modes = (texture->filterMode & 0xFF) | (texture->addressingU & 0x0F) << 8 |
                           (texture->addressingV & 0x0F) << 12;
    if (LgStreamWriteChunkHeader(stream, LgChunkStruct, modesPayload, LgChunkVersion) == nullptr ||
        LgStreamWrite(stream, platformId, 4) == nullptr || !write_u32(stream, modes) ||
        LgStringStreamWrite(texture->name, stream) == nullptr ||
        LgStringStreamWrite(texture->mask, stream) == nullptr ||
        LgStreamWriteChunkHeader(stream, LgChunkStruct, surface_body_size(texture->raster),
                                 LgChunkVersion) == nullptr)
        return 0;
    return write_surface_body(stream, texture->raster) ? 1 : 0;
}

int32_t LgD3DNativeTextureRead(void* out, void* in, int32_t) {
    auto* stream = static_cast<LgStream*>(out);
    auto** result = static_cast<LgTexture**>(in);
    if (stream == nullptr || result == nullptr) return 0;
    *result = nullptr;
    uint32_t length = 0;
    uint8_t payload[modesPayload];
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr) || length != modesPayload ||
        LgStreamRead(stream, payload, modesPayload) != modesPayload ||
        std::memcmp(payload, platformId, 4) != 0)
        return 0;
    const uint32_t modes = static_cast<uint32_t>(payload[4]) | static_cast<uint32_t>(payload[5])
                                                                   << 8;
    char name[LgTextureNameMax + 1];
    char mask[LgTextureNameMax + 1];
    if (LgStringStreamRead(name, sizeof(name), stream) == nullptr ||
        LgStringStreamRead(mask, sizeof(mask), stream) == nullptr ||
        !LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr))
        return 0;
    LgRaster* raster = LgD3DReadNativeRaster(stream, length);
    if (raster == nullptr) return 0;
    LgTexture* texture = LgTextureCreate(raster);
    if (texture == nullptr) {
        LgRasterDestroy(raster);
        return 0;
    }
    LgTextureSetFilterMode(texture, modes & 0xFF);
    LgTextureSetAddressingU(texture, (modes >> 8) & 0x0F);
    LgTextureSetAddressingV(texture, (modes >> 12) & 0x0F);
    LgTextureSetName(texture, name);
    LgTextureSetMaskName(texture, mask);
    *result = texture;
    return 1;
}
