// The landscape component: the singleton, map.ini (sky, fog colour, height adjust, ambient
// sounds with the bare third-sound lines), loading and freeing the world with its raised
// top, lights and textures, the failures with their log lines and the image path, and the
// line queries over flat quads.
#include "engine/world/lg_collision.h"
#include "engine/world/lg_world_tie.h"
#include "tests/game/world/landscape_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using landscapetest::LandscapeTest;
using landscapetest::quads_world;
using landscapetest::texture_reads;

namespace {

LgCollisionPrimitive line(LgVector start, LgVector end) {
    LgCollisionPrimitive p{};
    p.line = {start, end};
    p.type = LgCollisionSphere; // the query sets the type itself
    return p;
}

std::vector<LgAtomicSector*> sectors_of(LgWorld* world) {
    std::vector<LgAtomicSector*> out;
    LgWorldForAllAtomicSectors(
        world,
        [](LgAtomicSector* s, void* data) {
            static_cast<std::vector<LgAtomicSector*>*>(data)->push_back(s);
            return s;
        },
        &out);
    return out;
}

int light_count(LgWorld* world) {
    int n = 0;
    for (LgLink* l = world->globalLightList.next; l != &world->globalLightList; l = l->next) ++n;
    return n;
}

} // namespace

TEST_F(LandscapeTest, IsASingletonWithItsOwnReferenceCount) {
    ITvBSPLandscape* second = nullptr;
    ASSERT_EQ(OmCreateInstance(CLSID_TavrinBSPLandscape, nullptr, 0, IID_ITvBSPLandscape,
                               reinterpret_cast<void**>(&second)),
              OM_S_OK);
    EXPECT_EQ(second, landscape);
    EXPECT_EQ(impl()->ref_count(), 2u);
    EXPECT_EQ(second->Release(), 1u);
    EXPECT_EQ(TavrinBSPLandscape::instance, impl());

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(landscape->QueryInterface(IID_ITvGame, &other), OM_E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
    IUnknown* aggregated = nullptr;
    EXPECT_EQ(OmCreateInstance(CLSID_TavrinBSPLandscape, landscape, 0, IID_IUnknown,
                               reinterpret_cast<void**>(&aggregated)),
              OM_E_NOAGGREGATION);
}

TEST_F(LandscapeTest, LoadsTheWorldWithItsTopRaisedAndPublishesIt) {
    const std::vector<uint8_t> bytes = quads_world({150.0f});
    LgWorld* stored = landscapetest::read_world_bytes(bytes);
    ASSERT_NE(stored, nullptr);
    const float stored_top = LgWorldGetBoundingBox(stored)->sup.y;
    std::vector<float> stored_sectors;
    for (LgAtomicSector* s : sectors_of(stored))
        stored_sectors.push_back(LgWorldSectorGetBoundingBox(s)->sup.y);
    LgWorldDestroy(stored);

    write_map("Flat", "[appearance]\nbsp = Flat\n", "Flat", bytes);
    ASSERT_EQ(landscape->LoadMap("flat"), OM_S_OK); // names resolve whatever their case
    LgWorld* world = nullptr;
    landscape->GetWorld(&world);
    ASSERT_NE(world, nullptr);
    EXPECT_EQ(TvCurrentMapWorld, world);
    EXPECT_EQ(LgWorldGetBoundingBox(world)->sup.y, stored_top + 1000.0f);
    std::vector<float> sectors;
    for (LgAtomicSector* s : sectors_of(world))
        sectors.push_back(LgWorldSectorGetBoundingBox(s)->sup.y - 1000.0f);
    EXPECT_EQ(sectors, stored_sectors);
    EXPECT_EQ(world->header.flags, 13);
    EXPECT_EQ(light_count(world), 2);
    const LgVector at = LgFrameGetMatrix(impl()->sun_frame)->at;
    EXPECT_NEAR(at.x, 0.57735f, 1e-5f);
    EXPECT_NEAR(at.y, -0.57735f, 1e-5f);
    EXPECT_NEAR(at.z, -0.57735f, 1e-5f);
    EXPECT_STREQ(LgImageGetPath(), "start\\");
    EXPECT_EQ(record.reductions, 4);
}

TEST_F(LandscapeTest, ReadsTexturesFromTheMapDirectoryAndTheFlareFromParticles) {
    LgTexDictionary* dictionary = LgTexDictionaryCreate();
    LgTexDictionarySetCurrent(dictionary);
    ASSERT_EQ(load_flat("front = f\nleft = l\nback = missingback\nright = r\nup = u\n"), OM_S_OK);
    std::vector<std::string> seen;
    for (const auto& r : texture_reads()) seen.push_back(r.name + "@" + r.path);
    // The world's own "ground" texture comes first, read while the world loads.
    const std::vector<std::string> expected = {"ground@maps\\flat\\",
                                               "f@maps\\flat\\",
                                               "l@maps\\flat\\",
                                               "missingback@maps\\flat\\",
                                               "r@maps\\flat\\",
                                               "u@maps\\flat\\",
                                               "map@maps\\flat\\",
                                               "mapwater@maps\\flat\\",
                                               "detail@maps\\flat\\",
                                               "flarepart.bmp@.\\objects\\particles\\",
                                               "flareburst.bmp@.\\objects\\particles\\"};
    EXPECT_EQ(seen, expected);
    EXPECT_NE(impl()->sky[kTvSkyFront], nullptr);
    EXPECT_EQ(impl()->sky[kTvSkyBack], nullptr);
    EXPECT_NE(impl()->detail, nullptr);
    EXPECT_NE(LgTexDictionaryFindNamedTexture(dictionary, "map"), nullptr);
    EXPECT_NE(LgTexDictionaryFindNamedTexture(dictionary, "mapwater"), nullptr);

    // A second map replaces the dictionary's map textures by its own.
    LgTexture* first_map = LgTexDictionaryFindNamedTexture(dictionary, "map");
    landscape->FreeMap();
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(dictionary, "map"), first_map);
    ASSERT_EQ(load_flat(), OM_S_OK);
    EXPECT_NE(LgTexDictionaryFindNamedTexture(dictionary, "map"), nullptr);
    landscape->FreeMap();
    LgTexDictionarySetCurrent(nullptr);
    LgTexDictionaryDestroy(dictionary);
}

