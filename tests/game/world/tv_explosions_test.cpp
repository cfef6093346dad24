// Explosions and smoke columns over the real landscape (flat map at y 150) and an engine
// camera: budgets and weights, pools and their reuse, life on the ground and in the air, the
// puff chain, the sprite shape and cap, the shared generator restored after each column, and
// seeded golden sprite lists.
#include "engine/world/lg_random.h"
#include "game/world/tv_explosions.h"
#include "tests/game/world/landscape_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

using landscapetest::ViewCamera;

int32_t count_live(const TvSmokeColumn* k) {
    int32_t n = 0;
    for (; k; k = k->link) ++n;
    return n;
}
int32_t count_live(const TvExplosion* e) {
    int32_t n = 0;
    for (; e; e = e->link) ++n;
    return n;
}

// FNV-1a over the frame's sprite vertices and blends.
uint64_t sprite_hash() {
    uint64_t h = 1469598103934665603ull;
    auto mix = [&](const void* data, size_t size) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 1099511628211ull;
    };
    const int32_t n = TvExplosionSpriteVertexCount();
    mix(TvExplosionSpriteVertices(), sizeof(LgIm3DVertex) * size_t(n));
    mix(TvExplosionSpriteBlends(), sizeof(TvBlendPair) * size_t(n));
    return h;
}

// Switches the random-number plug-in on for the engine of the fixture built after it.
struct RandomNumbersOn {
    RandomNumbersOn() { gametest::attach_random() = true; }
    ~RandomNumbersOn() { gametest::attach_random() = false; }
};

class ExplosionTest : private RandomNumbersOn, public landscapetest::LandscapeTest {
protected:
    void SetUp() override {
        LandscapeTest::SetUp();
        ASSERT_EQ(load_flat(), OM_S_OK); // ground at y 150 over x, z in [150, 1150]
        LgRandomSeed(7);
    }
    void TearDown() override {
        TvReleaseExplosions();
        LandscapeTest::TearDown();
    }
    void init(int32_t detail = 1000) { ASSERT_EQ(TvInitExplosions(detail, landscape), OM_S_OK); }
    // A camera at the position looking along +z.
    ViewCamera camera{{500, 200, 0}, {0, 0, 1}};
};

TEST_F(ExplosionTest, InitReadsTheSmokeTextureAndEmptiesThePools) {
    init(1000);
    EXPECT_FLOAT_EQ(TvExplosionSmokeBudget(), 400.0f);
    ASSERT_FALSE(landscapetest::texture_reads().empty());
    const landscapetest::TextureRead& read = landscapetest::texture_reads().back();
    EXPECT_EQ(read.name, "smoke.bmp");
    EXPECT_EQ(read.path, ".\\objects\\particles\\");
    EXPECT_STREQ(LgImageGetPath(), "start\\");
    ASSERT_NE(TvExplosionSmokeTexture(), nullptr);

    const LgVector p{500, 150, 500};
    TvSpawnSmokeColumn(&p, 1.0f, 0);
    TvStartExplosion(&p, 1.0f, 0);
    init(250); // a restart: both pools empty, the budget new
    EXPECT_FLOAT_EQ(TvExplosionSmokeBudget(), 100.0f);
    EXPECT_EQ(TvLiveSmokeColumns(), nullptr);
    EXPECT_EQ(TvLiveExplosions(), nullptr);
}

