// The DirectMusic stand-in's synthesis cost: one second of an eight-voice chord pattern
// rendered through FluidSynth into the performance's buffer and mixed on the manual backend.
#include "platform/audio/audio_backend.h"
#include "platform/audio/direct_music.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace platform::audio;

std::string be(uint32_t v, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// Eight-note chords every half second for a minute (960 ticks a second).
std::string chord_file() {
    std::string track = std::string("\x00\xC0\x00", 3);
    for (int chord = 0; chord < 120; ++chord) {
        for (int n = 0; n < 8; ++n)
            track += std::string(1, '\0') + "\x90" + char(48 + n * 4) + "\x50";
        track += std::string("\x83\x60", 2); // 480 ticks
        for (int n = 0; n < 8; ++n)
            track +=
                std::string(n ? 1 : 0, '\0') + "\x80" + char(48 + n * 4) + std::string(1, '\0');
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(480, 2) + "MTrk" +
           be(uint32_t(track.size()), 4) + track;
}

void BM_DirectMusicSecondOfChords(benchmark::State& state) {
    set_backend(Backend::manual);
    std::filesystem::path dir = std::filesystem::temp_directory_path() / "corvel_music_bench";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "chords.mid", std::ios::binary) << chord_file();
    IDirectSound* ds = nullptr;
    DirectSoundCreate(nullptr, &ds, nullptr);
    IDirectMusicPerformance* performance = nullptr;
    IDirectMusicLoader* loader = nullptr;
    IDirectMusicSegment* segment = nullptr;
    DirectMusicCreateInstance(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance,
                              reinterpret_cast<void**>(&performance));
    DirectMusicCreateInstance(CLSID_DirectMusicLoader, IID_IDirectMusicLoader,
                              reinterpret_cast<void**>(&loader));
    if (!ds || !performance || !loader || performance->Init(nullptr, ds, nullptr) != 0) {
        state.SkipWithError("no performance (soundfont missing?)");
        return;
    }
    std::string d = dir.string();
    std::wstring wide(d.begin(), d.end());
    loader->SetSearchDirectory(GUID_DirectMusicAllTypes, wide.c_str(), 0);
    DMUS_OBJECTDESC desc{sizeof desc, DMUS_OBJ_FILENAME, {}, L"chords.mid"};
    loader->GetObject(&desc, IID_IDirectMusicSegment, reinterpret_cast<void**>(&segment));
    segment->SetRepeats(1000);
    performance->PlaySegment(segment, DMUS_SEGF_REFTIME, 0, nullptr);
    std::vector<int16_t> out(music_rate * 2);
    for (auto _ : state) {
        render(out.data(), music_rate);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
    performance->CloseDown();
    segment->Release();
    loader->Release();
    performance->Release();
    ds->Release();
    std::filesystem::remove_all(dir);
    set_backend(Backend::sdl);
}
// The synthesis runs on the performance's worker (render() waits for it): wall-clock time.
BENCHMARK(BM_DirectMusicSecondOfChords)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
