// aerovant.ini: every key read with its default and its value, the save format, the switches,
// and a damaged file that costs only its unreadable lines.
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/platform/file_storage.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_file.h"
#include "frontend/settings/settings_values.h"
#include "frontend/startup/error_log.h"
#include "tests/frontend/frontend_fixture.h"

#include <gtest/gtest.h>

namespace {

class Settings : public frontendtest::FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        ASSERT_GE(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put()), 0);
        ASSERT_GE(OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()), 0);
        TvResetProgramSettings();
    }
    void TearDown() override {
        sheet.reset();
        storage.reset();
        FrontEndTest::TearDown();
    }
    TvSettingsFileState load(const std::string& text) {
        dir_.write_file(TV_SETTINGS_FILE_NAME, text);
        sheet->Clear();
        return TvLoadSettingsFile(storage.get(), sheet.get(), TV_SETTINGS_FILE_NAME);
    }
    std::string saved(const TvSettingsFileState& state) {
        EXPECT_GE(TvSaveSettingsFile(storage.get(), sheet.get(), TV_SETTINGS_FILE_NAME, state), 0);
        return dir_.read_file(TV_SETTINGS_FILE_NAME);
    }
    ComRef<IPropertySheet> sheet;
    ComRef<IFileStorage> storage;
};

TEST_F(Settings, AFreshFileGetsEveryDefaultAndTheKeysSetUpWritesBack) {
    TvVideoChoice video;
    TvStartWithoutSettingsFile("");
    TvGameSetupSettings game;
    TvReadGameSetupSettings(sheet.get(), true, &game);
    const TvProgramSettings& program = TvGetProgramSettings();
    EXPECT_EQ(video.renderer, 0);
    EXPECT_EQ(video.mode, 0);
    EXPECT_EQ(video.windowed, 0);
    EXPECT_EQ(program.shadows, 1);
    EXPECT_EQ(program.camera_distance, 1.0f);
    EXPECT_EQ(program.camera_scalar, 1.0f);
    EXPECT_EQ(program.detail_textures, 1);
    EXPECT_EQ(program.control_type, 0);
    EXPECT_EQ(program.server_address, "");
    EXPECT_EQ(program.language, "english");
    EXPECT_EQ(game.draw_distance, 600.0f);
    EXPECT_EQ(game.effects_detail, 1000);
    EXPECT_EQ(game.vsync, 0);
    EXPECT_EQ(game.detail_textures, 0);
    EXPECT_EQ(game.shadows, 1);
    EXPECT_EQ(game.boost + game.infinite + game.invulnerable, 0);
    EXPECT_EQ(game.game_speed, 1.0f);
    EXPECT_EQ(game.enemy_endurance, 1.0f);
    EXPECT_EQ(game.pitch_sensitivity, 0.5f);
    EXPECT_EQ(game.roll_sensitivity, 0.5f);
    EXPECT_EQ(game.throttle_sensitivity, 1.0f);
    EXPECT_EQ(game.volumes, (std::array<float, 3>{0.5f, 1.0f, 1.0f}));
    EXPECT_EQ(game.hardware_sound, 0);
    EXPECT_EQ(game.campaign_directories[0], "");
    // Start-up adds nothing to a sheet it did not read; game set-up adds its two sections.
    EXPECT_EQ(saved({}), "\n[]\n\n[graphics]\ndrawdistance=600.0\neffectsdetail=1000\n\n[sound]\n");

    // A "-client" address without a file is the server address, but is not saved.
    TvStartWithoutSettingsFile("127.0.0.1");
    EXPECT_EQ(TvGetProgramSettings().server_address, "127.0.0.1");
    EXPECT_LT(sheet->SetSection("server"), 0);
}

