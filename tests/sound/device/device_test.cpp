// The streaming device's set-up, voices, output format, sound lifetime and failure paths.
#include "tests/sound/sound_test_support.h"

#include "platform/audio/dsound.h"

#include <thread>

namespace {

using namespace soundtest;

class Device : public SoundTest {};

TEST_F(Device, InitMakesTheDefaultOutputAndSixteenVoices) {
    ComRef<ISoundControl> device = make_device();
    uint32_t code = 0, hz = 0, flags = 0;
    EXPECT_EQ(device->GetOutputFormat(&code, &hz, &flags), OM_S_OK);
    EXPECT_EQ(code, SOUND_FORMAT_STEREO16);
    EXPECT_EQ(hz, 22050u);
    EXPECT_EQ(flags, CONTROL_INIT_EXCLUSIVE | CONTROL_INIT_3D);
    intptr_t voices = 0;
    EXPECT_EQ(device->GetParamInt(CONTROL_INT_VOICES, &voices), OM_S_OK);
    EXPECT_EQ(voices, 16);
    EXPECT_EQ(platform::audio::render_rate(), 22050u);
    EXPECT_EQ(platform::audio::render_frame_bytes(), 4u);
    EXPECT_NE(OmLookupGlobalObject(IID_IDirectSound), nullptr);
}

TEST_F(Device, NoAudioDeviceFailsInitWithTheDriverError) {
    platform::audio::set_device_profile({.no_device = true});
    ComRef<ISoundControl> device;
    ASSERT_EQ(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device.put()), OM_S_OK);
    EXPECT_EQ(device->Init(nullptr, 0), DSERR_NODRIVER);
    EXPECT_EQ(device->Update(10), OM_E_FAIL);
    EXPECT_EQ(OmLookupGlobalObject(IID_IDirectSound), nullptr);
}

TEST_F(Device, SecondDeviceSharesTheDirectSoundObject) {
    ComRef<ISoundControl> first = make_device();
    ComRef<ISoundControl> second = make_device();
    EXPECT_EQ(as_device(first.get())->direct_sound(), as_device(second.get())->direct_sound());
}

TEST_F(Device, OutputRateIsHeldAt22050WithoutHardwareMixing) {
    platform::audio::set_device_profile({.free_hardware_buffers = 0});
    ComRef<ISoundControl> device = make_device();
    ASSERT_EQ(device->SetOutputFormat(SOUND_FORMAT_STEREO16, 44100, CONTROL_INIT_3D), OM_S_OK);
    uint32_t code = 0, hz = 0, flags = 0;
    device->GetOutputFormat(&code, &hz, &flags);
    EXPECT_EQ(hz, 22050u);
    EXPECT_EQ(platform::audio::render_rate(), 22050u);

    // Voice buffers fall back to software mixing, and the sound is heard.
    ComRef<ISound> sound = make_sound(device.get(), 500, ramp);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    platform::audio::BufferSnapshot snap{};
    ASSERT_TRUE(platform::audio::inspect(
        as_device(device.get())->voice_buffer_at(voice_of(sound.get())), &snap));
    EXPECT_FALSE(snap.hardware);
    Mix mix = render(500);
    EXPECT_EQ(mix.left(499), ramp(499));
}

TEST_F(Device, OutputRateIsKeptWithHardwareMixing) {
    ComRef<ISoundControl> device = make_device();
    ASSERT_EQ(device->SetOutputFormat(SOUND_FORMAT_MONO8, 44100, 0), OM_S_OK);
    uint32_t code = 0, hz = 0, flags = 0;
    device->GetOutputFormat(&code, &hz, &flags);
    EXPECT_EQ(code, SOUND_FORMAT_MONO8);
    EXPECT_EQ(hz, 44100u);
    EXPECT_EQ(device->SetFrame(nullptr, nullptr), OM_E_FAIL) << "no listener without 3D";
}

TEST_F(Device, HardwareBuffersRunOutIntoSoftware) {
    platform::audio::set_device_profile({.free_hardware_buffers = 2});
    ComRef<ISoundControl> device = make_device();
    std::vector<ComRef<ISound>> sounds;
    std::vector<bool> hardware;
    for (int i = 0; i < 3; ++i) {
        sounds.push_back(make_sound(device.get(), 100, ramp, 8000 * (i + 1)));
        ASSERT_EQ(sounds.back()->Play(0), OM_S_OK);
        platform::audio::BufferSnapshot snap{};
        platform::audio::inspect(
            as_device(device.get())->voice_buffer_at(voice_of(sounds.back().get())), &snap);
        hardware.push_back(snap.hardware);
    }
    EXPECT_EQ(hardware, (std::vector<bool>{true, true, false}));
}

