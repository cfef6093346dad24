// Native textures: written and read back with their mip levels, palettes, names and modes;
// streams the device cannot take are refused without leaving anything behind.
#include "engine/core/lg_raster.h"
#include "engine/core/lg_stream.h"
#include "engine/core/lg_texture.h"
#include "engine/driver/lg_d3d_native_texture.h"
#include "tests/engine/driver/driver_test_support.h"

#include <cstring>
#include <vector>

using drivertest::DriverEngine;
using namespace platform;

namespace {

std::vector<uint8_t> write(LgTexture* texture) {
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr);
    EXPECT_EQ(LgStandardCall(LgStdNativeTextureWrite, s, texture, 0), 1);
    LgStreamMemory m{};
    LgStreamClose(s, &m);
    std::vector<uint8_t> bytes(m.start, m.start + m.length);
    LgEngineInstancePtr->memoryFunctions.free(m.start);
    return bytes;
}

LgTexture* read(std::vector<uint8_t>& bytes) {
    LgStreamMemory m = {bytes.data(), static_cast<uint32_t>(bytes.size())};
    LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &m);
    LgTexture* texture = reinterpret_cast<LgTexture*>(1);
    const int32_t ok = LgStandardCall(LgStdNativeTextureRead, s, &texture, 0);
    LgStreamClose(s, nullptr);
    EXPECT_EQ(ok != 0, texture != nullptr);
    return texture;
}

// Every byte of every level, row by row.
std::vector<uint8_t> level_pixels(LgRaster* raster) {
    std::vector<uint8_t> all;
    const int32_t levels = LgRasterGetNumLevels(raster);
    for (int32_t level = 0; level < levels; ++level) {
        const uint8_t* p = LgRasterLock(raster, level, LgRasterLockRead);
        if (p == nullptr) return {};
        const int32_t rowBytes = (raster->width * raster->depth + 7) / 8;
        for (int32_t y = 0; y < raster->height; ++y)
            all.insert(all.end(), p + y * raster->stride, p + y * raster->stride + rowBytes);
        LgRasterUnlock(raster);
    }
    return all;
}

LgTexture* make_texture(int32_t flags, int32_t depth) {
    LgRaster* raster = LgRasterCreate(16, 8, depth, LgRasterTypeTexture | flags);
    if (raster == nullptr) return nullptr;
    const int32_t levels = LgRasterGetNumLevels(raster);
    for (int32_t level = 0; level < levels; ++level) {
        uint8_t* p = LgRasterLock(raster, level, LgRasterLockWrite);
        for (int32_t i = 0; i < raster->height * raster->stride; ++i)
            p[i] = static_cast<uint8_t>(i * 7 + level);
        LgRasterUnlock(raster);
    }
    if ((flags & 0x6000) != 0) {
        auto* palette = reinterpret_cast<uint32_t*>(LgRasterLockPalette(raster, 1));
        for (int i = 0; i < 16; ++i) palette[i] = 0x01020304u * static_cast<uint32_t>(i);
        LgRasterUnlockPalette(raster);
    }
    LgTexture* texture = LgTextureCreate(raster);
    LgTextureSetName(texture, "planks");
    LgTextureSetMaskName(texture, "planksm");
    LgTextureSetFilterMode(texture, 6);
    LgTextureSetAddressingU(texture, 3);
    LgTextureSetAddressingV(texture, 2);
    return texture;
}

// The bytes of a new texture of the format, as the driver writes them; empty when not made.
std::vector<uint8_t> written_texture(int32_t flags, int32_t depth) {
    LgTexture* texture = make_texture(flags, depth);
    if (texture == nullptr) return {};
    std::vector<uint8_t> bytes = write(texture);
    LgTextureDestroy(texture);
    return bytes;
}

// Where the surface description starts: after the modes, both names and "DDS ".
constexpr size_t kDescAt = 20 + 12 + 8 + 12 + 8 + 12 + 4;

