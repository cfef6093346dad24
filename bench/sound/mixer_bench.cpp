// The DirectSound stand-in's software mixer: 10 s of 16 voices at mixed rates, pans and 3D
// placements, reported per output frame and as a real-time factor.
#include "platform/audio/audio_backend.h"
#include "platform/audio/dsound.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

using namespace platform::audio;

constexpr uint32_t out_rate = 22050;

WAVEFORMATEX pcm(uint16_t channels, uint32_t hz) {
    WAVEFORMATEX f{};
    f.format_tag = WAVE_FORMAT_PCM;
    f.channels = channels;
    f.bits_per_sample = 16;
    f.block_align = uint16_t(channels * 2);
    f.samples_per_second = hz;
    f.average_bytes_per_second = hz * f.block_align;
    return f;
}

void BM_Mix16Voices10Seconds(benchmark::State& state) {
    set_backend(Backend::manual);
    IDirectSound* ds = nullptr;
    if (DirectSoundCreate(nullptr, &ds, nullptr) != DS_OK) {
        state.SkipWithError("no sound object");
        return;
    }
    ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
    IDirectSoundBuffer* primary = nullptr;
    DSBUFFERDESC pdesc{
        sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0, nullptr, {}};
    ds->CreateSoundBuffer(&pdesc, &primary, nullptr);
    WAVEFORMATEX out = pcm(2, out_rate);
    primary->SetFormat(&out);
    IDirectSound3DListener* listener = nullptr;
    primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&listener));

    const uint32_t rates[] = {11025, 22050, 44100, 8000};
    std::vector<IDirectSoundBuffer*> buffers;
    for (uint32_t v = 0; v < 16; ++v) {
        bool is_3d = v % 4 == 3;
        uint32_t hz = rates[v % 4];
        WAVEFORMATEX f = pcm(1, hz);
        uint32_t flags =
            DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLFREQUENCY | (is_3d ? DSBCAPS_CTRL3D : DSBCAPS_CTRLPAN);
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, hz * 2, 0, &f, {}};
        IDirectSoundBuffer* b = nullptr;
        ds->CreateSoundBuffer(&desc, &b, nullptr);
        void* p1;
        uint32_t n1;
        b->Lock(0, 0, &p1, &n1, nullptr, nullptr, DSBLOCK_ENTIREBUFFER);
        for (uint32_t i = 0; i < hz; ++i)
            static_cast<int16_t*>(p1)[i] = int16_t(3000 * std::sin(i * 0.01 * (v + 1)));
        b->Unlock(p1, n1, nullptr, 0);
        b->SetVolume(-100 * int32_t(v));
        if (is_3d) {
            IDirectSound3DBuffer* b3 = nullptr;
            b->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&b3));
            b3->SetPosition(float(v) - 8.0f, 0.0f, 3.0f, DS3D_IMMEDIATE);
            b3->Release();
        } else {
            b->SetPan(int32_t(v) * 1000 - 8000);
        }
        b->Play(0, 0, DSBPLAY_LOOPING);
        buffers.push_back(b);
    }

    const uint32_t frames = 10 * out_rate;
    std::vector<int16_t> output(size_t(frames) * 2);
    for (auto _ : state) {
        render(output.data(), frames);
        benchmark::DoNotOptimize(output.data());
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * frames);
    state.counters["time_per_frame"] =
        benchmark::Counter(double(state.iterations()) * frames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_factor"] =
        benchmark::Counter(double(state.iterations()) * 10.0, benchmark::Counter::kIsRate);

    for (IDirectSoundBuffer* b : buffers) b->Release();
    listener->Release();
    primary->Release();
    ds->Release();
}
BENCHMARK(BM_Mix16Voices10Seconds)->Unit(benchmark::kMillisecond);

} // namespace
