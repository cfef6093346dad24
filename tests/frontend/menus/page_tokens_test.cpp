// Page tokens and plane tables: every token expanded from one fixture state, the tokens that
// set state, template copying (carets, the 64-character cut, long expansions), the plane
// lookups.
#include "frontend/menus/page_tokens.h"

#include "framework/core/com_ref.h"
#include "framework/io/memory_stream.h"
#include "frontend/menus/menu_state.h"
#include "frontend/menus/pilot_roster.h"
#include "frontend/menus/plane_tables.h"
#include "frontend/settings/program_settings.h"
#include "frontend/setup/game_settings_record.h"
#include "tests/fixtures/menu_session_state.h"
#include "tests/frontend/frontend_fixture.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string expand(const std::string& token) {
    std::string out = "unchanged";
    EXPECT_EQ(TvExpandPageTokens(token.c_str(), &out), OM_S_OK);
    return out;
}

// The slider markup: left end, one link per href (the selected one marked), right end.
std::string slider(const std::vector<std::string>& hrefs, int selected) {
    std::string out = "<IMG SRC=\"menus\\images\\slider_left.png\">";
    for (size_t i = 0; i < hrefs.size(); ++i)
        out += "<a href=\"" + hrefs[i] + "\">" +
               (int(i) == selected ? "<IMG SRC=\"menus\\images\\slider_selected.png\">"
                                   : "<IMG SRC=\"menus\\images\\slider.png\">") +
               "</a>";
    return out + "<IMG SRC=\"menus\\images\\slider_right.png\">";
}

std::vector<std::string> numbered(const char* pattern, int from, int to, int step = 1) {
    std::vector<std::string> out;
    for (int v = from; v <= to; v += step) {
        char text[64];
        std::snprintf(text, sizeof text, pattern, v);
        out.push_back(text);
    }
    return out;
}

class PageTokens : public frontendtest::FrontEndTest {
protected:
    void SetUp() override {
        FrontEndTest::SetUp();
        fixtures::SetMenuSessionState();
    }
    void TearDown() override {
        TvClearPilotRoster();
        TvResetMenuState();
        TvResetProgramSettings();
        FrontEndTest::TearDown();
    }
};

