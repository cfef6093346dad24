// MetaSoundSoundControl: members read from the member file and shared with the sound table,
// selection and cross-fade by "SoundSelect", "OneShot", "Played", "EndTime",
// "TransitionShot", load failures, and the refusals of a sound without samples.
#include "sound/channel/meta_sound_sound_control.h"

#include "framework/core/class_ids.h"
#include "tests/sound/channel/channel_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace soundtest;

constexpr const char* two_halves = "[0]\nSound = a\nMax = 0.5\n[1]\nSound = b\nMin = 0.5\n";
constexpr const char* faded = "[0]\nSound = a\nInnerMin = 0.2\nInnerMax = 0.8\n";

class MetaSoundTest : public ChannelTest {
protected:
    void SetUp() override {
        ChannelTest::SetUp();
        control_ = make_control(CLSID_MetaSoundSoundControl);
        ASSERT_EQ(OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put()), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_COMHash, IID_ICOMHash, table_.put()), OM_S_OK);
        for (const char* name : {"a", "b"}) {
            ComRef<ISound> sound = base_sound();
            ASSERT_EQ(table_->Set(name, sound.detach()), OM_S_OK);
        }
        directory_ = dir_.path() + "/";
        dir_.write_file("halves.ini", two_halves);
        dir_.write_file("faded.ini", faded);
    }
    void TearDown() override {
        table_.reset();
        storage_.reset();
        control_.reset();
        ChannelTest::TearDown();
    }
    OmResult load(const std::string& keys, ComRef<ISound>& sound) {
        ComRef<IPropertySheet> sheet = sheet_of("[m]\n" + keys, "m");
        EXPECT_EQ(control_->CreateSoundFrom(nullptr, sound.put()), OM_S_OK);
        SoundMetaDesc desc{sheet.get(), table_.get(), storage_.get(), directory_.c_str()};
        return sound->SetParamInt(SOUND_INT_META_DESC, reinterpret_cast<intptr_t>(&desc));
    }
    ComRef<ISound> loaded(const std::string& keys) {
        ComRef<ISound> sound;
        EXPECT_EQ(load(keys, sound), OM_S_OK);
        return sound;
    }
    ISound* member(const char* name) {
        ComRef<ISound> sound;
        table_->Get(name)->QueryInterface(IID_ISound, sound.put_void());
        return sound.get(); // the table keeps it
    }
    static void select(ISound* meta, float value) { meta->SetParamReal(SOUND_REAL_PARAM1, value); }

    testsupport::TempDir dir_;
    std::string directory_;
    ComRef<ISoundControl> control_;
    ComRef<IFileStorage> storage_;
    ComRef<ICOMHash> table_;
};

TEST_F(MetaSoundTest, SelectorPlaysTheMemberWhoseRangeHoldsIt) {
    const struct {
        float select;
        bool a, b;
    } rows[] = {{0.0f, true, false},  {0.49f, true, false}, {0.5f, false, true},
                {0.99f, false, true}, {1.0f, false, false}, {-0.1f, false, false}};
    ComRef<ISound> meta = loaded("Function = SoundSelect = Param1\nSoundFile = halves.ini\n");
    ASSERT_EQ(dynamic_cast<MetaSound*>(meta.get())->member_count(), 2u);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.select);
        select(meta.get(), row.select);
        ASSERT_EQ(meta->Play(0), OM_S_OK);
        EXPECT_EQ(plays(member("a")), row.a);
        EXPECT_EQ(plays(member("b")), row.b);
        EXPECT_TRUE(plays(meta.get()));
        ASSERT_EQ(meta->Stop(), OM_S_OK);
        EXPECT_FALSE(plays(member("a")) || plays(member("b")));
        EXPECT_FALSE(plays(meta.get()));
    }
}

TEST_F(MetaSoundTest, WithUpdateTheSelectorMovesBetweenMembers) {
    ComRef<ISound> meta =
        loaded("Function = SoundSelect = Param1\nSoundFile = halves.ini\nUpdate = yes\n");
    select(meta.get(), 0.25f);
    ASSERT_EQ(meta->Play(0), OM_S_OK);
    select(meta.get(), 0.75f);
    control_->Update(10);
    EXPECT_FALSE(plays(member("a")));
    EXPECT_TRUE(plays(member("b")));
}

