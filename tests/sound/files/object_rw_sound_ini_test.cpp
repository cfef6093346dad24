// ObjectRWSoundIni: the sample beside the description or named by "Sample", the maker and
// sound keys, conversion to the asked format, the current section, and bad descriptions.
#include "sound/files/object_rw_sound_ini.h"

#include "framework/core/class_ids.h"
#include "framework/platform/file_storage.h"
#include "tests/sound/sound_file_support.h"
#include "tests/support/temp_dir.h"

namespace {

using namespace soundtest;

// 16-bit stereo WAV bytes of `frames` frames: left +500, right -1500.
std::string stereo_wav(uint32_t frames, uint32_t hz = 22050) {
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) data += le16(500) + le16(uint16_t(-1500));
    return RiffBuilder().chunk("fmt ", pcm_format(2, hz, 16)).chunk("data", data).bytes();
}

class SoundIniTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_ObjectRWSoundIni, IID_IObjectRW, ini_.put()), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put()), OM_S_OK);
    }
    void TearDown() override {
        ini_.reset();
        storage_.reset();
        SoundFileTest::TearDown();
    }
    OmResult read(const std::string& name, ComRef<ISound>& sound, ISoundCreate* maker = nullptr) {
        ComRef<ISoundCreate> fresh;
        if (!maker) {
            EXPECT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, fresh.put()), OM_S_OK);
            maker = fresh.get();
        }
        return ini_->Read(storage_.get(), (dir_ / name).c_str(), maker, IID_ISound,
                          sound.put_void());
    }
    static float real(ISound* sound, int32_t kind) {
        float value = -99.0f;
        sound->GetParamReal(kind, &value);
        return value;
    }
    static intptr_t integer(ISound* sound, int32_t kind) {
        intptr_t value = -99;
        sound->GetParamInt(kind, &value);
        return value;
    }

    testsupport::TempDir dir_;
    ComRef<IObjectRW> ini_;
    ComRef<IFileStorage> storage_;
};

TEST_F(SoundIniTest, DescriptionWithoutSampleReadsTheWavBesideIt) {
    dir_.write_file("engine.wav", stereo_wav(100));
    dir_.write_file("engine.ini", "Priority = true\nVolume = 0.5\nPan = -0.25\nMinRadius = 7\n"
                                  "LoopControl = always\nFrequency = 11khz\nPositionX = 1\n"
                                  "PositionY = 2\nPositionZ = 3\nAtX = 0\nAtY = 0\nAtZ = 1\n"
                                  "UpX = 0\nUpY = 1\nUpZ = 0\n");
    ComRef<ISound> sound;
    ASSERT_EQ(read("engine.ini", sound), OM_S_OK);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_STEREO16);
    EXPECT_EQ(sound->GetLength(), 100u);
    EXPECT_EQ(samples_of(sound.get())[1], -1500);
    EXPECT_EQ(integer(sound.get(), SOUND_INT_PRIORITY), 1);
    EXPECT_EQ(integer(sound.get(), SOUND_INT_FREQUENCY), 11025) << "the sound key wins";
    EXPECT_EQ(integer(sound.get(), SOUND_INT_LOOP_CONTROL), 1);
    EXPECT_FLOAT_EQ(real(sound.get(), SOUND_REAL_VOLUME), 0.5f);
    EXPECT_FLOAT_EQ(real(sound.get(), SOUND_REAL_PAN), -0.25f);
    EXPECT_FLOAT_EQ(real(sound.get(), SOUND_REAL_MIN_RADIUS), 7.0f);
    float frame[12] = {}, velocity[3] = {};
    sound->Get3D(frame, velocity);
    EXPECT_EQ(std::vector<float>(frame, frame + 12),
              (std::vector<float>{1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3}))
        << "right = Up x At, then up, at, position";
}

TEST_F(SoundIniTest, SampleKeyIsRelativeToTheDescriptionAndAnyReaderServesIt) {
    dir_.write_file("sounds/shot.ini", "Sample = samples/bang.wav\n3d = yes\n");
    dir_.write_file("sounds/samples/bang.wav", stereo_wav(40, 44100));
    ComRef<ISound> sound;
    ASSERT_EQ(read("sounds/shot.ini", sound), OM_S_OK);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_MONO16) << "a 3D maker makes mono";
    EXPECT_EQ(sound->GetLength(), 40u);
    EXPECT_EQ(frequency_of(sound.get()), 44100);
    EXPECT_EQ(samples_of(sound.get()), std::vector<int32_t>(40, -500));
}

TEST_F(SoundIniTest, FormatKeyConvertsTheSample) {
    dir_.write_file("quiet.wav", stereo_wav(10));
    dir_.write_file("quiet.ini", "Format = mono8\n");
    ComRef<ISound> sound;
    ASSERT_EQ(read("quiet.ini", sound), OM_S_OK);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_MONO8);
    EXPECT_EQ(sound->GetLength(), 10u);
    EXPECT_EQ(samples_of(sound.get())[0], 0x80 - 2) << "(500 - 1500) / 2 = -500, high byte 0xFE";
}

TEST_F(SoundIniTest, KeysComeFromTheSectionCurrentAfterLoading) {
    dir_.write_file("two.wav", stereo_wav(4));
    dir_.write_file("two.ini", "Volume = 0.1\n[first]\nVolume = 0.2\n[second]\nVolume = 0.7\n");
    ComRef<ISound> sound;
    ASSERT_EQ(read("two.ini", sound), OM_S_OK);
    EXPECT_FLOAT_EQ(real(sound.get(), SOUND_REAL_VOLUME), 0.7f);
}

TEST_F(SoundIniTest, BadDescriptionsFail) {
    dir_.write_file("self.ini", "Sample = self.ini\n");
    dir_.write_file("nowav.ini", "Volume = 1\n");
    dir_.write_file("badline.ini", "[broken\n");
    ComRef<ISound> sound;
    EXPECT_LT(read("missing.ini", sound), 0);
    EXPECT_EQ(read("self.ini", sound), OM_E_FAIL) << "a description naming itself ends";
    EXPECT_LT(read("nowav.ini", sound), 0);
    EXPECT_LT(read("badline.ini", sound), 0);
    EXPECT_FALSE(sound);
}

} // namespace