TEST_F(LandscapeTest, FogColourAndHeightAdjustInEitherOrder) {
    for (const char* lines : {"fogcolour = 255 128 0 255\nheightadjust = 20\n",
                              "heightadjust = 20\nfogcolour = 255 128 0 255\n"}) {
        ASSERT_EQ(load_flat(lines), OM_S_OK) << lines;
        LgRGBA fog{};
        landscape->GetFogColour(&fog);
        EXPECT_EQ(fog.red, 255);
        EXPECT_EQ(fog.green, 128);
        EXPECT_EQ(fog.blue, 0);
        EXPECT_EQ(fog.alpha, 255);
        EXPECT_EQ(impl()->height_adjust, 20.0f);
        landscape->FreeMap();
    }
}

TEST_F(LandscapeTest, APartialFogColourKeepsTheLaterComponents) {
    ASSERT_EQ(load_flat("fogcolour = 1 2 3 4\n"), OM_S_OK);
    landscape->FreeMap();
    ASSERT_EQ(load_flat("fogcolour = 10 20\nheightadjust = high\n"), OM_S_OK);
    LgRGBA fog{};
    landscape->GetFogColour(&fog);
    EXPECT_EQ(fog.red, 10);
    EXPECT_EQ(fog.green, 20);
    EXPECT_EQ(fog.blue, 3);
    EXPECT_EQ(fog.alpha, 4);
    EXPECT_EQ(impl()->height_adjust, 0.0f);
    // Values beyond a byte keep their low 8 bits.
    landscape->FreeMap();
    ASSERT_EQ(load_flat("fogcolour = 256 511 -1 0\n"), OM_S_OK);
    landscape->GetFogColour(&fog);
    EXPECT_EQ(fog.red, 0);
    EXPECT_EQ(fog.green, 255);
    EXPECT_EQ(fog.blue, 255);
    EXPECT_EQ(fog.alpha, 0);
}

