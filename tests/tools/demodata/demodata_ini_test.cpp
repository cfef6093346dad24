// The demo set's INI files against the keys their readers take: planes, ground kinds,
// ordnance, shrapnel, the map, the lens flare, texture loads, sounds and the front end's files.
#include "tests/tools/demodata/demodata_fixture.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace demodatatest {
namespace {

namespace fs = std::filesystem;

bool exists(const std::string& relative) {
    return fs::is_regular_file(program_dir() + "/" + relative);
}

// The sections of sounds.ini: every sound name the data may use.
std::set<std::string> sound_names() {
    Ini sounds("sound/sounds.ini");
    std::vector<std::string> s = sounds.sections();
    return {s.begin(), s.end()};
}

std::vector<std::string> subdirectories(const std::string& relative) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(program_dir() + "/" + relative))
        if (e.is_directory()) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(DemoDataTest, EveryIniFileLoadsThroughThePropertySheet) {
    const std::vector<std::string> files = files_ending({".ini"});
    ASSERT_GE(files.size(), 30u);
    for (const std::string& f : files) {
        if (f.ends_with("SHRAPNEL.INI")) continue; // a plain word list, not a property sheet
        Ini ini(f);
        EXPECT_TRUE(ini.loaded()) << f;
        EXPECT_FALSE(ini.sections().empty()) << f;
    }
}

TEST_F(DemoDataTest, PlanesHaveEveryKeyOfTheirSectionsAndTheirModelAndShadow) {
    const std::set<std::string> sounds = sound_names();
    const std::vector<std::string> planes = subdirectories("objects/planes");
    for (const char* id : {"aircodh2", "tavrincamel", "fokkertriplane", "handleypage",
                           "multitavrincamel", "multifokkertriplane", "multihandleypage"})
        EXPECT_NE(std::find(planes.begin(), planes.end(), id), planes.end()) << id;
    const std::vector<std::pair<const char*, std::vector<const char*>>> keys = {
        {"physics",
         {"divespeed", "highspeed", "cruisespeed", "climbspeed", "stallspeed", "accel", "roll",
          "turn", "pitch", "lift", "ceiling", "drag", "energyconvert"}},
        {"collision",
         {"frontlength", "backlength", "portlength", "starboardlength", "uplength", "downlength"}},
        {"armaments", {"endurance", "firerate", "fireon", "fireoff", "radarmin", "radarmax"}},
        {"appearance", {"dff", "shadow", "shadowoffset", "diffuse", "ambient", "specular"}},
        {"sound",
         {"engine", "machinegun", "hitsound", "althitsound", "explosion", "rocket", "bomb",
          "spiral"}},
    };
    for (const std::string& plane : planes) {
        if (plane == "textures") continue;
        SCOPED_TRACE(plane);
        Ini ini("objects/planes/" + plane + "/plane.ini");
        for (const auto& [section, names] : keys)
            for (const char* key : names) {
                const auto value = ini.get(section, key);
                ASSERT_TRUE(value.has_value()) << section << "/" << key;
                // Every value is read into 32 characters, numbers with %f.
                EXPECT_LT(value->size(), 32u) << key;
                float number;
                if (std::string(section) != "sound" && std::string(section) != "appearance") {
                    EXPECT_EQ(std::sscanf(value->c_str(), "%f", &number), 1) << key;
                }
            }
        EXPECT_TRUE(exists("objects/planes/" + plane + "/" + *ini.get("appearance", "dff")));
        // The shadow is read as "CLEAR" with the value as its mask, from the plane textures.
        EXPECT_TRUE(exists("objects/planes/textures/clear.bmp"));
        EXPECT_TRUE(exists("objects/planes/textures/" + *ini.get("appearance", "shadow")));
        for (const char* key :
             {"engine", "machinegun", "hitsound", "althitsound", "explosion", "rocket", "bomb"}) {
            const std::string name = *ini.get("sound", key);
            EXPECT_TRUE(sounds.count(name)) << key << " " << name;
            // AI planes play the engine sound with "AI" appended.
            if (std::string(key) == "engine") {
                EXPECT_TRUE(sounds.count(name + "AI")) << name;
            }
        }
        EXPECT_TRUE(exists("sound/" + *ini.get("sound", "spiral")));
    }
}

