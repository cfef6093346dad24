// Cameras on the driver: begin, clear, end and show in both kinds of mode, the windowed render
// targets shared by cameras of one raster, and rasters destroyed under their cameras.
#include "engine/core/lg_camera.h"
#include "engine/driver/lg_d3d_raster.h"
#include "platform/graphics/presenter.h"
#include "tests/engine/driver/driver_test_support.h"

#include <cmath>

using drivertest::DriverEngine;

namespace {

class D3DCameras : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(GetParam() ? engine.start_full_screen() : engine.start_windowed());
        width = GetParam() ? 640 : 320;
        height = GetParam() ? 480 : 240;
        frame = LgRasterCreate(width, height, 0, LgRasterTypeCamera);
        depth = LgRasterCreate(width, height, 0, LgRasterTypeZBuffer);
        camera = make_camera(frame, depth);
        ASSERT_NE(camera, nullptr);
    }
    void TearDown() override {
        for (LgCamera* c : cameras) LgCameraDestroy(c);
        LgRasterDestroy(depth);
        LgRasterDestroy(frame);
    }
    LgCamera* make_camera(LgRaster* colour, LgRaster* z) {
        LgCamera* c = LgCameraCreate();
        if (c == nullptr) return nullptr;
        LgCameraSetRaster(c, colour);
        LgCameraSetZRaster(c, z);
        cameras.push_back(c);
        return c;
    }
    // The colour at (x, y) of the camera raster, read through a lock.
    uint32_t pixel(LgRaster* raster, int32_t x, int32_t y) {
        uint8_t* p = LgRasterLock(raster, 0, LgRasterLockRead);
        if (p == nullptr) return 0xDEADBEEF;
        const uint32_t value = p[y * raster->stride + x * 2] | p[y * raster->stride + x * 2 + 1]
                                                                   << 8;
        LgRasterUnlock(raster);
        return value;
    }

    DriverEngine engine;
    int32_t width = 0, height = 0;
    LgRaster* frame = nullptr;
    LgRaster* depth = nullptr;
    LgCamera* camera = nullptr;
    std::vector<LgCamera*> cameras;
};

TEST_P(D3DCameras, ClearBetweenBeginAndEndFillsTheRasterAndShowPresentsIt) {
    const LgRGBA red = {255, 0, 0, 255};
    ASSERT_NE(LgCameraBeginUpdate(camera), nullptr);
    EXPECT_EQ(LgD3DDriver.currentCamera, camera);
    ASSERT_NE(LgCameraClear(camera, &red, LgCameraClearImage | LgCameraClearZ), nullptr);
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(LgD3DDriver.currentTarget, nullptr);
    EXPECT_EQ(LgD3DDriver.fpuSwitched, false);
    EXPECT_EQ(pixel(frame, 3, 3), 0xF800u);
    const uint64_t before = platform::last_presented_frame().serial;
    ASSERT_NE(LgCameraShowRaster(camera, &engine.window, 0), nullptr);
    const platform::PresentedFrame& shown = platform::last_presented_frame();
    EXPECT_GT(shown.serial, before);
    ASSERT_FALSE(shown.pixels.empty());
    EXPECT_EQ(shown.pixels[0], 0xFFFF0000u);
    EXPECT_EQ(LgD3DDriver.flipPending, GetParam());
    // The next begin waits for the flip and clears the mark.
    ASSERT_NE(LgCameraBeginUpdate(camera), nullptr);
    EXPECT_FALSE(LgD3DDriver.flipPending);
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
}

TEST_P(D3DCameras, ClearOfASubRasterCameraFillsOnlyItsWindow) {
    LgRaster* window = LgRasterCreate(0, 0, 0, LgRasterDontAllocate);
    const LgRect rect = {8, 4, 16, 16};
    ASSERT_NE(LgRasterSubRaster(window, frame, &rect), nullptr);
    LgCamera* inner = make_camera(window, nullptr);
    ASSERT_NE(inner, nullptr);
    const LgRGBA black = {0, 0, 0, 255}, blue = {0, 0, 255, 255};
    ASSERT_NE(LgCameraClear(camera, &black, LgCameraClearImage), nullptr);
    ASSERT_NE(LgCameraClear(inner, &blue, LgCameraClearImage), nullptr);
    EXPECT_EQ(pixel(frame, 8, 4), 0x001Fu);
    EXPECT_EQ(pixel(frame, 23, 19), 0x001Fu);
    EXPECT_EQ(pixel(frame, 7, 4), 0u);
    EXPECT_EQ(pixel(frame, 24, 19), 0u);
    LgCameraDestroy(inner);
    cameras.pop_back();
    LgRasterDestroy(window);
}

