// The single-player mission loop over a fixture game: outcomes and their result texts and
// pages, campaign booking, the difficulty after repeated failures, the pause page, abort,
// quitting, a failed create, Escape in the result frames and Alt-Tab.
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/menus/menu_state.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/mission_loop.h"
#include "frontend/single/mission_pages.h"
#include "frontend/startup/damaged_files.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/startup_trace.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_startup.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_ground_object.h"
#include "platform/message_box.h"
#include "platform/window/event_hub.h"
#include "platform/window/messages.h"
#include "tests/frontend/single/mission_fixture.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

using singletest::escape_key;

class MissionLoop : public singletest::MissionTest {
protected:
    std::string play(int32_t mission) {
        EXPECT_EQ(TvPlayMission(mission), OM_S_OK);
        return TvMenus().link;
    }
};

TEST_F(MissionLoop, EachOutcomeShowsItsTextForTheResultFramesAndLeadsToItsPage) {
    struct Case {
        int32_t outcome;
        const char* key;
        const char* page;
    };
    // Without language strings every text is its missing-string text.
    for (const Case& c : {Case{0x10, "missionaccomplished", "menus\\victory.html"},
                          Case{0x21, "planedestroyed", "menus\\defeat.html"},
                          Case{0x22, "missioncritical", "menus\\defeat.html"},
                          Case{0x24, "outoftime", "menus\\defeat.html"},
                          Case{0x30, "missionaborted", "menus\\defeat.html"}}) {
        SCOPED_TRACE(c.key);
        game_.outcome = c.outcome;
        game_.texts.clear();
        game_.result_renders = 0;
        EXPECT_EQ(play(4), c.page);
        EXPECT_EQ(TvGetLastOutcome(), c.outcome);
        ASSERT_FALSE(game_.texts.empty());
        EXPECT_EQ(game_.texts.back(), std::string("STRING \"") + c.key + "\" NOT IN FILE");
        EXPECT_GT(game_.result_renders, 1);
        EXPECT_GE(game_.last_result_elapsed, TV_RESULT_FRAMES_MS);
        EXPECT_EQ(TvMenus().mission_loaded, 0);
    }
    // The frame that finds the outcome runs whole.
    EXPECT_EQ(game_.overlay_renders, 5 * (game_.outcome_after + 1));
    // Every frame of the frame loop handed the game its timer event.
    EXPECT_GE(game_.timer_events, game_.overlay_renders);
    // The first mission creates; each next one destroys the session before creating again.
    EXPECT_EQ(game_.calls.front(), "create 4");
    EXPECT_EQ(game_.calls[1], "destroy");
    EXPECT_EQ(game_.created.viewport_count, 1); // the new-session word
    EXPECT_EQ(game_.created.mission_number, 4);
    EXPECT_EQ(TvGetLastMissionCreated(), 4);
}

// The shadow setting changed in the menus between two missions of one run: the second
// mission's ground objects draw with the new level.
TEST_F(MissionLoop, TheShadowSettingReachesTheNextMissionsGroundObjects) {
    static int32_t level_in_flight = -1;
    game_.on_frame = [](int32_t) { level_in_flight = TvGroundShadowLevel; };
    for (const auto& [link, level] :
         {std::pair{"command:shadows:0", 0}, std::pair{"slidebar:3,shadowdetail", 3},
          std::pair{"command:shadows:2", 2}}) {
        SCOPED_TRACE(link);
        TvSetLink(link);
        EXPECT_EQ(TvDispatchLink(), OM_S_OK);
        play(4);
        EXPECT_EQ(level_in_flight, level);
    }
}

// The menu browser's caches are cleared before the mission and again after it.
TEST_F(MissionLoop, TheBrowserCachesAreClearedAroundAMission) {
    static std::vector<size_t> clears_in_flight;
    clears_in_flight.clear();
    const auto clears = [] {
        return size_t(std::count_if(TvTraceSteps().begin(), TvTraceSteps().end(),
                                    [](auto& e) { return e.step == "browser caches cleared"; }));
    };
    game_.on_frame = [&](int32_t) { clears_in_flight.push_back(clears()); };
    TvTraceClear();
    play(4);
    ASSERT_FALSE(clears_in_flight.empty());
    EXPECT_EQ(clears_in_flight.front(), 1u);
    EXPECT_EQ(clears_in_flight.back(), 1u);
    EXPECT_EQ(clears(), 2u);
}