TEST_F(LandscapeTest, LoadFailuresLogWhatTheyMissAndRestoreTheImagePath) {
    write_map("noappearance", "[sound]\nwind = w\n");
    write_map("nobsp", "[appearance]\nfront = f\n");
    write_map("longbsp", "[appearance]\nbsp = abcdefghijabcdefghijabcdefghijab\n");
    write_map("nofile", "[appearance]\nbsp = absent\n");
    const std::vector<uint8_t> junk = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    write_map("corrupt", "[appearance]\nbsp = bad\n", "bad", junk);
    struct Case {
        const char* map;
        std::string log; // "" when no line is written
    };
    const Case cases[] = {
        {"nomap", ""},
        {"noappearance", ""},
        {"nobsp", ""},
        {"longbsp", ""},
        {"nofile", "tvopbsplandscape: Could not open map file: maps\\nofile\\absent.bsp"},
        {"corrupt",
         "tvopbsplandscape: Could not read the map file - corrupted?: maps\\corrupt\\bad.bsp"},
    };
    for (const Case& c : cases) {
        record.log.clear();
        EXPECT_EQ(landscape->LoadMap(c.map), OM_E_FAIL) << c.map;
        EXPECT_EQ(record.log,
                  c.log.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.log})
            << c.map;
        EXPECT_STREQ(LgImageGetPath(), "start\\") << c.map;
        LgWorld* world = reinterpret_cast<LgWorld*>(1);
        landscape->GetWorld(&world);
        EXPECT_EQ(world, nullptr) << c.map;
        EXPECT_EQ(TvCurrentMapWorld, nullptr) << c.map;
    }
}

TEST_F(LandscapeTest, AmbientSoundsWithTheBareThirdSoundLines) {
    ASSERT_EQ(load_flat("", "[sound]\nwind = gusts\nwindmin = 100\nwindmax = 1100\nforest = "
                            "birds\nforestmin = 0\nforestmax = 400\nwaves\n0\n150\n"),
              OM_S_OK);
    const TavrinBSPLandscape& l = *impl();
    ASSERT_NE(l.wind.sound, nullptr);
    ASSERT_NE(l.forest.sound, nullptr);
    ASSERT_NE(l.third.sound, nullptr);
    EXPECT_EQ(landscapetest::fake(l.wind.sound)->name, "gusts");
    EXPECT_EQ(landscapetest::fake(l.forest.sound)->name, "birds");
    EXPECT_EQ(landscapetest::fake(l.third.sound)->name, "waves");
    EXPECT_EQ(l.wind.low, 100.0f);
    EXPECT_EQ(l.wind.high, 1100.0f);
    EXPECT_EQ(l.forest.high, 400.0f);
    EXPECT_EQ(l.third.low, 0.0f);
    EXPECT_EQ(l.third.high, 150.0f);
    for (const char* name : {"gusts", "birds", "waves"}) {
        const landscapetest::FakeSound* s = record.sound(name);
        EXPECT_EQ(s->plays, 1) << name;
        EXPECT_EQ(s->looping, 1) << name;
        EXPECT_EQ(s->int6, std::string(name) == "gusts" ? 0 : 1) << name;
    }
    landscape->FreeMap();
    for (const char* name : {"gusts", "birds", "waves"}) {
        EXPECT_EQ(record.sound(name)->stops, 1) << name;
        EXPECT_EQ(record.sound(name)->releases, 1) << name;
    }
    EXPECT_EQ(impl()->third.sound, nullptr);
}

TEST_F(LandscapeTest, NoEntryAfterForestMaxMeansNoThirdSound) {
    impl()->third.low = 7.0f;
    impl()->third.high = 8.0f;
    ASSERT_EQ(load_flat("", "[sound]\nforest = birds\nforestmax = 400\n"), OM_S_OK);
    EXPECT_EQ(impl()->wind.sound, nullptr);
    EXPECT_NE(impl()->forest.sound, nullptr);
    EXPECT_EQ(impl()->third.sound, nullptr);
    EXPECT_EQ(impl()->third.low, 7.0f);
    EXPECT_EQ(impl()->third.high, 8.0f);
    // An entry name that is not a number leaves that altitude as it was.
    landscape->FreeMap();
    ASSERT_EQ(load_flat("", "[sound]\nwind = gusts\nsurf\nlow\n90\n"), OM_S_OK);
    EXPECT_EQ(landscapetest::fake(impl()->third.sound)->name, "surf");
    EXPECT_EQ(impl()->third.low, 7.0f);
    EXPECT_EQ(impl()->third.high, 90.0f);
}

