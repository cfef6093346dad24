// The dispatcher over the real menus: every link form with its effect, its aerovant.ini write
// or removal and the page that follows; the control layout files.
#include "frontend/menus/dispatcher.h"

#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_file.h"
#include "frontend/setup/game_settings_record.h"
#include "game/tv_frontend_services.h"
#include "tests/frontend/menus/menu_fixture.h"
#include "tests/support/virtual_clock.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using menutest::entry_script;

constexpr char current_page[] = "menus\\current.html";

const char settings_text[] = "[graphics]\nshadows=1\nvSync=1\ndetailtextures=1\n"
                             "[sound]\nchannel0vol=0.5\nchannel1vol=1.0\nchannel2vol=0.8\n"
                             "[Player1Roll]\nkey=A\nsensitivity=0.2\n"
                             "[Player1Fire]\nkey=F\n"
                             "[Campaign0]\ndirectory=allied\n"
                             "[server]\nipaddress=10.1.2.3\n";

class Dispatcher : public menutest::MenuTest {
protected:
    void SetUp() override {
        MenuTest::SetUp();
        set_up_game(settings_text);
        menutest::write_page(dir_, current_page, {{"x", 100}});
        TvGetGameSettingsRecord().mission_number = 4;
    }
    // Dispatches the link chosen on the current page; the link buffer afterwards.
    std::string dispatch(const std::string& link, OmResult expected = OM_S_OK) {
        entry_script().calls.clear();
        TvMenus().current_page = current_page;
        TvSetLink(link);
        EXPECT_EQ(TvDispatchLink(), expected) << link;
        return TvMenus().link;
    }
    std::vector<std::string>& calls() { return entry_script().calls; }
    // The section's keys in their order, "key=value\n" each.
    std::string section_text(const char* section) {
        std::string text;
        if (sheet_->SetSection(section) < 0) return "<missing>";
        char name[OM_SHEET_NAME_SIZE];
        for (OmResult r = sheet_->MoveKey(name, nullptr, OM_MOVE_FIRST); r >= 0;
             r = sheet_->MoveKey(name, nullptr, OM_MOVE_NEXT)) {
            char value[256] = {};
            sheet_->GetString(name, value, sizeof value);
            text += std::string(name) + "=" + value + "\n";
        }
        return text;
    }
    TvPilotRecord& pilot(int slot) { return TvGetPilotRoster().pilots[slot]; }
    void add_pilot(int slot) {
        TvGetPilotRoster().used[slot] = 1;
        TvResetPilot(slot);
    }
    testsupport::VirtualClockScope clock_;
};

TEST_F(Dispatcher, QuitEndsTheFrontEndAndTimeOutStaysOnThePage) {
    EXPECT_EQ(dispatch("command:quit", OM_E_FAIL), "command:quit");
    EXPECT_EQ(dispatch("command:timeout"), current_page);
    // A page that exists is loaded, one that does not leaves the page shown.
    menutest::write_page(dir_, "menus\\next.html", {{"y", 10}});
    IHTMLPage* before = TvGetCurrentPage();
    EXPECT_EQ(dispatch("menus\\next.html"), "menus\\next.html");
    EXPECT_NE(TvGetCurrentPage(), before);
    IHTMLPage* shown = TvGetCurrentPage();
    EXPECT_EQ(dispatch("menus\\missing.html"), "menus\\missing.html");
    EXPECT_EQ(TvGetCurrentPage(), shown);
    EXPECT_TRUE(calls().empty());
}