TEST_F(MissionLoop, AWonCampaignMissionMovesThePilotOnAndSavesTheRoster) {
    TvPilotRecord& pilot = add_pilot(0);
    TvMenuState& m = TvMenus();
    struct Case {
        int32_t campaign, allied, central;
        const char* page;
    };
    game_.mission_result = 40;
    game_.score = {2, 3, 50, 20};
    for (const Case& c :
         {Case{0, 3, 1, "menus\\allied_victory.html"}, Case{1, 1, 2, "menus\\central_victory.html"},
          Case{2, 1, 1, "menus\\allied_victory.html"},
          Case{0, 11, 1, "menus\\congratulations.html"}}) {
        SCOPED_TRACE(c.page);
        m.campaign_mode = 1;
        m.current_campaign = c.campaign;
        m.allied_mission = c.allied;
        m.central_mission = c.central;
        pilot.current_campaign = c.campaign;
        pilot.campaign_mission[c.campaign] = 5;
        pilot.times_on_last_mission = 2;
        const int32_t score = pilot.score;
        EXPECT_EQ(play(7), c.page);
        EXPECT_EQ(pilot.campaign_mission[c.campaign], 6);
        EXPECT_EQ(pilot.score, score + 40);
        EXPECT_EQ(pilot.times_on_last_mission, 0);
    }
    EXPECT_EQ(pilot.allied_complete[2], 1);
    EXPECT_EQ(pilot.central_complete[1], 1);
    EXPECT_EQ(pilot.allied_complete[0], 0);
    EXPECT_EQ(pilot.times_played, 4);
    EXPECT_EQ(pilot.brit_kills, 8);
    EXPECT_EQ(pilot.german_kills, 12);
    EXPECT_EQ(pilot.kills, 20);
    EXPECT_EQ(pilot.shots_fired, 200);
    EXPECT_EQ(pilot.shots_on_target, 80);
    // The roster was written: reading it back gives the same progress.
    TvClearPilotRoster();
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    EXPECT_EQ(TvGetPilotRoster().pilots[0].times_played, 4);
    EXPECT_EQ(TvGetPilotRoster().pilots[0].allied_complete[2], 1);
    EXPECT_EQ(TvGetPilotRoster().pilots[0].score, 160);
}

TEST_F(MissionLoop, OutsideCampaignModeAWinShowsVictoryAndAFailureCountsAgainstTheMission) {
    TvPilotRecord& pilot = add_pilot(0);
    TvMenus().campaign_mode = 0;
    pilot.campaign_mission[0] = 2;
    EXPECT_EQ(play(2), TV_VICTORY_PAGE);
    EXPECT_EQ(pilot.campaign_mission[0], 2);
    EXPECT_EQ(pilot.score, 0);
    game_.outcome = 0x21;
    EXPECT_EQ(play(2), TV_DEFEAT_PAGE);
    EXPECT_EQ(play(2), TV_DEFEAT_PAGE);
    EXPECT_EQ(pilot.times_on_last_mission, 2);
    EXPECT_EQ(pilot.times_played, 3);
    // Another mission starts the count again.
    EXPECT_EQ(play(3), TV_DEFEAT_PAGE);
    EXPECT_EQ(pilot.times_on_last_mission, 1);
}

