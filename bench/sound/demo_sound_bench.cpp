// The demo sound set in use: SoundSet::Update in a scripted combat scene (8 looping engine
// function sounds with Param1 sweeps, 50 gunshots and 10 explosions a second at varied
// distances) with mean / 95th-percentile microseconds and allocations per frame against a
// 0.5 ms budget; Load of the demo set and of a synthetic set of 120 samples with 44.1 kHz
// stereo ones; and with the SDL backend the latency from PlaySoundWith to the first non-zero
// output sample, the main thread's Update while the worker fills, and its wait on the device
// lock alone.
#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "framework/core/heap.h"
#include "framework/core/object_manager.h"
#include "platform/audio/audio_backend.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "program/module_groups.h"
#include "sound/base/sound.h"
#include "sound/base/sound_control.h"
#include "sound/base/sound_params.h"
#include "sound/base/sound_play_desc.h"
#include "sound/device/win32_dx6_sound_control2.h"
#include "sound/set/sound_set.h"

#include <benchmark/benchmark.h>

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Allocations through operator new, counted for the whole program (the framework's own heap
// is counted by om_heap_allocations()).
namespace {
std::atomic<uint64_t> new_calls{0};
}
void* operator new(size_t size) {
    new_calls.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

uint64_t allocations_so_far() {
    return new_calls.load(std::memory_order_relaxed) + om_heap_allocations();
}

void start_framework() {
    static bool started = [] {
        OmStartup();
        OmRegisterAllModuleGroups(OmGetObjectManager());
        return true;
    }();
    (void)started;
}

// Lets go of the program-wide DirectSound object an earlier benchmark left, so the next
// device makes one on the backend selected now.
void forget_shared_direct_sound() {
    OmRegisterGlobalObject(IID_IDirectSound, nullptr);
}

// The device and the set loaded from a program directory.
struct LoadedSet {
    ComRef<ISoundControl> device;
    ComRef<ISoundSet> set;
    bool load(const std::string& program_dir) {
        forget_shared_direct_sound();
        platform::set_program_dir(program_dir);
        return OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()) >= 0 &&
               device->Init(nullptr, 3) >= 0 &&
               OmCreate(CLSID_SoundSet, IID_ISoundSet, set.put()) >= 0 &&
               set->Init(device.get(), 3) >= 0 && set->Load("sound/") >= 0;
    }
    ~LoadedSet() {
        if (set) set->StopAllSounds();
        set.reset();
        device.reset();
        forget_shared_direct_sound();
        platform::set_program_dir("");
    }
};

SoundPlayDesc at(float x, float z) {
    SoundPlayDesc d{};
    d.flags = SOUND_DESC_FRAME | SOUND_DESC_VOLUME;
    d.volume = 1.0f;
    const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, x, 0, z};
    std::copy(std::begin(frame), std::end(frame), d.frame);
    return d;
}

void place(ISound* sound, float x, float z) {
    const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, x, 0, z};
    sound->Set3D(frame, nullptr);
}

