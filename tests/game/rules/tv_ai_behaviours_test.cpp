// The AI plane's think step and behaviours: the battle area and its radio lines, the bank-rate
// limit, terrain avoidance, take-off, station keeping and escort, the attack run, the bombing
// pass, the dogfight's choices, hiding and the walk over nested goals.
#include "tests/game/rules/ai_plane_test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace aitest {
namespace {

constexpr float kStep = planetest::kStep;

LgVector unit(LgVector v) {
    LgVectorNormalize(&v, &v);
    return v;
}

TEST_F(AIBehaviourTest, BeyondTheBattleAreaAnIdlePlaneHeadsBack700InsideAnd200Higher) {
    struct Case {
        const char* what;
        LgVector position;
        LgVector heading;
        uint32_t flags;
        LgVector aim; // expected FlyToFor point; NaN: a random FlyTo instead
    } cases[] = {
        {"near the low x edge",
         {kWorldLow + 450, 600, 2000},
         {0, 0, 1},
         0,
         {kWorldLow + 700, 800, 2060}},
        {"near the high z edge",
         {2000, 600, kWorldHigh - 450},
         {1, 0, 0},
         0,
         {2060, 800, kWorldHigh - 700}},
        {"in a corner",
         {kWorldHigh - 100, 600, kWorldLow + 100},
         {0, 0, 1},
         0,
         {kWorldHigh - 700, 800, kWorldLow + 700}},
        {"a player too",
         {kWorldLow + 450, 600, 2000},
         {0, 0, 1},
         kTvFlagPlayerPlane,
         {kWorldLow + 700, 800, 2060}},
        {"inside: wanders", {2000, 600, 2000}, {0, 0, 1}, 0, {NAN, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LgVector up{0, 1, 0};
        TavrinAIPlane* plane =
            add_ai(kSideA, placed(c.position, c.heading, up), kTvFlagPlane | c.flags);
        plane->state = kTvPlaneFlying;
        plane->speed = 60.0f;
        plane->Update();
        TvGoalEntry* goal = top(plane);
        ASSERT_NE(goal, nullptr);
        if (std::isnan(c.aim.x)) {
            EXPECT_EQ(goal->code, uint32_t(kTvGoalFlyTo));
            EXPECT_EQ(goal->real, 10000.0f);
            EXPECT_GE(goal->point.x, kWorldLow);
            EXPECT_LE(goal->point.x, kWorldHigh);
            continue;
        }
        EXPECT_EQ(goal->code, uint32_t(kTvGoalFlyToFor));
        EXPECT_EQ(goal->real, 1.25f);
        EXPECT_NEAR(goal->point.x, c.aim.x, 1e-3f);
        EXPECT_NEAR(goal->point.y, c.aim.y, 1e-3f);
        EXPECT_NEAR(goal->point.z, c.aim.z, 1e-3f);
        EXPECT_EQ(goal->next, nullptr);
    }
    // An idle player inside the area gets no goal.
    TavrinAIPlane* player =
        add_ai(kSideA, placed({2000, 600, 2000}), kTvFlagPlane | kTvFlagPlayerPlane);
    player->Update();
    EXPECT_EQ(top(player), nullptr);
}

TEST_F(AIBehaviourTest, RadioLinesNearAndBeyondTheEdge) {
    auto* mission = new gametest::FakeMission;
    game->SetMission(mission);
    struct Case {
        const char* what;
        LgVector position;
        LgVector heading;
        const char* line; // null: nothing said
        int32_t skip_controls;
    } cases[] = {
        {"beyond",
         {kWorldLow + 400, 600, 2000},
         {0, 0, 1},
         "STRING \"returntobattle\" NOT IN FILE",
         1},
        {"in the band, flying out",
         {kWorldLow + 550, 600, 2000},
         {-1, 0, 0},
         "STRING \"nearadgeofbattle\" NOT IN FILE",
         0},
        {"in the band, flying in", {kWorldLow + 550, 600, 2000}, {1, 0, 0}, nullptr, 0},
        {"inside", {2000, 600, 2000}, {-1, 0, 0}, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        mission->texts.clear();
        TavrinAIPlane* plane = add_ai(kSideA, placed(c.position, c.heading));
        EXPECT_EQ(plane->DrawCockpitHud(), OM_S_OK);
        // The radio line comes first; the cockpit display's own texts follow it.
        if (c.line) {
            ASSERT_FALSE(mission->texts.empty());
            EXPECT_EQ(mission->texts[0], c.line);
        }
        for (size_t i = c.line ? 1 : 0; i < mission->texts.size(); ++i)
            EXPECT_EQ(mission->texts[i].find("STRING"), std::string::npos) << mission->texts[i];
        EXPECT_EQ(plane->skip_controls_once, c.skip_controls);
    }
    game->Destroy();
    mission->Release();
}

TEST_F(AIBehaviourTest, TheBankTurnsAtThreeTimesTheRollRateExceptForPlayers) {
    TavrinAIPlane* plane = add_ai(kSideA, placed({2000, 600, 2000}));
    TavrinAIPlane* player =
        add_ai(kSideA, placed({2500, 600, 2000}), kTvFlagPlane | kTvFlagPlayerPlane);
    // A point hard to the right: the demand is a full -90 bank.
    for (TavrinAIPlane* p : {plane, player}) {
        p->state = kTvPlaneFlying;
        p->speed = p->throttle = p->previous_throttle = 1.0f;
        p->speed = 80.0f;
        const LgVector& at = p->matrix->pos;
        TvPushFlyTo(&p->goals, {at.x + 500, at.y, at.z}, 100.0f);
    }
    plane->Update();
    player->Update();
    EXPECT_NEAR(plane->last_bank_demand, -3.0f * 90.0f * kStep, 1e-4f);
    EXPECT_NEAR(plane->bank, -4.5f, 1e-3f);
    EXPECT_NEAR(player->bank, -90.0f, 1e-3f);
    plane->Update();
    EXPECT_NEAR(plane->last_bank_demand, -9.0f, 1e-3f);
}

TEST_F(AIBehaviourTest, AFlyToGoalTurnsAndClimbsThePlaneOntoItsPoint) {
    struct Case {
        const char* what;
        LgVector point;
    } cases[] = {{"to the right and up", {2800, 800, 2300}},
                 {"to the left and down", {1200, 450, 2300}},
                 {"behind", {2000, 600, 1000}}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TavrinAIPlane* plane = add_ai(kSideA, placed({2000, 600, 2000}));
        plane->state = kTvPlaneFlying;
        plane->speed = 80.0f;
        plane->throttle = plane->previous_throttle = 1.0f;
        ASSERT_EQ(TvPushFlyTo(&plane->goals, c.point, 100.0f * 100.0f), 1);
        // Until the goal ends (the idle wander then takes its place).
        auto flying_to_it = [&] {
            const TvGoalEntry* goal = top(plane);
            return goal && goal->code == kTvGoalFlyTo && goal->point.x == c.point.x &&
                   goal->point.z == c.point.z;
        };
        int frames = 0;
        for (; frames < 3000 && flying_to_it(); ++frames) plane->Update();
        EXPECT_LT(frames, 3000) << "reached within 50 s";
        const LgVector& at = plane->matrix->pos;
        EXPECT_LT(std::hypot(at.x - c.point.x, at.z - c.point.z), 100.0f);
        EXPECT_NEAR(at.y, c.point.y, 60.0f) << "the height follows the point";
        planes.back()->Release();
        planes.pop_back();
        game->RemoveObject(plane);
    }
}

TEST_F(AIBehaviourTest, AimingGivesWayToAPlaneOfGroupEightTooClose) {
    // 2.5 x starboard 6 x back 5: closer than sqrt(75) gives way.
    TavrinAIPlane* plane = add_ai(kSideB, placed({2000, 600, 2000}));
    TavrinAIPlane* close_by = add_ai(kSideA, placed({2000, 605, 2006}, {1, 0, 0}));
    tvai::aim_at(*plane, {2000, 600, 3000});
    ASSERT_NE(top(plane), nullptr);
    EXPECT_EQ(top(plane)->code, uint32_t(kTvGoalFlyToFor));
    EXPECT_EQ(top(plane)->real, 1.5f);
    // Its heading (1, 0, 0) x this plane's up (0, 1, 0) is (0, 0, 1): 50 on along z.
    EXPECT_NEAR(top(plane)->point.z, 2050.0f, 1e-3f);
    EXPECT_NEAR(top(plane)->point.x, 2000.0f, 1e-3f);
    tvai::aim_at(*plane, {2000, 600, 3000});
    EXPECT_EQ(codes(plane->goals).size(), 1u) << "already giving way";

    TvFreeGoals(&plane->goals);
    close_by->matrix->pos = {2000, 605, 2008};
    tvai::aim_at(*plane, {2000, 600, 3000});
    EXPECT_EQ(top(plane), nullptr) << "far enough";
    // Only group 8 is looked at.
    add_ai(kSideB, placed({2000, 600, 2003}));
    tvai::aim_at(*plane, {2000, 600, 3000});
    EXPECT_EQ(top(plane), nullptr);
}

TEST_F(AIBehaviourTest, TerrainAheadPullsUpByItsDistance) {
    const LgVector dive = unit({0, -0.6f, 0.8f});
    const LgVector dive_up = {0, 0.8f, 0.6f};
    const LgVector inverted_up = {0, -0.8f, -0.6f};
    const float starboard = table.starboard_length;
    // The probe starts a starboard length lower; along the dive it meets the ground after
    // (height above the ground) / 0.6.
    auto height_for = [&](float along) { return kWorldLow + starboard + 0.6f * along; };
    struct Case {
        const char* what;
        float along; // ground distance along the heading
        LgVector up;
        bool level;
        float clearance;
        float expected; // pitch rate after; 7 = left as it was
    } cases[] = {
        {"100 ahead", 100, dive_up, false, 1000, -60.0f},
        {"250 ahead", 250, dive_up, true, 1000, -30.0f},
        {"100 ahead upside down", 100, inverted_up, false, 1000, 60.0f},
        {"clear ahead, ground close below", 400, dive_up, true, 50, -0.6f * 70 - 20},
        {"clear ahead, upside down, close below", 400, inverted_up, true, 50, -0.6f * 70 + 20},
        {"clear ahead, plenty below", 400, dive_up, true, 500, 7.0f},
        {"clear ahead, no level flight", 400, dive_up, false, 50, 7.0f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LgMatrix m = placed({2000, height_for(c.along), 2000}, dive, c.up);
        TavrinAIPlane* plane = add_ai(kSideA, m);
        plane->pitch_rate = 7.0f;
        plane->ground_clearance = c.clearance;
        tvai::steer_clear(*plane, c.level);
        EXPECT_NEAR(plane->pitch_rate, c.expected, 1e-2f);
    }
}

TEST_F(AIBehaviourTest, ATakeOffEndsOnlyOnceThePlaneIsFlying) {
    table = planetest::check_table();
    TavrinAIPlane* plane = add_ai(kSideA, placed({2000, kWorldLow + 2, 2000}));
    ASSERT_EQ(TvPushTakeOff(&plane->goals), 1);
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{17, 18, 19, 16}));
    plane->state = kTvPlaneFlying; // phase 17 puts it on its wheels
    plane->Update();
    EXPECT_EQ(plane->state, kTvPlaneTaxiing);
    int frames = 0;
    for (; frames < 600 && plane->state != kTvPlaneFlying; ++frames) {
        ASSERT_FALSE(codes(plane->goals).empty());
        EXPECT_EQ(codes(plane->goals).back(), 16u) << "frame " << frames;
        plane->Update();
    }
    ASSERT_EQ(plane->state, kTvPlaneFlying);
    EXPECT_EQ(plane->throttle, 1.0f);
    EXPECT_GT(frames, 100) << "the run-up takes its time";
    // One phase ends per frame from here.
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{18, 19, 16}));
    plane->Update();
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{19, 16}));
    plane->Update();
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{16}));
    plane->Update();
    EXPECT_TRUE(codes(plane->goals).empty() || top(plane)->code == kTvGoalFlyTo)
        << "only the idle wander may follow";
}

