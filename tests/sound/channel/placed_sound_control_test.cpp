// 3dSoundControl: volume by distance at, between and beyond the radii, pan -0.4 x side with its
// hysteresis, Doppler clamped, the frequency taken from the source, and the wrapping maker
// that keeps the inner maker plain.
#include "sound/channel/placed_sound_control.h"

#include "tests/sound/channel/channel_test_support.h"

#include <array>
#include <cmath>

namespace {

using namespace soundtest;

// A listener frame at `position` looking down +z with +x to its right.
std::array<float, 12> frame_at(float x, float y, float z) {
    return {1, 0, 0, 0, 1, 0, 0, 0, 1, x, y, z};
}

class PlacedControl : public ChannelTest {
protected:
    void SetUp() override {
        ChannelTest::SetUp();
        control_ = make_control(CLSID_3dSoundControl);
        const auto listener = frame_at(0, 0, 0);
        control_->SetFrame(listener.data(), nullptr);
    }
    void TearDown() override {
        control_.reset();
        ChannelTest::TearDown();
    }
    ComRef<ISound> playing_sound_at(float x, float y, float z) {
        ComRef<ISound> sound = channel_sound(control_.get());
        EXPECT_EQ(sound->Play(0), OM_S_OK);
        move(sound.get(), x, y, z);
        return sound;
    }
    static void move(ISound* sound, float x, float y, float z) {
        const auto frame = frame_at(x, y, z);
        sound->Set3D(frame.data(), nullptr);
    }

    ComRef<ISoundControl> control_;
};

TEST_F(PlacedControl, VolumeFollowsTheDistanceLawBetweenTheRadii) {
    struct Row {
        float min, max, rolloff, distance, volume;
    } const rows[] = {
        {10, 100, 1, 5, 0.8f},                       // inside MinRadius: the volume
        {10, 100, 1, 10, 0.8f},                      // at MinRadius
        {10, 100, 1, 55, 0.8f * 10 / 55},            // between
        {10, 100, 2, 55, 0.8f * 10 / (10 + 45 * 2)}, // roll-off
        {10, 100, 1, 100, 0},                        // at MaxRadius
        {10, 100, 1, 250, 0},                        // beyond
        {0, 100, 1, 0, 0.8f},                        // on the listener with MinRadius 0
        {0, 100, 1, 5, 0},                           // MinRadius 0 elsewhere: silent
        {10, 100, -1, 55, 0.8f},                     // no denominator: heard whole
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "min " << row.min << " d " << row.distance << " roll-off " << row.rolloff);
        control_->SetParamReal(CONTROL_REAL_ROLLOFF, row.rolloff);
        ComRef<ISound> sound = channel_sound(control_.get());
        sound->SetParamReal(SOUND_REAL_VOLUME, 0.8f);
        sound->SetParamReal(SOUND_REAL_MIN_RADIUS, row.min);
        sound->SetParamReal(SOUND_REAL_MAX_RADIUS, row.max);
        ASSERT_EQ(sound->Play(0), OM_S_OK);
        move(sound.get(), 0, 0, row.distance);
        const float v = real(inner_of(sound.get()), SOUND_REAL_VOLUME);
        EXPECT_FALSE(std::isnan(v));
        EXPECT_NEAR(v, row.volume, 1e-6f);
        EXPECT_EQ(real(sound.get(), SOUND_REAL_VOLUME), 0.8f);
        sound->Stop();
    }
}

TEST_F(PlacedControl, PanIsMinusFourTenthsOfTheSideWithHysteresis) {
    struct Row {
        float x, z;
        bool forced;
        float pan; // the inner sound's pan afterwards
    } const rows[] = {
        {10, 0, true, -0.4f},                  // straight right
        {-10, 0, true, 0.4f},                  // straight left
        {0, 10, true, 0.0f},                   // ahead
        {6, 8, true, -0.4f * 0.6f},            // side 0.6
        {6.2f, 7.846f, false, -0.4f * 0.6f},   // side 0.62: within the hysteresis
        {6.7f, 7.4236f, false, -0.4f * 0.67f}, // side 0.67: beyond it
        {6.6f, 7.51f, true, -0.4f * 0.66f},    // forced: always
        {0, 0, true, 0.0f},                    // on the listener: no side
    };
    // The sound stays at the origin; the listener moves so that the sound is at (x, 0, z)
    // from it. A forced row places the sound anew, the others are placed by the time step.
    ComRef<ISound> sound = playing_sound_at(0, 0, 0);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "at " << row.x << ", " << row.z);
        const auto listener = frame_at(-row.x, 0, -row.z);
        control_->SetFrame(listener.data(), nullptr);
        if (row.forced)
            move(sound.get(), 0, 0, 0);
        else
            control_->Update(10);
        EXPECT_NEAR(real(inner_of(sound.get()), SOUND_REAL_PAN), row.pan, 2e-3f);
    }
}

