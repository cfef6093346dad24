// The sound set's costs: loading a sound directory of n sounds (channels.ini, sounds.ini and
// one small WAV file per sample, over a plain control) and one game frame of plays by name
// followed by the set's time step.
#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "platform/paths.h"
#include "program/module_groups.h"
#include "sound/base/base_sound_control.h"
#include "sound/set/sound_set.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

void start_framework() {
    static bool started = [] {
        OmStartup();
        OmRegisterAllModuleGroups(OmGetObjectManager());
        return true;
    }();
    (void)started;
}

std::string le16(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// A program directory whose "sound/" holds n sounds: half read by the device channel, half
// inherited through a limiter and a priority channel.
std::string write_sound_directory(int n) {
    const std::string dir =
        (std::filesystem::temp_directory_path() /
         ("corvel-set-bench-" + std::to_string(::getpid()) + "-" + std::to_string(n)))
            .string();
    std::filesystem::create_directories(dir + "/sound");
    std::ofstream(dir + "/sound/channels.ini")
        << "[Device]\nType=DeviceControl\n[Limit]\nType=LimiterControl\nParent=Device\n"
           "[Game]\nType=PriorityControl\nParent=Limit\nMaxSounds=16\n";
    std::string wav = "RIFF" + le32(36 + 200) + "WAVEfmt " + le32(16) + le16(1) + le16(1) +
                      le32(22050) + le32(44100) + le16(2) + le16(16) + "data" + le32(200) +
                      std::string(200, '\0');
    std::ofstream sounds(dir + "/sound/sounds.ini");
    for (int i = 0; i < n / 2; ++i) {
        const std::string name = "s" + std::to_string(i);
        std::ofstream(dir + "/sound/" + name + ".wav", std::ios::binary) << wav;
        sounds << "[" << name << "]\nChannel=Device\nSample=" << name << ".wav\nVolume=0.5\n"
               << "[game." << name << "]\nChannel=Game\nInherit=" << name << "\n";
    }
    return dir;
}

ComRef<ISoundSet> make_set(ComRef<ISoundControl>& control) {
    OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, control.put());
    ComRef<ISoundSet> set;
    OmCreate(CLSID_SoundSet, IID_ISoundSet, set.put());
    set->Init(control.get(), 0);
    return set;
}

void BM_LoadSoundDirectory(benchmark::State& state) {
    start_framework();
    const int n = int(state.range(0));
    const std::string dir = write_sound_directory(n);
    platform::set_program_dir(dir);
    ComRef<ISoundControl> control;
    ComRef<ISoundSet> set = make_set(control);
    for (auto _ : state) benchmark::DoNotOptimize(set->Load("sound/"));
    state.SetItemsProcessed(state.iterations() * n);
    set.reset();
    platform::set_program_dir("");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_LoadSoundDirectory)->Arg(100)->Arg(400)->Unit(benchmark::kMillisecond);

void BM_FrameOfPlaysAndUpdate(benchmark::State& state) {
    start_framework();
    const std::string dir = write_sound_directory(100);
    platform::set_program_dir(dir);
    ComRef<ISoundControl> control;
    ComRef<ISoundSet> set = make_set(control);
    set->Load("sound/");
    int i = 0;
    for (auto _ : state) {
        for (int k = 0; k < 20; ++k) {
            const std::string name = "game.s" + std::to_string(i++ % 50);
            set->PlaySoundWith(name.c_str(), nullptr, 0);
        }
        benchmark::DoNotOptimize(set->Update());
    }
    set.reset();
    platform::set_program_dir("");
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_FrameOfPlaysAndUpdate)->Unit(benchmark::kMicrosecond);

} // namespace
