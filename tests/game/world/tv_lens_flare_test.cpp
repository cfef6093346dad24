// The lens flare: lensflare.ini and its part count, the part layout along the flare line,
// the edge flash, and drawing only while the sun is on the screen.
#include "game/world/tv_lens_flare.h"
#include "tests/game/world/landscape_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using landscapetest::ViewCamera;

namespace {

class LensFlare : public landscapetest::LandscapeTest {
protected:
    OmResult load(const std::string& ini) {
        dir.write_file("Objects/Particles/LensFlare.ini", ini);
        return TvLoadLensFlare();
    }
    // The left edge and size of part i's square.
    static float left(int i) { return TvLensFlare().quads[i][0].x; }
    static float size(int i) { return TvLensFlare().quads[i][2].x - TvLensFlare().quads[i][0].x; }
};

} // namespace

TEST_F(LensFlare, PartCountsOutsideOneToTwentyGiveTwenty) {
    struct Case {
        const char* parts;
        int32_t count;
    };
    for (const Case c : {Case{"5", 5}, Case{"1", 1}, Case{"20", 20}, Case{"0", 20}, Case{"-3", 20},
                         Case{"25", 20}}) {
        ASSERT_EQ(load(std::string("[flare]\nparts = ") + c.parts + "\n"), OM_S_OK) << c.parts;
        EXPECT_EQ(TvLensFlare().parts, c.count) << c.parts;
    }
    EXPECT_LT(load("[other]\nparts = 5\n"), 0);
    EXPECT_EQ(TvLensFlare().parts, 0);
    std::filesystem::remove(dir / "Objects/Particles/LensFlare.ini");
    EXPECT_LT(TvLoadLensFlare(), 0);
    EXPECT_EQ(TvLensFlare().parts, 0);
}

TEST_F(LensFlare, ASunAtTheCentreStacksThePartsAndFlashesAt70) {
    ASSERT_EQ(load("[flare]\nparts = 3\n[offsets]\noffset1 = 0.5\noffset2 = 0.5\noffset3 = 0.5\n"
                   "[scales]\nscale1 = 2\nscale2 = 1\nscale3 = 1\n"),
              OM_S_OK);
    ASSERT_EQ(TvSetLensFlareScreenSize(640, 480), OM_S_OK);
    TvSetLensFlareSunPosition(320, 240);
    TvUpdateLensFlare();
    TvUpdateLensFlareFlash();
    // Sizes: the glow 3 x 5 x 2 = 30, then 2 x 5 = 10 and 3 x 5 = 15.
    EXPECT_EQ(size(0), 30.0f);
    EXPECT_EQ(size(1), 10.0f);
    EXPECT_EQ(size(2), 15.0f);
    EXPECT_EQ(left(0), 305.0f);
    EXPECT_EQ(left(1), 315.0f);
    EXPECT_EQ(left(2), 313.0f); // 320 - 15 / 2 with the half truncated
    EXPECT_EQ(TvLensFlare().flash[0].colour, 70u << 24 | 0xffffffu);
    EXPECT_EQ(TvLensFlare().flash[2].x, 640.0f);
    EXPECT_EQ(TvLensFlare().flash[2].y, 480.0f);
}

TEST_F(LensFlare, AMissingOffsetLeavesTheLaterPartsInPlace) {
    ASSERT_EQ(load("[flare]\nparts = 4\n[offsets]\noffset1 = 0.5\noffset2 = 0.25\noffset4 = 1\n"
                   "[scales]\nscale1 = 1\nscale2 = 1\nscale3 = 1\nscale4 = 1\n"),
              OM_S_OK);
    TvSetLensFlareScreenSize(640, 480);
    TvSetLensFlareSunPosition(100, 100);
    TvUpdateLensFlare();
    // Step (440 / 4, 280 / 4); part 2 at 100 + 110 x 0.5 + 110 x 0.25 = 182.5, and part 3
    // (offset 3 missing) stays there.
    EXPECT_EQ(left(2), 175.0f); // 182.5 - 7
    EXPECT_EQ(left(3), 172.0f); // 182.5 - 10
    EXPECT_EQ(TvLensFlare().offsets[3], 0.0f);
    // The screen scales the sizes: on a 1280-wide screen the glow is 4 x 5 x 2.
    TvSetLensFlareScreenSize(1280, 960);
    TvUpdateLensFlare();
    EXPECT_EQ(size(0), 40.0f);
}

