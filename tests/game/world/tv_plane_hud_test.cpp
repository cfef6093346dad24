// The cockpit display: its layout at 640 x 480 and 800 x 600 (dial, needle, radar disc,
// compass, the plane's own blip), damage marks and the splat, the ordnance icon, the boost
// gauge and the count, blips by offset, rim, box and off-map state, the networked blip alpha,
// the water test over the map-water picture (and taxiing or crashing by it), and the camera's
// cockpit hook.
#include "tests/game/world/plane_test_support.h"
#include "tests/game/world/raster_device.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

using gametest::TestObject;
using planetest::placed;
using planetest::PlaneTest;

namespace {

constexpr float kRadarX = 545.0f, kRadarY = 95.0f;

struct ScreenSize {
    static ScreenSize& current() {
        static ScreenSize size;
        return size;
    }
    int32_t width = 640, height = 480;
};

// An object of group 9 that reports a plane state.
class StatedObject final : public TestObject {
public:
    StatedObject(int32_t id, LgVector at, int32_t plane_state)
        : TestObject(id, 1u << kTvGroupSideB, at), plane_state_(plane_state) {}
    OmResult GetProperty(uint32_t property, uintptr_t* out) override {
        if (property == kTvPlanePropState) {
            *out = static_cast<uintptr_t>(plane_state_);
            return OM_S_OK;
        }
        return TestObject::GetProperty(property, out);
    }

private:
    int32_t plane_state_;
};

class NetworkedGame final : public gametest::GameProbe {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (iid == IID_ITvClientGame) {
            AddRef();
            *out = static_cast<ITvGame*>(this);
            return OM_S_OK;
        }
        return GameProbe::QueryInterface(iid, out);
    }
};

class CockpitHud : public PlaneTest {
protected:
    void SetUp() override {
        PlaneTest::SetUp();
        TvFrontEndServices services = landscapetest::recording_services();
        services.get_screen_width = [] { return ScreenSize::current().width; };
        services.get_screen_height = [] { return ScreenSize::current().height; };
        TvInstallFrontEndServices(&services);
        ScreenSize::current() = {};
        // A map box of 1024 x 2048: radar scales 0.5 across x and 0.25 along z.
        LgBBox* box = LgWorldGetBoundingBox(world);
        box->inf = {0, 100, 0};
        box->sup = {1024, 1000, 2048};
        mission = new gametest::FakeMission;
        game->SetMission(mission);
        mission->Release();
        plane = make_plane(kTvFlagPlayerPlane, placed({512, 600, 1024}));
        view = std::make_unique<landscapetest::ViewCamera>(LgVector{0, 0, 0}, LgVector{0, 0, 1});
    }
    void TearDown() override {
        view.reset();
        ScreenSize::current() = {};
        PlaneTest::TearDown();
    }
    // The fans drawn by the whole display.
    std::vector<enginetest::SubmittedDraw> hud() {
        EXPECT_TRUE(view->begin());
        device.draws.clear();
        EXPECT_EQ(plane->DrawCockpitHud(), OM_S_OK);
        view->end();
        return device.draws;
    }
    std::vector<enginetest::SubmittedDraw> radar() {
        EXPECT_TRUE(view->begin());
        device.draws.clear();
        EXPECT_EQ(tvplane::draw_radar(parts(plane), 0.1f), OM_S_OK);
        view->end();
        return device.draws;
    }
    TestObject* enemy(int32_t id, LgVector at, int32_t plane_state = kTvPlaneFlying,
                      ITvGame* in = nullptr) {
        auto* o = new StatedObject(id, at, plane_state);
        EXPECT_EQ((in ? in : game)->AddObject(o, 0x1c0, 0), OM_S_OK);
        o->Release();
        return o;
    }

    gametest::FakeMission* mission = nullptr;
    TavrinPlane* plane = nullptr;
    std::unique_ptr<landscapetest::ViewCamera> view;
};

void expect_at(const LgIm3DScreenVertex& v, float x, float y, const char* what) {
    EXPECT_NEAR(v.x, x, 1e-3f) << what;
    EXPECT_NEAR(v.y, y, 1e-3f) << what;
}

} // namespace

