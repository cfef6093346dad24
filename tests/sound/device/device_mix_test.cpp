// The streaming device heard through the manual backend: one-shots, loops, gains, pan, 3D
// placement and voice competition, checked sample by sample in the mix.
#include "tests/sound/sound_test_support.h"

#include <cmath>

namespace {

using namespace soundtest;

class DeviceMix : public SoundTest {};

TEST_F(DeviceMix, OneShotIsBitExactThenSilentAndReleasedWithinATick) {
    ComRef<ISoundControl> device = make_device();
    const uint32_t length = 6615 + 100; // 0.3 s and a bit: not a whole number of ticks
    ComRef<ISound> sound = make_sound(device.get(), length, ramp);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    ASSERT_GE(voice_of(sound.get()), 0);

    Mix mix = render(rate); // one second
    for (uint32_t i = 0; i < length; ++i) {
        ASSERT_EQ(mix.left(i), ramp(i)) << "frame " << i;
        ASSERT_EQ(mix.right(i), ramp(i)) << "frame " << i;
    }
    for (uint32_t i = length; i < mix.frames(); ++i) {
        ASSERT_EQ(mix.left(i), 0) << "frame " << i;
        ASSERT_EQ(mix.right(i), 0) << "frame " << i;
    }
    // Released at the first tick after its end (0.4 s), so long gone after one second.
    EXPECT_EQ(voice_of(sound.get()), -1);
    EXPECT_EQ(sound->IsPlaying(), 0);
    EXPECT_EQ(device->Update(0), OM_S_OK);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 0u);
}

TEST_F(DeviceMix, OneShotIsReleasedAtTheFirstTickAfterItsLastSample) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> sound = make_sound(device.get(), 3 * frames_per_tick + 10, ramp);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    render(3 * frames_per_tick);
    EXPECT_GE(voice_of(sound.get()), 0) << "10 frames are still to be heard";
    render(frames_per_tick);
    EXPECT_EQ(voice_of(sound.get()), -1);
}

TEST_F(DeviceMix, TwoSecondOneShotIsHeardToItsLastSample) {
    ComRef<ISoundControl> device = make_device();
    const uint32_t length = 2 * rate;
    ComRef<ISound> sound = make_sound(device.get(), length, ramp);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    Mix mix = render(length + rate / 2);
    for (uint32_t i = 0; i < length; ++i) ASSERT_EQ(mix.left(i), ramp(i)) << "frame " << i;
    for (uint32_t i = length; i < mix.frames(); ++i) ASSERT_EQ(mix.left(i), 0) << "frame " << i;
    EXPECT_EQ(voice_of(sound.get()), -1);
}

TEST_F(DeviceMix, ShortLoopEqualsTheSampleTiled) {
    ComRef<ISoundControl> device = make_device();
    const uint32_t length = 1000; // far shorter than one half
    ComRef<ISound> sound =
        make_sound(device.get(), length, [](uint32_t i) { return int16_t(i * 7); });
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    Mix mix = render(3 * rate / 2);
    for (uint32_t i = 0; i < mix.frames(); ++i)
        ASSERT_EQ(mix.left(i), int16_t((i % length) * 7)) << "frame " << i;
    EXPECT_NE(sound->IsPlaying(), 0);
    EXPECT_GE(voice_of(sound.get()), 0);
    sound->Stop();
    EXPECT_EQ(sound->IsPlaying(), 0);
    Mix after = render(frames_per_tick);
    EXPECT_EQ(after.left(0), 0);
}

struct GainCase {
    const char* name;
    float volume;
    float pan;
    int32_t ds_volume;
    int32_t ds_pan;
};

void PrintTo(const GainCase& c, std::ostream* os) {
    *os << c.name;
}

class DeviceGains : public SoundTest, public ::testing::WithParamInterface<GainCase> {};

