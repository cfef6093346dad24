// The simple DirectSound device on the manual backend: every sound a buffer of its own, mixed
// by the stand-in; the output rate, one-shots leaving the active list, duplicates over shared
// samples, locking, gains and 3D placement.
#include "tests/sound/sound_test_support.h"

#include "sound/device/win32_dx6_sound.h"
#include "sound/device/win32_dx6_sound_control.h"

#include <cmath>

namespace {

using namespace soundtest;

class SimpleDevice : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        Win32Dx6SoundControl_RegisterClasses(OmGetObjectManager());
    }

    static ComRef<ISoundControl> make_simple_device(uint32_t flags = CONTROL_INIT_3D) {
        ComRef<ISoundControl> device;
        EXPECT_EQ(OmCreate(CLSID_Win32Dx6SoundControl, IID_ISoundControl, device.put()), OM_S_OK);
        if (device) EXPECT_EQ(device->Init(nullptr, flags), OM_S_OK);
        return device;
    }

    static IDirectSoundBuffer* buffer_of(ISound* sound) {
        auto* s = dynamic_cast<Win32Dx6Sound*>(sound);
        return s ? s->buffer() : nullptr;
    }
};

TEST_F(SimpleDevice, KeepsA44100HzOutputWithoutHardwareMixing) {
    platform::audio::set_device_profile({.free_hardware_buffers = 0});
    ComRef<ISoundControl> device = make_simple_device();
    ASSERT_EQ(device->SetOutputFormat(SOUND_DEFAULT_OUTPUT_FORMAT, 44100, CONTROL_INIT_3D),
              OM_S_OK);
    uint32_t code = 0, rate_out = 0, flags = 0;
    ASSERT_EQ(device->GetOutputFormat(&code, &rate_out, &flags), OM_S_OK);
    EXPECT_EQ(rate_out, 44100u);
    EXPECT_EQ(platform::audio::render_rate(), 44100u);
    EXPECT_EQ(device->Init(nullptr, 0), OM_E_FAIL); // once only
}

TEST_F(SimpleDevice, AOneShotIsBitExactAndLeavesTheListAtTheFirstStepAfterItStopped) {
    ComRef<ISoundControl> device = make_simple_device();
    ComRef<ISound> sound = make_sound(device.get(), 3000, ramp);
    ASSERT_TRUE(sound);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 1u);
    Mix mix = render(2999);
    for (uint32_t i = 0; i < 2999; ++i) ASSERT_EQ(mix.left(i), ramp(i)) << i;
    ASSERT_EQ(device->Update(10), OM_S_OK);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 1u) << "one frame is left";
    EXPECT_NE(sound->IsPlaying(), 0);
    Mix rest = render(100);
    EXPECT_EQ(rest.left(0), ramp(2999));
    EXPECT_EQ(rest.left(1), 0);
    EXPECT_EQ(sound->IsPlaying(), 0);
    ASSERT_EQ(device->Update(10), OM_S_OK);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 0u);
}

TEST_F(SimpleDevice, ADuplicatePlaysOnItsOwnOverSharedSamples) {
    ComRef<ISoundControl> device = make_simple_device();
    ComRef<ISound> sound = make_sound(
        device.get(), 4000, [](uint32_t i) { return int16_t(int32_t(i % 1000) * 10 - 5000); });
    ComRef<ISound> copy;
    EXPECT_EQ(sound->CreateInstance(0, copy.put()), SOUND_E_NOT_SHARED);
    ASSERT_EQ(sound->CreateInstance(SOUND_INSTANCE_SHARE, copy.put()), OM_S_OK);
    EXPECT_NE(buffer_of(copy.get()), buffer_of(sound.get()));

    // Samples written through the original are the copy's too.
    void* memory = nullptr;
    ASSERT_EQ(sound->Lock(0, &memory), OM_S_OK);
    void* again = nullptr;
    EXPECT_EQ(sound->Lock(0, &again), OM_E_FAIL);
    void *part1 = nullptr, *part2 = nullptr;
    uint32_t count1 = 0, count2 = 0;
    ASSERT_EQ(sound->GetSegments(0, 0, 4000, &part1, &count1, &part2, &count2), OM_S_OK);
    EXPECT_EQ(part1, memory);
    EXPECT_EQ(count1, 4000u);
    EXPECT_EQ(count2, 0u);
    auto* samples = static_cast<int16_t*>(memory);
    for (uint32_t i = 0; i < 4000; ++i) samples[i] = ramp(i) / 4;
    ASSERT_EQ(sound->Unlock(), OM_S_OK);
    EXPECT_EQ(sound->Unlock(), OM_E_FAIL);
    EXPECT_EQ(sound->GetSegments(0, 0, 1, &part1, &count1, &part2, &count2), OM_E_FAIL);

    ASSERT_EQ(sound->Play(0), OM_S_OK);
    render(1000);
    ASSERT_EQ(copy->Play(0), OM_S_OK);
    Mix mix = render(2000);
    for (uint32_t i = 0; i < 2000; ++i) {
        ASSERT_EQ(mix.left(i), ramp(1000 + i) / 4 + ramp(i) / 4) << i;
        ASSERT_EQ(mix.right(i), mix.left(i)) << i;
    }
    // Stopping the original leaves the copy playing.
    ASSERT_EQ(sound->Stop(), OM_S_OK);
    Mix after = render(500);
    for (uint32_t i = 0; i < 500; ++i) ASSERT_EQ(after.left(i), ramp(2000 + i) / 4) << i;
    uint32_t position = 0;
    ASSERT_EQ(sound->GetPlayPosition(&position), OM_S_OK);
    EXPECT_EQ(position, 0u);
    ASSERT_EQ(copy->GetPlayPosition(&position), OM_S_OK);
    EXPECT_EQ(position, 2500u);
}

