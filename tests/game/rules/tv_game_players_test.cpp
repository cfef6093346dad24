// Player slots and the viewport: the camera built over a window of the frame raster and
// linked both ways with the plane, the network plane's own engine sound, the landscape the
// game holds, and the front-end services' harmless defaults.
#include "framework/core/object_manager.h"
#include "game/tv_frontend_services.h"
#include "tests/game/game_test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using gametest::CountedLandscape;
using gametest::GameEngineTest;
using gametest::GameProbe;
using gametest::TestSettings;

namespace {

constexpr uint32_t kPlaneCamera = 516;
constexpr uint32_t kPlaneSoundName = 523;
constexpr uint32_t kPlaneEngineSound = 531;

// The camera class as the game creates it: it owns its record and checks its rasters.
class RecordCamera final : public TavrinObjectBase<ITvCamera> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITvObject, this}, {&IID_ITvCamera, this}});
    }
    OmResult Create(TvCreateDescriptor* d) override {
        auto* record = static_cast<TvCameraDescriptor*>(d);
        if (!record || !record->raster || !record->depth_raster) return OM_E_BADPROPERTY;
        last = this;
        return TavrinObjectBase<ITvCamera>::Create(d);
    }
    OmResult Destroy() override {
        OmFreeMemory(descriptor);
        descriptor = nullptr;
        return TavrinObjectBase<ITvCamera>::Destroy();
    }
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        if (id == kTvCamPropFollowed) {
            followed = reinterpret_cast<ITvObject*>(value);
            return OM_S_OK;
        }
        return TavrinObjectBase<ITvCamera>::SetProperty(id, value);
    }
    OmResult SetCameraPosition(const LgVector*) override { return OM_S_OK; }
    OmResult SetLookAt(const LgVector*) override { return OM_S_OK; }
    OmResult BeginUpdate() override { return OM_S_OK; }
    OmResult EndUpdate() override { return OM_S_OK; }
    OmResult RenderWorld() override { return OM_S_OK; }
    TvCameraDescriptor* record() { return static_cast<TvCameraDescriptor*>(descriptor); }

    static inline RecordCamera* last = nullptr;
    ITvObject* followed = nullptr;
};

const OmClassRecord camera_classes[] = {
    {&CLSID_TavrinCamera, nullptr, nullptr, OmCreateComponent<RecordCamera>, "TavrinCamera"}};

// A plane that may answer the network plane's interface, with a sound name and sound slot.
class TestPlane final : public TavrinObjectBase<ITvObject> {
public:
    explicit TestPlane(bool networked) : networked_(networked) { std::strcpy(sound_name, "camel"); }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (networked_ && iid == IID_ITvNetPlane) {
            *out = static_cast<ITvObject*>(this);
            AddRef();
            return OM_S_OK;
        }
        return TavrinObjectBase<ITvObject>::QueryInterface(iid, out);
    }
    OmResult SetProperty(uint32_t id, uintptr_t value) override {
        if (id == kPlaneCamera)
            camera = value;
        else if (id == kPlaneEngineSound)
            sound = value;
        else
            return TavrinObjectBase<ITvObject>::SetProperty(id, value);
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, uintptr_t* out) override {
        if (id == kPlaneSoundName)
            *out = reinterpret_cast<uintptr_t>(sound_name);
        else if (id == kPlaneEngineSound)
            *out = sound;
        else
            return TavrinObjectBase<ITvObject>::GetProperty(id, out);
        return OM_S_OK;
    }
    char sound_name[32];
    uintptr_t camera = 0;
    uintptr_t sound = 0;

private:
    bool networked_;
};

// The sound front end as the game sees it: one sound per name, and the calls it got.
std::vector<std::string> sound_calls;
int sound_object;
ISound* fake_sound() {
    return reinterpret_cast<ISound*>(&sound_object);
}

class PlayerTest : public GameEngineTest {
protected:
    void SetUp() override {
        GameEngineTest::SetUp();
        ASSERT_EQ(OmRegisterClassTable(
                      camera_classes, 1,
                      [](const GUID& c, const GUID& i, void** o) {
                          return OmGetClassObjectFromTable(camera_classes, 1, c, i, o);
                      },
                      OmGetObjectManager()),
                  OM_S_OK);
        // Rasters remember how they were made, as a real device records it.
        LgEngineInstancePtr->standardFunctions.slot[LgStdRasterCreate] = [](void* out, void*,
                                                                            int32_t flags) {
            static_cast<LgRaster*>(out)->creationFlags = flags;
            return int32_t{1};
        };
        owned = std::make_unique<TestSettings>();
        game = new GameProbe;
        ASSERT_EQ(game->BeginSession(&owned->settings), OM_S_OK);
        ASSERT_EQ(game->SetUpRasters(), OM_S_OK);
        sound_calls.clear();
    }
    void TearDown() override {
        game->Destroy();
        game->Release();
        owned.reset();
        TvInstallFrontEndServices(nullptr);
    }
    std::unique_ptr<TestSettings> owned;
    GameProbe* game = nullptr;
};

