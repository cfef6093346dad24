// The standard-function table the driver hands the engine, and its raster functions: destroy,
// sub-rasters, locks, palette locks, mip-level count and show.
#include "engine/core/lg_error.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_texture.h"
#include "engine/driver/lg_d3d_camera.h"
#include "engine/driver/lg_d3d_native_texture.h"
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_raster.h"
#include "engine/driver/lg_d3d_surface.h"
#include "engine/driver/lg_d3d_texture_chain.h"

#include "platform/graphics/presenter.h"

#include <cstdio>

using namespace platform;

namespace {

constexpr uint8_t lockedForRead = 0x02;
constexpr uint8_t lockedForWrite = 0x04;
constexpr uint8_t paletteLockedForRead = 0x08;
constexpr uint8_t paletteLockedForWrite = 0x10;
constexpr uint8_t formatAutoMipmap = LgRasterFormatAutoMipmap >> 8;

int32_t not_supported(void*, void*, int32_t) {
    return 0;
}

struct Slot {
    int32_t index;
    LgStandardFunc function;
};

const Slot driverSlots[] = {
    {LgStdCameraBeginUpdate, LgD3DCameraBeginUpdate},
    {LgStdRasterCreate, LgD3DRasterCreate},
    {LgStdRasterDestroy, LgD3DRasterDestroy},
    {LgStdStoreValue, LgD3DStoreValue},
    {LgStdCameraEndUpdate, LgD3DCameraEndUpdate},
    {LgStdSubRaster, LgD3DSubRaster},
    {LgStdRasterLock, LgD3DRasterLock},
    {LgStdRasterUnlock, LgD3DRasterUnlock},
    {LgStdRasterShow, LgD3DRasterShow},
    {LgStdCameraClear, LgD3DCameraClear},
    {LgStdTranslucentReplayOrder, LgD3DSetTranslucentReplayOrder},
    {LgStdPaletteLock, LgD3DPaletteLock},
    {LgStdPaletteUnlock, LgD3DPaletteUnlock},
    {LgStdRasterNumLevels, LgD3DRasterNumLevels},
    {LgStdRGBAToPixel, LgD3DRGBAToPixel},
    {LgStdPixelToRGBA, LgD3DPixelToRGBA},
    {LgStdImageFromRaster, LgD3DImageFromRaster},
    {LgStdRasterFromImage, LgD3DRasterFromImage},
    {LgStdRasterFormatForImage, LgD3DImageRasterFormat},
    {LgStdSetDrawingTarget, LgD3DSetTarget},
    {LgStdClearRect, LgD3DClearRect},
    {LgStdClear, LgD3DClearTarget},
    {LgStdRasterRenderTransparent, LgD3DRasterRenderTransparent},
    {LgStdRasterRenderScaled, LgD3DRasterRenderScaled},
    {LgStdRasterRenderFast, LgD3DRasterRenderFast},
    {LgStdNativeTextureGetSize, LgD3DNativeTextureSize},
    {LgStdNativeTextureRead, LgD3DNativeTextureRead},
    {LgStdNativeTextureWrite, LgD3DNativeTextureWrite},
};

LgRaster* raster_of(void* p) {
    return static_cast<LgRaster*>(p);
}

int32_t palette_entries(const LgRaster* raster) {
    switch (raster->format & 0x60) {
    case 0x20: return 256;
    case 0x40: return 16;
    default: return 0;
    }
}

void free_palette_buffer(LgD3DRasterSlice* slice) {
    LgD3DFree(slice->paletteBuffer);
    slice->paletteBuffer = nullptr;
}

int32_t fail_with(int32_t code) {
    LgErrorRaise(LgErrorGroupGeneric, code);
    return 0;
}

} // namespace

int32_t LgD3DFillStandardFunctions(LgStandardFunctions* table, int32_t count) {
    if (table == nullptr) return 0;
    count = count < LgStandardFunctionCount ? count : LgStandardFunctionCount;
    for (int32_t i = 0; i < count; ++i) table->slot[i] = not_supported;
    for (const Slot& s : driverSlots)
        if (s.index >= 0 && s.index < count) table->slot[s.index] = s.function;
    return 1;
}

void LgD3DDetachCameras(LgD3DRasterSlice* slice) {
    LgD3DRenderTarget* first = slice->firstCamera;
    if (first == nullptr) return;
    LgD3DRenderTarget* camera = first;
    do {
        camera->raster = nullptr;
        camera = camera->nextInRing;
    } while (camera != nullptr && camera != first);
    slice->firstCamera = nullptr;
}