TEST_F(DemoDataTest, GroundKindsGiveTheirModelsDamageStagesPickupsAndGuns) {
    const std::set<std::string> sounds = sound_names();
    std::set<std::string> shrapnel;
    for (const auto& e : fs::directory_iterator(program_dir() + "/objects/ground/shrapnel"))
        if (e.path().extension() == ".dff") shrapnel.insert(e.path().stem().string());
    ASSERT_EQ(shrapnel.size(), 2u);

    struct Kind {
        const char* name;
        int models; // the intact model and its damage stages or destroyed model
        const char* pickup;
    };
    const Kind kinds[] = {{"takeoffpoint", 1, nullptr},  {"hangar", 2, nullptr},
                          {"tent", 3, nullptr},          {"rocketpickup", 1, "rockets"},
                          {"healthpickup", 1, "health"}, {"ammodump", 1, nullptr},
                          {"aagun", 1, nullptr}};
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        const std::string dir = std::string("objects/ground/") + k.name + "/";
        Ini ini(dir + "ground.ini");
        int models = 0;
        if (auto dff = ini.get("appearance", "dff"); dff && exists(dir + *dff)) ++models;
        if (auto dead = ini.get("appearance", "deaddff")) {
            EXPECT_TRUE(exists(dir + *dead));
            ++models;
        } else {
            for (int stage = 1; stage <= 5; ++stage)
                if (auto d = ini.get("appearance", ("damagedff" + std::to_string(stage)).c_str())) {
                    EXPECT_TRUE(exists(dir + *d)) << *d;
                    ++models;
                }
        }
        EXPECT_EQ(models, k.models);
        if (auto shadow = ini.get("appearance", "shadow")) {
            EXPECT_TRUE(exists("objects/ground/textures/" + *shadow));
        }
        if (auto pieces = ini.get("appearance", "shrapnel")) {
            for (const std::string& w : words(*pieces)) {
                EXPECT_TRUE(shrapnel.count(w)) << w;
            }
        }
        EXPECT_EQ(ini.get("behaviour", "pickup").value_or(""), k.pickup ? k.pickup : "");
        if (k.pickup) {
            EXPECT_TRUE(ini.get("behaviour", "height").has_value());
            EXPECT_TRUE(ini.get("behaviour", "bubble").has_value());
        }
        for (const char* key : {"hitsound", "explosion", "breakage", "althitsound", "gunfire"})
            if (auto s = ini.get("sound", key)) {
                EXPECT_TRUE(sounds.count(*s)) << key << " " << *s;
            }
    }
    // The shared crate drawn over active pickups.
    EXPECT_TRUE(exists("objects/ground/ammodump/ammodump.dff"));
    Ini gun("objects/ground/aagun/ground.ini");
    for (const char* key : {"firerate", "fireon", "fireoff"})
        EXPECT_TRUE(gun.get("armaments", key).has_value()) << key;
    EXPECT_TRUE(gun.get("sound", "gunfire").has_value());
}

TEST_F(DemoDataTest, ShrapnelListNamesEveryPieceWithASize) {
    const std::string text = read_text(program_dir() + "/objects/ground/shrapnel/SHRAPNEL.INI");
    const size_t body = text.find('\n');
    ASSERT_NE(body, std::string::npos) << "the first line is a heading";
    const std::vector<std::string> w = words(text.substr(body + 1));
    ASSERT_EQ(w.size() % 2, 0u);
    std::set<std::string> named;
    for (size_t i = 0; i < w.size(); i += 2) {
        float size = 0;
        EXPECT_EQ(std::sscanf(w[i + 1].c_str(), "%f", &size), 1);
        EXPECT_GT(size, 0.0f);
        EXPECT_TRUE(exists("objects/ground/shrapnel/" + w[i] + ".dff")) << w[i];
        named.insert(w[i]);
    }
    EXPECT_EQ(named.size(), 2u);
}

