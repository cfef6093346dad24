// Pixel access on the driver: colour conversion tables per format, image transfers, the raster
// format an image becomes, clears of the drawing target at every depth, and the transform
// stage's clip codes, projection and fog.
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_texture.h"
#include "engine/driver/lg_d3d_fog.h"
#include "engine/driver/lg_d3d_pixel_access.h"
#include "engine/driver/lg_d3d_transform.h"
#include "tests/engine/driver/driver_test_support.h"

#include <cstring>

using drivertest::DriverEngine;
using namespace platform;

namespace {

uint32_t to_pixel(LgRGBA c, int32_t format) {
    uint32_t pixel = 0xDEADBEEF;
    EXPECT_EQ(LgStandardCall(LgStdRGBAToPixel, &pixel, &c, format), 1);
    return pixel;
}

LgRGBA to_rgba(uint32_t pixel, int32_t format) {
    LgRGBA c{};
    EXPECT_EQ(LgStandardCall(LgStdPixelToRGBA, &c, &pixel, format), 1);
    return c;
}

bool same(LgRGBA a, LgRGBA b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

class D3DPixels : public ::testing::Test {
protected:
    explicit D3DPixels(const DeviceProfile& profile = palettised_profile()) : engine(profile) {}
    void SetUp() override {
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(engine.start_full_screen());
    }
    DriverEngine engine;
};

TEST_F(D3DPixels, SixteenBitFormatsRoundTripEveryPixel) {
    for (int32_t format : {0x100, 0x200, 0x300, 0xA00}) {
        // 5-5-5 without alpha has no use for bit 15.
        const uint32_t last = format == 0xA00 ? 0x7FFF : 0xFFFF;
        for (uint32_t p = 0; p <= last; ++p) {
            const uint32_t back = to_pixel(to_rgba(p, format), format);
            if (back != p) {
                ADD_FAILURE() << std::hex << "format " << format << " pixel " << p << " -> "
                              << back;
                break;
            }
        }
    }
}

TEST_F(D3DPixels, ConversionTable) {
    const struct {
        int32_t format;
        LgRGBA colour;
        uint32_t pixel;
        LgRGBA back;
    } rows[] = {
        {0x200, {0, 0, 0, 255}, 1, {0, 0, 8, 255}}, // opaque black stays visible
        {0x200, {0, 0, 0, 0}, 0, {0, 0, 0, 0}},     // transparent is the key
        {0x200, {255, 255, 255, 255}, 0xFFFF, {0xF8, 0xFC, 0xF8, 255}},
        {0xA00, {0, 0, 7, 255}, 1, {0, 0, 8, 255}},
        {0x100, {255, 0, 0, 128}, 0xFC00, {0xF8, 0, 0, 255}},
        {0x100, {0, 255, 0, 127}, 0x03E0, {0, 0xF8, 0, 0}},
        {0x300, {0x12, 0x34, 0x56, 0x78}, 0x7135, {0x10, 0x30, 0x50, 0x70}},
        {0x500, {1, 2, 3, 4}, 0x04010203, {1, 2, 3, 4}},
        // On the 5-6-5 display the colour-key probe saw blue values below 8 vanish.
        {0x600, {0, 0, 0, 255}, 8, {0, 0, 8, 255}},
        {0x600, {9, 8, 7, 0}, 0, {0, 0, 0, 0}},
        {0x8600, {9, 8, 7, 255}, 0x090807, {9, 8, 7, 255}}, // mip bits do not matter
        {0x000, {0, 0, 0, 255}, 1, {0, 0, 8, 255}},         // the 5-6-5 display
    };
    for (const auto& row : rows) {
        EXPECT_EQ(to_pixel(row.colour, row.format), row.pixel) << std::hex << row.format;
        EXPECT_TRUE(same(to_rgba(row.pixel, row.format), row.back)) << std::hex << row.format;
    }
    uint32_t pixel = 0;
    LgRGBA c{};
    EXPECT_EQ(LgStandardCall(LgStdRGBAToPixel, &pixel, &c, 0x700), 0);
    EXPECT_EQ(LgStandardCall(LgStdRGBAToPixel, &pixel, &c, 0x2600), 0);
    EXPECT_EQ(LgStandardCall(LgStdPixelToRGBA, &c, &pixel, 0x900), 0);
}

// A 4 x 4 image: opaque grey, a transparent corner and an opaque black pixel.
LgImage* test_image() {
    LgImage* image = LgImageCreate(4, 4, 32);
    LgImageAllocatePixels(image);
    auto* p = reinterpret_cast<LgRGBA*>(image->pixels);
    for (int i = 0; i < 16; ++i) p[i] = {0x80, 0x80, 0x80, 255};
    p[0] = {0xFF, 0xFF, 0xFF, 0};
    p[5] = {0, 0, 0, 255};
    return image;
}

TEST_F(D3DPixels, ImagesThroughAKeyedTextureKeepTransparencyAndBlack) {
    LgRaster* raster = LgRasterCreate(4, 4, 0, LgRasterTypeTexture | 0x200);
    ASSERT_NE(raster, nullptr);
    ASSERT_NE(LgD3DRasterSliceOf(raster)->colourKey, 0u);
    LgImage* image = test_image();
    ASSERT_NE(LgRasterSetFromImage(raster, image), nullptr);
    LgImage* back = LgImageCreate(4, 4, 32);
    LgImageAllocatePixels(back);
    ASSERT_NE(LgImageSetFromRaster(back, raster), nullptr);
    const auto* p = reinterpret_cast<const LgRGBA*>(back->pixels);
    EXPECT_EQ(p[0].alpha, 0);
    EXPECT_TRUE(same(p[5], {0, 0, 8, 255}));
    EXPECT_TRUE(same(p[6], {0x80, 0x80, 0x80, 255}));
    // A 16-bit raster takes no palette indices back out.
    LgImage* indexed = LgImageCreate(4, 4, 8);
    LgImageAllocatePixels(indexed);
    EXPECT_EQ(LgImageSetFromRaster(indexed, raster), nullptr);
    LgImageDestroy(indexed);
    LgImageDestroy(back);
    LgImageDestroy(image);
    LgRasterDestroy(raster);
}

TEST_F(D3DPixels, PalettedRastersTakeIndicesAndPalettes) {
    for (int32_t depth : {4, 8}) {
        LgRaster* raster = LgRasterCreate(4, 2, depth, LgRasterTypeTexture);
        ASSERT_NE(raster, nullptr) << depth;
        LgImage* image = LgImageCreate(4, 2, depth);
        LgImageAllocatePixels(image);
        for (int i = 0; i < 8; ++i) image->pixels[(i / 4) * image->stride + i % 4] = uint8_t(i * 2);
        image->palette[6] = {10, 20, 30, 40};
        ASSERT_NE(LgRasterSetFromImage(raster, image), nullptr);
        LgImage* back = LgImageCreate(4, 2, depth);
        LgImageAllocatePixels(back);
        ASSERT_NE(LgImageSetFromRaster(back, raster), nullptr);
        EXPECT_EQ(back->pixels[back->stride + 3], 14);
        EXPECT_TRUE(same(back->palette[6], {10, 20, 30, 40}));
        LgImage* colours = LgImageCreate(4, 2, 32);
        LgImageAllocatePixels(colours);
        ASSERT_NE(LgImageSetFromRaster(colours, raster), nullptr);
        EXPECT_TRUE(same(reinterpret_cast<LgRGBA*>(colours->pixels)[3], {10, 20, 30, 40}));
        // Colours do not fit an indexed raster.
        EXPECT_EQ(LgRasterSetFromImage(raster, colours), nullptr);
        EXPECT_EQ(drivertest::recorded_error().code, LgErrImageDepth);
        for (LgImage* i : {image, back, colours}) LgImageDestroy(i);
        LgRasterDestroy(raster);
    }
}

TEST_F(D3DPixels, ClearsFillAtTheTargetsOwnPixelSize) {
    for (int32_t format : {0x2600, 0x200, 0x600, 0x500}) {
        LgRaster* raster = LgRasterCreate(8, 4, 0, LgRasterTypeTexture | format);
        ASSERT_NE(raster, nullptr) << std::hex << format;
        const uint32_t bytes = static_cast<uint32_t>(raster->depth) / 8;
        ASSERT_NE(LgRasterPushContext(raster), nullptr);
        ASSERT_EQ(LgStandardCall(LgStdClear, nullptr, nullptr, 0x11), 1);
        const LgRect rect = {5, 2, 10, 10}; // runs past the right and bottom edges
        ASSERT_EQ(LgRasterClearRect(&rect, 0x7F4321), 1);
        const uint32_t mask = bytes == 4 ? 0xFFFFFFFF : (1u << (8 * bytes)) - 1;
        const uint8_t* p = LgRasterLock(raster, 0, LgRasterLockRead);
        ASSERT_NE(p, nullptr);
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 8; ++x) {
                const uint32_t v = load_pixel(p + y * raster->stride + x * bytes, bytes);
                const uint32_t want = (x >= 5 && y >= 2 ? 0x7F4321u : 0x11u) & mask;
                EXPECT_EQ(v, want) << std::hex << format << " at " << x << "," << y;
            }
        LgRasterUnlock(raster);
        LgRasterPopContext();
        LgRasterDestroy(raster);
    }
}

DeviceProfile no_power_of_two() {
    DeviceProfile p = default_profile();
    p.device.dpcTriCaps.dwTextureCaps &= ~D3DPTEXTURECAPS_POW2;
    return p;
}

class D3DImageFormats : public D3DPixels {
protected:
    D3DImageFormats() : D3DPixels(no_power_of_two()) {}
    LgRaster propose(LgImage* image, int32_t flags) {
        LgRaster out{};
        EXPECT_EQ(LgStandardCall(LgStdRasterFormatForImage, &out, image, flags), 1);
        return out;
    }
};

TEST_F(D3DImageFormats, SidesShrinkToPowersOfTwoOnlyForMipMaps) {
    LgImage* image = LgImageCreate(100, 100, 32);
    LgImageAllocatePixels(image);
    std::memset(image->pixels, 0xFF, static_cast<size_t>(image->stride) * 100);
    LgTextureSetMipmapping(1);
    LgTextureSetAutoMipmapping(1);
    LgRaster plain = propose(image, LgRasterTypeTexture);
    EXPECT_EQ(plain.width, 100);
    EXPECT_EQ(plain.format, 0x02); // opaque: 5-6-5
    EXPECT_EQ(plain.depth, 16);
    LgRaster mipped = propose(image, LgRasterTypeTexture | LgRasterFormatMipmap);
    EXPECT_EQ(mipped.width, 64);
    EXPECT_EQ(mipped.height, 64);
    EXPECT_EQ(mipped.format, 0x92);
    reinterpret_cast<LgRGBA*>(image->pixels)[7].alpha = 0;
    EXPECT_EQ(propose(image, LgRasterTypeTexture).format, 0x01); // one-bit alpha: 1-5-5-5
    reinterpret_cast<LgRGBA*>(image->pixels)[7].alpha = 99;
    EXPECT_EQ(propose(image, LgRasterTypeTexture).format, 0x03); // full alpha: 4-4-4-4
    LgRaster out{};
    EXPECT_EQ(LgStandardCall(LgStdRasterFormatForImage, &out, image, 3), 0);
    EXPECT_EQ(drivertest::recorded_error().code, LgErrDevice0D);
    LgImageDestroy(image);
}

DeviceProfile square_only() {
    DeviceProfile p = default_profile();
    p.device.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    return p;
}

TEST(D3DSquareTexturesTest, RectanglesBecomeSquaresOfTheSmallerSide) {
    DriverEngine engine(square_only());
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    LgImage* image = LgImageCreate(128, 64, 32);
    LgImageAllocatePixels(image);
    std::memset(image->pixels, 0xFF, static_cast<size_t>(image->stride) * 64);
    LgRaster out{};
    ASSERT_EQ(LgStandardCall(LgStdRasterFormatForImage, &out, image, LgRasterTypeTexture), 1);
    EXPECT_EQ(out.width, 64);
    EXPECT_EQ(out.height, 64);
    LgImageDestroy(image);
}

TEST_F(D3DPixels, TransformStageClipCodesProjectionAndFog) {
    LgIm3DState& s = LgIm3DGlobal;
    ASSERT_EQ(LgIm3DPushContext(nullptr), 1);
    LgIm3DProjection& p = s.projection;
    p.projection = LgCameraPerspective;
    p.xScale = 640;
    p.xOffset = 0;
    p.yScale = 480;
    p.yOffset = 0;
    p.zScale = -1;
    p.zOffset = 1;
    p.nearClip = 1;
    p.farClip = 100;
    p.fogEnd = 100;
    LgD3DDriver.fogStart = 50;
    LgD3DDriver.fogScale = 255.0f / 50.0f;
    LgD3DSetCurrentFogTable(LgD3DLinearFogTable());
    const struct {
        LgVector position;
        uint32_t code;
        int32_t fogIndex; // -1: not projected
    } rows[] = {
        {{5, 5, 10}, 0, 0},
        {{-1, 5, 10}, LgClipLeft, -1},
        {{11, 5, 10}, LgClipRight, -1},
        {{5, -1, 10}, LgClipTop, -1},
        {{5, 11, 10}, LgClipBottom, -1},
        {{0.5f, 0.5f, 0.5f}, LgClipNear, -1},
        {{5, 5, 200}, LgClipFar, -1},
        {{50, 50, 150}, LgClipFar, -1},
        {{40, 40, 75}, 0, 128},
        {{90, 90, 99}, 0, 250},
        {{90, 90, 100}, 0, 255},
    };
    constexpr int32_t n = sizeof(rows) / sizeof(rows[0]);
    LgIm3DVertex vertices[n] = {};
    for (int32_t i = 0; i < n; ++i) vertices[i].position = rows[i].position;
    LgIm3DWork work{};
    work.vertices = reinterpret_cast<const uint8_t*>(vertices);
    work.count = n;
    work.stride = sizeof(LgIm3DVertex);
    work.first = s.current->first;
    work.matrix.right = {1, 0, 0};
    work.matrix.up = {0, 1, 0};
    work.matrix.at = {0, 0, 1};
    LgD3DTransformStage(&work);
    uint32_t any = 0;
    for (int32_t i = 0; i < n; ++i) {
        const LgIm3DCameraVertex& c = s.cameraVertices[work.first + i];
        EXPECT_EQ(c.clipFlags, rows[i].code) << "row " << i;
        any |= rows[i].code;
        if (rows[i].fogIndex < 0) continue;
        const LgIm3DScreenVertex& v = s.screenVertices[work.first + i];
        EXPECT_FLOAT_EQ(v.recipZ, 1.0f / rows[i].position.z);
        EXPECT_FLOAT_EQ(v.x, rows[i].position.x / rows[i].position.z * 640);
        EXPECT_FLOAT_EQ(v.z, 1.0f - 1.0f / rows[i].position.z);
        EXPECT_EQ(v.specular, static_cast<uint32_t>(255 - rows[i].fogIndex) << 24) << "row " << i;
    }
    EXPECT_EQ(s.current->anyClipped, any);
    EXPECT_EQ(s.current->nothingToDraw, 0u);
    // Everything beyond the far plane: the nothing-to-draw word says so.
    work.first = s.current->first;
    work.vertices = reinterpret_cast<const uint8_t*>(&vertices[7]);
    work.count = 1;
    LgD3DTransformStage(&work);
    EXPECT_EQ(s.current->nothingToDraw, LgClipFar);
    LgIm3DPopContext();
}

} // namespace

