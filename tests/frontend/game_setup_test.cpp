// Game set-up over the started engine: the settings record from aerovant.ini with its initial
// values, the cheat gate, the objects set-up holds, the window hook and the release.
#include "engine/core/lg_engine_instance.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/static_state.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/timer.h"
#include "frontend/settings/settings_file.h"
#include "frontend/setup/cheat_gate.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "game/tv_frontend_services.h"
#include "game/world/om_lg_renderer.h"
#include "media/raster/image_processor.h"
#include "media/raster/raster.h"
#include "platform/graphics/device_profile.h"
#include "platform/window/messages.h"
#include "tests/frontend/video_fixture.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

class GameSetUp : public frontendtest::VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        TvSetPilotProgress({});
        ASSERT_GE(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet_.put()), 0);
    }
    void TearDown() override {
        TvSetPilotProgress({});
        sheet_.reset();
        VideoTest::TearDown();
    }
    void load(const std::string& text) {
        dir_.write_file(TV_SETTINGS_FILE_NAME, text);
        ComRef<IFileStorage> storage;
        ASSERT_GE(OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()), 0);
        sheet_->Clear();
        TvLoadSettingsFile(storage.get(), sheet_.get(), TV_SETTINGS_FILE_NAME);
    }
    std::string key(const char* section, const char* name) {
        char text[64] = {};
        if (sheet_->SetSection(section) < 0 || sheet_->GetString(name, text, sizeof text) < 0)
            return "<missing>";
        return text;
    }
    ComRef<IPropertySheet> sheet_;
};

TEST_F(GameSetUp, FillsTheSettingsRecordWithItsInitialValuesAndTheFile) {
    load("[graphics]\ndrawdistance=900.5\nvSync=1\ndetailtextures=1\nshadows=0\n"
         "[Player1Roll]\nsensitivity=0.25\n[sound]\nhardwaresound=1\n[cheat]\nboost=1\n"
         "[Campaign3]\ndirectory=allied\n");
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    const TvGameSettings& r = TvGetGameSettingsRecord();
    EXPECT_EQ(r.size, 13024u);
    EXPECT_EQ(r.placed_player_count, 0);
    EXPECT_EQ(r.player_count, 8);
    EXPECT_EQ(r.viewport_count, 0);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 480);
    EXPECT_EQ(r.front_end_word6, 1);
    EXPECT_EQ(r.far_clip, 900.5f);
    EXPECT_EQ(r.effects_detail, 1000);
    EXPECT_EQ(r.mission_number, 1);
    EXPECT_EQ(r.timer_device, 1234);
    for (int32_t word : r.front_end_words15) EXPECT_EQ(word, 1);
    EXPECT_EQ(r.vsync, 1);
    EXPECT_EQ(r.boost, 0) << "no pilot has passed mission 25";
    EXPECT_EQ(r.game_speed, 1.0f);
    EXPECT_EQ(r.enemy_endurance, 1.0f);
    EXPECT_EQ(r.standard_endurance, 1.0f);
    EXPECT_EQ(r.hardware_sound, 1);
    EXPECT_EQ(r.local_player, 0);
    EXPECT_EQ(r.join_values[0], 2475);
    EXPECT_EQ(r.join_values[1], 4200);
    EXPECT_STREQ(r.plane_id, "aircodh2");
    EXPECT_EQ(r.available_planes, 255u);
    EXPECT_EQ(r.settings_sheet, sheet_.get());
    EXPECT_EQ(r.network_client, reinterpret_cast<IUnknown*>(TvGetNetworkClient()));
    ASSERT_NE(r.network_client, nullptr);
    EXPECT_EQ(r.timer, TvGetTimer());
    ASSERT_NE(r.timer, nullptr);
    EXPECT_EQ(r.profiler, TvGetProfiler());
    ASSERT_NE(r.profiler, nullptr);
    EXPECT_EQ(r.keyboard_device, TvGetKeyboardDevice());
    EXPECT_NE(TvGetKeyboardDevice(), 0);
    EXPECT_EQ(r.mouse_device, TvGetMouseDevice());
    EXPECT_NE(TvGetEngineCamera(), nullptr);
    EXPECT_NE(TvGetInput(), nullptr);
    EXPECT_EQ(TvDetailTexturesEnabled, 1);

    const TvGameSetupSettings& s = TvGetGameSetupSettings();
    EXPECT_EQ(s.roll_sensitivity, 0.25f);
    EXPECT_EQ(s.pitch_sensitivity, 0.5f);
    EXPECT_EQ(s.throttle_sensitivity, 1.0f);
    EXPECT_EQ(s.shadows, 0);
    EXPECT_EQ(s.campaign_directories[3], "allied");
    // What was missing is written back.
    EXPECT_EQ(key("graphics", "effectsdetail"), "1000");
    EXPECT_EQ(key("graphics", "drawdistance"), "900.5");
    EXPECT_NE(key("sound", "hardwaresound"), "<missing>");
    // The image-reduction level follows the started device's free texture memory.
    const int32_t free_memory = LgEngineRequest0CGet();
    EXPECT_GT(free_memory, 0);
    EXPECT_EQ(TvGetImageReductionLevel(), TvTextureReductionDivisor(free_memory));
}

