// The game's frame: update stages and their marks, the clock and the fixed weapon steps,
// the outcome, the render passes in order, a camera that cannot begin, the reinforcement
// line and the deferred red pass with its saved fog states.
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

using gametest::atomics_of;
using gametest::box_model;
using gametest::CallLog;
using gametest::FakeCamera;
using gametest::FakeMission;
using gametest::FakeWeapons;
using gametest::GameEngineTest;
using gametest::GameProbe;
using gametest::TestObject;
using gametest::TestSettings;

namespace {

using Strings = std::vector<std::string>;

class FrameTest : public GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        owned = std::make_unique<TestSettings>();
        game = new GameProbe;
        ASSERT_EQ(game->BeginSession(&owned->settings), OM_S_OK);

        raster = LgRasterCreate(64, 64, 32, LgRasterTypeCamera);
        engine_camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(engine_camera, frame);
        LgCameraSetRaster(engine_camera, raster);

        camera = new FakeCamera;
        camera->log = &log;
        camera->engine_camera = engine_camera;
        game->viewport_cameras_[0] = camera; // the game's reference
        game->AddObject(camera, kTvEventMaskViewport, kTvTakesInput | kTvUpdateEveryFrame);

        mission = new FakeMission;
        mission->log = &log;
        game->SetMission(mission);
        weapons = new FakeWeapons;
        weapons->game_ref = game;
        weapons->log = &log;
        game->SetWeapons(weapons);
    }
    void TearDown() override {
        game->Destroy();
        game->Release();
        mission->Release();
        weapons->Release();
        owned.reset();
        LgCameraDestroy(engine_camera);
        LgFrameDestroy(frame);
        LgRasterDestroy(raster);
    }
    Strings& stages() { return owned->profiler->stages; }
    void advance(uint32_t ms) { owned->timer->total_ms += ms; }
    TestObject* add_player(int32_t slot) {
        auto* plane = new TestObject(100 + slot, 2);
        game->SetPlayerPlane(plane, 0, slot);
        plane->Release();
        return plane;
    }
    // The callback the game calls with the raster near the end of the frame.
    static void overlay(LgRaster* raster, void* context) {
        auto* self = static_cast<FrameTest*>(context);
        self->log.add("overlay");
        self->overlay_raster = raster;
    }

    std::unique_ptr<TestSettings> owned;
    GameProbe* game = nullptr;
    LgRaster* raster = nullptr;
    LgCamera* engine_camera = nullptr;
    LgFrame* frame = nullptr;
    FakeCamera* camera = nullptr;
    FakeMission* mission = nullptr;
    FakeWeapons* weapons = nullptr;
    CallLog log;
    LgRaster* overlay_raster = nullptr;
};

TEST_F(FrameTest, UpdateRunsItsStagesInOrderAndTheFirstFrameHasNoTime) {
    auto* o = new TestObject(1, 0);
    game->AddObject(o, 0x1c0, kTvUpdateEveryFrame);
    o->Release();
    advance(40);
    game->Update();
    EXPECT_EQ(stages(), (Strings{"Object Update", "Weapons Update", "Particles Update",
                                 "Mission Update", "Landscape Update"}));
    EXPECT_EQ(game->GetFrameTime(), 0.0f);
    EXPECT_EQ(TvCurrentFrameTime, 0.0f);
    EXPECT_EQ(o->updates, 1);
    EXPECT_EQ(mission->updates, 1);
    advance(16);
    game->Update();
    EXPECT_FLOAT_EQ(game->GetFrameTime(), 0.016f);
    EXPECT_FLOAT_EQ(TvCurrentFrameTime, 0.016f);
    advance(500);
    game->Update();
    EXPECT_FLOAT_EQ(game->GetFrameTime(), 0.1f);
}