TEST_F(DemoDataTest, OrdnanceTableHasTheFourKindsWithPicturesModelsAndSounds) {
    const std::set<std::string> sounds = sound_names();
    Ini ini("objects/ordinance/ordinance.ini");
    for (int n = 1; n <= 4; ++n) {
        const std::string section = "ordinance" + std::to_string(n);
        SCOPED_TRACE(section);
        for (const char* key : {"name", "releasespeed", "maxspeed", "accel", "damage", "blast",
                                "size", "jitter", "groundhit", "raster"})
            EXPECT_TRUE(ini.get(section.c_str(), key).has_value()) << key;
        const std::string raster = ini.get(section.c_str(), "raster").value_or("?");
        EXPECT_TRUE(exists("objects/ordinance/" + raster + ".bmp"));
        EXPECT_TRUE(exists("objects/ordinance/" + raster + "m.bmp"));
        EXPECT_TRUE(sounds.count(ini.get(section.c_str(), "groundhit").value_or("?")));
        // Index 1 (bombs) and 2 (rockets) fly models; the tracers (0 and 3) none.
        const auto clump = ini.get(section.c_str(), "clump");
        EXPECT_EQ(clump.has_value(), n == 2 || n == 3);
        if (clump) {
            EXPECT_TRUE(exists("objects/ordinance/" + *clump + ".dff"));
        }
    }
    EXPECT_FALSE(ini.has_section("ordinance5"));
    const std::vector<std::string> hits = ini.keys("hitsounds");
    EXPECT_FALSE(hits.empty());
    for (const std::string& texture : hits)
        EXPECT_TRUE(sounds.count(*ini.get("hitsounds", texture.c_str()))) << texture;
}

TEST_F(DemoDataTest, MapNamesItsWorldSkyFacesFogAndAmbientSounds) {
    const std::set<std::string> sounds = sound_names();
    Ini ini("maps/demo/map.ini");
    ASSERT_TRUE(ini.has_section("appearance"));
    EXPECT_TRUE(exists("maps/demo/" + ini.get("appearance", "bsp").value_or("?") + ".bsp"));
    for (const char* face : {"front", "left", "back", "right", "up"})
        EXPECT_TRUE(exists("maps/demo/" + ini.get("appearance", face).value_or("?") + ".bmp"))
            << face;
    for (const char* texture : {"map", "mapwater", "detail"})
        EXPECT_TRUE(exists(std::string("maps/demo/") + texture + ".bmp")) << texture;
    int rgba[4];
    EXPECT_EQ(std::sscanf(ini.get("appearance", "fogcolour").value_or("").c_str(), "%d %d %d %d",
                          &rgba[0], &rgba[1], &rgba[2], &rgba[3]),
              4);
    EXPECT_TRUE(sounds.count(ini.get("sound", "wind").value_or("?")));
    EXPECT_TRUE(sounds.count(ini.get("sound", "forest").value_or("?")));
    // The third sound: the three bare entries after "forestmax" (name, low, high).
    const std::vector<std::string> keys = ini.keys("sound");
    const auto last = std::find(keys.begin(), keys.end(), "forestmax");
    ASSERT_EQ(keys.end() - last, 4);
    EXPECT_TRUE(sounds.count(last[1])) << last[1];
    EXPECT_EQ(ini.get("sound", last[1].c_str()).value_or("?"), "");
    float height;
    EXPECT_EQ(std::sscanf(last[2].c_str(), "%f", &height), 1);
    EXPECT_EQ(std::sscanf(last[3].c_str(), "%f", &height), 1);
}