TEST_F(AIBehaviourTest, StationKeepingMatchesTheTargetsSpeed) {
    TavrinAIPlane* leader = add_ai(kSideA, placed({2000, 600, 2000}));
    ASSERT_EQ(TvPushFormOn(*add_ai(kSideA, placed({1, 1, 1})), &leader->goals, 99, {0, 0, 0}), 0)
        << "no target, nothing pushed";
    TavrinAIPlane* wing = add_ai(kSideA, placed({1950, 650, 1900}));
    ASSERT_EQ(TvPushFormOn(*wing, &wing->goals, leader->id, {1970, 700, 1960}), 1);
    TvGoalEntry* goal = top(wing);
    EXPECT_EQ(goal->real, 30.0f);
    EXPECT_FLOAT_EQ(goal->point.x, -30.0f);
    EXPECT_FLOAT_EQ(goal->point.y, 0.0f) << "level with the target";
    EXPECT_FLOAT_EQ(goal->point.z, -40.0f);

    struct Case {
        float leader_speed, own_speed, throttle;
    } cases[] = {
        {100, 60, 1.0f},  // the leader draws away: full throttle
        {60, 100, 0.5f},  // closing fast: ease off, to half at most
        {60, 63, 0.7f},   // closing slowly: 1 - 0.1 x 3
        {60, 60.5f, 0.8f} // within a unit: as it was
    };
    for (const Case& c : cases) {
        leader->speed = c.leader_speed;
        wing->speed = c.own_speed;
        wing->throttle = 0.8f;
        EXPECT_FALSE(tvai::run_behaviour(*wing, goal, kStep));
        EXPECT_NEAR(wing->throttle, c.throttle, 1e-5f) << c.leader_speed << " " << c.own_speed;
    }
    // The station is the offset carried by the leader's matrix: (1970, 600, 1960), which is
    // (20, -50, 60) from the wing.
    EXPECT_NEAR(wing->guidance_forward, 60.0f / std::sqrt(6500.0f), 1e-5f);
    EXPECT_NEAR(wing->guidance_vertical, -50.0f / std::sqrt(6500.0f), 1e-5f);
    leader->state = kTvPlaneCrashing;
    EXPECT_TRUE(tvai::run_behaviour(*wing, goal, kStep)) << "no leader, no formation";
}

