// Seeds of the front-end harnesses: the demo data's aerovant.ini with strings.ini, a damaged
// settings file, another language, and characters.ini with a full roster.
#include "fuzz/seeds/demo_files.h"
#include "fuzz/seeds/seed_set.h"

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using fuzzing::FuzzInputWriter;

FUZZ_SEEDS(frontend_settings_ini) {
    const std::string settings = fuzzing::demo_file("aerovant.ini");
    const std::string strings = fuzzing::demo_file("Language/english/strings.ini");
    seeds.add("demo", FuzzInputWriter().byte(0).part(settings).rest(strings));
    seeds.add("demo_cheats", FuzzInputWriter().byte(1).part(settings).rest(strings));
    seeds.add("damaged", FuzzInputWriter()
                             .byte(0)
                             .part("[graphics]\nshadows=0\n[broken\nkey=1\n"
                                   "not a line\n[sound]\nchannel0vol=0.2\n")
                             .rest(strings));
    seeds.add("german", FuzzInputWriter()
                            .byte(0)
                            .part("[language]\nlanguage=german\n[server]\n"
                                  "ipaddress=10.9.8.7\n[cheat]\nboost=1\n")
                            .rest("[strings]\ntitle=Aerovant auf Deutsch\n\"quoted key\" = "
                                  "\"Quoted value\"\n\"half=\"open\n\"\"=empty key\n"));
}

FUZZ_SEEDS(frontend_characters_ini) {
    seeds.add("demo", fuzzing::demo_file("characters.ini"));
    std::string roster;
    for (int slot = 1; slot <= 7; ++slot)
        roster +=
            "[Character" + std::to_string(slot) + "]\nforenames=First" + std::to_string(slot) +
            "\nsirname=Last\nfavouriteplane=fokkertriplane\nalliedmissionsc=1 0 1 0 0 0 0 0 0 1\n"
            "centralmissionsc=0 1 0 0 0 0 0 0 0 0\nalliedmission=3\nvideomode=2\npicture=4\n"
            "score=120\ncurrentcampaign=1\nmission1=5\ngermankills=3\nbritkills=2\n";
    seeds.add("full_roster", roster + "[meta]\ncurrent=4\n");
}

namespace {

std::string le(uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char(v >> (8 * i));
    return out;
}

// A bottom-up 24-bit bitmap: a key-coloured border, a diagonal in each 32-pixel frame.
std::string pointer_bitmap(uint32_t width, uint32_t height) {
    const uint32_t row = (width * 3 + 3) & ~3u;
    std::string pixels;
    for (uint32_t y = 0; y < height; ++y) {
        std::string line;
        for (uint32_t x = 0; x < width; ++x)
            line += (x % 32 == y % 32) ? std::string("\xff\xff\xff", 3)
                                       : std::string("\x00\xff\x00", 3);
        line.resize(row, '\0');
        pixels += line;
    }
    const uint32_t offset = 14 + 40;
    return "BM" + le(offset + uint32_t(pixels.size()), 4) + le(0, 4) + le(offset, 4) + le(40, 4) +
           le(width, 4) + le(height, 4) + le(1, 2) + le(24, 2) + le(0, 4) +
           le(uint32_t(pixels.size()), 4) + le(0, 4) + le(0, 4) + le(0, 4) + le(0, 4) + pixels;
}

void add_pages(fuzzing::SeedSet& seeds, const std::string& prefix,
               const std::filesystem::path& dir) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(dir, error)) {
        if (entry.path().extension() != ".html") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        seeds.add(prefix + entry.path().stem().string(), text.str());
    }
    fuzzing::require(!error, "a page directory is listed");
}

} // namespace

FUZZ_SEEDS(frontend_mouse_ini) {
    const std::string demo = fuzzing::demo_file("mouse.ini");
    const std::string picture = pointer_bitmap(96, 32);
    for (uint8_t place : {0x44, 0x00, 0xff, 0x7c})
        seeds.add("demo_" + std::to_string(place),
                  FuzzInputWriter().byte(place).part(demo).rest(picture));
    seeds.add("ini_picture", FuzzInputWriter()
                                 .byte(0x33)
                                 .part("[Raster]\nImage=pointer.ini\n[0]\nWidth=16\n"
                                       "Height=16\nNextImage=1\nNextTime=5\n[1]\nOffsetX=16\n"
                                       "Width=16\nHeight=16\nHotspotX=8\nHotspotY=8\n")
                                 .rest("Image=pointer.bmp\n"));
}