TEST_F(DemoDataTest, LensFlareAndTextureLoadsHaveTheirSections) {
    Ini flare("objects/particles/lensflare.ini");
    const int parts = std::stoi(flare.get("flare", "parts").value_or("0"));
    EXPECT_GE(parts, 1);
    EXPECT_LE(parts, 20);
    for (int n = 1; n <= parts; ++n) {
        EXPECT_TRUE(flare.get("offsets", ("offset" + std::to_string(n)).c_str()).has_value());
        EXPECT_TRUE(flare.get("scales", ("scale" + std::to_string(n)).c_str()).has_value());
    }
    for (const char* picture :
         {"flarepart.bmp", "flareburst.bmp", "smoke.bmp", "smokem.bmp", "maroon.bmp", "maroonm.bmp",
          "hit.bmp", "hitm.bmp", "clod.bmp", "clodm.bmp", "cloth.bmp", "clothm.bmp"})
        EXPECT_TRUE(exists(std::string("objects/particles/") + picture)) << picture;
    Ini loads("texden.ini");
    for (const char* section : {"demo", "objects", "planes"})
        for (const char* key : {"64", "128", "256", "512"})
            EXPECT_TRUE(loads.get(section, key).has_value()) << section << "/" << key;
}

TEST_F(DemoDataTest, EverySoundHasAChannelAndASampleAndEveryMusicEntryItsFile) {
    Ini channels("sound/channels.ini");
    const std::vector<std::string> c = channels.sections();
    const std::set<std::string> channel(c.begin(), c.end());
    for (const char* name : {"Device", "InGame", "InMenu"})
        EXPECT_TRUE(channel.count(name)) << name;
    for (const std::string& name : c)
        if (!name.empty()) {
            EXPECT_TRUE(channels.get(name.c_str(), "Type").has_value()) << name;
        }
    Ini sounds("sound/sounds.ini");
    // The names the program itself plays: menu sounds, the boost and the pickups.
    for (const char* name : {"Menu.Focus", "Menu.Click", "Boost", "Ammo", "Health", "BoostPickup"})
        EXPECT_TRUE(sounds.has_section(name)) << name;
    for (const std::string& name : sounds.sections()) {
        if (name.empty()) continue;
        SCOPED_TRACE(name);
        EXPECT_TRUE(channel.count(sounds.get(name.c_str(), "Channel").value_or("?")));
        // A function sound reads no sample: its base sound ("Sound") is defined before it.
        if (const auto base = sounds.get(name.c_str(), "Sound")) {
            EXPECT_TRUE(sounds.has_section(base->c_str())) << *base;
            continue;
        }
        // Every other sound names its sample ("Menu.Focus" alone would be read as a file with
        // the extension "Focus"), a RIFF/WAVE file (PCM or IMA ADPCM).
        const auto sample = sounds.get(name.c_str(), "Sample");
        ASSERT_TRUE(sample.has_value());
        const std::string wav = read_text(program_dir() + "/sound/" + *sample);
        ASSERT_GE(wav.size(), 44u) << *sample;
        EXPECT_EQ(wav.substr(0, 4), "RIFF");
        EXPECT_EQ(wav.substr(8, 4), "WAVE");
    }
    // The menus and the three missions' tracks, one entry for each player.
    Ini music("music.ini");
    const struct {
        const char* type;
        const char* file;
        const char* magic;
    } entries[] = {{"streamed", "music/menu.wav", "RIFF"},
                   {"streamed", "music/mission.wav", "RIFF"},
                   {"dmusic", "music/dogfight.mid", "MThd"},
                   {"redbook", "cd/track01.wav", "RIFF"}};
    for (size_t n = 0; n < std::size(entries); ++n) {
        const std::string section = std::to_string(n);
        ASSERT_TRUE(music.has_section(section.c_str())) << section;
        EXPECT_EQ(music.get(section.c_str(), "type").value_or("?"), entries[n].type);
        if (std::string(entries[n].type) != "redbook")
            EXPECT_EQ(music.get(section.c_str(), "filename").value_or("?"), entries[n].file);
        else
            EXPECT_EQ(music.get(section.c_str(), "track").value_or("?"), "0");
        EXPECT_EQ(read_text(program_dir() + "/" + entries[n].file).substr(0, 4), entries[n].magic)
            << entries[n].file;
    }
    EXPECT_FALSE(music.has_section("4"));
}

