// Rasters over fake device standard functions: creation, sub-raster chains, the context
// stack, locks, pixel transfers and reading single pixels.
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/fake_surfaces.h"
#include "tests/engine/core/image_test_support.h"

#include <gtest/gtest.h>

#include <string>

using enginetest::FakeSurfaces;
using enginetest::pixel32;
using enginetest::recorded_error;
using enginetest::rgba;
using enginetest::rgba_image;
using enginetest::StartedEngine;

namespace {

int32_t tagOffset = -1;
std::string pluginLog;

void* tag_construct(void* raster, int32_t offset, int32_t) {
    static_cast<char*>(raster)[offset] = 'c';
    pluginLog += "c";
    return raster;
}
void* tag_destruct(void* raster, int32_t, int32_t) {
    pluginLog += "d";
    return raster;
}

class Rasters : public ::testing::Test {
protected:
    Rasters()
        : engine(0, [] {
              tagOffset = LgRasterRegisterPlugin(1, 0x7f1, tag_construct, tag_destruct, nullptr);
          }) {}
    void SetUp() override {
        ASSERT_TRUE(engine.ok);
        pluginLog.clear();
    }
    // Stop while the fake device still answers the rasters' destruction.
    void TearDown() override { LgEngineStop(); }
    LgRaster* window() { return LgRasterCreate(0, 0, 0, LgRasterDontAllocate); }

    StartedEngine engine;
    FakeSurfaces device;
};

TEST_F(Rasters, CreateHandsTheFlagsToTheDeviceAndRunsThePlugins) {
    LgRaster* r = LgRasterCreate(16, 8, 0, LgRasterTypeTexture | 0x500);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(LgRasterGetParent(r), r);
    EXPECT_EQ(r->type, LgRasterTypeTexture);
    EXPECT_EQ(LgRasterGetFormat(r), 0x500);
    EXPECT_EQ(LgRasterGetWidth(r), 16);
    EXPECT_EQ(LgRasterGetDepth(r), 32);
    EXPECT_EQ(reinterpret_cast<char*>(r)[tagOffset], 'c');
    EXPECT_EQ(LgRasterDestroy(r), 1);
    EXPECT_EQ(pluginLog, "cd");
    EXPECT_EQ(device.destroyed, 1);
    EXPECT_EQ(device.live_surfaces(), 0u);
}

TEST_F(Rasters, ARefusedCreateReturnsItsRecord) {
    device.refuseCreate = true;
    for (int i = 0; i < 50; ++i) EXPECT_EQ(LgRasterCreate(4, 4, 0, 0), nullptr);
    EXPECT_EQ(pluginLog, "");
    device.refuseCreate = false;
    // Every record went back: the list still has its first block only.
    const long before = enginetest::CountingMemory::live;
    LgRaster* r = LgRasterCreate(4, 4, 0, 0);
    EXPECT_EQ(enginetest::CountingMemory::live, before);
    LgRasterDestroy(r);
}

TEST_F(Rasters, LevelCountsComeFromTheDeviceOnlyForMipmappedRasters) {
    LgRaster* plain = LgRasterCreate(256, 64, 0, LgRasterTypeTexture);
    LgRaster* mipmapped = LgRasterCreate(256, 64, 0, LgRasterTypeTexture | LgRasterFormatMipmap);
    EXPECT_EQ(LgRasterGetNumLevels(plain), 1);
    EXPECT_EQ(LgRasterGetNumLevels(mipmapped), 7);
    LgEngineInstancePtr->standardFunctions.slot[LgStdRasterNumLevels] = [](void*, void*, int32_t) {
        return 0;
    };
    EXPECT_EQ(LgRasterGetNumLevels(plain), 1);
    EXPECT_EQ(LgRasterGetNumLevels(mipmapped), -1);
    LgRasterDestroy(plain);
    LgRasterDestroy(mipmapped);
}

TEST_F(Rasters, SubRastersOfSubRastersShareTheOwnerAndAddOffsets) {
    LgRaster* owner = LgRasterCreate(100, 80, 0, LgRasterTypeCamera);
    LgRaster* outer = window();
    LgRaster* inner = window();
    const LgRect outerRect = {10, 20, 50, 40};
    const LgRect innerRect = {5, 6, 10, 10};
    ASSERT_EQ(LgRasterSubRaster(outer, owner, &outerRect), outer);
    ASSERT_EQ(LgRasterSubRaster(inner, outer, &innerRect), inner);
    EXPECT_EQ(LgRasterGetParent(outer), owner);
    EXPECT_EQ(LgRasterGetParent(inner), owner);
    EXPECT_EQ(inner->offsetX, 15);
    EXPECT_EQ(inner->offsetY, 26);
    EXPECT_EQ(LgRasterGetWidth(inner), 10);

    // Storage of its own, a rectangle outside the parent, or a device refusal: no window.
    LgRaster* other = LgRasterCreate(10, 10, 0, LgRasterTypeCamera);
    EXPECT_EQ(LgRasterSubRaster(other, owner, &innerRect), nullptr);
    const LgRect outside[] = {
        {-1, 0, 5, 5}, {0, 0, 101, 5}, {60, 0, 41, 1}, {0, 79, 1, 2}, {0, 0, -1, 1}};
    for (const LgRect& rect : outside) EXPECT_EQ(LgRasterSubRaster(inner, owner, &rect), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrInvalidArgument}));
    device.refuseSubRaster = true;
    LgRaster* refused = window();
    EXPECT_EQ(LgRasterSubRaster(refused, owner, &innerRect), nullptr);
    for (LgRaster* r : {owner, outer, inner, other, refused}) LgRasterDestroy(r);
}