TEST_F(GameSetUp, AFreshFileGetsTheDefaultsAndTheDetailTexturesStayOff) {
    load("");
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    EXPECT_EQ(TvGetGameSettingsRecord().far_clip, 600.0f);
    EXPECT_EQ(TvGetGameSettingsRecord().vsync, 0);
    EXPECT_EQ(TvDetailTexturesEnabled, 0);
    EXPECT_EQ(key("graphics", "drawdistance"), "600.0");
    EXPECT_EQ(key("graphics", "effectsdetail"), "1000");
}

// A 256 x 256 "jpg" texture read through the engine's reader as the front end registers it,
// after set-up: the width it loads at (-1 when it does not load).
int32_t jpg_texture_width() {
    ComRef<IRaster> picture;
    EXPECT_EQ(OmNewMemoryRaster(256, 256, 0xc0120, picture.put()), OM_S_OK);
    void* pixels = nullptr;
    int32_t stride = 0;
    EXPECT_EQ(picture->Lock(OM_LOCK_WRITE, &pixels, &stride), OM_S_OK);
    for (int32_t y = 0; y < 256; ++y)
        std::fill_n(reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pixels) + y * stride), 256,
                    0xff2080e0u);
    picture->Unlock();
    ComRef<IFileStorage> storage;
    EXPECT_EQ(OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()), OM_S_OK);
    ComRef<IImageProc> images;
    EXPECT_EQ(OmCreate(CLSID_ImageProc, IID_IImageProc, images.put()), OM_S_OK);
    EXPECT_EQ(images->SaveRaster(storage.get(), "picture.jpg", picture.get()), OM_S_OK);
    LgImageRegisterFileFormat("jpg", TvLoadImageRaster, nullptr);
    LgTexture* texture = LgTextureRead("picture", nullptr);
    if (!texture) return -1;
    const int32_t width = LgRasterGetWidth(LgTextureGetRaster(texture));
    LgTextureDestroy(texture);
    return width;
}

// Set-up on a device with little free texture memory: 8 MB gives the level 3.
class SmallTextureMemory : public GameSetUp {
protected:
    void SetUp() override {
        platform::DeviceProfile profile = platform::default_profile();
        profile.video_memory = 8u << 20;
        platform::set_device_profile(profile);
        GameSetUp::SetUp();
    }
    void TearDown() override {
        GameSetUp::TearDown();
        platform::set_device_profile(platform::default_profile());
        TvTextureReductionLevel = 0;
    }
};

TEST_F(SmallTextureMemory, SetUpGivesTheGameItsLevelAndJpgTexturesLoadHalved) {
    load("");
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    EXPECT_EQ(TvTextureReductionLevel, TvTextureReductionDivisor(LgEngineRequest0CGet()));
    EXPECT_GT(TvTextureReductionLevel, 1);
    EXPECT_EQ(jpg_texture_width(), 128);
}

TEST_F(GameSetUp, WithAmpleTextureMemoryJpgTexturesLoadAtFullSize) {
    load("");
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    EXPECT_EQ(TvTextureReductionLevel, 0);
    EXPECT_EQ(jpg_texture_width(), 256);
}