TEST_F(Device, LostVoiceBufferIsRestoredAndTheSoundPlaysOnToItsEnd) {
    ComRef<ISoundControl> device = make_device();
    const uint32_t length = 2 * rate;
    ComRef<ISound> sound = make_sound(device.get(), length, ramp);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    IDirectSoundBuffer* buffer = as_device(device.get())->voice_buffer_at(voice_of(sound.get()));
    render(2 * frames_per_tick);
    platform::audio::mark_lost(buffer);
    Mix lost = render(5 * frames_per_tick); // the fill at 0.5 s finds it lost and restores it
    EXPECT_EQ(lost.left(100), 0);
    platform::audio::BufferSnapshot snap{};
    platform::audio::inspect(buffer, &snap);
    EXPECT_FALSE(snap.lost);
    // The fill at 0.7 s succeeds: from 1.0 s on every sample is right again.
    Mix rest = render(length - 7 * frames_per_tick + rate / 2);
    uint32_t start = 7 * frames_per_tick;
    for (uint32_t i = rate; i < length; ++i)
        ASSERT_EQ(rest.left(i - start), ramp(i)) << "frame " << i;
    EXPECT_EQ(voice_of(sound.get()), -1);
}

TEST_F(Device, LostPrimaryBufferIsRestoredByUpdate) {
    ComRef<ISoundControl> device = make_device();
    ComRef<IDirectSoundBuffer> primary;
    IDirectSound* ds = as_device(device.get())->direct_sound();
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, primary.put(), nullptr), DS_OK);
    platform::audio::mark_lost(primary.get());
    uint32_t status = 0;
    primary->GetStatus(&status);
    EXPECT_TRUE(status & DSBSTATUS_BUFFERLOST);
    EXPECT_EQ(device->Update(0), OM_S_OK);
    primary->GetStatus(&status);
    EXPECT_FALSE(status & DSBSTATUS_BUFFERLOST);
}

TEST_F(Device, VoiceCountChangeStopsEverySoundAndRefusesBadCounts) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> sound = make_sound(device.get(), 1000, ramp);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    for (intptr_t bad : {intptr_t(-1), intptr_t(257)})
        EXPECT_EQ(device->SetParamInt(CONTROL_INT_VOICES, bad), OM_E_FAIL);
    EXPECT_NE(sound->IsPlaying(), 0) << "a refused count changes nothing";
    ASSERT_EQ(device->SetParamInt(CONTROL_INT_VOICES, 4), OM_S_OK);
    EXPECT_EQ(sound->IsPlaying(), 0);
    EXPECT_EQ(voice_of(sound.get()), -1);
    intptr_t voices = 0;
    device->GetParamInt(CONTROL_INT_VOICES, &voices);
    EXPECT_EQ(voices, 4);
    // The new voices are streamed: a sound longer than its voice's buffer plays to its end.
    const uint32_t length = rate + 100;
    ComRef<ISound> longer = make_sound(device.get(), length, ramp);
    ASSERT_EQ(longer->Play(0), OM_S_OK);
    Mix mix = render(length + rate / 2);
    for (uint32_t i = 0; i < length; ++i) ASSERT_EQ(mix.left(i), ramp(i)) << "frame " << i;
    EXPECT_EQ(voice_of(longer.get()), -1);
    ASSERT_EQ(device->SetParamInt(CONTROL_INT_VOICES, 0), OM_S_OK);
    EXPECT_EQ(sound->Play(0), OM_E_FAIL) << "a one-shot without a voice is dropped";
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 0u);
}

TEST_F(Device, ReleasedSoundsLeaveTheAttachedList) {
    ComRef<ISoundControl> device = make_device();
    size_t before = count_objects(device.get(), CONTROL_LIST_ATTACHED);
    {
        ComRef<ISound> sound = make_sound(device.get(), 100, ramp);
        for (int i = 0; i < 3; ++i) ASSERT_EQ(sound->PlayInstance(nullptr, 0), OM_S_OK);
        EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ATTACHED), before + 4);
    }
    render(frames_per_tick); // the instances end and are let go
    device->Update(10);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ATTACHED), before);
}

TEST_F(Device, SoundOutlivingItsDeviceIsHarmless) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> sound = make_sound(device.get(), 100, ramp);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    device.reset();
    EXPECT_EQ(sound->IsPlaying(), 0);
    EXPECT_EQ(sound->Play(0), OM_E_FAIL);
    EXPECT_EQ(sound->SetParamReal(SOUND_REAL_VOLUME, 0.5f), OM_S_OK);
    EXPECT_EQ(sound->SetParamInt(SOUND_INT_TIME_STEP, 10), OM_S_OK);
    EXPECT_EQ(sound->Stop(), OM_S_OK);
}

