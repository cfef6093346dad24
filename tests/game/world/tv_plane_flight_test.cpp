// The flight model at 60 frames a second over a flat map: take-off from a taxi run, level
// flight, climbing and diving speeds, the stall, the ceiling of AI planes, landing, bouncing
// and crashing by sink rate, wing tips, crash on contact, the wreck on the ground, the objects
// a plane flies into, and the player's roll and pitch handling.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world_tie.h"
#include "game/world/tv_plane_internal.h"
#include "tests/game/world/plane_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using planetest::check_table;
using planetest::kGround;
using planetest::kStep;
using planetest::placed;
using planetest::PlaneTest;

namespace {

void run(ITvPlane* plane, int steps) {
    for (int i = 0; i < steps; ++i) plane->Update();
}

} // namespace

TEST_F(PlaneTest, TaxiRunAtFullThrottleTakesOffAtStep121) {
    TavrinPlane* plane = make_plane(0, placed({500, kGround + 2, 500}));
    ASSERT_EQ(plane->state, kTvPlaneTaxiing);
    plane->throttle = 1.0f; // from 0 at the first step
    for (int step = 1; step <= 120; ++step) {
        plane->Update();
        ASSERT_EQ(plane->state, kTvPlaneTaxiing) << "step " << step;
        EXPECT_FLOAT_EQ(plane->matrix->pos.y, kGround + 2) << "the wheels follow the ground";
    }
    EXPECT_NEAR(plane->speed, 60.0f, 1e-3f);
    plane->Update();
    EXPECT_EQ(plane->state, kTvPlaneFlying);
    EXPECT_NEAR(plane->speed, 60.5f, 1e-3f);
    EXPECT_GT(plane->matrix->pos.z, 500.0f + 30.0f);
}

TEST_F(PlaneTest, APlanePutDownOnItsSideTaxisUprightAlongItsHeading) {
    // Rolled 90 degrees (right row vertical), heading +x; then also nose straight up.
    const LgVector frames[][3] = {{{0, 1, 0}, {0, 0, 1}, {1, 0, 0}},
                                  {{0, 1, 0}, {1, 0, 0}, {0, 0, 1}},
                                  {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}}};
    for (const auto& rows : frames) {
        LgMatrix m = placed({500, kGround + 2, 500});
        m.right = rows[0];
        m.up = rows[1];
        m.at = rows[2];
        TavrinPlane* plane = make_plane(0, m);
        plane->state = kTvPlaneTaxiing;
        run(plane, 3);
        const LgMatrix& after = *plane->matrix;
        for (const LgVector* row : {&after.right, &after.up, &after.at}) {
            const float length = std::sqrt(row->x * row->x + row->y * row->y + row->z * row->z);
            EXPECT_NEAR(length, 1.0f, 1e-3f) << rows[2].x << rows[2].y << rows[2].z;
        }
        EXPECT_NEAR(after.right.y, 0.0f, 1e-3f);
        if (rows[2].y == 0.0f) EXPECT_GT(after.at.x * rows[2].x + after.at.z * rows[2].z, 0.9f);
    }
}

TEST_F(PlaneTest, LevelFlightAtFullThrottleReachesTheHighSpeedAndHoldsIt) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 200}));
    plane->state = kTvPlaneFlying;
    plane->throttle = plane->previous_throttle = 1.0f;
    plane->speed = 80.0f;
    run(plane, 60);
    EXPECT_NEAR(plane->speed, 95.0f, 1e-3f);
    run(plane, 20);
    EXPECT_NEAR(plane->speed, 100.0f, 1e-3f);
    // Energy has no stop at 0: it steps across it every frame.
    for (int i = 0; i < 6; ++i) {
        plane->Update();
        EXPECT_NEAR(plane->speed, i % 2 == 0 ? 100.0833f : 100.0f, 1e-3f) << i;
    }
    EXPECT_NEAR(plane->matrix->pos.y, 600.0f, 1e-3f);
    EXPECT_EQ(plane->state, kTvPlaneFlying);
}

