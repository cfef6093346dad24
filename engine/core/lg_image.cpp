// The image module: its slice, the image records and their pixel blocks.
#include "engine/core/lg_image.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"

#include <cstring>

LgPluginRegistry LgImageRegistry = LgPluginRegistryMake(sizeof(LgImage));

namespace {

LgModule imageModule;

constexpr int32_t imagesPerBlock = 20;
constexpr int32_t formatsPerBlock = 3;
constexpr int32_t initialBufferSize = 256;
// The largest pixel block an image may have: sizes from files are checked against it, and
// offsets into the block stay within 31 bits.
constexpr int64_t largestBlock = 0x7fffffff;

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

bool is_image_depth(int32_t depth) {
    return depth == 4 || depth == 8 || depth == 32;
}

int32_t palette_bytes(int32_t depth) {
    return depth <= 8 ? 4 << depth : 0;
}

void free_slice(LgImageSlice* s) {
    LgImageFileFormat* f = s->formats;
    while (f != nullptr) {
        LgImageFileFormat* next = f->next;
        LgFreeListGive(s->formatList, f);
        f = next;
    }
    s->formats = nullptr;
    if (s->path != nullptr) memory().free(s->path);
    if (s->scratch != nullptr) memory().free(s->scratch);
    s->path = s->scratch = nullptr;
    LgFreeListDestroy(s->formatList);
    LgFreeListDestroy(s->imageList);
    s->formatList = s->imageList = nullptr;
}

} // namespace

int32_t LgImageRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgImageRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

LgImageSlice* LgImageModuleSlice() {
    return imageModule.slice<LgImageSlice>();
}

int32_t LgImageStrideFor(int32_t width, int32_t depth) {
    return (((depth + 7) / 8) * width + 3) & ~3;
}

LgImage* LgImageCreate(int32_t width, int32_t height, int32_t depth) {
    LgImageSlice* s = LgImageModuleSlice();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return nullptr;
    }
    if (width < 0 || height < 0 || !is_image_depth(depth)) {
        LgErrorRaise(LgErrorGroupCore, LgErrInvalidArgument);
        return nullptr;
    }
    auto* image = static_cast<LgImage*>(LgFreeListTake(s->imageList));
    if (image == nullptr) return nullptr;
    *image = {0, width, height, depth, 0, nullptr, nullptr};
    if (LgPluginRegistryInitObject(&LgImageRegistry, image) == nullptr) {
        LgFreeListGive(s->imageList, image);
        return nullptr;
    }
    return image;
}

int32_t LgImageDestroy(LgImage* image) {
    LgImageSlice* s = LgImageModuleSlice();
    if (image == nullptr || s == nullptr) return 0;
    LgImageFreePixels(image);
    LgPluginRegistryDeinitObject(&LgImageRegistry, image);
    LgFreeListGive(s->imageList, image);
    return 1;
}

LgImage* LgImageAllocatePixels(LgImage* image) {
    if (image == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrNullArgument);
        return nullptr;
    }
    const int64_t rowBytes = int64_t{(image->depth + 7) / 8} * image->width;
    const int64_t rounded = (rowBytes + 3) & ~int64_t{3};
    const int64_t bytes = rounded * image->height + palette_bytes(image->depth);
    if (image->width <= 0 || image->height <= 0 || bytes > largestBlock) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadImage);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(memory().calloc(static_cast<size_t>(bytes), 1));
    if (block == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return nullptr;
    }
    LgImageFreePixels(image);
    image->stride = static_cast<int32_t>(rounded);
    image->pixels = block;
    image->palette = palette_bytes(image->depth) != 0
                         ? reinterpret_cast<LgRGBA*>(block + rounded * image->height)
                         : nullptr;
    image->flags |= LgImageOwnsPixels;
    return image;
}

LgImage* LgImageFreePixels(LgImage* image) {
    if (image == nullptr) return nullptr;
    if ((image->flags & LgImageOwnsPixels) != 0 && image->pixels != nullptr)
        memory().free(image->pixels);
    image->pixels = nullptr;
    image->palette = nullptr;
    image->flags &= ~LgImageOwnsPixels;
    return image;
}

LgImage* LgImageSetPixels(LgImage* image, uint8_t* pixels) {
    if (image == nullptr) return nullptr;
    // Memory the image owned would be lost once the pointer is replaced.
    if ((image->flags & LgImageOwnsPixels) != 0 && pixels != image->pixels)
        LgImageFreePixels(image);
    image->pixels = pixels;
    if (image->stride == 0) image->stride = LgImageStrideFor(image->width, image->depth);
    return image;
}

LgImage* LgImageSetPalette(LgImage* image, LgRGBA* palette) {
    if (image == nullptr) return nullptr;
    image->palette = palette;
    return image;
}

void* LgImageOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgImageSlice>(instance, offset);
    std::memset(static_cast<void*>(s), 0, sizeof(LgImageSlice));
    s->imageList = LgFreeListCreate(LgImageRegistry.sizeOfStruct, imagesPerBlock, 0);
    s->formatList = LgFreeListCreate(sizeof(LgImageFileFormat), formatsPerBlock, 0);
    s->path = static_cast<char*>(memory().calloc(initialBufferSize, 1));
    s->scratch = static_cast<char*>(memory().calloc(initialBufferSize, 1));
    if (s->imageList == nullptr || s->formatList == nullptr || s->path == nullptr ||
        s->scratch == nullptr) {
        free_slice(s);
        return nullptr;
    }
    s->pathSize = s->scratchSize = initialBufferSize;
    imageModule.offset = offset;
    ++imageModule.openCount;
    LgImageSetGamma(1.0f);
    return instance;
}

void* LgImageClose(void* instance, int32_t offset, int32_t) {
    free_slice(LgModule::slice_of<LgImageSlice>(instance, offset));
    if (imageModule.openCount > 0) --imageModule.openCount;
    return instance;
}