TEST(D3DNativeTextures, WriteAndReadBackWithMipsAndPalettes) {
    DriverEngine engine(palettised_profile());
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    const struct {
        int32_t flags, depth;
        uint8_t format; // read back
    } rows[] = {
        {0x200 | LgRasterFormatMipmap | LgRasterFormatAutoMipmap, 16, 0x92},
        {0x100 | LgRasterFormatMipmap, 16, 0x81},
        {0x2600, 8, 0x26},
        {0x4600, 4, 0x46},
    };
    for (const auto& row : rows) {
        LgTexture* texture = make_texture(row.flags, row.depth);
        ASSERT_NE(texture, nullptr) << std::hex << row.flags;
        uint32_t size = 0;
        ASSERT_EQ(LgStandardCall(LgStdNativeTextureGetSize, &size, texture, 0), 1);
        std::vector<uint8_t> bytes = write(texture);
        EXPECT_EQ(bytes.size(), size);
        ASSERT_GE(bytes.size(), 80u);
        EXPECT_EQ(std::memcmp(&bytes[12], "D3D", 4), 0);
        LgTexture* back = read(bytes);
        ASSERT_NE(back, nullptr) << std::hex << row.flags;
        EXPECT_STREQ(back->name, "planks");
        EXPECT_STREQ(back->mask, "planksm");
        EXPECT_EQ(back->filterMode, 6u);
        EXPECT_EQ(back->addressingU, 3u);
        EXPECT_EQ(back->addressingV, 2u);
        EXPECT_EQ(back->raster->format, row.format);
        EXPECT_EQ(LgRasterGetNumLevels(back->raster), LgRasterGetNumLevels(texture->raster));
        EXPECT_EQ(level_pixels(back->raster), level_pixels(texture->raster));
        if (row.depth <= 8) {
            const auto* a = reinterpret_cast<uint32_t*>(LgRasterLockPalette(texture->raster, 2));
            std::vector<uint32_t> original(a, a + 16);
            LgRasterUnlockPalette(texture->raster);
            const auto* b = reinterpret_cast<uint32_t*>(LgRasterLockPalette(back->raster, 2));
            ASSERT_NE(b, nullptr);
            EXPECT_EQ(std::vector<uint32_t>(b, b + 16), original);
            LgRasterUnlockPalette(back->raster);
        }
        LgTextureDestroy(back);
        LgTextureDestroy(texture);
    }
}

TEST(D3DNativeTextures, StreamsTheDeviceCannotTakeAreRefused) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    const std::vector<uint8_t> good = written_texture(0x200, 16);
    ASSERT_FALSE(good.empty());
    auto with = [&](auto change) {
        std::vector<uint8_t> bytes = good;
        change(bytes);
        return bytes;
    };
    std::vector<std::vector<uint8_t>> refused = {
        with([](std::vector<uint8_t>& b) { b[14] = 'X'; }), // another platform
        with([&](std::vector<uint8_t>& b) {                 // a compressed surface
            const uint32_t flagsAt = kDescAt + 76;          // pixel format flags
            b[flagsAt] = static_cast<uint8_t>(DDPF_FOURCC);
            std::memcpy(&b[flagsAt + 4], "DXT3", 4);
        }),
    };
    for (std::vector<uint8_t>& bytes : refused) EXPECT_EQ(read(bytes), nullptr);
    // Neither refusal is an error of the driver's own.
    EXPECT_EQ(drivertest::recorded_error().code, LgErrorNone.code);
    std::vector<uint8_t> shortPixels =
        with([](std::vector<uint8_t>& b) { b.resize(b.size() - 9); });
    EXPECT_EQ(read(shortPixels), nullptr);
}

// Found by fuzzing: a surface of a size no device texture can have was made before its pixels
// were read (the default device takes at most 2048 x 2048).
TEST(D3DNativeTextures, SizesBeyondTheDevicesTexturesAreRefused) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    const std::vector<uint8_t> good = written_texture(0x200, 16);
    ASSERT_FALSE(good.empty());
    const size_t pixelsAt = kDescAt + 124;
    auto with_width = [&](uint32_t width) {
        std::vector<uint8_t> bytes(good.begin(), good.begin() + static_cast<long>(pixelsAt));
        bytes.resize(pixelsAt + size_t{width} * 2 * 8, 0x5a); // 8 rows of 16-bit pixels
        auto put = [&](size_t at, uint32_t v) {
            for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (8 * i));
        };
        put(kDescAt + 12, width);
        put(kDescAt - 4 - 8, static_cast<uint32_t>(bytes.size() - (kDescAt - 4)));
        return bytes;
    };
    std::vector<uint8_t> widest = with_width(2048);
    LgTexture* back = read(widest);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->raster->width, 2048);
    LgTextureDestroy(back);
    std::vector<uint8_t> tooWide = with_width(2049);
    EXPECT_EQ(read(tooWide), nullptr);
}