TEST_F(Dispatcher, SettingsLinksChangeTheSettingsAndTheSheet) {
    TvGameSettings& record = TvGetGameSettingsRecord();
    TvProgramSettings& program = TvGetProgramSettings();
    TvMenuState& m = TvMenus();
    struct Row {
        const char* link;
        const char* next; // null: the current page
        const char* section;
        const char* key;
        const char* value; // "<missing>" when removed
    };
    const Row rows[] = {
        {"command:effectsdetail:600", nullptr, "graphics", "effectsdetail", "600"},
        {"command:musicvolume:30", "menus\\soundoptions.html", "sound", "channel0vol", "0.300000"},
        {"command:sfxvolume:40", "menus\\soundoptions.html", "sound", "channel1vol", "0.400000"},
        {"command:sensitivity:5:1", "menus\\controloptions.html", "Player1Roll", "sensitivity",
         "0.500000"},
        {"command:vsync:0", "menus\\options.html", "graphics", "vSync", "<missing>"},
        {"command:vsync:1", "menus\\options.html", "graphics", "vSync", "1"},
        {"command:detailtextures:0", "menus\\options.html", "graphics", "detailtextures", "0"},
        {"command:detailtextures:1", "menus\\options.html", "graphics", "detailtextures", "1"},
        {"command:shadows:0", "menus\\options.html", "graphics", "shadows", "0"},
        {"command:cheat:infinite:1", nullptr, "cheat", "infinite", "1"},
        {"command:cheat:boost:1", nullptr, "cheat", "boost", "1"},
        {"command:cheat:boost:0", nullptr, "cheat", "boost", "<missing>"},
        {"command:cheat:invulnerable:2", nullptr, "cheat", "invulnerable", "2"},
        {"command:gamespeed:1.5", nullptr, "cheat", "gamespeed", "1.500000"},
        {"command:enemyendurance:0.25", nullptr, "cheat", "enemyendurance", "0.250000"},
        {"command:hardwaresound:1", "menus\\soundoptions.html", "sound", "hardwaresound", "1"},
        {"command:hardwaresound:0", "menus\\soundoptions.html", "sound", "hardwaresound",
         "<missing>"},
        {"slidebar:700,clip", "menus\\options.html", "graphics", "drawdistance", "700.000000"},
        {"slidebar:400,effectsdetail", "menus\\options.html", "graphics", "effectsdetail", "400"},
        {"slidebar:3,shadowdetail", "menus\\options.html", "graphics", "shadows", "3"},
    };
    ASSERT_FALSE(has_section("cheat"));
    for (const Row& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(dispatch(row.link), row.next ? row.next : current_page);
        EXPECT_EQ(key(row.section, row.key), row.value);
    }
    EXPECT_EQ(record.effects_detail, 400);
    EXPECT_FLOAT_EQ(m.music_volume, 0.3f);
    EXPECT_FLOAT_EQ(m.effects_volume_game, 0.4f);
    EXPECT_FLOAT_EQ(m.effects_volume_menu, 0.4f);
    EXPECT_EQ(key("sound", "channel2vol"), "0.400000");
    EXPECT_FLOAT_EQ(m.sensitivity[1], 0.5f);
    EXPECT_EQ(record.vsync, 1);
    EXPECT_EQ(program.detail_textures, 1);
    EXPECT_EQ(TvDetailTexturesEnabled, 1);
    EXPECT_EQ(program.shadows, 3);
    EXPECT_EQ(record.boost, 0);
    EXPECT_EQ(record.infinite, 1);
    EXPECT_EQ(record.invulnerable, 2);
    EXPECT_FLOAT_EQ(record.game_speed, 1.5f);
    EXPECT_FLOAT_EQ(record.enemy_endurance, 0.25f);
    EXPECT_EQ(record.hardware_sound, 0);
    EXPECT_FLOAT_EQ(record.far_clip, 700.0f);

    // Only the three axes exist; an axis section the layout never made is not created.
    EXPECT_EQ(dispatch("command:sensitivity:9:7"), "menus\\controloptions.html");
    EXPECT_EQ(dispatch("command:sensitivity:3:0"), "menus\\controloptions.html");
    EXPECT_FLOAT_EQ(m.sensitivity[0], 0.3f);
    EXPECT_FALSE(has_section("Player1Pitch"));
    // An unknown slider name changes nothing but still shows the options.
    EXPECT_EQ(dispatch("slidebar:9,fog"), "menus\\options.html");
    EXPECT_FLOAT_EQ(record.far_clip, 700.0f);
    // Countdowns: the link stays.
    EXPECT_EQ(dispatch("command:settimervalue:99"), "command:settimervalue:99");
    EXPECT_EQ(m.countdown, 99);
    for (const auto& [value, countdown] : {std::pair{99, 15}, {-3, 15}, {7, 7}}) {
        dispatch("command:setwaittimervalue:" + std::to_string(value));
        EXPECT_EQ(m.countdown, countdown) << value;
    }
}

