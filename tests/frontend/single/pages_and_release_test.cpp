// The loading progress bar, countdown and credits pages, the texture reduction table and the
// front end's release order with and without a game.
#include "frontend/menus/front_end_shutdown.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/pilots/text_entry.h"
#include "frontend/setup/input_devices.h"
#include "frontend/single/front_end_release.h"
#include "frontend/single/mission_pages.h"
#include "frontend/startup/window_components.h"
#include "game/tv_frontend_services.h"
#include "platform/clock.h"
#include "platform/window/window.h"
#include "tests/frontend/single/mission_fixture.h"

#include <gtest/gtest.h>

namespace {

class MissionPages : public singletest::MissionTest {};

TEST_F(MissionPages, TheLoadingBarIsDrawnEveryTwentiethAndOnANewLoad) {
    TvMenuState& m = TvMenus();
    m.current_campaign = 0;
    m.allied_mission = 7;
    EXPECT_EQ(TvCampaignLoadingPage(), "missions\\allied\\loading2.html");
    m.current_campaign = 1;
    m.central_mission = 3;
    EXPECT_EQ(TvCampaignLoadingPage(), "missions\\central\\loading3.html");
    m.current_campaign = 2;
    m.training_mission = 4;
    EXPECT_EQ(TvCampaignLoadingPage(), "missions\\tutorials\\loading4.html");

    // The game's loader reaches the bar through the front end's services.
    TvResetLoadingProgress();
    TvSetShownPageName(TV_LOADING_PAGE);
    TvShowLoadingProgress(0.02f);
    EXPECT_FLOAT_EQ(TvGetLoadingProgressDrawn(), 0.0f);
    TvShowLoadingProgress(0.05f);
    EXPECT_FLOAT_EQ(TvGetLoadingProgressDrawn(), 0.05f);
    TvShowLoadingProgress(1.0f);
    EXPECT_FLOAT_EQ(TvGetLoadingProgressDrawn(), 1.0f);
    TvShowLoadingProgress(0.0f);
    EXPECT_FLOAT_EQ(TvGetLoadingProgressDrawn(), 0.0f);
}

TEST_F(MissionPages, ACountdownPageCountsItsSecondsDown) {
    menutest::write_page(dir_, "menus/finished.html", {{"x", 100}});
    platform::set_virtual_frame_step(250);
    const uint32_t start = platform::timeGetTime();
    EXPECT_EQ(TvShowCountdownPage("menus\\finished.html", 10000), OM_S_OK);
    platform::set_virtual_frame_step(16);
    EXPECT_GE(platform::timeGetTime() - start, 10000u);
    EXPECT_EQ(TvGetShownPageName(), "menus\\finished.html");
    EXPECT_EQ(TvMenus().continue_seconds, 0);
}

TEST_F(MissionPages, KeysQueuedBeforeTheCreditsAreClearedAndTheMainPageFollowsThem) {
    for (int n = 1; n <= 7; ++n)
        dir_.write_file("menus/credits" + std::to_string(n) + ".html",
                        "<html><body>credits</body></html>");
    platform::set_virtual_frame_step(250);
    const uint32_t start = platform::timeGetTime();
    post_key(singletest::escape_key, true);
    // Queued before the credits begin: cleared, so all seven pages run.
    EXPECT_EQ(TvRunCredits(), OM_S_OK);
    EXPECT_GE(platform::timeGetTime() - start, 7 * 5000u);
    platform::set_virtual_frame_step(16);
    EXPECT_EQ(TvMenus().link, TV_MAIN_PAGE);
    EXPECT_NE(TvGetCurrentPage(), nullptr);
}

TEST_F(MissionPages, ThePauseMenuOfAMultiplayerGameOnlyRaisesThePauseRequest) {
    game_.client = true;
    menutest::write_page(dir_, "Menus/pause.html", {{"command:abort", 480}});
    post_click();
    EXPECT_EQ(TvRunPauseMenu(), OM_S_OK);
    EXPECT_TRUE(TvTakeMultiplayerPauseRequest());
    EXPECT_FALSE(TvTakeMultiplayerPauseRequest());
    EXPECT_TRUE(game_.calls.empty());
    // A single-player game takes the chosen link.
    game_.client = false;
    EXPECT_EQ(TvRunPauseMenu(), OM_S_OK);
    const std::vector<std::string> aborted = {"outcome 48"};
    EXPECT_EQ(game_.calls, aborted);
    EXPECT_FALSE(TvTakeMultiplayerPauseRequest());
}

TEST_F(MissionPages, TheBackPageAnswersOnlyItsBackLink) {
    menutest::write_page(dir_, "menus/connecting.html",
                         {{"command:other", 150}, {"command:back", 200}});
    ASSERT_EQ(TvShowPage("menus\\connecting.html"), OM_S_OK);
    TvMenus().pointer_x = 100;
    TvMenus().pointer_y = 50;
    post_click();
    EXPECT_EQ(TvPollBackPage(), OM_S_OK);
    EXPECT_EQ(TvMenus().click, 0u);
    post_mouse(0x31, 150);
    post_click();
    EXPECT_EQ(TvPollBackPage(), OM_E_FAIL);
}

TEST_F(MissionPages, TheTextureReductionTableKeepsValidShifts) {
    TvClearTextureReduction();
    TvSetTextureReduction(2, 3);
    TvSetTextureReduction(1, 4); // no such shift
    TvSetTextureReduction(4, 1); // no such size class
    EXPECT_EQ(TvGetTextureReduction(2), 3);
    EXPECT_EQ(TvGetTextureReduction(1), 0);
    TvClearTextureReduction();
}

class FrontEndRelease : public singletest::MissionTest {};

const std::vector<std::string> releases_after_game = {
    "menu browser released",  "sound closed",
    "storage released",       "input released",
    "menu camera released",   "network client released",
    "engine camera released", "settings and window released"};

TEST_F(FrontEndRelease, WithoutAGameEverythingElseIsReleasedInOrder) {
    TvSetGameComponent(nullptr);
    TvReleaseInputDevices();
    EXPECT_EQ(TvGetKeyboardDevice(), 0);
    EXPECT_EQ(TvGetMouseDevice(), 0);
    EXPECT_EQ(TvGetTimer(), nullptr);
    EXPECT_NE(TvGetInput(), nullptr);
    TvShutDownFrontEnd();
    std::vector<std::string> expected = {"profiler released"};
    expected.insert(expected.end(), releases_after_game.begin(), releases_after_game.end());
    EXPECT_EQ(TvFrontEndReleaseSteps(), expected);
    EXPECT_TRUE(game_.calls.empty());
    EXPECT_EQ(TvGetInput(), nullptr);
    EXPECT_EQ(TvGetMenuBrowser(), nullptr);
    EXPECT_EQ(TvGetMenuCamera(), nullptr);
}

TEST_F(FrontEndRelease, ALoadedMissionIsDestroyedBeforeTheGameIsReleased) {
    game_.outcome_after = 1;
    ASSERT_EQ(TvPlayMission(2), OM_S_OK);
    game_.calls.clear();
    TvShutDownFrontEnd();
    std::vector<std::string> expected = {"profiler released", "mission destroyed", "game released"};
    expected.insert(expected.end(), releases_after_game.begin(), releases_after_game.end());
    EXPECT_EQ(TvFrontEndReleaseSteps(), expected);
    const std::vector<std::string> game_calls = {"destroy"};
    EXPECT_EQ(game_.calls, game_calls);
    EXPECT_EQ(game_.references, 1); // the test's own
    EXPECT_EQ(TvGetGameComponent(), nullptr);
}

} // namespace
