// The game's registry: the singleton, registering and unregistering with holes, the id and
// group tables and their limits, target search, group strength, input dispatch and the
// small queries.
#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using gametest::GameProbe;
using gametest::GameTest;
using gametest::TestObject;

namespace {

constexpr uint32_t kGroup(int g) {
    return 1u << g;
}

std::vector<std::string>& logged() {
    static std::vector<std::string> lines;
    return lines;
}

void log_line(const char*, int32_t, const char* message, const char* detail) {
    logged().push_back(std::string(message) + " " + detail);
}

class RegistryTest : public GameTest {
protected:
    TestObject* add(int32_t id, uint32_t groups, LgVector at = {0, 0, 0}, uint32_t mask = 0x1c0,
                    uint32_t flags = kTvUpdateEveryFrame) {
        auto* o = new TestObject(id, groups, at);
        EXPECT_EQ(game->AddObject(o, mask, flags), OM_S_OK);
        o->Release(); // the game holds the object now
        return o;
    }
};

TEST(TavrinGameClass, SecondCreateIsTheSameInstanceAndTheLastReleaseFreesIt) {
    testsupport::FrameworkScope framework;
    ASSERT_EQ(TvRegisterGameClass(OmGetObjectManager()), OM_S_OK);
    ITvGame* first = nullptr;
    ITvGame* second = nullptr;
    ASSERT_EQ(OmCreateInstance(CLSID_TavrinGame, nullptr, 0, IID_ITvGame,
                               reinterpret_cast<void**>(&first)),
              OM_S_OK);
    ASSERT_EQ(OmCreateInstance(CLSID_TavrinGame, nullptr, 0, IID_ITvGame,
                               reinterpret_cast<void**>(&second)),
              OM_S_OK);
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->Release(), 1u);
    EXPECT_NE(TavrinGame::instance, nullptr);
    EXPECT_EQ(first->Release(), 0u);
    EXPECT_EQ(TavrinGame::instance, nullptr);
}

TEST_F(RegistryTest, ObjectsAreFiledByIdAndByEveryGroupOfTheirDescriptor) {
    TestObject* a = add(5, kGroup(0) | kGroup(3));
    TestObject* b = add(6, kGroup(3));
    EXPECT_EQ(game->GetObjectById(5), a);
    EXPECT_EQ(game->group(0).count, 1);
    ASSERT_EQ(game->group(3).count, 2);
    EXPECT_EQ(game->group(3).members[0], a);
    EXPECT_EQ(game->group(3).members[1], b);
    EXPECT_EQ(a->ref_count(), 1u); // one reference, the master list's
}

TEST_F(RegistryTest, ViewportCamerasAreInNoIdTableAndNoGroup) {
    add(7, kGroup(2), {}, kTvEventMaskViewport);
    EXPECT_EQ(game->GetObjectById(7), nullptr);
    EXPECT_EQ(game->group(2).count, 0);
    EXPECT_EQ(game->master_count(), 1);
}

TEST_F(RegistryTest, RemovedObjectsLeaveHolesThatWalksSkipButStrengthCounts) {
    TestObject* a = add(1, kGroup(4));
    TestObject* b = add(2, kGroup(4));
    a->AddRef();
    EXPECT_EQ(game->RemoveObject(a), OM_S_OK);
    EXPECT_EQ(a->Release(), 0u); // the list's reference went with the removal
    EXPECT_EQ(game->GetObjectById(1), nullptr);
    EXPECT_EQ(game->group(4).count, 2);
    EXPECT_EQ(game->master_count(), 2);
    EXPECT_FLOAT_EQ(game->GetGroupStrength(4), 50.0f);
    std::vector<ITvObject*> seen;
    game->ForEachLiveInGroup(
        -4, [](ITvObject* o, void* c) { static_cast<std::vector<ITvObject*>*>(c)->push_back(o); },
        &seen);
    EXPECT_EQ(seen, std::vector<ITvObject*>{b});
    game->Update(); // the hole is skipped
    EXPECT_EQ(b->updates, 1);
}

TEST_F(RegistryTest, GroupStrengthCountsStatusZeroAndTwoAsAlive) {
    struct Case {
        std::vector<int32_t> statuses;
        float strength;
    };
    const Case cases[] = {{{}, 0.0f}, {{2, 2}, 100.0f}, {{0, 1, 2, 3}, 50.0f}, {{1}, 0.0f}};
    for (const Case& c : cases) {
        game->BeginSession(&settings());
        for (int32_t status : c.statuses) add(10, kGroup(6))->status = status;
        EXPECT_FLOAT_EQ(game->GetGroupStrength(6), c.strength) << c.statuses.size();
    }
    EXPECT_EQ(game->GetGroupStrength(10), 0.0f);
    EXPECT_EQ(game->GetGroupStrength(-1), 0.0f);
}

