// The landscape's frame side over the flat quad at y 150: the sun on and off the screen, the
// ambient volumes by altitude, the sky box's states and textures, the fog table and colour,
// and the detail pass inside the engine's sector drawing.
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_tie.h"
#include "game/world/tv_lens_flare.h"
#include "game/world/tv_map_water.h"
#include "tests/game/world/landscape_test_support.h"
#include "tests/game/world/raster_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <set>
#include <vector>

using landscapetest::LandscapeTest;
using landscapetest::ViewCamera;

namespace {

// Straight against the sunlight, which travels along (1, -1, -1).
constexpr LgVector kTowardTheSun = {-1, 1, 1};

std::vector<uintptr_t> values_of(const std::vector<std::pair<int32_t, uintptr_t>>& sets,
                                 int32_t state) {
    std::vector<uintptr_t> out;
    for (const auto& [s, v] : sets)
        if (s == state) out.push_back(v);
    return out;
}

} // namespace

TEST_F(LandscapeTest, TheSunInViewPlacesTheFlareAndBehindHidesIt) {
    ASSERT_EQ(load_flat(), OM_S_OK);
    ViewCamera view({500, 600, 500}, kTowardTheSun);
    EXPECT_EQ(landscape->UpdateView(view.camera), OM_S_OK);
    EXPECT_EQ(impl()->flare_visible, 1);
    EXPECT_NEAR(TvLensFlare().sun_x, 320, 1);
    EXPECT_NEAR(TvLensFlare().sun_y, 240, 1);

    view.place({500, 600, 500}, {1, -1, -1});
    landscape->UpdateView(view.camera);
    EXPECT_EQ(impl()->flare_visible, 0);
    ASSERT_TRUE(view.begin());
    device.draws.clear();
    landscape->RenderLensFlare(nullptr);
    view.end();
    EXPECT_TRUE(device.draws.empty());
}

TEST_F(LandscapeTest, AmbientVolumesFollowTheCameraAltitude) {
    ASSERT_EQ(load_flat("", "[sound]\nwind = gusts\nwindmin = 100\nwindmax = 1100\nforest = "
                            "birds\nforestmin = 0\nforestmax = 400\nwaves\n0\n600\n"),
              OM_S_OK);
    // Low and high equal: entries of one name merge in the file, so they are set here.
    impl()->third.low = 600.0f;
    struct Case {
        float altitude, wind, forest, waves;
    };
    // The world's origin is at y 0, so the altitude is the camera's y.
    const Case cases[] = {
        {600, 0.5f, 0.0f, 0.0f},  // forest 1 - 1.5 limited; waves 1 - 0 / 0, not a number
        {100, 0.0f, 0.75f, 1.0f}, // waves 1 - (-500 / 0): infinite, limited to 1
        {2000, 1.0f, 0.0f, 0.0f}, // above everything
        {-50, 0.0f, 1.0f, 1.0f},  // below the origin
    };
    for (const Case& c : cases) {
        ViewCamera view({500, c.altitude, 500}, {0, 0, 1});
        landscape->UpdateView(view.camera);
        EXPECT_FLOAT_EQ(record.sound("gusts")->volume, c.wind) << c.altitude;
        EXPECT_FLOAT_EQ(record.sound("birds")->volume, c.forest) << c.altitude;
        EXPECT_FLOAT_EQ(record.sound("waves")->volume, c.waves) << c.altitude;
    }
}

TEST(LandscapeFog, TheFogTableClimbsByFourEveryThirdEntryFrom64) {
    uint8_t table[256];
    TvBuildFogTable(table);
    struct Case {
        int entry;
        uint8_t value;
    };
    for (const Case c : {Case{0, 0}, Case{63, 0}, Case{64, 0}, Case{66, 0}, Case{67, 4},
                         Case{70, 8}, Case{255, 252}})
        EXPECT_EQ(table[c.entry], c.value) << c.entry;
    EXPECT_EQ(TvFogColourWord({255, 128, 0, 255}), 0xFFFF8000u);
}