TEST_F(SimpleDevice, PauseKeepsThePositionAndVolumesReachTheBuffer) {
    ComRef<ISoundControl> device = make_simple_device();
    ComRef<ISound> sound = make_sound(device.get(), 8000, ramp);
    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_VOLUME, 0.5f), OM_S_OK);
    ASSERT_EQ(device->SetParamReal(CONTROL_REAL_VOLUME, 0.5f), OM_S_OK);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    platform::audio::BufferSnapshot snap{};
    ASSERT_TRUE(platform::audio::inspect(buffer_of(sound.get()), &snap));
    EXPECT_EQ(snap.volume, device_volume(0.25f));
    EXPECT_TRUE(snap.looping);
    render(1500);
    ASSERT_EQ(sound->Pause(), OM_S_OK);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 0u);
    render(500);
    uint32_t position = 0;
    ASSERT_EQ(sound->GetPlayPosition(&position), OM_S_OK);
    EXPECT_EQ(position, 1500u);
    ASSERT_EQ(sound->SetPlayPosition(100), OM_S_OK);
    EXPECT_EQ(sound->SetPlayPosition(8000), OM_E_FAIL);
    ASSERT_EQ(sound->SetParamInt(SOUND_INT_FREQUENCY, 11025), OM_S_OK);
    ASSERT_TRUE(platform::audio::inspect(buffer_of(sound.get()), &snap));
    EXPECT_EQ(snap.frequency, 11025u);
    EXPECT_EQ(snap.play_cursor, 200u);
    ASSERT_EQ(device->SetParamReal(CONTROL_REAL_VOLUME, 1.0f), OM_S_OK);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(device->SetParamReal(CONTROL_REAL_VOLUME, 0.5f), OM_S_OK);
    ASSERT_TRUE(platform::audio::inspect(buffer_of(sound.get()), &snap));
    EXPECT_EQ(snap.volume, device_volume(0.25f)) << "the master volume reaches playing sounds";
    ASSERT_EQ(device->StopAll(0), OM_S_OK);
    EXPECT_EQ(sound->IsPlaying(), 0);
}

TEST_F(SimpleDevice, ThreeDSoundsArePlacedThroughTheirOwn3DBuffer) {
    ComRef<ISoundControl> device = make_simple_device();
    ComRef<ISound> flat = make_sound(device.get(), 1000, ramp);
    float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 0, 0};
    EXPECT_EQ(flat->Set3D(frame, nullptr), OM_E_FAIL);
    ComRef<ISound> placed = make_sound(device.get(), 1000, ramp, rate, true);
    ASSERT_TRUE(placed);
    float radius = 0;
    ASSERT_EQ(placed->GetParamReal(SOUND_REAL_MAX_RADIUS, &radius), OM_S_OK);
    EXPECT_EQ(radius, DS3D_DEFAULTMAXDISTANCE);
    ASSERT_EQ(placed->Set3D(frame, nullptr), OM_S_OK);
    ASSERT_EQ(placed->SetParamReal(SOUND_REAL_MIN_RADIUS, 2.0f), OM_S_OK);
    platform::audio::BufferSnapshot snap{};
    ASSERT_TRUE(platform::audio::inspect(buffer_of(placed.get()), &snap));
    EXPECT_EQ(snap.committed.position.x, 0.0f) << "deferred until the device's update";
    ASSERT_EQ(device->Update(0), OM_S_OK);
    ASSERT_TRUE(platform::audio::inspect(buffer_of(placed.get()), &snap));
    EXPECT_TRUE(snap.has_3d);
    EXPECT_EQ(snap.committed.position.x, 5.0f);
    EXPECT_EQ(snap.committed.min_distance, 2.0f);
}

TEST_F(SimpleDevice, SoundsOutliveTheirDevice) {
    ComRef<ISoundControl> device = make_simple_device();
    ComRef<ISound> sound = make_sound(device.get(), 1000, ramp);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    device.reset();
    EXPECT_EQ(sound->Play(0), OM_E_FAIL);
    EXPECT_EQ(sound->Stop(), OM_S_OK);
    ComRef<ISound> copy;
    EXPECT_EQ(sound->CreateInstance(SOUND_INSTANCE_SHARE, copy.put()), OM_E_FAIL);
}

} // namespace