TEST_P(DeviceGains, MixFollowsTheDirectSoundVolumeAndPan) {
    const GainCase& c = GetParam();
    ComRef<ISoundControl> device = make_device();
    const int16_t level = 20000;
    ComRef<ISound> sound = make_sound(device.get(), rate, [&](uint32_t) { return level; });
    sound->SetParamReal(SOUND_REAL_VOLUME, c.volume);
    sound->SetParamReal(SOUND_REAL_PAN, c.pan);
    ASSERT_EQ(sound->Play(0), OM_S_OK);

    auto* d = as_device(device.get());
    platform::audio::BufferSnapshot snap{};
    ASSERT_TRUE(platform::audio::inspect(d->voice_buffer_at(voice_of(sound.get())), &snap));
    EXPECT_EQ(snap.volume, c.ds_volume);
    EXPECT_EQ(snap.pan, c.ds_pan);

    auto gain = [](int32_t hundredths) { return std::pow(10.0, hundredths / 2000.0); };
    double volume = gain(c.ds_volume);
    double left = level * volume * (c.ds_pan > 0 ? gain(-c.ds_pan) : 1.0);
    double right = level * volume * (c.ds_pan < 0 ? gain(c.ds_pan) : 1.0);
    Mix mix = render(frames_per_tick);
    EXPECT_NEAR(mix.left(100), left, 1.0);
    EXPECT_NEAR(mix.right(100), right, 1.0);
}

INSTANTIATE_TEST_SUITE_P(Table, DeviceGains,
                         ::testing::Values(GainCase{"full", 1.0f, 0.0f, 0, 0},
                                           GainCase{"half", 0.5f, 0.0f, -599, 0},
                                           GainCase{"silent", 0.0f, 0.0f, -7972, 0},
                                           GainCase{"right", 1.0f, 1.0f, 0, -7972},
                                           GainCase{"left", 1.0f, -1.0f, 0, 7972}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DeviceMix, PlayPositionFollowsTheMixAcrossWrapsAndLoops) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> one_shot = make_sound(device.get(), 2 * rate, ramp);
    ComRef<ISound> loop = make_sound(device.get(), 1000, ramp);
    ASSERT_EQ(one_shot->Play(0), OM_S_OK);
    ASSERT_EQ(loop->Play(SOUND_PLAY_LOOP), OM_S_OK);
    uint32_t position = 99;
    EXPECT_EQ(one_shot->GetPlayPosition(&position), OM_S_OK);
    EXPECT_EQ(position, 0u);
    render(rate + 1234); // past the one-second buffer's wrap, between two ticks
    one_shot->GetPlayPosition(&position);
    EXPECT_EQ(position, rate + 1234);
    loop->GetPlayPosition(&position);
    EXPECT_EQ(position, (rate + 1234) % 1000);
    EXPECT_EQ(one_shot->SetPlayPosition(0), OM_E_FAIL);
}

TEST_F(DeviceMix, MasterVolumeReachesPlayingSounds) {
    ComRef<ISoundControl> device = make_device();
    ComRef<ISound> sound = make_sound(device.get(), rate, [](uint32_t) { return int16_t(20000); });
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    ASSERT_EQ(device->SetParamReal(CONTROL_REAL_VOLUME, 0.5f), OM_S_OK);
    float master = 0;
    EXPECT_EQ(device->GetParamReal(CONTROL_REAL_VOLUME, &master), OM_S_OK);
    EXPECT_EQ(master, 0.5f);
    Mix mix = render(100);
    EXPECT_NEAR(mix.left(50), 20000 * std::pow(10.0, -599 / 2000.0), 1.0);
}

float identity_frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};

ComRef<ISound> place_3d(ISoundControl* device, int16_t level, float x, float z) {
    ComRef<ISound> sound = make_sound(
        device, rate, [=](uint32_t) { return level; }, rate, true);
    float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, x, 0, z};
    sound->Set3D(frame, nullptr);
    sound->SetParamReal(SOUND_REAL_MIN_RADIUS, 100.0f);
    sound->SetParamReal(SOUND_REAL_MAX_RADIUS, 1000.0f);
    return sound;
}

TEST_F(DeviceMix, APlacedSoundIsHeardOnlyOnceItHasAMaximumRadius) {
    ComRef<ISoundControl> device = make_device();
    ASSERT_EQ(device->SetFrame(identity_frame, nullptr), OM_S_OK);
    ComRef<ISound> sound = make_sound(
        device.get(), rate, [](uint32_t) { return int16_t(10000); }, rate, true);
    float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 5};
    sound->Set3D(frame, nullptr);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(device->Update(0), OM_S_OK);
    EXPECT_EQ(voice_of(sound.get()), -1) << "no radii: out of range";
    Mix silent = render(100);
    EXPECT_EQ(silent.left(50), 0);
    EXPECT_EQ(silent.right(50), 0);

    sound->SetParamReal(SOUND_REAL_MIN_RADIUS, 10.0f);
    sound->SetParamReal(SOUND_REAL_MAX_RADIUS, 100.0f);
    ASSERT_EQ(device->Update(0), OM_S_OK); // the next time step finds it in range
    EXPECT_GE(voice_of(sound.get()), 0);
    Mix heard = render(100);
    EXPECT_GT(heard.left(50), 5000); // within MinRadius: full gain, centred
    EXPECT_EQ(heard.left(50), heard.right(50));
}