TEST_F(PlaneTest, ClimbAndDiveSpeedsFollowTheNose) {
    TavrinPlane* climber = make_plane(0, placed({300, 300, 300}, {0, 1, 0}, {0, 0, -1}));
    climber->state = kTvPlaneFlying;
    climber->throttle = climber->previous_throttle = 1.0f;
    climber->speed = 100.0f;
    run(climber, 300);
    EXPECT_NEAR(climber->speed, 60.0f, 1e-3f);
    EXPECT_NEAR(climber->energy, -40.0f, 0.1f);

    const float c = std::sqrt(0.75f);
    TavrinPlane* diver = make_plane(0, placed({600, 1100, 300}, {0, -0.5f, c}, {0, c, 0.5f}));
    diver->state = kTvPlaneFlying;
    diver->throttle = diver->previous_throttle = 1.0f;
    diver->speed = 100.0f;
    run(diver, 399);
    EXPECT_LT(diver->speed, 200.0f);
    diver->Update();
    EXPECT_NEAR(diver->speed, 200.0f, 1e-3f);
    run(diver, 20);
    EXPECT_NEAR(diver->speed, 200.0f, 1e-3f) << "capped at the diving speed";
    EXPECT_LE(diver->energy, 100.0f + 1e-3f);
}

TEST_F(PlaneTest, BelowStallSpeedThePlaneDropsAndItsBankGrows) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->speed = 30.0f;
    plane->bank = 10.0f;
    plane->Update();
    EXPECT_EQ(plane->state, kTvPlaneStalling);
    EXPECT_NEAR(plane->matrix->pos.y, 600.0f - 25.0f * kStep, 1e-3f);
    EXPECT_NEAR(plane->bank, 10.0f * (1.0f + 2.0f * kStep), 1e-3f);

    TavrinPlane* level = make_plane(0, placed({300, 600, 500}));
    level->state = kTvPlaneFlying;
    level->speed = 30.0f;
    run(level, 10);
    EXPECT_EQ(level->bank, 0.0f) << "a level plane stays level";

    // Flying again once the speed is back.
    plane->speed = 45.0f;
    plane->throttle = plane->previous_throttle = 1.0f;
    plane->Update();
    EXPECT_EQ(plane->state, kTvPlaneFlying);
}

TEST_F(PlaneTest, AnAIPlaneFarAboveItsCeilingFliesSlowAndAPlayerIsNotHeld) {
    TvFlightTable table = check_table();
    table.ceiling = 100.0f;
    // Level, and with the nose 0.57 degrees down (its energy then dips below 0 in the step).
    struct Nose {
        LgVector at, up;
    };
    for (const Nose n :
         {Nose{{0, 0, 1}, {0, 1, 0}}, Nose{{0, -0.01f, 0.99995f}, {0, 0.99995f, 0.01f}}}) {
        SCOPED_TRACE(n.at.y);
        TavrinPlane* ai = make_plane(0, placed({500, 1100, 500}, n.at, n.up), table);
        TavrinPlane* player =
            make_plane(kTvFlagPlayerPlane, placed({300, 1100, 500}, n.at, n.up), table);
        for (TavrinPlane* plane : {ai, player}) {
            plane->state = kTvPlaneFlying;
            plane->throttle = plane->previous_throttle = 1.0f;
            plane->speed = 80.0f;
            plane->energy = 0.0f;
            plane->Update();
        }
        // 950 above the ground, 850 above the ceiling: no target speed left, not full speed.
        EXPECT_LT(ai->speed, 1.0f);
        EXPECT_GE(ai->speed, 0.0f);
        EXPECT_NEAR(player->speed, 80.25f, 1e-3f);
    }
}

TEST_F(PlaneTest, ZeroFrameTimeLeavesThePlaneUnmoved) {
    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->speed = 80.0f;
    game->frame_time_ = 0.0f;
    plane->Update();
    EXPECT_EQ(plane->matrix->pos.z, 500.0f);
    EXPECT_EQ(plane->speed, 80.0f);
}

// Landing by sink rate: the wheels pass the ground between the previous and this frame.
struct Touchdown {
    float sink_rate;
    float speed;
    int32_t state_before;
    int32_t crash_on_contact;
    int32_t state_after;
};

