// The AI plane: its interfaces, the goal stack's storage, hit and kill reports between
// attacker and victim with the counters they drive, evasion and retaliation, the hidden
// status, and the flight model's AI-only parts (separation, ceiling, righting itself).
#include "tests/game/world/plane_test_support.h"

#include <gtest/gtest.h>

#include <cmath>

using gametest::TestObject;
using planetest::placed;
using planetest::PlaneTest;

namespace {

class AIPlaneTest : public PlaneTest {
protected:
    TavrinAIPlane* make_ai(uint32_t flags, uint32_t groups, LgVector at) {
        TavrinAIPlane* plane = make_plane<TavrinAIPlane>(flags, placed(at));
        plane->group_mask = groups;
        return plane;
    }
    TestObject* add_object(int32_t id, uint32_t groups, LgVector at = {0, 0, 0}) {
        auto* o = new TestObject(id, groups, at);
        EXPECT_EQ(game->AddObject(o, 0x1c0, kTvUpdateEveryFrame), OM_S_OK);
        o->Release();
        return o;
    }
    static int depth(const TvGoalStack& stack) {
        int n = 0;
        for (const TvGoalEntry* e = stack.sub_top; e; e = e->next) ++n;
        return n;
    }
};

constexpr uint32_t kSideA = 1u << 8;
constexpr uint32_t kSideB = 1u << 9;

} // namespace

