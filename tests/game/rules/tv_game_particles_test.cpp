// The game's particle kinds: the eight kinds defined with their capacities, and the five
// update routines: fade, flash, drift, trail emitter and fire emitter.
#include "framework/core/object_manager.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using gametest::GameEngineTest;
using gametest::GameProbe;
using gametest::GameTest;
using gametest::TestSettings;

namespace {

// Particles that keep what the routines emit.
class EmitLog final : public OmObject<EmitLog, IOmLgParticles> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IOmLgParticles, this}});
    }
    OmResult Init() override { return OM_S_OK; }
    OmResult RemoveAllTypes() override { return OM_S_OK; }
    OmResult AddType(int32_t, const OmParticleType*, int32_t) override { return OM_S_OK; }
    OmResult Update() override { return OM_S_OK; }
    OmResult Render(LgCamera*) override { return OM_S_OK; }
    OmResult SetLimit(int32_t, int32_t) override { return OM_S_OK; }
    OmResult Emit(int32_t id, const void* record) override {
        kinds.push_back(id);
        drifts.push_back(*static_cast<const TvDriftParticle*>(record));
        return OM_S_OK;
    }
    OmResult Clear() override { return OM_S_OK; }
    std::vector<int32_t> kinds;
    std::vector<TvDriftParticle> drifts;
};

class RoutineTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        emitted = new EmitLog;
        game->particles_ = emitted; // the game's reference; Destroy releases it
    }
    void step(float dt) { game->frame_time_ = dt; }
    EmitLog* emitted = nullptr;
};

TEST_F(RoutineTest, FadeSetsAlphaFromTheLifeLeftAndSaturates) {
    struct Case {
        float life, rate, dt;
        int32_t result;
        uint8_t alpha;
    };
    const Case cases[] = {
        {0.6f, 512.0f, 0.1f, OM_S_OK, 255}, // 0.5 x 512 = 256 stays 255
        {0.3f, 100.0f, 0.1f, OM_S_OK, 20},
        {0.05f, 100.0f, 0.1f, OM_E_FAIL, 7},
    };
    for (const Case& c : cases) {
        TvFadeParticle p{};
        p.life = c.life;
        p.alpha_rate = c.rate;
        p.head.colour.alpha = 7;
        step(c.dt);
        EXPECT_EQ(TvParticleFade(game, &p.head), c.result) << c.life;
        EXPECT_EQ(p.head.colour.alpha, c.alpha) << c.life;
    }
}

TEST_F(RoutineTest, FlashEndsWhenItsLifeIsSpent) {
    TvFlashParticle p{};
    p.life = 0.15f;
    p.head.colour.alpha = 200;
    step(0.1f);
    EXPECT_EQ(TvParticleFlash(game, &p.head), OM_S_OK);
    EXPECT_EQ(p.head.colour.alpha, 200);
    EXPECT_EQ(TvParticleFlash(game, &p.head), OM_E_FAIL);
    EXPECT_EQ(p.head.colour.alpha, 0);
}

TEST_F(RoutineTest, DriftMovesGrowsFadesAndEndsBelowZeroAlpha) {
    TvDriftParticle p{};
    p.head.size = 1.0f;
    p.growth = 2.0f;
    p.velocity = {10, 0, -10};
    p.red = 0.9f;
    p.red_rate = 5.0f; // clamped at 1
    p.green = 0.5f;
    p.alpha = 0.15f;
    p.alpha_rate = -1.0f;
    step(0.1f);
    EXPECT_EQ(TvParticleDrift(game, &p.head), OM_S_OK);
    EXPECT_FLOAT_EQ(p.head.size, 1.2f);
    EXPECT_FLOAT_EQ(p.head.position.x, 1.0f);
    EXPECT_EQ(p.red, 1.0f);
    EXPECT_EQ(p.head.colour.red, 255);
    EXPECT_EQ(p.head.colour.green, 128);
    EXPECT_EQ(p.head.colour.alpha, 13); // 0.05 x 255 + 0.5
    EXPECT_EQ(TvParticleDrift(game, &p.head), OM_E_FAIL);
}

TEST_F(RoutineTest, ATrailEmitterBelowOneHundredEndsBeforeEmitting) {
    TvDriftParticle templ{};
    templ.alpha = 1.0f;
    TvTrailEmitterParticle p{};
    p.templ = &templ;
    p.rate = 100.0f;
    p.head.position = {0, 100.5f, 0};
    p.velocity = {0, -1.0f, 0};
    step(0.1f);
    EXPECT_EQ(TvParticleTrailEmitter(game, &p.head), OM_E_FAIL);
    EXPECT_TRUE(emitted->kinds.empty());
}

