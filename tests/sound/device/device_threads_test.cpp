// The device under its real threads: the worker on the real-clock tick and SDL's (dummy)
// mixer, against a storm of plays and stops on the main thread. Run under ThreadSanitizer
// (CORVEL_SANITIZE=thread) it must stay clean.
#include "tests/sound/sound_test_support.h"

#include "platform/audio/tick_source.h"

namespace {

using namespace soundtest;

class DeviceThreads : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        platform::audio::set_backend(platform::audio::Backend::sdl);
    }
};

TEST_F(DeviceThreads, PlayStopStormAgainstTheWorkerAndTheMixer) {
    ComRef<ISoundControl> device = make_device();
    ASSERT_TRUE(device);
    ASSERT_EQ(device->SetParamInt(CONTROL_INT_VOICES, 4), OM_S_OK);
    std::vector<ComRef<ISound>> sounds;
    for (uint32_t i = 0; i < 6; ++i)
        sounds.push_back(make_sound(device.get(), 500 + 700 * i, ramp, 11025 + 5000 * i, i % 2));

    // Until the worker has had several ticks: no sleeping, the storm runs flat out.
    platform::audio::TickSource& ticks = platform::audio::service_ticks();
    uint64_t end = ticks.count() + 4;
    uint32_t round = 0;
    while (ticks.count() < end) {
        ISound* s = sounds[round % sounds.size()].get();
        switch (round % 5) {
        case 0: s->Play(0); break;
        case 1: s->PlayInstance(nullptr, 0); break;
        case 2: s->Play(SOUND_PLAY_LOOP); break;
        case 3: s->Stop(); break;
        case 4: s->SetParamReal(SOUND_REAL_VOLUME, float(round % 7) / 7.0f); break;
        }
        if (round % 16 == 0) device->Update(10);
        ++round;
    }
    EXPECT_EQ(device->StopAll(0), OM_S_OK);
    EXPECT_EQ(count_objects(device.get(), CONTROL_LIST_ACTIVE), 0u);
    device.reset();
    sounds.clear();
}

} // namespace