TEST_F(PageTokens, EveryTokenExpandsFromTheFixtureState) {
    const std::string tick = "<IMG WIDTH=80 HEIGHT=58 SRC=\"menus\\images\\mission_tick.png\" "
                             "ROLLOVERSRC=\"menus\\images\\bt_missiontick_on.png\"></a>\n";
    const std::string open = "<IMG WIDTH=80 HEIGHT=58 SRC=\"menus\\images\\spacer.ini\" "
                             "ROLLOVERSRC=\"menus\\images\\bt_mission_on.ini\"></a>\n";
    const std::string classified =
        "<IMG SRC=\"menus\\images\\classified_mission.png\" WIDTH=80 HEIGHT=58>\n";
    const std::string brit = "<img src=\"menus\\deadbrit.png\"><img width=8>";
    const struct {
        std::string token, expansion;
    } cases[] = {
        // Missions and campaigns.
        {"alliedmissionavailable:1", "<a href=\"missions\\allied\\mission1.html\">" + tick},
        {"alliedmissionavailable:3", "<a href=\"missions\\allied\\mission3.html\">" + open},
        {"alliedmissionavailable:4", classified},
        {"alliedmissionavailable:11", classified},
        {"centralmissionavailable:5", "<a href=\"missions\\central\\mission5.html\">" + tick},
        {"centralmissionavailable:7", "<a href=\"missions\\central\\mission7.html\">" + open},
        {"centralmissionavailable:1", "<a href=\"missions\\central\\mission1.html\">" + open},
        {"hardmodeavailable", "Complete all missions for Master Mode\n"},
        {"mastermodeavailable",
         "Complete all missions in Master Mode to access the Secret Mission\n"},
        {"rebrief", "missions\\allied\\mission3.html"},
        {"missionscompleted", "3"},
        {"allegiance", "Allies"},
        {"accuracy", "42%"},
        {"build", "Build Number: 20.5"},
        {"continue", "<a href=\"command:continue\">Start Campaign</a><br>"},
        {"singleplayer", "menus\\choosemission.html"},
        // Pilots.
        {"changeplane", "selectplane:15:0"},
        {"characteroption:1", "<a href=\"characteroption:1\">Delete Pilot</a>"},
        {"characteroption:2", "<a href=\"characteroption:2\">Create Pilot</a>"},
        {"characteroption:99", "<a href=\"characteroption:99\">Create Pilot</a>"},
        {"deaths", "4"},
        {"kills", "3"},
        {"britkills", "2"},
        {"germankills", "1"},
        {"briticonkills", brit + brit},
        {"germaniconkills", "<img src=\"menus\\deadgerman.png\"><img width=8>"},
        {"missionbritkills", "5"},
        {"missiongermankills", "6"},
        {"missionshotsfired", "8"},
        {"missionaccuracy", "25%"},
        {"multiplayer", "Menus\\multiplayer.html"},
        {"name2", "John Smith"},
        {"name3", ""},
        {"name4", "Otto Brandt"},
        {"name8", ""},
        {"name", "John Smith"},
        {"name:3", "Otto Brandt"},
        {"name:2", ""},
        {"picture", "menus\\pilot3.png"},
        {"picture:2", "menus\\pilot0.png"},
        {"picture:3", "menus\\pilot5.png"},
        {"plane", "Spad XIII"},
        {"pilotfullname:1", "John Smith"},
        {"pilotfullname:7", ""},
        {"pilotpicture:2", "<img src=\"menus\\pilot0.png\">"},
        {"pilotpicture:3", "<a href=\"characterplay:3\"><img src=\"menus\\pilot5.png\"></a>"},
        {"playpilot:1", "ACTIVE"},
        {"playpilot:2", ""},
        {"playpilot:3", "<a href=\"characterplay:3\">Play this pilot</A>"},
        {"deletepilot:3", "<a href=\"characteroption:3\">Delete this pilot</A>"},
        {"deletepilot:2", ""},
        {"createpilot:2", "<a href=\"characteroption:2\">Create new pilot</A>"},
        {"createpilot:1", ""},
        {"shotsfired", "7"},
        {"shotsontarget", "3"},
        {"side", "Allied"},
        // Planes (Gotha not allowed).
        {"planeimage:aircodh2", "<A HREF=\"command:changeplane:multiaircodh2\"><IMG "
                                "SRC=\"menus\\images\\aircodh2_small.jpg\"></A>"},
        {"planeimage:gothagiv", "<IMG SRC=\"menus\\images\\gothagiv_small_go.jpg\">"},
        {"planename:spadx111", "<A HREF=\"command:changeplane:multispadx111\">Spad XIII</A>"},
        {"planename:gothagiv", "Gotha GIV"},
        {"planedescription:junkers", ""},
        {"planedescription:tavrincamel",
         "The Tavrin Camel is a good all-round fighter. It is very agile has reasonable speed "
         "and a reasonable rate of fire."},
        // Network (state 8, no client game).
        {"connectorfly", "<a href=\"command:rejoin\">Fly</a>"},
        {"timervalue", "12"},
        {"waitingtimervalue", "12"},
        {"connectorsetip", ""},
        {"changeip", ""},
        {"changeplanelink", ""},
        {"changesidelink", ""},
        {"currentmap", "Islands"},
        {"serverip", "10.0.0.1"},
        {"disconnectlink", ""},
        {"gametype", "Deathmatch"},
        {"finishmessage", "Congratulations. You won this round."},
        {"netquit", "Menus\\multiplayer.html"},
        {"netstatus", "Connected to Game"},
        {"players", "Not connected."},
        {"continueseconds", "9"},
        {"multidesertlink",
         "<a href=\"vote:map:3\"><IMG SRC=\"menus/images/desert_select.jpg\"></a>"},
        {"multiislandlink",
         "<a href=\"vote:map:2\"><IMG SRC=\"menus/images/islands_select.jpg\"></a>"},
        {"multicountrylink",
         "<a href=\"vote:map:1\"><IMG SRC=\"menus/images/countryside_select.jpg\"></a>"},
        // Settings.
        {"slidebar:0,1000,0,4,clip", slider(numbered("slidebar:%d,clip", 0, 750, 250), 2)},
        {"slidebar:0,10,5,5,fog", slider(numbered("slidebar:%d,fog", 0, 8, 2), 2)},
        {"slidebar:0,10,5,0,fog", slider({}, -1)},
        {"effectsdetailslider", slider(numbered("slidebar:%d,effectsdetail", 0, 1000, 200), 2)},
        {"sensitivityslider:0", slider(numbered("command:sensitivity:%d:0", 1, 10), 6)},
        {"sensitivityslider:1", slider(numbered("command:sensitivity:%d:1", 1, 10), 4)},
        {"sensitivityslider:3", ""},
        {"shadowdetailslider", slider(numbered("slidebar:%d,shadowdetail", 0, 3), 2)},
        {"statusbar", "Fly!"},
        {"vsync", "<a href=\"command:vsync:0\"><img src=\"Menus\\images\\checkbox_on.png\"></a>"},
        {"detailtextures",
         "<a href=\"command:detailtextures:1\"><img src=\"Menus\\images\\checkbox.png\"></a>"},
        {"hardwaresound",
         "<a href=\"command:hardwaresound:1\"><img src=\"Menus\\images\\checkbox.png\"></a>"},
        {"musicvolume", slider(numbered("command:musicvolume:%d", 0, 90, 10), 5)},
        {"sfxvolume", slider(numbered("command:sfxvolume:%d", 0, 90, 10), 9)},
        {"videomodes", ""}, // no video started here
        {"keymousecontrol", "<IMG SRC=\"menus\\images\\checkbox.png\">"},
        {"joystickcontrol", "<IMG SRC=\"menus\\images\\checkbox.png\">"},
        {"joystickkeycontrol", "<IMG SRC=\"menus\\images\\checkbox_on.png\">"},
        {"keycontrol", "<IMG SRC=\"menus\\images\\checkbox.png\">"},
        // Anything else.
        {"frobnicate", "'frobnicate' not defined."},
        {"Build", "'Build' not defined."},
    };
    for (const auto& c : cases) EXPECT_EQ(expand(c.token), c.expansion) << c.token;
}

