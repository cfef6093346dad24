// Images: in-memory pictures (palette indices at depths 4 and 8, RGBA at depth 32), their
// gamma, masks, copies and resampling, the image file formats with the search path, and the
// BMP reader (engine module 0x406).
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"

// Images report a depth they cannot work on with the code of files that were not found.
constexpr int32_t LgErrImageDepth = static_cast<int32_t>(0x80000008);

using LgImageReadFunc = LgImage* (*)(const char* path);
using LgImageWriteFunc = LgImage* (*)(LgImage* image, const char* path);

// Longest extension a format may register (without its dot).
constexpr int32_t LgImageExtensionMax = 18;

// One registered file format; the module's list holds the newest first.
struct LgImageFileFormat {
    char lowerCase[LgImageExtensionMax + 2]; // ".bmp"
    char upperCase[LgImageExtensionMax + 2]; // ".BMP"
    LgImageReadFunc reader;
    LgImageWriteFunc writer;
    LgImageFileFormat* next;
};

struct LgImageSlice {
    LgFreeList* imageList;
    char* path; // directories separated by ';'
    int32_t pathSize;
    uint8_t forwardGamma[256];
    uint8_t inverseGamma[256];
    float gamma;
    char* scratch; // candidate file names
    int32_t scratchSize;
    LgFreeList* formatList;
    LgImageFileFormat* formats;
};

// The image registry: plug-ins add slices to every image before the engine opens.
extern LgPluginRegistry LgImageRegistry;
int32_t LgImageRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);

// Images come without pixels; LgImageAllocatePixels gives them a block they own.
LgImage* LgImageCreate(int32_t width, int32_t height, int32_t depth);
int32_t LgImageDestroy(LgImage* image);
// One block of stride x height bytes, followed for depths 4 and 8 by a zeroed palette of
// 16 or 256 entries. Null ({1, 0x80000013}) when there is no memory, ({1, 0x80000009}) for
// sizes whose block would not fit in 31 bits.
LgImage* LgImageAllocatePixels(LgImage* image);
LgImage* LgImageFreePixels(LgImage* image);
// Point the image at the caller's memory, which the image does not own.
LgImage* LgImageSetPixels(LgImage* image, uint8_t* pixels);
LgImage* LgImageSetPalette(LgImage* image, LgRGBA* palette);

inline int32_t LgImageGetWidth(const LgImage* image) {
    return image->width;
}
inline int32_t LgImageGetHeight(const LgImage* image) {
    return image->height;
}
inline int32_t LgImageGetDepth(const LgImage* image) {
    return image->depth;
}
inline int32_t LgImageGetStride(const LgImage* image) {
    return image->stride;
}
inline uint8_t* LgImageGetPixels(const LgImage* image) {
    return image->pixels;
}
inline LgRGBA* LgImageGetPalette(const LgImage* image) {
    return image->palette;
}

// Bytes of one row: one a pixel for depths 4 and 8, four for depth 32, rounded up to four.
int32_t LgImageStrideFor(int32_t width, int32_t depth);

// Copies pixels (and the palette between palettised images) with the depth conversions
// 4 -> 8, 4 -> 32 and 8 -> 32; other pairs fail with {1, 0x80000009}. Where the sizes
// differ, the area both images cover is copied.
LgImage* LgImageCopy(LgImage* destination, const LgImage* source);
// Alpha of every colour := max(R, G, B).
LgImage* LgImageMakeMask(LgImage* image);
// Converts a palettised image to depth 32, then takes each pixel's alpha from the mask.
LgImage* LgImageApplyMask(LgImage* image, const LgImage* mask);

int32_t LgImageSetGamma(float gamma);
float LgImageGetGamma();
LgImage* LgImageGammaCorrect(LgImage* image);
// The module's tables (256 entries each); null while the module is closed.
const uint8_t* LgImageGetGammaTable();
const uint8_t* LgImageGetInverseGammaTable();

// The search path: directories separated by ';', each followed directly by the file name.
const char* LgImageSetPath(const char* path);
const char* LgImageGetPath();

// Adds or updates the format of an extension (given with or without the dot, any case).
int32_t LgImageRegisterFileFormat(const char* extension, LgImageReadFunc reader,
                                  LgImageWriteFunc writer);
// Reads the file through the reader registered for its extension, along the search path.
LgImage* LgImageRead(const char* name);
// The extension (as registered, dotted) under which the name exists along the search path;
// "" when the name already ends in a registered extension and exists as given.
const char* LgImageFindFile(const char* name);

// The engine's BMP reader (1, 4, 8, 15, 16, 24 and 32 bits, uncompressed or RLE8).
LgImage* LgImageReadBMP(const char* path);

// Area (box) resampling of a 32-bit source into a 32-bit destination of any size.
LgImage* LgImageResample(LgImage* destination, const LgImage* source);
// A new 32-bit image of the size holding the resampled source (of any depth).
LgImage* LgImageCreateResampled(const LgImage* image, int32_t width, int32_t height);

void* LgImageOpen(void* instance, int32_t offset, int32_t size);
void* LgImageClose(void* instance, int32_t offset, int32_t size);

// The open module's slice, or null while it is closed (for the image files of the module).
LgImageSlice* LgImageModuleSlice();
