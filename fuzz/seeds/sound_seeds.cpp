// Seeds of the sound harnesses: the demo data's channels.ini, sounds.ini and music.ini, small
// sets with meta and function sounds, and WAV and IMA ADPCM files written by the sound-file
// writers from sounds made by BaseSoundCreate.
#include "fuzz/framework_harness.h"
#include "fuzz/seeds/demo_files.h"
#include "fuzz/seeds/seed_set.h"
#include "fuzz/sound_fixture.h"
#include "program/module_groups.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/base/sound_params.h"
#include "sound/files/ima_adpcm.h"
#include "sound/files/object_rw_wav.h"
#include "sound/files/win32_adpcm.h"

#include <string>
#include <vector>

namespace {

using fuzzing::FuzzInputWriter;
using fuzzing::require;

// A sound of the format written by the reader's writer (ADPCM: option 1 = 17).
std::string written(const GUID& clsid, uint32_t code, uint32_t frames, uint32_t hz) {
    ComRef<ISoundCreate> maker;
    require(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put()) >= 0, "a maker");
    maker->SetProperty(MAKER_FORMAT, code);
    maker->SetProperty(MAKER_LENGTH, frames);
    maker->SetProperty(MAKER_RATE, hz);
    ComRef<ISound> sound;
    require(maker->CreateSound(sound.put()) >= 0, "a seed sound");
    void* memory = nullptr;
    sound->Lock(1, &memory);
    const size_t count = size_t(frames) * sound_format_channels(code);
    for (size_t i = 0; i < count; ++i) {
        if (sound_format_bits(code) == 16)
            static_cast<int16_t*>(memory)[i] = int16_t((i * 2654435761u) >> 16);
        else
            static_cast<uint8_t*>(memory)[i] = uint8_t(i * 37);
    }
    sound->Unlock();
    ComRef<IObjectRW> writer;
    require(OmCreate(clsid, IID_IObjectRW, writer.put()) >= 0, "a sound writer");
    if (clsid == CLSID_Win32Adpcm) writer->SetOption(1, 17);
    auto stream = fuzzing::stream_of(std::string_view());
    require(writer->WriteStream(stream.get(), "", sound.get()) >= 0, "a seed sound is written");
    return fuzzing::bytes_of(stream.get());
}

struct SoundFiles {
    fuzzing::FrameworkRun framework;
    std::vector<std::pair<std::string, std::string>> wav, adpcm;
    SoundFiles() {
        IObjectManager* manager = OmGetObjectManager();
        OmRegisterSystemModules(manager);
        OmRegisterSoundModules(manager);
        wav = {{"mono16", written(CLSID_ObjectRWWav, SOUND_FORMAT_MONO16, 40, 22050)},
               {"stereo8", written(CLSID_ObjectRWWav, SOUND_FORMAT_STEREO8, 30, 11025)},
               {"stereo16_44k", written(CLSID_ObjectRWWav, SOUND_FORMAT_STEREO16, 90, 44100)}};
        adpcm = {{"mono", written(CLSID_Win32Adpcm, SOUND_FORMAT_MONO16, 1100, 22050)},
                 {"stereo_44k", written(CLSID_Win32Adpcm, SOUND_FORMAT_STEREO16, 700, 44100)}};
    }
};

const std::string kTree = "[Device]\nType=DeviceControl\nVolume=1.0\nFormat=STEREO16\n"
                          "Frequency=22khz\nFlags=3D\nChannels=8\n"
                          "[Menu]\nType=LimiterControl\nParent=Device\nLimiterEnable=true\n"
                          "LimiterMax=1.5\n[Samples]\nType=DeviceControl\nParent=Menu\n";

} // namespace

FUZZ_SEEDS(sound_set_load) {
    const std::string demo_channels = fuzzing::demo_file("sound/channels.ini");
    const std::string demo_sounds = fuzzing::demo_file("sound/sounds.ini");
    seeds.add("demo", FuzzInputWriter().part(demo_channels).part(demo_sounds).part("").part(""));
    const std::string channels =
        kTree + "[Meta]\nType=MetaSoundSoundControl\nParent=Device\n"
                "[Functions]\nType=FunctionSoundControl\nParent=Device\n"
                "[Queue]\nType=QueueControl\nParent=Device\n[Priority]\nType=PriorityControl\n"
                "Parent=Device\nMaxSounds=2\n[Both]\nType=MetaSoundControl\nChannels=Menu, Queue\n";
    const std::string sounds =
        "[one]\nChannel=Samples\nSample=a.wav\nVolume=0.5\n[two]\nChannel=Samples\nSample=b.wav\n"
        "3d=true\nMinRadius=10\nMaxRadius=100\n[three]\nChannel=Samples\nSample=c.wav\n"
        "Priority=true\nLoopControl=always\n[engine]\nChannel=Functions\nSound=one\n"
        "FunctionFile=engine.txt\nUpdate=true\n[inline]\nChannel=Functions\nSound=two\n"
        "Function=Frequency = OriginalFrequency * (0.7 + 0.6 * Param1); Volume = 0.5\n"
        "[mix]\nChannel=Meta\nSoundFile=members.ini\nFunction=Played = Param1\nCrossFade=true\n"
        "[inherited]\nChannel=Priority\nInherit=one\n";
    const std::string members = "[0]\nSound=one\nMin=0\nMax=0.5\n[1]\nSound=two\nMin=0.4\n"
                                "Max=1\nInnerMin=0.5\nInnerMax=0.9\n";
    const std::string expression = "Frequency = OriginalFrequency * (0.5 + Param1);\n"
                                   "Volume = OriginalVolume * 0.8;\n";
    seeds.add("meta_and_function", FuzzInputWriter()
                                       .part(channels)
                                       .part(sounds)
                                       .part(members)
                                       .part(expression)
                                       .rest(fuzzing::tone_wav(2, 44100, 20)));
}