namespace {

TEST_F(D3DPixels, CopiesIntoTheTargetClipAndHonourTheColourKey) {
    LgRaster* target = LgRasterCreate(8, 8, 0, LgRasterTypeNormal);
    LgRaster* keyed = LgRasterCreate(4, 4, 0, LgRasterTypeTexture | 0x200);
    LgRaster* unkeyed = LgRasterCreate(4, 4, 0, LgRasterTypeTexture | 0x100);
    ASSERT_NE(target, nullptr);
    ASSERT_NE(keyed, nullptr);
    ASSERT_NE(unkeyed, nullptr);
    LgImage* image = test_image();
    ASSERT_NE(LgRasterSetFromImage(keyed, image), nullptr);
    ASSERT_NE(LgRasterSetFromImage(unkeyed, image), nullptr);
    auto read = [&](int32_t x, int32_t y) {
        const uint8_t* p = LgRasterLock(target, 0, LgRasterLockRead);
        const uint32_t v = p != nullptr ? load_pixel(p + y * target->stride + x * 2, 2) : 0xDEAD;
        LgRasterUnlock(target);
        return v;
    };
    const uint32_t white = 0xFFFF, grey = 0x8410;
    ASSERT_EQ(LgRasterPushContext(target), target);
    struct Copy {
        int32_t slot;
        LgRaster* source;
        int32_t x, y;
        uint32_t atOrigin; // target pixel at (0, 0) afterwards
    };
    const Copy copies[] = {
        {LgStdRasterRenderTransparent, keyed, 0, 0, white}, // keyed corner left out
        {LgStdRasterRenderFast, keyed, 0, 0, 0},            // opaque: the key colour lands
        // No key, so no blit: copied by hand, clipped, the black pixel at (1, 1) converted.
        {LgStdRasterRenderTransparent, unkeyed, -1, -1, 0},
    };
    for (const Copy& c : copies) {
        LgStandardCall(LgStdClear, nullptr, nullptr, static_cast<int32_t>(white));
        LgD3DPoint at = {c.x, c.y};
        ASSERT_EQ(LgStandardCall(c.slot, c.source, &at, 0), 1);
        EXPECT_EQ(read(0, 0), c.atOrigin) << c.slot;
        EXPECT_EQ(read(4, 4), white) << c.slot;
    }
    LgRect scaled = {4, 4, 8, 8}; // twice the size, cut at the target's edge
    ASSERT_EQ(LgStandardCall(LgStdRasterRenderScaled, keyed, &scaled, 0), 1);
    EXPECT_EQ(read(4, 4), white); // the keyed corner, doubled
    EXPECT_EQ(read(5, 5), white);
    EXPECT_EQ(read(7, 7), 1u); // black, kept visible in the keyed texture
    EXPECT_EQ(read(4, 7), grey);
    LgRasterPopContext();
    LgImageDestroy(image);
    for (LgRaster* r : {keyed, unkeyed, target}) LgRasterDestroy(r);
}

} // namespace
