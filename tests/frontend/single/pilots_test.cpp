// characters.ini and pilot creation: reading, writing with compaction, names, mission flags,
// sides, and the name-entry page typed through window messages.
#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/pilots/pilot_creation.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/pilots/text_entry.h"
#include "frontend/setup/game_setup.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "platform/window/event_hub.h"
#include "platform/window/messages.h"
#include "tests/frontend/single/mission_fixture.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class Pilots : public singletest::MissionTest {
protected:
    TvPilotRoster& roster() { return TvGetPilotRoster(); }
    void type(const std::string& keys) {
        for (char c : keys)
            platform::post_message(TvGetMainWindow()->GetHandle(), platform::WM_KEYUP,
                                   uintptr_t(uint8_t(c)), 0);
    }
};

TEST_F(Pilots, ARosterIsReadWithItsDefaultsAndFlags) {
    dir_.write_file(TV_PILOTS_FILE_NAME,
                    "[Character1]\nforenames=Anne Marie\nsirname=Laurent\n"
                    "favouriteplane=fokkertriplane\nalliedmissionsc=1 1 0 0 0 0 0 0 0 0\n"
                    "centralmissionsc=0  0\t1 0 0 0 0 0 0 1\nvideomode=2\nscore=77\n"
                    "mission0=4\nmission3=2\nbritkills=3\ngermankills=5\nalliedmission=0\n"
                    "centralmission=6\n"
                    "[Character3]\nforenames=Tom\nsirname=AVeryLongSurnameThatIsMuchTooLongToRead\n"
                    "favouriteplane=aircodh2\nscore=x12\n"
                    "[meta]\ncurrent=3\n");
    roster().pilots[2].score = 5;
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    const TvPilotRecord& a = roster().pilots[0];
    EXPECT_STREQ(a.full_name, "Anne Marie Laurent");
    EXPECT_EQ(a.side, TV_SIDE_CENTRAL);
    EXPECT_EQ(a.picture, 8);
    EXPECT_EQ(a.score, 77);
    EXPECT_EQ(a.kills, 8);
    EXPECT_EQ(a.campaign_mission[0], 4);
    EXPECT_EQ(a.campaign_mission[3], 2);
    EXPECT_EQ(a.allied_complete[0], 1);
    EXPECT_EQ(a.allied_complete[1], 1);
    EXPECT_EQ(a.allied_complete[2], 0);
    EXPECT_EQ(a.central_complete[2], 1);
    EXPECT_EQ(a.central_complete[9], 1);
    EXPECT_EQ(a.central_mission, 6);
    EXPECT_EQ(a.allied_mission, 1);
    EXPECT_EQ(TvMenus().central_mission, 6);
    EXPECT_EQ(TvGetConfiguredMissionMode(), 2);
    const TvPilotRecord& b = roster().pilots[2];
    EXPECT_STREQ(b.sirname, "");
    EXPECT_STREQ(b.full_name, "Tom");
    EXPECT_EQ(b.side, TV_SIDE_ALLIED);
    EXPECT_STREQ(b.favourite_plane, "aircodh2");
    EXPECT_EQ(b.score, 0); // malformed: the field keeps its default
    EXPECT_EQ(roster().used[0], 1);
    EXPECT_EQ(roster().used[1], 0);
    EXPECT_EQ(roster().used[2], 1);
    EXPECT_EQ(roster().current, 2);
}

TEST_F(Pilots, AMissingFileLeavesTheRosterAsItWas) {
    roster().used[4] = 1;
    roster().current = 4;
    EXPECT_EQ(TvLoadPilots(), OM_E_FAIL);
    EXPECT_EQ(roster().used[4], 1);
    EXPECT_EQ(roster().current, 4);
}

TEST_F(Pilots, SavingMovesTheFirstPilotIntoSlotOneAndReadsBackTheSame) {
    TvResetPilot(2);
    roster().used[2] = 1;
    roster().current = 2;
    TvPilotRecord& p = roster().pilots[2];
    std::snprintf(p.forenames, sizeof p.forenames, "Jean Paul");
    std::snprintf(p.sirname, sizeof p.sirname, "Dumont");
    std::snprintf(p.favourite_plane, sizeof p.favourite_plane, "spadx111");
    p.picture = 3;
    p.score = 120;
    p.current_campaign = 1;
    p.campaign_mission[1] = 4;
    p.allied_complete[0] = 1;
    p.central_complete[3] = 1;
    p.brit_kills = 2;
    p.german_kills = 9;
    p.times_played = 11;
    p.times_on_last_mission = 2;
    p.shots_fired = 400;
    p.shots_on_target = 90;
    p.mp_kills = 1;
    p.mp_deaths = 2;
    p.mp_score = 3;
    TvSetConfiguredMissionMode(1);
    ASSERT_EQ(TvWritePilotsFile(), OM_S_OK);
    EXPECT_EQ(roster().current, 0);
    EXPECT_EQ(roster().used[2], 0);

    const std::string text = dir_.read_file(TV_PILOTS_FILE_NAME);
    EXPECT_EQ(text.find("[Character1]"), 1u) << text;
    EXPECT_EQ(text.find("[Character3]"), std::string::npos);
    EXPECT_NE(text.find("centralmissionsc=0 0 0 1 0 0 0 0 0 0"), std::string::npos);
    EXPECT_NE(text.find("mission1=4"), std::string::npos);
    EXPECT_EQ(text.find("mission0="), std::string::npos); // zero progress is not written
    EXPECT_NE(text.find("current=1"), std::string::npos);

    TvPilotRecord written = roster().pilots[0];
    TvClearPilotRoster();
    TvSetConfiguredMissionMode(0);
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    const TvPilotRecord& r = roster().pilots[0];
    EXPECT_STREQ(r.full_name, "Jean Paul Dumont");
    EXPECT_STREQ(r.forenames, written.forenames);
    EXPECT_STREQ(r.favourite_plane, "spadx111");
    EXPECT_EQ(r.side, TV_SIDE_ALLIED);
    for (auto field :
         {&TvPilotRecord::picture, &TvPilotRecord::score, &TvPilotRecord::current_campaign,
          &TvPilotRecord::brit_kills, &TvPilotRecord::german_kills, &TvPilotRecord::times_played,
          &TvPilotRecord::times_on_last_mission, &TvPilotRecord::shots_fired,
          &TvPilotRecord::shots_on_target, &TvPilotRecord::mp_kills, &TvPilotRecord::mp_deaths,
          &TvPilotRecord::mp_score})
        EXPECT_EQ(r.*field, written.*field);
    EXPECT_EQ(r.campaign_mission[1], 4);
    EXPECT_EQ(r.allied_complete[0], 1);
    EXPECT_EQ(r.central_complete[3], 1);
    EXPECT_EQ(roster().current, 0);
    EXPECT_EQ(TvGetConfiguredMissionMode(), 1);
}

