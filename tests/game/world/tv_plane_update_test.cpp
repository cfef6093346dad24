// The rest of a plane's frame: damage smoke (light and crashing), the boost trail, the
// propellers, ground clearance ahead, the world's ceiling and the engine sound.
#include "tests/game/world/plane_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using planetest::kGround;
using planetest::kStep;
using planetest::placed;
using planetest::PlaneTest;

TEST_F(PlaneTest, DamageSmokeFollowsTheDamageAndTheCrash) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->throttle = plane->previous_throttle = 1.0f;
    plane->speed = 100.0f;
    plane->damage = 2.0f; // rate = damage x 5 / endurance = 1 puff a second
    for (int i = 0; i < 59; ++i) plane->Update();
    EXPECT_TRUE(particles->drifts.empty());
    for (int i = 0; i < 3; ++i) plane->Update();
    ASSERT_EQ(particles->drifts.size(), 1u);
    const TvDriftParticle& light = particles->drifts[0];
    EXPECT_EQ(light.head.size, 2.0f);
    EXPECT_EQ(light.growth, 3.0f);
    EXPECT_FLOAT_EQ(light.red, 0.9f);
    EXPECT_FLOAT_EQ(light.alpha, 0.05f);
    EXPECT_FLOAT_EQ(light.alpha_rate, -0.15f);
    EXPECT_EQ(light.velocity.y, 15.0f);
    EXPECT_LE(std::fabs(light.velocity.x), 5.0f);
    EXPECT_EQ(plane->smoke_timer, 0.0f);

    // Crashing smokes hard: gain x 150 puffs a second, dark and rising fast.
    particles->drifts.clear();
    plane->state = kTvPlaneCrashing;
    plane->Update();
    plane->Update();
    ASSERT_EQ(particles->drifts.size(), 1u);
    const TvDriftParticle& dark = particles->drifts[0];
    EXPECT_EQ(dark.head.size, 4.0f);
    EXPECT_EQ(dark.velocity.y, 30.0f);
    EXPECT_LE(dark.green, dark.red);
    EXPECT_GE(dark.red, 0.3f);
    EXPECT_EQ(dark.alpha_rate, -0.2f);

    // The smoke level falls by 3.5 a second, not below 0.
    plane->smoke_level = 0.01f;
    plane->Update();
    EXPECT_EQ(plane->smoke_level, 0.0f);
}

TEST_F(PlaneTest, AnyDamageSmokesAtMostSixteenPuffsAFrameOfAtMostFullAlpha) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->speed = 100.0f;
    for (float damage : {1e6f, 1e36f, 3e38f}) {
        particles->drifts.clear();
        plane->smoke_timer = 0.0f;
        plane->damage = damage;
        plane->Update();
        plane->Update();
        EXPECT_GE(particles->drifts.size(), 1u) << damage;
        EXPECT_LE(particles->drifts.size(), 16u) << damage;
        for (const TvDriftParticle& d : particles->drifts) EXPECT_LE(d.alpha, 1.0f) << damage;
    }
}

TEST_F(PlaneTest, TheBoostLeavesATrailBehindThePlane) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->speed = 100.0f;
    plane->boost_active = 1;
    plane->boost_time = 5.0f;
    plane->Update();
    ASSERT_EQ(particles->flashes.size(), 40u);
    const LgVector& at = plane->model_matrix->at;
    const LgVector& pos = plane->matrix->pos;
    const TvFlashParticle& first = particles->flashes[0];
    EXPECT_NEAR(first.head.position.z,
                pos.z + 0.05f * 2.0f * plane->model_matrix->up.z - 5.0f * at.z, 1e-3f);
    EXPECT_NEAR(particles->flashes[1].head.position.z, first.head.position.z - 0.5f * at.z, 1e-3f);
    EXPECT_FLOAT_EQ(first.head.size, 2.5f);
    EXPECT_FLOAT_EQ(particles->flashes[30].head.size, 2.5f - 30 * 2.5f / 60.0f);
    EXPECT_EQ(first.head.colour.blue, 200);
    EXPECT_EQ(first.head.colour.alpha, 255);
    EXPECT_FLOAT_EQ(first.life, 1.5f * kStep);
    EXPECT_NEAR(plane->boost_time, 5.0f - kStep, 1e-6f);
    EXPECT_GT(plane->speed, 100.0f) << "three times the target while boosting";
}

TEST_F(PlaneTest, PropellersSpinWithTheThrottle) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    LgFrame* propeller = LgFrameCreate();
    LgFrameAddChild(plane->model_frame, propeller);
    plane->state = kTvPlaneFlying;
    plane->throttle = plane->previous_throttle = 0.5f;
    plane->speed = 80.0f;
    plane->Update();
    const float angle = kStep * 0.5f * 2040.0f * 3.14159265f / 180.0f;
    const LgMatrix* spun = LgFrameGetMatrix(propeller);
    EXPECT_NEAR(spun->right.x, std::cos(angle), 1e-4f);
    EXPECT_NEAR(spun->right.y, std::sin(angle), 1e-4f);
    EXPECT_NEAR(spun->at.z, 1.0f, 1e-6f) << "about its own z axis";
    LgFrameDestroy(propeller);
}

TEST_F(PlaneTest, ClearanceAheadAndTheWorldsCeiling) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->throttle = plane->previous_throttle = 1.0f;
    plane->speed = 80.0f;
    plane->Update();
    EXPECT_NEAR(plane->ground_clearance, 600.0f - kGround, 1e-2f);
    EXPECT_NEAR(plane->altitude, 600.0f - kGround, 1e-3f);

    // Nothing climbs out of the top of the world.
    const float c = std::sqrt(0.5f);
    TavrinPlane* climber = make_plane(0, placed({400, 1149, 400}, {0, c, c}, {0, c, -c}));
    climber->state = kTvPlaneFlying;
    climber->throttle = climber->previous_throttle = 1.0f;
    climber->speed = 100.0f;
    climber->Update();
    EXPECT_EQ(climber->matrix->pos.y, 1150.0f);
}

TEST_F(PlaneTest, TheEngineSoundRunsUntilTheCrash) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    ISound* engine = TvGetSoundObject("Eng");
    plane->SetProperty(kTvPlanePropEngineSoundObject, reinterpret_cast<uintptr_t>(engine));
    plane->state = kTvPlaneFlying;
    plane->speed = 80.0f;
    plane->Update();
    landscapetest::FakeSound* sound = landscapetest::fake(engine);
    EXPECT_EQ(sound->plays, 1);
    EXPECT_EQ(sound->looping, 1);
    EXPECT_EQ(sound->volume, 1.0f);
    plane->SetProperty(kTvPlanePropState, kTvPlaneCrashed);
    const int32_t stops = sound->stops;
    EXPECT_GE(stops, 1);
    plane->Update();
    EXPECT_EQ(sound->plays, 1);
    EXPECT_GT(sound->stops, stops);
    plane->Destroy();
    EXPECT_EQ(sound->releases, 1);
    EXPECT_EQ(plane->engine_sound, nullptr);
}