TEST_F(AIBehaviourTest, AnEscortLeavesItsFightBeyondOneAndAHalfTimesItsRange) {
    TestObject* escorted = add_ground(50, kSideA, {2000, 600, 2000});
    ArmedAIPlane* plane = add_ai<ArmedAIPlane>(kSideA, placed({2000, 600, 1710}));
    ASSERT_EQ(TvPushEscort(*plane, &plane->goals, 50, {2000, 600, 1900}, 200.0f), 1);
    TvGoalEntry* escort = top(plane);

    struct Case {
        float distance;
        bool kept;
    } cases[] = {{290, true}, {299, true}, {301, false}, {400, false}};
    for (const Case& c : cases) {
        plane->matrix->pos = {2000, 600, 2000 - c.distance};
        TvPushEngage(escort, 77);
        EXPECT_FALSE(tvai::run_behaviour(*plane, escort, kStep));
        EXPECT_EQ(escort->sub_top != nullptr, c.kept) << c.distance;
        TvFreeGoals(escort);
    }

    // An enemy near the escorted plane and within range of the escort is engaged, under the
    // escort goal; one out of the escort's range is left alone.
    plane->matrix->pos = {2000, 600, 1900};
    TestObject* enemy = add_ground(60, kSideB, {2000, 600, 2150});
    EXPECT_FALSE(tvai::run_behaviour(*plane, escort, kStep));
    EXPECT_EQ(escort->sub_top, nullptr) << "250 from the escort";
    enemy->own_matrix.pos.z = 2050;
    EXPECT_FALSE(tvai::run_behaviour(*plane, escort, kStep));
    ASSERT_NE(escort->sub_top, nullptr);
    EXPECT_EQ(codes(*escort), (std::vector<uint32_t>{113, 112}));
    EXPECT_EQ(escort->sub_top->target, 60);
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{336}));

    escorted->status = 1;
    EXPECT_TRUE(tvai::run_behaviour(*plane, escort, kStep)) << "nothing left to escort";
}