TEST_F(PageTokens, StateTokensSetTheMenusAndExpandToNothing) {
    TvMenuState& m = TvMenus();
    EXPECT_EQ(expand("setcurrentalliedmission:7"), "");
    EXPECT_EQ(m.allied_mission, 7);
    EXPECT_EQ(m.mission_chosen, 1);
    EXPECT_EQ(expand("setcurrentcentralmission:9"), "");
    EXPECT_EQ(m.central_mission, 9);
    EXPECT_EQ(expand("setcurrenttrainingmission:2"), "");
    EXPECT_EQ(m.training_mission, 2);
    EXPECT_EQ(expand("setcampaign:1"), "");
    EXPECT_EQ(expand("rebrief"), "missions\\central\\mission9.html");
    EXPECT_EQ(expand("setcampaign:4"), "");
    EXPECT_EQ(expand("rebrief"), "missions\\tutorials\\tutorial2.html");
    for (const char* word : {"hard", "medium", "Easy"}) {
        m.master_mode = 0;
        EXPECT_EQ(expand(std::string("setmissionscreen:") + word), "");
        EXPECT_EQ(m.master_mode, 1) << word;
    }
    EXPECT_EQ(expand("setmissionscreen:easy"), "");
    EXPECT_EQ(m.master_mode, 0);
    m.master_mode = 1;
    EXPECT_EQ(expand("singleplayer"), "menus\\choosehardmission.html");
}

