// Seeds of the native texture harness: textures of each raster format the software device
// offers (with and without mip levels, palettised), written by the driver itself.
#include "fuzz/model_harness.h"
#include "fuzz/seeds/seed_set.h"

#include <string>
#include <vector>

namespace {

// A small texture of the format, every level and the palette filled with a pattern.
LgTexture* patterned(int32_t flags, int32_t depth) {
    LgRaster* raster = LgRasterCreate(8, 4, depth, LgRasterTypeTexture | flags);
    if (raster == nullptr) return nullptr;
    for (int32_t level = 0; level < LgRasterGetNumLevels(raster); ++level) {
        uint8_t* p = LgRasterLock(raster, level, LgRasterLockWrite);
        if (p == nullptr) break;
        for (int32_t i = 0; i < raster->height * raster->stride; ++i)
            p[i] = static_cast<uint8_t>(i * 7 + level);
        LgRasterUnlock(raster);
    }
    if ((flags & (LgRasterFormatPal8 | LgRasterFormatPal4)) != 0) {
        auto* palette = reinterpret_cast<uint32_t*>(LgRasterLockPalette(raster, 1));
        if (palette != nullptr) {
            for (int i = 0; i < 16; ++i) palette[i] = 0x01020304u * static_cast<uint32_t>(i);
            LgRasterUnlockPalette(raster);
        }
    }
    LgTexture* texture = LgTextureCreate(raster);
    LgTextureSetName(texture, "planks");
    LgTextureSetMaskName(texture, "planksa");
    LgTextureSetFilterMode(texture, 6);
    LgTextureSetAddressingU(texture, 3);
    LgTextureSetAddressingV(texture, 2);
    return texture;
}

} // namespace

FUZZ_SEEDS(engine_native_textures) {
    fuzzing::detail::DriverEngine engine;
    fuzzing::require(engine.ok, "the engine starts on the driver");
    const struct {
        const char* name;
        int32_t flags, depth;
    } formats[] = {
        {"argb4444_auto_mipmaps", 0x300 | LgRasterFormatMipmap | LgRasterFormatAutoMipmap, 16},
        {"argb1555_mipmaps", 0x100 | LgRasterFormatMipmap, 16},
        {"rgb565", 0x200, 16},
        {"argb8888", 0x500, 32},
        {"pal8", 0x2600, 8},
        {"pal4", 0x4600, 4},
    };
    std::vector<std::vector<uint8_t>> written;
    for (const auto& f : formats) {
        LgTexture* texture = patterned(f.flags, f.depth);
        fuzzing::require(texture != nullptr, "the seed texture is made");
        fuzzing::MemoryWriteStream out;
        fuzzing::require(LgStandardCall(LgStdNativeTextureWrite, out.get(), texture, 0) == 1,
                         "the seed texture writes");
        const std::vector<uint8_t> bytes = out.take();
        seeds.add(f.name, bytes);
        written.push_back(bytes);
        LgTextureDestroy(texture);
    }
    std::vector<uint8_t> two = written.front();
    two.insert(two.end(), written.back().begin(), written.back().end());
    seeds.add("two_in_a_row", two);
}
