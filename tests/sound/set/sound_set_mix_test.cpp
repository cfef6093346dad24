// A sound set over the streaming device, heard through the manual backend: a Device channel, a
// limiter below it and a nested DeviceControl channel that reads the samples. Playing by name
// is heard, the limiter's channel volume halves it, stopping the channel silences it, and the
// set's Update alone drives the device (a one-shot ends and its voice is freed). A bad device
// key leaves the device working.
#include "tests/sound/set/sound_set_fixture.h"
#include "tests/support/virtual_clock.h"

#include <cmath>

namespace soundtest {
namespace {

constexpr int16_t level = 8000;

const std::string channels = "[Device]\nType=DeviceControl\nChannels=8\n"
                             "[Limit]\nType=LimiterControl\nParent=Device\n"
                             "[Samples]\nType=DeviceControl\nParent=Limit\n";

class SoundSetMix : public SoundSetTest {
protected:
    void SetUp() override {
        SoundSetTest::SetUp();
        device_ = make_device();
        // A one-shot of 0.25 s at a constant level.
        write("tone.wav", wav_file(rate / 4, level));
    }
    void TearDown() override {
        set_.reset();
        device_.reset();
        SoundSetTest::TearDown();
    }
    // Advances the virtual clock by `ms` and runs the set's time step.
    OmResult step(uint32_t ms) {
        now_ += ms;
        platform::set_virtual_time(now_);
        return set_->Update();
    }
    // The mean level of the left side over `frames` frames, leaving out the first 10.
    static double heard(uint32_t frames) {
        const Mix mix = render(frames);
        double sum = 0;
        for (size_t i = 10; i < mix.frames(); ++i) sum += std::abs(mix.left(i));
        return sum / double(mix.frames() - 10);
    }

    testsupport::VirtualClockScope clock_{1000};
    uint64_t now_ = 1000;
    ComRef<ISoundControl> device_;
};

TEST_F(SoundSetMix, PlayedByNameThroughALimiterAndANestedDeviceChannel) {
    files(channels, "[tone.wav]\nChannel=Samples\n");
    set_ = make_set(device_.get());
    ASSERT_EQ(load(), OM_S_OK);
    EXPECT_EQ(take_log(), "");

    ASSERT_EQ(set_->PlaySoundWith("tone.wav", nullptr, 0), OM_S_OK);
    ASSERT_EQ(step(10), OM_S_OK);
    const double full = heard(frames_per_tick / 4);
    EXPECT_NEAR(full, level, 1.0);

    ASSERT_EQ(set_->SetChannelVolume("Limit", 0.5f), OM_S_OK);
    ASSERT_EQ(step(10), OM_S_OK);
    EXPECT_NEAR(heard(frames_per_tick / 4) / full, 0.5, 0.01);

    ASSERT_EQ(set_->StopChannel("Limit"), OM_S_OK);
    ASSERT_EQ(step(10), OM_S_OK);
    EXPECT_EQ(heard(frames_per_tick / 4), 0.0);
    EXPECT_EQ(count_objects(device_.get(), CONTROL_LIST_ACTIVE), 0u);

    // Played again, the one-shot plays to its end; the next time step of the set frees its
    // voice without anything else touching the device.
    ASSERT_EQ(set_->SetChannelVolume("Limit", 1.0f), OM_S_OK);
    ASSERT_EQ(set_->PlaySoundWith("tone.wav", nullptr, 0), OM_S_OK);
    ASSERT_EQ(step(10), OM_S_OK);
    EXPECT_EQ(count_objects(device_.get(), CONTROL_LIST_ACTIVE), 1u);
    EXPECT_NEAR(heard(frames_per_tick), level, 1.0);
    render(rate / 2); // past the end of the quarter second
    ASSERT_EQ(step(100), OM_S_OK);
    EXPECT_EQ(count_objects(device_.get(), CONTROL_LIST_ACTIVE), 0u);
    EXPECT_EQ(heard(frames_per_tick / 4), 0.0);
}

// "Frequency=abc" reads as 0 Hz: the device refuses it before releasing anything (its primary
// buffer and 3D listener stay), the channel says so, and loading goes on with the device
// playing as before.
TEST_F(SoundSetMix, ARefusedOutputFormatLeavesTheDeviceWorking) {
    files("[Device]\nType=DeviceControl\nFrequency=abc\n", "[tone.wav]\nChannel=Device\n");
    set_ = make_set(device_.get());
    ASSERT_EQ(load(), OM_S_OK);
    EXPECT_NE(take_log().find("Channel 'Device' could not set the output format (0 Hz)"),
              std::string::npos);
    uint32_t code = 0, hz = 0, flags = 0;
    device_->GetOutputFormat(&code, &hz, &flags);
    EXPECT_EQ(hz, rate);
    // The 3D listener is still there.
    const float listener[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 5, 0, 0};
    EXPECT_EQ(set_->SetChannelParams("Device", listener, nullptr), OM_S_OK);
    ASSERT_EQ(set_->PlaySound("tone.wav", 0), OM_S_OK);
    ASSERT_EQ(step(10), OM_S_OK);
    EXPECT_NEAR(heard(frames_per_tick / 4), level, 1.0);
}

} // namespace
} // namespace soundtest
