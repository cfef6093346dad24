// Shared fixtures of the game tests: the framework and an engine with the owner links, a
// game whose fields the tests can reach, and small stand-ins for the collaborators the game
// drives (timer, profiler, camera, mission, weapons, objects with a settable status).
#pragma once

#include "engine/world/lg_random.h"
#include "framework/platform/profile.h"
#include "framework/platform/timer.h"
#include "game/rules/tavrin_game.h"
#include "tests/engine/world/model_test_support.h"
#include "tests/fixtures/game_neighbours.h"
#include "tests/support/framework_fixture.h"
#include "tools/modelwriter/model_shapes.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace gametest {

using FakeTimer = fixtures::ManualTimer;
using RecordingProfiler = fixtures::RecordingProfiler;

// A game object with its own matrix, a settable status and counters of what it was asked.
class TestObject : public TavrinObjectBase<ITvObject> {
public:
    TestObject(int32_t object_id, uint32_t groups, LgVector position = {0, 0, 0}) {
        descriptor_record = {};
        descriptor_record.id = object_id;
        descriptor_record.group_mask = groups;
        id = object_id;
        group_mask = groups;
        descriptor = &descriptor_record;
        own_matrix = {};
        own_matrix.pos = position;
        matrix = &own_matrix;
        endurance = 1.0f;
    }
    int32_t IsDead() override { return status; }
    OmResult Update() override {
        ++updates;
        return OM_S_OK;
    }
    OmResult Render() override {
        ++renders;
        return OM_S_OK;
    }
    OmResult HandleEvent(const TvEvent* event) override {
        events.push_back(*event);
        if (event->code == kTvEventInput)
            inputs.push_back(*reinterpret_cast<const InputEvent*>(event->data));
        return OM_S_OK;
    }
    OmResult Destroy() override {
        ++destroys;
        return OM_S_OK;
    }

    TvCreateDescriptor descriptor_record;
    LgMatrix own_matrix;
    int32_t status = 0;
    int updates = 0, renders = 0, destroys = 0;
    std::vector<TvEvent> events;
    std::vector<InputEvent> inputs;
};

// Records the order of calls the game makes on its collaborators.
struct CallLog {
    std::vector<std::string> calls;
    void add(const std::string& c) { calls.push_back(c); }
};

// The weapons: counts its steps and the frame time each step saw.
class FakeWeapons final : public TavrinObjectBase<ITvObject> {
public:
    OmResult Update() override {
        step_times.push_back(game_ref->GetFrameTime());
        return OM_S_OK;
    }
    OmResult Render() override {
        if (log) log->add("weapons render");
        return OM_S_OK;
    }
    OmResult Reset() override { return OM_S_OK; }
    ITvGame* game_ref = nullptr;
    CallLog* log = nullptr;
    std::vector<float> step_times;
};

// A viewport camera whose begin may be made to fail.
class FakeCamera final : public TavrinObjectBase<ITvCamera> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvCamera, this}});
    }
    OmResult SetCameraPosition(const LgVector*) override { return OM_S_OK; }
    OmResult SetLookAt(const LgVector*) override { return OM_S_OK; }
    OmResult BeginUpdate() override {
        log->add("begin");
        if (begin_result < 0) return begin_result;
        return engine_camera && !LgCameraBeginUpdate(engine_camera) ? OM_E_FAIL : OM_S_OK;
    }
    OmResult EndUpdate() override {
        log->add("end");
        if (engine_camera) LgCameraEndUpdate(engine_camera);
        return OM_S_OK;
    }
    OmResult RenderWorld() override {
        log->add("world");
        return OM_S_OK;
    }
    OmResult Render() override {
        log->add("camera render");
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t property, uintptr_t* out) override {
        if (property == kTvCamPropEngineCamera) {
            *out = reinterpret_cast<uintptr_t>(engine_camera);
            return OM_S_OK;
        }
        if (property == kTvPropPosition) {
            *out = reinterpret_cast<uintptr_t>(&position);
            return OM_S_OK;
        }
        return TavrinObjectBase<ITvCamera>::GetProperty(property, out);
    }
    CallLog* log = nullptr;
    OmResult begin_result = OM_S_OK;
    LgCamera* engine_camera = nullptr;
    LgVector position{1, 2, 3};
};

// A mission whose evaluation and reinforcements the test sets.
class FakeMission final : public OmObject<FakeMission, ITvMission> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IUnknown, this}});
    }
    OmResult LoadMission(int32_t, char*) override { return OM_S_OK; }
    OmResult Unload() override { return OM_S_OK; }
    OmResult Update() override {
        ++updates;
        return OM_S_OK;
    }
    OmResult Start(ITvGame*) override { return OM_S_OK; }
    OmResult SaveMission(int32_t) override { return OM_S_OK; }
    OmResult DrawClock(ITvObject*) override {
        if (log) log->add("mission draw");
        return OM_S_OK;
    }
    OmResult DrawEditorInfo(ITvObject*) override {
        if (log) log->add("editor overlay");
        return OM_S_OK;
    }
    OmResult DrawText(float x, float y, const char* text, uint32_t) override {
        texts.push_back(text);
        text_x = x;
        text_y = y;
        return OM_S_OK;
    }
    OmResult HandleEditorInput(const TvEvent*) override { return OM_S_OK; }
    int32_t Evaluate() override {
        ++evaluations;
        return evaluation;
    }
    int32_t GetScore() override { return 7; }
    ITvObject* SpawnAirEntry(TvMissionAirEntry*, const GUID&) override { return nullptr; }
    ITvObject* SpawnGroundEntry(TvMissionGroundEntry*, const GUID&) override { return nullptr; }
    ITvObject* SpawnVehicleEntry(TvMissionVehicleEntry*, const GUID&) override { return nullptr; }
    OmResult FillAirEntry(const char*, TvMissionAirEntry*) override { return OM_E_FAIL; }
    OmResult ChangePlaneType(ITvObject*, const char*) override { return OM_E_FAIL; }
    int32_t GetReinforcementsEarned(int32_t) override { return earned; }

    CallLog* log = nullptr;
    int32_t evaluation = 0;
    int32_t earned = 0;
    int evaluations = 0, updates = 0;
    std::vector<std::string> texts;
    float text_x = 0, text_y = 0;
};