TEST_F(PageTokens, CampaignAndPilotRulesFollowTheCompletedMissions) {
    TvPilotRecord& john = TvGetPilotRoster().pilots[0];
    // With allied mission 5 complete every allied mission is open; mission 1 always is.
    john.allied_complete[4] = 1;
    for (int d = 2; d <= 10; ++d)
        EXPECT_NE(expand("alliedmissionavailable:" + std::to_string(d)).find("href"),
                  std::string::npos)
            << d;
    john.central_complete[4] = 1;
    EXPECT_EQ(expand("hardmodeavailable"),
              "<A HREF=\"menus\\choosehardmission.html\"><IMG WIDTH=3>Master Mode</A>\n");
    for (int d = 5; d < 10; ++d) john.allied_complete[d] = john.central_complete[d] = 1;
    EXPECT_EQ(expand("mastermodeavailable"),
              "<A HREF=\"missions\\allied\\mission11.html\">Play the Secret Mission</A>\n");
    john.shots_fired = 0;
    EXPECT_EQ(expand("accuracy"), "Unknown");
    TvMenus().mission_shots_fired = 0;
    EXPECT_EQ(expand("missionaccuracy"), "0%");
    john.side = TV_SIDE_CENTRAL;
    john.current_campaign = 1;
    EXPECT_EQ(expand("changeplane"), "selectplane:240:0");
    EXPECT_EQ(expand("side"), "Central Powers");
    EXPECT_EQ(expand("allegiance"), "Central Powers");
    john.side = -1;
    expand("singleplayer");
    EXPECT_EQ(john.side, 1);
    TvGetPilotRoster().current = 2;
    EXPECT_EQ(expand("continue"), "<a href=\"command:continue\">Continue Campaign</a><br>");
    EXPECT_EQ(expand("plane"), "Fokker Triplane");

    // Without a current pilot the pilot tokens give nothing and the links lead to creation.
    TvGetPilotRoster().current = -1;
    for (const char* token : {"name", "picture", "kills", "accuracy", "side", "plane"})
        EXPECT_EQ(expand(token), "") << token;
    EXPECT_EQ(expand("singleplayer"), "characteroption:1");
    EXPECT_EQ(expand("multiplayer"), "characteroption:1");

    // Offline with and without a server address.
    TvMenus().client_state = 15;
    EXPECT_EQ(expand("connectorfly"), "<a href=\"command:connect\">LAN Connect</a>");
    EXPECT_EQ(expand("connectorsetip"), "<A HREF=\"command:connectip\">Internet Connect</A>");
    EXPECT_EQ(expand("changeip"), "<A HREF=\"command:changeip\">Change Server IP</A>");
    EXPECT_EQ(expand("currentmap"), "Unknown");
    EXPECT_EQ(expand("netstatus"), "Offline");
    TvGetProgramSettings().server_address.clear();
    EXPECT_EQ(expand("connectorsetip"), "<a href=\"command:changeip\">Internet Connect</a>");
    EXPECT_EQ(expand("changeip"), "");
    TvMenus().client_state = 17;
    EXPECT_EQ(expand("netstatus"), "");
    TvMenus().last_outcome = 0x108;
    EXPECT_EQ(expand("finishmessage"),
              "Bad luck. You'll have to raise your game against these pilots.");
    // The round is won or lost by the player's own slot, whichever slot that is.
    for (const auto& [outcome, won] : {std::pair{0x103, true}, {0x100, false}, {0x105, false}}) {
        TvMenus().last_outcome = outcome;
        EXPECT_EQ(expand("finishmessage"),
                  won ? "Congratulations. You won this round."
                      : "Bad luck. You'll have to raise your game against these pilots.")
            << std::hex << outcome;
    }
}