TEST_F(PlaneTest, LandingBySinkRate) {
    const Touchdown cases[] = {
        {-4.0f, 50.0f, kTvPlaneFlying, 0, kTvPlaneTaxiing},
        {-10.0f, 50.0f, kTvPlaneFlying, 0, kTvPlaneFlying}, // bounces
        {-31.0f, 50.0f, kTvPlaneFlying, 0, kTvPlaneCrashed},
        {-4.0f, 90.0f, kTvPlaneFlying, 0, kTvPlaneCrashed}, // faster than cruise
        {-4.0f, 50.0f, kTvPlaneCrashing, 0, kTvPlaneCrashed},
        {-4.0f, 50.0f, kTvPlaneFlying, 1, kTvPlaneCrashed},
        {-10.0f, 50.0f, kTvPlaneFlying, 1, kTvPlaneCrashed},
        {-4.0f, 50.0f, kTvPlaneStalling, 0, kTvPlaneStalling}, // lands in place
    };
    float x = 300.0f; // the map's square runs from 150 to 1150 in x and z
    for (const Touchdown& t : cases) {
        SCOPED_TRACE(testing::Message() << t.sink_rate << " " << t.speed << " " << t.state_before);
        TavrinPlane* plane = make_plane(0, placed({x, kGround + 2.1f, 499}));
        x += 40.0f;
        plane->state = t.state_before;
        plane->speed = t.speed;
        plane->crash_on_contact = t.crash_on_contact;
        const float below = -t.sink_rate * kStep; // how far the wheels end below the ground
        LgMatrix now = *plane->matrix;
        now.pos = {plane->matrix->pos.x, kGround + 2.0f - below, 500};
        *plane->matrix = now;
        *plane->model_matrix = now;
        const size_t explosions = effects.explosions.size();
        tvplane::collide(parts(plane));
        EXPECT_EQ(plane->state, t.state_after);
        if (t.state_after == kTvPlaneCrashed) {
            EXPECT_EQ(effects.explosions.size(), explosions + 1);
            EXPECT_FLOAT_EQ(effects.explosions.back(), 10.0f * 0.01f + 1.0f);
        } else if (t.sink_rate == -4.0f) {
            EXPECT_NEAR(plane->matrix->pos.y, kGround + 2.05f, 1e-3f) << "set on its wheels";
        } else {
            // The bounce mirrors the part below the ground above it and points the nose so.
            EXPECT_NEAR(plane->matrix->pos.y, kGround + 2.05f + below, 1e-3f);
            EXPECT_GT(plane->matrix->at.y, 0.0f);
        }
    }
}

TEST_F(PlaneTest, AWingTipInTheGroundDamagesAndStartsTheCrash) {
    TavrinPlane* plane = make_plane(0, placed({500, kGround + 5, 499}));
    plane->state = kTvPlaneFlying;
    plane->speed = 50.0f;
    plane->matrix->pos.z = 500.0f;
    // Banked 90 degrees: one wing tip reaches 6 below the centre, into the ground.
    plane->model_matrix->right = {0, -1, 0};
    plane->model_matrix->up = {1, 0, 0};
    tvplane::collide(parts(plane));
    EXPECT_EQ(plane->state, kTvPlaneCrashing);
    EXPECT_FLOAT_EQ(plane->damage, 1.0f);
    EXPECT_EQ(plane->IsDead(), 1);
}

TEST_F(PlaneTest, NoseIntoTheGroundCrashesWithItsEffectsAndTheWreckLiesOnTheGround) {
    TavrinPlane* plane = make_plane(0, placed({500, kGround + 3, 497}));
    plane->state = kTvPlaneFlying;
    plane->speed = 50.0f;
    plane->matrix->pos = {500, kGround + 1, 500};
    plane->matrix->at = {0, -0.8f, 0.6f};
    tvplane::collide(parts(plane));
    EXPECT_EQ(plane->state, kTvPlaneCrashed);
    EXPECT_EQ(effects.explosions.size(), 1u);
    EXPECT_EQ(effects.smoke.size(), 1u);

    // A wreck held above the ground comes down onto it once, then stays.
    plane->matrix->pos.y = 400.0f;
    plane->wreck_placed = 0;
    plane->Update();
    EXPECT_FLOAT_EQ(plane->matrix->pos.y, kGround);
    plane->matrix->pos.y = 400.0f;
    plane->Update();
    EXPECT_FLOAT_EQ(plane->matrix->pos.y, 400.0f);
}

TEST_F(PlaneTest, CrashOnContactAndCrashingWithoutGroundBelowEndCrashed) {
    TavrinPlane* taxiing = make_plane(0, placed({500, kGround + 2, 500}));
    taxiing->speed = 5.0f;
    taxiing->crash_on_contact = 1;
    tvplane::collide(parts(taxiing));
    EXPECT_EQ(taxiing->state, kTvPlaneCrashed);

    // Off the map's square there is no ground below.
    TavrinPlane* crashing = make_plane(0, placed({-50, 600, -50}));
    crashing->state = kTvPlaneCrashing;
    crashing->speed = 50.0f;
    tvplane::collide(parts(crashing));
    EXPECT_EQ(crashing->state, kTvPlaneCrashed);
    EXPECT_EQ(effects.explosions.size(), 2u);
}