int32_t LgD3DRasterDestroy(void* out, void*, int32_t) {
    LgRaster* raster = raster_of(out);
    if (raster == nullptr) return 0;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    // Translucent geometry queued with this texture must not outlive it.
    LgD3DFlushDeferred();
    if (LgD3DDriver.renderStates.textureRaster == raster) {
        LgD3DDriver.renderStates.textureRaster = nullptr;
        // A device keeping the texture bound would draw with it again once the cache, which
        // now says none, lets a later "no texture" pass as unchanged.
        LgD3DRenderTarget* target = LgD3DDriver.currentTarget != nullptr
                                        ? LgD3DDriver.currentTarget
                                        : &LgD3DDriver.fullScreenTarget;
        if (target->device != nullptr) target->device->SetTexture(0, nullptr);
    }
    if ((raster->creationFlags & LgRasterDontAllocate) == 0) {
        LgD3DReleaseField(slice->texture);
        LgD3DReleaseField(slice->palette);
        LgD3DReleaseField(slice->surface);
    }
    LgTexChainRemove(raster);
    LgD3DReleasePixelFormat(slice->format);
    slice->format = nullptr;
    slice->surface = nullptr;
    slice->texture = nullptr;
    slice->palette = nullptr;
    LgD3DDetachCameras(slice);
    free_palette_buffer(slice);
    raster->type = 0;
    raster->stride = 0;
    raster->width = 0;
    raster->height = 0;
    return 1;
}

int32_t LgD3DStoreValue(void* out, void*, int32_t value) {
    if (out == nullptr) return 0;
    *static_cast<int32_t*>(out) = value;
    return 1;
}

int32_t LgD3DSubRaster(void* out, void* in, int32_t) {
    LgRaster* raster = raster_of(out);
    const LgRaster* parent = raster_of(in);
    if (raster == nullptr || parent == nullptr) return 0;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    const LgD3DRasterSlice* parentSlice = LgD3DRasterSliceOf(parent);
    // Cameras attached to the window would keep pointing at it after it stops being theirs.
    LgD3DDetachCameras(slice);
    LgD3DReleasePixelFormat(slice->format);
    raster->stride = parent->stride;
    raster->depth = parent->depth;
    raster->type = parent->type;
    raster->format = parent->format;
    LgD3DSetRasterPixels(raster, nullptr);
    slice->format = parentSlice->format;
    if (slice->format != nullptr) ++slice->format->refCount;
    slice->surface = parentSlice->surface;
    return 1;
}

int32_t LgD3DRasterLock(void* out, void* in, int32_t levelAndMode) {
    LgRaster* raster = raster_of(in);
    if (out == nullptr || raster == nullptr) return 0;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    if (slice->surface == nullptr || slice->format == nullptr ||
        (slice->format->format.dwFlags & DDPF_FOURCC) != 0)
        return 0;
    const int32_t level = (levelAndMode >> 8) & 0xFF;
    const int32_t mode = levelAndMode & 0xFF;
    IDirectDrawSurface4* surface = LgD3DGetMipLevel(slice->surface, level);
    if (surface == nullptr) return fail_with(LgErrDevice0F);
    DDSURFACEDESC2 desc{};
    void* memory = nullptr;
    switch (mode & 3) {
    case LgRasterLockWrite: memory = LgD3DSurfaceLockWrite(surface, &desc); break;
    case LgRasterLockRead: memory = LgD3DSurfaceLockRead(surface, &desc); break;
    case LgRasterLockRead | LgRasterLockWrite:
        memory = LgD3DSurfaceLockReadWrite(surface, &desc);
        break;
    default: break;
    }
    if (memory == nullptr) {
        LgD3DRaiseDriverError("Failed to lock D3D surface");
        return 0;
    }
    slice->savedWidth = raster->width;
    slice->savedHeight = raster->height;
    slice->savedStride = raster->stride;
    raster->stride = desc.lPitch;
    const int32_t bytesPerPixel = (raster->depth + 7) / 8;
    uint8_t* pixels = static_cast<uint8_t*>(memory) +
                      static_cast<ptrdiff_t>(raster->offsetY) * desc.lPitch +
                      static_cast<ptrdiff_t>(raster->offsetX) * bytesPerPixel;
    *static_cast<uint8_t**>(out) = pixels;
    LgD3DSetRasterPixels(raster, pixels);
    if (raster->parent == raster) {
        raster->width = static_cast<int32_t>(desc.dwWidth);
        raster->height = static_cast<int32_t>(desc.dwHeight);
    }
    slice->lockedLevel = level;
    if ((mode & LgRasterLockRead) != 0) raster->privateFlags |= lockedForRead;
    if ((mode & LgRasterLockWrite) != 0) raster->privateFlags |= lockedForWrite;
    return 1;
}

int32_t LgD3DRasterUnlock(void* out, void*, int32_t) {
    LgRaster* raster = raster_of(out);
    if (raster == nullptr) return 0;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    IDirectDrawSurface4* surface = LgD3DGetMipLevel(slice->surface, slice->lockedLevel);
    if (surface == nullptr) return fail_with(LgErrDevice0F);
    if (!LgD3DSurfaceUnlock(surface)) {
        LgD3DRaiseDriverError("Failed to unlock D3D surface");
        return 0;
    }
    const bool wroteTop = slice->lockedLevel == 0 && (raster->privateFlags & lockedForWrite) != 0;
    raster->width = slice->savedWidth;
    raster->height = slice->savedHeight;
    raster->stride = slice->savedStride;
    LgD3DSetRasterPixels(raster, nullptr);
    raster->privateFlags &= static_cast<uint8_t>(~(lockedForRead | lockedForWrite));
    if (wroteTop && (raster->format & formatAutoMipmap) != 0)
        LgTextureGenerateMipmaps(raster, nullptr);
    return 1;
}

