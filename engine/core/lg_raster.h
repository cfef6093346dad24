// Rasters: the engine's handles on device surfaces, their sub-rasters, locks and the 2-D
// context stack; every operation goes to the device's standard functions (engine module
// 0x407).
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"

// Raster types (the low byte of the create flags).
constexpr int32_t LgRasterTypeNormal = 0;
constexpr int32_t LgRasterTypeZBuffer = 1;
constexpr int32_t LgRasterTypeCamera = 2;
constexpr int32_t LgRasterTypeTexture = 4;
// Create-flag bit 7 and creation-flag bit 7: the raster has no storage of its own.
constexpr int32_t LgRasterDontAllocate = 0x80;

// Format bits of the create flags (the format byte << 8).
constexpr int32_t LgRasterFormatPal8 = 0x2000;
constexpr int32_t LgRasterFormatPal4 = 0x4000;
constexpr int32_t LgRasterFormatAutoMipmap = 0x1000;
constexpr int32_t LgRasterFormatMipmap = 0x8000;

// Private flag bits.
constexpr uint8_t LgRasterGammaCorrected = 0x01;
constexpr uint8_t LgRasterPaletteLocked = 0x18;

// Lock modes.
constexpr int32_t LgRasterLockWrite = 1;
constexpr int32_t LgRasterLockRead = 2;

struct LgRect {
    int32_t x, y, w, h;
};

// The bottom entry plus room for this many pushed rasters.
constexpr int32_t LgRasterContextDepth = 9;

struct LgRasterSlice {
    LgRaster* contexts[LgRasterContextDepth + 1];
    int32_t depth;
    LgRaster bottom; // no storage, no parent
    LgFreeList* rasterList;
};

// The raster registry: plug-ins (the driver's among them) add slices before the engine opens.
extern LgPluginRegistry LgRasterRegistry;
int32_t LgRasterRegisterPlugin(int32_t size, uint32_t pluginId,
                               LgPluginObjectConstructor constructor,
                               LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);

// flags: type | format bits (| LgRasterDontAllocate). Null when the device refuses.
LgRaster* LgRasterCreate(int32_t width, int32_t height, int32_t depth, int32_t flags);
int32_t LgRasterDestroy(LgRaster* raster);

inline int32_t LgRasterGetWidth(const LgRaster* raster) {
    return raster->width;
}
inline int32_t LgRasterGetHeight(const LgRaster* raster) {
    return raster->height;
}
inline int32_t LgRasterGetDepth(const LgRaster* raster) {
    return raster->depth;
}
inline int32_t LgRasterGetStride(const LgRaster* raster) {
    return raster->stride;
}
inline int32_t LgRasterGetFormat(const LgRaster* raster) {
    return raster->format << 8;
}
inline LgRaster* LgRasterGetParent(const LgRaster* raster) {
    return raster->parent;
}
// 1 without mip levels, else the device's count; -1 when the device refuses.
int32_t LgRasterGetNumLevels(LgRaster* raster);

// Makes a raster created without storage a window of the rectangle inside the parent.
LgRaster* LgRasterSubRaster(LgRaster* raster, LgRaster* parent, const LgRect* rect);

// The raster that 2-D clears draw into. At most LgRasterContextDepth rasters are pushed;
// a further push is refused.
LgRaster* LgRasterPushContext(LgRaster* raster);
LgRaster* LgRasterPopContext();
LgRaster* LgRasterGetCurrentContext();
int32_t LgRasterClearRect(const LgRect* rect, uint32_t pixel);

LgRaster* LgRasterShow(LgRaster* raster, void* window, int32_t flags);
uint8_t* LgRasterLock(LgRaster* raster, int32_t level, int32_t mode);
LgRaster* LgRasterUnlock(LgRaster* raster);
uint8_t* LgRasterLockPalette(LgRaster* raster, int32_t mode);
LgRaster* LgRasterUnlockPalette(LgRaster* raster);

// Pixels between images and rasters, through the device.
LgRaster* LgRasterSetFromImage(LgRaster* raster, LgImage* image);
LgImage* LgImageSetFromRaster(LgImage* image, LgRaster* raster);
// The raster the device proposes for the image; outCreateFlags = type | format << 8.
LgImage* LgImageFindRasterFormat(LgImage* image, int32_t rasterFlags, int32_t* outWidth,
                                 int32_t* outHeight, int32_t* outDepth, int32_t* outCreateFlags);
// out gets the pixel at (x, y) as R, G, B, A; null outside the raster or on a device refusal.
LgRGBA* LgRasterReadPixel(LgRGBA* out, LgRaster* raster, int32_t x, int32_t y);
// The device pixel of a colour in a raster format (format byte << 8).
uint32_t LgRGBAToPixel(const LgRGBA* colour, int32_t format);

void* LgRasterOpen(void* instance, int32_t offset, int32_t size);
void* LgRasterClose(void* instance, int32_t offset, int32_t size);

// Calls a device standard function of the current instance.
inline int32_t LgStandardCall(int32_t slot, void* out, void* in, int32_t number) {
    return LgEngineInstancePtr->standardFunctions.slot[slot](out, in, number);
}