TEST_F(AIBehaviourTest, AStrikeOutOfOrdinanceBecomesADogfight) {
    add_ground(70, kSideB, {2000, kWorldLow, 2200});
    // 150 over the target and 200 short of it, diving straight at it.
    const LgMatrix run =
        placed({2000, kWorldLow + 150, 2000}, unit({0, -150, 200}), unit({0, 200, 150}));
    ArmedAIPlane* armed = add_ai<ArmedAIPlane>(kSideA, run);
    ASSERT_EQ(TvPushStrike(&armed->goals, 70), 1);
    EXPECT_FALSE(tvai::run_behaviour(*armed, top(armed), kStep));
    EXPECT_EQ(armed->fired, (std::vector<int32_t>{kTvFireOrdinance}));
    EXPECT_EQ(codes(armed->goals), (std::vector<uint32_t>{128}));

    ArmedAIPlane* empty = add_ai<ArmedAIPlane>(kSideA, run);
    empty->ordinance_result = OM_E_FAIL;
    ASSERT_EQ(TvPushStrike(&empty->goals, 70), 1);
    TvGoalEntry* strike = top(empty);
    EXPECT_FALSE(tvai::run_behaviour(*empty, strike, kStep));
    EXPECT_EQ(codes(empty->goals), (std::vector<uint32_t>{32, 112}));
    const TvGoalEntry* pull_out = top(empty);
    EXPECT_EQ(pull_out->real, 1600.0f);
    EXPECT_NEAR(pull_out->point.y, kWorldLow + 150, 1e-3f);
    EXPECT_NEAR(pull_out->point.z, 2000 + 250 * 0.8f, 0.05f);

    // Too low over a ground target: climb away first.
    ArmedAIPlane* low = add_ai<ArmedAIPlane>(kSideA, placed({2000, kWorldLow + 50, 1500}));
    ASSERT_EQ(TvPushStrike(&low->goals, 70), 1);
    EXPECT_FALSE(tvai::run_behaviour(*low, low->goals.sub_top, kStep));
    ASSERT_EQ(codes(low->goals), (std::vector<uint32_t>{32, 128}));
    EXPECT_NEAR(top(low)->point.y, kWorldLow + 250, 1e-3f);
}

