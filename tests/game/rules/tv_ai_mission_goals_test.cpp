// AI planes from a mission file: the goals of every air entry become the plane's stack with the
// first goal on top, unknown codes and station goals without a target left out; the waits
// hide the plane (out of the world, silent, status 2) until their condition, then it appears
// and starts in flight.
#include "engine/world/lg_world_tie.h"
#include "tests/game/rules/mission_test_support.h"

#include <vector>

namespace missiontest {
namespace {

class GameWithReinforcements : public gametest::GameProbe {
public:
    using TavrinGame::reinforcements_used_;
};

constexpr const char* kHeader = "[map]\nmap = flat\noffset = 0 0 0\n"
                                "[archetypes]\nair = camel fokker\n"
                                "[air0]\nname = camel\nid = 1\ngroups = 256\npos = 300 400 300\n"
                                "at = 0 0 1\nup = 0 1 0\nright = 1 0 0\n";

class AIMissionGoalsTest : public MissionTest {
protected:
    void TearDown() override {
        if (game) {
            game->Destroy();
            game->Release();
        }
        mission.reset();
        MissionTest::TearDown();
    }
    void start(const std::string& text) {
        write_mission(60, text);
        mission = load(60);
        game = new GameWithReinforcements;
        ASSERT_EQ(game->BeginSession(&owned.settings), OM_S_OK);
        game->frame_time_ = 1.0f / 60.0f;
        ASSERT_EQ(mission->Start(game), OM_S_OK);
    }
    TavrinAIPlane* plane(int32_t id) {
        ITvObject* object = game->GetObjectById(id);
        return object ? static_cast<TavrinAIPlane*>(static_cast<ITvPlane*>(object)) : nullptr;
    }
    static std::vector<const TvGoalEntry*> stack(const TavrinAIPlane* p) {
        std::vector<const TvGoalEntry*> out;
        for (const TvGoalEntry* e = p->goals.sub_top; e; e = e->next) out.push_back(e);
        return out;
    }
    static std::vector<uint32_t> codes(const TavrinAIPlane* p) {
        std::vector<uint32_t> out;
        for (const TvGoalEntry* e : stack(p)) out.push_back(e->code);
        return out;
    }

