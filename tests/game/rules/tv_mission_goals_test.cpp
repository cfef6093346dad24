// Mission goals, score, reinforcements and the clock: evaluation over group strengths the
// test sets through the game's registry, and the clock text caught by a stand-in text renderer.
#include "media/text/text_renderer.h"
#include "tests/game/rules/mission_test_support.h"
#include "tests/game/world/raster_device.h"

#include <memory>

namespace missiontest {
namespace {

using gametest::TestObject;

// Records the lines drawn and where.
class RecordingText final : public OmObject<RecordingText, ITextRenderer> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITextRenderer, this}});
    }
    OmResult Reset() override { return OM_S_OK; }
    OmResult SetFont(IFont*) override { return OM_S_OK; }
    OmResult GetFont(IFont** out) override {
        *out = nullptr;
        return OM_S_OK;
    }
    OmResult SetProperty(uint32_t id, intptr_t value) override {
        if (id == OM_TEXT_PEN_X) x = om_text_value_float(value);
        if (id == OM_TEXT_PEN_Y) y = om_text_value_float(value);
        if (id == OM_TEXT_COLOUR) colours.push_back(uint32_t(value));
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t, intptr_t*) override { return OM_E_FAIL; }
    OmResult DrawText(const uint16_t* text) override {
        std::string line;
        for (const uint16_t* c = text; *c; ++c) line += char(*c);
        lines.push_back(line);
        return OM_S_OK;
    }
    OmResult Empty(intptr_t) override { return OM_S_OK; }
    OmResult Begin() override { return OM_S_OK; }
    OmResult End() override { return OM_S_OK; }
    OmResult SetRenderer(IRenderer*) override { return OM_S_OK; }
    std::vector<std::string> lines;
    std::vector<uint32_t> colours;
    float x = 0, y = 0;
};

class GoalTest : public MissionTest {
protected:
    void SetUp() override {
        MissionTest::SetUp();
        settings = std::make_unique<gametest::TestSettings>();
        game = new gametest::GameProbe;
        ASSERT_EQ(game->BeginSession(&settings->settings), OM_S_OK);
        write_mission(1, "[map]\nmap = flat\n");
        mission = load(1);
        m = fields(mission);
        m->game = game;
        game->SetMission(mission.get());
    }
    void TearDown() override {
        mission.reset();
        game->Destroy();
        game->Release();
        for (TestObject* o : objects) o->Release();
        settings.reset();
        MissionTest::TearDown();
    }
    // Ten members of the group, `alive` of them alive (status 0), the rest destroyed.
    void fill_group(int32_t group, int32_t alive) {
        for (int32_t i = 0; i < 10; ++i) {
            auto* o = new TestObject(int32_t(objects.size()) + 1, 1u << group);
            o->status = i < alive ? 0 : 1;
            game->AddObject(o, kTvEventMaskWorldObject, 5);
            objects.push_back(o);
        }
    }

    std::unique_ptr<gametest::TestSettings> settings;
    gametest::GameProbe* game = nullptr;
    ComRef<ITvMission> mission;
    TavrinMission* m = nullptr;
    std::vector<TestObject*> objects;
};

TEST_F(GoalTest, EvaluationOfKeepAndDestroyGoalsAndTime) {
    struct Case {
        const char* what;
        int32_t alive2, alive5; // of ten in groups 2 and 5
        float elapsed;
        int32_t before, expected;
    } cases[] = {
        {"both met", 6, 1, 0, 0, 16},
        {"kept group below its goal", 4, 1, 0, 0, 34},
        {"destroy goal unmet keeps the outcome", 6, 3, 0, 0, 0},
        {"destroy goal unmet keeps an earlier outcome", 6, 3, 0, 34, 34},
        {"time runs out in the frame the goals are met", 6, 1, 301, 0, 36},
        {"time exactly at the limit is not up", 6, 1, 300, 0, 16},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(game->BeginSession(&settings->settings), OM_S_OK);
        fill_group(2, c.alive2);
        fill_group(5, c.alive5);
        m->group_goals[2] = 50.0f;
        m->group_goals[5] = -80.0f;
        m->time_limit = 300.0f;
        m->elapsed = c.elapsed;
        m->outcome = c.before;
        EXPECT_EQ(mission->Evaluate(), c.expected) << c.what;
        EXPECT_EQ(m->outcome, c.expected) << c.what;
    }
}

TEST_F(GoalTest, WithoutGoalsOrTimeLimitTheOutcomeStays) {
    fill_group(2, 0);
    m->elapsed = 100000.0f;
    EXPECT_EQ(mission->Evaluate(), 0);
    m->outcome = 33;
    EXPECT_EQ(mission->Evaluate(), 33);
}