TEST_P(D3DCameras, BeginUpdateSetsUpFogForTheCamerasPlanes) {
    LgCameraSetFarClipPlane(camera, 100.0f);
    LgCameraSetFogDistance(camera, 50.0f);
    LgD3DDriver.renderStates.fogDensity = 0.02f;
    ASSERT_NE(LgCameraBeginUpdate(camera), nullptr);
    EXPECT_FLOAT_EQ(LgD3DDriver.fogStart, 50.0f);
    EXPECT_FLOAT_EQ(LgD3DDriver.fogScale, 255.0f / 50.0f);
    EXPECT_FLOAT_EQ(LgD3DDriver.fogTablesFar, 100.0f);
    // Entry 255 is the far plane: d = 0.02 x 100 = 2.
    EXPECT_EQ(LgD3DDriver.fogTableExp[255], 255 - static_cast<int>(255.0f * std::exp(-2.0f)));
    EXPECT_EQ(LgD3DDriver.fogTableExp2[255], 255 - static_cast<int>(255.0f * std::exp(-4.0f)));
    EXPECT_EQ(LgD3DDriver.fogTableExp[0], 0);
    ASSERT_NE(LgCameraEndUpdate(camera), nullptr);
    LgD3DDriver.renderStates.fogDensity = 0.0f;
}

TEST_P(D3DCameras, EndWithoutBeginFails) {
    EXPECT_EQ(LgCameraEndUpdate(camera), nullptr);
}

INSTANTIATE_TEST_SUITE_P(FullScreenAndWindowed, D3DCameras, ::testing::Bool());

class D3DWindowedCameras : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(engine.start_windowed());
        raster = LgRasterCreate(64, 64, 0, LgRasterTypeCamera);
        ASSERT_NE(raster, nullptr);
        for (LgCamera*& c : pair) {
            c = LgCameraCreate();
            ASSERT_NE(c, nullptr);
            LgCameraSetRaster(c, raster);
        }
    }
    void TearDown() override {
        for (LgCamera* c : pair)
            if (c != nullptr) LgCameraDestroy(c);
        if (raster != nullptr) LgRasterDestroy(raster);
    }
    static LgD3DRenderTarget* target(LgCamera* c) { return LgD3DCameraSliceOf(c); }
    bool draw(LgCamera* c) { return LgCameraBeginUpdate(c) != nullptr && LgCameraEndUpdate(c); }

    DriverEngine engine;
    LgRaster* raster = nullptr;
    LgCamera* pair[2] = {};
};

TEST_F(D3DWindowedCameras, TwoCamerasOnOneRasterShareOneDevice) {
    ASSERT_TRUE(draw(pair[0]));
    ASSERT_TRUE(draw(pair[1]));
    EXPECT_NE(target(pair[0])->device, nullptr);
    EXPECT_EQ(target(pair[0])->device, target(pair[1])->device);
    EXPECT_EQ(target(pair[0])->nextInRing, target(pair[1]));
    EXPECT_EQ(target(pair[1])->nextInRing, target(pair[0]));
    LgD3DRasterSlice* slice = LgD3DRasterSliceOf(raster);
    EXPECT_EQ(slice->firstCamera, target(pair[0]));
    // Destroying the first hands the raster to the second, which keeps drawing.
    LgCameraDestroy(pair[0]);
    pair[0] = nullptr;
    EXPECT_EQ(slice->firstCamera, target(pair[1]));
    EXPECT_EQ(target(pair[1])->nextInRing, target(pair[1]));
    EXPECT_TRUE(draw(pair[1]));
}

TEST_F(D3DWindowedCameras, DestroyingTheRasterDetachesItsCameras) {
    ASSERT_TRUE(draw(pair[0]));
    ASSERT_TRUE(draw(pair[1]));
    LgRasterDestroy(raster);
    raster = nullptr;
    EXPECT_EQ(target(pair[0])->raster, nullptr);
    EXPECT_EQ(target(pair[1])->raster, nullptr);
    // A new raster for the camera builds a new target.
    LgRaster* other = LgRasterCreate(32, 32, 0, LgRasterTypeCamera);
    ASSERT_NE(other, nullptr);
    LgCameraSetRaster(pair[0], other);
    EXPECT_TRUE(draw(pair[0]));
    EXPECT_EQ(LgD3DRasterSliceOf(other)->firstCamera, target(pair[0]));
    LgCameraDestroy(pair[0]);
    pair[0] = nullptr;
    LgRasterDestroy(other);
}

TEST_F(D3DWindowedCameras, ClearColourIsCachedOnTheRasterAndTheTarget) {
    const LgRGBA green = {0, 255, 0, 255};
    ASSERT_NE(LgCameraClear(pair[0], &green, LgCameraClearImage), nullptr);
    EXPECT_EQ(LgD3DRasterSliceOf(raster)->background.green, 255);
    EXPECT_EQ(target(pair[0])->background[1], 255);
}

TEST(D3DCameraLife, NoCameraWithoutAStartedDevice) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_windowed());
    // Stop and start again: cameras made on the new device work as before.
    ASSERT_EQ(LgEngineStop(), 1);
    ASSERT_EQ(LgEngineStart(), 1);
    LgCamera* c = LgCameraCreate();
    ASSERT_NE(c, nullptr);
    LgCameraDestroy(c);
    LgD3DDriverState saved = LgD3DDriver;
    LgD3DDriver.direct3D = nullptr;
    EXPECT_EQ(LgCameraCreate(), nullptr);
    LgD3DDriver.direct3D = saved.direct3D;
}

} // namespace