TEST_F(RegistryTest, FindTargetSearchesTheGroupOfMinusIdForTheNearestLiveMember) {
    add(1, kGroup(0), {10, 0, 0});
    TestObject* near3 = add(2, kGroup(3), {3, 0, 0});
    add(3, kGroup(3), {8, 0, 0});
    TestObject* dead = add(4, kGroup(3), {1, 0, 0});
    dead->status = 1;
    add(5, kGroup(3), {0.2f, 0, 0}); // within 0.1 squared: the searcher itself
    const LgVector origin{0, 0, 0};
    uintptr_t id = 0;
    game->FindTarget(0, &origin)->GetProperty(kTvPropId, &id);
    EXPECT_EQ(id, 1u);
    EXPECT_EQ(game->FindTarget(-3, &origin), near3);
    EXPECT_EQ(game->FindTarget(2, &origin), near3);
    EXPECT_EQ(game->FindTarget(-9, &origin), nullptr);
    EXPECT_EQ(game->FindTarget(-10, &origin), nullptr);
}

TEST_F(RegistryTest, BadIdsAreRefusedAndLogged) {
    TvFrontEndServices services{};
    services.log_error2 = log_line;
    TvInstallFrontEndServices(&services);
    logged().clear();
    for (int32_t id : {-1, kTvMaxIds}) {
        auto* o = new TestObject(id, kGroup(1));
        EXPECT_EQ(game->AddObject(o, 0x1c0, 5), OM_E_FAIL);
        EXPECT_EQ(o->Release(), 0u);
    }
    EXPECT_EQ(logged().size(), 2u);
    EXPECT_EQ(game->master_count(), 0);
    EXPECT_EQ(game->group(1).count, 0);
    TvInstallFrontEndServices(nullptr);
    for (int32_t id : {-1, kTvMaxIds, 100000}) EXPECT_EQ(game->GetObjectById(id), nullptr);
}

TEST_F(RegistryTest, AFullRegistryRefusesTheObjectAndAFullGroupSkipsIt) {
    for (int32_t i = 0; i < kTvMaxObjects; ++i) add(i % kTvMaxIds, i < 1500 ? kGroup(2) : 0);
    EXPECT_EQ(game->group(2).count, kTvMaxGroupMembers);
    auto* extra = new TestObject(1, 0);
    EXPECT_EQ(game->AddObject(extra, 0x1c0, 5), OM_E_FAIL);
    EXPECT_EQ(extra->Release(), 0u); // the creator still held the only reference
    game->BeginSession(&settings());
    for (int32_t i = 0; i < kTvMaxGroupMembers; ++i) add(i, kGroup(5));
    add(1600, kGroup(5) | kGroup(6));
    EXPECT_EQ(game->group(5).count, kTvMaxGroupMembers);
    EXPECT_EQ(game->group(6).count, 1);
}

TEST_F(RegistryTest, MoveObjectToGroupClosesTheGapAndAppends) {
    TestObject* a = add(1, kGroup(8));
    TestObject* b = add(2, kGroup(8));
    EXPECT_EQ(game->MoveObjectToGroup(a, 8, 9), OM_S_OK);
    ASSERT_EQ(game->group(8).count, 1);
    EXPECT_EQ(game->group(8).members[0], b);
    ASSERT_EQ(game->group(9).count, 1);
    EXPECT_EQ(game->group(9).members[0], a);
    EXPECT_EQ(game->MoveObjectToGroup(a, 9, 10), OM_E_FAIL);
}

TEST_F(RegistryTest, ForEachLiveInGroupRefusesPositiveIds) {
    EXPECT_EQ(game->ForEachLiveInGroup(
                  1, [](ITvObject*, void*) {}, nullptr),
              OM_E_FAIL);
    EXPECT_EQ(game->ForEachLiveInGroup(
                  0, [](ITvObject*, void*) {}, nullptr),
              OM_S_OK);
}

TEST_F(RegistryTest, InputMovesThePointerWithinItsBoundsAndReachesInputObjects) {
    TestObject* listener = add(1, 0, {}, 0x1c0, kTvTakesInput);
    TestObject* deaf = add(2, 0, {}, 0x1c0, kTvUpdateEveryFrame);
    struct Case {
        uint16_t source, code;
        int32_t value;
        int32_t x, y;
    };
    const Case cases[] = {{0x101, kTvInputPointerX, 100, 100, 0},
                          {0x102, kTvInputPointerY, -50, 100, 8},
                          {0x102, kTvInputPointerX, 1000, 632, 8},
                          {0x101, kTvInputPointerY, 700, 632, 632},
                          {0x103, kTvInputPointerX, -1000, 632, 632}};
    for (const Case& c : cases) {
        const InputEvent e{c.source, c.code, 0, static_cast<uint32_t>(c.value)};
        game->HandleInput(&e);
        EXPECT_EQ(game->pointer_x(), c.x);
        EXPECT_EQ(game->pointer_y(), c.y);
    }
    EXPECT_EQ(listener->inputs.size(), std::size(cases));
    EXPECT_TRUE(deaf->inputs.empty());
}

