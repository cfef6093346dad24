// Channel controls over the streaming device, heard through the manual backend: the limiter's
// scale in the mix, the 3D channel's pan, and a sound refused by a full priority channel.
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/placed_sound_control.h"
#include "sound/channel/priority_sound_control.h"
#include "tests/sound/channel/channel_test_support.h"

#include <cmath>

namespace {

using namespace soundtest;

constexpr int16_t level = 4000;

class ChannelMix : public ChannelTest {
protected:
    void SetUp() override {
        ChannelTest::SetUp();
        device_ = make_device();
    }
    void TearDown() override {
        device_.reset();
        ChannelTest::TearDown();
    }
    // A channel control of the class under the device.
    ComRef<ISoundControl> control_on_device(const GUID& clsid) {
        ComRef<ISoundControl> control;
        EXPECT_EQ(OmCreate(clsid, IID_ISoundControl, control.put()), OM_S_OK);
        EXPECT_EQ(control->Init(device_.get(), 0), OM_S_OK);
        return control;
    }
    // One second of a constant level made through the control's wrapping maker.
    static ComRef<ISound> tone(ISoundControl* control) {
        ComRef<ISoundCreate> maker;
        EXPECT_EQ(control->CreateSound(maker.put()), OM_S_OK);
        ComRef<ISound> sound;
        if (!maker) return sound;
        maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_MONO16);
        maker->SetProperty(MAKER_RATE, rate);
        maker->SetProperty(MAKER_LENGTH, rate);
        EXPECT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
        void* memory = nullptr;
        EXPECT_EQ(sound->Lock(0, &memory), OM_S_OK);
        auto* samples = static_cast<int16_t*>(memory);
        for (uint32_t i = 0; i < rate; ++i) samples[i] = level;
        sound->Unlock();
        return sound;
    }
    static int32_t ds_volume_of(ISoundControl* device, ISound* device_sound) {
        platform::audio::BufferSnapshot snap{};
        EXPECT_TRUE(platform::audio::inspect(
            as_device(device)->voice_buffer_at(voice_of(device_sound)), &snap));
        return snap.volume;
    }

    ComRef<ISoundControl> device_;
};

TEST_F(ChannelMix, ThreeTonesUnderALimiterOfTwoSumToTwiceOneTone) {
    ComRef<ISoundControl> limiter = control_on_device(CLSID_LimiterSoundControl);
    ComRef<ISound> tones[3] = {tone(limiter.get()), tone(limiter.get()), tone(limiter.get())};
    for (auto& t : tones) ASSERT_EQ(t->Play(SOUND_PLAY_LOOP), OM_S_OK);
    ASSERT_EQ(limiter->Update(0), OM_S_OK);
    device_->Update(0);
    for (auto& t : tones) EXPECT_EQ(ds_volume_of(device_.get(), inner_of(t.get())), -350);
    Mix mix = render(frames_per_tick);
    const double gain = std::pow(10.0, -350 / 2000.0); // 0.668
    EXPECT_NEAR(mix.left(100), 3 * std::floor(level * gain), 3.0);
    EXPECT_NEAR(mix.left(100), 2 * level, 0.01 * 2 * level) << "about twice one tone";

    // One stops: the next Update brings the other two back to full gain.
    inner_of(tones[0].get())->Stop();
    ASSERT_EQ(limiter->Update(0), OM_S_OK);
    device_->Update(0);
    EXPECT_EQ(ds_volume_of(device_.get(), inner_of(tones[1].get())), 0);
    Mix after = render(frames_per_tick);
    EXPECT_EQ(after.left(100), 2 * level);
    EXPECT_EQ(after.right(100), 2 * level);
}

TEST_F(ChannelMix, ThreeDChannelSourceOnTheRightIsLouderOnTheRight) {
    ComRef<ISoundControl> placed = control_on_device(CLSID_3dSoundControl);
    const float listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0};
    ASSERT_EQ(placed->SetFrame(listener, nullptr), OM_S_OK);
    ComRef<ISound> sound = tone(placed.get());
    sound->SetParamReal(SOUND_REAL_MIN_RADIUS, 100.0f);
    ASSERT_EQ(sound->Play(SOUND_PLAY_LOOP), OM_S_OK);
    const float right_of_listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 10, 0, 0};
    ASSERT_EQ(sound->Set3D(right_of_listener, nullptr), OM_S_OK);
    device_->Update(0);
    platform::audio::BufferSnapshot snap{};
    ASSERT_TRUE(platform::audio::inspect(
        as_device(device_.get())->voice_buffer_at(voice_of(inner_of(sound.get()))), &snap));
    EXPECT_EQ(snap.pan, 442);
    Mix mix = render(frames_per_tick);
    EXPECT_EQ(mix.right(100), level);
    EXPECT_NEAR(double(mix.left(100)) / mix.right(100), 0.60, 0.005);
}

TEST_F(ChannelMix, SoundRefusedByAFullPriorityChannelAddsNothing) {
    ComRef<ISoundControl> priority = control_on_device(CLSID_PrioritySoundControl);
    priority->SetParamInt(CONTROL_INT_VOICES, 1);
    ComRef<ISound> kept = tone(priority.get());
    kept->SetParamInt(SOUND_INT_PRIORITY, 5);
    ComRef<ISound> refused = tone(priority.get());
    ASSERT_EQ(kept->Play(SOUND_PLAY_LOOP), OM_S_OK);
    EXPECT_EQ(refused->Play(SOUND_PLAY_LOOP), OM_E_FAIL);
    EXPECT_EQ(voice_of(inner_of(refused.get())), -1);
    device_->Update(0);
    Mix mix = render(frames_per_tick);
    EXPECT_EQ(mix.left(100), level);
    EXPECT_EQ(mix.right(100), level);
}

} // namespace
