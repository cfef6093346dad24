// The engine's "jpg" reader: the picture decoded by the image service into a 32-bit raster,
// copied into an engine image with red and blue swapped, halved under texture reduction.
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/image_processor.h"

#include <cstring>

namespace {

constexpr uint32_t kDecodedFormat = 0xc0120;
constexpr int32_t kDecodedDepth = 32;

// The picture in the image service's 32-bit format, or null.
ComRef<IRaster> decode(const char* path) {
    ComRef<IFileStorage> storage;
    ComRef<IImageProc> images;
    ComRef<IRasterCreate> description;
    ComRef<IRaster> raster;
    if (OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) < 0 ||
        OmCreate(CLSID_ImageProc, IID_IImageProc, images.put()) < 0 ||
        images->CreateRasterDescription(nullptr, IID_IRasterCreate, description.put_void()) < 0 ||
        !description)
        return {};
    description->SetProperty(OM_RASTER_FORMAT, kDecodedFormat);
    description->SetPropertyFixed(OM_RASTER_FORMAT, 1);
    if (images->LoadRaster(storage.get(), path, description.get(), raster.put()) < 0) return {};
    return raster;
}

// Rows of B, G, R, A bytes (the 32-bit pixel words) become the engine's R, G, B, A.
bool copy_swapped(IRaster* raster, LgImage* image) {
    void* pixels = nullptr;
    int32_t stride = 0;
    if (raster->Lock(OM_LOCK_READ, &pixels, &stride) < 0 || pixels == nullptr) return false;
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* from = static_cast<const uint8_t*>(pixels) + ptrdiff_t(y) * stride;
        uint8_t* to = image->pixels + ptrdiff_t(y) * image->stride;
        for (int32_t x = 0; x < image->width; ++x, from += 4, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = from[3];
        }
    }
    raster->Unlock();
    return true;
}

// A half-size box-filtered copy in place of the image; null (both gone) when it cannot be
// made. A side of 1 stays 1.
LgImage* halve(LgImage* image) {
    const int32_t w = image->width > 1 ? image->width >> 1 : 1;
    const int32_t h = image->height > 1 ? image->height >> 1 : 1;
    LgImage* half = LgImageCreate(w, h, kDecodedDepth);
    const bool made = half != nullptr && LgImageAllocatePixels(half) != nullptr &&
                      LgImageResample(half, image) != nullptr;
    LgImageDestroy(image);
    if (made) return half;
    if (half != nullptr) LgImageDestroy(half);
    return nullptr;
}

} // namespace

LgImage* TvLoadImageRaster(const char* path) {
    if (path == nullptr) return nullptr;
    ComRef<IRaster> raster = decode(path);
    if (!raster) return nullptr;
    const auto width = static_cast<int32_t>(raster->GetWidth());
    const auto height = static_cast<int32_t>(raster->GetHeight());
    if (static_cast<int32_t>(raster->GetFormat() & 0xff) != kDecodedDepth || width < 1 ||
        height < 1)
        return nullptr;
    LgImage* image = LgImageCreate(width, height, kDecodedDepth);
    if (image == nullptr) return nullptr;
    if (LgImageAllocatePixels(image) == nullptr || !copy_swapped(raster.get(), image)) {
        LgImageDestroy(image);
        return nullptr;
    }
    return TvTextureReductionLevel > 1 ? halve(image) : image;
}
