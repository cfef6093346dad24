// Two AI planes of the two sides engage each other with real guns through the weapon
// component: from a seeded start the fight ends with a kill within a bounded time, the same way
// every time.
#include "engine/world/lg_random.h"
#include "tests/game/rules/ai_plane_test_support.h"
#include "tests/game/world/weapon_test_support.h"

#include <gtest/gtest.h>

namespace {

using aitest::kSideA;
using aitest::kSideB;
using planetest::placed;

constexpr int kFrameLimit = 60 * 120; // two minutes of game time

class AIDogfightTest : public weapontest::WeaponTest {
protected:
    void SetUp() override {
        WeaponTest::SetUp();
        // Ground under the whole fight: 4000 x 4000 at height 150.
        landscape->FreeMap();
        write_map("wide", "[appearance]\nbsp = wide\n", "wide",
                  landscapetest::quads_world({aitest::kWorldLow},
                                             aitest::kWorldHigh - aitest::kWorldLow));
        ASSERT_EQ(landscape->LoadMap("wide"), OM_S_OK);
        landscape->GetWorld(&world);
        table = aitest::flying_table();
        table.fire_rate = 10.0f;
        table.fire_interval = 0.1f;
        table.fire_on_time = 1.0f;
        table.fire_cycle = 1.5f;
    }

    struct Result {
        int frames = 0;
        int32_t winner = 0; // the side that scored the kill: 8 or 9, 0 for none
        int32_t shots = 0;
        int32_t hits = 0;
        float winner_x = 0.0f, winner_z = 0.0f;
        bool operator==(const Result&) const = default;
    };

    TavrinAIPlane* fighter(uint32_t groups, LgVector at, LgVector heading) {
        TavrinAIPlane* plane = make_plane<TavrinAIPlane>(kTvFlagPlane, placed(at, heading), table);
        entries.back()->group_mask = groups;
        plane->group_mask = groups;
        pose(plane, placed(at, heading));
        plane->state = kTvPlaneFlying;
        plane->speed = table.cruise_speed;
        plane->throttle = plane->previous_throttle = 1.0f;
        EXPECT_EQ(game->AddObject(plane, kTvEventMaskWorldObject, kTvUpdateEveryFrame), OM_S_OK);
        return plane;
    }

    // A fresh weapon (its launch sequence from the start), two planes head on, each told to
    // engage the other and to retaliate; frames of 1/60 s until one of them scores a kill.
    struct Start {
        LgVector a_at, a_heading, b_at, b_heading;
    };
    Result fight(uint32_t seed, const Start& start) {
        if (weapon) {
            game->SetWeapons(nullptr);
            weapon->Destroy();
            weapon->Release();
            weapon = nullptr;
        }
        make_weapon();
        game->SetWeapons(weapon);
        LgRandomSeed(seed);
        TavrinAIPlane* a = fighter(kSideA, start.a_at, start.a_heading);
        TavrinAIPlane* b = fighter(kSideB, start.b_at, start.b_heading);
        for (TavrinAIPlane* p : {a, b}) {
            TavrinAIPlane* other = p == a ? b : a;
            TvPushRetaliateOn(*p, &p->goals, 0.0f);
            TvPushEngage(&p->goals, other->id);
        }
        Result r;
        for (; r.frames < kFrameLimit; ++r.frames) {
            a->Update();
            b->Update();
            weapon->Update();
            if (a->kills_side_b > 0 || b->kills_side_a > 0) break;
        }
        TavrinAIPlane* winner = a->kills_side_b > 0 ? a : b->kills_side_a > 0 ? b : nullptr;
        if (winner) {
            r.winner = winner == a ? kTvGroupSideA : kTvGroupSideB;
            r.winner_x = winner->matrix->pos.x;
            r.winner_z = winner->matrix->pos.z;
        }
        r.shots = a->shots_fired + b->shots_fired;
        r.hits = a->hits_scored + b->hits_scored;
        // The victim is going down and has dropped its goals.
        TavrinAIPlane* loser = winner == a ? b : a;
        EXPECT_EQ(loser->IsDead(), 1);
        EXPECT_EQ(loser->goals.sub_top, nullptr);
        game->RemoveObject(a);
        game->RemoveObject(b);
        return r;
    }

    TvFlightTable table{};
};

TEST_F(AIDogfightTest, ASeededDogfightEndsWithAKillTheSameWayEveryTime) {
    struct Case {
        const char* what;
        Start start;
    } cases[] = {
        {"crossing courses", {{1200, 600, 1500}, {1, 0, 0}, {2000, 650, 2300}, {0, 0, -1}}},
        {"head on", {{1500, 600, 1800}, {0, 0, 1}, {1540, 620, 2600}, {0, 0, -1}}},
        {"opposite ways, one above", {{2000, 500, 2000}, {1, 0, 0}, {2000, 900, 2000}, {-1, 0, 0}}},
        {"far apart", {{1000, 600, 1000}, {0, 0, -1}, {3000, 600, 3000}, {0, 0, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Result first = fight(12345, c.start);
        ASSERT_NE(first.winner, 0) << "no kill in " << kFrameLimit << " frames";
        EXPECT_GE(first.hits, 3) << "three gun hits of 4 take an endurance of 10";
        EXPECT_GT(first.shots, first.hits);
        const Result again = fight(12345, c.start);
        EXPECT_EQ(again, first) << "frames " << again.frames << " and " << first.frames;
    }
}

} // namespace