TEST_F(LandscapeTest, RenderSkyDrawsTheFacesAndSetsTheFog) {
    ASSERT_EQ(load_flat("front = f\nleft = l\nback = b\nright = r\nup = u\n"
                        "fogcolour = 255 128 0 255\n"),
              OM_S_OK);
    ViewCamera view({500, 600, 500}, {0, 0, 1});
    auto* camera = new gametest::FakeCamera;
    camera->engine_camera = view.camera;
    ASSERT_TRUE(view.begin());
    device.stateSets.clear();
    device.draws.clear();
    EXPECT_EQ(landscape->RenderSky(camera), OM_S_OK);
    view.end();
    camera->Release();

    std::vector<uintptr_t> faces;
    for (int face = 0; face < kTvSkyFaces; ++face)
        faces.push_back(reinterpret_cast<uintptr_t>(LgTextureGetRaster(impl()->sky[face])));
    EXPECT_EQ(values_of(device.stateSets, 1), faces);
    EXPECT_EQ(values_of(device.stateSets, 13), (std::vector<uintptr_t>{0, 1}));
    EXPECT_EQ(values_of(device.stateSets, 4), (std::vector<uintptr_t>{0, 1}));
    EXPECT_EQ(values_of(device.stateSets, 6), (std::vector<uintptr_t>{0, 1}));
    EXPECT_EQ(values_of(device.stateSets, 14), std::vector<uintptr_t>{0xFFFF8000u});
    EXPECT_EQ(values_of(device.stateSets, 17).size(), 1u);
    EXPECT_FALSE(device.triangles().empty());
    // Faces without a texture are left out.
    landscape->FreeMap();
    ASSERT_EQ(load_flat("front = f\nup = missingup\n"), OM_S_OK);
    camera = new gametest::FakeCamera;
    camera->engine_camera = view.camera;
    ASSERT_TRUE(view.begin());
    device.stateSets.clear();
    device.draws.clear();
    landscape->RenderSky(camera);
    view.end();
    camera->Release();
    EXPECT_EQ(values_of(device.stateSets, 1), std::vector<uintptr_t>{reinterpret_cast<uintptr_t>(
                                                  LgTextureGetRaster(impl()->sky[kTvSkyFront]))});

    LgRGBA clear{};
    landscape->GetFogColour(&clear);
    EXPECT_EQ(clear.red, 255);
    EXPECT_EQ(clear.green, 128);
    EXPECT_EQ(clear.blue, 0);
    EXPECT_EQ(clear.alpha, 255);
}

TEST(LandscapeDetail, AlphaFadesWithDepth) {
    struct Case {
        float depth;
        int32_t alpha;
        bool near;
    };
    const Case cases[] = {{0, 50, true},  {100, 50, true}, {300, 10, true}, {350, 0, true},
                          {356, 0, true}, {357, 0, false}, {400, 0, false}, {-20, 50, true}};
    for (const Case& c : cases) {
        bool near = false;
        EXPECT_EQ(TvDetailAlpha(c.depth, &near), c.alpha) << c.depth;
        EXPECT_EQ(near, c.near) << c.depth;
    }
}

class DetailPass : public LandscapeTest {
protected:
    // The world drawn by a camera looking straight down from the height; the colours of the
    // triangles the device drew.
    std::set<uint32_t> draw_from(float height) {
        ViewCamera view({650, height, 650}, {0, -1, 0});
        LgWorldAddCamera(impl()->world, view.camera);
        device.draws.clear();
        device.stateSets.clear();
        EXPECT_TRUE(view.begin());
        LgWorldRenderAtomicsInView(impl()->world);
        view.end();
        LgWorldRemoveCamera(impl()->world, view.camera);
        std::set<uint32_t> colours;
        for (const auto& t : device.triangles())
            for (const LgIm3DScreenVertex& v : t) colours.insert(v.colour);
        return colours;
    }
};

TEST_F(DetailPass, LaysTheDetailOverNearGround) {
    ASSERT_EQ(load_flat(), OM_S_OK);
    // 300 above the ground: every vertex is 300 deep, alpha 10.
    const std::set<uint32_t> colours = draw_from(450.0f);
    EXPECT_EQ(colours, (std::set<uint32_t>{0xffc8c8c8u, 0x0affffffu}));
    EXPECT_EQ(values_of(device.stateSets, 19), (std::vector<uintptr_t>{1, 0}));
    EXPECT_EQ(values_of(device.stateSets, 9).back(), 5u);
    EXPECT_EQ(values_of(device.stateSets, 10).back(), 6u);
    // The detail texture repeats every 100 units from the world's origin (150, 0, 150).
    bool repeating = false;
    for (const auto& t : device.triangles())
        for (const LgIm3DScreenVertex& v : t)
            if (v.colour == 0x0affffffu && v.u > 1.0f) repeating = true;
    EXPECT_TRUE(repeating);
}

TEST_F(DetailPass, FarOrSwitchedOffGroundGetsNoDetail) {
    ASSERT_EQ(load_flat(), OM_S_OK);
    // 400 deep: the pass runs but nothing is near.
    EXPECT_EQ(draw_from(550.0f), std::set<uint32_t>{0xffc8c8c8u});
    EXPECT_EQ(values_of(device.stateSets, 19), (std::vector<uintptr_t>{1, 0}));
    // 1500 deep: the pass stops at the first vertex.
    EXPECT_EQ(draw_from(1650.0f), std::set<uint32_t>{0xffc8c8c8u});
    EXPECT_TRUE(values_of(device.stateSets, 19).empty());

    landscape->FreeMap();
    TvDetailTexturesEnabled = 0;
    ASSERT_EQ(load_flat(), OM_S_OK);
    EXPECT_EQ(draw_from(450.0f), std::set<uint32_t>{0xffc8c8c8u});
    EXPECT_TRUE(values_of(device.stateSets, 19).empty());
}