TEST_F(MetaSoundTest, CrossFadeLevelsFollowTheInnerRange) {
    const struct {
        float select, level;
    } rows[] = {{0.1f, 0.5f}, {0.5f, 1.0f}, {0.9f, 0.5f}, {0.2f, 1.0f}, {0.05f, 0.25f}};
    ComRef<ISound> meta =
        loaded("Function = SoundSelect = Param1\nSoundFile = faded.ini\nCrossFade = true\n");
    meta->SetParamReal(SOUND_REAL_VOLUME, 0.5f);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.select);
        select(meta.get(), row.select);
        ASSERT_EQ(meta->Play(0), OM_S_OK);
        EXPECT_NEAR(real(member("a"), SOUND_REAL_VOLUME), row.level * 0.5f, 1e-6f);
    }
    // A volume change reaches the playing member through its level.
    meta->SetParamReal(SOUND_REAL_VOLUME, 1.0f);
    EXPECT_NEAR(real(member("a"), SOUND_REAL_VOLUME), 0.25f, 1e-6f);
    EXPECT_EQ(real(meta.get(), SOUND_REAL_VOLUME), 1.0f);
}

TEST_F(MetaSoundTest, OneShotMembersAreNotRestartedByTimeSteps) {
    for (const char* one_shot : {"true", "false"}) {
        SCOPED_TRACE(one_shot);
        ComRef<ISound> meta = loaded("SoundFile = halves.ini\nUpdate = 1\nEndTime = 10000\n"
                                     "OneShot = " +
                                     std::string(one_shot) + "\n");
        ASSERT_EQ(meta->Play(0), OM_S_OK); // no function: SoundSelect 0
        member("a")->Stop();
        control_->Update(10);
        EXPECT_EQ(plays(member("a")), std::string(one_shot) == "false");
        EXPECT_TRUE(plays(meta.get())) << "the end time has not passed";
        meta->Stop();
    }
}

TEST_F(MetaSoundTest, PlayedCountsThePlays) {
    dir_.write_file("turns.ini", "[0]\nSound = a\nMin = 1\nMax = 2\n[1]\nSound = b\nMin = 2\n"
                                 "Max = 3\n");
    ComRef<ISound> meta = loaded("Function = SoundSelect = Played\nSoundFile = turns.ini\n");
    EXPECT_EQ(dynamic_cast<MetaSound*>(meta.get())->expression()->Expression_GetVariable("Played"),
              0.0f);
    ASSERT_EQ(meta->Play(0), OM_S_OK);
    EXPECT_TRUE(plays(member("a")));
    EXPECT_FALSE(plays(member("b")));
    ASSERT_EQ(meta->Play(0), OM_S_OK);
    EXPECT_FALSE(plays(member("a")));
    EXPECT_TRUE(plays(member("b")));
}

TEST_F(MetaSoundTest, EndTimeKeepsTheSoundPlayingAfterItsMembersEnd) {
    for (int32_t end_time : {0, 100}) {
        SCOPED_TRACE(end_time);
        ComRef<ISound> meta =
            loaded("SoundFile = halves.ini\nEndTime = " + std::to_string(end_time) + "\n");
        ASSERT_EQ(meta->Play(0), OM_S_OK);
        EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 1u);
        member("a")->Stop();
        control_->Update(60);
        EXPECT_EQ(plays(meta.get()), end_time != 0);
        control_->Update(60); // 120 ms: past the end time
        EXPECT_FALSE(plays(meta.get()));
        EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), end_time ? 1u : 0u);
        control_->Update(10); // a sound that no longer plays leaves
        EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 0u);
    }
}

