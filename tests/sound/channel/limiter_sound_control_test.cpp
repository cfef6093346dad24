// LimiterSoundControl: every playing sound scaled by maximum / summed level, the scale back to
// 1.0 once the sum falls, the channel volume, and the disabled limiter.
#include "sound/channel/limiter_sound_control.h"

#include "tests/sound/channel/channel_test_support.h"

#include <vector>

namespace {

using namespace soundtest;

class LimiterControl : public ChannelTest {
protected:
    std::vector<ComRef<ISound>> play_three(ISoundControl* control) {
        std::vector<ComRef<ISound>> sounds;
        for (int i = 0; i < 3; ++i) {
            sounds.push_back(channel_sound(control));
            EXPECT_EQ(sounds.back()->Play(0), OM_S_OK);
        }
        return sounds;
    }
};

TEST_F(LimiterControl, ThreeFullSoundsAreScaledToTheMaximumAndBackWhenOneEnds) {
    ComRef<ISoundControl> control = make_control(CLSID_LimiterSoundControl);
    auto sounds = play_three(control.get());
    ASSERT_EQ(control->Update(10), OM_S_OK);
    for (auto& s : sounds) {
        EXPECT_NEAR(real(inner_of(s.get()), SOUND_REAL_VOLUME), 2.0f / 3.0f, 1e-6f);
        EXPECT_EQ(real(s.get(), SOUND_REAL_VOLUME), 1.0f) << "the sound's own volume stays";
    }
    EXPECT_NEAR(dynamic_cast<LimiterSoundControl*>(control.get())->scale(), 2.0f / 3.0f, 1e-6f);
    end(sounds[0].get());
    ASSERT_EQ(control->Update(10), OM_S_OK);
    EXPECT_EQ(real(inner_of(sounds[1].get()), SOUND_REAL_VOLUME), 1.0f);
    EXPECT_EQ(real(inner_of(sounds[2].get()), SOUND_REAL_VOLUME), 1.0f);
}

TEST_F(LimiterControl, PlayingVolumeIsVolumeTimesOverallTimesScaleTimesChannelVolume) {
    ComRef<ISoundControl> control = make_control(CLSID_LimiterSoundControl);
    ASSERT_EQ(control->SetParamReal(CONTROL_REAL_VOLUME, 0.5f), OM_S_OK);
    ASSERT_EQ(control->SetParamReal(CONTROL_REAL_LIMITER_MAX, 0.6f), OM_S_OK);
    ComRef<ISound> a = channel_sound(control.get());
    ComRef<ISound> b = channel_sound(control.get());
    a->SetParamReal(SOUND_REAL_VOLUME, 0.5f);
    a->SetParamReal(SOUND_REAL_OVERALL_VOLUME, 0.8f);
    ASSERT_EQ(a->Play(0), OM_S_OK);
    // Started at the channel volume before any limiting.
    EXPECT_FLOAT_EQ(real(inner_of(a.get()), SOUND_REAL_VOLUME), 0.5f * 0.8f * 0.5f);
    ASSERT_EQ(b->Play(0), OM_S_OK);
    control->Update(0);
    // Sum 0.4 + 1.0 = 1.4 above 0.6: scale 0.6 / 1.4 (the channel volume is not summed).
    const float scale = 0.6f / 1.4f;
    EXPECT_NEAR(real(inner_of(a.get()), SOUND_REAL_VOLUME), 0.4f * scale * 0.5f, 1e-6f);
    EXPECT_NEAR(real(inner_of(b.get()), SOUND_REAL_VOLUME), 1.0f * scale * 0.5f, 1e-6f);
    // A volume change re-applies at once.
    b->SetParamReal(SOUND_REAL_VOLUME, 0.25f);
    EXPECT_NEAR(real(inner_of(b.get()), SOUND_REAL_VOLUME), 0.25f * scale * 0.5f, 1e-6f);
    float v = 0;
    EXPECT_EQ(control->GetParamReal(CONTROL_REAL_LIMITER_MAX, &v), OM_S_OK);
    EXPECT_EQ(v, 0.6f);
}

TEST_F(LimiterControl, DisabledLimiterLeavesTheSumAndStillAppliesTheChannelVolume) {
    ComRef<ISoundControl> control = make_control(CLSID_LimiterSoundControl);
    ASSERT_EQ(control->SetParamInt(CONTROL_INT_LIMITER_ENABLE, 0), OM_S_OK);
    auto sounds = play_three(control.get());
    control->Update(10);
    for (auto& s : sounds) EXPECT_EQ(real(inner_of(s.get()), SOUND_REAL_VOLUME), 1.0f);
    ASSERT_EQ(control->SetParamReal(CONTROL_REAL_VOLUME, 0.5f), OM_S_OK);
    for (auto& s : sounds) EXPECT_EQ(real(inner_of(s.get()), SOUND_REAL_VOLUME), 0.5f);
    intptr_t enabled = -1;
    EXPECT_EQ(control->GetParamInt(CONTROL_INT_LIMITER_ENABLE, &enabled), OM_S_OK);
    EXPECT_EQ(enabled, 0);
}

TEST_F(LimiterControl, SumWithinTheMaximumIsNotTouchedUntilSomethingChanges) {
    ComRef<ISoundControl> control = make_control(CLSID_LimiterSoundControl);
    ComRef<ISound> a = channel_sound(control.get());
    ASSERT_EQ(a->Play(0), OM_S_OK);
    control->Update(10);
    // Someone else turns the inner sound down: an unforced evaluation within the maximum
    // leaves it alone.
    inner_of(a.get())->SetParamReal(SOUND_REAL_VOLUME, 0.3f);
    control->Update(10);
    EXPECT_EQ(real(inner_of(a.get()), SOUND_REAL_VOLUME), 0.3f);
}

} // namespace