TEST_F(AIBehaviourTest, BombsAreReleasedWhereTheirFallMeetsTheTarget) {
    // Level at 240 over the target at speed 50: a bomb falls for sqrt(240 x 240) / 120 = 2 s
    // and lands 100 ahead. Climbing, it falls (v + sqrt(v^2 + 240 x 240)) / 120 s, v being the
    // climb rate.
    const LgVector climb = unit({0, 0.3f, 0.95f});
    const float v = 50.0f * climb.y;
    const float climb_time = (v + std::sqrt(v * v + 240.0f * 240.0f)) / 120.0f;
    struct Case {
        const char* what;
        float height;
        LgVector heading;
        float target_ahead;
        bool released;
    } cases[] = {
        {"level, on target", 240, {0, 0, 1}, 100, true},
        {"level, 25 long", 240, {0, 0, 1}, 125, true},
        {"level, 40 long", 240, {0, 0, 1}, 140, false},
        {"level, 40 short", 240, {0, 0, 1}, 60, false},
        {"climbing, on target", 240, climb, 50 * climb.z * climb_time, true},
        {"below the target", -50, {0, 0, 1}, 0.5f, false},
    };
    int32_t id = 80;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        add_ground(id, kSideB, {2000, 600, 2000 + c.target_ahead});
        LgVector up = {0, 1, 0};
        if (c.heading.y != 0.0f) up = {0, climb.z, -climb.y};
        ArmedAIPlane* plane =
            add_ai<ArmedAIPlane>(kSideA, placed({2000, 600 + c.height, 2000}, c.heading, up));
        plane->speed = 50.0f;
        plane->ground_clearance = 1000.0f;
        ASSERT_EQ(TvPushBomb(&plane->goals, id++), 1);
        EXPECT_FALSE(tvai::run_behaviour(*plane, top(plane), kStep));
        EXPECT_EQ(plane->fired.size(), c.released ? 1u : 0u);
    }

    // Out of bombs: a dogfight after a pass 200 on, at 150 over the target.
    add_ground(90, kSideB, {2000, 600, 2100});
    ArmedAIPlane* empty = add_ai<ArmedAIPlane>(kSideA, placed({2000, 840, 2000}));
    empty->speed = 50.0f;
    empty->ordinance_result = OM_E_FAIL;
    empty->ground_clearance = 1000.0f;
    ASSERT_EQ(TvPushBomb(&empty->goals, 90), 1);
    EXPECT_FALSE(tvai::run_behaviour(*empty, top(empty), kStep));
    EXPECT_EQ(codes(empty->goals), (std::vector<uint32_t>{32, 112}));
    EXPECT_NEAR(top(empty)->point.z, 2200.0f, 1e-3f);
    EXPECT_NEAR(top(empty)->point.y, 750.0f, 1e-3f);
    EXPECT_EQ(empty->pitch_rate, -1.0f) << "above the height band";

    // Right over the target: fly on by height + 300 and come round.
    add_ground(91, kSideB, {2000, 600, 2010});
    ArmedAIPlane* over = add_ai<ArmedAIPlane>(kSideA, placed({2000, 730, 2000}));
    over->ground_clearance = 1000.0f;
    ASSERT_EQ(TvPushBomb(&over->goals, 91), 1);
    EXPECT_FALSE(tvai::run_behaviour(*over, top(over), kStep));
    EXPECT_EQ(codes(over->goals), (std::vector<uint32_t>{32, 144}));
    EXPECT_NEAR(top(over)->point.z, 2000.0f + 430.0f, 1e-3f);
    EXPECT_NEAR(top(over)->point.y, 730.0f, 1e-3f);
    EXPECT_EQ(over->pitch_rate, 1.0f) << "below the height band";
}