TEST_F(Rasters, TheContextStackRestoresTargetsAndRefusesOverflow) {
    LgRaster* a = LgRasterCreate(4, 4, 0, LgRasterTypeCamera);
    LgRaster* b = LgRasterCreate(4, 4, 0, LgRasterTypeCamera);
    LgRaster* bottom = LgRasterGetCurrentContext();
    ASSERT_NE(bottom, nullptr);
    EXPECT_EQ(LgRasterPushContext(a), a);
    EXPECT_EQ(LgRasterPushContext(b), b);
    EXPECT_EQ(LgRasterPopContext(), b);
    EXPECT_EQ(device.targets.back(), a);
    EXPECT_EQ(LgRasterPopContext(), a);
    EXPECT_EQ(device.targets.back(), bottom);
    EXPECT_EQ(LgRasterPopContext(), nullptr); // nothing pushed

    for (int i = 0; i < LgRasterContextDepth; ++i) ASSERT_EQ(LgRasterPushContext(a), a);
    const size_t calls = device.targets.size();
    EXPECT_EQ(LgRasterPushContext(b), nullptr);
    EXPECT_EQ(device.targets.size(), calls);
    EXPECT_EQ(LgRasterGetCurrentContext(), a);
    for (int i = 0; i < LgRasterContextDepth; ++i) LgRasterPopContext();

    device.refuseTarget = true;
    EXPECT_EQ(LgRasterPushContext(b), nullptr);
    EXPECT_EQ(LgRasterGetCurrentContext(), bottom);
    LgRasterDestroy(a);
    LgRasterDestroy(b);
}

TEST_F(Rasters, ClearsShowsAndLocksGoToTheDevice) {
    LgRaster* r = LgRasterCreate(8, 8, 0, LgRasterTypeTexture | LgRasterFormatMipmap);
    const LgRect rect = {1, 2, 3, 4};
    EXPECT_EQ(LgRasterClearRect(&rect, 0xabcd), 1);
    EXPECT_EQ(device.clears.back().w, 3);
    EXPECT_EQ(device.clearValues.back(), 0xabcdu);
    EXPECT_EQ(LgRasterShow(r, nullptr, 1), r);
    EXPECT_EQ(device.shows, 1);

    uint8_t* pixels = LgRasterLock(r, 2, LgRasterLockRead);
    EXPECT_EQ(pixels, reinterpret_cast<uint8_t*>(FakeSurfaces::level(r, 2).pixels.data()));
    EXPECT_EQ(device.lockArguments.back(), (2 << 8) + LgRasterLockRead);
    EXPECT_EQ(LgRasterGetWidth(r), 2); // the device shows the level's size while locked
    EXPECT_EQ(LgRasterUnlock(r), r);
    EXPECT_EQ(LgRasterGetWidth(r), 8);
    EXPECT_EQ(LgRasterLock(r, 9, LgRasterLockRead), nullptr);
    EXPECT_EQ(LgRasterLock(r, 0x101, LgRasterLockRead), // only the level's low byte counts
              reinterpret_cast<uint8_t*>(FakeSurfaces::level(r, 1).pixels.data()));
    LgRasterUnlock(r);
    LgRasterDestroy(r);
}

