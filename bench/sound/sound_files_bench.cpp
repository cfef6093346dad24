// Sound files: IMA ADPCM decoding and encoding of one 60 s 22050 Hz stereo file, ours beside
// libsndfile's (MB/s of 16-bit PCM), and the converting WAV read of 44.1 kHz stereo into the
// device's 22050 Hz 3D (mono) maker, in ms per second of audio.
#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "framework/io/memory_stream.h"
#include "platform/audio/audio_backend.h"
#include "program/module_groups.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/device/win32_dx6_sound_control2.h"
#include "sound/files/object_rw_wav.h"
#include "sound/files/win32_adpcm.h"
#include "tests/sound/files/sndfile_oracle.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t rate = 22050;
constexpr uint32_t seconds = 60;
constexpr uint32_t frames = rate * seconds;

void start_framework() {
    static bool started = [] {
        OmStartup();
        IObjectManager* manager = OmGetObjectManager();
        OmRegisterContainerModules(manager);
        OmRegisterSoundModules(manager);
        OmRegisterStorageModules(manager);
        OmRegisterSystemModules(manager);
        platform::audio::set_backend(platform::audio::Backend::manual);
        return true;
    }();
    (void)started;
}

// Two tones with a little noise, interleaved stereo.
const std::vector<int16_t>& music() {
    static const std::vector<int16_t> samples = [] {
        std::vector<int16_t> s(size_t(frames) * 2);
        uint32_t noise = 1;
        for (size_t i = 0; i < s.size(); ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double t = double(i / 2) / rate;
            s[i] = int16_t(9000 * std::sin(2 * M_PI * (i % 2 ? 330.0 : 440.0) * t) +
                           int32_t(noise >> 20) - 2048);
        }
        return s;
    }();
    return samples;
}

ComRef<IByteStream> stream_of(const std::string& bytes) {
    ComRef<IByteStream> stream;
    OmNewMemoryStream(stream.put());
    stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    return stream;
}

ComRef<ISound> music_sound() {
    ComRef<ISoundCreate> maker;
    OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put());
    maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_STEREO16);
    maker->SetProperty(MAKER_LENGTH, frames);
    maker->SetProperty(MAKER_RATE, rate);
    ComRef<ISound> sound;
    maker->CreateSound(sound.put());
    void* memory = nullptr;
    sound->Lock(1, &memory);
    std::memcpy(memory, music().data(), music().size() * 2);
    sound->Unlock();
    return sound;
}

void set_pcm_bytes(benchmark::State& state) {
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(music().size()) * 2);
}

void BM_AdpcmDecodeOurs(benchmark::State& state) {
    start_framework();
    const std::string file = soundtest::sndfile_encode_ima(music(), 2, rate);
    ComRef<IObjectRW> adpcm;
    OmCreate(CLSID_Win32Adpcm, IID_IObjectRW, adpcm.put());
    adpcm->SetOption(2, 0);
    for (auto _ : state) {
        auto stream = stream_of(file);
        ComRef<ISoundCreate> maker;
        OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put());
        ComRef<ISound> sound;
        if (adpcm->ReadStream(stream.get(), "adpcm", maker.get(), IID_ISound, sound.put_void()) < 0)
            state.SkipWithError("read failed");
        benchmark::DoNotOptimize(sound.get());
    }
    set_pcm_bytes(state);
}
BENCHMARK(BM_AdpcmDecodeOurs)->Unit(benchmark::kMillisecond);

void BM_AdpcmDecodeLibsndfile(benchmark::State& state) {
    const std::string file = soundtest::sndfile_encode_ima(music(), 2, rate);
    for (auto _ : state) {
        auto decoded = soundtest::sndfile_decode(file);
        benchmark::DoNotOptimize(decoded.samples.data());
    }
    set_pcm_bytes(state);
}
BENCHMARK(BM_AdpcmDecodeLibsndfile)->Unit(benchmark::kMillisecond);

void BM_AdpcmEncodeOurs(benchmark::State& state) {
    start_framework();
    auto sound = music_sound();
    ComRef<IObjectRW> adpcm;
    OmCreate(CLSID_Win32Adpcm, IID_IObjectRW, adpcm.put());
    for (auto _ : state) {
        ComRef<IByteStream> stream;
        OmNewMemoryStream(stream.put());
        if (adpcm->WriteStream(stream.get(), "adpcm", sound.get()) < 0)
            state.SkipWithError("write failed");
    }
    set_pcm_bytes(state);
}
BENCHMARK(BM_AdpcmEncodeOurs)->Unit(benchmark::kMillisecond);

void BM_AdpcmEncodeLibsndfile(benchmark::State& state) {
    for (auto _ : state) {
        auto file = soundtest::sndfile_encode_ima(music(), 2, rate);
        benchmark::DoNotOptimize(file.data());
    }
    set_pcm_bytes(state);
}
BENCHMARK(BM_AdpcmEncodeLibsndfile)->Unit(benchmark::kMillisecond);

void BM_WaveConvertIntoDeviceMaker(benchmark::State& state) {
    start_framework();
    constexpr uint32_t audio_seconds = 10;
    std::string data(size_t(44100) * audio_seconds * 4, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 31);
    std::string file = "RIFF" + std::string(4, '\0') + "WAVEfmt " + std::string("\x10\0\0\0", 4) +
                       std::string("\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0", 16) +
                       "data" + std::string(4, '\0') + data;
    const uint32_t size = uint32_t(data.size());
    std::memcpy(file.data() + 40, &size, 4);
    ComRef<ISoundControl> device;
    OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put());
    device->Init(nullptr, CONTROL_INIT_3D);
    ComRef<IObjectRW> wav;
    OmCreate(CLSID_ObjectRWWav, IID_IObjectRW, wav.put());
    for (auto _ : state) {
        auto stream = stream_of(file);
        ComRef<ISoundCreate> maker;
        device->CreateSound(maker.put());
        maker->SetProperty(MAKER_3D, 1);
        ComRef<ISound> sound;
        if (wav->ReadStream(stream.get(), "wav", maker.get(), IID_ISound, sound.put_void()) < 0 ||
            sound->GetFormat() != SOUND_FORMAT_MONO16 ||
            sound->GetLength() != 22050 * audio_seconds)
            state.SkipWithError("conversion failed");
    }
    state.counters["ms_per_audio_s"] =
        benchmark::Counter(double(state.iterations()) * audio_seconds / 1000.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_WaveConvertIntoDeviceMaker)->Unit(benchmark::kMillisecond);

} // namespace
