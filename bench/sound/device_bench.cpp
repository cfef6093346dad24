// The streaming device's main-thread and worker costs: Update with 100 and 200 listed sounds
// whose ranking churns (voices are stolen back and forth), and one worker tick over 16 busy
// voices.
#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "platform/audio/audio_backend.h"
#include "platform/audio/tick_source.h"
#include "sound/base/base_sound.h"
#include "sound/base/base_sound_control.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/device/win32_dx6_sound_control2.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

void start_framework() {
    static bool started = [] {
        OmStartup();
        IObjectManager* manager = OmGetObjectManager();
        BaseSoundCreate_RegisterClasses(manager);
        BaseSound_RegisterClasses(manager);
        BaseSoundControl_RegisterClasses(manager);
        Win32Dx6SoundControl2_RegisterClasses(manager);
        platform::audio::set_backend(platform::audio::Backend::manual);
        return true;
    }();
    (void)started;
}

struct Scene {
    ComRef<ISoundControl> device;
    std::vector<ComRef<ISound>> sounds;
};

Scene make_scene(uint32_t count, uint32_t frames) {
    Scene scene;
    OmCreate(CLSID_SoundDevice, IID_ISoundControl, scene.device.put());
    scene.device->Init(nullptr, CONTROL_INIT_3D);
    float listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    scene.device->SetFrame(listener, nullptr);
    for (uint32_t i = 0; i < count; ++i) {
        ComRef<ISoundCreate> maker;
        scene.device->CreateSound(maker.put());
        maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_MONO16);
        maker->SetProperty(MAKER_LENGTH, frames);
        maker->SetProperty(MAKER_3D, 1);
        maker->SetProperty(MAKER_PRIORITY, i % 3);
        ComRef<ISound> sound;
        maker->CreateSound(sound.put());
        float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, float(i % 17), 0, float(i)};
        sound->Set3D(frame, nullptr);
        sound->Play(SOUND_PLAY_LOOP);
        scene.sounds.push_back(sound);
    }
    return scene;
}

void BM_DeviceUpdate(benchmark::State& state) {
    start_framework();
    uint32_t count = uint32_t(state.range(0));
    Scene scene = make_scene(count, 2205);
    uint32_t step = 0;
    for (auto _ : state) {
        // The listener sweeps along the row of sounds, so the nearest sixteen keep changing.
        float listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, float(step % count)};
        scene.device->SetFrame(listener, nullptr);
        scene.device->Update(10);
        step += 3;
    }
    scene.device->StopAll(0);
}
BENCHMARK(BM_DeviceUpdate)->Arg(100)->Arg(200)->Unit(benchmark::kMicrosecond);

void BM_WorkerTick(benchmark::State& state) {
    start_framework();
    Scene scene = make_scene(16, 22050 * 3);
    platform::audio::TickSource& ticks = platform::audio::service_ticks();
    for (auto _ : state) ticks.tick(true); // returns once the worker has serviced every voice
    scene.device->StopAll(0);
}
BENCHMARK(BM_WorkerTick)->Unit(benchmark::kMicrosecond);

} // namespace