TEST_F(MetaSoundTest, TransitionShotLeavesAnActiveMemberAlone) {
    for (const char* transition : {"true", "false"}) {
        SCOPED_TRACE(transition);
        ComRef<ISound> meta =
            loaded("Function = SoundSelect = Param1\nSoundFile = faded.ini\nCrossFade = 1\n"
                   "Update = 1\nEndTime = 10000\nTransitionShot = " +
                   std::string(transition) + "\n");
        select(meta.get(), 0.5f);
        ASSERT_EQ(meta->Play(0), OM_S_OK);
        select(meta.get(), 0.1f);
        member("a")->Stop();
        control_->Update(10);
        const bool shot = std::string(transition) == "true";
        EXPECT_NEAR(real(member("a"), SOUND_REAL_VOLUME), shot ? 1.0f : 0.5f, 1e-6f);
        EXPECT_EQ(plays(member("a")), !shot);
        // Out of range and back: a transition shot plays again.
        select(meta.get(), 2.0f);
        control_->Update(10);
        select(meta.get(), 0.1f);
        control_->Update(10);
        EXPECT_TRUE(plays(member("a")));
        meta->Stop();
    }
}

TEST_F(MetaSoundTest, MembersAreTheTablesOwnSoundsSharedByEveryMetaSound) {
    ComRef<ISound> one = loaded("SoundFile = halves.ini\n");
    ComRef<ISound> two = loaded("SoundFile = halves.ini\n");
    ASSERT_EQ(one->Play(0), OM_S_OK);
    EXPECT_TRUE(plays(member("a")));
    ASSERT_EQ(two->Stop(), OM_S_OK);
    EXPECT_FALSE(plays(member("a")));
    const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 4, 5, 6};
    ASSERT_EQ(one->Set3D(frame, nullptr), OM_S_OK);
    float seen[12] = {};
    member("b")->Get3D(seen, nullptr);
    EXPECT_EQ(seen[11], 6.0f);
}

TEST_F(MetaSoundTest, LoadFailuresAreReturned) {
    dir_.write_file("unknown.ini", "[0]\nSound = zzz\n");
    dir_.write_file("nameless.ini", "[0]\nMin = 0\n");
    const struct {
        const char* keys;
        OmResult result;
    } rows[] = {
        {"SoundFile = unknown.ini\n", OM_E_FAIL},
        {"SoundFile = nameless.ini\n", OM_E_FAIL},
        {"SoundFile = absent.ini\n", OM_E_FAIL},
        {"Function = SoundSelect = (\n", OM_E_FAIL},
        {"", OM_S_OK},
    };
    for (const auto& row : rows) {
        ComRef<ISound> sound;
        EXPECT_EQ(load(row.keys, sound), row.result) << row.keys;
    }
    ComRef<ISound> sound;
    ASSERT_EQ(control_->CreateSoundFrom(nullptr, sound.put()), OM_S_OK);
    EXPECT_EQ(sound->SetParamInt(SOUND_INT_META_DESC, 0), OM_E_FAIL);
}

TEST_F(MetaSoundTest, MetaSoundHasNoInstancesAndNoSamples) {
    ComRef<ISound> meta = loaded("SoundFile = halves.ini\n");
    ComRef<ISound> out;
    EXPECT_EQ(meta->CreateInstance(1, out.put()), OM_E_FAIL);
    EXPECT_EQ(meta->CreateInstanceFrom(nullptr, out.put()), OM_E_FAIL);
    EXPECT_EQ(meta->PlayInstance(nullptr, 0), OM_E_FAIL);
    EXPECT_EQ(meta->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(member("a"))),
              OM_E_FAIL);
    void* memory = nullptr;
    EXPECT_EQ(meta->Lock(0, &memory), OM_E_FAIL);
    uint32_t count = 0;
    EXPECT_EQ(meta->GetSegments(0, 0, 1, &memory, &count, nullptr, nullptr), OM_E_FAIL);
    EXPECT_EQ(meta->GetFormat(), 0x1100102u);
    EXPECT_EQ(meta->GetLength(), 0u);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ATTACHED), 1u);
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(control_->CreateSound(maker.put()), OM_E_FAIL);
}

} // namespace