TEST_F(Pilots, TheSideFollowsTheFavouritePlaneWithOrWithoutItsNetworkPrefix) {
    const struct {
        const char* plane;
        int32_t side;
    } planes[] = {
        {"aircodh2", TV_SIDE_ALLIED},        {"bristolscout", TV_SIDE_ALLIED},
        {"spadx111", TV_SIDE_ALLIED},        {"tavrincamel", TV_SIDE_ALLIED},
        {"handleypage", TV_SIDE_ALLIED},     {"junkers", TV_SIDE_CENTRAL},
        {"fokkertriplane", TV_SIDE_CENTRAL}, {"halberstadt", TV_SIDE_CENTRAL},
        {"gothagiv", TV_SIDE_CENTRAL},       {"albertross", TV_SIDE_CENTRAL},
    };
    for (const auto& p : planes) {
        EXPECT_EQ(TvSideOfPlane(p.plane), p.side) << p.plane;
        EXPECT_EQ(TvSideOfPlane((std::string("multi") + p.plane).c_str()), p.side) << p.plane;
    }
    // Only the whole prefix, in its own case, is left out.
    for (const char* other : {"", "multi", "Multiaircodh2", "multimultiaircodh2", "multaircodh2"})
        EXPECT_EQ(TvSideOfPlane(other), TV_SIDE_CENTRAL) << other;
    EXPECT_EQ(TvSideOfPlane(nullptr), TV_SIDE_CENTRAL);

    // A new pilot's plane as stored: the side comes back Allied after a restart.
    TvResetPilot(0);
    roster().used[0] = 1;
    TvPilotRecord& pilot = roster().pilots[0];
    std::snprintf(pilot.forenames, sizeof pilot.forenames, "Kit");
    std::snprintf(pilot.favourite_plane, sizeof pilot.favourite_plane, "multitavrincamel");
    pilot.side = TV_SIDE_ALLIED;
    ASSERT_EQ(TvWritePilotsFile(), OM_S_OK);
    TvClearPilotRoster();
    ASSERT_EQ(TvLoadPilots(), OM_S_OK);
    EXPECT_STREQ(roster().pilots[0].favourite_plane, "multitavrincamel");
    EXPECT_EQ(roster().pilots[0].side, TV_SIDE_ALLIED);
}

TEST_F(Pilots, NamesSplitAtTheirLastBlank) {
    struct Case {
        const char* name;
        const char* forenames;
        const char* sirname;
    };
    for (const Case& c : {Case{"anne marie laurent", "anne marie", "laurent"},
                          Case{"biggles", "", "biggles"}, Case{"a b", "a", "b"}}) {
        char forenames[64], sirname[64];
        TvSplitPilotName(c.name, forenames, sizeof forenames, sirname, sizeof sirname);
        EXPECT_STREQ(forenames, c.forenames) << c.name;
        EXPECT_STREQ(sirname, c.sirname) << c.name;
    }
}

TEST_F(Pilots, ANewPilotsNameIsTypedOnTheEntryPageAndSaved) {
    menutest::write_page(dir_, "menus/entername.html", {{"menus\\main.html", 100}});
    // Typed without Shift: letters come out in lower case; '*' is not allowed.
    add_pilot(0);
    type("JEAN* DU\x08VAL\r");
    ASSERT_EQ(TvRunCreatePilot(2), OM_S_OK);
    const TvPilotRecord& p = roster().pilots[1];
    EXPECT_STREQ(p.forenames, "jean");
    EXPECT_STREQ(p.sirname, "dval");
    EXPECT_EQ(roster().used[1], 1);
    EXPECT_EQ(p.picture, 8);
    EXPECT_STREQ(p.favourite_plane, TV_DEFAULT_FAVOURITE_PLANE);
    EXPECT_EQ(TvGetTextEntryFlag(), 0);
    EXPECT_NE(dir_.read_file(TV_PILOTS_FILE_NAME).find("sirname=dval"), std::string::npos);
}

TEST_F(Pilots, ClickingALinkCancelsTheNameEntryAndLeavesTheSlotFree) {
    menutest::write_page(dir_, "menus/entername.html", {{"menus\\main.html", 480}});
    type("BOB");
    post_click();
    EXPECT_EQ(TvRunCreatePilot(3), OM_E_FAIL);
    EXPECT_EQ(roster().used[2], 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / TV_PILOTS_FILE_NAME));
}

} // namespace