int32_t LgD3DPaletteLock(void* out, void* in, int32_t mode) {
    LgRaster* raster = raster_of(in);
    if (out == nullptr || raster == nullptr) return 0;
    *static_cast<uint32_t**>(out) = nullptr;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    free_palette_buffer(slice);
    const int32_t count = palette_entries(raster);
    if (count == 0 || slice->palette == nullptr) return 0;
    const size_t bytes = static_cast<size_t>(count) * sizeof(uint32_t);
    slice->paletteBuffer = static_cast<uint32_t*>(LgD3DAlloc(bytes));
    if (slice->paletteBuffer == nullptr) return fail_with(LgErrOutOfMemory);
    PALETTEENTRY entries[256];
    if (failed(slice->palette->GetEntries(0, 0, static_cast<uint32_t>(count), entries))) {
        free_palette_buffer(slice);
        return 0;
    }
    for (int32_t i = 0; i < count; ++i)
        slice->paletteBuffer[i] = static_cast<uint32_t>(entries[i].peFlags) << 24 |
                                  static_cast<uint32_t>(entries[i].peRed) << 16 |
                                  static_cast<uint32_t>(entries[i].peGreen) << 8 |
                                  entries[i].peBlue;
    if ((mode & LgRasterLockRead) != 0) raster->privateFlags |= paletteLockedForRead;
    if ((mode & LgRasterLockWrite) != 0) raster->privateFlags |= paletteLockedForWrite;
    *static_cast<uint32_t**>(out) = slice->paletteBuffer;
    return 1;
}

int32_t LgD3DPaletteUnlock(void* out, void*, int32_t) {
    LgRaster* raster = raster_of(out);
    if (raster == nullptr) return 0;
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    const int32_t count = palette_entries(raster);
    if (slice->paletteBuffer == nullptr || count == 0) return 0;
    if ((raster->privateFlags & paletteLockedForWrite) != 0 && slice->palette != nullptr) {
        PALETTEENTRY entries[256];
        for (int32_t i = 0; i < count; ++i) {
            const uint32_t w = slice->paletteBuffer[i];
            entries[i] = {static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 8),
                          static_cast<uint8_t>(w), static_cast<uint8_t>(w >> 24)};
        }
        slice->palette->SetEntries(0, 0, static_cast<uint32_t>(count), entries);
    }
    raster->privateFlags &= static_cast<uint8_t>(~(paletteLockedForRead | paletteLockedForWrite));
    free_palette_buffer(slice);
    return 1;
}

int32_t LgD3DRasterNumLevels(void* out, void* in, int32_t) {
    const LgRaster* raster = raster_of(in);
    if (out == nullptr || raster == nullptr) return 0;
    int32_t count = 0;
    for (IDirectDrawSurface4* s = LgD3DRasterSliceOf(raster)->surface; s != nullptr;
         s = LgD3DGetNextMipLevel(s))
        ++count;
    *static_cast<int32_t*>(out) = count;
    return 1;
}

int32_t LgD3DSetTranslucentReplayOrder(void*, void*, int32_t flag) {
    LgD3DDriver.replayOrder = flag != 0 ? LgDeferredReplayReverse : LgDeferredReplayForward;
    return 1;
}

int32_t LgD3DRasterShow(void* out, void* window, int32_t flags) {
    const LgRaster* raster = raster_of(out);
    LgD3DDriverState& d = LgD3DDriver;
    if (raster == nullptr || d.primary == nullptr) return 0;
    if (d.fullScreen) {
        const uint32_t flipFlags = DDFLIP_WAIT | ((flags & 1) != 0 ? 0 : DDFLIP_NOVSYNC);
        // The frame is lost at worst; the game goes on either way.
        if (failed(d.primary->Flip(nullptr, flipFlags)))
            std::fputs("Flip of the primary surface failed\n", stderr);
        d.flipPending = true;
        return 1;
    }
    IDirectDrawSurface4* surface = LgD3DRasterSliceOf(raster)->surface;
    if (surface == nullptr || d.clipper == nullptr) return 0;
    GfxRect source = {raster->offsetX, raster->offsetY, raster->offsetX + raster->width,
                      raster->offsetY + raster->height};
    int32_t x = 0, y = 0;
    if (gfx_window_hooks().client_origin != nullptr)
        gfx_window_hooks().client_origin(window, &x, &y);
    GfxRect destination = {x, y, x + raster->width, y + raster->height};
    if (failed(d.clipper->SetHWnd(0, window))) return 0;
    return succeeded(d.primary->Blt(&destination, surface, &source, DDBLT_WAIT, nullptr)) ? 1 : 0;
}