std::string expand_template(const std::string& text, OmResult* result = nullptr) {
    ComRef<IByteStream> in, out;
    EXPECT_EQ(OmNewMemoryStream(in.put()), OM_S_OK);
    EXPECT_EQ(OmNewMemoryStream(out.put()), OM_S_OK);
    if (!text.empty()) in->Write(text.data(), uint32_t(text.size()), nullptr);
    in->Seek(0, OM_SEEK_START, nullptr);
    const OmResult r = TvExpandTemplate(in.get(), out.get());
    if (result) *result = r;
    uint32_t size = 0;
    out->Seek(0, OM_SEEK_END, &size);
    out->Seek(0, OM_SEEK_START, nullptr);
    std::string copied(size, '\0');
    uint32_t done = 0;
    if (size) out->Read(copied.data(), size, &done);
    return copied;
}

TEST_F(PageTokens, TemplatesCopyTextAndReplaceTokens) {
    OmResult r = OM_E_FAIL;
    EXPECT_EQ(expand_template("a^^b^build^c", &r), "a^bBuild Number: 20.5c");
    EXPECT_EQ(r, OM_S_OK);
    EXPECT_EQ(expand_template(""), "");
    // A token without its closing caret runs to the end of the page.
    EXPECT_EQ(expand_template("x^deaths"), "x4");
    // 64 characters make the token, the 65th is lost, the rest up to the next caret is text
    // and the caret opens the next token.
    const std::string long_token(70, 'a');
    EXPECT_EQ(expand_template("^" + long_token + "^side^"),
              "'" + std::string(64, 'a') + "' not defined." + "aaaaa" + "Allied");
    EXPECT_EQ(TvExpandTemplate(nullptr, nullptr), OM_E_FAIL);

    // A long career overflows no buffer: 60 kill icons are all there.
    TvGetPilotRoster().pilots[0].brit_kills = 60;
    const std::string icons = expand_template("<p>^briticonkills^</p>");
    EXPECT_GT(icons.size(), 2047u);
    size_t count = 0;
    for (size_t at = icons.find("deadbrit"); at != std::string::npos;
         at = icons.find("deadbrit", at + 1))
        ++count;
    EXPECT_EQ(count, 60u);
}

TEST_F(PageTokens, PlaneTablesAnswerByExactId) {
    TvGetGameSettingsRecord().available_planes = 255;
    const struct {
        const char* id;
        uint32_t bit;
        const char* name;
    } planes[] = {{"aircodh2", 1, "Airco DH2"},       {"tavrincamel", 2, "Tavrin Camel"},
                  {"spadx111", 4, "Spad XIII"},       {"handleypage", 8, "Handley Page 0/400"},
                  {"junkers", 16, "Junkers"},         {"fokkertriplane", 32, "Fokker Triplane"},
                  {"halberstadt", 64, "Halberstadt"}, {"gothagiv", 128, "Gotha GIV"}};
    for (const auto& p : planes) {
        EXPECT_EQ(TvIsPlaneAvailable(p.id), p.bit) << p.id;
        EXPECT_STREQ(TvGetPlaneName(p.id), p.name);
    }
    EXPECT_NE(std::string(TvGetPlaneDescription("aircodh2")).find("<br>"), std::string::npos);
    EXPECT_STREQ(TvGetPlaneDescription("gothagiv"), "");
    for (const char* unknown : {"Aircodh2", "GOTHAGIV", "multiaircodh2", ""}) {
        EXPECT_EQ(TvIsPlaneAvailable(unknown), 0u) << unknown;
        EXPECT_STREQ(TvGetPlaneName(unknown), "");
        EXPECT_STREQ(TvGetPlaneDescription(unknown), "");
    }
    TvGetGameSettingsRecord().available_planes = 255 & ~128u;
    for (const auto& p : planes) EXPECT_EQ(TvIsPlaneAvailable(p.id) != 0, p.bit != 128) << p.id;
}

} // namespace