FUZZ_SEEDS(sound_music_ini) {
    const std::string demo = fuzzing::demo_file("music.ini");
    seeds.add("demo", FuzzInputWriter().byte(128).byte(8).byte(9).byte(10).byte(11).rest(demo));
    seeds.add("every_type",
              FuzzInputWriter().byte(100).byte(8).byte(12).byte(9).byte(0x80).rest(
                  "[0]\ntype=media\n[1]\ntype=DMusic\nfilename=a.mid\nnReverb=1\nrInGain=-3\n"
                  "rHighFreqRTRatio=0.1\nrReverbMix=-10\nrReverbTime=1000\n[2]\ntype=redbook\n"
                  "track=4\n[3]\ntype=streamed\nfilename=music/a.wav\n"));
}

FUZZ_SEEDS(sound_wave_convert) {
    SoundFiles files;
    for (const auto& [name, bytes] : files.wav) {
        seeds.add("wav_" + name, FuzzInputWriter().byte(0).rest(bytes));
        seeds.add("wav_3d_" + name, FuzzInputWriter().byte(4).rest(bytes));
    }
    for (const auto& [name, bytes] : files.adpcm) {
        seeds.add("adpcm_" + name, FuzzInputWriter().byte(1).rest(bytes));
        seeds.add("adpcm_3d_" + name, FuzzInputWriter().byte(5).rest(bytes));
    }
    seeds.add("ini_keys",
              FuzzInputWriter()
                  .byte(2)
                  .part("Priority = true\nVolume = 0.5\nPan = -0.25\nMinRadius = 7\n"
                        "MaxRadius = 70\nLoopControl = always\nFrequency = 11khz\n"
                        "PositionX = 1\nPositionY = 2\nPositionZ = 3\nAtX = 0\nAtY = 0\n"
                        "AtZ = 1\nUpX = 0\nUpY = 1\nUpZ = 0\n")
                  .rest(files.wav[2].second));
    seeds.add("ini_format", FuzzInputWriter()
                                .byte(6)
                                .part("[a]\nFormat = mono8\n[b]\nVolume=0.7\n")
                                .rest(files.wav[1].second));
    seeds.add("ini_adpcm_sample", FuzzInputWriter()
                                      .byte(2)
                                      .part("Sample = s.adpcm\n3d = true\n")
                                      .rest(files.adpcm[0].second));
}

FUZZ_SEEDS(sound_adpcm) {
    SoundFiles files;
    for (const auto& [name, bytes] : files.adpcm)
        seeds.add("file_" + name, FuzzInputWriter().byte(0).rest(bytes));
    // Single blocks made by the encoder: mono and stereo, whole and cut short.
    for (uint32_t channels : {1u, 2u}) {
        std::vector<int16_t> in(size_t(25) * channels);
        for (size_t i = 0; i < in.size(); ++i) in[i] = int16_t(i * 1300);
        ImaEncoderState state;
        std::vector<uint8_t> block(ima_block_bytes(25, channels));
        ima_encode_block(in.data(), 25, channels, state, block.data());
        const std::string name = "block_" + std::to_string(channels);
        seeds.add(name, FuzzInputWriter().byte(1).byte(uint8_t(channels - 1)).byte(24).rest(block));
        block.resize(block.size() - 3);
        seeds.add(name + "_short",
                  FuzzInputWriter().byte(1).byte(uint8_t(channels - 1)).byte(24).rest(block));
    }
}

// Track files as the demo's CD folder holds them: 16-bit stereo at 44.1 kHz, and others.
FUZZ_SEEDS(sound_cd_track) {
    seeds.add("stereo44k", fuzzing::tone_wav(2, 44100, 300));
    seeds.add("mono22k", fuzzing::tone_wav(1, 22050, 100));
    SoundFiles files;
    for (const auto& [name, bytes] : files.wav) seeds.add("written_" + name, bytes);
    seeds.add("adpcm_refused", files.adpcm[0].second);
}