TEST_F(CockpitHud, ScalesTheLayoutToTheScreen) {
    for (auto [w, h] : {std::pair{640, 480}, std::pair{800, 600}}) {
        SCOPED_TRACE(w);
        ScreenSize::current() = {w, h};
        const float sx = float(w) / 640.0f, sy = float(h) / 480.0f;
        const auto draws = hud();
        // Dial, needle, radar disc, compass and the plane's own blip.
        ASSERT_EQ(draws.size(), 5u);
        for (const auto& d : draws) EXPECT_EQ(d.type, 5);
        const auto& dial = draws[0].vertices;
        ASSERT_EQ(dial.size(), 4u);
        expect_at(dial[0], 0.5f * sx, 0.5f * sy, "dial");
        expect_at(dial[1], 0.5f * sx, 128.5f * sy, "dial");
        expect_at(dial[2], 128.5f * sx, 128.5f * sy, "dial");
        EXPECT_EQ(dial[2].u, 1.0f);
        EXPECT_EQ(dial[1].v, 1.0f);
        EXPECT_EQ(dial[0].z, 10.0f);
        EXPECT_EQ(dial[0].recipZ, 0.1f);
        EXPECT_EQ(dial[0].colour, 0xffffffffu);
        // The needle at throttle 0: angle 0.628.
        const float s = std::sin(0.628f), c = std::cos(0.628f);
        const float nx = 64 - 35 * s, ny = 85 - 35 * 0.75f * c;
        const auto& needle = draws[1].vertices;
        expect_at(needle[0], (nx - 16 * c - 32 * s) * sx, (ny - 32 * c + 16 * s) * sy, "needle");
        expect_at(needle[2], (nx + 16 * c) * sx, (ny - 16 * s) * sy, "needle");
        EXPECT_EQ(needle[0].z, 9.0f);
        // The radar disc: centre, then eleven rim points from angle 0.
        const auto& disc = draws[2].vertices;
        ASSERT_EQ(disc.size(), 12u);
        expect_at(disc[0], kRadarX * sx, kRadarY * sy, "radar centre");
        expect_at(disc[1], (kRadarX + 58) * sx, kRadarY * sy, "radar rim");
        EXPECT_EQ(disc[0].colour, 0x80ffffffu);
        EXPECT_NEAR(disc[0].u, 0.5f, 1e-6f);
        EXPECT_NEAR(disc[0].v, 0.5f, 1e-6f);
        // Heading north: the map turns by r = pi / 2 + pi - 1.57.
        EXPECT_NEAR(disc[1].u, 0.5f + 0.1f * std::cos(1.5707964f + 3.14159f - 1.57f), 1e-5f);
        const auto& compass = draws[3].vertices;
        expect_at(compass[0], (kRadarX + 128 * std::cos(0.785f)) * sx,
                  (kRadarY + 128 * std::sin(0.785f)) * sy, "compass");
        EXPECT_EQ(compass[0].z, 8.0f);
        // The plane's own blip sits at the centre.
        const auto& own = draws[4].vertices;
        expect_at(own[0], (kRadarX + 5.6f * std::cos(0.785f)) * sx,
                  (kRadarY + 5.6f * std::sin(0.785f)) * sy, "own blip");
        EXPECT_EQ(own[0].colour >> 24, 255u);
    }
    EXPECT_NEAR(545.0f * 1.25f, 681.25f, 0.0f);
    EXPECT_EQ(device.states[6], 1u);
    EXPECT_EQ(device.states[4], 1u);
    EXPECT_EQ(device.states[9], 5u);
    EXPECT_EQ(device.states[10], 6u);
}

