// PrioritySoundControl: the victim chosen by priority and by age on the control's clock, the
// refusal that keeps the inner sound silent, and the priority copied from the source.
#include "sound/channel/priority_sound_control.h"

#include "tests/sound/channel/channel_test_support.h"

#include <vector>

namespace {

using namespace soundtest;

class PriorityControl : public ChannelTest {};

struct VictimCase {
    const char* name;
    std::vector<int32_t> priorities; // attached in this order...
    std::vector<int32_t> started;    // ...at these clock times
    int32_t now;
    int32_t new_priority;
    int victim; // index of the sound stopped for the new one, -1: the new one is refused
};

TEST_F(PriorityControl, VictimIsTheLowestPriorityThenTheLongestPlayed) {
    const VictimCase cases[] = {
        {"older of two equals", {0, 0}, {0, 200}, 300, 0, 0},
        {"all more important", {1, 1}, {0, 0}, 10, 0, -1},
        {"higher priority skipped", {0, 5}, {0, 0}, 10, 3, 0},
        {"lower priority beats age", {2, 1}, {0, 100}, 200, 2, 1},
        {"equal age: nearest the end", {0, 0}, {50, 50}, 100, 0, 1},
        {"equal age of three", {3, 3, 3}, {0, 0, 0}, 5, 3, 2},
        {"oldest of three", {3, 3, 3}, {0, 100, 100}, 150, 3, 0},
        {"never stopped", {1000000, 1000000}, {0, 0}, 10, 2000000, -1},
        {"just below never", {1000000, 999999}, {0, 0}, 10, 1000000, 1},
    };
    for (const VictimCase& c : cases) {
        SCOPED_TRACE(c.name);
        ComRef<ISoundControl> control = make_control(CLSID_PrioritySoundControl);
        ASSERT_EQ(control->SetParamInt(CONTROL_INT_VOICES, intptr_t(c.priorities.size())), 0);
        auto* priority = dynamic_cast<PrioritySoundControl*>(control.get());
        std::vector<ComRef<ISound>> sounds;
        for (size_t i = 0; i < c.priorities.size(); ++i) {
            control->Update(uint32_t(c.started[i] - priority->clock()));
            sounds.push_back(channel_sound(control.get()));
            sounds.back()->SetParamInt(SOUND_INT_PRIORITY, c.priorities[i]);
            ASSERT_EQ(sounds.back()->Play(0), OM_S_OK);
        }
        control->Update(uint32_t(c.now - priority->clock()));
        ComRef<ISound> newcomer = channel_sound(control.get());
        newcomer->SetParamInt(SOUND_INT_PRIORITY, c.new_priority);

        const OmResult r = newcomer->Play(0);
        if (c.victim < 0) {
            EXPECT_EQ(r, OM_E_FAIL);
            EXPECT_FALSE(plays(newcomer.get())) << "a refused sound never starts";
            EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), c.priorities.size());
            for (auto& s : sounds) EXPECT_TRUE(plays(s.get()));
            continue;
        }
        EXPECT_EQ(r, OM_S_OK);
        EXPECT_TRUE(plays(newcomer.get()));
        for (size_t i = 0; i < sounds.size(); ++i)
            EXPECT_EQ(plays(sounds[i].get()), int(i) != c.victim) << "sound " << i;
        EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), c.priorities.size());
    }
}

TEST_F(PriorityControl, NoLimitAttachesEverySound) {
    ComRef<ISoundControl> control = make_control(CLSID_PrioritySoundControl);
    std::vector<ComRef<ISound>> sounds;
    for (int i = 0; i < 40; ++i) {
        sounds.push_back(channel_sound(control.get()));
        ASSERT_EQ(sounds.back()->Play(0), OM_S_OK);
    }
    EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), 40u);
}

TEST_F(PriorityControl, ReplayedSoundCompetesAnewWithItsStartTimeReset) {
    ComRef<ISoundControl> control = make_control(CLSID_PrioritySoundControl);
    control->SetParamInt(CONTROL_INT_VOICES, 2);
    ComRef<ISound> a = channel_sound(control.get());
    ComRef<ISound> b = channel_sound(control.get());
    ASSERT_EQ(a->Play(0), OM_S_OK);
    control->Update(100);
    ASSERT_EQ(b->Play(0), OM_S_OK);
    control->Update(100);
    // Full, yet a playing sound played again takes no place from the other.
    ASSERT_EQ(a->Play(0), OM_S_OK);
    EXPECT_TRUE(plays(b.get()));
    EXPECT_EQ(dynamic_cast<PrioritySound*>(a.get())->start_time, 200);
    control->Update(50);
    // Now b (150 ms) has played longer than a (50 ms).
    ComRef<ISound> c = channel_sound(control.get());
    ASSERT_EQ(c->Play(0), OM_S_OK);
    EXPECT_TRUE(plays(a.get()));
    EXPECT_FALSE(plays(b.get()));
}

TEST_F(PriorityControl, EndedSoundsLeaveRoomAtTheNextUpdate) {
    ComRef<ISoundControl> control = make_control(CLSID_PrioritySoundControl);
    control->SetParamInt(CONTROL_INT_VOICES, 1);
    ComRef<ISound> a = channel_sound(control.get());
    a->SetParamInt(SOUND_INT_PRIORITY, 5);
    ASSERT_EQ(a->Play(0), OM_S_OK);
    ComRef<ISound> b = channel_sound(control.get());
    EXPECT_EQ(b->Play(0), OM_E_FAIL);
    end(a.get());
    control->Update(10);
    EXPECT_EQ(count_objects(control.get(), CONTROL_LIST_ACTIVE), 0u);
    EXPECT_EQ(b->Play(0), OM_S_OK);
}

TEST_F(PriorityControl, PriorityComesFromTheSourceAndReachesIt) {
    ComRef<ISoundControl> control = make_control(CLSID_PrioritySoundControl);
    ComRef<ISound> inner = base_sound();
    inner->SetParamInt(SOUND_INT_PRIORITY, 7);
    ComRef<ISound> sound = channel_sound(control.get(), inner.get());
    EXPECT_EQ(integer(sound.get(), SOUND_INT_PRIORITY), 7);
    sound->SetParamInt(SOUND_INT_PRIORITY, 9);
    EXPECT_EQ(integer(inner.get(), SOUND_INT_PRIORITY), 9);
    intptr_t limit = -1;
    control->SetParamInt(CONTROL_INT_VOICES, 3);
    EXPECT_EQ(control->GetParamInt(CONTROL_INT_VOICES, &limit), OM_S_OK);
    EXPECT_EQ(limit, 3);
}

} // namespace
