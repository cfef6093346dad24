// Fuzzes the sound-file readers as the sound set meets them: a WAV or IMA ADPCM file read
// through OmWaveConvert, or an INI sound description (with the sample it names) read through
// the INI reader, into the sound device's maker, so hostile rates, lengths and formats reach
// the device's description rules and the resampler. The device (manual backend, 22050 Hz
// 16-bit stereo) is made once.
// Checks: a read hands out a sound exactly when it succeeds; the sound is in a format the
// device plays, at most at the device's rate, mono when 3D was asked for, and every sample
// reads (rate and channels are checked for WAV and ADPCM; a description's keys may set
// them); the reader's option 2 is what it was; framework blocks balance.
//
// Input: a byte (low 2 bits: WAV, ADPCM or INI; bit 2: a 3D sound), then for WAV and ADPCM
// the file; for INI the description "snd/x.ini" as a part and as the rest the sample, served
// as "snd/x.wav" and "snd/s.adpcm".
#include "fuzz/data_harness.h"
#include "sound/base/sound.h"
#include "sound/base/sound_control.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/base/sound_params.h"
#include "sound/device/device_sound.h"
#include "sound/files/object_rw_sound_ini.h"
#include "sound/files/object_rw_wav.h"
#include "sound/files/win32_adpcm.h"
#include "sound/processing/wave_convert.h"

using fuzzing::require;

namespace {

constexpr uint32_t kDeviceRate = 22050;

struct Fixture {
    ComRef<ISoundControl> device;
    ComRef<IObjectRW> wav, adpcm, ini;
    ComRef<IFileStorage> storage;
    Fixture() {
        fuzzing::start_data_framework();
        require(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()) >= 0 &&
                    device->Init(nullptr, CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D) >= 0,
                "the sound device starts on the manual backend");
        require(OmCreate(CLSID_ObjectRWWav, IID_IObjectRW, wav.put()) >= 0, "the WAV reader");
        require(OmCreate(CLSID_Win32Adpcm, IID_IObjectRW, adpcm.put()) >= 0, "the ADPCM reader");
        require(OmCreate(CLSID_ObjectRWSoundIni, IID_IObjectRW, ini.put()) >= 0, "the INI reader");
        require(OmCreate(CLSID_Storage, IID_IFileStorage, storage.put()) >= 0, "the storage");
        wav->SetOption(2, 5);
        adpcm->SetOption(2, 5);
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// `described`: an INI description's keys may set the playing frequency and the format.
void check_sound(ISound* sound, bool three_d, bool described) {
    const uint32_t code = sound->GetFormat();
    const uint32_t channels = sound_format_channels(code), bits = sound_format_bits(code);
    require(channels >= 1 && channels <= 2 && (bits == 8 || bits == 16),
            "a converted sound is in a format the device plays");
    if (!described) {
        if (three_d) require(channels == 1, "a 3D sound is mono");
        intptr_t hz = 0;
        sound->GetParamInt(SOUND_INT_FREQUENCY, &hz);
        require(hz > 0 && hz <= intptr_t(kDeviceRate),
                "a converted sound is at most at the device's rate");
    }
    void* memory = nullptr;
    if (sound->Lock(2, &memory) < 0) return;
    const uint64_t bytes = uint64_t(sound->GetLength()) * channels * bits / 8;
    volatile uint8_t sum = 0;
    for (uint64_t i = 0; i < bytes; ++i) sum = sum + static_cast<const uint8_t*>(memory)[i];
    sound->Unlock();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const uint8_t choice = input.byte();
    const uint32_t reader = (choice & 3) % 3;
    const bool three_d = choice & 4;
    auto& files = fuzzing::shared_files();
    files.reset();
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        ComRef<ISoundCreate> maker;
        require(f.device->CreateSound(maker.put()) >= 0, "the device hands out a maker");
        if (three_d) maker->SetProperty(MAKER_3D, 1);
        ComRef<ISound> sound;
        OmResult r;
        if (reader < 2) {
            IObjectRW* rw = reader == 0 ? f.wav.get() : f.adpcm.get();
            auto stream = fuzzing::stream_of(input.rest());
            r = OmWaveConvert(rw, stream.get(), reader == 0 ? "wav" : "adpcm", maker.get(),
                              IID_ISound, sound.put_void());
            uint32_t option = 0;
            rw->GetOption(2, &option);
            require(option == 5, "the converting read puts option 2 back");
        } else {
            files.put(fuzzing::program_path("snd/x.ini"), input.part());
            const auto sample = input.rest();
            files.put(fuzzing::program_path("snd/x.wav"), sample);
            files.put(fuzzing::program_path("snd/s.adpcm"), sample);
            r = f.ini->Read(f.storage.get(), fuzzing::program_path("snd/x.ini").c_str(),
                            maker.get(), IID_ISound, sound.put_void());
        }
        require((r >= 0) == bool(sound), "a read hands out a sound exactly when it succeeds");
        if (sound) check_sound(sound.get(), three_d, reader == 2);
    }
    files.reset();
    return 0;
}
