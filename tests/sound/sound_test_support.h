// Shared set-up of the sound tests: the framework with the sound modules, the device over the
// manual DirectSound backend (22050 Hz 16-bit stereo out), generated 16-bit mono samples and
// the mixed output.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "platform/audio/audio_backend.h"
#include "sound/base/base_sound.h"
#include "sound/base/base_sound_control.h"
#include "sound/base/base_sound_create.h"
#include "sound/base/sound_format.h"
#include "sound/device/device_sound.h"
#include "sound/device/win32_dx6_sound_control2.h"
#include "tests/support/framework_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace soundtest {

constexpr uint32_t rate = 22050;
constexpr uint32_t frames_per_tick = rate / 10;

// Registers the sound modules and selects the manual backend with `profile`.
inline void register_sound_modules(const platform::audio::DeviceProfile& profile = {}) {
    platform::audio::set_backend(platform::audio::Backend::manual);
    platform::audio::set_device_profile(profile);
    IObjectManager* manager = OmGetObjectManager();
    BaseSoundCreate_RegisterClasses(manager);
    BaseSound_RegisterClasses(manager);
    BaseSoundControl_RegisterClasses(manager);
    Win32Dx6SoundControl2_RegisterClasses(manager);
}

// The device as the game makes it: the platform-neutral class, Init (null, flags).
inline ComRef<ISoundControl> make_device(uint32_t flags = CONTROL_INIT_EXCLUSIVE |
                                                          CONTROL_INIT_3D) {
    ComRef<ISoundControl> device;
    EXPECT_EQ(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()), OM_S_OK);
    if (device) {
        EXPECT_EQ(device->Init(nullptr, flags), OM_S_OK);
    }
    return device;
}

inline Win32Dx6SoundControl2* as_device(ISoundControl* control) {
    return dynamic_cast<Win32Dx6SoundControl2*>(control);
}

// A 16-bit mono sound of `frames` frames at `hz` from the device's maker, sample i = f(i).
inline ComRef<ISound> make_sound(ISoundControl* device, uint32_t frames,
                                 const std::function<int16_t(uint32_t)>& f, uint32_t hz = rate,
                                 bool is_3d = false) {
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(device->CreateSound(maker.put()), OM_S_OK);
    ComRef<ISound> sound;
    if (!maker) return sound;
    maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_MONO16);
    maker->SetProperty(MAKER_RATE, hz);
    maker->SetProperty(MAKER_LENGTH, frames);
    maker->SetProperty(MAKER_3D, is_3d);
    EXPECT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
    if (!sound) return sound;
    void* memory = nullptr;
    sound->Lock(0, &memory);
    auto* samples = static_cast<int16_t*>(memory);
    for (uint32_t i = 0; i < sound->GetLength(); ++i) samples[i] = f(i);
    sound->Unlock();
    return sound;
}

inline int16_t ramp(uint32_t i) {
    return int16_t(int32_t(i % 65536) - 32768);
}

// Mixed output of the manual backend: interleaved left/right.
struct Mix {
    std::vector<int16_t> samples;
    int16_t left(size_t frame) const { return samples[2 * frame]; }
    int16_t right(size_t frame) const { return samples[2 * frame + 1]; }
    size_t frames() const { return samples.size() / 2; }
};

inline Mix render(uint32_t frames) {
    Mix m;
    m.samples.assign(size_t(frames) * 2, 0);
    EXPECT_EQ(platform::audio::render(m.samples.data(), frames), frames);
    return m;
}

// The voices the device's sound is on, -1 for none.
inline int32_t voice_of(ISound* sound) {
    auto* s = dynamic_cast<DeviceSound*>(sound);
    return s ? s->voice_index() : -1;
}

inline size_t count_objects(ISoundControl* control, int32_t list) {
    size_t n = 0;
    control->ForEachObject(
        list,
        [](IUnknown*, void* context) -> OmResult {
            ++*static_cast<size_t*>(context);
            return OM_S_OK;
        },
        &n);
    return n;
}

// The framework with the sound modules over the manual backend.
class SoundTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override { register_sound_modules(); }
    void TearDown() override {
        platform::audio::set_device_profile({});
        platform::audio::set_backend(platform::audio::Backend::sdl);
        testsupport::FrameworkTest::TearDown();
    }
};

} // namespace soundtest