    gametest::TestSettings owned;
    ComRef<ITvMission> mission;
    GameWithReinforcements* game = nullptr;
};

TEST_F(AIMissionGoalsTest, MissionGoalsBecomeTheStackWithTheFirstOnTop) {
    start(std::string(kHeader) +
          "[air0goal0]\ntype = 32\npos = 600 400 600\nreal = 50\n"
          "[air0goal1]\ntype = 80\n"
          "[air0goal2]\ntype = 112\ntargetid = -9\n"
          "[air0goal3]\ntype = 200\n"
          "[air0goal4]\ntype = 16\n"
          "[air1]\nname = fokker\nid = 2\ngroups = 512\npos = 500 400 500\n"
          "[air1goal0]\ntype = 48\ntargetid = 1\npos = 320 450 280\n"
          "[air1goal1]\ntype = 336\ntargetid = 7\npos = 1 1 1\nreal = 100\n"
          "[air1goal2]\ntype = 336\ntargetid = 1\npos = 310 400 290\nreal = 150\n"
          "[air1goal3]\ntype = 304\nreal = 4\n"
          "[air1goal4]\ntype = 288\ntargetid = 1\npos = 700 0 700\nreal = 30\n"
          "[air1goal5]\ntype = 352\nreal = 2.5\n"
          "[air1goal6]\ntype = 400\nint = 3\n"
          "[air1goal7]\ntype = 256\npos = 640 500 660\n"
          "[air1goal8]\ntype = 128\ntargetid = 5\n"
          "[air1goal9]\ntype = 144\ntargetid = 6\n"
          "[air1goal10]\ntype = 368\n"
          "[air1goal11]\ntype = 320\n"
          "[air1goal12]\ntype = 96\npos = 10 20 30\nreal = 2\n");
    TavrinAIPlane* first = plane(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(codes(first), (std::vector<uint32_t>{32, 113, 112, 17, 18, 19, 16}))
        << "codes 80 and 200 are skipped";
    EXPECT_EQ(stack(first)[0]->real, 2500.0f) << "radius squared";
    EXPECT_EQ(stack(first)[0]->point.x, 600.0f);
    EXPECT_EQ(stack(first)[1]->target, -9);
    EXPECT_EQ(stack(first)[2]->target, -9);

    TavrinAIPlane* second = plane(2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(codes(second),
              (std::vector<uint32_t>{48, 336, 304, 288, 352, 400, 256, 128, 144, 368, 320, 96}))
        << "the escort of a missing object is not pushed";
    const auto goals = stack(second);
    // Station offsets from the target's position (300, 400, 300), level with it.
    EXPECT_EQ(goals[0]->target, 1);
    EXPECT_EQ(goals[0]->real, 30.0f);
    EXPECT_FLOAT_EQ(goals[0]->point.x, 20.0f);
    EXPECT_FLOAT_EQ(goals[0]->point.y, 0.0f);
    EXPECT_FLOAT_EQ(goals[0]->point.z, -20.0f);
    EXPECT_FLOAT_EQ(goals[1]->point.x, 10.0f);
    EXPECT_EQ(goals[1]->real, 150.0f);
    EXPECT_EQ(second->engage_parameter, 4.0f);
    EXPECT_EQ(goals[3]->real, 900.0f);
    EXPECT_EQ(goals[3]->target, 1);
    EXPECT_EQ(goals[4]->real, 2.5f);
    EXPECT_EQ(goals[5]->integer, 3);
    EXPECT_EQ(goals[6]->point.z, 660.0f);
    EXPECT_EQ(goals[7]->target, 5);
    EXPECT_EQ(goals[8]->target, 6);
    EXPECT_EQ(goals[11]->real, 2.0f);
    EXPECT_EQ(goals[11]->point.y, 20.0f);
    EXPECT_EQ(second->retaliate, 0u) << "set when the goal runs";
}

TEST_F(AIMissionGoalsTest, WaitsHideThePlaneUntilItIsWanted) {
    start(std::string(kHeader) + "[air1]\nname = fokker\nid = 2\ngroups = 512\npos = 500 400 500\n"
                                 "[air1goal0]\ntype = 352\nreal = 0.5\n"
                                 "[air1goal1]\ntype = 400\nint = 1\n"
                                 "[air1goal2]\ntype = 288\ntargetid = 1\npos = 800 0 800\n"
                                 "real = 100\n"
                                 "[air1goal3]\ntype = 256\npos = 640 500 660\n");
    TavrinAIPlane* waiting = plane(2);
    ASSERT_NE(waiting, nullptr);
    landscapetest::FakeSound* hum = record.sound("fokkerengineAI");
    ASSERT_NE(hum, nullptr);
    ASSERT_NE(LgClumpGetWorld(waiting->model), nullptr);
    const LgVector start_position = waiting->matrix->pos;

    waiting->Update();
    EXPECT_EQ(waiting->hidden, 1u);
    EXPECT_EQ(waiting->IsDead(), 2);
    EXPECT_EQ(game->GetObjectById(2), nullptr) << "hidden planes are no targets";
    EXPECT_EQ(LgClumpGetWorld(waiting->model), nullptr);
    EXPECT_GE(hum->stops, 1);
    const int32_t plays = hum->plays;

    // Half a second: about 30 frames.
    int frames = 1;
    for (; frames < 60 && waiting->hidden; ++frames) {
        EXPECT_EQ(hum->plays, plays) << "a hidden plane stays silent";
        EXPECT_EQ(waiting->matrix->pos.y, start_position.y) << "and does not move";
        waiting->Update();
    }
    EXPECT_NEAR(frames, 30, 1);
    EXPECT_NE(LgClumpGetWorld(waiting->model), nullptr);
    EXPECT_GT(hum->plays, plays);

    // The reinforcement wait hides it again until the game has used one reinforcement.
    for (int i = 0; i < 5; ++i) waiting->Update();
    EXPECT_EQ(LgClumpGetWorld(waiting->model), nullptr);
    EXPECT_EQ(waiting->hidden, 1u);
    game->reinforcements_used_ = 1;
    waiting->Update();
    EXPECT_EQ(waiting->hidden, 0u);

    // Then until plane 1 is within 100 of (800, 800) horizontally.
    TavrinAIPlane* scout = plane(1);
    ASSERT_NE(scout, nullptr);
    for (int i = 0; i < 5; ++i) waiting->Update();
    EXPECT_EQ(waiting->hidden, 1u);
    scout->matrix->pos = {870, 2000, 870};
    waiting->Update();
    EXPECT_EQ(waiting->hidden, 0u);
    waiting->Update();
    EXPECT_EQ(waiting->state, kTvPlaneFlying);
    EXPECT_EQ(waiting->throttle, 1.0f);
    EXPECT_NEAR(waiting->matrix->pos.x, 640.0f, 2.0f) << "started at the goal's point";
    EXPECT_NEAR(waiting->matrix->pos.z, 660.0f, 2.0f);
}

} // namespace
} // namespace missiontest