TEST_F(MissionLoop, RepeatedFailuresSlowTheGameAndToughenThePlayersSide) {
    TvPilotRecord& pilot = add_pilot(0);
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.game_speed = 2.0f;
    record.enemy_endurance = 1.5f;
    game_.outcome = 0x24;
    for (int i = 0; i < 3; ++i) play(5);
    EXPECT_FLOAT_EQ(game_.created.game_speed, 2.0f);
    EXPECT_FLOAT_EQ(game_.created.standard_endurance, 1.0f);
    ASSERT_EQ(pilot.times_on_last_mission, 3);
    play(5);
    EXPECT_FLOAT_EQ(game_.created.game_speed, 2.0f * 0.986f);
    EXPECT_FLOAT_EQ(game_.created.standard_endurance, 1.06f);
    EXPECT_FLOAT_EQ(game_.created.enemy_endurance, 1.5f);
    EXPECT_EQ(TvGetPilotFailuresWord(), 3);
    pilot.times_on_last_mission = 9;
    play(5);
    EXPECT_FLOAT_EQ(game_.created.game_speed, 2.0f * 0.93f);
    EXPECT_FLOAT_EQ(game_.created.standard_endurance, 1.30f);
    // The settings are the player's own again after each mission.
    EXPECT_FLOAT_EQ(record.game_speed, 2.0f);
    EXPECT_FLOAT_EQ(record.standard_endurance, 1.0f);
    // Without a pilot nothing changes.
    TvGetPilotRoster().current = -1;
    play(5);
    EXPECT_FLOAT_EQ(game_.created.game_speed, 2.0f);
}

TEST_F(MissionLoop, EscapeUpOpensThePauseMenuWhoseLinksReturnRestartOrAbort) {
    game_.outcome = 0x10;
    game_.outcome_after = 1000000;
    // Return: the mission goes on; Restart: the game restarts; Abort: outcome 48.
    menutest::write_page(dir_, "Menus/pause.html", {{"command:return", 480}});
    game_.on_frame = [this](int32_t frame) {
        const char* link = frame == 2   ? "command:return"
                           : frame == 4 ? "command:restart"
                           : frame == 6 ? "command:abort"
                                        : nullptr;
        if (!link) return;
        menutest::write_page(dir_, "Menus/pause.html", {{link, 480}});
        if (frame == 2) post_key(escape_key, true);
        post_key(escape_key, false);
        post_click();
    };
    EXPECT_EQ(play(4), TV_DEFEAT_PAGE);
    const std::vector<std::string> expected = {"create 4", "restart", "outcome 48"};
    EXPECT_EQ(game_.calls, expected);
    EXPECT_EQ(TvGetLastOutcome(), 48);
    EXPECT_EQ(game_.texts.back(), "STRING \"missionaborted\" NOT IN FILE");
    // The pause page's own keys went on to the game too.
    bool escape_seen = false;
    for (const InputEvent& e : game_.inputs)
        if (e.source == TvGetKeyboardDevice() && e.value == escape_key) escape_seen = true;
    EXPECT_TRUE(escape_seen);
}

TEST_F(MissionLoop, AltTabWaitsForTheFocusThenShowsThePausePage) {
    game_.outcome_after = 4;
    game_.on_frame = [this](int32_t frame) {
        if (frame != 2) return;
        post_key(0xb0, true);
        post_key(0xa9, true);
        post_click();
        // The window gets its focus back while the game waits.
        platform::post_message(TvGetMainWindow()->GetHandle(), platform::WM_SETFOCUS, 0, 0);
    };
    EXPECT_EQ(play(4), TV_VICTORY_PAGE);
    EXPECT_EQ(TvGetFocusFlag(), 1);
    EXPECT_EQ(TvMenus().alt, 0);
    EXPECT_EQ(TvGetShownPageName(), "Menus\\pause.html");
}

TEST_F(MissionLoop, EscapeCutsTheResultFramesShort) {
    // The frame that finds the outcome still runs whole; the key comes after it.
    game_.outcome_after = 2;
    game_.on_frame = [this](int32_t frame) {
        if (frame == 3) post_key(escape_key, true);
    };
    play(4);
    EXPECT_EQ(game_.result_renders, 1);
    EXPECT_LT(game_.last_result_elapsed, TV_RESULT_FRAMES_MS + 100);
}

TEST_F(MissionLoop, AWindowCloseSkipsTheResultFramesButBooksTheMission) {
    TvPilotRecord& pilot = add_pilot(0);
    game_.outcome_after = 1000000;
    // The frame loop does not pump messages: the close request waits in the queue.
    game_.on_frame = [](int32_t frame) {
        if (frame == 3)
            platform::post_message(TvGetMainWindow()->GetHandle(), platform::WM_CLOSE, 0, 0);
    };
    EXPECT_EQ(play(4), TV_DEFEAT_PAGE);
    EXPECT_EQ(game_.overlay_renders, 3);
    EXPECT_EQ(game_.result_renders, 0);
    EXPECT_EQ(pilot.times_played, 1);
    EXPECT_EQ(pilot.times_on_last_mission, 1);
    EXPECT_EQ(TvGetQuitFlag(), 1);
    TvClearPilotRoster();
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    EXPECT_EQ(TvGetPilotRoster().pilots[0].times_played, 1);
}