TEST_F(PlayerTest, APlayerWithTheCameraGetsAViewportOverTheWholeScreenLinkedBothWays) {
    auto* plane = new TestPlane(false);
    ASSERT_EQ(game->SetPlayerPlane(plane, 1, 0), OM_S_OK);
    RecordCamera* camera = RecordCamera::last;
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(game->viewport_camera(0), static_cast<ITvCamera*>(camera));
    EXPECT_EQ(camera->followed, plane);
    EXPECT_EQ(plane->camera, reinterpret_cast<uintptr_t>(static_cast<ITvCamera*>(camera)));
    const TvCameraDescriptor* record = camera->record();
    EXPECT_EQ(record->game, game);
    EXPECT_EQ(record->far_clip, 1500.0f);
    EXPECT_EQ(LgRasterGetWidth(record->raster), 640);
    EXPECT_EQ(LgRasterGetHeight(record->depth_raster), 480);
    // Registered for input and update, but in no id table and no group.
    EXPECT_EQ(game->master_count(), 1);
    EXPECT_EQ(game->master_object(0), static_cast<ITvObject*>(camera));
    EXPECT_EQ(game->group(0).count, 0);
    // A second player plane with the camera reuses the one viewport.
    auto* second = new TestPlane(false);
    ASSERT_EQ(game->SetPlayerPlane(second, 1, 1), OM_S_OK);
    EXPECT_EQ(game->master_count(), 1);
    EXPECT_EQ(camera->followed, second);
    plane->Release();
    second->Release();
}

TEST_F(PlayerTest, ANetworkPlaneOfAnotherPlayerGetsItsOwnEngineSound) {
    TvFrontEndServices services{};
    services.get_sound_object = [](const char* name) {
        sound_calls.push_back(std::string("get ") + name);
        return fake_sound();
    };
    services.sound_set_int = [](ISound*, int32_t id, int32_t value) {
        sound_calls.push_back("int " + std::to_string(id) + " " + std::to_string(value));
        return OM_S_OK;
    };
    services.sound_set_real = [](ISound*, int32_t id, float value) {
        sound_calls.push_back("real " + std::to_string(id) + " " + std::to_string(int(value)));
        return OM_S_OK;
    };
    services.sound_play = [](ISound*, int32_t looping) {
        sound_calls.push_back("play " + std::to_string(looping));
        return OM_S_OK;
    };
    services.sound_release = [](ISound*) {
        sound_calls.push_back("release");
        return 0u;
    };
    TvInstallFrontEndServices(&services);
    owned->settings.local_player = 0;
    auto* local = new TestPlane(true);
    game->SetPlayerPlane(local, 0, 0);
    EXPECT_TRUE(sound_calls.empty()); // the local player's own plane keeps its sound
    auto* remote = new TestPlane(true);
    remote->sound = 0x1234;
    game->SetPlayerPlane(remote, 0, 1);
    EXPECT_STREQ(remote->sound_name, "camelAI");
    EXPECT_EQ(sound_calls, (std::vector<std::string>{"release", "get camelAI", "int 4 22000",
                                                     "int 6 1", "real 1 1", "play 1"}));
    EXPECT_EQ(remote->sound, reinterpret_cast<uintptr_t>(fake_sound()));
    auto* plain = new TestPlane(false);
    sound_calls.clear();
    game->SetPlayerPlane(plain, 0, 1);
    EXPECT_TRUE(sound_calls.empty());
    for (TestPlane* p : {local, remote, plain}) p->Release();
}

TEST_F(PlayerTest, TheGameHoldsOneLandscapeAndCachesItsWorld) {
    auto* first = new CountedLandscape;
    auto* second = new CountedLandscape;
    first->world = reinterpret_cast<LgWorld*>(uintptr_t(0x100));
    game->SetLandscape(first);
    EXPECT_EQ(first->ref_count(), 2u);
    EXPECT_EQ(game->world(), first->world);
    game->SetLandscape(second);
    EXPECT_EQ(first->ref_count(), 1u);
    EXPECT_EQ(game->world(), nullptr);
    game->SetLandscape(nullptr);
    EXPECT_EQ(second->ref_count(), 1u);
    first->Release();
    second->Release();
}

TEST(FrontEndServices, WithoutAFrontEndEveryServiceIsHarmless) {
    TvInstallFrontEndServices(nullptr);
    TvLogError("x", 1, "nothing happens");
    EXPECT_EQ(TvGetScreenWidth(), 640);
    EXPECT_EQ(TvGetScreenHeight(), 480);
    EXPECT_EQ(TvGetSoundObject("Boost"), nullptr);
    EXPECT_EQ(TvPlaySoundAt("Ammo", nullptr, nullptr), OM_E_FAIL);
    EXPECT_EQ(TvUpdateSounds(), OM_S_OK);
    EXPECT_EQ(TvSoundPlay(nullptr, 1), OM_E_FAIL);
    EXPECT_STREQ(TvGetString("returntobattle", "Return to battle"), "Return to battle");
    TvFrontEndServices services{};
    services.get_screen_width = [] { return 1024; };
    TvInstallFrontEndServices(&services);
    EXPECT_EQ(TvGetScreenWidth(), 1024);
    EXPECT_EQ(TvGetScreenHeight(), 480);
    TvInstallFrontEndServices(nullptr);
}

} // namespace