void BM_DemoSetUpdateInCombat(benchmark::State& state) {
    start_framework();
    platform::audio::set_backend(platform::audio::Backend::manual);
    platform::use_virtual_clock(true);
    {
        LoadedSet demo;
        if (!demo.load(CORVEL_DEMO_PROGRAM_DIR)) {
            state.SkipWithError("the demo sound set did not load");
            return;
        }
        const float rows[12] = {-1, 0, 0, 0, -1, 0, 0, 0, 1, 0, 0, 0};
        demo.set->SetChannelParams("Device", rows, nullptr);
        const char* engine_names[] = {"Engine.Camel",    "Engine.CamelAI", "Engine.Fokker",
                                      "Engine.FokkerAI", "Engine.Bomber",  "Engine.BomberAI",
                                      "Engine.CamelAI",  "Engine.FokkerAI"};
        std::vector<ComRef<ISound>> engines;
        for (const char* name : engine_names) {
            ComRef<ISound> e;
            demo.set->CreateSoundInstance(name, nullptr, e.put());
            if (!e) {
                state.SkipWithError("no engine sound");
                return;
            }
            e->Play(1);
            engines.push_back(std::move(e));
        }
        const char* guns[] = {"Gun.Vickers", "Gun.Spandau", "Gun.Lewis"};
        const char* booms[] = {"Explosion.Plane", "Explosion.Bomb", "Explosion.Small",
                               "Explosion.Rocket", "Explosion.Building"};
        constexpr uint32_t frame_ms = 16, frame_frames = 22050 * frame_ms / 1000;
        std::vector<int16_t> mix(frame_frames * 2);
        std::vector<double> times;
        uint64_t frame = 0, allocations = 0;
        double gun_due = 0, boom_due = 0;
        for (auto _ : state) {
            const double t = double(frame) * frame_ms / 1000.0;
            // The scene: engines circling with their throttles sweeping; shots and explosions
            // at distances from 5 to 900 units.
            for (size_t i = 0; i < engines.size(); ++i) {
                const double a = t * 0.5 + double(i) * 0.785;
                const float r = 50.0f + 100.0f * float(i);
                place(engines[i].get(), r * float(std::cos(a)), r * float(std::sin(a)));
                engines[i]->SetParamReal(SOUND_REAL_PARAM1,
                                         float(0.5 + 0.5 * std::sin(t * 0.7 + double(i))));
            }
            for (gun_due += 50.0 * frame_ms / 1000.0; gun_due >= 1.0; gun_due -= 1.0) {
                const SoundPlayDesc d =
                    at(float((frame * 37) % 900) - 450.0f, 5.0f + float(frame % 400));
                demo.set->PlaySoundWith(guns[frame % 3], &d, 0);
            }
            for (boom_due += 10.0 * frame_ms / 1000.0; boom_due >= 1.0; boom_due -= 1.0) {
                const SoundPlayDesc d =
                    at(float((frame * 53) % 1200) - 600.0f, 20.0f + float(frame % 700));
                demo.set->PlaySoundWith(booms[frame % 5], &d, 0);
            }
            platform::advance_virtual_clock(frame_ms);
            const uint64_t allocated = allocations_so_far();
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(demo.set->Update());
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            allocations += allocations_so_far() - allocated;
            state.SetIterationTime(seconds);
            times.push_back(seconds * 1e6);
            // The audio of the frame, outside the measurement (the device's worker runs here).
            platform::audio::render(mix.data(), frame_frames);
            ++frame;
        }
        for (auto& e : engines) e->Stop();
        engines.clear();
        if (!times.empty()) {
            std::vector<double> sorted = times;
            std::sort(sorted.begin(), sorted.end());
            double sum = 0;
            for (double v : times) sum += v;
            const double mean = sum / double(times.size());
            state.counters["mean_us"] = mean;
            state.counters["p95_us"] = sorted[size_t(double(sorted.size() - 1) * 0.95)];
            state.counters["allocs_per_frame"] = double(allocations) / double(times.size());
            state.counters["within_0.5ms"] = mean < 500.0 ? 1 : 0;
        }
    }
    platform::use_virtual_clock(false);
    platform::audio::set_backend(platform::audio::Backend::sdl);
}
BENCHMARK(BM_DemoSetUpdateInCombat)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(3000);

void BM_LoadDemoSet(benchmark::State& state) {
    start_framework();
    platform::audio::set_backend(platform::audio::Backend::manual);
    {
        LoadedSet demo;
        if (!demo.load(CORVEL_DEMO_PROGRAM_DIR)) {
            state.SkipWithError("the demo sound set did not load");
            return;
        }
        platform::set_program_dir(CORVEL_DEMO_PROGRAM_DIR);
        for (auto _ : state) benchmark::DoNotOptimize(demo.set->Load("sound/"));
    }
    platform::audio::set_backend(platform::audio::Backend::sdl);
}
BENCHMARK(BM_LoadDemoSet)->Unit(benchmark::kMillisecond);

