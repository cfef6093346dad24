// The demo set's sound directory loads through the SoundSet over the streaming device (manual
// backend) without a single warning; every sound name the planes, ground objects, ordnance and
// map use is in the loaded set; and the synthesised samples are what their recipes promise.
#include "framework/platform/debug_message.h"
#include "platform/audio/audio_backend.h"
#include "platform/paths.h"
#include "sound/base/sound_control.h"
#include "sound/set/sound_set.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/demodata/demodata_fixture.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

namespace demodatatest {
namespace {

class DemoSoundTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        OmRegisterAllModuleGroups(OmGetObjectManager());
        platform::audio::set_backend(platform::audio::Backend::manual);
        platform::set_program_dir(program_dir());
    }
    void TearDown() override {
        OmReleaseMessageService();
        platform::set_program_dir("");
        platform::audio::set_backend(platform::audio::Backend::sdl);
        FrameworkTest::TearDown();
    }
};

// Every sound name the game's data files use, with the file that names it. A plane's engine
// is also looked up with "AI" appended (the planes the player does not fly).
std::map<std::string, std::string> sound_names_of_the_data() {
    std::map<std::string, std::string> names;
    auto take = [&](const std::string& file, const Ini& ini, const char* section,
                    std::initializer_list<const char*> keys) {
        for (const char* key : keys)
            if (const auto value = ini.get(section, key); value && !value->empty())
                names.emplace(*value, file);
    };
    for (const std::string& file : files_ending({"plane.ini"})) {
        Ini ini(file);
        if (!ini.has_section("sound")) continue;
        take(file, ini, "sound",
             {"engine", "machinegun", "hitsound", "althitsound", "explosion", "rocket", "bomb"});
        if (const auto engine = ini.get("sound", "engine")) names.emplace(*engine + "AI", file);
    }
    for (const std::string& file : files_ending({"ground.ini"})) {
        Ini ini(file);
        if (ini.has_section("sound"))
            take(file, ini, "sound",
                 {"hitsound", "explosion", "breakage", "althitsound", "gunfire"});
    }
    for (const std::string& file : files_ending({"ordinance.ini"})) {
        Ini ini(file);
        for (const std::string& section : ini.sections()) {
            if (section == "hitsounds") {
                for (const std::string& key : ini.keys("hitsounds"))
                    names.emplace(ini.get("hitsounds", key.c_str()).value_or(""), file);
            } else {
                take(file, ini, section.c_str(), {"groundhit"});
            }
        }
    }
    for (const std::string& file : files_ending({"map.ini"})) {
        Ini ini(file);
        if (!ini.has_section("sound")) continue;
        take(file, ini, "sound", {"wind", "forest"});
        // The third sound is the first bare line after the named keys.
        const std::set<std::string> named = {"wind",   "windmin",   "windmax",
                                             "forest", "forestmin", "forestmax"};
        for (const std::string& key : ini.keys("sound"))
            if (!named.count(key)) {
                names.emplace(key, file);
                break;
            }
    }
    names.erase("");
    return names;
}

TEST_F(DemoSoundTest, TheSoundDirectoryLoadsWithoutAWarningAndHoldsEveryNameTheDataUses) {
    const std::map<std::string, std::string> used = sound_names_of_the_data();
    // The walk found the kinds it should: engines and their twins, guns, ordnance, ambients.
    for (const char* name : {"Engine.Camel", "Engine.CamelAI", "Gun.Spandau", "Hit.Ground",
                             "Explosion.Bomb", "Ambient.Wind", "Ambient.Forest", "Ambient.Water"})
        EXPECT_TRUE(used.count(name)) << name;

    testsupport::TempDir logs;
    const std::string log = logs / "log.txt";
    {
        ComRef<IDebugMessage> messages;
        ASSERT_EQ(OmCreate(CLSID_DebugMessage, IID_IDebugMessage, messages.put()), OM_S_OK);
        ASSERT_EQ(messages->SetOutput(nullptr, log.c_str(), 0), OM_S_OK);

        ComRef<ISoundControl> device;
        ASSERT_EQ(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()), OM_S_OK);
        ASSERT_EQ(device->Init(nullptr, 3), OM_S_OK);
        ComRef<ISoundSet> set;
        ASSERT_EQ(OmCreate(CLSID_SoundSet, IID_ISoundSet, set.put()), OM_S_OK);
        ASSERT_EQ(set->Init(device.get(), 3), OM_S_OK);
        ASSERT_EQ(set->Load("sound/"), OM_S_OK);
        for (const auto& [name, file] : used) {
            ComRef<ISound> sound;
            EXPECT_EQ(set->CreateSoundInstance(name.c_str(), nullptr, sound.put()), OM_S_OK)
                << name << " (named by " << file << ")";
        }
        // The names the program itself plays, and every section of sounds.ini.
        Ini sounds("sound/sounds.ini");
        std::vector<std::string> all = sounds.sections();
        for (const char* name :
             {"Menu.Focus", "Menu.Click", "Boost", "Ammo", "Health", "BoostPickup"})
            all.push_back(name);
        for (const std::string& name : all) {
            if (name.empty()) continue;
            ComRef<ISound> sound;
            EXPECT_EQ(set->CreateSoundInstance(name.c_str(), nullptr, sound.put()), OM_S_OK)
                << name;
        }
        for (const char* channel : {"Device", "InGame", "InMenu", "Engines"}) {
            float volume = 0;
            EXPECT_EQ(set->GetChannelVolume(channel, &volume), OM_S_OK) << channel;
        }
        EXPECT_EQ(set->Update(), OM_S_OK);
    }
    OmReleaseMessageService();
    EXPECT_FALSE(std::filesystem::exists(log)) << logs.read_file("log.txt");
}