TEST_F(Settings, EveryKeyIsReadAndTheFileRoundTrips) {
    const std::string text = "\n[graphics]\nrenderer=1\nmode=3\nwindowed=1\nshadows=0\n"
                             "cameradistance=2.500000\ncamerascalar=0.750000\ndetailtextures=1\n"
                             "drawdistance=450.000000\neffectsdetail=250\nvSync=1\n"
                             "\n[globalcontrol]\ntype=3\n"
                             "\n[server]\nipaddress=192.168.1.20\n"
                             "\n[language]\nlanguage=german\n"
                             "\n[cheat]\nboost=1\ninfinite=1\ninvulnerable=1\n"
                             "gamespeed=2.000000\nenemyendurance=0.500000\n"
                             "\n[Player1Pitch]\nsensitivity=0.300000\n"
                             "\n[Player1Roll]\nsensitivity=0.400000\n"
                             "\n[Player1Throttle]\nsensitivity=0.900000\n"
                             "\n[sound]\nchannel0vol=0.250000\nchannel1vol=0.600000\n"
                             "channel2vol=0.700000\nhardwaresound=1\n"
                             "\n[Campaign0]\ndirectory=allied\n"
                             "\n[Campaign31]\ndirectory=central\n";
    const TvSettingsFileState state = load(text);
    EXPECT_TRUE(state.read);
    EXPECT_FALSE(state.damaged);
    TvVideoChoice video;
    TvReadStartupSettings(sheet.get(), "", &video);
    TvGameSetupSettings game;
    TvReadGameSetupSettings(sheet.get(), true, &game);
    const TvProgramSettings& program = TvGetProgramSettings();
    EXPECT_EQ(video.renderer, 1);
    EXPECT_EQ(video.mode, 3);
    EXPECT_EQ(video.windowed, 1);
    EXPECT_EQ(program.shadows, 0);
    EXPECT_EQ(program.camera_distance, 2.5f);
    EXPECT_EQ(program.camera_scalar, 0.75f);
    EXPECT_EQ(program.control_type, 3);
    EXPECT_EQ(program.server_address, "192.168.1.20");
    EXPECT_EQ(game.draw_distance, 450.0f);
    EXPECT_EQ(game.effects_detail, 250);
    EXPECT_EQ(game.vsync, 1);
    EXPECT_EQ(game.detail_textures, 1);
    EXPECT_EQ(game.shadows, 0);
    EXPECT_EQ(game.boost + game.infinite + game.invulnerable, 3);
    EXPECT_EQ(game.game_speed, 2.0f);
    EXPECT_EQ(game.enemy_endurance, 0.5f);
    EXPECT_EQ(game.pitch_sensitivity, 0.3f);
    EXPECT_EQ(game.roll_sensitivity, 0.4f);
    EXPECT_EQ(game.throttle_sensitivity, 0.9f);
    EXPECT_EQ(game.volumes, (std::array<float, 3>{0.25f, 0.6f, 0.7f}));
    EXPECT_EQ(game.hardware_sound, 1);
    EXPECT_EQ(game.campaign_directories[0], "allied");
    EXPECT_EQ(game.campaign_directories[31], "central");
    // Nothing was missing, so nothing was added: the file comes back as it was.
    EXPECT_EQ(saved(state), "\n[]\n" + text);

    // Locked cheats are not read even when present.
    TvReadGameSetupSettings(sheet.get(), false, &game);
    EXPECT_EQ(game.boost + game.infinite + game.invulnerable, 0);
    EXPECT_EQ(game.game_speed, 1.0f);
}

TEST_F(Settings, AClientAddressIsWrittenAndMissingSectionsAreCreated) {
    load("[graphics]\nmode=1\n");
    TvVideoChoice video;
    TvReadStartupSettings(sheet.get(), "10.1.2.3", &video);
    EXPECT_EQ(TvGetProgramSettings().server_address, "10.1.2.3");
    ASSERT_GE(sheet->SetSection("server"), 0);
    char address[32];
    ASSERT_GE(sheet->GetString("ipaddress", address, sizeof address), 0);
    EXPECT_STREQ(address, "10.1.2.3");
    EXPECT_GE(sheet->SetSection("globalcontrol"), 0);
}