TEST_F(PlaneTest, ThePlayersPlaneCrashingMarksTheFatalEventOnce) {
    const float c = std::sqrt(1.0f - 0.81f);
    TavrinPlane* plane = make_plane(
        kTvFlagPlayerPlane, placed({500, kGround + 2.1f, 500}, {0, -0.9f, c}, {0, c, 0.9f}));
    plane->state = kTvPlaneFlying;
    plane->speed = 79.0f;
    plane->Update();
    EXPECT_EQ(plane->state, kTvPlaneCrashed);
    EXPECT_EQ(plane->fatal_event, 1);
    EXPECT_EQ(plane->IsDead(), 1);
    EXPECT_EQ(effects.explosions.size(), 2u) << "the player's crash and the impact";
    EXPECT_EQ(effects.smoke.size(), 1u);
    EXPECT_FLOAT_EQ(plane->matrix->pos.y, kGround) << "the wreck lies on the ground";
    plane->fatal_event = 0;
    plane->Update();
    EXPECT_EQ(plane->fatal_event, 0) << "a wreck is not flown again";
}

TEST_F(PlaneTest, KeyboardRollLevelsItselfWhenTheKeysAreReleased) {
    TvFlightTable table = check_table();
    table.roll = 30.0f;
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}), table);
    plane->controls.roll = {kTvBindKeyboard, 'a', 'd', 1.0f, 1.0f};
    plane->state = kTvPlaneFlying;
    tvplane::apply_controls(parts(plane));
    EXPECT_NEAR(plane->bank, -1.1f * 30.0f * 7.0f * kStep, 1e-4f);

    plane->controls.roll.value = 0.0f;
    plane->bank = 1.0f;
    tvplane::apply_controls(parts(plane));
    EXPECT_NEAR(plane->bank, 1.0f - 30.0f * kStep, 1e-5f);
    plane->bank = 0.4f;
    tvplane::apply_controls(parts(plane));
    EXPECT_EQ(plane->bank, 0.0f) << "within half a degree it snaps level";
}

TEST_F(PlaneTest, PitchInputKeepsItsDirectionThroughAVerticalBank) {
    TvFlightTable table = check_table();
    table.pitch = 40.0f;
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}), table);
    plane->controls.pitch = {kTvBindKeyboard, 'w', 's', 1.0f, 1.0f};
    float change[2];
    const float noise[2] = {1e-7f, -1e-7f};
    for (int i = 0; i < 2; ++i) {
        plane->pitch_rate = 0.0f;
        plane->model_matrix->up = {-1.0f, noise[i], 0.0f};
        plane->model_matrix->right = {0.0f, 1.0f, 0.0f};
        tvplane::apply_controls(parts(plane));
        change[i] = plane->pitch_rate;
    }
    EXPECT_NE(change[0], 0.0f);
    EXPECT_EQ(change[0], change[1]);
}

TEST_F(PlaneTest, HandsOffKeyboardPitchEasesTheNoseBackToTheHorizon) {
    TvFlightTable table = check_table();
    table.pitch = 40.0f;
    const float s = std::sin(0.2f), c = std::cos(0.2f);
    for (float sign : {1.0f, -1.0f}) {
        TavrinPlane* plane =
            make_plane(kTvFlagPlayerPlane,
                       placed({500, 700, 200}, {0, sign * s, c}, {0, c, -sign * s}), table);
        plane->controls.pitch = {kTvBindKeyboard, 'w', 's', 1.0f, 0.0f};
        plane->controls.throttle = {kTvBindKeyboard, 'q', 'z', 1.0f, 0.0f};
        plane->state = kTvPlaneFlying;
        plane->throttle = plane->previous_throttle = 1.0f;
        plane->speed = 100.0f;
        const float start = plane->matrix->at.y;
        run(plane, 60);
        EXPECT_LT(std::fabs(plane->matrix->at.y), std::fabs(start)) << sign;
    }
}

TEST_F(PlaneTest, SkipControlsOnceIgnoresOneFrameOfInput) {
    TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({500, 600, 500}));
    plane->state = kTvPlaneFlying;
    plane->speed = 80.0f;
    plane->controls.throttle = {kTvBindKeyboard, 'q', 'z', 1.0f, 1.0f};
    plane->skip_controls_once = 1;
    plane->Update();
    EXPECT_EQ(plane->throttle, 0.0f);
    EXPECT_EQ(plane->skip_controls_once, 0);
    plane->Update();
    EXPECT_NEAR(plane->throttle, kStep, 1e-6f);
}

