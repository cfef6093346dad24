// FunctionSoundControl: the expression read from "Function" or "FunctionFile", the variables
// set at load, Param1 followed into Frequency and Volume with and without "Update", only the
// changed values applied, "ZeroVolumeStop", and instances with their own expression and base.
#include "sound/channel/function_sound_control.h"

#include <cmath>

#include "framework/core/class_ids.h"
#include "tests/sound/channel/channel_test_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace soundtest;

class FunctionSoundTest : public ChannelTest {
protected:
    void SetUp() override {
        ChannelTest::SetUp();
        control_ = make_control(CLSID_FunctionSoundControl);
        ASSERT_EQ(OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put()), OM_S_OK);
        base_ = base_sound();
        directory_ = dir_.path() + "/";
    }
    void TearDown() override {
        base_.reset();
        storage_.reset();
        control_.reset();
        ChannelTest::TearDown();
    }
    // A function sound loaded from the keys of its section.
    OmResult load(const std::string& keys, ComRef<ISound>& sound) {
        ComRef<IPropertySheet> sheet = sheet_of("[s]\n" + keys, "s");
        EXPECT_EQ(control_->CreateSoundFrom(nullptr, sound.put()), OM_S_OK);
        SoundFunctionDesc desc{sheet.get(), base_.get(), storage_.get(), directory_.c_str()};
        return sound->SetParamInt(SOUND_INT_FUNCTION_DESC, reinterpret_cast<intptr_t>(&desc));
    }
    static float variable(ISound* sound, const char* name) {
        return dynamic_cast<FunctionSound*>(sound)->expression()->Expression_GetVariable(name);
    }

    testsupport::TempDir dir_;
    std::string directory_;
    ComRef<ISoundControl> control_;
    ComRef<IFileStorage> storage_;
    ComRef<ISound> base_;
};

constexpr const char* follow_param1 =
    "Function = Frequency = OriginalFrequency * Param1; Volume = Param1 * 0.5\n";

TEST_F(FunctionSoundTest, VariablesAreSetAtLoadFromTheBaseSound) {
    base_->SetParamReal(SOUND_REAL_VOLUME, 0.75f);
    base_->SetParamReal(SOUND_REAL_PAN, -0.5f);
    ComRef<ISound> sound;
    ASSERT_EQ(load(follow_param1, sound), OM_S_OK);
    EXPECT_EQ(inner_of(sound.get()), base_.get());
    const struct {
        const char* name;
        float value;
    } rows[] = {{"Length", 100},
                {"OriginalVolume", 0.75f},
                {"Volume", 0.75f},
                {"OriginalPan", -0.5f},
                {"Pan", -0.5f},
                {"Frequency", 22050},
                {"OriginalFrequency", 22050}};
    for (const auto& row : rows) EXPECT_EQ(variable(sound.get(), row.name), row.value) << row.name;
}

TEST_F(FunctionSoundTest, WithoutUpdateParam1IsFollowedAtOnce) {
    base_->SetParamReal(SOUND_REAL_PAN, 0.3f);
    ComRef<ISound> sound;
    ASSERT_EQ(load(follow_param1, sound), OM_S_OK);
    sound->SetParamReal(SOUND_REAL_VOLUME, 0.8f); // own volume
    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM1, 2.0f), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 44100);
    EXPECT_FLOAT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 0.8f);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_PAN), 0.3f) << "Pan did not change";
    EXPECT_EQ(real(sound.get(), SOUND_REAL_PARAM1), 2.0f);

    // Values that do not change against the snapshot are not applied again.
    base_->SetParamInt(SOUND_INT_FREQUENCY, 11111);
    base_->SetParamReal(SOUND_REAL_VOLUME, 0.125f);
    base_->SetParamReal(SOUND_REAL_PAN, -0.75f);
    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM1, 2.0f), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 11111);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 0.125f);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_PAN), -0.75f);

    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM1, 0.5f), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 11025);
    EXPECT_FLOAT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 0.8f * 0.25f);
    EXPECT_EQ(real(sound.get(), SOUND_REAL_VOLUME), 0.8f);
}