TEST_F(Settings, ValuesAreWrittenInTheirFormatsAndSwitchesKeepOff) {
    sheet->UseSection("graphics");
    TvSettingsSetReal(sheet.get(), "drawdistance", 512.25f);
    TvSettingsSetInt(sheet.get(), "effectsdetail", -3);
    TvSettingsSetSwitch(sheet.get(), "vSync", true, false);
    TvSettingsSetSwitch(sheet.get(), "shadows", false, true);
    TvSettingsSetSwitch(sheet.get(), "detailtextures", true, true);
    TvSettingsSetSwitch(sheet.get(), "detailtextures", false, true);
    TvSettingsSetSwitch(sheet.get(), "boost", true, false);
    TvSettingsSetSwitch(sheet.get(), "boost", false, false);
    EXPECT_EQ(saved({}), "\n[]\n\n[graphics]\ndrawdistance=512.250000\neffectsdetail=-3\nvSync=1\n"
                         "shadows=0\ndetailtextures=0\n");

    // Switched off, the program's default-on switches read as off at the next start.
    TvVideoChoice video;
    TvReadStartupSettings(sheet.get(), "", &video);
    EXPECT_EQ(TvGetProgramSettings().shadows, 0);
    EXPECT_EQ(TvGetProgramSettings().detail_textures, 0);
}

TEST_F(Settings, RealsThatAreNotFiniteKeepTheirDefaults) {
    // A control layout or a hand-edited file can carry these into the sheet.
    for (const char* text : {"nan", "-nan", "inf", "-infinity", "1e39", "-1e39"}) {
        SCOPED_TRACE(text);
        load(std::string("[graphics]\ndrawdistance=") + text +
             "\n[Player1Roll]\nsensitivity=" + text + "\n[sound]\nchannel0vol=" + text + "\n");
        TvGameSetupSettings game;
        TvReadGameSetupSettings(sheet.get(), false, &game);
        const TvGameSetupSettings defaults;
        EXPECT_EQ(game.roll_sensitivity, defaults.roll_sensitivity);
        EXPECT_EQ(game.draw_distance, defaults.draw_distance);
        EXPECT_EQ(game.volumes[0], defaults.volumes[0]);
    }
    float value = 0.0f;
    sheet->UseSection("graphics");
    sheet->SetString("drawdistance", "1e-40");
    EXPECT_TRUE(TvSettingsGetReal(sheet.get(), "drawdistance", &value)) << "a tiny number is one";
}

TEST_F(Settings, UnreadableLinesCostOnlyThemselvesAndTheFileIsKept) {
    const std::string text = "[graphics]\nmode=2\n"
                             "[broken\nlost=1\n" +
                             std::string(3000, 'x') +
                             "\n"
                             "[sound]\nchannel0vol=0.250000\n";
    testsupport::TempDir logs;
    ASSERT_EQ(TvOpenErrorLog((logs / "log.txt").c_str()), 1);
    const TvSettingsFileState state = load(text);
    TvCloseErrorLog();
    EXPECT_TRUE(state.damaged);
    TvVideoChoice video;
    TvReadStartupSettings(sheet.get(), "", &video);
    EXPECT_EQ(video.mode, 2);
    TvGameSetupSettings game;
    TvReadGameSetupSettings(sheet.get(), false, &game);
    EXPECT_EQ(game.volumes[0], 0.25f);
    EXPECT_LT(sheet->SetSection("broken"), 0);

    const std::string log = logs.read_file("log.txt");
    EXPECT_NE(log.find("aerovant.ini line 3"), std::string::npos) << log;
    EXPECT_NE(log.find("aerovant.ini line 4"), std::string::npos) << log;
    EXPECT_NE(log.find("aerovant.ini line 5"), std::string::npos) << log;

    const std::string written = saved(state);
    EXPECT_NE(written.find("channel0vol=0.250000"), std::string::npos);
    EXPECT_EQ(dir_.read_file(std::string(TV_SETTINGS_FILE_NAME) + ".bak"), text);
}

TEST_F(Settings, AMissingFileIsNotRead) {
    const TvSettingsFileState state =
        TvLoadSettingsFile(storage.get(), sheet.get(), TV_SETTINGS_FILE_NAME);
    EXPECT_FALSE(state.read);
    EXPECT_FALSE(state.damaged);
}

} // namespace
