// Fuzzes the sound set's files: channels.ini and sounds.ini through SoundSet::Load on the
// sound device over the manual (silent) backend (made once, its one worker idle; what
// channels.ini may change of it, its output format, factors, voices and frame, is put back
// before each load), with the files the sections may name: a meta
// sound's member file, a function sound's expression file and a sample of its own, beside two
// small writer-made samples that are always there ("a.wav" mono, "b.wav" stereo). Every sound
// the sounds file names is then played, every channel's volume set, the set stepped and
// stopped, and everything released.
// Checks: a load ends with a result and nothing leaked (framework blocks balance; ASan's leak
// check sees the rest); the device takes back its first output format.
//
// Input: channels.ini, sounds.ini, the member file "members.ini" and the expression file
// "engine.txt" as parts, and as the rest the sample "c.wav".
#include "fuzz/data_harness.h"
#include "fuzz/sound_fixture.h"
#include "sound/base/sound_control.h"
#include "sound/set/sound_set.h"

#include <string>
#include <vector>

using fuzzing::require;

namespace {

constexpr size_t kMostSoundsPlayed = 16;

// What channels.ini's device keys may change on the device.
struct DeviceState {
    uint32_t code = 0, rate = 0, flags = 0;
    float reals[4] = {};
    intptr_t voices = 0;
    float frame[12] = {}, velocity[3] = {};

    void save(ISoundControl* device) {
        device->GetOutputFormat(&code, &rate, &flags);
        for (int32_t kind = 0; kind < 4; ++kind) device->GetParamReal(kind, &reals[kind]);
        device->GetParamInt(CONTROL_INT_VOICES, &voices);
        device->GetFrame(frame, velocity);
    }
    void restore(ISoundControl* device) const {
        device->StopAll(0);
        require(device->SetOutputFormat(code, rate, flags) >= 0, "the device's format is put back");
        for (int32_t kind = 0; kind < 4; ++kind) device->SetParamReal(kind, reals[kind]);
        // A new voice count restarts the device's worker: only when it changed.
        intptr_t now = 0;
        device->GetParamInt(CONTROL_INT_VOICES, &now);
        if (now != voices) device->SetParamInt(CONTROL_INT_VOICES, voices);
        device->SetFrame(frame, velocity);
    }
};

OmResult load_once(ISoundControl* device, const std::vector<std::string>& sounds,
                   const std::vector<std::string>& channels = {});

struct Fixture {
    std::string mono, stereo;
    ComRef<ISoundControl> device;
    DeviceState initial;
    Fixture() {
        fuzzing::start_data_framework();
        mono = fuzzing::tone_wav(1, 22050, 64);
        stereo = fuzzing::tone_wav(2, 11025, 32);
        require(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()) >= 0 &&
                    device->Init(nullptr, CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D) >= 0,
                "the sound device starts on the manual backend");
        initial.save(device.get());
        // A first load makes what later ones share: made here, outside the balance checks.
        auto& files = fuzzing::shared_files();
        files.put(fuzzing::program_path("sound/channels.ini"),
                  std::string_view("[Device]\nType=DeviceControl\n"));
        files.put(fuzzing::program_path("sound/sounds.ini"),
                  std::string_view("[a]\nChannel=Device\nSample=a.wav\n"));
        files.put(fuzzing::program_path("sound/a.wav"), std::string_view(mono));
        require(load_once(device.get(), {"a"}) >= 0, "a small set loads");
        files.reset();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// The section names of an INI text, at most `most`.
std::vector<std::string> section_names(std::string_view text, size_t most) {
    std::vector<std::string> names;
    size_t at = 0;
    while (at < text.size() && names.size() < most) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(at, end - at);
        const size_t open = line.find('['), close = line.find(']');
        if (open != std::string_view::npos && close != std::string_view::npos && close > open)
            names.emplace_back(line.substr(open + 1, close - open - 1));
        at = end + 1;
    }
    return names;
}

OmResult load_once(ISoundControl* device, const std::vector<std::string>& sounds,
                   const std::vector<std::string>& channels) {
    ComRef<ISoundSet> set;
    require(OmCreate(CLSID_SoundSet, IID_ISoundSet, set.put()) >= 0, "a sound set is made");
    OmResult r = set->Init(device, 0);
    if (r < 0) return r;
    r = set->Load("sound/");
    if (r >= 0) {
        for (const std::string& name : sounds) set->PlaySound(name.c_str(), 0);
        for (const std::string& name : channels) set->SetChannelVolume(name.c_str(), 0.5f);
        platform::advance_virtual_clock(50);
        set->Update();
        set->StopAllSounds();
    }
    return r;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const auto channels = input.part();
    const auto sounds = input.part();
    const auto members = input.part();
    const auto expression = input.part();
    const auto sample = input.rest();

    auto& files = fuzzing::shared_files();
    files.reset();
    files.put(fuzzing::program_path("sound/channels.ini"), channels);
    files.put(fuzzing::program_path("sound/sounds.ini"), sounds);
    files.put(fuzzing::program_path("sound/members.ini"), members);
    files.put(fuzzing::program_path("sound/engine.txt"), expression);
    files.put(fuzzing::program_path("sound/a.wav"), std::string_view(f.mono));
    files.put(fuzzing::program_path("sound/b.wav"), std::string_view(f.stereo));
    files.put(fuzzing::program_path("sound/c.wav"), sample);

    const auto names = section_names(fuzzing::as_text(sounds), kMostSoundsPlayed);
    const auto channel_names = section_names(fuzzing::as_text(channels), kMostSoundsPlayed);
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        f.initial.restore(f.device.get());
        load_once(f.device.get(), names, channel_names);
    }
    files.reset();
    return 0;
}