TEST_F(FunctionSoundTest, ResultsThatAreNoFiniteNumberChangeNothing) {
    base_->SetParamReal(SOUND_REAL_PAN, 0.25f);
    ComRef<ISound> sound;
    ASSERT_EQ(load("Function = Frequency = OriginalFrequency * Param1 / Param2; "
                   "Volume = Param2 / Param2; Pan = Param1 / Param2 - Param1\n",
                   sound),
              OM_S_OK);
    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM1, 2.0f), OM_S_OK); // divides by zero
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 22050);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 1.0f);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_PAN), 0.25f);
    for (const char* name : {"Frequency", "Volume", "Pan"})
        EXPECT_TRUE(std::isfinite(variable(sound.get(), name))) << name;

    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM2, 1.0f), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 44100);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_PAN), 0.0f);

    // Far beyond 32 bits: the frequency saturates.
    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM1, 1e30f), OM_S_OK);
    EXPECT_GT(integer(base_.get(), SOUND_INT_FREQUENCY), 44100);
}

TEST_F(FunctionSoundTest, WithUpdateParam1IsFollowedAtPlayAndEveryTimeStep) {
    ComRef<ISound> sound;
    ASSERT_EQ(load(std::string(follow_param1) + "Update = true\n", sound), OM_S_OK);
    ASSERT_EQ(sound->SetParamReal(SOUND_REAL_PARAM1, 2.0f), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 22050) << "waits for a step";
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 44100);
    EXPECT_TRUE(plays(base_.get()));
    sound->SetParamReal(SOUND_REAL_PARAM1, 3.0f);
    ASSERT_EQ(control_->Update(20), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 66150);
    EXPECT_FLOAT_EQ(variable(sound.get(), "TimeStep"), 0.02f);
    EXPECT_FLOAT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 1.5f);
}

TEST_F(FunctionSoundTest, ZeroVolumeStopStopsTheBaseSound) {
    for (const char* stop : {"true", "false"}) {
        SCOPED_TRACE(stop);
        base_->Stop();
        ComRef<ISound> sound;
        ASSERT_EQ(load(std::string("Function = Volume = Param1\nUpdate = 1\nZeroVolumeStop = ") +
                           stop + "\n",
                       sound),
                  OM_S_OK);
        sound->SetParamReal(SOUND_REAL_PARAM1, 1.0f);
        ASSERT_EQ(sound->Play(0), OM_S_OK);
        sound->SetParamReal(SOUND_REAL_PARAM1, 0.0f);
        control_->Update(10);
        EXPECT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 0.0f);
        EXPECT_EQ(plays(base_.get()), std::string(stop) == "false");
        control_->Update(10);
        EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE),
                  std::string(stop) == "false" ? 1u : 0u);
        sound->Stop();
    }
}

TEST_F(FunctionSoundTest, WithoutAFunctionTheBaseSoundPlaysUnchanged) {
    base_->SetParamInt(SOUND_INT_FREQUENCY, 12345);
    ComRef<ISound> sound;
    ASSERT_EQ(load("Update = true\n", sound), OM_S_OK);
    EXPECT_EQ(dynamic_cast<FunctionSound*>(sound.get())->expression(), nullptr);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    control_->Update(10);
    EXPECT_TRUE(plays(base_.get()));
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 12345);
    sound->SetParamReal(SOUND_REAL_VOLUME, 0.5f);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 0.5f);
}

TEST_F(FunctionSoundTest, PositionIsZeroWhenTheBaseSoundCannotTell) {
    ComRef<ISound> sound;
    ASSERT_EQ(load("Function = Volume = Position + 0.25\n", sound), OM_S_OK);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    EXPECT_EQ(real(base_.get(), SOUND_REAL_VOLUME), 0.25f);
}