TEST_F(ExplosionTest, ColumnStartsWithItsShapeAndOneCloseColumnGetsItsCappedShare) {
    init(1000);
    const LgVector p{500, 150, 20};
    ASSERT_EQ(TvSpawnSmokeColumn(&p, 1.0f, 0), OM_S_OK);
    const TvSmokeColumn* k = TvLiveSmokeColumns();
    ASSERT_NE(k, nullptr);
    EXPECT_GE(k->height, 120.0f);
    EXPECT_LE(k->height, 247.0f);
    EXPECT_FLOAT_EQ(k->rise_time, 0.05f * k->height);
    EXPECT_FLOAT_EQ(k->clock, -k->rise_time);
    EXPECT_EQ(k->count, 25);
    EXPECT_FLOAT_EQ(k->alpha, 0.7f);
    EXPECT_EQ(TvSpawnSmokeColumn(&p, 0.0f, 0), OM_E_FAIL);
    EXPECT_EQ(TvLiveSmokeColumns(), k);
    EXPECT_EQ(k->link, nullptr);

    TvUpdateExplosions(camera.camera, 0.1f);
    const float far = 5000.0f;
    const float distance = std::sqrt(50.0f * 50.0f + 20.0f * 20.0f);
    const float weight = (far - distance) * 25.0f * 2.0f / far;
    EXPECT_FLOAT_EQ(k->weight, weight);
    // Alone, its share is capped at 1.5 x its weight.
    EXPECT_EQ(TvExplosionSpriteVertexCount(), 3 * int32_t(1.5f * weight));
    EXPECT_FLOAT_EQ(k->clock, -k->rise_time + 0.1f);

    // Sprite shape: one triangle over p +- R +- U with the texture's unit square.
    const LgMatrix* view = LgFrameGetMatrix(camera.frame);
    const LgIm3DVertex* v = TvExplosionSpriteVertices();
    for (int32_t i = 0; i < TvExplosionSpriteVertexCount(); i += 3) {
        const LgVector four_r{v[i + 2].position.x - v[i].position.x,
                              v[i + 2].position.y - v[i].position.y,
                              v[i + 2].position.z - v[i].position.z};
        const float s = LgVectorDotProduct(&four_r, &view->right) / 4.0f;
        EXPECT_NEAR(v[i + 1].position.y - v[i + 2].position.y, 4.0f * s * view->up.y, 1e-3f);
        EXPECT_EQ(v[i].u, -1.0f);
        EXPECT_EQ(v[i].v, 1.0f);
        EXPECT_EQ(v[i + 1].u, 1.0f);
        EXPECT_EQ(v[i + 1].v, -1.0f);
        EXPECT_EQ(v[i + 2].u, 1.0f);
        EXPECT_EQ(v[i + 2].v, 1.0f);
        EXPECT_EQ(TvExplosionSpriteBlends()[i].destination, kTvBlendInverseSourceAlpha);
    }
}

TEST_F(ExplosionTest, TwentyCloseColumnsShareTheBudgetAndDetailZeroStopsThem) {
    init(1000);
    for (int i = 0; i < 20; ++i) {
        const LgVector p{500, 150, 10.0f + 0.01f * float(i)};
        TvSpawnSmokeColumn(&p, 1.0f, 0);
    }
    TvUpdateExplosions(camera.camera, 0.05f);
    float total = 0.0f;
    int32_t expected = 0;
    for (const TvSmokeColumn* k = TvLiveSmokeColumns(); k; k = k->link) total += k->weight;
    EXPECT_NEAR(total, 1000.0f, 15.0f); // 50 units away: each weight just under 50
    const float ratio = 400.0f / total;
    for (const TvSmokeColumn* k = TvLiveSmokeColumns(); k; k = k->link) {
        expected += int32_t(ratio * k->weight);
        EXPECT_NEAR(ratio * k->weight, 20.0f, 0.1f);
    }
    EXPECT_EQ(TvExplosionSpriteVertexCount(), 3 * expected);

    init(0);
    const LgVector p{500, 150, 10};
    TvSpawnSmokeColumn(&p, 1.0f, 0);
    const float clock = TvLiveSmokeColumns()->clock;
    TvUpdateExplosions(camera.camera, 0.5f);
    EXPECT_EQ(TvExplosionSpriteVertexCount(), 0);
    EXPECT_EQ(TvLiveSmokeColumns()->clock, clock);
}