// A landscape that only counts its references.
class CountedLandscape final : public OmObject<CountedLandscape, ITvBSPLandscape> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvBSPLandscape, this}});
    }
    OmResult Reset() override { return OM_S_OK; }
    OmResult Unload() override { return OM_S_OK; }
    OmResult LoadMap(const char*) override { return OM_E_FAIL; }
    OmResult FreeMap() override { return OM_S_OK; }
    OmResult LoadTestMap(const char*) override { return OM_E_FAIL; }
    OmResult GetWorld(LgWorld** out) override {
        *out = world;
        return OM_S_OK;
    }
    OmResult RenderSky(ITvObject*) override { return OM_S_OK; }
    OmResult RenderLensFlare(ITvObject*) override { return OM_S_OK; }
    OmResult UpdateView(LgCamera*) override { return OM_S_OK; }
    OmResult LineHitPoint(LgCollisionPrimitive*, LgVector*) override { return OM_S_OK; }
    OmResult LineHitOrient(LgCollisionPrimitive*, LgMatrix*) override { return OM_S_OK; }
    OmResult LineHitFraction(LgCollisionPrimitive*, float*) override { return OM_S_OK; }
    OmResult GetFogColour(LgRGBA*) override { return OM_S_OK; }
    OmResult SetFogColourFromSky(const LgVector*) override { return OM_S_OK; }
    OmResult HeightAboveGround(const LgVector*, float*) override { return OM_S_OK; }
    LgWorld* world = nullptr;
};

// The game with its fields in reach of the tests.
class GameProbe : public TavrinGame {
public:
    using TavrinGame::deferred_count_;
    using TavrinGame::frame_time_;
    using TavrinGame::particles_;
    using TavrinGame::view_position_;
    using TavrinGame::viewport_cameras_;
    using TavrinGame::weapon_time_;
};

// The settings a test game starts from: two player slots, a timer and a profiler.
struct TestSettings {
    TestSettings() {
        settings.player_count = 2;
        settings.width = 640;
        settings.height = 480;
        settings.far_clip = 1500.0f;
        settings.keyboard_device = 0x101;
        settings.mouse_device = 0x102;
        settings.timer_device = kTvTimerDeviceId;
        settings.timer = timer;
        settings.profiler = profiler;
    }
    ~TestSettings() {
        timer->Release();
        profiler->Release();
    }
    TestSettings(const TestSettings&) = delete;
    TestSettings& operator=(const TestSettings&) = delete;

    FakeTimer* timer = new FakeTimer;
    RecordingProfiler* profiler = new RecordingProfiler;
    TvGameSettings settings{};
};

// The framework alone, with a game in session over the test settings.
class GameTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        owned = std::make_unique<TestSettings>();
        game = new GameProbe;
        ASSERT_EQ(game->BeginSession(&settings()), OM_S_OK);
    }
    void TearDown() override {
        game->Destroy();
        game->Release();
        owned.reset();
        testsupport::FrameworkTest::TearDown();
    }
    TvGameSettings& settings() { return owned->settings; }
    std::unique_ptr<TestSettings> owned;
    GameProbe* game = nullptr;
};

// A one-box model in the colour.
inline LgClump* box_model(modelwriter::Colour colour = {200, 100, 50, 255}) {
    modelwriter::Material m;
    m.colour = colour;
    return modeltest::read_clump(modeltest::clump_bytes(
        modelwriter::single_atomic_clump(modelwriter::make_box({1, 1, 1}, m))));
}

// The atomics of a clump in walk order.
inline std::vector<LgAtomic*> atomics_of(LgClump* clump) {
    std::vector<LgAtomic*> out;
    LgClumpForAllAtomics(
        clump,
        [](LgAtomic* a, void* data) {
            static_cast<std::vector<LgAtomic*>*>(data)->push_back(a);
            return a;
        },
        &out);
    return out;
}

// Whether the next game engine also attaches the random-number plug-in (without it LgRandom
// answers 0, which the older tests rely on).
inline bool& attach_random() {
    static bool on = false;
    return on;
}

// An engine with the world plug-in and the game's owner links, and the framework.
class GameEngineTest : public modeltest::ModelEngine {
protected:
    GameEngineTest()
        : modeltest::ModelEngine(0, [] {
              TvOwnerLinkRegister();
              if (attach_random()) LgRandomPluginAttach();
          }) {}
    testsupport::FrameworkScope framework;
};

} // namespace gametest