// The 16-bit samples and format fields of a plain PCM WAV file of the set.
struct Wav {
    uint16_t channels = 0, bits = 0;
    uint32_t rate = 0;
    std::vector<int16_t> samples;
};

Wav read_wav(const std::string& relative) {
    const std::string bytes = read_text(program_dir() + "/" + relative);
    Wav w;
    auto u16 = [&](size_t at) {
        return uint16_t(uint8_t(bytes[at]) | uint8_t(bytes[at + 1]) << 8);
    };
    auto u32 = [&](size_t at) { return uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16; };
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0) return w;
    for (size_t at = 12; at + 8 <= bytes.size(); at += 8 + u32(at + 4) + (u32(at + 4) & 1)) {
        if (bytes.compare(at, 4, "fmt ") == 0) {
            if (u16(at + 8) != 1) return w; // PCM only
            w.channels = u16(at + 10);
            w.rate = u32(at + 12);
            w.bits = u16(at + 22);
        } else if (bytes.compare(at, 4, "data") == 0) {
            w.samples.resize(std::min<size_t>(u32(at + 4), bytes.size() - at - 8) / 2);
            std::memcpy(w.samples.data(), bytes.data() + at + 8, w.samples.size() * 2);
        }
    }
    return w;
}

double rms(const std::vector<int16_t>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(s[i]) * s[i];
    return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

TEST_F(DemoSoundTest, TheSamplesAreAudibleInTheirFormatsAndLoopWithoutASeam) {
    // Effects: 16-bit mono 22050 Hz and not silent; music: 16-bit stereo.
    for (const std::string& file : files_ending({".wav"})) {
        SCOPED_TRACE(file);
        const Wav w = read_wav(file);
        ASSERT_EQ(w.bits, 16);
        EXPECT_EQ(w.channels, file.rfind("sound/", 0) == 0 ? 1 : 2);
        EXPECT_EQ(w.rate, file.rfind("cd/", 0) == 0 ? 44100u : 22050u);
        EXPECT_GT(rms(w.samples, 0, w.samples.size()), 1000.0);
    }
    // An explosion is loud well past two seconds: a cut tail would show.
    const Wav boom = read_wav("sound/explosion_plane.wav");
    ASSERT_GT(boom.samples.size(), size_t(2.2 * 22050));
    EXPECT_GT(rms(boom.samples, size_t(2.0 * 22050), size_t(2.2 * 22050)), 200.0);
    // Loops: the step from the last sample to the first is no bigger than the steps inside.
    for (const char* file :
         {"sound/engine_camel.wav", "sound/engine_fokker.wav", "sound/engine_bomber.wav",
          "sound/boost.wav", "sound/wind.wav", "sound/water.wav", "sound/gun_vickers.wav"}) {
        SCOPED_TRACE(file);
        const Wav w = read_wav(file);
        ASSERT_GT(w.samples.size(), 2u);
        int largest = 0;
        for (size_t i = 1; i < w.samples.size(); ++i)
            largest = std::max(largest, std::abs(w.samples[i] - w.samples[i - 1]));
        EXPECT_LE(std::abs(w.samples.front() - w.samples.back()), largest);
    }
    // An engine loop is a whole number of its periods: 147 samples (150 Hz) for the Camel.
    const Wav camel = read_wav("sound/engine_camel.wav");
    ASSERT_EQ(camel.samples.size() % 147, 0u);
    for (size_t i = 0; i + 147 < camel.samples.size(); i += 997)
        EXPECT_NEAR(camel.samples[i], camel.samples[i + 147], 2500) << i;
}

} // namespace
} // namespace demodatatest