TEST_F(ExplosionTest, ColumnLookedAwayFromKeepsItsClock) {
    init(1000);
    const LgVector p{500, 150, 100};
    TvSpawnSmokeColumn(&p, 1.0f, 0);
    TvUpdateExplosions(camera.camera, 0.25f);
    const float clock = TvLiveSmokeColumns()->clock;
    camera.place({500, 200, 0}, {0, 0, -1});
    TvUpdateExplosions(camera.camera, 0.25f);
    EXPECT_EQ(TvLiveSmokeColumns()->clock, clock);
    EXPECT_EQ(TvLiveSmokeColumns()->weight, -1.0f);
    camera.place({500, 200, 0}, {0, 0, 1});
    TvUpdateExplosions(camera.camera, 0.25f);
    EXPECT_FLOAT_EQ(TvLiveSmokeColumns()->clock, clock + 0.25f);
}

TEST_F(ExplosionTest, FullPoolsRestartARecordInPlace) {
    init(1000);
    for (int i = 0; i < kTvSmokeColumnCount; ++i) {
        const LgVector p{float(i), 150, 500};
        TvSpawnSmokeColumn(&p, 1.0f, 0);
    }
    std::vector<const TvSmokeColumn*> before;
    for (const TvSmokeColumn* k = TvLiveSmokeColumns(); k; k = k->link) before.push_back(k);
    ASSERT_EQ(before.size(), 50u);
    const LgVector fresh{9999, 150, 500};
    TvSpawnSmokeColumn(&fresh, 1.0f, 0);
    std::vector<const TvSmokeColumn*> after;
    int restarted = 0;
    for (const TvSmokeColumn* k = TvLiveSmokeColumns(); k; k = k->link) {
        after.push_back(k);
        restarted += k->source.x == 9999.0f;
    }
    EXPECT_EQ(after, before); // same records, same order
    EXPECT_EQ(restarted, 1);

    for (int i = 0; i < kTvExplosionCount; ++i) {
        const LgVector p{float(i), 150, 500};
        TvStartExplosion(&p, 1.0f, 0);
    }
    EXPECT_EQ(count_live(TvLiveExplosions()), 40);
    TvStartExplosion(&fresh, 1.5f, 0);
    EXPECT_EQ(count_live(TvLiveExplosions()), 40);
    int found = 0;
    for (const TvExplosion* e = TvLiveExplosions(); e; e = e->link)
        if (e->position.x == 9999.0f) {
            ++found;
            EXPECT_EQ(e->age, 0.0f);
            EXPECT_EQ(e->size, 1.5f);
        }
    EXPECT_EQ(found, 1);
}

TEST_F(ExplosionTest, SizeIsClampedAndLifeDependsOnTheGround) {
    init(1000);
    struct Case {
        float y, size, expected_size, expected_life;
    };
    const Case cases[] = {{150, 0.5f, 1.0f, 7.0f},
                          {150, 3.0f, 2.0f, 9.0f},
                          {170, 1.5f, 1.5f, 8.0f}, // 20 above the ground: still on it
                          {180, 1.0f, 1.0f, 2.0f}, // 30 above: in the air
                          {400, 2.0f, 2.0f, 2.0f}};
    for (const Case& c : cases) {
        const LgVector p{500, c.y, 500};
        ASSERT_EQ(TvStartExplosion(&p, c.size, 0), OM_S_OK);
        const TvExplosion* e = TvLiveExplosions();
        EXPECT_EQ(e->size, c.expected_size) << c.y;
        EXPECT_EQ(e->life, c.expected_life) << c.y;
        EXPECT_EQ(e->age, 0.0f);
    }
}