TEST_F(FrameTest, WeaponsStepInFixedSixtiethsAndCarryTheRest) {
    game->Update(); // the first frame: no time
    advance(50);
    game->Update();
    EXPECT_EQ(weapons->step_times.size(), 2u);
    advance(50);
    game->Update();
    EXPECT_EQ(weapons->step_times.size(), 5u);
    for (float t : weapons->step_times) EXPECT_FLOAT_EQ(t, 1.0f / 60.0f);
    EXPECT_FLOAT_EQ(game->GetFrameTime(), 0.05f); // restored after the steps
    EXPECT_GT(game->weapon_time_, 0.0f);
    EXPECT_LT(game->weapon_time_, 1.0f / 60.0f);
}

TEST_F(FrameTest, AHalfSecondFrameAdvancesByATenthInSixStepsAndCarriesTheRest) {
    game->Update();
    advance(500);
    game->Update();
    EXPECT_FLOAT_EQ(game->GetFrameTime(), 0.1f);
    EXPECT_EQ(weapons->step_times.size(), 6u);
    advance(16); // short of a step: carried
    game->Update();
    EXPECT_EQ(weapons->step_times.size(), 6u);
    EXPECT_NEAR(game->weapon_time_, 0.016f, 1e-5f);
    advance(1);
    game->Update();
    EXPECT_EQ(weapons->step_times.size(), 7u);
}

TEST_F(FrameTest, TimeStandsOutsideTheRunningState) {
    auto* o = new TestObject(1, 0);
    game->AddObject(o, 0x1c0, kTvUpdateEveryFrame);
    o->Release();
    advance(100);
    game->Update();
    advance(100);
    game->Update();
    const int32_t clock = game->GetTimeMs();
    game->set_run_state(kTvRunStateEditing);
    advance(100);
    game->Update();
    EXPECT_EQ(game->GetFrameTime(), 0.0f);
    EXPECT_EQ(game->GetTimeMs(), clock);
    EXPECT_EQ(o->updates, 3); // every stage still runs, with no time
    game->set_run_state(0);
    game->Update();
    EXPECT_EQ(game->GetTimeMs(), clock);
}

TEST_F(FrameTest, TheOutcomeIsTheMissionsUnlessNoPlayerLivesAndThenStays) {
    struct Case {
        bool player;
        int32_t player_status;
        int32_t evaluation;
        int32_t outcome;
    };
    const Case cases[] = {{false, 0, 0, kTvOutcomeNoPlayer},
                          {true, 0, 0, 0},
                          {true, 0, kTvOutcomeAccomplished, kTvOutcomeAccomplished},
                          {true, 1, 0, kTvOutcomeNoPlayer},
                          {true, 2, kTvOutcomeFailed, kTvOutcomeNoPlayer}};
    for (const Case& c : cases) {
        game->BeginSession(&owned->settings);
        if (c.player) add_player(0)->status = c.player_status;
        mission->evaluation = c.evaluation;
        game->Update();
        EXPECT_EQ(game->GetOutcome(), c.outcome) << c.player << c.evaluation;
        mission->evaluation = kTvOutcomeTimeUp;
        game->Update();
        if (c.outcome != 0) EXPECT_EQ(game->GetOutcome(), c.outcome);
    }
}

TEST_F(FrameTest, NothingIsJudgedWhileEditing) {
    game->set_run_state(kTvRunStateEditing);
    mission->evaluation = kTvOutcomeFailed;
    game->Update();
    EXPECT_EQ(mission->evaluations, 0);
    EXPECT_EQ(game->GetOutcome(), 0);
}

TEST_F(FrameTest, RenderRunsItsPassesInOrder) {
    auto* effects = new TestObject(1, 0);
    game->AddObject(effects, 0x1c0, kTvDrawEffects);
    effects->Release();
    game->Render(overlay, this);
    EXPECT_EQ(stages(),
              (Strings{"Explosion update", "Before Camera Clear", "Camera Clear", "Backdrop Render",
                       "World Render", "Deferred (Red) Render", "Object Effects Render",
                       "Weapons Render", "Particle Render", "Explosion Render", "Camera Render"}));
    EXPECT_EQ(log.calls, (Strings{"begin", "world", "weapons render", "mission draw",
                                  "camera render", "overlay", "end"}));
    EXPECT_EQ(effects->renders, 1);
    EXPECT_EQ(overlay_raster, raster);
    EXPECT_EQ(game->GetViewPosition(), &camera->position);
    EXPECT_EQ(TvCurrentCamera, engine_camera);

    log.calls.clear();
    game->set_run_state(kTvRunStateEditing);
    game->Render(nullptr, nullptr);
    EXPECT_EQ(log.calls, (Strings{"begin", "world", "weapons render", "editor overlay",
                                  "mission draw", "camera render", "end"}));
}

