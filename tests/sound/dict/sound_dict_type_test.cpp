// SoundDictType: the type name, Load through a clone of the template and the converting WAV
// read, Save and load back, the reference operations, and calls before Init.
#include "sound/dict/sound_dict_type.h"

#include "framework/core/class_ids.h"
#include "tests/sound/sound_file_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace soundtest;

class SoundDictTypeTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_SoundDictType, IID_IDictType, dict_.put()), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put()), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, template_.put()), OM_S_OK);
    }
    void TearDown() override {
        dict_.reset();
        storage_.reset();
        template_.reset();
        SoundFileTest::TearDown();
    }
    std::string path(const char* name) const { return dir_ / name; }

    testsupport::TempDir dir_;
    ComRef<IDictType> dict_;
    ComRef<IFileStorage> storage_;
    ComRef<ISoundCreate> template_;
};

TEST_F(SoundDictTypeTest, NameAndCallsBeforeInit) {
    EXPECT_STREQ(dict_->GetTypeName(), "sound");
    IUnknown* out = reinterpret_cast<IUnknown*>(&out);
    EXPECT_EQ(dict_->Load(path("a.wav").c_str(), &out), OM_E_FAIL);
    EXPECT_EQ(out, nullptr);
    auto sound = plain_sound(SOUND_FORMAT_MONO8, 4, 8000);
    EXPECT_EQ(dict_->Save(path("a.wav").c_str(), sound.get()), OM_E_FAIL);
    EXPECT_EQ(dict_->Reserved(nullptr, nullptr), OM_S_OK);
    void* other = nullptr;
    EXPECT_EQ(dict_->QueryInterface(IID_ISound, &other), OM_E_NOINTERFACE);
}

TEST_F(SoundDictTypeTest, LoadReadsThroughACloneOfTheTemplate) {
    template_->SetProperty(MAKER_FORMAT, SOUND_FORMAT_MONO8);
    template_->SetProperty(MAKER_RATE, 8000);
    template_->SetProperty(MAKER_LENGTH, 3);
    ASSERT_EQ(dict_->Init(storage_.get(), template_.get()), OM_S_OK);

    auto original =
        plain_sound(SOUND_FORMAT_STEREO16, 300, 44100, [](size_t i) { return int16_t(i * 101); });
    ASSERT_EQ(dict_->Save(path("shot.wav").c_str(), original.get()), OM_S_OK);
    ComRef<IUnknown> loaded;
    ASSERT_EQ(dict_->Load(path("shot.wav").c_str(), loaded.put()), OM_S_OK);
    ComRef<ISound> sound;
    ASSERT_EQ(loaded->QueryInterface(IID_ISound, sound.put_void()), OM_S_OK);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_STEREO16) << "the file's description";
    EXPECT_EQ(sound->GetLength(), 300u);
    EXPECT_EQ(frequency_of(sound.get()), 44100);
    EXPECT_EQ(samples_of(sound.get()), samples_of(original.get()));
    intptr_t format = 0, rate = 0, length = 0;
    template_->GetProperty(MAKER_FORMAT, &format);
    template_->GetProperty(MAKER_RATE, &rate);
    template_->GetProperty(MAKER_LENGTH, &length);
    EXPECT_EQ(format, intptr_t(SOUND_FORMAT_MONO8)) << "the template keeps its properties";
    EXPECT_EQ(rate, 8000);
    EXPECT_EQ(length, 3);

    IUnknown* missing = reinterpret_cast<IUnknown*>(&missing);
    EXPECT_LT(dict_->Load(path("missing.wav").c_str(), &missing), 0);
    EXPECT_EQ(missing, nullptr);
}

TEST_F(SoundDictTypeTest, ReleaseObjectTellsWhetherTheLastReferenceWent) {
    auto sound = plain_sound(SOUND_FORMAT_MONO8, 4, 8000);
    ISound* raw = sound.get();
    ASSERT_EQ(dict_->AddRefObject(raw), OM_S_OK);
    EXPECT_EQ(dict_->ReleaseObject(raw), 0) << "two references";
    EXPECT_EQ(dict_->ReleaseObject(sound.detach()), 1) << "the last one";
    EXPECT_EQ(dict_->ReleaseObject(nullptr), 0);
    EXPECT_EQ(dict_->AddRefObject(nullptr), OM_S_OK);
}

} // namespace