TEST_F(CockpitHud, DamageMarksFillTheDialAndTheSplatFlashesOnTheNewest) {
    struct Case {
        float damage;
        float hit;
        size_t marks;
        bool splat;
    };
    for (const Case c :
         {Case{0.0f, 0.5f, 0, false}, Case{2.3f, 0.0f, 3, false}, Case{2.3f, 0.5f, 3, true},
          Case{10.0f, 0.0f, 10, false}, Case{10.0f, 0.5f, 10, true}}) {
        SCOPED_TRACE(c.damage);
        plane->damage = c.damage;
        plane->hit_indicator = c.hit;
        const auto draws = hud();
        ASSERT_EQ(draws.size(), 5u + c.marks + (c.splat ? 1 : 0));
        if (c.marks == 0) continue;
        // The first mark, at angle 0.9106.
        const float s = std::sin(0.9106f), k = std::cos(0.9106f);
        const float mx = 64 - 42 * s, my = 85 + 42 * 0.95f * k;
        expect_at(draws[5].vertices[0], mx - 4 * k - 8 * s, my - 8 * k + 4 * s, "first mark");
        if (!c.splat) continue;
        const auto& splat = draws.back().vertices;
        const float a = 0.9106f - 0.18212f * float(c.marks - 1);
        const float cx = 64 - 42 * std::sin(a), cy = 85 + 42 * 0.95f * std::cos(a);
        expect_at(splat[0], cx - 15, cy - 15, "splat");
        expect_at(splat[2], cx + 15, cy + 15, "splat");
        EXPECT_EQ(splat[0].colour, (uint32_t(int(192 * 0.5f) + 63) << 24) | 0xffffffu);
    }
}

TEST_F(CockpitHud, OrdnanceIconBoostGaugeAndTheCount) {
    plane->ordinance_type = 1; // bombs
    plane->ordinance_count = 7;
    plane->boost_time = 5.0f;
    auto draws = hud();
    ASSERT_EQ(draws.size(), 5u + 3u);
    expect_at(draws[5].vertices[0], 36, 70, "icon");
    expect_at(draws[5].vertices[2], 68, 102, "icon");
    expect_at(draws[6].vertices[2], 268.5f, 129.5f, "gauge");
    const auto& bar = draws[7].vertices;
    expect_at(bar[2], 145 + 92.5f, 28, "a full boost");
    EXPECT_EQ(bar[0].colour, 0x80ff0000u);
    ASSERT_FALSE(mission->texts.empty());
    EXPECT_EQ(mission->texts.back(), "7");
    EXPECT_EQ(mission->text_x, 66.0f);
    EXPECT_EQ(mission->text_y, 68.0f);

    plane->ordinance_type = 0;
    plane->ordinance_count = 0;
    plane->boost_time = 0.0f;
    draws = hud();
    EXPECT_EQ(draws.size(), 5u) << "no icon, no gauge";
    EXPECT_EQ(mission->texts.back(), "0") << "the count always";
}

TEST_F(CockpitHud, BlipsByOffsetRimBoxAndState) {
    enemy(20, {512 + 40, 600, 1024});  // 20 radar units to the right
    enemy(21, {512, 600, 1024 + 400}); // 100 ahead: drawn at the rim
    enemy(22, {2000, 600, 1024});      // outside the world box
    enemy(23, {512, 600, 1000}, kTvPlaneOffMap);
    const auto draws = radar();
    // Disc, compass, the two blips, the plane's own.
    ASSERT_EQ(draws.size(), 5u);
    const float c = 5.6f * std::cos(0.785f), s = 5.6f * std::sin(0.785f);
    const auto& right = draws[2].vertices;
    expect_at(right[0], kRadarX - 20 + c, kRadarY + s, "right of the plane");
    EXPECT_EQ(right[0].colour >> 24, 255u);
    EXPECT_EQ(right[0].z, 9.0f);
    EXPECT_NEAR(right[0].u, 0.7f * std::cos(0.785f) + 0.5f, 1e-6f);
    const auto& ahead = draws[3].vertices;
    expect_at(ahead[0], kRadarX + c, kRadarY - 46 + s, "at the rim");
    EXPECT_EQ(ahead[0].colour >> 24, 128u);
}

