// Mode and renderer switches with the confirmation page, over the real engine (full screen,
// headless) and the virtual clock: the page shown in the new mode, its time-out back to the
// old mode, a confirmation, a mode that does not start, the game discarded first.
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/page_seam.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/startup_trace.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "game/rules/tv_game.h"
#include "platform/clock.h"
#include "platform/window/window.h"
#include "tests/frontend/video_fixture.h"
#include "tests/support/virtual_clock.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using frontendtest::find_mode;

// What the fake page and the menu display saw.
struct PageScript {
    std::string link;             // what the page ends with (empty: waits out its time-out)
    std::vector<std::string> log; // pages and display calls, with the mode current at each
    int32_t width_on_page = 0;
} script;

std::string fake_page(const char* page, uint32_t timeout_ms) {
    script.log.push_back(std::string(page) + " " + std::to_string(timeout_ms) + " in mode " +
                         std::to_string(TvGetCurrentMode()));
    script.width_on_page = TvGetGameSettingsRecord().width;
    if (!script.link.empty()) return script.link;
    // The page loop until its time-out, on the program's clock.
    const uint32_t start = platform::timeGetTime();
    while (platform::timeGetTime() - start < timeout_ms) platform::Sleep(16);
    return TV_TIMEOUT_LINK;
}

void fake_release_display() {
    script.log.push_back("display released in mode " + std::to_string(TvGetCurrentMode()));
}

void fake_set_up_display() {
    script.log.push_back("display set up in mode " + std::to_string(TvGetCurrentMode()));
}

class VideoModes : public frontendtest::VideoTest {
protected:
    VideoModes() { windowed_ = 0; }
    void SetUp() override {
        VideoTest::SetUp();
        script = {};
        ASSERT_GE(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet_.put()), 0);
        ASSERT_EQ(TvSetUpGame(sheet_.get()), OM_S_OK);
        big_ = find_mode(800, 600);
        ASSERT_GE(big_, 0);
        ASSERT_NE(big_, TvGetCurrentMode());
        TvSetConfiguredMissionMode(TvGetCurrentMode());
        const TvPageHooks hooks = {fake_page, nullptr, fake_release_display, fake_set_up_display};
        TvInstallPageHooks(&hooks);
    }
    void TearDown() override {
        TvInstallPageHooks(nullptr);
        TvShutDownFrontEnd();
        sheet_.reset();
        VideoTest::TearDown();
    }
    std::string graphics(const char* key) {
        char text[32] = {};
        if (sheet_->SetSection("graphics") < 0 || sheet_->GetString(key, text, sizeof text) < 0)
            return "<missing>";
        return text;
    }
    ComRef<IPropertySheet> sheet_;
    int32_t big_ = -1;
};

TEST_F(VideoModes, TheConfirmationPageTimesOutBackToTheOldMode) {
    testsupport::VirtualClockScope clock(1000);
    const int32_t old_mode = TvGetCurrentMode();
    EXPECT_EQ(TvChooseVideoMode(big_), OM_E_FAIL);
    EXPECT_GE(platform::timeGetTime(), 1000u + TV_VIDEO_MODES_TIMEOUT_MS);
    const std::string m = std::to_string(old_mode), b = std::to_string(big_);
    EXPECT_EQ(script.log, (std::vector<std::string>{
                              "display released in mode " + m,
                              "display set up in mode " + b,
                              "menus\\videomodes.html 10000 in mode " + b,
                              "display released in mode " + b,
                              "display set up in mode " + m,
                          }));
    EXPECT_EQ(script.width_on_page, 800) << "the settings record follows the page's mode";
    EXPECT_EQ(TvGetCurrentMode(), old_mode);
    EXPECT_EQ(TvGetConfiguredMissionMode(), old_mode);
    EXPECT_EQ(graphics("mode"), m);
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 640);
    EXPECT_EQ(TvGetGameSettingsRecord().width, 640);
}

TEST_F(VideoModes, WithoutTheMenusThePageWaitsOutItsTimeOut) {
    TvInstallPageHooks(nullptr);
    testsupport::VirtualClockScope clock(0);
    const int32_t old_mode = TvGetCurrentMode();
    EXPECT_EQ(TvChooseVideoMode(big_), OM_E_FAIL);
    EXPECT_GE(platform::timeGetTime(), TV_VIDEO_MODES_TIMEOUT_MS);
    EXPECT_LT(platform::timeGetTime(), TV_VIDEO_MODES_TIMEOUT_MS + 100);
    EXPECT_EQ(TvGetCurrentMode(), old_mode);
}