TEST_F(LensFlare, HostileValuesLeaveWholePixelsOnAnyScreen) {
    struct Case {
        const char* values;
        float offset, scale; // of part 1 as read
    };
    const Case cases[] = {
        {"[scales]\nscale1 = 1e30\n[offsets]\noffset1 = -1e30\n", -100.0f, 100.0f},
        {"[scales]\nscale1 = nan\n[offsets]\noffset1 = inf\n", 0.0f, 0.0f},
        {"[scales]\nscale1 = -inf\n[offsets]\noffset1 = 0.5\n", 0.5f, 0.0f},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(load(std::string("[flare]\nparts = 2\n") + c.values), OM_S_OK) << c.values;
        EXPECT_EQ(TvLensFlare().offsets[0], c.offset) << c.values;
        EXPECT_EQ(TvLensFlare().scales[0], c.scale) << c.values;
        // A screen far wider than any display scales the parts past an int's range.
        for (int32_t width : {640, 2000000000}) {
            ASSERT_EQ(TvSetLensFlareScreenSize(width, 480), OM_S_OK);
            TvSetLensFlareSunPosition(0, 0);
            TvUpdateLensFlare();
            for (int i = 0; i < 2; ++i)
                for (const LgIm3DScreenVertex& v : TvLensFlare().quads[i]) {
                    EXPECT_TRUE(std::isfinite(v.x) && std::fabs(v.x) <= 2e6f) << c.values;
                    EXPECT_TRUE(std::isfinite(v.y) && std::fabs(v.y) <= 2e6f) << c.values;
                }
        }
    }
}

TEST_F(LensFlare, DrawsOnlyWhileTheSunIsOnTheScreen) {
    ASSERT_EQ(load("[flare]\nparts = 3\n[scales]\nscale1 = 1\nscale2 = 1\nscale3 = 1\n"), OM_S_OK);
    TvSetLensFlareScreenSize(640, 480);
    LgRaster* glow = LgRasterCreate(4, 4, 32, LgRasterTypeTexture);
    LgRaster* ring = LgRasterCreate(4, 4, 32, LgRasterTypeTexture);
    TvSetLensFlareGlowTexture(glow);
    TvSetLensFlareRingTexture(ring);
    ViewCamera view({0, 0, 0}, {0, 0, 1});
    ASSERT_TRUE(view.begin());

    for (auto [x, y] : {std::pair{-5, 100}, std::pair{100, 481}, std::pair{641, 0}}) {
        TvSetLensFlareSunPosition(x, y);
        device.draws.clear();
        TvRenderLensFlare();
        TvRenderLensFlareFlash();
        EXPECT_TRUE(device.draws.empty()) << x << ", " << y;
    }

    TvSetLensFlareSunPosition(100, 100);
    TvUpdateLensFlare();
    LgRenderStateSet(9, reinterpret_cast<void*>(uintptr_t{7}));
    LgRenderStateSet(10, reinterpret_cast<void*>(uintptr_t{8}));
    device.draws.clear();
    device.stateSets.clear();
    TvRenderLensFlare();
    ASSERT_EQ(device.draws.size(), 3u);
    for (const auto& d : device.draws) {
        EXPECT_EQ(d.type, 5);
        EXPECT_EQ(d.vertices.size(), 4u);
        EXPECT_EQ(d.vertices[0].colour, 0x40ffffffu);
    }
    std::vector<uintptr_t> textures;
    for (const auto& [state, value] : device.stateSets)
        if (state == 1) textures.push_back(value);
    const auto g = reinterpret_cast<uintptr_t>(glow), r = reinterpret_cast<uintptr_t>(ring);
    EXPECT_EQ(textures, (std::vector<uintptr_t>{g, r, r}));
    EXPECT_EQ(device.states[9], 7u);
    EXPECT_EQ(device.states[10], 8u);
    EXPECT_EQ(device.states[4], 1u);

    TvRenderLensFlareFlash();
    EXPECT_EQ(device.states[9], 5u);
    EXPECT_EQ(device.states[10], 6u);
    EXPECT_EQ(device.states[11], 1u);
    EXPECT_EQ(device.states[1], 0u);
    EXPECT_EQ(device.draws.size(), 4u);
    view.end();
    TvSetLensFlareGlowTexture(nullptr);
    TvSetLensFlareRingTexture(nullptr);
    LgRasterDestroy(glow);
    LgRasterDestroy(ring);
    EXPECT_EQ(TvSetLensFlareScreenSize(0, 480), OM_E_FAIL);
}