// Found by fuzzing: a stored description of a flipping primary surface with four billion back
// buffers was made as such, back buffer after back buffer, until memory ran out.
TEST(D3DNativeTextures, DescriptionsOfOtherSurfacesAreRefused) {
    DriverEngine engine(palettised_profile());
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    std::vector<uint8_t> fuzzed = {
        0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x44, 0x33, 0x44,
        0x00, 0x06, 0x23, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x04, 0x03,
        0x00, 0x00, 0x70, 0x6c, 0x61, 0x6e, 0x6b, 0x73, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x08,
        0x00, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x70, 0x6c, 0x61, 0x6e, 0x6b, 0x73, 0x61, 0x00,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x04, 0x03, 0x00, 0x00, 0x44, 0x44, 0x53,
        0x20, 0x7c, 0x00, 0x00, 0x00, 0xf9, 0xef, 0xff, 0xff, 0xf9, 0x00, 0x00, 0x00, 0x08, 0x00,
        0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0xf9, 0xff, 0xff, 0xff, 0x0b, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x2a, 0x00, 0x00, 0x00, 0xff,
        0x3a, 0x05, 0x00, 0x10, 0x61, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xf9,
        0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9,
        0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9, 0xf9,
        0xf9, 0xf9, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x1f, 0x26, 0x2d, 0x34,
        0x3b, 0x42, 0x49, 0x50, 0x57, 0x5e, 0x65, 0x6c, 0x73, 0x7a, 0x81, 0x88, 0x8f, 0x96, 0x9d,
        0xa4, 0xab, 0xb2, 0xb9, 0xc0, 0xc7, 0xce, 0xd5, 0xdc, 0xe3, 0xea, 0xf1, 0xf8, 0xff, 0x06,
        0x0d, 0x14, 0x1b, 0x22, 0x29, 0x30, 0x37, 0x3e, 0x45, 0x4c, 0x53, 0x5a, 0x61, 0x68, 0x6f,
        0x76, 0x7d, 0x84, 0x8b, 0x92, 0x99, 0xa0, 0xa7, 0xae, 0xb5, 0xbc, 0xc3, 0xca, 0xd1, 0xd8,
        0xdf, 0xe6, 0xed, 0xf4, 0xfb, 0x02, 0x09, 0x10, 0x17, 0x1e, 0x25, 0x2c, 0x33, 0x3a, 0x41,
        0x48, 0x4f, 0x56, 0x5d, 0x64, 0x6b, 0x72, 0x79};
    EXPECT_EQ(read(fuzzed), nullptr);
    const std::vector<uint8_t> good = written_texture(0x200, 16);
    ASSERT_FALSE(good.empty());
    const size_t capsAt = kDescAt + 104;
    for (uint32_t caps : {DDSCAPS_PRIMARYSURFACE, DDSCAPS_ZBUFFER, DDSCAPS_3DDEVICE}) {
        std::vector<uint8_t> bytes = good;
        bytes[capsAt + 1] |= static_cast<uint8_t>(caps >> 8);
        bytes[capsAt + 2] |= static_cast<uint8_t>(caps >> 16);
        EXPECT_EQ(read(bytes), nullptr) << std::hex << caps;
    }
}

// Found by fuzzing: a 16-colour texture whose stored palette capabilities asked for a 4-entry
// palette was accepted, and could then not be written back.
TEST(D3DNativeTextures, PalettesOfAnotherSizeThanTheFormatsAreRefused) {
    DriverEngine engine(palettised_profile());
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    const std::vector<uint8_t> good = written_texture(0x4600, 4);
    ASSERT_FALSE(good.empty());
    const size_t capsAt = good.size() - 4 * 16 - 4;
    for (uint32_t caps : {DDPCAPS_2BIT, DDPCAPS_8BIT, 0u, 0xaaaaaaaau}) {
        std::vector<uint8_t> bytes = good;
        for (int i = 0; i < 4; ++i) bytes[capsAt + i] = static_cast<uint8_t>(caps >> (8 * i));
        EXPECT_EQ(read(bytes), nullptr) << std::hex << caps;
    }
    std::vector<uint8_t> bytes = good;
    LgTexture* back = read(bytes);
    ASSERT_NE(back, nullptr);
    LgTextureDestroy(back);
}

} // namespace
