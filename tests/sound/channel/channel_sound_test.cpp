// The common channel sound through every control that makes one: lists 0 and 1, instances
// that pass through the control and leave its lists, the refused source, and the wrapping
// makers of the priority and limiter controls.
#include "sound/channel/channel_sound.h"

#include "sound/channel/function_sound_control.h"
#include "sound/channel/limiter_sound_control.h"
#include "sound/channel/placed_sound_control.h"
#include "sound/channel/priority_sound_control.h"
#include "sound/channel/queued_sound_control.h"
#include "tests/sound/channel/channel_test_support.h"

namespace {

using namespace soundtest;

class ChannelSoundTest : public ChannelTest {
protected:
    struct Kind {
        const char* name;
        const GUID* clsid;
    };
    static constexpr Kind kinds[] = {
        {"priority", &CLSID_PrioritySoundControl},
        {"limiter", &CLSID_LimiterSoundControl},
        {"queue", &CLSID_QueuedSoundControl},
        {"3d", &CLSID_3dSoundControl},
    };
};

TEST_F(ChannelSoundTest, SoundJoinsListZeroAtInitAndListOneWhilePlaying) {
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        ComRef<ISoundControl> control = make_control(*kind.clsid);
        ComRef<ISound> sound = channel_sound(control.get());
        auto* channel = dynamic_cast<ChannelSound*>(sound.get());
        ASSERT_NE(channel, nullptr);
        EXPECT_TRUE(channel->member());
        EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ATTACHED), 1u);
        ComRef<ISound> other = base_sound();
        EXPECT_EQ(sound->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(other.get())),
                  OM_E_FAIL)
            << "the inner sound is set once";
        ASSERT_EQ(sound->Play(0), OM_S_OK);
        control->Update(10); // the queue starts it here
        EXPECT_TRUE(channel->attached());
        EXPECT_TRUE(plays(sound.get()));
        ASSERT_EQ(sound->Stop(), OM_S_OK);
        EXPECT_FALSE(channel->attached());
        EXPECT_FALSE(plays(sound.get()));
        ComRef<ISound> source;
        EXPECT_EQ(
            control->CreateSoundFrom(reinterpret_cast<ISoundCreate*>(other.get()), source.put()),
            OM_E_FAIL);
    }
}

TEST_F(ChannelSoundTest, SoundWithoutAnInnerSoundRefusesWhatItWouldForward) {
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        ComRef<ISoundControl> control = make_control(*kind.clsid);
        ComRef<ISound> sound;
        ASSERT_EQ(control->CreateSoundFrom(nullptr, sound.put()), OM_S_OK);
        ComRef<ISound> out;
        float frame[12] = {};
        const OmResult results[] = {sound->Play(0),
                                    sound->PlayInstance(nullptr, 0),
                                    sound->CreateInstance(1, out.put()),
                                    sound->CreateInstanceFrom(nullptr, out.put()),
                                    sound->Stop(),
                                    sound->Pause(),
                                    sound->SetParamReal(SOUND_REAL_PAN, 0.5f),
                                    sound->SetParamInt(SOUND_INT_LOOP_CONTROL, 1),
                                    sound->SetPlayPosition(0)};
        for (OmResult r : results) EXPECT_EQ(r, OM_E_FAIL);
        EXPECT_EQ(sound->IsPlaying(), 0);
        EXPECT_EQ(sound->GetLength(), 0u);
        EXPECT_EQ(sound->Get3D(frame, nullptr) < 0, kind.clsid != &CLSID_3dSoundControl);
        control->Update(10);
        EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), 0u);
    }
}

TEST_F(ChannelSoundTest, ThousandInstancePlaysLeaveListZeroAtItsSize) {
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        ComRef<ISoundControl> control = make_control(*kind.clsid);
        ComRef<ISound> sound = channel_sound(control.get());
        SoundPlayDesc desc{};
        desc.flags = SOUND_DESC_VOLUME;
        desc.volume = 0.5f;
        for (int i = 0; i < 1000; ++i) {
            ASSERT_EQ(sound->PlayInstance(&desc, 0), OM_S_OK);
            control->Update(1);
            if (i % 100 == 99) control->StopAll(0);
        }
        control->StopAll(0);
        EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ATTACHED), 1u);
        EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), 0u);
    }
}