// The key names of the control bindings (a single character stands for itself).
bool known_key(const std::string& name) {
    static const std::set<std::string> table = {
        "leftarrow", "rightarrow", "uparrow", "downarrow", "leftshift", "rightshift",  "leftctrl",
        "rightctrl", "tab",        "keypad0", "keypad1",   "keypad2",   "keypad3",     "keypad4",
        "keypad5",   "keypad6",    "keypad7", "keypad8",   "keypad9",   "keypadenter", "spacebar",
        "return",    "backspace",  "f1",      "f2",        "f3",        "f4"};
    return name.size() == 1 || table.count(name) > 0;
}

TEST_F(DemoDataTest, SettingsAndLayoutsBindEveryControlOfPlayerOne) {
    const char* axes[] = {"Player1Roll", "Player1Pitch", "Player1Throttle"};
    const char* buttons[] = {"Player1Fire",     "Player1Secondary", "Player1Special",
                             "Player1Camera",   "Player1CamAbove",  "Player1CamLeft",
                             "Player1CamRight", "Player1CamBehind"};
    for (const char* file :
         {"aerovant.ini", "keyboard.ini", "mousekeys.ini", "joystick.ini", "joystickkeys.ini"}) {
        SCOPED_TRACE(file);
        Ini ini(file);
        EXPECT_TRUE(ini.has_section("Player1"));
        for (const char* axis : axes) {
            const std::string type = ini.get(axis, "type").value_or("?");
            if (type == "keyboard") {
                EXPECT_TRUE(known_key(ini.get(axis, "upkey").value_or("?"))) << axis;
                EXPECT_TRUE(known_key(ini.get(axis, "downkey").value_or("?"))) << axis;
            } else {
                EXPECT_TRUE(type == "mouse" || type == "joystick") << axis;
                EXPECT_TRUE(ini.get(axis, "axis").has_value()) << axis;
            }
        }
        // No key a flying player holds is one the match overlay or the loops act on: q
        // leaves a match while the overlay is up, t starts a chat line.
        for (const char* axis : axes)
            for (const char* half : {"upkey", "downkey"}) {
                std::string key = ini.get(axis, half).value_or("");
                std::transform(key.begin(), key.end(), key.begin(), ::tolower);
                for (const char* taken : {"q", "t", "f5", "leftalt", "rightalt"})
                    EXPECT_NE(key, taken) << axis << " " << half;
            }
        for (const char* button : buttons) {
            const std::string type = ini.get(button, "type").value_or("?");
            if (type == "keyboard") {
                EXPECT_TRUE(known_key(ini.get(button, "key").value_or("?"))) << button;
            } else
                EXPECT_TRUE(ini.get(button, "button").has_value()) << button;
        }
    }
    // The demo's own bindings: roll a/d, pitch on the arrows, throttle w/s, fire space,
    // secondary return, special tab.
    Ini settings("aerovant.ini");
    EXPECT_EQ(settings.get("graphics", "windowed").value_or("?"), "1");
    EXPECT_EQ(settings.get("graphics", "mode").value_or("?"), "0");
    EXPECT_EQ(settings.get("language", "language").value_or("?"), "english");
    const std::pair<const char*, const char*> expected[] = {
        {"Player1Roll", "d a"},         {"Player1Pitch", "uparrow downarrow"},
        {"Player1Throttle", "w s"},     {"Player1Fire", "spacebar"},
        {"Player1Secondary", "return"}, {"Player1Special", "tab"}};
    for (const auto& [section, keys] : expected) {
        const auto up = settings.get(section, "upkey");
        const std::string got = up ? *up + " " + settings.get(section, "downkey").value_or("")
                                   : settings.get(section, "key").value_or("?");
        EXPECT_EQ(got, keys) << section;
    }
    for (int k = 0; k <= 2; ++k)
        EXPECT_TRUE(fs::is_directory(
            program_dir() + "/Language/english/missions/" +
            settings.get(("Campaign" + std::to_string(k)).c_str(), "directory").value_or("?")))
            << k;
}

