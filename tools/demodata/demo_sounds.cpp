// The demo set's sounds by file: each file has a recipe over the seeded generators; the
// files the INI files name are checked against what is made.
#include "tools/demodata/demo_sounds.h"

#include "tools/demodata/adpcm_file.h"
#include "tools/demodata/sound_synth.h"
#include "tools/demodata/text_sources.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace demodata {
namespace {

using Recipe = std::function<SynthSound()>;

// The chord roots (MIDI notes) of the tunes: menus, mission, the MIDI tune and the CD track.
const std::vector<int> menu_chords = {60, 57, 65, 67};
const std::vector<int> mission_chords = {57, 53, 60, 55, 57, 62, 64, 64};
const std::vector<int> midi_chords = {62, 58, 60, 57};
const std::vector<int> cd_chords = {55, 52, 60, 62};

// Effects (mono, 22050 Hz), by file name under sound/.
const std::map<std::string, Recipe>& effect_recipes() {
    static const std::map<std::string, Recipe> recipes = {
        {"menu_focus.wav", [] { return synth_menu_focus(); }},
        {"menu_click.wav", [] { return synth_menu_click(); }},
        // Engines: 150, 175 and 105 Hz firing rates, one second of whole periods each.
        {"engine_camel.wav", [] { return synth_engine(147, 3, 150, 0xca3e1u); }},
        {"engine_fokker.wav", [] { return synth_engine(126, 3, 175, 0xf0cce2u); }},
        {"engine_bomber.wav", [] { return synth_engine(210, 2, 105, 0xb0b3e3u); }},
        {"boost.wav", [] { return synth_boost(98, 225, 0xb0057u); }},
        // The planes' guns: loops of whole shots.
        {"gun_vickers.wav", [] { return synth_gun_burst(4, 2205, 180, 0x61c1u); }},
        {"gun_spandau.wav", [] { return synth_gun_burst(5, 1764, 200, 0x5ba2u); }},
        {"gun_lewis.wav", [] { return synth_gun_burst(4, 2450, 160, 0x1e3u); }},
        // The AA gun plays its sound once for every shot: one shot, half a second.
        {"gun_flak.wav", [] { return synth_gun_burst(1, 11025, 70, 0xf1a4u); }},
        {"hit_plane.wav", [] { return synth_hit(900, 0.18, 0x4101u); }},
        {"hit_plane2.wav", [] { return synth_hit(1300, 0.15, 0x4102u); }},
        {"hit_building.wav", [] { return synth_hit(300, 0.25, 0x4103u); }},
        {"hit_canvas.wav", [] { return synth_hit(200, 0.12, 0x4104u); }},
        {"hit_metal.wav", [] { return synth_hit(2100, 0.4, 0x4105u); }},
        {"hit_ground.wav", [] { return synth_hit(120, 0.2, 0x4106u); }},
        {"hit_water.wav", [] { return synth_whoosh(0.35, 1800, 400, 0x4107u); }},
        // Explosions: the big ones last well over two seconds, loud to their last quarter.
        {"explosion_plane.wav", [] { return synth_explosion(2.6, 0.06, 0xe1u); }},
        {"explosion_building.wav", [] { return synth_explosion(2.4, 0.05, 0xe2u); }},
        {"explosion_bomb.wav", [] { return synth_explosion(2.8, 0.04, 0xe3u); }},
        {"explosion_rocket.wav", [] { return synth_explosion(2.2, 0.08, 0xe4u); }},
        {"explosion_small.wav", [] { return synth_explosion(1.2, 0.12, 0xe5u); }},
        {"break_building.wav", [] { return synth_breakage(1.5, 0xb1u); }},
        {"break_canvas.wav", [] { return synth_breakage(0.8, 0xb2u); }},
        {"launch_rocket.wav", [] { return synth_whoosh(0.9, 300, 3000, 0x1au); }},
        {"release_bomb.wav", [] { return synth_whoosh(0.6, 2500, 600, 0x1bu); }},
        {"spiral.wav", [] { return synth_whoosh(2.5, 2000, 250, 0x1cu); }},
        {"pickup_ammo.wav", [] { return synth_pickup(523.25); }},
        {"pickup_health.wav", [] { return synth_pickup(659.25); }},
        {"pickup_boost.wav", [] { return synth_pickup(783.99); }},
        {"wind.wav", [] { return synth_wind(4.0, 0x3171du); }},
        {"forest.adpcm", [] { return synth_forest(5.0, 0xf02e5u); }},
        {"water.wav", [] { return synth_water(4.0, 0x3a7e2u); }},
    };
    return recipes;
}

std::string with_slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool supplied(const OutputTree& out, const std::string& file) {
    return std::find(out.written().begin(), out.written().end(), file) != out.written().end();
}

bool ends_with(const std::string& s, const char* tail) {
    const size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

bool write_sound(OutputTree& out, const std::string& file, const SynthSound& sound) {
    if (!ends_with(file, ".adpcm")) return out.write(file, wav_bytes(sound));
    std::vector<uint8_t> bytes;
    std::string error;
    if (!adpcm_bytes(sound, bytes, error)) return out.fail(file + ": " + error);
    return out.write(file, bytes);
}

} // namespace

bool write_demo_sounds(OutputTree& out) {
    // What this step makes, by path in the program folder.
    std::map<std::string, std::function<bool()>> made;
    for (const auto& [name, recipe] : effect_recipes())
        made["sound/" + name] = [&out, name = name, &recipe = recipe] {
            return write_sound(out, "sound/" + name, recipe());
        };
    made["music/menu.wav"] = [&out] {
        return out.write("music/menu.wav",
                         wav_bytes(synth_music(menu_chords, 8, SYNTH_RATE, 0x3e4u)));
    };
    made["music/mission.wav"] = [&out] {
        return out.write("music/mission.wav",
                         wav_bytes(synth_music(mission_chords, 8, SYNTH_RATE, 0x3155u)));
    };
    made["music/dogfight.mid"] = [&out] {
        return out.write("music/dogfight.mid", midi_bytes(midi_chords, 8));
    };
    made["cd/track01.wav"] = [&out] {
        return out.write("cd/track01.wav", wav_bytes(synth_music(cd_chords, 4, 44100, 0xcdu)));
    };

    // Every file the INI files name is made here or supplied by the source tree.
    std::string text;
    if (!read_file(out.path("sound/sounds.ini"), text)) return out.fail("no sound/sounds.ini");
    std::set<std::string> named;
    for (const IniSection& s : read_ini_text(text)) {
        if (s.name.empty() || s.find("Channel") == nullptr) continue;
        // Sounds made from another sound (Inherit, Sound) read no sample of their own.
        if (s.find("Inherit") != nullptr || s.find("Sound") != nullptr) continue;
        const std::string* sample = s.find("Sample");
        named.insert("sound/" + with_slashes(sample != nullptr ? *sample : s.name));
    }
    if (read_file(out.path("music.ini"), text))
        for (const IniSection& s : read_ini_text(text)) {
            if (const std::string* f = s.find("filename")) named.insert(with_slashes(*f));
            const std::string* type = s.find("type");
            if (type != nullptr && lower(*type) == "redbook") named.insert("cd/track01.wav");
        }
    for (const std::string& f : named)
        if (!made.count(f) && !supplied(out, f))
            return out.fail(f + " is named by the sound or music list but no recipe makes it");

    for (const auto& [file, write] : made) {
        if (supplied(out, file)) continue; // a recording the source tree supplied
        if (!write()) return false;
    }
    return true;
}

} // namespace demodata