TEST_F(AIPlaneTest, AnswersItsThreeInterfacesOnly) {
    TavrinAIPlane* plane = make_ai(0, kSideA, {500, 600, 500});
    void* out = nullptr;
    for (const GUID* iid : {&IID_IUnknown, &IID_ITvObject, &IID_ITvAIPlane}) {
        ASSERT_EQ(plane->QueryInterface(*iid, &out), OM_S_OK);
        EXPECT_EQ(out, static_cast<ITvPlane*>(plane));
        static_cast<IUnknown*>(out)->Release();
    }
    EXPECT_EQ(plane->QueryInterface(IID_ITvPlane, &out), OM_E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(plane->guidance_forward, 1.0f);
}

TEST_F(AIPlaneTest, GoalStackPushesPopsAndFreesNestedGoals) {
    TvGoalStack stack{};
    EXPECT_EQ(TvPopGoal(&stack), nullptr);
    for (uint32_t code : {32u, 96u}) TvPushGoal(&stack, TvNewGoal(code));
    ASSERT_EQ(TvPushEngage(&stack, 7), 1);
    EXPECT_EQ(stack.sub_top->code, 113u) << "the engagement's phase runs on top";
    EXPECT_EQ(stack.sub_top->next->code, 112u);
    EXPECT_EQ(stack.sub_top->next->target, 7);
    TvPushFlyToFor(stack.sub_top, {1, 2, 3}, 1.5f); // nested under the phase
    TvGoalEntry* top = TvPopGoal(&stack);
    EXPECT_EQ(top->code, 113u);
    EXPECT_EQ(top->next, nullptr);
    EXPECT_EQ(top->sub_top->real, 1.5f);
    TvPushGoal(&stack, top);
    TvFreeGoals(&stack); // valgrind: nothing left behind
    EXPECT_EQ(stack.sub_top, nullptr);
}

TEST_F(AIPlaneTest, HitsAndKillsAreReportedToTheAttackerOnce) {
    TavrinAIPlane* victim = make_ai(kTvFlagPlane, kSideB, {500, 600, 500});
    victim->endurance = 3.0f;
    TestObject* attacker = add_object(40, kSideA);
    // A hit that does not destroy the plane answers a failure.
    EXPECT_EQ(victim->AddDamage(1.0f, 40), OM_E_FAIL);
    ASSERT_EQ(attacker->events.size(), 1u);
    EXPECT_EQ(attacker->events[0].code, kTvEventHitVictim);
    EXPECT_EQ(attacker->events[0].data, kSideB);
    EXPECT_EQ(victim->damage_recently, 1.0f);

    victim->AddDamage(2.5f, 40); // crosses the endurance
    ASSERT_EQ(attacker->events.size(), 3u);
    EXPECT_EQ(attacker->events[2].code, kTvEventKilledVictim);
    victim->AddDamage(1.0f, 40);
    EXPECT_EQ(attacker->events.size(), 4u) << "a hit, no second kill";

    // Damage from its own collisions reports nothing.
    TavrinAIPlane* clumsy = make_ai(0, kSideA, {300, 600, 500});
    clumsy->AddDamage(1.0f, clumsy->id);
    EXPECT_EQ(clumsy->kills_side_a, 0);
    EXPECT_EQ(clumsy->hits_scored, 0);
}

TEST_F(AIPlaneTest, ReportsDriveTheCounters) {
    TavrinAIPlane* plane = make_ai(0, kSideA, {500, 600, 500});
    plane->time_since_firing = 3.0f;
    const TvEvent enemy_hit{kTvEventHitVictim, kSideB};
    plane->HandleEvent(&enemy_hit);
    EXPECT_EQ(plane->hits_scored, 1);
    EXPECT_EQ(plane->time_since_firing, 0.0f);
    const TvEvent friend_hit{kTvEventHitVictim, kSideA};
    plane->HandleEvent(&friend_hit);
    EXPECT_EQ(plane->hits_scored, 1);
    EXPECT_EQ(plane->goals.sub_top, nullptr) << "an idle plane does not break away";

    for (uint32_t victim : {kSideA, kSideB, kSideA | kSideB}) {
        const TvEvent kill{kTvEventKilledVictim, victim};
        plane->HandleEvent(&kill);
    }
    EXPECT_EQ(plane->kills_side_a, 2);
    EXPECT_EQ(plane->kills_side_b, 2);
    uintptr_t out = 0;
    plane->GetProperty(kTvPlanePropKillsSideA, &out);
    EXPECT_EQ(out, 2u);

    // With goals, hitting a friend makes it break away for a second.
    TvPushGoal(&plane->goals, TvNewGoal(kTvGoalFlyTo));
    plane->HandleEvent(&friend_hit);
    ASSERT_NE(plane->goals.sub_top, nullptr);
    EXPECT_EQ(plane->goals.sub_top->code, uint32_t(kTvGoalFlyToFor));
    EXPECT_EQ(plane->goals.sub_top->real, 1.0f);
    plane->HandleEvent(&friend_hit);
    EXPECT_EQ(depth(plane->goals), 2) << "already breaking away";
}

TEST_F(AIPlaneTest, BeingHitEvadesOrRetaliates) {
    TavrinAIPlane* plane = make_ai(0, kSideA, {500, 600, 500});
    add_object(41, kSideB);
    add_object(42, kSideA);
    plane->AddDamage(0.1f, 41);
    EXPECT_EQ(plane->goals.sub_top, nullptr) << "no goals, no reaction";

    TvPushGoal(&plane->goals, TvNewGoal(kTvGoalFlyTo));
    plane->AddDamage(0.1f, 41);
    EXPECT_EQ(plane->goals.sub_top->code, uint32_t(kTvGoalFlyToFor));
    EXPECT_EQ(plane->goals.sub_top->real, 0.5f);
    plane->AddDamage(0.1f, 41);
    EXPECT_EQ(depth(plane->goals), 2) << "already evading";

    plane->retaliate = 1;
    plane->AddDamage(0.1f, 42);
    EXPECT_EQ(depth(plane->goals), 2) << "no fight with its own side";
    plane->AddDamage(0.1f, 41);
    EXPECT_EQ(plane->goals.sub_top->code, uint32_t(kTvGoalEngage + 1));
    EXPECT_EQ(plane->goals.sub_top->target, 41);

    // Death empties the stack for good.
    plane->AddDamage(100.0f, 41);
    EXPECT_EQ(plane->goals.sub_top, nullptr);
}

TEST_F(AIPlaneTest, AHiddenPlaneReportsStatusTwo) {
    TavrinAIPlane* plane = make_ai(0, kSideA, {500, 600, 500});
    EXPECT_EQ(plane->IsDead(), 0);
    plane->hidden = 1;
    EXPECT_EQ(plane->IsDead(), 2);
    plane->hidden = 0;
    plane->state = kTvPlaneCrashing;
    EXPECT_EQ(plane->IsDead(), 1);
}

TEST_F(AIPlaneTest, AIPlanesKeepApartButPlayersAreNotPushed) {
    TavrinAIPlane* plane = make_ai(0, kSideA, {500, 600, 500});
    TavrinAIPlane* player = make_ai(kTvFlagPlayerPlane, kSideA, {530, 600, 500});
    add_object(43, kSideB, {520, 600, 500}); // 20 to the side of the AI plane
    for (TavrinPlane* p : {static_cast<TavrinPlane*>(plane), static_cast<TavrinPlane*>(player)}) {
        p->state = kTvPlaneFlying;
        p->throttle = p->previous_throttle = 1.0f;
        p->speed = 100.0f;
        p->Update();
    }
    EXPECT_NEAR(plane->velocity.x, -(100.0f - 20.0f) * 0.3f, 1e-3f);
    EXPECT_EQ(player->velocity.x, 0.0f);
}

TEST_F(AIPlaneTest, AnInvertedAIPlaneRightsItselfAndStaysUpright) {
    TavrinAIPlane* plane = make_ai(0, kSideA, {500, 600, 500});
    const LgMatrix inverted = placed({500, 600, 500}, {0, 0, 1}, {0, -1, 0});
    pose(plane, inverted);
    plane->state = kTvPlaneFlying;
    plane->throttle = plane->previous_throttle = 1.0f;
    plane->speed = 100.0f;
    plane->Update();
    EXPECT_GT(plane->matrix->up.y, 0.99f);
    EXPECT_NEAR(std::fabs(plane->bank), 180.0f, 1e-3f) << "the model keeps its pose";
    for (int i = 0; i < 30; ++i) plane->Update();
    EXPECT_GT(plane->matrix->up.y, 0.99f);
    EXPECT_LE(std::fabs(plane->bank), 90.0f);
}