TEST_F(MissionLoop, AFailedCreateBooksNothingAndLeavesTheLoadingPage) {
    TvPilotRecord& pilot = add_pilot(0);
    TvMenus().current_campaign = 0;
    TvMenus().allied_mission = 8;
    game_.create_result = OM_E_FAIL;
    TvGetGameSettingsRecord().game_speed = 1.25f;
    EXPECT_EQ(TvPlayMission(8), OM_E_FAIL);
    EXPECT_EQ(TvMenus().link, "missions\\allied\\loading3.html");
    EXPECT_EQ(pilot.times_played, 0);
    EXPECT_EQ(game_.overlay_renders, 0);
    EXPECT_EQ(TvMenus().mission_loaded, 0);
    EXPECT_EQ(TvGetLastMissionCreated(), 0);
    EXPECT_EQ(TvGetCurrentMode(), 0);
    EXPECT_FLOAT_EQ(TvGetGameSettingsRecord().game_speed, 1.25f);
}

TEST_F(MissionLoop, DamagedFilesMetWhileTheMissionIsMadeEndTheProgramInTheirOrder) {
    // The game reports the damaged file from inside Create, as each of its loads does (a
    // protected mission, a plane's model, a plane change); Create fails, or not.
    for (const OmResult result : {OM_E_FAIL, OM_S_OK}) {
        SCOPED_TRACE(result);
        ASSERT_GE(TvOpenErrorLog(TV_ERROR_LOG_NAME), 0);
        TvRouteMessageBoxesToErrorLog();
        TvResetDamagedFiles();
        TvSetQuitFlag(0);
        TvTraceClear();
        game_.calls.clear();
        game_.create_result = result;
        game_.on_create = [] {
            TvFatalDamagedFiles("tvopmission", 64, "missions\\101\\mission.ini");
            EXPECT_EQ(TvGetQuitFlag(), 1) << "every loop ends";
        };
        testing::internal::CaptureStderr();
        EXPECT_EQ(TvPlayMission(101), OM_E_FAIL);
        const std::string err = testing::internal::GetCapturedStderr();
        platform::set_message_sink({});
        TvCloseErrorLog();

        // The browser caches are cleared before the game is made; the damaged-files steps
        // follow in their own order.
        std::vector<std::string> steps;
        for (const TvTraceEntry& e : TvTraceSteps())
            if (std::string(e.step).rfind("damaged files:", 0) == 0) steps.push_back(e.step);
        EXPECT_EQ(steps, (std::vector<std::string>{
                             "damaged files: network client stopped",
                             "damaged files: game destroyed", "damaged files: window minimised",
                             std::string("damaged files: box ") + TV_DAMAGED_FILES_TEXT}));
        EXPECT_EQ(game_.calls, (std::vector<std::string>{"create 101", "destroy"}));
        EXPECT_EQ(game_.overlay_renders, 0) << "nothing is flown";
        EXPECT_NE(err.find("Aerovant-Fehler: Kritische Dateien beschädigt! Bitte installieren "
                           "Sie das Spiel erneut"),
                  std::string::npos);
        const std::string log = dir_.read_file(TV_ERROR_LOG_NAME);
        EXPECT_NE(log.find("tvopmission line 64: Damaged data file: missions\\101\\mission.ini"),
                  std::string::npos);
        EXPECT_NE(log.find("Kritische Dateien"), std::string::npos) << "the box, headless";
        EXPECT_TRUE(TvEndingOverDamagedFiles());
        EXPECT_EQ(TvGetQuitFlag(), 1);
        // Once only.
        const size_t traced = TvTraceSteps().size();
        EXPECT_TRUE(TvEndOverDamagedFiles());
        EXPECT_EQ(TvTraceSteps().size(), traced);
    }
    game_.on_create = nullptr;
    TvResetDamagedFiles();
    TvSetQuitFlag(0);
}

} // namespace