// The menu pointer points with the pixel its hot spot names: the arrow's tip and the finger's
// top are the frames' topmost drawn pixels, so the point the page is hit at is the one the
// player sees the pointer touch.
TEST_F(DemoDataTest, EachPointerFramePointsWithItsTopmostDrawnPixel) {
    const std::string bmp = read_text(program_dir() + "/Ui/pointer.bmp");
    ASSERT_GE(bmp.size(), 54u);
    auto word = [&](size_t at) {
        return uint32_t(uint8_t(bmp[at])) | uint32_t(uint8_t(bmp[at + 1])) << 8 |
               uint32_t(uint8_t(bmp[at + 2])) << 16 | uint32_t(uint8_t(bmp[at + 3])) << 24;
    };
    const uint32_t offset = word(10), width = word(18), height = word(22);
    ASSERT_EQ(word(28) & 0xffff, 24u);
    const size_t row = (width * 3 + 3) & ~size_t(3);
    ASSERT_GE(bmp.size(), offset + row * height);
    auto pixel = [&](uint32_t x, uint32_t y) { // rows are stored bottom-up
        const size_t at = offset + (height - 1 - y) * row + x * 3;
        return word(at) & 0xffffff;
    };
    const uint32_t key = pixel(0, 0);
    Ini mouse("mouse.ini");
    for (const char* frame : {"0", "1", "2"}) {
        SCOPED_TRACE(frame);
        auto number = [&](const char* name) {
            return uint32_t(std::stoul(mouse.get(frame, name).value_or("999")));
        };
        const uint32_t x0 = number("OffsetX"), y0 = number("OffsetY");
        const uint32_t hx = number("HotspotX"), hy = number("HotspotY");
        ASSERT_LT(x0 + number("Width"), width + 1);
        ASSERT_LT(y0 + number("Height"), height + 1);
        EXPECT_NE(pixel(x0 + hx, y0 + hy), key);
        for (uint32_t y = y0; y < y0 + hy; ++y)
            for (uint32_t x = x0; x < x0 + number("Width"); ++x)
                EXPECT_EQ(pixel(x, y), key) << x << ", " << y;
    }
}

TEST_F(DemoDataTest, PilotsPointerAndStringsAreThere) {
    Ini pilots("characters.ini");
    EXPECT_TRUE(pilots.get("Character1", "forenames").has_value());
    EXPECT_EQ(pilots.get("meta", "current").value_or("?"), "1");
    EXPECT_TRUE(exists("Language/english/menus/pilot" +
                       pilots.get("Character1", "picture").value_or("?") + ".png"));

    Ini mouse("mouse.ini");
    const std::string image = mouse.get("Raster", "Image").value_or("?");
    std::string path = image;
    std::replace(path.begin(), path.end(), '\\', '/');
    ASSERT_TRUE(exists(path)) << image;
    int frames = 0;
    while (mouse.has_section(std::to_string(frames).c_str())) ++frames;
    EXPECT_EQ(frames, 3);
    for (int f = 0; f < frames; ++f)
        for (const char* key : {"OffsetX", "OffsetY", "Width", "Height", "HotspotX", "HotspotY",
                                "NextImage", "NextTime"})
            EXPECT_TRUE(mouse.get(std::to_string(f).c_str(), key).has_value()) << f << key;

    Ini strings("Language/english/strings.ini");
    for (const char* key : {"aerovanterror", "couldnotstartvideo", "missionaccomplished",
                            "missionfailed", "planedestroyed", "missioncritical", "outoftime",
                            "missionaborted", "returntobattle", "nearadgeofbattle"})
        EXPECT_TRUE(strings.get("strings", key).has_value()) << key;
}

} // namespace
} // namespace demodatatest
