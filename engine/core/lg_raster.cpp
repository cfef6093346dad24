// Rasters: records from the raster free list whose storage, locks and pixel transfers belong
// to the device, sub-rasters and the 2-D context stack.
#include "engine/core/lg_raster.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_resources.h"

#include <cstring>

LgPluginRegistry LgRasterRegistry = LgPluginRegistryMake(sizeof(LgRaster));

namespace {

LgModule rasterModule;

constexpr int32_t rastersPerBlock = 20;

LgRasterSlice* slice() {
    return rasterModule.slice<LgRasterSlice>();
}

bool fail(int32_t code) {
    LgErrorRaise(LgErrorGroupCore, code);
    return false;
}

bool inside(int64_t start, int64_t length, int64_t limit) {
    return start >= 0 && length >= 0 && start + length <= limit;
}

} // namespace

int32_t LgRasterRegisterPlugin(int32_t size, uint32_t pluginId,
                               LgPluginObjectConstructor constructor,
                               LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgRasterRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

LgRaster* LgRasterCreate(int32_t width, int32_t height, int32_t depth, int32_t flags) {
    LgRasterSlice* s = slice();
    if (s == nullptr) {
        fail(LgErrBadState);
        return nullptr;
    }
    auto* raster = static_cast<LgRaster*>(LgFreeListTake(s->rasterList));
    if (raster == nullptr) return nullptr;
    std::memset(static_cast<void*>(raster), 0, sizeof(LgRaster));
    raster->parent = raster;
    raster->width = width;
    raster->height = height;
    raster->depth = depth;
    if (!LgStandardCall(LgStdRasterCreate, raster, nullptr, flags)) {
        LgFreeListGive(s->rasterList, raster);
        return nullptr;
    }
    LgPluginRegistryInitObject(&LgRasterRegistry, raster);
    return raster;
}

int32_t LgRasterDestroy(LgRaster* raster) {
    LgRasterSlice* s = slice();
    if (raster == nullptr || s == nullptr) return 0;
    LgPluginRegistryDeinitObject(&LgRasterRegistry, raster);
    LgStandardCall(LgStdRasterDestroy, raster, nullptr, 0);
    LgFreeListGive(s->rasterList, raster);
    return 1;
}

int32_t LgRasterGetNumLevels(LgRaster* raster) {
    if (raster == nullptr) return -1;
    if ((raster->format & (LgRasterFormatMipmap >> 8)) == 0) return 1;
    int32_t count = 0;
    return LgStandardCall(LgStdRasterNumLevels, &count, raster, 0) ? count : -1;
}

LgRaster* LgRasterSubRaster(LgRaster* raster, LgRaster* parent, const LgRect* rect) {
    if (raster == nullptr || parent == nullptr || rect == nullptr) {
        fail(LgErrNullArgument);
        return nullptr;
    }
    if ((raster->creationFlags & LgRasterDontAllocate) == 0) return nullptr;
    // A window reaching outside its parent would let clears and copies run past the
    // parent's storage.
    const int64_t x = int64_t{parent->offsetX} + rect->x;
    const int64_t y = int64_t{parent->offsetY} + rect->y;
    if (!inside(rect->x, rect->w, parent->width) || !inside(rect->y, rect->h, parent->height) ||
        x > INT16_MAX || y > INT16_MAX) {
        fail(LgErrInvalidArgument);
        return nullptr;
    }
    raster->width = rect->w;
    raster->height = rect->h;
    raster->offsetX = static_cast<int16_t>(x);
    raster->offsetY = static_cast<int16_t>(y);
    if (!LgStandardCall(LgStdSubRaster, raster, parent, 0)) return nullptr;
    raster->parent = parent->parent;
    return raster;
}

LgRaster* LgRasterPushContext(LgRaster* raster) {
    LgRasterSlice* s = slice();
    if (s == nullptr || raster == nullptr) return nullptr;
    if (s->depth >= LgRasterContextDepth) return nullptr;
    if (!LgStandardCall(LgStdSetDrawingTarget, raster, nullptr, 0)) return nullptr;
    s->contexts[++s->depth] = raster;
    return raster;
}

LgRaster* LgRasterPopContext() {
    LgRasterSlice* s = slice();
    if (s == nullptr || s->depth == 0) return nullptr;
    LgRaster* popped = s->contexts[s->depth--];
    return LgStandardCall(LgStdSetDrawingTarget, s->contexts[s->depth], nullptr, 0) ? popped
                                                                                    : nullptr;
}

LgRaster* LgRasterGetCurrentContext() {
    const LgRasterSlice* s = slice();
    return s != nullptr ? s->contexts[s->depth] : nullptr;
}

int32_t LgRasterClearRect(const LgRect* rect, uint32_t pixel) {
    if (rect == nullptr || slice() == nullptr) return 0;
    return LgStandardCall(LgStdClearRect, const_cast<LgRect*>(rect), nullptr,
                          static_cast<int32_t>(pixel));
}

LgRaster* LgRasterShow(LgRaster* raster, void* window, int32_t flags) {
    if (raster == nullptr || slice() == nullptr) return nullptr;
    LgResourcesAge();
    return LgStandardCall(LgStdRasterShow, raster, window, flags) ? raster : nullptr;
}

uint8_t* LgRasterLock(LgRaster* raster, int32_t level, int32_t mode) {
    if (raster == nullptr || slice() == nullptr) return nullptr;
    uint8_t* pixels = nullptr;
    if (!LgStandardCall(LgStdRasterLock, &pixels, raster, ((level & 255) << 8) + mode))
        return nullptr;
    return pixels;
}

LgRaster* LgRasterUnlock(LgRaster* raster) {
    if (raster == nullptr || slice() == nullptr) return nullptr;
    LgStandardCall(LgStdRasterUnlock, raster, nullptr, 0);
    return raster;
}

uint8_t* LgRasterLockPalette(LgRaster* raster, int32_t mode) {
    if (raster == nullptr || slice() == nullptr) return nullptr;
    uint8_t* palette = nullptr;
    if (!LgStandardCall(LgStdPaletteLock, &palette, raster, mode)) return nullptr;
    return palette;
}

LgRaster* LgRasterUnlockPalette(LgRaster* raster) {
    if (raster == nullptr || slice() == nullptr) return nullptr;
    LgStandardCall(LgStdPaletteUnlock, raster, nullptr, 0);
    raster->privateFlags &= static_cast<uint8_t>(~LgRasterPaletteLocked);
    return raster;
}

LgRaster* LgRasterSetFromImage(LgRaster* raster, LgImage* image) {
    if (raster == nullptr || image == nullptr || slice() == nullptr) return nullptr;
    if (!LgStandardCall(LgStdRasterFromImage, raster, image, 0)) return nullptr;
    if ((image->flags & LgImageGammaCorrected) != 0)
        raster->privateFlags |= LgRasterGammaCorrected;
    else
        raster->privateFlags &= static_cast<uint8_t>(~LgRasterGammaCorrected);
    return raster;
}

LgImage* LgImageSetFromRaster(LgImage* image, LgRaster* raster) {
    if (raster == nullptr || image == nullptr || slice() == nullptr) return nullptr;
    if (!LgStandardCall(LgStdImageFromRaster, image, raster, 0)) return nullptr;
    if ((raster->privateFlags & LgRasterGammaCorrected) != 0)
        image->flags |= LgImageGammaCorrected;
    else
        image->flags &= ~LgImageGammaCorrected;
    return image;
}

LgImage* LgImageFindRasterFormat(LgImage* image, int32_t rasterFlags, int32_t* outWidth,
                                 int32_t* outHeight, int32_t* outDepth, int32_t* outCreateFlags) {
    if (image == nullptr || slice() == nullptr) return nullptr;
    LgRaster proposal;
    std::memset(static_cast<void*>(&proposal), 0, sizeof(proposal));
    if (!LgStandardCall(LgStdRasterFormatForImage, &proposal, image, rasterFlags)) return nullptr;
    if (outWidth != nullptr) *outWidth = proposal.width;
    if (outHeight != nullptr) *outHeight = proposal.height;
    if (outDepth != nullptr) *outDepth = proposal.depth;
    if (outCreateFlags != nullptr) *outCreateFlags = proposal.type | proposal.format << 8;
    return image;
}

LgRGBA* LgRasterReadPixel(LgRGBA* out, LgRaster* raster, int32_t x, int32_t y) {
    if (out == nullptr || raster == nullptr || slice() == nullptr) return nullptr;
    // The device copies whatever window it is given; outside the raster that is not ours.
    if (x < 0 || y < 0 || x >= raster->width || y >= raster->height) return nullptr;
    LgRaster* window = LgRasterCreate(0, 0, 0, LgRasterDontAllocate);
    if (window == nullptr) return nullptr;
    const LgRect rect = {x, y, 1, 1};
    LgRGBA* result = nullptr;
    if (LgRasterSubRaster(window, raster, &rect) != nullptr) {
        if (LgImage* image = LgImageCreate(1, 1, 32)) {
            image->stride = 4;
            LgImageSetPixels(image, reinterpret_cast<uint8_t*>(out));
            if (LgStandardCall(LgStdImageFromRaster, image, window, 0)) result = out;
            LgImageDestroy(image);
        }
    }
    LgRasterDestroy(window);
    return result;
}

uint32_t LgRGBAToPixel(const LgRGBA* colour, int32_t format) {
    uint32_t pixel = 0;
    if (colour == nullptr || slice() == nullptr) return 0;
    LgStandardCall(LgStdRGBAToPixel, &pixel, const_cast<LgRGBA*>(colour), format);
    return pixel;
}

void* LgRasterOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgRasterSlice>(instance, offset);
    std::memset(static_cast<void*>(s), 0, sizeof(LgRasterSlice));
    s->bottom.creationFlags = LgRasterDontAllocate;
    s->contexts[0] = &s->bottom;
    s->rasterList = LgFreeListCreate(LgRasterRegistry.sizeOfStruct, rastersPerBlock, 0);
    if (s->rasterList == nullptr) return nullptr;
    rasterModule.offset = offset;
    ++rasterModule.openCount;
    return instance;
}

void* LgRasterClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgRasterSlice>(instance, offset);
    LgFreeListDestroy(s->rasterList);
    s->rasterList = nullptr;
    s->depth = 0;
    if (rasterModule.openCount > 0) --rasterModule.openCount;
    return instance;
}