TEST_F(VideoModes, AConfirmedModeBecomesTheMissionModeAndTheMenusKeepTheirs) {
    script.link = "command:videomodeok";
    const int32_t old_mode = TvGetCurrentMode();
    EXPECT_EQ(TvChooseVideoMode(big_), OM_S_OK);
    EXPECT_EQ(TvGetCurrentMode(), old_mode);
    EXPECT_EQ(TvGetConfiguredMissionMode(), big_);
    EXPECT_EQ(graphics("mode"), std::to_string(big_));
}

// Every switch puts the pointer at the new screen's size and saves the pilots, so a mode
// confirmed and not flown is the pilots' mode at the next start.
TEST_F(VideoModes, AConfirmedModeIsKeptWithThePilotsForTheNextStart) {
    script.link = "command:videomodeok";
    TvClearPilotRoster();
    TvGetPilotRoster().used[0] = 1;
    TvResetPilot(0);
    std::snprintf(TvGetPilotRoster().pilots[0].forenames, 32, "%s", "Kit");
    TvTraceClear();
    EXPECT_EQ(TvChooseVideoMode(big_), OM_S_OK);
    std::vector<std::string> cursor_and_pilots;
    for (const TvTraceEntry& e : TvTraceSteps())
        if (e.step.starts_with("cursor") || e.step == "pilots saved")
            cursor_and_pilots.push_back(e.step);
    EXPECT_EQ(cursor_and_pilots, (std::vector<std::string>{"cursor at 800 x 600", "pilots saved",
                                                           "cursor at 640 x 480", "pilots saved"}));
    EXPECT_EQ(platform::cursor_pos().x, 640);
    EXPECT_EQ(platform::cursor_pos().y, 480);
    EXPECT_NE(dir_.read_file(TV_PILOTS_FILE_NAME).find("videomode=" + std::to_string(big_)),
              std::string::npos)
        << dir_.read_file(TV_PILOTS_FILE_NAME);
    // The next start reads the mission mode from the pilots.
    TvSetConfiguredMissionMode(0);
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    EXPECT_EQ(TvGetConfiguredMissionMode(), big_);
    TvClearPilotRoster();
}

// The steps of a menu mode change, in order, as the trace names them (the cursor's with the
// screen size after it).
const std::vector<std::string> mode_change = {
    "input devices released", "window minimised", "menu video shut down", "cursor at",
    "menu video restarted",   "pilots saved",     "window restored",      "input devices opened"};

// The trace's steps of menu changes.
std::vector<std::string> change_steps() {
    std::vector<std::string> steps;
    for (const TvTraceEntry& e : TvTraceSteps())
        for (const std::string& name : mode_change)
            if (e.step.starts_with(name)) steps.push_back(name);
    return steps;
}

// Mode and renderer changes let the keyboard and mouse go and minimise the window around the
// engine's restart, then restore the window and take the devices again.
TEST_F(VideoModes, AChangeReleasesInputAndMinimisesTheWindowAroundTheRestart) {
    static std::vector<std::string> seen_at_release;
    seen_at_release.clear();
    const TvPageHooks hooks = {
        fake_page, nullptr,
        [] {
            seen_at_release.push_back(
                std::string(platform::is_minimized(TvGetMainWindow()->GetHandle()) ? "minimised"
                                                                                   : "shown") +
                (TvGetKeyboardDevice() || TvGetMouseDevice() ? " with input" : " without input"));
        },
        fake_set_up_display};
    TvInstallPageHooks(&hooks);
    ASSERT_NE(TvGetKeyboardDevice(), 0);
    script.link = "command:videomodeok";
    TvTraceClear();
    EXPECT_EQ(TvChooseVideoMode(big_), OM_S_OK);
    std::vector<std::string> twice = mode_change;
    twice.insert(twice.end(), mode_change.begin(), mode_change.end());
    EXPECT_EQ(change_steps(), twice);

    TvTraceClear();
    EXPECT_EQ(TvChooseRenderer(0), OM_S_OK);
    EXPECT_EQ(change_steps(),
              (std::vector<std::string>{"input devices released", "window minimised",
                                        "menu video shut down", "menu video restarted",
                                        "window restored", "input devices opened"}));
    EXPECT_EQ(seen_at_release, std::vector<std::string>(3, "minimised without input"));
    // Afterwards: the window shown, the devices open and the settings record told of them.
    EXPECT_FALSE(platform::is_minimized(TvGetMainWindow()->GetHandle()));
    EXPECT_NE(TvGetKeyboardDevice(), 0);
    EXPECT_NE(TvGetMouseDevice(), 0);
    ASSERT_NE(TvGetTimer(), nullptr);
    EXPECT_EQ(TvGetGameSettingsRecord().timer, TvGetTimer());
    EXPECT_EQ(TvGetGameSettingsRecord().keyboard_device, TvGetKeyboardDevice());
    EXPECT_EQ(TvGetGameSettingsRecord().mouse_device, TvGetMouseDevice());
}