std::string le16(uint32_t v) {
    return {char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string le32(uint32_t v) {
    return le16(v & 0xFFFF) + le16(v >> 16);
}

// 120 one-second samples of noise: 40 mono 22050 Hz, 40 mono 44.1 kHz, 40 stereo 44.1 kHz
// (the device converts these to its 22050 Hz mono 3D or stereo form as it reads them); half
// of each kind 3D.
std::string write_synthetic_set() {
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("corvel-demo-bench-" + std::to_string(::getpid())))
                                .string();
    std::filesystem::create_directories(dir + "/sound");
    std::ofstream(dir + "/sound/channels.ini")
        << "[Device]\nType=DeviceControl\nFormat=STEREO16\nFrequency=22khz\nFlags=3D\n"
           "Channels=16\n[Game]\nType=LimiterControl\nParent=Device\n"
           "[GameSamples]\nType=DeviceControl\nParent=Game\n";
    std::ofstream sounds(dir + "/sound/sounds.ini");
    uint32_t seed = 12345;
    for (int i = 0; i < 120; ++i) {
        const uint32_t channels = i < 80 ? 1 : 2, rate = i < 40 ? 22050 : 44100;
        const uint32_t bytes = rate * channels * 2;
        std::string wav = "RIFF" + le32(36 + bytes) + "WAVEfmt " + le32(16) + le16(1) +
                          le16(channels) + le32(rate) + le32(rate * channels * 2) +
                          le16(channels * 2) + le16(16) + "data" + le32(bytes);
        wav.reserve(wav.size() + bytes);
        for (uint32_t k = 0; k < bytes / 2; ++k) {
            seed = seed * 1664525u + 1013904223u;
            wav += le16((seed >> 16) & 0x3fff);
        }
        const std::string name = "s" + std::to_string(i);
        std::ofstream(dir + "/sound/" + name + ".wav", std::ios::binary) << wav;
        sounds << "[" << name << "]\nChannel=GameSamples\nSample=" << name << ".wav\n"
               << (i % 2 ? "3d=true\nMinRadius=10\nMaxRadius=1000\n" : "");
    }
    return dir;
}

void BM_LoadSynthetic120(benchmark::State& state) {
    start_framework();
    platform::audio::set_backend(platform::audio::Backend::manual);
    const std::string dir = write_synthetic_set();
    {
        LoadedSet set;
        if (!set.load(dir)) {
            state.SkipWithError("the synthetic set did not load");
        } else {
            platform::set_program_dir(dir);
            for (auto _ : state) benchmark::DoNotOptimize(set.set->Load("sound/"));
        }
    }
    std::filesystem::remove_all(dir);
    platform::audio::set_backend(platform::audio::Backend::sdl);
}
BENCHMARK(BM_LoadSynthetic120)->Unit(benchmark::kMillisecond);

// With SDL's audio (its dummy driver headless, pulling buffers on the real clock): time from
// PlaySoundWith to the first output buffer SDL takes that holds a non-zero sample, and the
// 95th percentile of the main thread's Update of the set while the worker fills (the device's
// Update takes the lock the worker holds while it fills, so this bounds the wait on it).
void BM_SdlPlayLatency(benchmark::State& state) {
    start_framework();
    if (std::getenv("SDL_AUDIODRIVER") == nullptr) setenv("SDL_AUDIODRIVER", "dummy", 0);
    platform::audio::set_backend(platform::audio::Backend::sdl);
    {
        LoadedSet demo;
        if (!demo.load(CORVEL_DEMO_PROGRAM_DIR)) {
            state.SkipWithError("the demo sound set did not load over SDL");
            return;
        }
        std::vector<double> latencies, waits;
        for (auto _ : state) {
            demo.set->StopAllSounds();
            // Let the device go quiet, then play and watch the output.
            for (int i = 0; i < 3; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                demo.set->Update();
            }
            const uint64_t heard_before = platform::audio::audible_output_chunks();
            const auto start = std::chrono::steady_clock::now();
            demo.set->PlaySoundWith("Menu.Click", nullptr, 0);
            double latency = -1;
            while (latency < 0) {
                const auto wait_start = std::chrono::steady_clock::now();
                demo.set->Update();
                waits.push_back(std::chrono::duration<double, std::micro>(
                                    std::chrono::steady_clock::now() - wait_start)
                                    .count());
                if (platform::audio::audible_output_chunks() != heard_before)
                    latency = std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
                else if (std::chrono::steady_clock::now() - start > std::chrono::seconds(2))
                    latency = 2000;
                else
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            state.SetIterationTime(latency / 1000.0);
            latencies.push_back(latency);
        }
        std::sort(waits.begin(), waits.end());
        double sum = 0;
        for (double l : latencies) sum += l;
        if (!latencies.empty()) state.counters["latency_ms"] = sum / double(latencies.size());
        if (!waits.empty())
            state.counters["update_p95_us"] = waits[size_t(double(waits.size() - 1) * 0.95)];
    }
}
BENCHMARK(BM_SdlPlayLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// The device lock alone, with SDL's audio: eight engine loops and a gun loop keep the worker
// filling (every 100 ms, under the lock) while the main thread takes the lock through a call
// that does nothing else (the voice count), back to back for a second of real time per
// iteration. Each acquisition is timed: the 95th and 99.9th percentiles and the longest wait,
// in microseconds (most acquisitions find the lock free; the tail is the wait on a fill).
void BM_SdlDeviceLockWait(benchmark::State& state) {
    start_framework();
    if (std::getenv("SDL_AUDIODRIVER") == nullptr) setenv("SDL_AUDIODRIVER", "dummy", 0);
    platform::audio::set_backend(platform::audio::Backend::sdl);
    {
        LoadedSet demo;
        auto* device = demo.load(CORVEL_DEMO_PROGRAM_DIR)
                           ? dynamic_cast<Win32Dx6SoundControl2*>(demo.device.get())
                           : nullptr;
        if (!device) {
            state.SkipWithError("the demo sound set did not load over SDL");
            return;
        }
        std::vector<ComRef<ISound>> loops;
        for (const char* name :
             {"Engine.Camel", "Engine.CamelAI", "Engine.Fokker", "Engine.FokkerAI", "Engine.Bomber",
              "Engine.BomberAI", "Engine.CamelAI", "Engine.FokkerAI", "Gun.Vickers"}) {
            ComRef<ISound> s;
            demo.set->CreateSoundInstance(name, nullptr, s.put());
            if (s) {
                place(s.get(), 0.0f, 20.0f);
                s->Play(1);
                loops.push_back(std::move(s));
            }
        }
        demo.set->Update();
        std::vector<double> waits;
        for (auto _ : state) {
            const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            auto last_update = std::chrono::steady_clock::now();
            for (auto now = last_update; now < end; now = std::chrono::steady_clock::now()) {
                benchmark::DoNotOptimize(device->voice_count());
                const auto after = std::chrono::steady_clock::now();
                waits.push_back(std::chrono::duration<double, std::micro>(after - now).count());
                if (after - last_update > std::chrono::milliseconds(16)) {
                    demo.set->Update();
                    last_update = std::chrono::steady_clock::now();
                }
            }
        }
        for (auto& l : loops) l->Stop();
        std::sort(waits.begin(), waits.end());
        if (!waits.empty()) {
            const auto at = [&](double q) { return waits[size_t(double(waits.size() - 1) * q)]; };
            state.counters["wait_p95_us"] = at(0.95);
            state.counters["wait_p999_us"] = at(0.999);
            state.counters["wait_max_us"] = waits.back();
        }
    }
}
BENCHMARK(BM_SdlDeviceLockWait)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
