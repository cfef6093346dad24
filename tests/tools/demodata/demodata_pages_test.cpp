// The demo set's menu pages: every page the front end opens exists, parses and lays out in
// the 640 x 480 menu layout, names only pictures that exist, and sets its text in a face
// that resolves to Liberation Sans.
#include "frontend/html/html_document.h"
#include "frontend/html/html_layout.h"
#include "frontend/html/html_parser.h"
#include "tests/frontend/html/html_test_support.h"
#include "tests/tools/demodata/demodata_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <strings.h>

namespace demodatatest {
namespace {

namespace fs = std::filesystem;

// Pages are read relative to the language directory, the credits from the program directory.
std::string page_base(const std::string& relative) {
    return relative.starts_with("Language/english/") ? program_dir() + "/Language/english/"
                                                     : program_dir() + "/";
}

bool exists_from(const std::string& base, std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    // The game's paths are matched without regard to case.
    fs::path p = base;
    for (const auto& part : fs::path(path)) {
        fs::path next = p / part;
        if (!fs::exists(next)) {
            bool found = false;
            if (fs::is_directory(p))
                for (const auto& e : fs::directory_iterator(p))
                    if (strcasecmp(e.path().filename().c_str(), part.c_str()) == 0) {
                        next = e.path();
                        found = true;
                        break;
                    }
            if (!found) return false;
        }
        p = next;
    }
    return fs::is_regular_file(p);
}

TEST_F(DemoDataTest, EveryPageTheFrontEndOpensIsThere) {
    const std::string lang = program_dir() + "/Language/english/";
    for (const char* page : {"titlescreen",
                             "main",
                             "singleplayer",
                             "choosemission",
                             "choosehardmission",
                             "chooseallied",
                             "chooseside",
                             "chooseface",
                             "entername",
                             "enterserver",
                             "options",
                             "soundoptions",
                             "controloptions",
                             "videomodes",
                             "pause",
                             "loading",
                             "status",
                             "victory",
                             "defeat",
                             "congratulations",
                             "allied_victory",
                             "central_victory",
                             "multiplayer",
                             "connecting",
                             "waiting",
                             "disconnected",
                             "playerlimit",
                             "multipause",
                             "finished",
                             "finishednv",
                             "waitforvote",
                             "votinginprogress",
                             "selectplane",
                             "noplane"})
        EXPECT_TRUE(exists_from(lang, std::string("menus\\") + page + ".html")) << page;
    for (int n = 1; n <= 3; ++n) {
        EXPECT_TRUE(exists_from(lang, "missions\\allied\\mission" + std::to_string(n) + ".html"));
        EXPECT_TRUE(exists_from(lang, "missions\\allied\\loading" + std::to_string(n) + ".html"));
    }
    for (int n = 1; n <= 2; ++n) {
        EXPECT_TRUE(exists_from(lang, "missions\\central\\mission" + std::to_string(n) + ".html"));
        EXPECT_TRUE(exists_from(lang, "missions\\central\\loading" + std::to_string(n) + ".html"));
    }
    EXPECT_TRUE(exists_from(lang, "missions\\tutorials\\tutorial1.html"));
    for (int n = 1; n <= 7; ++n)
        EXPECT_TRUE(
            exists_from(program_dir() + "/", "menus\\credits" + std::to_string(n) + ".html"));
}

TEST_F(DemoDataTest, EveryPageParsesAndLaysOutInTheMenuLayout) {
    const std::vector<std::string> pages = files_ending({".html"});
    ASSERT_GE(pages.size(), 40u);
    ComRef<IFont> font = htmltest::FakeFont::make(8, 16);
    for (const std::string& page : pages) {
        SCOPED_TRACE(page);
        const std::string text = read_text(program_dir() + "/" + page);
        ComRef<IObjHash> root = htmltest::parse_page(text);
        ASSERT_TRUE(root);
        htmltest::attach_font(root.get(), font.get());
        const OmRect screen = {0, 0, 640, 480};
        EXPECT_GE(layoutHtmlDocument(root.get(), nullptr, &screen), 0);
        // Links found by the parser: one per anchor of the page.
        const std::regex anchor("<a href", std::regex::icase);
        const auto anchors = std::distance(std::sregex_iterator(text.begin(), text.end(), anchor),
                                           std::sregex_iterator());
        ICOMArray* links = htmlArrayAt(root.get(), "links");
        EXPECT_EQ(links ? links->Count() : 0, anchors);
    }
}

TEST_F(DemoDataTest, PagesNameOnlyPicturesThatExistAndOneFontFace) {
    ASSERT_TRUE(fs::exists("/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"))
        << "fonts-liberation is one of the project's packages";
    // Where fontconfig is installed, the face name resolves to that file.
    if (FILE* match = popen("fc-match 'Liberation Sans' 2>/dev/null", "r")) {
        char line[256] = {};
        const bool answered = std::fgets(line, sizeof line, match) != nullptr;
        pclose(match);
        if (answered) {
            EXPECT_NE(std::string(line).find("LiberationSans"), std::string::npos) << line;
        }
    }
    const std::regex source("src=\"([^\"^]*)\"", std::regex::icase);
    const std::regex face("face=\"([^\"]*)\"", std::regex::icase);
    for (const std::string& page : files_ending({".html"})) {
        SCOPED_TRACE(page);
        const std::string text = read_text(program_dir() + "/" + page);
        for (auto m = std::sregex_iterator(text.begin(), text.end(), source);
             m != std::sregex_iterator(); ++m)
            EXPECT_TRUE(exists_from(page_base(page), (*m)[1])) << (*m)[1];
        for (auto m = std::sregex_iterator(text.begin(), text.end(), face);
             m != std::sregex_iterator(); ++m)
            EXPECT_EQ((*m)[1], "Liberation Sans");
    }
    // Pictures the page tokens name.
    const std::string lang = program_dir() + "/Language/english/";
    for (const char* picture :
         {"menus\\images\\mission_tick.png", "menus\\images\\bt_missiontick_on.png",
          "menus\\images\\classified_mission.png", "Menus\\images\\checkbox.png",
          "Menus\\images\\checkbox_on.png", "menus\\images\\slider.png",
          "menus\\images\\slider_selected.png", "menus\\images\\slider_left.png",
          "menus\\images\\slider_right.png", "menus\\deadbrit.png", "menus\\deadgerman.png",
          "menus\\pilot0.png", "menus\\pilot8.png", "menus/images/desert_select.jpg",
          "menus/images/islands_select.jpg", "menus/images/countryside_select.jpg",
          "menus\\images\\tavrincamel_small.jpg", "menus\\images\\gothagiv_small_go.jpg"})
        EXPECT_TRUE(exists_from(lang, picture)) << picture;
    // INI image descriptions: their "Image" (and "Mask") beside them.
    for (const char* description : {"menus/images/spacer.ini", "menus/images/bt_mission_on.ini"}) {
        SCOPED_TRACE(description);
        Ini ini(std::string("Language/english/") + description);
        const auto image = ini.get("", "Image");
        ASSERT_TRUE(image.has_value());
        EXPECT_LT(image->size(), 40u);
        EXPECT_TRUE(exists_from(lang + "menus/images/", *image));
    }
}

} // namespace
} // namespace demodatatest

