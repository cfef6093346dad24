// The channel controls' per-frame costs: Update of a 3D channel placing its playing sounds, a
// play into a full priority channel (the victim search), a limiter re-evaluating its sum, and
// function sounds evaluating their expressions at every step.
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "framework/io/memory_stream.h"
#include "program/module_groups.h"
#include "sound/base/base_sound_control.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/channel/channel_descs.h"
#include "sound/channel/function_sound_control.h"
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/placed_sound_control.h"
#include "sound/channel/priority_sound_control.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

void start_framework() {
    static bool started = [] {
        OmStartup();
        IObjectManager* manager = OmGetObjectManager();
        OmRegisterContainerModules(manager);
        OmRegisterSoundModules(manager);
        return true;
    }();
    (void)started;
}

ComRef<ISoundControl> control_of(const GUID& clsid, ComRef<ISoundControl>& parent) {
    OmCreate(CLSID_BaseSoundControl, IID_ISoundControl, parent.put());
    ComRef<ISoundControl> control;
    OmCreate(clsid, IID_ISoundControl, control.put());
    control->Init(parent.get(), 0);
    return control;
}

// A short BaseSound (which plays until it is stopped).
ComRef<ISound> base_sound() {
    ComRef<ISoundCreate> maker;
    OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put());
    maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_MONO16);
    maker->SetProperty(MAKER_LENGTH, 16);
    ComRef<ISound> sound;
    maker->CreateSound(sound.put());
    return sound;
}

// A channel sound of the control over a base sound, playing when `play`.
ComRef<ISound> playing_sound(ISoundControl* control, bool play = true) {
    ComRef<ISound> inner = base_sound();
    ComRef<ISound> sound;
    control->CreateSoundFrom(nullptr, sound.put());
    sound->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(inner.get()));
    if (play) sound->Play(SOUND_PLAY_LOOP);
    return sound;
}

void BM_PlacedControlUpdate(benchmark::State& state) {
    start_framework();
    ComRef<ISoundControl> parent;
    ComRef<ISoundControl> control = control_of(CLSID_3dSoundControl, parent);
    std::vector<ComRef<ISound>> sounds;
    for (int64_t i = 0; i < state.range(0); ++i) {
        sounds.push_back(playing_sound(control.get()));
        float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, float(i % 17), 0, float(i)};
        float velocity[3] = {float(i % 5), 0, 10};
        sounds.back()->SetParamReal(SOUND_REAL_MIN_RADIUS, 5.0f);
        sounds.back()->Set3D(frame, velocity);
    }
    float listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    float listener_velocity[3] = {0, 0, 30};
    for (auto _ : state) {
        listener[9] += 0.5f; // a listener flying past its sounds
        control->SetFrame(listener, listener_velocity);
        control->Update(16);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PlacedControlUpdate)->Arg(100)->Arg(400);

void BM_PriorityPlayIntoFullChannel(benchmark::State& state) {
    start_framework();
    ComRef<ISoundControl> parent;
    ComRef<ISoundControl> control = control_of(CLSID_PrioritySoundControl, parent);
    control->SetParamInt(CONTROL_INT_VOICES, state.range(0));
    std::vector<ComRef<ISound>> sounds;
    for (int64_t i = 0; i < 2 * state.range(0); ++i) {
        sounds.push_back(playing_sound(control.get(), false));
        sounds.back()->SetParamInt(SOUND_INT_PRIORITY, i % 4);
    }
    size_t next = 0;
    for (auto _ : state) {
        control->Update(1);
        benchmark::DoNotOptimize(sounds[next]->Play(0));
        next = (next + 1) % sounds.size();
    }
}
BENCHMARK(BM_PriorityPlayIntoFullChannel)->Arg(16)->Arg(128);

void BM_LimiterUpdate(benchmark::State& state) {
    start_framework();
    ComRef<ISoundControl> parent;
    ComRef<ISoundControl> control = control_of(CLSID_LimiterSoundControl, parent);
    std::vector<ComRef<ISound>> sounds;
    for (int64_t i = 0; i < state.range(0); ++i) sounds.push_back(playing_sound(control.get()));
    float volume = 0.5f;
    for (auto _ : state) {
        volume = volume > 0.9f ? 0.5f : volume + 0.01f;
        sounds[0]->SetParamReal(SOUND_REAL_VOLUME, volume);
        control->Update(16);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LimiterUpdate)->Arg(64);

void BM_FunctionSoundsStep(benchmark::State& state) {
    start_framework();
    ComRef<ISoundControl> parent;
    ComRef<ISoundControl> control = control_of(CLSID_FunctionSoundControl, parent);
    const char* text = "[s]\nUpdate = true\nFunction = Frequency = OriginalFrequency * (1 + "
                       "Param1 * 0.1); Volume = range(Param1, 1, 0); Pan = Param2 * 0.5\n";
    ComRef<IPropertySheet> sheet;
    OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put());
    ComRef<IByteStream> stream;
    OmNewMemoryStream(stream.put());
    stream->Write(text, uint32_t(std::strlen(text)), nullptr);
    stream->Seek(0, 1, nullptr);
    sheet->Load(stream.get());
    sheet->SetSection("s");
    std::vector<ComRef<ISound>> sounds;
    for (int64_t i = 0; i < state.range(0); ++i) {
        ComRef<ISound> base = base_sound();
        ComRef<ISound> sound;
        control->CreateSoundFrom(nullptr, sound.put());
        SoundFunctionDesc desc{sheet.get(), base.get(), nullptr, ""};
        sound->SetParamInt(SOUND_INT_FUNCTION_DESC, reinterpret_cast<intptr_t>(&desc));
        sound->Play(SOUND_PLAY_LOOP);
        sounds.push_back(sound);
    }
    float param = 0.0f;
    for (auto _ : state) {
        param = param > 1.0f ? 0.0f : param + 0.05f;
        for (auto& s : sounds) s->SetParamReal(SOUND_REAL_PARAM1, param);
        control->Update(16);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FunctionSoundsStep)->Arg(50);

} // namespace
