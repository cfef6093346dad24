// Fuzzes the picture readers as the program meets them: a file loaded through the image
// service by its extension (BMP, Sun raster, INI picture, PNG, JPEG), from a storage in
// memory that also serves the INI picture's Image and Mask files under every extension. A
// load succeeds with a whole raster whose every row reads, or fails with nothing handed out.
//
// Input: a byte choosing the extension (low bits) and whether the raster is delivered in a
// fixed 5-6-5 description (bit 7), the file, the file served as "img.<ext>", and as the rest
// the file served as "msk.<ext>".
#include "framework/core/component.h"
#include "fuzz/framework_harness.h"
#include "fuzz/memory_storage.h"
#include "media/raster/image_processor.h"
#include "media/raster/pixel_channels.h"
#include "media/raster/raster.h"

#include <array>
#include <string>

using fuzzing::require;

namespace {

constexpr std::array<const char*, 5> kExtensions = {"bmp", "ras", "ini", "png", "jpg"};
// Rasters above this many bytes are only checked for their size, not read row by row.
constexpr uint64_t kLargestRead = uint64_t{1} << 24;

struct Fixture {
    ComRef<fuzzing::MemoryStorage> storage = fuzzing::MemoryStorage::make();
    ComRef<IImageProc> images;
    Fixture() {
        OmRegisterDisplayModules(OmGetObjectManager());
        require(OmCreate(CLSID_ImageProc, IID_IImageProc, images.put_void()) >= 0,
                "the image service is made");
    }
};

Fixture& fixture() {
    fuzzing::start_framework();
    static Fixture f;
    return f;
}

void read_every_row(IRaster* raster) {
    const uint32_t width = raster->GetWidth(), height = raster->GetHeight();
    require(width > 0 && height > 0, "a loaded raster has pixels");
    const uint32_t bytes = om_pixel_bits(raster->GetFormat()) / 8;
    if (uint64_t(width) * height * bytes > kLargestRead || bytes == 0) return;
    void* base = nullptr;
    int32_t stride = 0;
    require(raster->Lock(OM_LOCK_READ, &base, &stride) >= 0 && base, "a loaded raster locks");
    volatile uint8_t sum = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(base) + int64_t(y) * stride;
        for (uint32_t i = 0; i < width * bytes; ++i) sum = sum + row[i];
    }
    raster->Unlock();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const uint8_t choice = input.byte();
    const std::string extension = kExtensions[(choice & 0x7f) % kExtensions.size()];
    const auto file = input.part();
    const auto image = input.part();
    const auto mask = input.rest();
    f.storage->files.clear();
    f.storage->put("picture." + extension, file);
    for (const char* e : kExtensions) {
        f.storage->put(std::string("img.") + e, image);
        f.storage->put(std::string("msk.") + e, mask);
    }

    {
        fuzzing::FrameworkBlocksBalanced balanced;
        ComRef<IRasterCreate> description;
        if (choice & 0x80) {
            require(OmNewRasterDescription(description.put()) >= 0, "a description is made");
            description->SetPropertyFixed(OM_RASTER_FORMAT, 1);
            description->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
        }
        ComRef<IRaster> raster;
        const OmResult r = f.images->LoadRaster(f.storage.get(), ("picture." + extension).c_str(),
                                                description.get(), raster.put());
        require((r >= 0) == bool(raster), "a load hands out a raster exactly when it succeeds");
        if (raster) {
            read_every_row(raster.get());
            if (choice & 0x80)
                require(raster->GetFormat() == OM_FORMAT_RGB565,
                        "a picture is delivered in the fixed format asked for");
        }
    }
    return 0;
}