TEST_F(LandscapeTest, FreeMapReleasesEverythingOnceAndClearsThePublishedWorld) {
    ASSERT_EQ(load_flat("front = f\n", "[sound]\nwind = gusts\n"), OM_S_OK);
    EXPECT_EQ(LgWorldGetDefaultSectorPipeline()->stage6, TvLandscapeDetailPipeline);
    EXPECT_EQ(landscape->FreeMap(), OM_S_OK);
    EXPECT_EQ(TvCurrentMapWorld, nullptr);
    EXPECT_EQ(impl()->world, nullptr);
    EXPECT_EQ(impl()->light1, nullptr);
    EXPECT_EQ(impl()->sun_frame, nullptr);
    EXPECT_EQ(impl()->sky[kTvSkyFront], nullptr);
    EXPECT_EQ(impl()->detail, nullptr);
    EXPECT_EQ(LgWorldGetDefaultSectorPipeline()->stage6, TvSavedSectorStage());
    EXPECT_EQ(landscape->FreeMap(), OM_S_OK);
    EXPECT_EQ(record.sound("gusts")->releases, 1);
}

TEST_F(LandscapeTest, TheLastReleaseTakesTheMapWithIt) {
    ASSERT_EQ(load_flat("front = f\n", "[sound]\nwind = gusts\n"), OM_S_OK);
    ASSERT_NE(TvCurrentMapWorld, nullptr);
    EXPECT_EQ(landscape->Release(), 0u);
    landscape = nullptr;
    EXPECT_EQ(TvCurrentMapWorld, nullptr);
    EXPECT_EQ(record.sound("gusts")->releases, 1);
    EXPECT_EQ(LgWorldGetDefaultSectorPipeline()->stage6, TvSavedSectorStage());
}

TEST_F(LandscapeTest, LoadingOverALoadedMapReleasesTheOldOne) {
    ASSERT_EQ(load_flat("", "[sound]\nwind = gusts\n"), OM_S_OK);
    landscapetest::FakeSound* first = record.sound("gusts");
    ASSERT_EQ(load_flat(), OM_S_OK);
    EXPECT_EQ(first->stops, 1);
    EXPECT_EQ(first->releases, 1);
    EXPECT_EQ(light_count(impl()->world), 2);
    EXPECT_EQ(TvCurrentMapWorld, impl()->world);
}

TEST_F(LandscapeTest, DetailTexturesOffKeepsTheEnginesSectorStage) {
    TvDetailTexturesEnabled = 0;
    ASSERT_EQ(load_flat(), OM_S_OK);
    EXPECT_NE(TvSavedSectorStage(), nullptr);
    EXPECT_EQ(LgWorldGetDefaultSectorPipeline()->stage6, TvSavedSectorStage());
}

TEST_F(LandscapeTest, LoadTestMapReadsOnlyTheWorld) {
    dir.write_file("test.bsp", [] {
        const std::vector<uint8_t> b = quads_world({150.0f});
        return std::string(b.begin(), b.end());
    }());
    EXPECT_EQ(landscape->LoadTestMap("test.bsp"), OM_S_OK);
    EXPECT_EQ(record.log,
              std::vector<std::string>{"tvopbsplandscape: Mothball code. Should not be here."});
    EXPECT_NE(impl()->world, nullptr);
    EXPECT_EQ(TvCurrentMapWorld, nullptr);
    EXPECT_EQ(impl()->light1, nullptr);
    EXPECT_STREQ(LgImageGetPath(), "start\\");
    EXPECT_EQ(landscape->LoadTestMap("absent.bsp"), OM_E_FAIL);
}

// --- Line queries over quads at y 150 (and y 50) -------------------------------------------

