// Seeds of the game-data harnesses: the demo data's texden.ini with each section and budgets
// around its loads, and the Control.ini binding sections of aerovant.ini and of the control
// layouts (keyboard, mouse, joystick and joystick-with-keys), as the demo data ships them.
#include "fuzz/seeds/demo_files.h"
#include "fuzz/seeds/seed_set.h"

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

using fuzzing::FuzzInputWriter;

FUZZ_SEEDS(gamedata_texden) {
    const std::string texden = fuzzing::demo_file("texden.ini");
    const uint32_t budgets[] = {0, 100, 250, 1000, 0xFFFFFFFF};
    for (uint8_t section = 0; section < 4; ++section)
        for (uint32_t budget : budgets) {
            FuzzInputWriter input;
            input.byte(section);
            for (int i = 0; i < 4; ++i) input.byte(uint8_t(budget >> (8 * i)));
            seeds.add("section" + std::to_string(section) + "_budget" + std::to_string(budget),
                      input.rest(texden));
        }
}

FUZZ_SEEDS(gamedata_control_bindings) {
    for (const char* file :
         {"aerovant.ini", "keyboard.ini", "mousekeys.ini", "joystick.ini", "joystickkeys.ini"})
        seeds.add(file, fuzzing::demo_file(file));
}

FUZZ_SEEDS(gamedata_lensflare) {
    const std::string demo = fuzzing::demo_file("objects/particles/lensflare.ini");
    for (uint8_t screen = 0; screen < 4; ++screen)
        seeds.add("demo_" + std::to_string(screen),
                  FuzzInputWriter().byte(screen).byte(uint8_t(40 * screen)).byte(127).rest(demo));
    seeds.add("sun_off_screen", FuzzInputWriter().byte(1).byte(255).byte(3).rest(demo));
}

FUZZ_SEEDS(gamedata_shrapnel) {
    const std::string demo = fuzzing::demo_file("objects/ground/shrapnel/SHRAPNEL.INI");
    // The demo's model names, read from the pairs after the heading line.
    std::vector<std::string> names;
    std::istringstream lines(demo.substr(demo.find('\n') + 1));
    for (std::string name, size; lines >> name >> size;) names.push_back(name);
    FuzzInputWriter input;
    input.byte(uint8_t(names.size()));
    for (const std::string& name : names) input.part(name);
    seeds.add("demo", input.rest(demo));
    seeds.add("mixed_case", FuzzInputWriter()
                                .byte(4)
                                .part("plank")
                                .part("Beam")
                                .part("wheel")
                                .part("a_name_longer_than_thirty_one_characters")
                                .rest("Shrapnel pieces: name and size\nPLANK 2.0\nbeam 0.5\n"
                                      "unknown 3\nwheel -1\n"));
}

FUZZ_SEEDS(gamedata_ordinance) {
    seeds.add("demo", fuzzing::demo_file("objects/ordinance/ordinance.ini"));
    std::string ten;
    for (int n = 1; n <= 11; ++n)
        ten += "[ordinance" + std::to_string(n) + "]\nname=o" + std::to_string(n) +
               "\ndamage=" + std::to_string(n) +
               "\nblast=0.5\nreleasespeed=200\nmaxspeed=300\naccel=10\n"
               "size=0.2\njitter=0.01\ngroundhit=Hit.Ground\n";
    seeds.add("eleven", ten + "[hitsounds]\nwater=Hit.Water\ngrass=Hit.Grass\n");
}

namespace {

// A demo ground.ini with its model and picture names changed to those the harness serves.
std::string served_names(std::string ini) {
    std::istringstream lines(ini);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
        if (key == "dff")
            line = "dff=turret.dff";
        else if (key == "deaddff" || key.rfind("damagedff", 0) == 0)
            line = key + "=wreck.dff";
        else if (key == "shadow")
            line = "shadow=shadow.bmp";
        out += line + "\n";
    }
    return out;
}

} // namespace

FUZZ_SEEDS(gamedata_ground) {
    for (const char* kind :
         {"aagun", "ammodump", "hangar", "healthpickup", "rocketpickup", "tent", "takeoffpoint"}) {
        const std::string ini =
            served_names(fuzzing::demo_file(std::string("objects/ground/") + kind + "/ground.ini"));
        seeds.add(std::string(kind), FuzzInputWriter().byte(0).rest(ini));
        seeds.add(std::string(kind) + "_armed", FuzzInputWriter().byte(1).rest(ini));
    }
    seeds.add("stages",
              FuzzInputWriter().byte(0).rest(
                  "[appearance]\ndff=box.dff\ndamagedff1=wreck.dff\ndamagedff3=turret.dff\n"
                  "damagedff5=wreck.dff\nprelit=1\n[physics]\nendurance=40\nsoft=1\n"
                  "[behaviour]\npickup=rockets\nheight=12\nbubble=40\n"));
}

FUZZ_SEEDS(gamedata_plane) {
    for (const char* kind : {"tavrincamel", "fokkertriplane", "handleypage", "multitavrincamel"}) {
        std::string ini = fuzzing::demo_file(std::string("objects/planes/") + kind + "/plane.ini");
        std::istringstream lines(ini);
        std::string out;
        for (std::string line; std::getline(lines, line);) {
            if (line.rfind("dff=", 0) == 0) line = "dff=box.dff";
            if (line.rfind("shadow=", 0) == 0) line = "shadow=shadow.bmp";
            out += line + "\n";
        }
        seeds.add(kind, out);
    }
}

FUZZ_SEEDS(gamedata_map) {
    std::string demo = fuzzing::demo_file("maps/demo/map.ini");
    std::istringstream lines(demo);
    std::string out;
    for (std::string line; std::getline(lines, line);) {
        const size_t equals = line.find('=');
        const std::string key = equals == std::string::npos ? "" : line.substr(0, equals);
        if (key == "bsp")
            line = "bsp=flat";
        else if (key == "front" || key == "left" || key == "back" || key == "right" || key == "up")
            line = key + "=sky";
        out += line + "\n";
    }
    seeds.add("demo", out);
    seeds.add("flat", "[appearance]\nbsp=flat\nheightadjust=-20\nfogcolour=10 20\n");
}

FUZZ_SEEDS(gamedata_mission) {
    // The demo missions with their map and kinds renamed to those the harness serves.
    const std::vector<std::pair<std::string, std::string>> renames = {
        {"demo", "flat"},
        {"tavrincamel", "camel"},
        {"multitavrincamel", "camel"},
        {"fokkertriplane", "fokker"},
        {"multifokkertriplane", "fokker"},
        {"handleypage", "camel"},
        {"multihandleypage", "camel"},
        {"rocketpickup", "tent"},
        {"healthpickup", "tent"}};
    for (int number : {1, 2, 3, 101, 102, 103}) {
        std::string text =
            fuzzing::demo_file("missions/" + std::to_string(number) + "/mission.ini");
        for (const auto& [from, to] : renames) {
            size_t at = 0;
            while ((at = text.find(from, at)) != std::string::npos) {
                const size_t end = at + from.size();
                const bool whole =
                    (at == 0 || !std::isalnum(static_cast<unsigned char>(text[at - 1]))) &&
                    (end >= text.size() || !std::isalnum(static_cast<unsigned char>(text[end])));
                if (whole) {
                    text.replace(at, from.size(), to);
                    at += to.size();
                } else {
                    at = end;
                }
            }
        }
        seeds.add("mission" + std::to_string(number),
                  FuzzInputWriter().byte(uint8_t(number % 9)).rest(text));
    }
}