TEST_F(DeviceMix, SourceOnTheListenersRightIsLouderOnTheRight) {
    ComRef<ISoundControl> device = make_device();
    ASSERT_EQ(device->SetFrame(identity_frame, nullptr), OM_S_OK);
    ComRef<ISound> right = place_3d(device.get(), 10000, 5.0f, 0.0f);
    ASSERT_EQ(right->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(device->Update(0), OM_S_OK); // commits the deferred 3D settings
    Mix mix = render(100);
    EXPECT_GT(mix.right(50), mix.left(50));
    EXPECT_EQ(mix.right(50), 10000);

    right->Stop();
    ComRef<ISound> ahead = place_3d(device.get(), 10000, 0.0f, 5.0f);
    ASSERT_EQ(ahead->Play(SOUND_PLAY_LOOP), OM_S_OK);
    device->Update(0);
    Mix centred = render(100);
    EXPECT_EQ(centred.left(50), centred.right(50));
}

TEST_F(DeviceMix, DistantSourceIsAttenuatedByTheRollOffLaw) {
    ComRef<ISoundControl> device = make_device();
    device->SetFrame(identity_frame, nullptr);
    ComRef<ISound> sound = make_sound(
        device.get(), rate, [](uint32_t) { return int16_t(16000); }, rate, true);
    float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 40};
    sound->Set3D(frame, nullptr);
    sound->SetParamReal(SOUND_REAL_MIN_RADIUS, 10.0f);
    sound->SetParamReal(SOUND_REAL_MAX_RADIUS, 1000.0f);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    device->Update(0);
    Mix mix = render(100);
    EXPECT_NEAR(mix.left(50), 16000 * 10.0 / (10.0 + 30.0), 1.0); // min / (min + (d - min))
}

TEST_F(DeviceMix, SeventeenEqualSoundsOnSixteenVoicesLeaveOutTheFarthest) {
    ComRef<ISoundControl> device = make_device();
    device->SetFrame(identity_frame, nullptr);
    std::vector<ComRef<ISound>> sounds;
    for (int i = 0; i < 17; ++i) {
        int16_t level = i == 16 ? 1000 : 10;
        sounds.push_back(place_3d(device.get(), level, 0.0f, 1.0f + i)); // within MinRadius
        ASSERT_EQ(sounds.back()->Play(SOUND_PLAY_LOOP), OM_S_OK);
    }
    ASSERT_EQ(device->Update(0), OM_S_OK);
    EXPECT_EQ(voice_of(sounds[16].get()), -1);
    Mix mix = render(100);
    EXPECT_EQ(mix.left(50), 16 * 10);

    sounds[3]->Stop();
    ASSERT_EQ(device->Update(0), OM_S_OK);
    EXPECT_GE(voice_of(sounds[16].get()), 0);
    Mix after = render(100);
    EXPECT_EQ(after.left(50), 15 * 10 + 1000);
}

TEST_F(DeviceMix, NearerSoundStealsTheVoiceOfTheFarthest) {
    ComRef<ISoundControl> device = make_device();
    device->SetFrame(identity_frame, nullptr);
    ASSERT_EQ(device->SetParamInt(CONTROL_INT_VOICES, 2), OM_S_OK);
    ComRef<ISound> a = place_3d(device.get(), 10, 0, 5);
    ComRef<ISound> b = place_3d(device.get(), 10, 0, 9);
    ASSERT_EQ(a->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(b->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ComRef<ISound> near = place_3d(device.get(), 10, 0, 1);
    ASSERT_EQ(near->Play(SOUND_PLAY_LOOP), OM_S_OK);
    EXPECT_GE(voice_of(near.get()), 0);
    EXPECT_EQ(voice_of(b.get()), -1);
    EXPECT_GE(voice_of(a.get()), 0);
}

} // namespace