namespace demodatatest {
namespace {

// The match's overlay draws no pointer and reads only keys: it has no links, and it names its
// keys.
TEST_F(DemoDataTest, TheMatchOverlayIsKeyboardOnlyAndSaysSo) {
    const std::string page = read_text(program_dir() + "/Language/english/menus/multipause.html");
    std::string lower = page;
    std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
    EXPECT_EQ(lower.find("<a "), std::string::npos);
    EXPECT_NE(page.find("Esc"), std::string::npos);
    EXPECT_NE(page.find("Q leaves the match"), std::string::npos);
}

// The multiplayer plane page offers by tokens: exactly the planes the multiplayer missions
// carry, each with its plane files.
TEST_F(DemoDataTest, TheMultiplayerPlanePageOffersTheMissionsPlanes) {
    const std::regex token("\\^plane(image|name):([a-z0-9]+)\\^");
    const std::string select =
        read_text(program_dir() + "/Language/english/menus/selectplane.html");
    std::set<std::string> on_page;
    for (auto m = std::sregex_iterator(select.begin(), select.end(), token);
         m != std::sregex_iterator(); ++m)
        on_page.insert("multi" + (*m)[2].str());
    ASSERT_FALSE(on_page.empty());
    for (const std::string& plane : on_page)
        EXPECT_TRUE(fs::is_regular_file(program_dir() + "/objects/planes/" + plane + "/plane.ini"))
            << plane;
    for (int n : {101, 102, 103}) {
        Ini ini("missions/" + std::to_string(n) + "/mission.ini");
        const std::vector<std::string> air = words(ini.get("archetypes", "air").value_or(""));
        EXPECT_EQ(on_page, std::set<std::string>(air.begin(), air.end())) << "mission " << n;
    }
}

// A plane a page offers must be a plane kind of every mission it can be flown in, or the
// player's entry is dropped when the mission loads: "selectplane:N:plane" flies mission N,
// and "play:N" flies whichever plane was chosen last.
TEST_F(DemoDataTest, PlanesThePagesOfferAreKindsOfTheirMissions) {
    const std::regex select("href=\"selectplane:([0-9]+):([a-z0-9]+)\"");
    const std::regex play("href=\"play:([0-9]+)\"");
    const std::regex choice("href=\"planechoice:([a-z0-9]+)\"");
    std::set<std::pair<int, std::string>> selected;
    std::set<std::string> planes, network_planes;
    std::set<int> played;
    for (const std::string& page : files_ending({".html"})) {
        const std::string text = read_text(program_dir() + "/" + page);
        for (auto m = std::sregex_iterator(text.begin(), text.end(), select);
             m != std::sregex_iterator(); ++m) {
            selected.insert({std::stoi((*m)[1]), (*m)[2]});
            planes.insert((*m)[2]);
        }
        for (auto m = std::sregex_iterator(text.begin(), text.end(), play);
             m != std::sregex_iterator(); ++m)
            played.insert(std::stoi((*m)[1]));
        for (auto m = std::sregex_iterator(text.begin(), text.end(), choice);
             m != std::sregex_iterator(); ++m)
            network_planes.insert((*m)[1]);
    }
    ASSERT_EQ(planes.size(), 3u);
    ASSERT_EQ(network_planes.size(), 3u);
    const auto kinds_of = [](int n) {
        Ini ini("missions/" + std::to_string(n) + "/mission.ini");
        return words(ini.get("archetypes", "air").value_or(""));
    };
    const auto expect_kind = [&](int n, const std::string& plane, const char* how) {
        const std::vector<std::string> air = kinds_of(n);
        EXPECT_NE(std::find(air.begin(), air.end(), plane), air.end())
            << how << " " << plane << " in mission " << n;
    };
    for (const auto& [n, plane] : selected) expect_kind(n, plane, "selectplane");
    for (int n : played)
        for (const std::string& plane : planes) expect_kind(n, plane, "play after choosing");
    for (int n : {101, 102, 103})
        for (const std::string& plane : network_planes) expect_kind(n, plane, "planechoice");
}

// The choose-a-mission page's cards as the front end expands them, its plain links, the
// mission pages they open and the missions those fly: a campaign's page n is that campaign's
// mission n (it sets the campaign and the number the mission loop books), its loading page
// shows its title, it flies one mission of its own side, and no two pages fly one mission
// under two titles. After each campaign's last mission, "Skip this mission" opens
// missions\<directory>\mission<n + 1>.html: that page is there too.
TEST_F(DemoDataTest, CampaignLinksLeadWhereTheySay) {
    const std::string lang = program_dir() + "/Language/english/";
    const std::string choose = read_text(lang + "menus/choosemission.html");
    std::vector<std::string> pages;
    const std::regex card("\\^(allied|central)missionavailable:([0-9]+)\\^");
    for (auto m = std::sregex_iterator(choose.begin(), choose.end(), card);
         m != std::sregex_iterator(); ++m)
        pages.push_back("missions\\" + std::string((*m)[1]) + "\\mission" + std::string((*m)[2]) +
                        ".html");
    const std::regex href("href=\"(missions\\\\[^\"]*)\"", std::regex::icase);
    for (auto m = std::sregex_iterator(choose.begin(), choose.end(), href);
         m != std::sregex_iterator(); ++m)
        pages.push_back((*m)[1]);
    Ini settings("aerovant.ini");
    std::map<std::string, int> campaign_of;
    for (int k = 0; k < 3; ++k)
        campaign_of[settings.get(("Campaign" + std::to_string(k)).c_str(), "directory")
                        .value_or("?")] = k;
    ASSERT_EQ(campaign_of.size(), 3u);

    std::map<int, std::string> flown;
    std::map<std::string, int> last;
    const std::regex name("missions\\\\([a-z]+)\\\\(mission|tutorial)([0-9]+)\\.html");
    const std::regex fly("href=\"(play:|selectplane:)([0-9]+)");
    const std::regex title("<b>([^<]*)</b>");
    for (const std::string& page : pages) {
        SCOPED_TRACE(page);
        std::smatch parts;
        ASSERT_TRUE(std::regex_match(page, parts, name));
        const std::string directory = parts[1];
        const int n = std::stoi(parts[3]);
        ASSERT_TRUE(campaign_of.count(directory));
        const int campaign = campaign_of[directory];
        ASSERT_TRUE(exists_from(lang, page));
        std::string path = page;
        std::replace(path.begin(), path.end(), '\\', '/');
        const std::string text = read_text(lang + path);
        EXPECT_NE(text.find("^setcampaign:" + std::to_string(campaign) + "^"), std::string::npos);
        const std::string number_token = campaign == 0   ? "setcurrentalliedmission:"
                                         : campaign == 1 ? "setcurrentcentralmission:"
                                                         : "setcurrenttrainingmission:";
        EXPECT_NE(text.find("^" + number_token + std::to_string(n) + "^"), std::string::npos);
        if (campaign < 2) last[directory] = std::max(last[directory], n);

        // The loading page the mission loop shows for this page's number, with its title.
        const std::string loading =
            "missions/" + directory + "/loading" + std::to_string(n) + ".html";
        ASSERT_TRUE(exists_from(lang, loading));
        std::smatch heading;
        ASSERT_TRUE(std::regex_search(text, heading, title));
        std::string mission_name = heading[1];
        if (const size_t colon = mission_name.find(": "); colon != std::string::npos)
            mission_name = mission_name.substr(colon + 2);
        EXPECT_NE(read_text(lang + loading).find(mission_name), std::string::npos)
            << "the loading page does not name " << mission_name;

        std::set<int> missions;
        for (auto m = std::sregex_iterator(text.begin(), text.end(), fly);
             m != std::sregex_iterator(); ++m)
            missions.insert(std::stoi((*m)[2]));
        ASSERT_EQ(missions.size(), 1u) << "a page flies one mission";
        const int mission = *missions.begin();
        const auto [other, fresh] = flown.emplace(mission, page);
        EXPECT_TRUE(fresh) << "mission " << mission << " is flown from " << other->second << " too";
        // The player flies for the page's side: group 8 Allied, 9 Central.
        if (campaign < 2) {
            Ini ini("missions/" + std::to_string(mission) + "/mission.ini");
            int groups = 0;
            for (int i = 0; i < 100; ++i) {
                const std::string section = "air" + std::to_string(i);
                if (ini.has_section(section.c_str()) &&
                    ini.get(section.c_str(), "player").has_value())
                    groups = std::stoi(ini.get(section.c_str(), "groups").value_or("0"));
            }
            EXPECT_NE(groups & (1 << (campaign == 0 ? 8 : 9)), 0) << "mission " << mission;
        }
    }
    EXPECT_EQ(last.size(), 2u) << "both campaigns have missions on the page";
    for (const auto& [directory, n] : last)
        EXPECT_TRUE(exists_from(lang, "missions/" + directory + "/mission" + std::to_string(n + 1) +
                                          ".html"))
            << "the page after " << directory << "'s last mission";
}

} // namespace
} // namespace demodatatest