TEST(TextureReduction, DividesTheReferenceByTheDeviceMemory) {
    const struct {
        int32_t device;
        int32_t level;
    } cases[] = {{31457280, 1}, {4194304, 7}, {62914560, 0}, {1, 31457280}, {0, 0}, {-1, 0}};
    for (const auto& c : cases) EXPECT_EQ(TvTextureReductionDivisor(c.device), c.level) << c.device;
}

TEST_F(GameSetUp, CheatsCountOnlyOnceAPilotIsPastMission25) {
    const struct {
        std::vector<TvPilotCampaignProgress> pilots;
        bool unlocked;
    } cases[] = {
        {{}, false},
        {{{true, 25}}, false},
        {{{false, 40}, {true, 3}}, false},
        {{{true, 2}, {true, 26}}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pilots.size());
        EXPECT_EQ(TvCheatsUnlocked(c.pilots), c.unlocked);
        TvSetPilotProgress(c.pilots);
        load("[cheat]\nboost=1\ninfinite=1\ninvulnerable=1\ngamespeed=2.5\nenemyendurance=0.5\n");
        ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
        const TvGameSettings& r = TvGetGameSettingsRecord();
        EXPECT_EQ(r.boost, c.unlocked ? 1 : 0);
        EXPECT_EQ(r.infinite, c.unlocked ? 1 : 0);
        EXPECT_EQ(r.invulnerable, c.unlocked ? 1 : 0);
        EXPECT_EQ(r.game_speed, c.unlocked ? 2.5f : 1.0f);
        EXPECT_EQ(r.enemy_endurance, c.unlocked ? 0.5f : 1.0f);
    }
}

TEST_F(GameSetUp, WithoutASettingsSheetItSaysSoAndFails) {
    CaptureStderr();
    EXPECT_EQ(TvSetUpGame(nullptr), OM_E_FAIL);
    EXPECT_NE(GetCapturedStderr().find("The Aerovant: Couldn't open aerovant.ini file properly"),
              std::string::npos);
}

TEST_F(GameSetUp, TheHookFollowsFocusTakesPaintAndTurnsCloseIntoTheQuitFlag) {
    load("");
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    platform::Window* window = TvGetMainWindow()->GetHandle();
    ASSERT_TRUE(platform::is_window(window));
    EXPECT_EQ(TvGetFocusFlag(), 1);
    EXPECT_EQ(TvGetQuitFlag(), 0);
    // Through the window procedure: the hook sees the messages first.
    platform::send_message(window, platform::WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(TvGetFocusFlag(), 0);
    EXPECT_EQ(TvFrontEndMessageHook(window, platform::WM_PAINT, 0, 0), -1);
    platform::send_message(window, platform::WM_SETFOCUS, 0, 0);
    EXPECT_EQ(TvGetFocusFlag(), 1);
    EXPECT_EQ(TvFrontEndMessageHook(window, platform::WM_PAINT, 0, 0), 0);
    EXPECT_EQ(TvFrontEndMessageHook(window, platform::WM_KEYDOWN, 0, 0), -1);
    platform::send_message(window, platform::WM_CLOSE, 0, 0);
    EXPECT_EQ(TvGetQuitFlag(), 1);
    EXPECT_TRUE(platform::is_window(window)) << "the window stays for the shutdown";
    // Taken off the window at release.
    TvReleaseSetUpWindow();
    TvSetQuitFlag(0);
    platform::send_message(window, platform::WM_KILLFOCUS, 0, 0);
    EXPECT_EQ(TvGetFocusFlag(), 1);
}

// The first set-up leaves the process-wide objects it made first (the shared sound object and
// the like) until framework shutdown, which the program's own test covers; after that, a set-up
// and shutdown leave nothing.
TEST_F(GameSetUp, ReleaseLeavesNothingBehind) {
    load("[graphics]\n");
    ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
    TvShutDownFrontEnd();
    const int64_t blocks = OmLiveHeapBlocks();
    for (int run = 0; run < 2; ++run) {
        ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
        TvShutDownFrontEnd();
        EXPECT_EQ(TvGetInput(), nullptr);
        EXPECT_EQ(TvGetNetworkClient(), nullptr);
        EXPECT_EQ(TvGetSettingsSheet(), nullptr);
        EXPECT_EQ(TvGetGameSettingsRecord().timer, nullptr);
        EXPECT_EQ(OmLiveHeapBlocks(), blocks) << "run " << run;
    }
}

} // namespace