TEST_F(ExplosionTest, OnlyASizeTwoExplosionAddsPuffsAndTheFirstPuffFollowsItsCurve) {
    init(1000);
    const LgVector small{500, 150, 300};
    TvStartExplosion(&small, 1.0f, 0);
    const TvExplosion* e = TvLiveExplosions();
    // The first puff, frame by frame: size 140 t (40 at most, then slow), alpha 5 t.
    // The puff is born at the first step (age 0.05), so it is one frame younger.
    TvUpdateExplosions(camera.camera, 0.05f);
    for (int frame = 1; frame <= 5; ++frame) {
        TvUpdateExplosions(camera.camera, 0.05f);
        const float t = e->age - e->puffs[0].birth;
        ASSERT_EQ(e->seen, 1u);
        EXPECT_EQ(e->puffs[0].alive, 1u);
        int puffs = 0;
        for (int i = 1; i < kTvExplosionPuffCount; ++i) puffs += e->puffs[i].alive;
        EXPECT_EQ(puffs, 0); // chain duration 2 x 1 - 2 = 0
        // The last sprite is the first puff (additive), after the seven jets.
        const int32_t n = TvExplosionSpriteVertexCount();
        ASSERT_GE(n, 3);
        const LgIm3DVertex* last = TvExplosionSpriteVertices() + n - 3;
        EXPECT_EQ(TvExplosionSpriteBlends()[n - 1].destination, kTvBlendOne);
        const float size = std::min(140.0f * t, 40.0f);
        EXPECT_NEAR(last[2].position.x - last[0].position.x, 4.0f * size, 1e-2f);
        EXPECT_EQ(last[0].color.red, 255);
        EXPECT_EQ(last[0].color.green, 105);
        EXPECT_EQ(last[0].color.blue, 26);
        EXPECT_EQ(last[0].color.alpha, uint8_t(std::min(5.0f * t, 1.0f) * 255.0f + 0.5f));
        // At the anchor, 30 above the explosion.
        EXPECT_NEAR(last[2].position.y - (-1.0f * size), small.y + 30.0f, 1e-2f);
    }

    init(1000);
    const LgVector big{500, 150, 300};
    TvStartExplosion(&big, 2.0f, 0);
    e = TvLiveExplosions();
    for (int frame = 0; frame < 20; ++frame) TvUpdateExplosions(camera.camera, 0.05f);
    int puffs = 0;
    for (int i = 1; i < kTvExplosionPuffCount; ++i) puffs += e->puffs[i].growth > 0.0f;
    EXPECT_GT(puffs, 1);
    EXPECT_LE(e->puff_slots, 30);
    EXPECT_GE(e->puff_slots, 5);
}

TEST_F(ExplosionTest, ExpiredExplosionGoesWithoutALastStepAndTheNextIsStillStepped) {
    init(1000);
    const LgVector a{200, 400, 300};  // in the air: life 2
    const LgVector b{1000, 150, 300}; // on the ground: life 7
    TvStartExplosion(&b, 1.0f, 0);
    TvStartExplosion(&a, 1.0f, 0); // the list is a, then b
    TvUpdateExplosions(camera.camera, 1.9f);
    ASSERT_EQ(count_live(TvLiveExplosions()), 2);
    const TvExplosion* second = TvLiveExplosions()->link;
    TvUpdateExplosions(camera.camera, 0.2f); // a passes its life
    ASSERT_EQ(count_live(TvLiveExplosions()), 1);
    EXPECT_EQ(TvLiveExplosions(), second);
    EXPECT_FLOAT_EQ(second->age, 2.1f);
    // Only b's sprites: the jets (faded by now) and its puffs. None lie near a.
    for (int32_t i = 0; i < TvExplosionSpriteVertexCount(); ++i)
        EXPECT_GT(TvExplosionSpriteVertices()[i].position.x, 500.0f);
    EXPECT_GT(TvExplosionSpriteVertexCount(), 0);
}

TEST_F(ExplosionTest, SpriteListStopsAtAThousandSprites) {
    init(1000000);
    const LgVector p{500, 150, 20};
    TvSpawnSmokeColumn(&p, 1.0f, 0); // budget 1.5 x 50: 74 sprites
    TvUpdateExplosions(camera.camera, 0.01f);
    const int32_t one = TvExplosionSpriteVertexCount() / 3;
    ASSERT_GT(one, 0);
    init(1000000);
    for (int i = 0; i < 14; ++i) TvSpawnSmokeColumn(&p, 1.0f, 0); // 14 x 74 > 1000
    TvUpdateExplosions(camera.camera, 0.01f);
    EXPECT_EQ(TvExplosionSpriteVertexCount(), kTvSpriteVertexCapacity);
}