TEST_F(PlacedControl, DopplerShiftsTheSourceFrequencyWithinAQuarterAndFourTimes) {
    struct Row {
        float listener_velocity, sound_velocity, factor;
        int32_t frequency;
    } const rows[] = {
        {0, 0, 1, 22050},
        {100, 0, 1, int32_t(22050 * 1.3125f)},           // listener closing in at 100
        {0, 100, 1, int32_t(22050 / 1.3125f)},           // sound moving away at 100
        {2000, 0, 1, 22050 * 4},                         // clamped above
        {0, 2000, 1, int32_t(22050 * 0.25f)},            // clamped below
        {100, -320, 1, 22050},                           // |b| near 0: no shift
        {100, 0, 0.5f, int32_t(22050 * 0.5f * 1.3125f)}, // Doppler factor
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "listener " << row.listener_velocity << " sound " << row.sound_velocity);
        const float lv[3] = {0, 0, row.listener_velocity};
        const float sv[3] = {0, 0, row.sound_velocity};
        control_->SetFrame(nullptr, lv);
        control_->SetParamReal(CONTROL_REAL_DOPPLER, row.factor);
        ComRef<ISound> sound = channel_sound(control_.get());
        EXPECT_EQ(integer(sound.get(), SOUND_INT_FREQUENCY), 22050) << "taken from the source";
        ASSERT_EQ(sound->Play(0), OM_S_OK);
        const auto frame = frame_at(0, 0, 10);
        sound->Set3D(frame.data(), sv);
        EXPECT_NEAR(double(integer(inner_of(sound.get()), SOUND_INT_FREQUENCY)),
                    double(row.frequency), 1.0);
        sound->Stop();
    }
}

TEST_F(PlacedControl, ExplicitFrequencyReplacesTheSourcesAndSmallShiftsWait) {
    ComRef<ISound> sound = playing_sound_at(0, 0, 10);
    ASSERT_EQ(sound->SetParamInt(SOUND_INT_FREQUENCY, 11025), OM_S_OK);
    EXPECT_EQ(integer(inner_of(sound.get()), SOUND_INT_FREQUENCY), 11025);
    // A listener speed of 10 shifts by 1/32 (< 0.05): the unforced step leaves it.
    const float lv[3] = {0, 0, 10};
    control_->SetFrame(nullptr, lv);
    control_->Update(10);
    EXPECT_EQ(integer(inner_of(sound.get()), SOUND_INT_FREQUENCY), 11025);
    const float faster[3] = {0, 0, 40};
    control_->SetFrame(nullptr, faster);
    control_->Update(10);
    EXPECT_EQ(integer(inner_of(sound.get()), SOUND_INT_FREQUENCY), int32_t(11025 * 1.125f));
}

TEST_F(PlacedControl, UnattachedSoundsAreNotPlaced) {
    ComRef<ISound> sound = channel_sound(control_.get());
    inner_of(sound.get())->SetParamReal(SOUND_REAL_PAN, 0.3f);
    move(sound.get(), 10, 0, 0);
    EXPECT_EQ(real(inner_of(sound.get()), SOUND_REAL_PAN), 0.3f);
    float frame[12] = {};
    EXPECT_EQ(sound->Get3D(frame, nullptr), OM_S_OK);
    EXPECT_EQ(frame[9], 10.0f);
    ASSERT_EQ(sound->Play(0), OM_S_OK); // placed as it starts
    EXPECT_NEAR(real(inner_of(sound.get()), SOUND_REAL_PAN), -0.4f, 1e-6f);
}

TEST_F(PlacedControl, WrappingMakerKeepsTheInnerMakerPlain) {
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(control_->CreateSound(maker.put()), OM_S_OK);
    intptr_t inner = 0, is_3d = -1;
    ASSERT_EQ(maker->GetProperty(MAKER_INNER, &inner), OM_S_OK);
    ASSERT_NE(inner, 0);
    ASSERT_EQ(maker->SetProperty(MAKER_3D, 1), OM_S_OK);
    EXPECT_EQ(reinterpret_cast<ISoundCreate*>(inner)->GetProperty(MAKER_3D, &is_3d), OM_S_OK);
    EXPECT_EQ(is_3d, 0);
    maker->SetProperty(MAKER_FORMAT, SOUND_FORMAT_STEREO16);
    ComRef<ISound> sound;
    ASSERT_EQ(maker->CreateSound(sound.put()), OM_S_OK);
    EXPECT_NE(dynamic_cast<PlacedSound*>(sound.get()), nullptr);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_STEREO16) << "not made mono as a 3D sound";
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ATTACHED), 1u);
    float f = 0;
    control_->SetParamReal(CONTROL_REAL_DISTANCE, 3.0f);
    EXPECT_EQ(control_->GetParamReal(CONTROL_REAL_DISTANCE, &f), OM_S_OK);
    EXPECT_EQ(f, 3.0f);
}

} // namespace