TEST_F(LandscapeTest, FogColourFromTheFrontSkyByViewDirection) {
    gametest::RasterDevice rasters;
    ASSERT_EQ(load_flat("front = f\n"), OM_S_OK);
    LgRaster* sky = LgTextureGetRaster(impl()->sky[kTvSkyFront]);
    ASSERT_EQ(LgRasterGetHeight(sky), 8);
    // Row r of the 4 x 8 picture is red 10 x r, green 1, blue 2, alpha 255 (column 2 read).
    for (int32_t row = 0; row < 8; ++row) {
        const uint32_t pixel = 0xff000000u | uint32_t(10 * row) << 16 | 1u << 8 | 2u;
        std::memcpy(rasters.pixels(sky) + row * LgRasterGetStride(sky) + 2 * 4, &pixel, 4);
    }
    ViewCamera view({0, 0, 0}, {0, 0, 1});
    struct Case {
        LgVector direction;
        uint8_t red; // 10 x the row read
    };
    const Case cases[] = {
        {{0, 1, 0}, 40},                    // at or above the horizon: the middle row
        {{1, 0, 0}, 40},  {{4, -1, 0}, 50}, // k = trunc(8 x -0.2425) = -1: one row lower
        {{0, -1, 0}, 70},                   // k limited to -4: row 8, the last row 7
        {{1, -1, 0}, 70},                   // k = -5, limited
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(view.begin());
        device.stateSets.clear();
        EXPECT_EQ(landscape->SetFogColourFromSky(&c.direction), OM_S_OK);
        view.end();
        LgRGBA fog{};
        landscape->GetFogColour(&fog);
        EXPECT_EQ(fog.red, c.red) << c.direction.x << " " << c.direction.y;
        EXPECT_EQ(fog.green, 1);
        EXPECT_EQ(fog.alpha, 255);
        EXPECT_EQ(values_of(device.stateSets, 14), std::vector<uintptr_t>{TvFogColourWord(fog)});
    }
}

TEST_F(LandscapeTest, TheWaterTestReadsMapWaterAtAnyDepthAndMissingMeansLand) {
    gametest::RasterDevice rasters;
    LgTexDictionary* dictionary = LgTexDictionaryCreate();
    LgTexDictionarySetCurrent(dictionary);
    EXPECT_EQ(TvMapWaterAt(0.5f, 0.5f), 0); // no map loaded: land
    ASSERT_EQ(load_flat(), OM_S_OK);
    LgTexture* water = LgTexDictionaryFindNamedTexture(dictionary, "mapwater");
    ASSERT_NE(water, nullptr);
    LgRaster* raster = LgTextureGetRaster(water);
    // Water (blue) in column 3 of row 7 only: (u, v) = (1, 1), and wrapped beyond 0..1.
    const uint32_t blue = 0xff0000ffu, black = 0xff000000u;
    for (int32_t row = 0; row < 8; ++row)
        for (int32_t col = 0; col < 4; ++col)
            std::memcpy(rasters.pixels(raster) + row * LgRasterGetStride(raster) + col * 4,
                        row == 7 && col == 3 ? &blue : &black, 4);
    struct Case {
        float u, v;
        int32_t water;
    };
    for (const Case c : {Case{1, 1, 1}, Case{0, 0, 0}, Case{0.5f, 1, 0}, Case{2.34f, 2.15f, 1},
                         Case{-0.4f, -0.2f, 1}, Case{1e30f, 1, 0}, Case{NAN, 1, 0}})
        EXPECT_EQ(TvMapWaterAt(c.u, c.v), c.water) << c.u << ", " << c.v;

    landscape->FreeMap();
    LgTexDictionarySetCurrent(nullptr);
    LgTexDictionaryDestroy(dictionary);
    EXPECT_EQ(TvMapWaterAt(1, 1), 0);
}

TEST_F(DetailPass, ListsAndStripsGetEveryTriangleFacingUp) {
    // A 100-unit quad wholly in view 300 below the camera: two detail triangles, whether the
    // engine keeps the sector as a list or builds a strip (every second strip triangle is
    // wound the other way and must not be culled for it).
    for (uint32_t flags : {0u, uint32_t(landscapetest::mw::worldStrips)}) {
        write_map("small", "[appearance]\nbsp = small\n", "small",
                  landscapetest::quads_world({150.0f}, 100.0f, "ground", flags));
        ASSERT_EQ(landscape->LoadMap("small"), OM_S_OK);
        const LgAtomicSector* sector =
            impl()->world->rootSector->type == LgSectorAtomic
                ? reinterpret_cast<LgAtomicSector*>(impl()->world->rootSector)
                : nullptr;
        ASSERT_NE(sector, nullptr);
        EXPECT_EQ((sector->mesh->flags & LgMeshHeaderTriStrip) != 0, flags != 0);
        ViewCamera view({200, 450, 200}, {0, -1, 0});
        LgWorldAddCamera(impl()->world, view.camera);
        device.draws.clear();
        ASSERT_TRUE(view.begin());
        LgWorldRenderAtomicsInView(impl()->world);
        view.end();
        LgWorldRemoveCamera(impl()->world, view.camera);
        int detail = 0, plain = 0;
        for (const auto& t : device.triangles()) (t[0].colour == 0x0affffffu ? detail : plain)++;
        EXPECT_EQ(plain, 2) << flags;
        EXPECT_EQ(detail, 2) << flags;
        landscape->FreeMap();
    }
}