TEST_F(AIBehaviourTest, TheDogfightLeadsFiresBreaksAndGivesUp) {
    ArmedAIPlane* plane = add_ai<ArmedAIPlane>(kSideA, placed({2000, 600, 2000}));
    TavrinAIPlane* target = add_ai(kSideB, placed({2000, 600, 2200}, {1, 0, 0}));
    plane->speed = 80.0f;
    target->speed = 55.0f;
    plane->throttle = 0.652f;
    ASSERT_EQ(TvPushEngage(&plane->goals, target->id), 1);
    TvGoalEntry* phase = top(plane);

    // Ahead, crossing to the right: lead it by 200 x 0.0036363637 x 55 = 40 along its heading.
    EXPECT_FALSE(tvai::run_behaviour(*plane, phase, kStep));
    const float k = 200.0f * 0.0036363637f * 55.0f;
    EXPECT_NEAR(plane->guidance_side, k / std::sqrt(k * k + 200.0f * 200.0f), 1e-4f);
    EXPECT_NEAR(plane->throttle, 0.65f, 1e-6f) << "slower target: throttle down, not below 0.65";
    EXPECT_EQ(plane->fired, (std::vector<int32_t>{kTvFireGuns}));
    EXPECT_NEAR(plane->time_since_firing, kStep, 1e-6f);

    // Behind: a break to one side, kept while it stays behind.
    target->matrix->pos = {2000, 600, 1800};
    plane->fired.clear();
    EXPECT_FALSE(tvai::run_behaviour(*plane, phase, kStep));
    EXPECT_TRUE(phase->integer == 1 || phase->integer == -1);
    EXPECT_EQ(plane->bank, phase->integer * -90.0f);
    const int32_t direction = phase->integer;
    for (int i = 0; i < 20; ++i) tvai::run_behaviour(*plane, phase, kStep);
    EXPECT_EQ(phase->integer, direction);
    EXPECT_TRUE(plane->fired.empty());
    EXPECT_NEAR(phase->real, 22 * kStep, 1e-4f) << "one frame ahead, then 21 behind";

    // The engagement ends after the engage time, or when badly damaged.
    plane->engage_parameter = 0.5f;
    bool finished = false;
    for (int i = 0; i < 20 && !finished; ++i) finished = tvai::run_behaviour(*plane, phase, kStep);
    EXPECT_TRUE(finished);
    plane->engage_parameter = 0.0f;
    target->matrix->pos = {2000, 600, 2200};
    plane->damage = 0.81f * plane->endurance;
    EXPECT_TRUE(tvai::run_behaviour(*plane, phase, kStep));
    plane->damage = 0.0f;
    // A nested goal holds it; a gone target ends it.
    TvPushFlyToFor(phase, {0, 0, 0}, 1.0f);
    plane->fired.clear();
    EXPECT_FALSE(tvai::run_behaviour(*plane, phase, kStep));
    EXPECT_TRUE(plane->fired.empty());
    TvFreeGoals(phase);
    target->state = kTvPlaneCrashed;
    EXPECT_TRUE(tvai::run_behaviour(*plane, phase, kStep));
}