TEST_F(Device, InstanceOfAListedSoundGetsAVoiceOfItsOwn) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> sound = make_sound(device.get(), 1000, ramp);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ComRef<ISound> instance;
    EXPECT_EQ(sound->CreateInstance(0, instance.put()), SOUND_E_NOT_SHARED);
    ASSERT_EQ(sound->CreateInstance(SOUND_INSTANCE_SHARE, instance.put()), OM_S_OK);
    EXPECT_EQ(voice_of(instance.get()), -1);
    ASSERT_EQ(instance->Play(SOUND_PLAY_LOOP), OM_S_OK);
    EXPECT_GE(voice_of(instance.get()), 0);
    EXPECT_NE(voice_of(instance.get()), voice_of(sound.get()));
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 2u);
}

TEST_F(Device, SoundAtItsMaximumDistanceIsInaudible) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> sound = make_sound(device.get(), 1000, ramp, rate, true);
    float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 50};
    sound->Set3D(frame, nullptr);
    sound->SetParamReal(SOUND_REAL_MAX_RADIUS, 50.0f);
    EXPECT_EQ(sound->Play(0), OM_S_OK); // a one-shot out of range does nothing
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 0u);

    // A looping one waits in the list and starts once the listener comes in range.
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    EXPECT_EQ(voice_of(sound.get()), -1);
    device->Update(10);
    EXPECT_EQ(voice_of(sound.get()), -1);
    float listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 1};
    device->SetFrame(listener, nullptr);
    device->Update(10);
    EXPECT_GE(voice_of(sound.get()), 0);
    // And leaves its voice again when it falls out of range.
    float far[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, -100};
    device->SetFrame(far, nullptr);
    device->Update(10);
    EXPECT_EQ(voice_of(sound.get()), -1);
    EXPECT_NE(sound->IsPlaying(), 0);
}

TEST_F(Device, MakerBringsARateAboveTheOutputDownAndScalesTheLength) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(device->CreateSound(maker.put()), OM_S_OK);
    ASSERT_EQ(maker->Validate(), OM_S_OK);
    intptr_t format = 0, hz = 0;
    maker->GetProperty(MAKER_FORMAT, &format);
    maker->GetProperty(MAKER_RATE, &hz);
    EXPECT_EQ(format, SOUND_FORMAT_STEREO16) << "defaults to the output";
    EXPECT_EQ(hz, 22050);
    maker->SetProperty(MAKER_RATE, 44100);
    maker->SetProperty(MAKER_LENGTH, 1000);
    maker->SetProperty(MAKER_3D, 1);
    ComRef<ISound> sound;
    ASSERT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
    intptr_t length = 0;
    sound->GetParamInt(SOUND_INT_FREQUENCY, &hz);
    sound->GetParamInt(SOUND_INT_LENGTH, &length);
    EXPECT_EQ(hz, 22050);
    EXPECT_EQ(length, 500);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_MONO16);
    intptr_t owner = 0;
    sound->GetParamInt(SOUND_INT_OWNER, &owner);
    EXPECT_EQ(owner, reinterpret_cast<intptr_t>(device.get()));
    ComRef<ISoundCreate> clone;
    ASSERT_EQ(maker->Clone(clone.put()), OM_S_OK);
    clone->GetProperty(MAKER_LENGTH, &length);
    EXPECT_EQ(length, 500);
}

TEST_F(Device, MakerMakesSoundsOfMoreThanTwoChannelsInStereoAndTheyPlay) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(device->CreateSound(maker.put()), OM_S_OK);
    maker->SetProperty(MAKER_FORMAT, (SOUND_FORMAT_STEREO16 & ~0xFFu) | 8u);
    maker->SetProperty(MAKER_LENGTH, 22050);
    ComRef<ISound> sound;
    ASSERT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_STEREO16);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    device->Update(10);
    EXPECT_GE(voice_of(sound.get()), 0);
}

TEST_F(Device, EightBitOneShotEndsInTheDevicesUnsignedSilence) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISoundCreate> maker;
    device->CreateSound(maker.put());
    maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_MONO8);
    maker->SetProperty(MAKER_LENGTH, 100);
    ComRef<ISound> sound;
    ASSERT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
    void* memory = nullptr;
    sound->Lock(0, &memory);
    std::memset(memory, 0xC0, 100);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    Mix mix = render(200);
    EXPECT_EQ(mix.left(99), 0x40 << 8);
    EXPECT_EQ(mix.left(100), -256) << "0x7F, one step below the centre";
}

TEST_F(Device, EqualDistanceTiesGoToTheLaterSound) {
    ComRef<ISoundControl> device = make_device();
    ASSERT_EQ(device->SetParamInt(CONTROL_INT_VOICES, 1), OM_S_OK);
    ComRef<ISound> first = make_sound(device.get(), 1000, ramp);
    ComRef<ISound> second = make_sound(device.get(), 1000, ramp);
    ASSERT_EQ(first->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(second->Play(SOUND_PLAY_LOOP), OM_S_OK);
    device->Update(10);
    EXPECT_GE(voice_of(second.get()), 0);
    EXPECT_EQ(voice_of(first.get()), -1);
}

} // namespace