TEST_F(GoalTest, ScoreCountsKeptAndDestroyedShares) {
    fill_group(2, 6);
    fill_group(5, 1);
    m->group_goals[2] = 50.0f;
    m->group_goals[5] = -80.0f;
    EXPECT_EQ(mission->GetScore(), 60 + 90);
    m->outcome = 16;
    EXPECT_EQ(mission->GetScore(), 500 + 60 + 90);
    EXPECT_EQ(game->GetMissionResult(), 650);
}

TEST_F(GoalTest, ReinforcementsEarnedByThreshold) {
    EXPECT_EQ(mission->GetReinforcementsEarned(1000), 0);
    m->reinforcement_count = 3;
    m->reinforcement_thresholds[0] = 10;
    m->reinforcement_thresholds[1] = 20;
    m->reinforcement_thresholds[2] = 40;
    for (auto [value, earned] : {std::pair{9, 0}, {10, 1}, {25, 2}, {40, 3}})
        EXPECT_EQ(mission->GetReinforcementsEarned(value), earned) << value;
    EXPECT_EQ(game->GetReinforcementsEarned(25), 2);
}

TEST_F(GoalTest, TheClockShowsMinutesAndSecondsLeft) {
    auto* text = new RecordingText;
    ASSERT_NE(m->text_renderer, nullptr);
    m->text_renderer->Release();
    m->text_renderer = text;
    m->time_limit = 200.0f;
    struct Case {
        float elapsed;
        const char* shown;
    } cases[] = {{74.3f, "2:05"}, {200.0f, "0:00"}, {260.0f, "0:00"}, {0.0f, "3:20"}};
    for (const Case& c : cases) {
        m->elapsed = c.elapsed;
        EXPECT_EQ(mission->DrawClock(nullptr), OM_S_OK);
        EXPECT_EQ(text->lines.back(), c.shown) << c.elapsed;
    }
    EXPECT_FLOAT_EQ(text->x, 300.0f);
    EXPECT_FLOAT_EQ(text->y, 10.0f);
    EXPECT_TRUE(text->colours.empty()); // the clock keeps the renderer's colour
    m->time_limit = 0.0f;
    mission->DrawClock(nullptr);
    EXPECT_EQ(text->lines.size(), 4u);

    // A line of text: opaque white by default, else the colour's bytes.
    mission->DrawText(5.0f, 6.0f, "hello", 0);
    mission->DrawText(5.0f, 6.0f, "red", 0x800000ffu);
    EXPECT_EQ(text->lines.back(), "red");
    EXPECT_EQ(text->colours, (std::vector<uint32_t>{0xffffffffu, 0x80ff0000u}));
}

TEST_F(GoalTest, TheUpdateAdvancesTheClockByTheFrameTime) {
    auto* timer = settings->timer;
    for (uint32_t ms : {0u, 50u, 100u, 150u}) {
        timer->total_ms = ms;
        game->Update();
    }
    // The first frame counts 0; each later one its 0.05 s.
    EXPECT_NEAR(m->elapsed, 0.15f, 1e-5);
}

TEST_F(MissionTest, TheTextChainMeasuresAndUnloadReleasesIt) {
    gametest::RasterDevice rasters; // glyph pages are device textures
    write_mission(1, "[map]\nmap = flat\n");
    ComRef<ITvMission> mission = load(1);
    TavrinMission* m = fields(mission);
    ASSERT_NE(m->text_renderer, nullptr);
    ASSERT_NE(m->font_cache, nullptr);
    const int32_t a = TvMeasureTextWidth(mission.get(), "a");
    const int32_t ab = TvMeasureTextWidth(mission.get(), "ab");
    EXPECT_GT(a, 0);
    EXPECT_EQ(ab, a + TvMeasureTextWidth(mission.get(), "b"));
    EXPECT_EQ(TvMeasureTextWidth(mission.get(), ""), 0);
    EXPECT_EQ(TvMeasureTextWidth(nullptr, "ab"), 0);
    EXPECT_EQ(mission->DrawText(1, 1, "over no camera", 0), OM_S_OK);

    EXPECT_EQ(mission->Unload(), OM_S_OK);
    EXPECT_EQ(m->text_renderer, nullptr);
    EXPECT_EQ(m->font, nullptr);
    EXPECT_EQ(m->renderer, nullptr);
    EXPECT_EQ(m->landscape, nullptr);
    EXPECT_EQ(m->plane_kind_count, 0);
    // Without the chain nothing is drawn or measured.
    EXPECT_EQ(TvMeasureTextWidth(mission.get(), "ab"), 0);
    m->time_limit = 10.0f;
    EXPECT_EQ(mission->DrawText(1, 1, "text", 0), OM_S_OK);
    EXPECT_EQ(mission->DrawClock(nullptr), OM_S_OK);
}

} // namespace
} // namespace missiontest