TEST_F(CockpitHud, NetworkedBlipsFadeWithAltitudeOnTheMultiplayerMaps) {
    struct Case {
        int32_t mission;
        float above; // over the world's bottom
        uint32_t alpha;
    };
    const Case cases[] = {{101, 225, 127}, {101, 300, 255}, {101, 150, 0},
                          {102, 115, 127}, {103, 165, 127}, {7, 0, 255}};
    for (const Case c : cases) {
        SCOPED_TRACE(c.mission);
        gametest::TestSettings settings;
        settings.settings.mission_number = c.mission;
        auto* net = new NetworkedGame;
        ASSERT_EQ(net->BeginSession(&settings.settings), OM_S_OK);
        enemy(30, {512 + 40, 100 + c.above, 1024}, kTvPlaneFlying, net);
        plane->game = net;
        const auto draws = radar();
        plane->game = game;
        ASSERT_EQ(draws.size(), 4u);
        EXPECT_EQ(draws[2].vertices[0].colour >> 24, c.alpha);
        net->Destroy();
        net->Release();
    }
}

// The map's "mapwater" picture as the landscape leaves it: in the current texture
// dictionary, here side x side pixels of one engine format (0x200 5-6-5, 0x500 8-8-8-8), all
// `fill`. The dictionary is current while the picture lives.
class WaterPicture {
public:
    WaterPicture(gametest::RasterDevice& rasters, int32_t side, int32_t format, uint32_t fill)
        : rasters_(rasters), previous_(LgTexDictionaryGetCurrent()) {
        raster_ =
            LgRasterCreate(side, side, format == 0x500 ? 32 : 16, LgRasterTypeTexture | format);
        for (int32_t row = 0; row < side; ++row)
            for (int32_t column = 0; column < side; ++column) set(column, row, fill);
        LgTexture* texture = LgTextureCreate(raster_);
        LgTextureSetName(texture, "mapwater");
        dictionary_ = LgTexDictionaryCreate();
        LgTexDictionaryAddTexture(dictionary_, texture);
        LgTexDictionarySetCurrent(dictionary_);
    }
    ~WaterPicture() {
        LgTexDictionarySetCurrent(previous_);
        LgTexDictionaryDestroy(dictionary_);
    }
    WaterPicture(const WaterPicture&) = delete;
    WaterPicture& operator=(const WaterPicture&) = delete;

    void set(int32_t column, int32_t row, uint32_t pixel) {
        const int32_t bytes = LgRasterGetDepth(raster_) / 8;
        std::memcpy(rasters_.pixels(raster_) + row * LgRasterGetStride(raster_) + column * bytes,
                    &pixel, size_t(bytes));
    }

private:
    gametest::RasterDevice& rasters_;
    LgTexDictionary* previous_;
    LgTexDictionary* dictionary_ = nullptr;
    LgRaster* raster_ = nullptr;
};

TEST_F(CockpitHud, TheMapWaterPictureDecidesCrashOnContact) {
    plane->crash_on_contact = 1;
    tvplane::draw_radar(parts(plane), 0.1f);
    EXPECT_EQ(plane->crash_on_contact, 0) << "a map without a water picture is all land";

    gametest::RasterDevice rasters;
    WaterPicture picture(rasters, 128, 0x200, 0x001f);
    picture.set(63, 63, 0); // land under the middle of the map
    tvplane::draw_radar(parts(plane), 0.1f);
    EXPECT_EQ(plane->crash_on_contact, 0) << "over land";
    LgMatrix west = placed({100, 600, 1024});
    plane->SetProperty(kTvPropMatrix, reinterpret_cast<uintptr_t>(&west));
    tvplane::draw_radar(parts(plane), 0.1f);
    EXPECT_EQ(plane->crash_on_contact, 1) << "over water";
}

