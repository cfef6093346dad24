// Shared set-up of the AI behaviour tests: the plane fixture on a wide flat map (ground at 150,
// x and z from 150 to 4150, so the battle area has room), AI planes registered with the game
// in their groups, ground targets, and a plane that records what it fires.
#pragma once

#include "tests/game/world/plane_test_support.h"

#include <vector>

namespace aitest {

using gametest::TestObject;
using planetest::placed;

inline constexpr uint32_t kSideA = 1u << 8;
inline constexpr uint32_t kSideB = 1u << 9;
inline constexpr float kWorldLow = 150.0f;
inline constexpr float kWorldHigh = 4150.0f;

// A flight table that flies: the check table with roll, turn and pitch.
inline TvFlightTable flying_table() {
    TvFlightTable t = planetest::check_table();
    t.roll = 90.0f;
    t.turn = 45.0f;
    t.pitch = 45.0f;
    return t;
}

// An AI plane that keeps the kinds it fires; the secondary weapon answers `ordinance_result`.
class ArmedAIPlane : public TavrinAIPlane {
public:
    OmResult TvPlaneFire(int32_t kind) override {
        fired.push_back(kind);
        return kind == kTvFireOrdinance ? ordinance_result : OM_S_OK;
    }
    std::vector<int32_t> fired;
    OmResult ordinance_result = OM_S_OK;
};

class GameWithReinforcements : public gametest::GameProbe {
public:
    using TavrinGame::reinforcements_used_;
};

class AIBehaviourTest : public planetest::PlaneTest {
protected:
    void SetUp() override {
        PlaneTest::SetUp();
        landscape->FreeMap();
        write_map("wide", "[appearance]\nbsp = wide\n", "wide",
                  landscapetest::quads_world({kWorldLow}, kWorldHigh - kWorldLow));
        ASSERT_EQ(landscape->LoadMap("wide"), OM_S_OK);
        landscape->GetWorld(&world);
    }

    // An AI plane of kind T registered with the game in the groups, posed at `where`.
    template <class T = TavrinAIPlane>
    T* add_ai(uint32_t groups, const LgMatrix& where, uint32_t flags = kTvFlagPlane) {
        T* plane = make_plane<T>(flags, where, table);
        entries.back()->group_mask = groups;
        plane->group_mask = groups;
        pose(plane, where);
        EXPECT_EQ(game->AddObject(plane, kTvEventMaskWorldObject, kTvUpdateEveryFrame), OM_S_OK);
        return plane;
    }
    // A ground object (no plane flag) registered with the game.
    TestObject* add_ground(int32_t id, uint32_t groups, LgVector at) {
        auto* o = new TestObject(id, groups, at);
        EXPECT_EQ(game->AddObject(o, kTvEventMaskWorldObject, kTvUpdateEveryFrame), OM_S_OK);
        o->Release();
        return o;
    }
    static TvGoalEntry* top(TavrinAIPlane* plane) { return plane->goals.sub_top; }
    static std::vector<uint32_t> codes(const TvGoalStack& stack) {
        std::vector<uint32_t> out;
        for (const TvGoalEntry* e = stack.sub_top; e; e = e->next) out.push_back(e->code);
        return out;
    }

    TvFlightTable table = flying_table();
};

} // namespace aitest