FUZZ_SEEDS(frontend_page_tokens) {
    const std::filesystem::path source = CORVEL_SOURCE_DIR;
    add_pages(seeds, "menu_", source / "data/files/Language/english/menus");
    add_pages(seeds, "allied_", source / "data/files/Language/english/missions/allied");
}

// Every link the demo menu pages hold, with the stand-ins answering yes and no.
FUZZ_SEEDS(frontend_link_dispatch) {
    const std::filesystem::path source = CORVEL_SOURCE_DIR;
    std::set<std::string> links = {"command:quit", "command:timeout", "menus\\missing.html"};
    std::error_code error;
    for (const char* dir :
         {"data/files/Language/english/menus", "data/files/Language/english/missions/allied"})
        for (const auto& entry : std::filesystem::directory_iterator(source / dir, error)) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            const std::string page = text.str();
            for (size_t at = 0; (at = page.find("href=\"", at)) != std::string::npos;) {
                at += 6;
                const size_t end = page.find('"', at);
                if (end == std::string::npos) break;
                links.insert(page.substr(at, end - at));
            }
        }
    fuzzing::require(!error, "the page directories are listed");
    int n = 0;
    for (const std::string& link : links) {
        if (link.find('^') != std::string::npos) continue; // a token, expanded before dispatch
        seeds.add("link" + std::to_string(n), FuzzInputWriter().byte(0).rest(link));
        seeds.add("link" + std::to_string(n++) + "_refused",
                  FuzzInputWriter().byte(0xff).rest(link));
    }
}

// The demo's four control layouts under their own names, on both fixtures; the demo settings
// as a layout of another name; keys before the first header; a file that is not there.
FUZZ_SEEDS(frontend_control_layout) {
    const char* const layouts[] = {"keyboard.ini", "mousekeys.ini", "joystick.ini",
                                   "joystickkeys.ini"};
    for (uint8_t n = 0; n < 4; ++n) {
        const std::string demo = fuzzing::demo_file(layouts[n]);
        seeds.add(layouts[n], FuzzInputWriter().byte(n).rest(demo));
        seeds.add(std::string("bare_") + layouts[n], FuzzInputWriter().byte(n | 8).rest(demo));
    }
    seeds.add("settings_as_layout",
              FuzzInputWriter().byte(4).rest(fuzzing::demo_file("aerovant.ini")));
    seeds.add("leading_keys",
              FuzzInputWriter().byte(8).rest("type=1\naxis=2\n[Player1Fire]\ntype=mouse\n"
                                             "button=1\n[globalcontrol]\ntype=0\n"));
    seeds.add("missing", FuzzInputWriter().byte(5).rest("[Player1Fire]\nkey=x\n"));
}

// Every display link form with the arguments the demo pages and settings use, each with the
// confirmation page timed out, confirmed and closed; modes and renderers that do not exist.
FUZZ_SEEDS(frontend_display_links) {
    const std::pair<uint8_t, const char*> links[] = {{0, "0"},
                                                     {0, "1"},
                                                     {0, "2"},
                                                     {0, "4"},
                                                     {0, "5"},
                                                     {0, "-1"},
                                                     {0, "99"},
                                                     {1, "0"},
                                                     {1, "1"},
                                                     {1, "-1"},
                                                     {2, "1"},
                                                     {2, "0"},
                                                     {3, "1"},
                                                     {3, "0"},
                                                     {4, "2"},
                                                     {4, "0"},
                                                     {5, "400"},
                                                     {6, "900,clip"},
                                                     {6, "3,shadowdetail"},
                                                     {6, "500,effectsdetail"},
                                                     {7, "command:videomode:3"},
                                                     {7, "menus\\options.html"},
                                                     {7, "command:quit"}};
    int n = 0;
    for (const auto& [form, argument] : links)
        for (uint8_t answer = 0; answer < 3; ++answer)
            if (form == 0 || answer == 0)
                seeds.add("link" + std::to_string(n++),
                          FuzzInputWriter().byte(answer).byte(form).rest(argument));
}