TEST_F(CockpitHud, OpaqueBlackStoredAsTheDarkestVisiblePixelIsLand) {
    gametest::RasterDevice rasters;
    // A colour-keyed 5-6-5 device: 0 is kept for transparent, opaque black becomes 1.
    LgEngineInstancePtr->standardFunctions.slot[LgStdRGBAToPixel] = [](void* out, void* in,
                                                                       int32_t) -> int32_t {
        const auto* c = static_cast<const LgRGBA*>(in);
        uint32_t pixel =
            uint32_t(c->red & 0xf8) << 8 | uint32_t(c->green & 0xfc) << 3 | uint32_t(c->blue) >> 3;
        if (c->alpha != 0 && pixel == 0) pixel = 1;
        *static_cast<uint32_t*>(out) = c->alpha != 0 ? pixel : 0;
        return 1;
    };
    const LgRGBA black{0, 0, 0, 255};
    const uint32_t stored_black = LgRGBAToPixel(&black, 0x200);
    ASSERT_EQ(stored_black, 1u);
    WaterPicture picture(rasters, 128, 0x200, 0xffff);
    picture.set(63, 63, stored_black);
    tvplane::draw_radar(parts(plane), 0.1f);
    EXPECT_EQ(plane->crash_on_contact, 0) << "opaque black is land";
    picture.set(63, 63, 0x0002);
    tvplane::draw_radar(parts(plane), 0.1f);
    EXPECT_EQ(plane->crash_on_contact, 1) << "any other colour is water";
}

TEST_F(CockpitHud, APlaneTaxisOffAnAllLandPictureOfAnySizeAndCrashesOnWater) {
    // The map box is 1024 x 2048; the plane rolls north from (500, 500) at full throttle,
    // the display drawn after every update as the game does.
    struct Case {
        int32_t side, format;
        uint32_t land, water;
        bool water_under_the_plane;
        int32_t state;
    };
    const Case cases[] = {
        {256, 0x200, 0, 0x001f, false, kTvPlaneFlying},
        {256, 0x500, 0xff000000u, 0xff0000ffu, false, kTvPlaneFlying},
        {64, 0x200, 0, 0x001f, false, kTvPlaneFlying},
        {128, 0x200, 0, 0x001f, true, kTvPlaneCrashed},
        {256, 0x500, 0xff000000u, 0xff0000ffu, true, kTvPlaneCrashed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.side << " x " << c.side << " format " << c.format
                                        << (c.water_under_the_plane ? " water" : " land"));
        gametest::RasterDevice rasters;
        WaterPicture picture(rasters, c.side, c.format, c.land);
        // The pixel under the start, (u, v) = (500 / 1024, 500 / 2048).
        if (c.water_under_the_plane)
            picture.set(int32_t(500.0f / 1024.0f * float(c.side - 1)),
                        int32_t(500.0f / 2048.0f * float(c.side - 1)), c.water);
        TavrinPlane* taxiing = make_plane(0, placed({500, planetest::kGround + 2, 500}));
        ASSERT_EQ(taxiing->state, kTvPlaneTaxiing);
        taxiing->throttle = 1.0f;
        for (int32_t step = 1; step <= 121 && taxiing->state == kTvPlaneTaxiing; ++step) {
            tvplane::draw_radar(parts(taxiing), 0.1f);
            taxiing->Update();
        }
        EXPECT_EQ(taxiing->state, c.state);
        if (c.state == kTvPlaneCrashed) EXPECT_LT(taxiing->matrix->pos.z, 501.0f) << "there";
    }
}

TEST_F(CockpitHud, TheCameraHookDrawsPlanesOnly) {
    ASSERT_TRUE(view->begin());
    device.draws.clear();
    EXPECT_EQ(TvDrawPlaneCockpit(plane, view->camera), OM_S_OK);
    const size_t plane_draws = device.draws.size();
    EXPECT_GE(plane_draws, 5u);
    TavrinAIPlane* ai = make_plane<TavrinAIPlane>(kTvFlagPlayerPlane, placed({512, 600, 1024}));
    EXPECT_EQ(TvDrawPlaneCockpit(ai, view->camera), OM_S_OK);
    EXPECT_GT(device.draws.size(), plane_draws) << "mission planes answer as AI planes";
    const size_t before = device.draws.size();
    TestObject thing(90, 0);
    EXPECT_EQ(TvDrawPlaneCockpit(&thing, view->camera), OM_S_OK);
    EXPECT_EQ(TvDrawPlaneCockpit(nullptr, view->camera), OM_S_OK);
    EXPECT_EQ(device.draws.size(), before);
    view->end();
}
