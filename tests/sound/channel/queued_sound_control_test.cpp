// QueuedSoundControl: one sound at a time in arrival order, the waiting limit, StopAll and
// Stop of a waiting sound, and a step that does nothing while the current sound plays.
#include "sound/channel/queued_sound_control.h"

#include "tests/sound/channel/channel_test_support.h"

#include <vector>

namespace {

using namespace soundtest;

class QueueControl : public ChannelTest {
protected:
    void SetUp() override {
        ChannelTest::SetUp();
        control_ = make_control(CLSID_QueuedSoundControl);
        queue_ = dynamic_cast<QueuedSoundControl*>(control_.get());
    }
    void TearDown() override {
        control_.reset();
        ChannelTest::TearDown();
    }
    std::vector<ComRef<ISound>> queue_sounds(int n) {
        std::vector<ComRef<ISound>> sounds;
        for (int i = 0; i < n; ++i) {
            sounds.push_back(channel_sound(control_.get()));
            EXPECT_EQ(sounds.back()->Play(0), OM_S_OK);
        }
        return sounds;
    }
    // Which of the sounds play, as a bit mask.
    static int playing(const std::vector<ComRef<ISound>>& sounds) {
        int mask = 0;
        for (size_t i = 0; i < sounds.size(); ++i)
            if (plays(sounds[i].get())) mask |= 1 << i;
        return mask;
    }

    ComRef<ISoundControl> control_;
    QueuedSoundControl* queue_ = nullptr;
};

TEST_F(QueueControl, SoundsPlayOneAtATimeInArrivalOrder) {
    auto sounds = queue_sounds(3);
    EXPECT_EQ(playing(sounds), 0) << "playing only queues";
    EXPECT_EQ(queue_->waiting(), 3u);
    const int expected[] = {0b001, 0b010, 0b100, 0b000};
    for (int step = 0; step < 4; ++step) {
        ASSERT_EQ(control_->Update(10), OM_S_OK);
        EXPECT_EQ(playing(sounds), expected[step]) << "step " << step;
        control_->Update(10); // still playing: nothing moves
        EXPECT_EQ(playing(sounds), expected[step]) << "step " << step;
        if (step < 3) end(sounds[step].get());
    }
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 0u);
}

TEST_F(QueueControl, StepWhileTheCurrentPlaysGivesNoTimeSteps) {
    auto sounds = queue_sounds(1);
    control_->Update(10);
    ASSERT_TRUE(plays(sounds[0].get()));
    // A sound attached beside the current one whose inner sound has ended stays listed as
    // long as the current sound plays.
    ComRef<ISound> other = channel_sound(control_.get());
    control_->AddObject(CONTROL_LIST_ACTIVE, other.get());
    EXPECT_EQ(control_->Update(10), OM_S_OK);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 2u);
    end(sounds[0].get());
    control_->Update(10);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 0u);
}

TEST_F(QueueControl, WaitingLimitDropsFromTheBack) {
    ASSERT_EQ(control_->SetParamInt(CONTROL_INT_VOICES, 1), OM_S_OK);
    auto sounds = queue_sounds(1);
    control_->Update(10); // the first plays
    auto more = queue_sounds(2);
    EXPECT_EQ(queue_->waiting(), 1u) << "the third sound is dropped";
    end(sounds[0].get());
    control_->Update(10);
    EXPECT_TRUE(plays(more[0].get()));
    end(more[0].get());
    control_->Update(10);
    EXPECT_FALSE(plays(more[1].get()));

    // Lowering the limit trims the waiting list from the back.
    ASSERT_EQ(control_->SetParamInt(CONTROL_INT_VOICES, 0), OM_S_OK);
    auto four = queue_sounds(4);
    ASSERT_EQ(control_->SetParamInt(CONTROL_INT_VOICES, 2), OM_S_OK);
    EXPECT_EQ(queue_->waiting(), 2u);
    control_->Update(10);
    EXPECT_TRUE(plays(four[0].get()));
}

TEST_F(QueueControl, StopAllEmptiesTheQueueAndStopOfAWaitingSoundRemovesIt) {
    auto sounds = queue_sounds(3);
    ASSERT_EQ(sounds[1]->Stop(), OM_S_OK);
    EXPECT_EQ(queue_->waiting(), 2u);
    control_->Update(10);
    end(sounds[0].get());
    control_->Update(10);
    EXPECT_TRUE(plays(sounds[2].get())) << "the stopped sound was skipped";
    queue_sounds(2);
    EXPECT_EQ(control_->StopAll(0), OM_S_OK);
    EXPECT_EQ(queue_->waiting(), 0u);
    EXPECT_FALSE(plays(sounds[2].get()));
    control_->Update(10);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 0u);
}

TEST_F(QueueControl, PlayingAPlayingSoundStopsAndQueuesItAgain) {
    auto sounds = queue_sounds(2);
    control_->Update(10);
    ASSERT_TRUE(plays(sounds[0].get()));
    ASSERT_EQ(sounds[0]->Play(0), OM_S_OK);
    EXPECT_FALSE(plays(sounds[0].get()));
    EXPECT_EQ(queue_->waiting(), 2u);
    control_->Update(10);
    EXPECT_TRUE(plays(sounds[1].get()));
    ASSERT_EQ(sounds[1]->Pause(), OM_S_OK);
    EXPECT_FALSE(plays(sounds[1].get()));
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(control_->CreateSound(maker.put()), OM_E_FAIL);
}

} // namespace