TEST_F(Rasters, PaletteUnlockClearsTheLockBits) {
    LgRaster* r = LgRasterCreate(4, 4, 0, LgRasterTypeTexture | LgRasterFormatPal8);
    EXPECT_NE(LgRasterLockPalette(r, 3), nullptr);
    EXPECT_EQ(r->privateFlags & LgRasterPaletteLocked, LgRasterPaletteLocked);
    LgRasterUnlockPalette(r);
    EXPECT_EQ(r->privateFlags & LgRasterPaletteLocked, 0);
    LgRaster* trueColour = LgRasterCreate(4, 4, 0, LgRasterTypeTexture);
    EXPECT_EQ(LgRasterLockPalette(trueColour, 3), nullptr);
    LgRasterDestroy(r);
    LgRasterDestroy(trueColour);
}

TEST_F(Rasters, ImagesAndRastersExchangePixelsAndTheGammaMark) {
    LgRaster* r = LgRasterCreate(2, 2, 0, LgRasterTypeTexture);
    LgImage* image = rgba_image(2, 2, {rgba(0x102030), rgba(0x405060)});
    image->flags |= LgImageGammaCorrected;
    ASSERT_EQ(LgRasterSetFromImage(r, image), r);
    EXPECT_EQ(r->privateFlags & LgRasterGammaCorrected, LgRasterGammaCorrected);
    LgImage* back = rgba_image(2, 2, {rgba(0)});
    ASSERT_EQ(LgImageSetFromRaster(back, r), back);
    EXPECT_EQ(pixel32(back, 1, 0), rgba(0x405060));
    EXPECT_EQ(back->flags & LgImageGammaCorrected, LgImageGammaCorrected);
    image->flags &= ~LgImageGammaCorrected;
    LgRasterSetFromImage(r, image);
    EXPECT_EQ(r->privateFlags & LgRasterGammaCorrected, 0);

    int32_t w = 0, h = 0, d = -1, flags = 0;
    device.maxTextureSize = 1;
    ASSERT_EQ(LgImageFindRasterFormat(image, LgRasterTypeTexture, &w, &h, &d, &flags), image);
    EXPECT_EQ(w, 1);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(d, 0);
    EXPECT_EQ(flags, LgRasterTypeTexture | 0x500);
    LgImageDestroy(image);
    LgImageDestroy(back);
    LgRasterDestroy(r);
}

TEST_F(Rasters, ReadPixelReadsThroughAOnePixelWindow) {
    LgRaster* r = LgRasterCreate(4, 3, 0, LgRasterTypeCamera);
    FakeSurfaces::level(r, 0).pixels[2 * 4 + 3] = rgba(0xa0b0c0, 7);
    LgRGBA out = {};
    EXPECT_EQ(LgRasterReadPixel(&out, r, 3, 2), &out);
    EXPECT_EQ(out, rgba(0xa0b0c0, 7));
    // Through a sub-raster the window's offsets add up.
    LgRaster* sub = window();
    const LgRect rect = {2, 1, 2, 2};
    LgRasterSubRaster(sub, r, &rect);
    out = {};
    EXPECT_EQ(LgRasterReadPixel(&out, sub, 1, 1), &out);
    EXPECT_EQ(out, rgba(0xa0b0c0, 7));
    const int destroyedBefore = device.destroyed;
    for (auto [x, y] : {std::pair{-1, 0}, std::pair{4, 0}, std::pair{0, 3}})
        EXPECT_EQ(LgRasterReadPixel(&out, r, x, y), nullptr);
    EXPECT_EQ(device.destroyed, destroyedBefore);
    LgRasterDestroy(sub);
    LgRasterDestroy(r);
}

TEST_F(Rasters, ColoursBecomeDevicePixels) {
    const LgRGBA colour = {1, 2, 3, 4};
    EXPECT_EQ(LgRGBAToPixel(&colour, 0x500), 0x04010203u);
}

} // namespace