TEST_F(PlaneTest, FlyingIntoAnObjectDamagesBoth) {
    struct Case {
        uint32_t other_flags;
        float other_per_hit; // 2 x dt x own endurance x k
        float own_per_hit;
    };
    const Case cases[] = {
        {0, 2.0f * kStep * 10.0f * 15.0f, 10.0f + 1.0f}, // hard: the plane is wrecked
        {kTvFlagPlane | kTvFlagSoft, 2.0f * kStep * 10.0f * 0.2f, 2.0f * kStep * 1.0f * 0.2f},
    };
    float x = 400.0f;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.other_flags);
        gametest::TestObject other(50, 0);
        other.flags = c.other_flags;
        LgClump* box = gametest::box_model();
        LgMatrix* at = LgFrameGetMatrix(LgClumpGetFrame(box));
        at->pos = {x, 600, 505};
        LgMatrixMarkChanged(at);
        LgFrameMarkDirty(LgClumpGetFrame(box));
        LgWorldAddClump(world, box);
        LgFrameSyncAllDirty(); // ties the box to the sectors it overlaps
        TvClumpSetOwner(box, &other);

        TavrinPlane* plane = make_plane(0, placed({x, 600, 500}));
        plane->state = kTvPlaneFlying;
        plane->throttle = plane->previous_throttle = 1.0f;
        plane->speed = 100.0f;
        plane->Update();
        const float hits = other.damage / c.other_per_hit;
        EXPECT_GE(hits, 1.0f);
        EXPECT_NEAR(hits, std::round(hits), 1e-3f);
        // A plane at its endurance takes no further damage: the hard hit counts once.
        const float own = c.other_flags == 0 ? c.own_per_hit : hits * c.own_per_hit;
        EXPECT_NEAR(plane->damage, own, 1e-3f);

        LgWorldRemoveClump(world, box);
        LgClumpDestroy(box);
        x += 100.0f;
    }
}

TEST_F(PlaneTest, ATakeOffPointUnderThePlaneNeitherHarmsNorIsHarmed) {
    for (const uint32_t flags :
         {uint32_t(kTvFlagTakeoffPoint | kTvFlagSoft | 0x40u), uint32_t(kTvFlagTakeoffPoint)}) {
        SCOPED_TRACE(flags);
        gametest::TestObject marker(1, 0);
        marker.flags = flags;
        LgClump* box = gametest::box_model();
        LgMatrix* at = LgFrameGetMatrix(LgClumpGetFrame(box));
        at->pos = {800, 600, 505};
        LgMatrixMarkChanged(at);
        LgFrameMarkDirty(LgClumpGetFrame(box));
        LgWorldAddClump(world, box);
        LgFrameSyncAllDirty();
        TvClumpSetOwner(box, &marker);

        TavrinPlane* plane = make_plane(kTvFlagPlayerPlane, placed({800, 600, 500}));
        plane->state = kTvPlaneFlying;
        plane->throttle = plane->previous_throttle = 1.0f;
        plane->speed = 100.0f;
        plane->Update();
        EXPECT_EQ(plane->damage, 0.0f);
        EXPECT_EQ(marker.damage, 0.0f);
        EXPECT_EQ(plane->IsDead(), 0);

        LgWorldRemoveClump(world, box);
        LgClumpDestroy(box);
    }
}