TEST_F(ExplosionTest, ALargeBudgetEmitsEachPlaceOnceAndTheGeneratorGoesOnFresh) {
    const LgVector p{500, 150, 20};
    init(1000000); // count 2500: a budget far above the 1023 places
    TvSpawnSmokeColumn(&p, 100.0f, 0);
    LgRandomSeed(99);
    const uint32_t first = LgRandom();
    LgRandomSeed(first);
    const uint32_t expected_next = LgRandom();
    LgRandomSeed(99);
    TvUpdateExplosions(camera.camera, 0.01f);
    EXPECT_EQ(LgRandom(), expected_next);
    // The list holds the first 1000 of the 1023 places: no place twice (each has its own
    // height along the column, and so its own sprite size).
    ASSERT_EQ(TvExplosionSpriteVertexCount(), kTvSpriteVertexCapacity);
    std::vector<float> sizes;
    const LgIm3DVertex* v = TvExplosionSpriteVertices();
    for (int32_t i = 0; i < kTvSpriteVertexCapacity; i += 3)
        sizes.push_back(v[i + 2].position.x - v[i].position.x);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(std::adjacent_find(sizes.begin(), sizes.end()), sizes.end());
}

TEST_F(ExplosionTest, SeededFramesGiveTheGoldenSpriteLists) {
    init(1000);
    LgRandomSeed(12345);
    const LgVector column{480, 150, 200};
    const LgVector blast{520, 150, 260};
    TvSpawnSmokeColumn(&column, 1.0f, 0);
    TvStartExplosion(&blast, 2.0f, 0);
    std::vector<uint64_t> hashes;
    std::vector<int32_t> counts;
    for (int frame = 0; frame < 4; ++frame) {
        TvUpdateExplosions(camera.camera, 0.1f);
        hashes.push_back(sprite_hash());
        counts.push_back(TvExplosionSpriteVertexCount());
    }
    // Recorded from this implementation; the hand-checked parts are the tests above.
    const std::vector<int32_t> golden_counts = {318, 258, 240, 222};
    const std::vector<uint64_t> golden_hashes = {8314442756542887651ull, 6068936919160909333ull,
                                                 13935602951931688070ull, 16613508973763912470ull};
    EXPECT_EQ(counts, golden_counts);
    EXPECT_EQ(hashes, golden_hashes);
    // The same seed gives the same lists again.
    init(1000);
    LgRandomSeed(12345);
    TvSpawnSmokeColumn(&column, 1.0f, 0);
    TvStartExplosion(&blast, 2.0f, 0);
    for (int frame = 0; frame < 4; ++frame) {
        TvUpdateExplosions(camera.camera, 0.1f);
        EXPECT_EQ(sprite_hash(), hashes[size_t(frame)]);
    }
}

TEST_F(ExplosionTest, RenderSetsTheStatesAndDrawsBothBatches) {
    init(1000);
    const LgVector p{500, 150, 300};
    TvSpawnSmokeColumn(&p, 1.0f, 0);
    TvStartExplosion(&p, 1.0f, 0);
    TvUpdateExplosions(camera.camera, 0.1f);
    ASSERT_TRUE(camera.begin());
    TvRenderExplosions(camera.camera);
    auto state = [](int32_t s) {
        void* value = nullptr;
        LgRenderStateGet(s, &value);
        return reinterpret_cast<uintptr_t>(value);
    };
    EXPECT_EQ(state(9), 5u);
    EXPECT_EQ(state(10), 6u);
    EXPECT_EQ(state(1), reinterpret_cast<uintptr_t>(LgTextureGetRaster(TvExplosionSmokeTexture())));
    camera.end();
}

} // namespace