TEST_F(AIBehaviourTest, TheWalkRunsNestedGoalsAndUnlinksWhatFinishes) {
    TavrinAIPlane* plane = add_ai(kSideA, placed({2000, 600, 2000}));
    plane->state = kTvPlaneFlying;
    // A code without a behaviour holds everything below it.
    TvPushRetaliateOn(*plane, &plane->goals, 0.0f);
    TvPushGoal(&plane->goals, TvNewGoal(80));
    for (int i = 0; i < 3; ++i) plane->Update();
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{80, 304}));
    EXPECT_EQ(plane->retaliate, 0u);

    // Nested goals run under their parent: the retaliation nested under the blocker ends.
    TvPushRetaliateOn(*plane, plane->goals.sub_top, 2.5f);
    EXPECT_EQ(plane->engage_parameter, 2.5f);
    plane->Update();
    EXPECT_EQ(plane->retaliate, 1u);
    EXPECT_EQ(plane->goals.sub_top->sub_top, nullptr);

    // An entry is unlinked from wherever it lies on its stack.
    TvFreeGoals(&plane->goals);
    for (uint32_t code : {32u, 96u, 128u}) TvPushGoal(&plane->goals, TvNewGoal(code));
    TvGoalEntry* middle = plane->goals.sub_top->next;
    EXPECT_TRUE(TvUnlinkGoal(&plane->goals, middle));
    EXPECT_FALSE(TvUnlinkGoal(&plane->goals, middle));
    TvFreeGoal(middle);
    EXPECT_EQ(codes(plane->goals), (std::vector<uint32_t>{128, 32}));
}

} // namespace
} // namespace aitest
