// Fuzzes the engine's "jpg" texture reader as the game registers it: a file decoded through
// the image service from the shared storage in memory, copied into an engine image with red
// and blue swapped, and halved when the texture-reduction level is above 1.
// Checks: an image comes back exactly when the image service loads the file as a 32-bit
// picture with pixels; its size is the picture's, or half of it (a side of 1 stays 1) under
// reduction; unreduced, every pixel is the picture's with red and blue swapped; framework
// and engine blocks balance.
//
// Input: a byte whose low two bits are the texture-reduction level, then the file (files whose
// frame header declares more than 2^14 pixels are skipped).
#include "framework/core/class_ids.h"
#include "fuzz/data_harness.h"
#include "fuzz/engine_harness.h"
#include "game/tv_frontend_services.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/image_processor.h"

#include <cstring>
#include <span>

using fuzzing::require;

namespace {

constexpr char kPath[] = "textures/picture.jpg";
constexpr uint32_t kDecodedFormat = 0xc0120;

// The picture as the image service hands it to the reader, or null.
ComRef<IRaster> decoded() {
    ComRef<IFileStorage> storage;
    ComRef<IImageProc> images;
    ComRef<IRasterCreate> description;
    ComRef<IRaster> raster;
    require(OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) >= 0 &&
                OmCreate(CLSID_ImageProc, IID_IImageProc, images.put()) >= 0 &&
                images->CreateRasterDescription(nullptr, IID_IRasterCreate,
                                                description.put_void()) >= 0 &&
                description,
            "the image service is made");
    description->SetProperty(OM_RASTER_FORMAT, kDecodedFormat);
    description->SetPropertyFixed(OM_RASTER_FORMAT, 1);
    if (images->LoadRaster(storage.get(), kPath, description.get(), raster.put()) < 0) return {};
    return raster;
}

void compare_pixels(IRaster* raster, const LgImage* image) {
    void* base = nullptr;
    int32_t stride = 0;
    require(raster->Lock(OM_LOCK_READ, &base, &stride) >= 0 && base, "the picture locks");
    bool same = true;
    for (int32_t y = 0; y < image->height; ++y) {
        const uint8_t* from = static_cast<const uint8_t*>(base) + ptrdiff_t(y) * stride;
        const uint8_t* to = image->pixels + ptrdiff_t(y) * image->stride;
        for (int32_t x = 0; x < image->width; ++x, from += 4, to += 4)
            same &= to[0] == from[2] && to[1] == from[1] && to[2] == from[0] && to[3] == from[3];
    }
    raster->Unlock();
    require(same, "every texel is the picture's pixel with red and blue swapped");
}

void check(const LgImage* image, IRaster* raster, int32_t level) {
    const bool loads = raster && (raster->GetFormat() & 0xff) == 32 &&
                       int32_t(raster->GetWidth()) >= 1 && int32_t(raster->GetHeight()) >= 1;
    require(bool(image) == loads, "an image comes back exactly when the picture loads");
    if (!image) return;
    int32_t width = int32_t(raster->GetWidth()), height = int32_t(raster->GetHeight());
    if (level > 1) {
        width = width > 1 ? width >> 1 : 1;
        height = height > 1 ? height >> 1 : 1;
    }
    require(image->width == width && image->height == height && image->depth == 32 &&
                image->pixels != nullptr,
            "the image has the picture's size, halved under reduction");
    if (level <= 1) compare_pixels(raster, image);
}

// Whether a frame header of the file declares more than kLargestDecode pixels. The decoder's
// handling of large pictures is the picture harness's; here such inputs are skipped, so the
// time goes to the copy, the halving and the checks instead of decoding large fills (and the
// images stay small enough for the sanitizer's pooled allocations, not a mapping apiece).
constexpr uint64_t kLargestDecode = uint64_t{1} << 14;
bool declares_large_frame(std::span<const uint8_t> file) {
    for (size_t i = 0; i + 8 < file.size(); ++i) {
        if (file[i] != 0xFF) continue;
        const uint8_t marker = file[i + 1];
        if (marker < 0xC0 || marker > 0xCF || marker == 0xC4 || marker == 0xC8 || marker == 0xCC)
            continue;
        const uint64_t height = uint64_t(file[i + 5]) << 8 | file[i + 6];
        const uint64_t width = uint64_t(file[i + 7]) << 8 | file[i + 8];
        if (width * height > kLargestDecode) return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_data_framework();
    fuzzing::start_engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_data_framework();
    fuzzing::start_engine();
    fuzzing::FuzzInput input(data, size);
    const int32_t level = input.byte() & 3;
    const auto file = input.rest();
    if (declares_large_frame(file)) return 0;
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put(kPath, file);
    {
        fuzzing::FrameworkBlocksBalanced framework_balanced;
        fuzzing::EngineBlocksBalanced engine_balanced;
        TvTextureReductionLevel = level;
        LgImage* image = TvLoadImageRaster(kPath);
        ComRef<IRaster> raster = decoded();
        check(image, raster.get(), level);
        if (image) LgImageDestroy(image);
    }
    TvTextureReductionLevel = 0;
    files.reset();
    return 0;
}