// The rows that write a key leave it in its place (a missing key goes to the end); the rows
// that replace one move it to the end of its section.
TEST_F(Dispatcher, WrittenKeysKeepTheirPlaceAndReplacedKeysMoveToTheEnd) {
    const std::string sheet_text = "[graphics]\ndrawdistance=600.0\neffectsdetail=1000\nshadows=1\n"
                                   "[sound]\nchannel0vol=0.500000\nchannel1vol=1.000000\n"
                                   "hardwaresound=1\n";
    const struct {
        std::string sheet;
        std::vector<std::string> links;
        const char* graphics;
        const char* sound;
    } cases[] = {
        {sheet_text,
         {"slidebar:800,clip", "slidebar:600,effectsdetail", "slidebar:2,shadowdetail",
          "command:musicvolume:30", "command:sfxvolume:40"},
         "drawdistance=800.000000\neffectsdetail=600\nshadows=2\n",
         "channel0vol=0.300000\nchannel1vol=0.400000\nhardwaresound=1\nchannel2vol=0.400000\n"},
        {sheet_text,
         {"command:effectsdetail:400"},
         "drawdistance=600.0\nshadows=1\neffectsdetail=400\n",
         "channel0vol=0.500000\nchannel1vol=1.000000\nhardwaresound=1\n"},
        {"[graphics]\n[sound]\nchannel0vol=0.500000\nchannel1vol=1.000000\n"
         "channel2vol=0.250000\nhardwaresound=1\n",
         {"command:sfxvolume:80"},
         "",
         "channel0vol=0.500000\nchannel1vol=0.800000\nchannel2vol=0.800000\nhardwaresound=1\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.links.front());
        dir_.write_file(TV_SETTINGS_FILE_NAME, c.sheet);
        ComRef<IFileStorage> storage;
        ASSERT_GE(OmCreate(CLSID_FileStorage, IID_IFileStorage, storage.put()), 0);
        sheet_->Clear();
        TvLoadSettingsFile(storage.get(), sheet_.get(), TV_SETTINGS_FILE_NAME);
        for (const std::string& link : c.links) dispatch(link);
        EXPECT_EQ(section_text("graphics"), c.graphics);
        EXPECT_EQ(section_text("sound"), c.sound);
    }
    // The next start gives game set-up the menus' effects volume that was chosen.
    TvGameSetupSettings next;
    TvReadGameSetupSettings(sheet_.get(), false, &next);
    EXPECT_FLOAT_EQ(next.volumes[2], 0.8f);
}

TEST_F(Dispatcher, VideoModeAndRendererRunThroughTheModeSwitches) {
    platform::set_virtual_frame_step(1000);
    EXPECT_EQ(dispatch("command:videomode:0"), "menus\\options.html");
    EXPECT_EQ(dispatch("command:renderer:0"), current_page);
    // The menus came back up on the restarted engine.
    EXPECT_NE(TvGetMenuCamera(), nullptr);
    EXPECT_NE(TvGetMenuBrowser(), nullptr);
    EXPECT_EQ(key("graphics", "renderer"), "0");
    platform::set_virtual_frame_step(16);
}

TEST_F(Dispatcher, MissionsAndSessionsLeaveTheirPageOrStayWhenTheyDoNotRun) {
    entry_script().next_page = "menus\\result.html";
    const struct {
        const char* link;
        const char* call;
    } rows[] = {
        {"command:replay", "mission 4"},
        {"play:7", "mission 7"},
        {"chooseplane:multigothagiv", "mission 4"},
        {"command:connect", "session :6113"},
        {"command:connectip", "session 10.1.2.3:6113"},
        {"command:connectto:host.example", "session host.example"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.link);
        EXPECT_EQ(dispatch(row.link), "menus\\result.html");
        EXPECT_EQ(calls(), std::vector<std::string>{row.call});
    }
    EXPECT_STREQ(TvGetGameSettingsRecord().plane_id, "multigothagiv");
    EXPECT_EQ(TvMenus().countdown, 30);

    EXPECT_EQ(dispatch("selectplane:5:multiaircodh2"), "menus\\result.html");
    EXPECT_EQ(calls(), std::vector<std::string>{"mission 5"});
    EXPECT_EQ(TvMenus().session_mode, TV_SESSION_CHOOSING_PLANE);
    EXPECT_EQ(TvMenus().return_page, current_page);
    EXPECT_STREQ(TvGetGameSettingsRecord().plane_id, "multiaircodh2");
    // Waiting for its plane, a plane change runs the mission.
    EXPECT_EQ(dispatch("command:changeplane:multijunkers"), "menus\\result.html");
    EXPECT_EQ(calls(), std::vector<std::string>{"mission 5"});
    EXPECT_STREQ(TvGetGameSettingsRecord().plane_id, "multijunkers");

    // When the mission or session cannot run, the page it was chosen on stays.
    entry_script().answer = OM_E_FAIL;
    EXPECT_EQ(dispatch("play:3"), current_page);
    EXPECT_EQ(dispatch("command:connect"), current_page);
    EXPECT_EQ(dispatch("command:credits"), "command:credits");
    EXPECT_EQ(calls(), std::vector<std::string>{"credits"});

    // Without a server address the address is asked for first.
    TvGetProgramSettings().server_address.clear();
    entry_script().answer = OM_S_OK;
    EXPECT_EQ(dispatch("command:connectip"), "menus\\multiplayer.html");
    EXPECT_EQ(calls(), std::vector<std::string>{"enter server address"});
    entry_script().answer = OM_E_FAIL;
    EXPECT_EQ(dispatch("command:changeip"), current_page);
    EXPECT_EQ(calls(), std::vector<std::string>{"enter server address"});
}

TEST_F(Dispatcher, PilotLinksCreateChooseAndDeletePilots) {
    TvPilotRoster& roster = TvGetPilotRoster();
    // Slot 1 empty at start: the pilot is created and his face chosen next.
    EXPECT_EQ(dispatch("gamestartup"), "menus\\chooseface.html");
    EXPECT_EQ(calls(), (std::vector<std::string>{"create pilot 1", "save pilots"}));
    EXPECT_EQ(roster.current, 0);
    EXPECT_EQ(dispatch("gamestartup"), "menus\\choosemission.html");
    EXPECT_EQ(dispatch("chooseface:4"), "menus\\choosemission.html");
    EXPECT_EQ(pilot(0).picture, 4);

    EXPECT_EQ(dispatch("characteroption:3"), "menus\\chooseface.html");
    EXPECT_EQ(roster.current, 2);
    EXPECT_EQ(dispatch("characteroption:7"), "menus\\multiplayer.html");
    EXPECT_EQ(roster.current, TV_MULTIPLAYER_PILOT);
    // "^singleplayer^" brings the multiplayer pilot back to the first pilot.
    TvMenus().campaign_mode = 1;
    EXPECT_EQ(dispatch("^singleplayer^"), "^singleplayer^");
    EXPECT_EQ(roster.current, 0);
    EXPECT_EQ(TvMenus().campaign_mode, 0);

    EXPECT_EQ(dispatch("characterplay:3"), "menus\\choosemission.html");
    EXPECT_EQ(roster.current, 2);
    for (const char* nothing : {"characterplay:2", "characterplay:0", "characterplay:9",
                                "characterplay:-2147483648", "characterplay:2147483647"})
        EXPECT_EQ(dispatch(nothing), nothing);
    EXPECT_EQ(roster.current, 2);

    // A pilot is deleted: his record reset but for his plane, the first pilot current.
    std::strcpy(pilot(2).favourite_plane, "multijunkers");
    pilot(2).score = 50;
    pilot(2).allied_complete[3] = 1;
    EXPECT_EQ(dispatch("characteroption:3"), current_page);
    EXPECT_FALSE(TvIsPilotUsed(2));
    EXPECT_EQ(pilot(2).score, 0);
    EXPECT_EQ(pilot(2).allied_complete[3], 0);
    EXPECT_EQ(pilot(2).allied_mission, 1);
    EXPECT_STREQ(pilot(2).favourite_plane, "multijunkers");
    EXPECT_EQ(roster.current, 0);
    for (const char* nothing : {"characteroption:0", "characteroption:8"})
        EXPECT_EQ(dispatch(nothing), nothing);

    EXPECT_EQ(dispatch("command:rosterback"), "menus\\singleplayer.html");
    // A cancelled creation still leads to the face page, as the pages expect.
    entry_script().answer = OM_E_FAIL;
    EXPECT_EQ(dispatch("characteroption:2"), "menus\\chooseface.html");
    EXPECT_FALSE(TvIsPilotUsed(1));
    TvClearPilotRoster();
    EXPECT_EQ(dispatch("command:rosterback"), "^singleplayer^");
}

TEST_F(Dispatcher, CampaignLinksMoveThePilotsMissions) {
    add_pilot(0);
    TvGetPilotRoster().current = 0;
    EXPECT_EQ(dispatch("command:continue"), "menus\\choosemission.html");
    EXPECT_EQ(pilot(0).campaign_mission[0], 1);
    EXPECT_EQ(TvMenus().campaign_mode, 1);
    EXPECT_EQ(dispatch("command:skip"), "missions\\allied\\mission2.html");
    EXPECT_EQ(pilot(0).campaign_mission[0], 2);
    EXPECT_EQ(pilot(0).skip_count, 1);
    EXPECT_EQ(calls(), std::vector<std::string>{"save pilots"});
    entry_script().next_page = "menus\\result.html";
    EXPECT_EQ(dispatch("command:redo"), "menus\\result.html");
    EXPECT_EQ(pilot(0).campaign_mission[0], 1);
    EXPECT_EQ(calls(), std::vector<std::string>{"mission 1"});
    EXPECT_EQ(dispatch("command:campaign:1"), "menus\\singleplayer.html");
    EXPECT_EQ(pilot(0).current_campaign, 1);
    EXPECT_EQ(pilot(0).campaign_mission[1], 1);
    // A campaign number outside the table moves nothing.
    pilot(0).current_campaign = 40;
    EXPECT_EQ(dispatch("command:continue"), "menus\\choosemission.html");
    EXPECT_EQ(dispatch("command:changeside:9"), "menus\\multiplayer.html");
    EXPECT_EQ(pilot(0).side, 9);
    EXPECT_EQ(dispatch("command:changeplane:multijunkers"), "menus\\multiplayer.html");
    EXPECT_STREQ(pilot(0).favourite_plane, "multijunkers");
    EXPECT_STREQ(TvGetGameSettingsRecord().plane_id, "multijunkers");
    EXPECT_EQ(dispatch("vote:map:2"), "menus\\waitforvote.html");
}

TEST_F(Dispatcher, ControlLinksCaptureAndLoadLayouts) {
    EXPECT_EQ(dispatch("control:Player1Fire:1:1"), current_page);
    EXPECT_EQ(calls(), std::vector<std::string>{"capture Player1Fire 1 1"});
    for (const char* bad : {"control:Player1Fire", "control:Player1Fire:0:9"}) {
        EXPECT_EQ(dispatch(bad), current_page);
        EXPECT_TRUE(calls().empty()) << bad;
    }

    // A layout that cannot be opened leaves the sheet as it was.
    sheet_->UseSection("");
    EXPECT_EQ(dispatch("controldefault:joystick.ini"), "menus\\controloptions.html");
    EXPECT_EQ(key("Player1Fire", "key"), "F");
    EXPECT_EQ(TvGetProgramSettings().control_type, 0);

    dir_.write_file("joystick.ini", "[Player1Fire]\nbutton=1\ntype=joystick\n"
                                    "[Player1Pitch]\naxis=1\n");
    sheet_->SetSection("graphics");
    EXPECT_EQ(dispatch("controldefault:joystick.ini"), "menus\\controloptions.html");
    EXPECT_EQ(TvGetProgramSettings().control_type, 1);
    EXPECT_EQ(key("globalcontrol", "type"), "1");
    EXPECT_EQ(key("Player1Fire", "key"), "<missing>");
    EXPECT_EQ(key("Player1Fire", "button"), "1");
    EXPECT_EQ(key("Player1Pitch", "axis"), "1");
    EXPECT_FALSE(has_section("Player1Roll"));
    // Sections that are not control sections stay, the current one included.
    EXPECT_EQ(key("graphics", "shadows"), "1");
    EXPECT_EQ(key("server", "ipaddress"), "10.1.2.3");

    // A missing [globalcontrol] is made.
    sheet_->SetSection("globalcontrol");
    sheet_->RemoveSection();
    dir_.write_file("keyboard.ini", "[Player1Fire]\nkey=SPACE\n");
    EXPECT_EQ(dispatch("controldefault:keyboard.ini"), "menus\\controloptions.html");
    EXPECT_EQ(key("globalcontrol", "type"), "3");

    // A layout the sheet cannot read changes nothing.
    dir_.write_file("mousekeys.ini", "[Player1Fire\nkey=X\n");
    EXPECT_EQ(dispatch("controldefault:mousekeys.ini"), "menus\\controloptions.html");
    EXPECT_EQ(key("Player1Fire", "key"), "SPACE");
    EXPECT_EQ(TvGetProgramSettings().control_type, 3);
}

TEST_F(Dispatcher, KeysBeforeALayoutsFirstHeaderStayOutOfTheSettingsSections) {
    // Without control sections in the settings the removals leave [globalcontrol] current;
    // the file's leading keys must not land there.
    for (const char* section : {"Player1Roll", "Player1Fire"}) {
        sheet_->SetSection(section);
        sheet_->RemoveSection();
    }
    dir_.write_file("keyboard.ini", "type=9\nbutton=2\n[Player1Fire]\nkey=X\n");
    EXPECT_EQ(dispatch("controldefault:keyboard.ini"), "menus\\controloptions.html");
    EXPECT_EQ(key("globalcontrol", "type"), "3");
    EXPECT_EQ(key("globalcontrol", "button"), "<missing>");
    EXPECT_EQ(key("", "type"), "9");
    EXPECT_EQ(key("Player1Fire", "key"), "X");
}

} // namespace