TEST_F(RegistryTest, TheTimerEventIsConsumedAndRereadsTheClock) {
    TestObject* listener = add(1, 0, {}, 0x1c0, kTvTakesInput);
    owned->timer->total_ms = 4321;
    const InputEvent timer{kTvTimerDeviceId, kTvInputTimerEvent, 0, 16};
    game->HandleInput(&timer);
    EXPECT_TRUE(listener->inputs.empty());
    EXPECT_EQ(game->GetTimeMs(), 4321);
    game->set_clock_offsets(100, 20);
    EXPECT_EQ(game->GetTimeMs(), 4441);
    EXPECT_FLOAT_EQ(game->GetTimeSeconds(), 4.441f);
}

TEST_F(RegistryTest, WhileEditingObjectsGetNoInput) {
    // The editor's keys must not fly the planes: input goes to the camera and editor alone.
    TestObject* listener = add(1, 0, {}, 0x1c0, kTvTakesInput);
    game->set_run_state(kTvRunStateEditing);
    const InputEvent key{0x101, 17, 0, 'a'};
    game->HandleInput(&key);
    EXPECT_TRUE(listener->inputs.empty());
    game->set_run_state(kTvRunStateRunning);
    game->HandleInput(&key);
    EXPECT_EQ(listener->inputs.size(), 1u);
}

TEST_F(RegistryTest, BroadcastReachesObjectsWhoseMaskSharesABit) {
    TestObject* a = add(1, 0, {}, 0x40);
    TestObject* b = add(2, 0, {}, 0x80);
    const TvEvent hit{257, 0x100};
    game->BroadcastEvent(&hit, 0x40);
    EXPECT_EQ(a->events.size(), 1u);
    EXPECT_TRUE(b->events.empty());
}

TEST_F(RegistryTest, PlayerSlotsReleaseThePlaneTheyReplace) {
    auto* first = new TestObject(1, kGroup(1));
    auto* second = new TestObject(2, kGroup(1));
    EXPECT_EQ(game->SetPlayerPlane(first, 0, 1), OM_S_OK);
    EXPECT_EQ(first->ref_count(), 2u);
    EXPECT_EQ(game->SetPlayerPlane(second, 0, 1), OM_S_OK);
    EXPECT_EQ(first->ref_count(), 1u);
    EXPECT_EQ(game->player_plane(1), second);
    EXPECT_EQ(game->SetPlayerPlane(second, 0, 2), OM_E_FAIL); // two slots: 0 and 1
    EXPECT_EQ(game->SetPlayerPlane(second, 0, -1), OM_E_FAIL);
    first->Release();
    second->Release();
}

TEST_F(RegistryTest, ScoresCheatsAndScalesComeFromTheSettings) {
    settings().infinite = 1;
    settings().invulnerable = 0;
    settings().enemy_endurance = 2.0f;
    settings().standard_endurance = 0.5f;
    const std::pair<int32_t, int32_t> cheats[] = {{1, 1}, {2, 1}, {3, 0}, {4, 0}, {0, 0}};
    for (auto [code, value] : cheats) EXPECT_EQ(game->GetCheat(code), value) << code;
    EXPECT_EQ(game->GetEnduranceScaleSide1(), 2.0f);
    EXPECT_EQ(game->GetEnduranceScaleSide2(), 0.5f);
    settings().side_flag = 1;
    EXPECT_EQ(game->GetEnduranceScaleSide1(), 0.5f);
    EXPECT_EQ(game->GetEnduranceScaleSide2(), 2.0f);
    TvPlayerScore score{1, 1, 1, 1};
    EXPECT_EQ(game->GetLocalPlayerScore(&score), OM_S_OK);
    EXPECT_EQ(score.kills_side_a + score.shots_fired, 0);
}

TEST_F(RegistryTest, DealDamageGoesToTheObjectsAddDamage) {
    auto* o = new TavrinObject;
    o->Create(nullptr);
    game->DealDamage(o, 0.75f, 3);
    game->DealDamage(o, 0.5f, 3);
    EXPECT_EQ(o->damage, 1.25f);
    EXPECT_EQ(o->IsDead(), 1);
    o->Release();
}

TEST_F(RegistryTest, SpawningNeedsAWorldObjectFlagAndAKnownArchetype) {
    ITvObject* out = reinterpret_cast<ITvObject*>(1);
    EXPECT_EQ(game->SpawnGroundObject("tree", 0x3, &out), OM_S_OK);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(game->SpawnGroundObject("tree", 0x40, &out), OM_E_FAIL);
    EXPECT_EQ(game->SpawnGroundObject("", 0x40, &out), OM_E_FAIL);
    EXPECT_EQ(game->master_count(), 0);
}

} // namespace