TEST_F(VideoModes, ChoosingTheModeInUseStillShowsThePage) {
    script.link = "command:videomodeok";
    const int32_t mode = TvGetCurrentMode();
    EXPECT_EQ(TvChooseVideoMode(mode), OM_S_OK);
    EXPECT_EQ(script.log, (std::vector<std::string>{"menus\\videomodes.html 10000 in mode " +
                                                    std::to_string(mode)}));
    EXPECT_EQ(TvGetCurrentMode(), mode);
}

TEST_F(VideoModes, AModeThatDoesNotStartFallsBackToThePreviousOne) {
    ASSERT_EQ(TvOpenErrorLog((dir_ / "log.txt").c_str()), 1);
    const int32_t old_mode = TvGetCurrentMode();
    EXPECT_EQ(TvApplyVideoMode(TvGetModeCount()), OM_E_FAIL);
    TvCloseErrorLog();
    EXPECT_EQ(TvGetCurrentMode(), old_mode);
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 640);
    EXPECT_NE(dir_.read_file("log.txt").find("Couldn't start video mode"), std::string::npos);
}

TEST_F(VideoModes, ASwitchDiscardsTheGameFirst) {
    for (bool renderer : {false, true}) {
        SCOPED_TRACE(renderer ? "renderer" : "mode");
        ComRef<ITvGame> game;
        ASSERT_GE(OmCreate(CLSID_TavrinGame, IID_ITvGame, game.put()), 0);
        TvSetGameComponent(game.get());
        TvSetLastMissionCreated(3);
        if (renderer)
            EXPECT_EQ(TvChooseRenderer(0), OM_S_OK);
        else
            EXPECT_EQ(TvApplyVideoMode(big_), OM_S_OK);
        EXPECT_EQ(TvGetGameComponent(), nullptr);
        EXPECT_EQ(TvGetLastMissionCreated(), 0);
    }
}

TEST_F(VideoModes, ARendererSwitchStartsIts640By480ModeAndRecordsIt) {
    ASSERT_EQ(TvApplyVideoMode(big_), OM_S_OK);
    script.log.clear();
    EXPECT_EQ(TvChooseRenderer(0), OM_S_OK);
    const int32_t entry = find_mode(640, 480);
    EXPECT_EQ(TvGetCurrentMode(), entry);
    EXPECT_EQ(TvGetCurrentSubSystem(), 0);
    EXPECT_EQ(tvfe::TvGetScreenWidth(), 640);
    EXPECT_EQ(TvGetGameSettingsRecord().width, 640);
    EXPECT_EQ(graphics("renderer"), "0");
    EXPECT_EQ(graphics("mode"), std::to_string(entry));
    EXPECT_EQ(script.log, (std::vector<std::string>{
                              "display released in mode " + std::to_string(big_),
                              "display set up in mode " + std::to_string(entry),
                          }));
}

TEST_F(VideoModes, AConfirmedModeThatDidNotStartIsNotConfigured) {
    script.link = "command:videomodeok";
    const int32_t old_mode = TvGetCurrentMode();
    for (int32_t bad : {TvGetModeCount(), -1, 99}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(TvChooseVideoMode(bad), OM_E_FAIL);
        EXPECT_EQ(TvGetCurrentMode(), old_mode);
        EXPECT_EQ(TvGetConfiguredMissionMode(), old_mode);
        EXPECT_EQ(graphics("mode"), std::to_string(old_mode));
    }
}

TEST_F(VideoModes, ARendererOutsideTheListChangesNothing) {
    ASSERT_EQ(TvChooseRenderer(0), OM_S_OK);
    script.log.clear();
    const int32_t mode = TvGetCurrentMode();
    for (int32_t bad : {TvGetSubSystemCount(), -1, 99}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(TvChooseRenderer(bad), OM_E_FAIL);
        EXPECT_EQ(TvGetCurrentSubSystem(), 0);
        EXPECT_EQ(TvGetCurrentMode(), mode);
        EXPECT_EQ(graphics("renderer"), "0");
    }
    EXPECT_TRUE(script.log.empty()) << "the display was not torn down";
}

} // namespace