TEST_F(RoutineTest, ATrailEmitterEmitsItsTemplateAtItsPositionOrSavesTheTime) {
    TvDriftParticle templ{};
    templ.growth = 3.0f;
    TvTrailEmitterParticle p{};
    p.templ = &templ;
    p.rate = 25.0f;
    p.head.position = {5, 500, 5};
    p.velocity = {1, 0, 0}; // per update, not per second
    step(0.02f);            // 0.5 emissions: the time is saved
    EXPECT_EQ(TvParticleTrailEmitter(game, &p.head), OM_S_OK);
    EXPECT_TRUE(emitted->kinds.empty());
    EXPECT_FLOAT_EQ(p.accumulated, 0.02f);
    EXPECT_FLOAT_EQ(p.head.position.x, 6.0f);
    EXPECT_FLOAT_EQ(p.velocity.y, -0.02f);
    step(0.1f); // (0.1 + 0.02) x 25 = 3 emissions
    EXPECT_EQ(TvParticleTrailEmitter(game, &p.head), OM_S_OK);
    ASSERT_EQ(emitted->kinds, (std::vector<int32_t>{8, 8, 8}));
    EXPECT_EQ(emitted->drifts[0].growth, 3.0f);
    EXPECT_FLOAT_EQ(emitted->drifts[0].head.position.x, 7.0f);
    EXPECT_EQ(p.accumulated, 0.0f);
}

TEST_F(RoutineTest, AFireEmitterFallsFadesAndEmitsFlames) {
    TvFireEmitterParticle p{};
    p.head.position = {0, 50, 0};
    p.velocity = {0, 10, 0};
    p.gravity = -20.0f;
    p.rate = 20.0f;
    p.life = 0.5f;
    step(0.1f);
    EXPECT_EQ(TvParticleFireEmitter(game, &p.head), OM_S_OK);
    EXPECT_FLOAT_EQ(p.velocity.y, 8.0f);
    EXPECT_FLOAT_EQ(p.head.position.y, 50.8f);
    EXPECT_EQ(p.head.colour.alpha, 127); // 255 x 0.5
    EXPECT_FLOAT_EQ(p.life, 0.4f);
    ASSERT_EQ(emitted->kinds, (std::vector<int32_t>{8, 8}));
    for (const TvDriftParticle& d : emitted->drifts) {
        EXPECT_EQ(d.head.flags, 0u);
        EXPECT_EQ(d.head.size, 0.5f);
        EXPECT_EQ(d.red, 1.0f);
        EXPECT_GE(d.green, 0.5f);
        EXPECT_LT(d.green, 0.7f);
        EXPECT_EQ(d.alpha_rate, -0.2f);
        EXPECT_GE(d.velocity.x, -1.5f);
        EXPECT_LT(d.velocity.x, 1.5f);
        EXPECT_FLOAT_EQ(d.head.position.x, d.velocity.x);
        EXPECT_FLOAT_EQ(d.head.position.y, 50.8f);
    }
    EXPECT_EQ(p.accumulated, 0.0f);
    p.life = 0.05f;
    EXPECT_EQ(TvParticleFireEmitter(game, &p.head), OM_E_FAIL);
}

class KindsTest : public GameEngineTest {};

TEST_F(KindsTest, TheGameDefinesItsEightKindsWithTheirCapacities) {
    ASSERT_EQ(OmLgParticles_RegisterClasses(OmGetObjectManager()), OM_S_OK);
    TestSettings s;
    auto* game = new GameProbe;
    ASSERT_EQ(game->BeginSession(&s.settings), OM_S_OK);
    LgImageSetPath("maps\\");
    ASSERT_EQ(game->SetUpParticles(), OM_S_OK);
    EXPECT_STREQ(LgImageGetPath(), "maps\\");
    const std::pair<int32_t, int32_t> kinds[] = {{1, 50},  {9, 50},  {16, 200}, {4, 300},
                                                 {5, 100}, {7, 100}, {8, 100},  {3, 50}};
    for (auto [kind, capacity] : kinds) {
        EXPECT_EQ(game->particles()->SetLimit(kind, capacity), OM_S_OK) << kind;
        EXPECT_EQ(game->particles()->SetLimit(kind, capacity + 1), OM_E_FAIL) << kind;
    }
    for (int32_t undefined : {2, 6, 10, 15})
        EXPECT_EQ(game->particles()->SetLimit(undefined, 0), OM_E_FAIL);
    TvFadeParticle hit{};
    hit.life = 0.5f;
    EXPECT_EQ(game->EmitParticles(kTvParticleHit, &hit), OM_S_OK);
    game->Destroy();
    game->Release();
}

} // namespace