// The contact step walks the world's objects once for all its probes and skips their walks
// when nothing is near: in random steps among random objects, whenever one of the probe
// lines (as the step draws them, the tail's also with the up axis a bounce turns) meets the
// bounding sphere of an object a probe acts on, that walk must have said so.
TEST_F(PlaneTest, TheProbesAreSkippedOnlyWhenNoneCouldMeetAnObject) {
    std::mt19937 random(20261211);
    const auto uniform = [&](float lo, float hi) {
        return std::uniform_real_distribution<float>(lo, hi)(random);
    };
    const auto direction = [&] {
        for (;;) {
            const LgVector v = {uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)};
            const float l = std::sqrt(tvplane::dot(v, v));
            if (l > 0.1f && l <= 1.0f) return tvplane::scale(v, 1.0f / l);
        }
    };
    const auto frame_at = [&](LgVector at) {
        LgVector up = direction();
        LgVector right = tvplane::cross(up, at);
        const float l = std::sqrt(tvplane::dot(right, right));
        right = tvplane::scale(right, 1.0f / l);
        up = tvplane::cross(at, right);
        LgMatrix m{};
        m.at = at;
        m.up = up;
        m.right = right;
        return m;
    };

    TavrinPlane* plane = make_plane(0, placed({500, 600, 500}));
    const int32_t self_id = plane->id;
    // Objects of every kind the probes meet or pass: plain ones, a take-off point, one owned
    // by the plane itself and one without an owner.
    std::vector<std::unique_ptr<gametest::TestObject>> owners;
    std::vector<LgClump*> boxes;
    for (int i = 0; i < 80; ++i) {
        const int32_t id = i == 0 ? self_id : 100 + i;
        auto& owner = owners.emplace_back(std::make_unique<gametest::TestObject>(id, 0));
        if (i == 1) owner->flags = kTvFlagTakeoffPoint;
        LgClump* box = gametest::box_model();
        LgMatrix* at = LgFrameGetMatrix(LgClumpGetFrame(box));
        const float size = uniform(0.2f, 2.0f);
        *at = placed({uniform(400, 600), uniform(560, 640), uniform(400, 600)});
        for (LgVector* axis : {&at->right, &at->up, &at->at}) *axis = tvplane::scale(*axis, size);
        LgMatrixMarkChanged(at);
        LgFrameMarkDirty(LgClumpGetFrame(box));
        LgWorldAddClump(world, box);
        if (i != 2) TvClumpSetOwner(box, owner.get());
        boxes.push_back(box);
    }
    LgFrameSyncAllDirty();

    struct Meeting {
        int32_t self_id;
        int found;
    };
    const auto meets = [&](LgVector from, LgVector to) {
        LgCollisionPrimitive line = tvplane::line_of(from, to);
        Meeting m{self_id, 0};
        LgWorldForAllAtomicIntersections(
            world, &line,
            [](LgCollisionPrimitive* p, LgAtomicSector*, LgAtomic* atomic, float, void* data) {
                auto* meeting = static_cast<Meeting*>(data);
                if (tvplane::probe_target(atomic, meeting->self_id)) ++meeting->found;
                return p;
            },
            &m);
        return m.found > 0;
    };

    const TvFlightTable& f = plane->flight;
    int skipped = 0, walked = 0;
    for (int i = 0; i < 3000; ++i) {
        LgMatrix before = frame_at(direction());
        before.pos = {uniform(400, 600), uniform(560, 640), uniform(400, 600)};
        LgMatrix after = frame_at(direction());
        after.pos = tvplane::add(before.pos, tvplane::scale(direction(), uniform(0, 12)));
        LgMatrix model = frame_at(direction());
        plane->previous_matrix = before;
        *plane->matrix = after;
        plane->model_matrix = i % 2 ? &model : nullptr;
        const tvplane::Plane parts = this->parts(plane);
        const bool near = tvplane::targets_near(parts, before.pos, after.pos);
        near ? ++walked : ++skipped;

        const LgVector start = before.pos, end = after.pos;
        const LgVector up = plane->model_matrix ? model.up : after.up;
        const LgVector right = plane->model_matrix ? model.right : after.right;
        const LgVector nose = tvplane::add(end, tvplane::scale(before.at, f.front_length));
        const LgVector belly = tvplane::add(nose, tvplane::scale(up, f.down_length));
        const LgVector bounced_up = tvplane::cross(direction(), after.right);
        const std::pair<LgVector, LgVector> probes[] = {
            {start, nose},
            {start, belly},
            {tvplane::sub(start, tvplane::scale(before.up, f.down_length)),
             tvplane::sub(end, tvplane::scale(after.up, f.down_length))},
            {tvplane::sub(start, tvplane::scale(before.up, f.back_length)),
             tvplane::sub(end, tvplane::scale(after.up, f.back_length))},
            {tvplane::sub(start, tvplane::scale(before.up, f.back_length)),
             tvplane::sub(end, tvplane::scale(bounced_up, f.back_length))},
            {start, tvplane::add(end, tvplane::scale(right, -f.port_length))},
            {start, tvplane::add(end, tvplane::scale(right, f.port_length))},
        };
        for (const auto& [from, to] : probes)
            if (meets(from, to)) {
                ASSERT_TRUE(near) << "case " << i;
                break;
            }
    }
    // Both answers are common among these steps.
    EXPECT_GT(skipped, 300) << walked;
    EXPECT_GT(walked, 300);
    plane->model_matrix = nullptr;

    for (LgClump* box : boxes) {
        LgWorldRemoveClump(world, box);
        LgClumpDestroy(box);
    }
}