TEST_F(FunctionSoundTest, FunctionFileIsReadFromTheSoundDirectory) {
    dir_.write_file("pitch.txt", "Frequency = OriginalFrequency * 2");
    ComRef<ISound> sound;
    ASSERT_EQ(load("FunctionFile = pitch.txt\n", sound), OM_S_OK);
    ASSERT_EQ(sound->Play(0), OM_S_OK);
    EXPECT_EQ(integer(base_.get(), SOUND_INT_FREQUENCY), 44100);
}

TEST_F(FunctionSoundTest, LoadFailuresAreReturned) {
    const struct {
        const char* keys;
        OmResult result;
    } rows[] = {
        {"Function = Volume = = 2\n", OM_E_FAIL},
        {"FunctionFile = missing.txt\n", OM_E_FAIL},
        {"Function = x\nFunctionFile = missing.txt\n", OM_S_OK}, // "Function" wins
    };
    for (const auto& row : rows) {
        ComRef<ISound> sound;
        EXPECT_EQ(load(row.keys, sound), row.result) << row.keys;
    }
    ComRef<ISound> sound;
    EXPECT_EQ(load("FunctionFile = " + std::string(300, 'x') + "\n", sound), OM_E_FAIL);
    EXPECT_EQ(sound->SetParamInt(SOUND_INT_FUNCTION_DESC, 0), OM_E_FAIL);
    ComRef<ISoundCreate> maker;
    EXPECT_EQ(control_->CreateSound(maker.put()), OM_E_FAIL);
}

TEST_F(FunctionSoundTest, InstancesHaveTheirOwnExpressionAndBaseInstance) {
    ComRef<ISound> sound;
    ASSERT_EQ(load(std::string(follow_param1) + "Update = 1\nZeroVolumeStop = 1\n", sound),
              OM_S_OK);
    sound->SetParamReal(SOUND_REAL_VOLUME, 0.5f);
    sound->SetParamReal(SOUND_REAL_PARAM1, 2.0f);
    ComRef<ISound> refused;
    EXPECT_EQ(sound->CreateInstance(0, refused.put()), OM_E_FAIL);

    SoundPlayDesc desc{};
    desc.flags = SOUND_DESC_PARAM1;
    desc.param1 = 3.0f;
    ComRef<ISound> instance;
    ASSERT_EQ(sound->CreateInstanceFrom(&desc, instance.put()), OM_S_OK);
    auto* copy = dynamic_cast<FunctionSound*>(instance.get());
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->expression(), dynamic_cast<FunctionSound*>(sound.get())->expression());
    EXPECT_EQ(real(instance.get(), SOUND_REAL_PARAM1), 3.0f);
    EXPECT_EQ(real(sound.get(), SOUND_REAL_PARAM1), 2.0f) << "the original keeps its own";
    EXPECT_EQ(real(instance.get(), SOUND_REAL_VOLUME), 0.5f);
    EXPECT_EQ(variable(instance.get(), "OriginalFrequency"), 22050.0f);
    ISound* instance_base = inner_of(instance.get());
    EXPECT_NE(instance_base, base_.get());
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ATTACHED), 2u);

    // The instance plays its own base: with "Update" its first step follows its Param1.
    ASSERT_EQ(instance->Play(0), OM_S_OK);
    EXPECT_EQ(integer(instance_base, SOUND_INT_FREQUENCY), 66150);
    EXPECT_FALSE(plays(base_.get()));
    instance.reset();
    control_->StopAll(0);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ATTACHED), 1u);
}

TEST_F(FunctionSoundTest, ThousandInstancePlaysLeaveListZeroAtItsSize) {
    ComRef<ISound> sound;
    ASSERT_EQ(load(std::string(follow_param1) + "Update = 1\n", sound), OM_S_OK);
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(sound->PlayInstance(nullptr, 0), OM_S_OK);
        control_->Update(1);
        if (i % 100 == 99) control_->StopAll(0);
    }
    control_->StopAll(0);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ATTACHED), 1u);
    EXPECT_EQ(count_objects(control_.get(), CONTROL_LIST_ACTIVE), 0u);
}

} // namespace