TEST_F(LandscapeTest, LineHitFractionIsTheNearestCrossing) {
    write_map("two", "[appearance]\nbsp = two\n", "two", quads_world({50.0f, 150.0f}));
    ASSERT_EQ(landscape->LoadMap("two"), OM_S_OK);
    struct Case {
        LgVector start, end;
        float fraction;
    };
    const Case cases[] = {
        {{500, 200, 500}, {500, 0, 500}, 0.25f},  // crosses 150 at 0.25 and 50 at 0.75
        {{500, 100, 500}, {500, 0, 500}, 0.5f},   // only the lower quad
        {{500, 400, 500}, {500, 300, 500}, 0.0f}, // above everything
        {{5000, 200, 500}, {5000, 0, 500}, 0.0f}, // beside the quads
        {{500, 0, 500}, {500, 200, 500}, 0.0f},   // from below: the backs do not count
    };
    for (const Case& c : cases) {
        LgCollisionPrimitive l = line(c.start, c.end);
        float f = -1.0f;
        EXPECT_EQ(landscape->LineHitFraction(&l, &f), OM_S_OK);
        EXPECT_NEAR(f, c.fraction, 1e-5f) << c.start.y << " to " << c.end.y;
        EXPECT_EQ(l.type, LgCollisionLine);
    }
}

TEST_F(LandscapeTest, LineHitPointTakesTheLastCrossingOfTheWalk) {
    write_map("two", "[appearance]\nbsp = two\n", "two", quads_world({50.0f, 150.0f}));
    ASSERT_EQ(landscape->LoadMap("two"), OM_S_OK);
    LgCollisionPrimitive l = line({500, 200, 500}, {500, 0, 500});
    l.type = LgCollisionLine;
    std::vector<float> walk;
    LgWorldForAllTriangleIntersections(
        impl()->world, &l,
        [](LgCollisionPrimitive* p, LgAtomicSector*, LgCollisionTriangle*, float d, void* data) {
            static_cast<std::vector<float>*>(data)->push_back(d);
            return p;
        },
        &walk);
    ASSERT_EQ(walk.size(), 2u);
    LgVector point = {-1, -1, -1};
    landscape->LineHitPoint(&l, &point);
    EXPECT_FLOAT_EQ(point.y, 200.0f - 200.0f * walk.back());
    EXPECT_FLOAT_EQ(point.x, 500.0f);

    LgMatrix m{};
    m.at = {0, 0, 1};
    landscape->LineHitOrient(&l, &m);
    EXPECT_FLOAT_EQ(m.pos.y, point.y);
    EXPECT_NEAR(m.up.y, 1.0f, 1e-5f);
    EXPECT_NEAR(m.right.x, 1.0f, 1e-5f);
    EXPECT_NEAR(m.at.z, 1.0f, 1e-5f);

    // A miss leaves the outputs as the caller set them.
    LgCollisionPrimitive miss = line({500, 400, 500}, {500, 300, 500});
    point = {-1, -2, -3};
    landscape->LineHitPoint(&miss, &point);
    EXPECT_EQ(point.y, -2.0f);
    LgMatrix untouched{};
    untouched.pos = {4, 5, 6};
    landscape->LineHitOrient(&miss, &untouched);
    EXPECT_EQ(untouched.pos.y, 5.0f);
}

TEST_F(LandscapeTest, HeightAboveGroundOverTheFlatQuad) {
    ASSERT_EQ(load_flat(), OM_S_OK);
    const LgVector above = {500, 180, 500};
    float h = -1.0f;
    EXPECT_EQ(landscape->HeightAboveGround(&above, &h), OM_S_OK);
    EXPECT_NEAR(h, 30.0f, 1e-3f);
    const LgVector beside = {5000, 180, 500};
    landscape->HeightAboveGround(&beside, &h);
    EXPECT_EQ(h, 0.0f);
}

TEST_F(LandscapeTest, QueriesWithoutAWorldReportNothing) {
    LgCollisionPrimitive l = line({500, 200, 500}, {500, 0, 500});
    float f = -1.0f;
    landscape->LineHitFraction(&l, &f);
    EXPECT_EQ(f, 0.0f);
    LgVector point = {7, 7, 7};
    landscape->LineHitPoint(&l, &point);
    EXPECT_EQ(point.y, 7.0f);
    const LgVector above = {500, 180, 500};
    float h = -1.0f;
    landscape->HeightAboveGround(&above, &h);
    EXPECT_EQ(h, 0.0f);
}