TEST_F(FrameTest, ACameraThatCannotBeginDrawsNothing) {
    camera->begin_result = OM_E_FAIL;
    game->Render(overlay, this);
    EXPECT_EQ(log.calls, Strings{"begin"});
    EXPECT_EQ(stages(), Strings{"Explosion update"});
}

TEST_F(FrameTest, TheReinforcementLineIsDrawnOnlyWhenSomeAreEarned) {
    game->Render(nullptr, nullptr);
    EXPECT_TRUE(mission->texts.empty());
    mission->earned = 5;
    game->Render(nullptr, nullptr);
    ASSERT_EQ(mission->texts.size(), 1u);
    EXPECT_EQ(mission->texts[0], "Reinforcements: 5");
    EXPECT_EQ(mission->text_x, 10.0f);
    EXPECT_EQ(mission->text_y, 440.0f);
}

// What the fog states held while a deferred atomic was drawn.
struct SeenStates {
    uint8_t table_entry = 0;
    uintptr_t colour = 0;
    int draws = 0;
};
SeenStates seen;

LgAtomic* record_states(LgAtomic* atomic) {
    uintptr_t table = 0;
    LgRenderStateGet(17, &table);
    seen.table_entry = table ? reinterpret_cast<const uint8_t*>(table)[100] : 0;
    LgRenderStateGet(14, &seen.colour);
    ++seen.draws;
    return atomic;
}

TEST_F(FrameTest, TheDeferredPassDrawsRedThenRestoresTheFogStates) {
    auto* archetype = new TavrinObject;
    archetype->Create(nullptr);
    LgClump* model = box_model();
    archetype->SetProperty(kTvPropModel, reinterpret_cast<uintptr_t>(model));
    TvCreateDescriptor d{};
    d.archetype = archetype;
    d.endurance = 1.0f;
    d.game = game;
    auto* struck = new TavrinObject;
    ASSERT_EQ(struck->Create(&d), OM_S_OK);
    struck->saved_render_callback = record_states;
    struck->flash_time = kTvHitFlashSeconds;

    ASSERT_EQ(LgCameraBeginUpdate(engine_camera), engine_camera);
    std::array<uint8_t, 256> table;
    table.fill(7);
    LgRenderStateSet(17, table.data());
    LgRenderStateSet(14, reinterpret_cast<void*>(uintptr_t(0x12345678)));
    LgAtomic* atomic = atomics_of(struck->model).front();
    EXPECT_EQ(atomic->renderCallBack(atomic), nullptr); // queued, not drawn
    seen = {};
    game->DrawDeferred();
    EXPECT_EQ(seen.draws, 1);
    EXPECT_EQ(seen.table_entry, 128);
    EXPECT_EQ(seen.colour, 0xffff0000u);
    uintptr_t after_table = 0, after_colour = 0;
    LgRenderStateGet(17, &after_table);
    LgRenderStateGet(14, &after_colour);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(after_table)[100], 7);
    EXPECT_EQ(after_colour, 0x12345678u);
    EXPECT_EQ(game->deferred_count_, 0);
    LgCameraEndUpdate(engine_camera);

    for (int i = 0; i < kTvMaxDeferredAtomics; ++i)
        EXPECT_EQ(game->QueueDeferredAtomic(atomic), OM_S_OK);
    EXPECT_EQ(game->QueueDeferredAtomic(atomic), OM_E_FAIL);
    // A full queue draws the flashing atomic normally instead of losing it.
    seen = {};
    EXPECT_EQ(atomic->renderCallBack(atomic), atomic);
    EXPECT_EQ(seen.draws, 1);

    struck->Release();
    archetype->Release();
    LgClumpDestroy(model);
}

} // namespace