TEST_F(ChannelSoundTest, InstancePassesThroughTheControlWithItsOwnInnerSound) {
    ComRef<ISoundControl> control = make_control(CLSID_LimiterSoundControl);
    ComRef<ISound> sound = channel_sound(control.get());
    sound->SetParamReal(SOUND_REAL_VOLUME, 0.5f);
    SoundPlayDesc desc{};
    desc.flags = SOUND_DESC_PAN;
    desc.pan = 0.25f;
    ComRef<ISound> instance;
    ASSERT_EQ(sound->CreateInstanceFrom(&desc, instance.put()), OM_S_OK);
    ASSERT_NE(dynamic_cast<LimiterSound*>(instance.get()), nullptr);
    EXPECT_NE(inner_of(instance.get()), inner_of(sound.get()));
    EXPECT_EQ(real(instance.get(), SOUND_REAL_VOLUME), 0.5f);
    EXPECT_EQ(real(inner_of(instance.get()), SOUND_REAL_PAN), 0.25f);
    EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ATTACHED), 2u);
    instance.reset();
    EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ATTACHED), 1u);
}

TEST_F(ChannelSoundTest, SoundOutlivingItsControlIsHarmless) {
    ComRef<ISound> sound;
    {
        ComRef<ISoundControl> control = make_control(CLSID_PrioritySoundControl);
        sound = channel_sound(control.get());
        ASSERT_EQ(sound->Play(0), OM_S_OK);
    }
    EXPECT_EQ(sound->Stop(), OM_S_OK);
    EXPECT_EQ(sound->Play(0), OM_S_OK);
    sound->Stop();
}

TEST_F(ChannelSoundTest, WrappingMakersOfNestedControlsWrapTheSampleTwice) {
    ComRef<ISoundControl> priority = make_control(CLSID_PrioritySoundControl);
    ComRef<ISoundControl> limiter;
    ASSERT_EQ(OmCreate(CLSID_LimiterSoundControl, IID_ISoundControl, limiter.put()), OM_S_OK);
    ASSERT_EQ(limiter->Init(priority.get(), 0), OM_S_OK);
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(limiter->CreateSound(maker.put()), OM_S_OK);
    ASSERT_EQ(maker->SetProperty(MAKER_PRIORITY, 4), OM_S_OK);
    ASSERT_EQ(maker->SetProperty(MAKER_LENGTH, 50), OM_S_OK);
    intptr_t length = 0;
    EXPECT_EQ(maker->GetProperty(MAKER_LENGTH, &length), OM_S_OK);
    EXPECT_EQ(length, 50);
    ComRef<ISoundCreate> copy;
    ASSERT_EQ(maker->Clone(copy.put()), OM_S_OK);
    ComRef<ISound> sound;
    ASSERT_EQ(copy->CreateSound(sound.put()), OM_S_OK);
    ASSERT_NE(dynamic_cast<LimiterSound*>(sound.get()), nullptr);
    ISound* middle = inner_of(sound.get());
    ASSERT_NE(dynamic_cast<PrioritySound*>(middle), nullptr);
    EXPECT_EQ(integer(middle, SOUND_INT_PRIORITY), 4);
    EXPECT_EQ(sound->GetLength(), 50u);
    EXPECT_EQ(count_objects(limiter.get(), CONTROL_LIST_ATTACHED), 1u);
    EXPECT_EQ(count_objects(priority.get(), CONTROL_LIST_ATTACHED), 1u);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    // The play passes through both controls.
    EXPECT_EQ(count_objects(limiter.get(), CONTROL_LIST_ACTIVE), 1u);
    EXPECT_EQ(count_objects(priority.get(), CONTROL_LIST_ACTIVE), 1u);

    // A wrapper without its inner maker or control makes nothing.
    ComRef<ISoundCreate> bare;
    ASSERT_EQ(priority->CreateSound(bare.put()), OM_S_OK);
    bare->SetProperty(MAKER_CONTROL, 0);
    ComRef<ISound> none;
    EXPECT_EQ(bare->CreateSound(none.put()), OM_E_FAIL);
}

} // namespace
