// ObjectRWWav: reading hand-made WAV files (other chunks, pad bytes, long format records),
// refusing malformed and hostile headers, writing and reading back, the converting read into
// a 3D or device maker (also under failing allocations), and the category's readers.
#include "sound/files/object_rw_wav.h"

#include "framework/core/heap.h"
#include "framework/io/meta_object_rw.h"
#include "platform/fault_injection.h"
#include "sound/files/object_rw_sound_ini.h"
#include "sound/files/win32_adpcm.h"
#include "sound/processing/wave_convert.h"
#include "tests/sound/sound_file_support.h"

namespace {

using namespace soundtest;

// Frames 0x0102/0x0304... of 16-bit stereo: the data bytes of `frames` frames.
std::string stereo16_data(uint32_t frames) {
    std::string data;
    for (uint32_t i = 0; i < frames * 2; ++i)
        data += le16(uint32_t(int16_t(i * 1000 - 3000)) & 0xFFFF);
    return data;
}

std::vector<int32_t> stereo16_samples(uint32_t frames) {
    std::vector<int32_t> out;
    for (uint32_t i = 0; i < frames * 2; ++i) out.push_back(int16_t(i * 1000 - 3000));
    return out;
}

class WavTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_ObjectRWWav, IID_IObjectRW, wav_.put()), OM_S_OK);
    }
    void TearDown() override {
        wav_.reset();
        SoundFileTest::TearDown();
    }
    // Reads the bytes with a fresh BaseSoundCreate (plain path unless `convert`).
    OmResult read(const std::string& bytes, ComRef<ISound>& sound, bool convert = false) {
        return read_file(wav_.get(), "wav", bytes, sound, convert);
    }
    ComRef<IObjectRW> wav_;
};

TEST_F(WavTest, ReadsFilesWithOtherChunksAndLongFormatRecords) {
    const std::string data = stereo16_data(5);
    struct Row {
        const char* what;
        std::string file;
    } rows[] = {
        {"plain",
         RiffBuilder().chunk("fmt ", pcm_format(2, 22050, 16)).chunk("data", data).bytes()},
        {"list before fmt, fact before data", RiffBuilder()
                                                  .chunk("LIST", "INFOISFT" + le32(4) + "abcd")
                                                  .chunk("fmt ", pcm_format(2, 22050, 16))
                                                  .chunk("fact", le32(5))
                                                  .chunk("data", data)
                                                  .bytes()},
        {"odd-sized list chunk with its pad byte", RiffBuilder()
                                                       .chunk("LIST", "INFOISFT" + le32(3) + "abc")
                                                       .chunk("fmt ", pcm_format(2, 22050, 16))
                                                       .chunk("data", data)
                                                       .bytes()},
        {"18-byte fmt",
         RiffBuilder().chunk("fmt ", pcm_format(2, 22050, 16, 0)).chunk("data", data).bytes()},
        {"fmt with extra bytes",
         RiffBuilder().chunk("fmt ", pcm_format(2, 22050, 16, 6)).chunk("data", data).bytes()},
        {"data with a trailing partial frame",
         RiffBuilder().chunk("fmt ", pcm_format(2, 22050, 16)).chunk("data", data + "xy").bytes()},
    };
    for (const Row& row : rows) {
        for (bool convert : {false, true}) {
            ComRef<ISound> sound;
            ASSERT_EQ(read(row.file, sound, convert), OM_S_OK) << row.what;
            EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_STEREO16) << row.what;
            EXPECT_EQ(sound->GetLength(), 5u) << row.what;
            EXPECT_EQ(frequency_of(sound.get()), 22050) << row.what;
            EXPECT_EQ(samples_of(sound.get()), stereo16_samples(5)) << row.what;
        }
    }
    ComRef<ISound> bytes8;
    ASSERT_EQ(read(RiffBuilder()
                       .chunk("fmt ", pcm_format(1, 11025, 8))
                       .chunk("data", "\x01\x80\xff")
                       .bytes(),
                   bytes8),
              OM_S_OK);
    EXPECT_EQ(bytes8->GetFormat(), SOUND_FORMAT_MONO8);
    EXPECT_EQ(samples_of(bytes8.get()), (std::vector<int32_t>{1, 0x80, 0xFF}));
}

TEST_F(WavTest, RefusesMalformedAndHostileHeaders) {
    const std::string fmt = pcm_format(2, 22050, 16);
    const std::string data = stereo16_data(2);
    struct Row {
        const char* what;
        std::string file;
        OmResult expected;
    } rows[] = {
        {"not RIFF", "RIFX" + RiffBuilder().chunk("fmt ", fmt).bytes().substr(4), OM_E_FAIL},
        {"not WAVE", RiffBuilder().chunk("fmt ", fmt).bytes().replace(8, 4, "AVI "), OM_E_FAIL},
        {"not PCM",
         RiffBuilder().chunk("fmt ", le16(3) + fmt.substr(2)).chunk("data", data).bytes(),
         OM_E_FAIL},
        {"24 bits",
         RiffBuilder().chunk("fmt ", pcm_format(2, 22050, 24)).chunk("data", data + "ab").bytes(),
         OM_E_FAIL},
        {"block align 0",
         RiffBuilder()
             .chunk("fmt ", pcm_format(2, 22050, 16, -1, 0).replace(12, 2, le16(0)))
             .chunk("data", data)
             .bytes(),
         OM_E_FAIL},
        {"block align not channels x bits / 8",
         RiffBuilder().chunk("fmt ", pcm_format(2, 22050, 16, -1, 3)).chunk("data", data).bytes(),
         OM_E_FAIL},
        {"no channels",
         RiffBuilder().chunk("fmt ", pcm_format(0, 22050, 16, -1, 2)).chunk("data", data).bytes(),
         OM_E_FAIL},
        {"256 channels",
         RiffBuilder()
             .chunk("fmt ", pcm_format(256, 22050, 8))
             .chunk("data", std::string(512, 'a'))
             .bytes(),
         OM_E_FAIL},
        {"fmt shorter than 16 bytes",
         RiffBuilder().chunk("fmt ", fmt.substr(0, 14)).chunk("data", data).bytes(), OM_E_FAIL},
        {"no fmt", RiffBuilder().chunk("data", data).bytes(), OM_E_ENDOFSTREAM},
        {"no data", RiffBuilder().chunk("fmt ", fmt).bytes(), OM_E_ENDOFSTREAM},
        {"empty", "", OM_E_ENDOFSTREAM},
        {"data larger than the file",
         RiffBuilder().chunk("fmt ", fmt).claim("data", 0xFFFFFFF0u, data).bytes(), OM_E_FAIL},
    };
    for (const Row& row : rows) {
        for (bool convert : {false, true}) {
            ComRef<ISound> sound;
            const int64_t live = om_heap_live_blocks();
            EXPECT_EQ(read(row.file, sound, convert), row.expected) << row.what;
            EXPECT_FALSE(sound) << row.what;
            EXPECT_EQ(om_heap_live_blocks(), live) << row.what;
        }
    }
}

TEST_F(WavTest, HeaderOfA24BitFileGivesFormatCodeZero) {
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put()), OM_S_OK);
    auto stream = stream_of(
        RiffBuilder().chunk("fmt ", pcm_format(1, 48000, 24)).chunk("data", "abcdef").bytes());
    ASSERT_EQ(OmWavReadHeader(stream.get(), maker.get()), OM_S_OK);
    intptr_t format = -1, length = 0, rate = 0;
    maker->GetProperty(MAKER_FORMAT, &format);
    maker->GetProperty(MAKER_LENGTH, &length);
    maker->GetProperty(MAKER_RATE, &rate);
    EXPECT_EQ(format, 0);
    EXPECT_EQ(length, 2);
    EXPECT_EQ(rate, 48000);
    uint32_t at = 0;
    stream->Seek(0, OM_SEEK_CURRENT, &at);
    EXPECT_EQ(at, 44u) << "left at the first sample byte";
}

TEST_F(WavTest, WrittenSixteenBitStereoReadsBackEqual) {
    auto sound = plain_sound(SOUND_FORMAT_STEREO16, 22050, 22050,
                             [](size_t i) { return int16_t(i * 37 + 11); });
    ComRef<IByteStream> stream;
    ASSERT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    ASSERT_EQ(wav_->WriteStream(stream.get(), "wav", sound.get()), OM_S_OK);
    const std::string bytes = bytes_of(stream.get());
    ASSERT_EQ(bytes.size(), 46u + 88200u);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(riff_get32(b + 4), 88238u);
    EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(riff_get32(b + 16), 18u);
    EXPECT_EQ(riff_get16(b + 20), 1u);
    EXPECT_EQ(riff_get16(b + 22), 2u);
    EXPECT_EQ(riff_get32(b + 24), 22050u);
    EXPECT_EQ(riff_get32(b + 28), 88200u);
    EXPECT_EQ(riff_get16(b + 32), 4u);
    EXPECT_EQ(riff_get16(b + 34), 16u);
    EXPECT_EQ(riff_get16(b + 36), 0u);
    EXPECT_EQ(bytes.substr(38, 4), "data");
    EXPECT_EQ(riff_get32(b + 42), 88200u);

    for (bool convert : {false, true}) {
        ComRef<ISound> back;
        ASSERT_EQ(read(bytes, back, convert), OM_S_OK);
        EXPECT_EQ(back->GetFormat(), SOUND_FORMAT_STEREO16);
        EXPECT_EQ(frequency_of(back.get()), 22050);
        EXPECT_EQ(samples_of(back.get()), samples_of(sound.get()));
    }
}

TEST_F(WavTest, ConvertingReadFollowsTheMaker) {
    // 0.1 s of 44.1 kHz stereo: left +1000, right -3000.
    std::string data;
    for (int i = 0; i < 4410; ++i) data += le16(1000) + le16(uint16_t(-3000));
    const std::string file =
        RiffBuilder().chunk("fmt ", pcm_format(2, 44100, 16)).chunk("data", data).bytes();

    // A plain 3D maker: mono at the file's rate and length.
    ComRef<ISoundCreate> maker3d;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker3d.put()), OM_S_OK);
    maker3d->SetProperty(MAKER_3D, 1);
    ComRef<ISound> sound;
    auto stream = stream_of(file);
    ASSERT_EQ(wav_->ReadStream(stream.get(), "wav", maker3d.get(), IID_ISound, sound.put_void()),
              OM_S_OK);
    EXPECT_EQ(sound->GetFormat(), SOUND_FORMAT_MONO16);
    EXPECT_EQ(sound->GetLength(), 4410u);
    EXPECT_EQ(frequency_of(sound.get()), 44100);
    EXPECT_EQ(samples_of(sound.get()), std::vector<int32_t>(4410, -1000));
    intptr_t length = 0, rate = 0;
    maker3d->GetProperty(MAKER_LENGTH, &length);
    maker3d->GetProperty(MAKER_RATE, &rate);
    EXPECT_EQ(length, 4410) << "the file's description stays set on the maker";
    EXPECT_EQ(rate, 44100);

    // The device's 3D maker: mono, capped at the device's 22050 Hz, the length scaled.
    auto device = make_device();
    ComRef<ISoundCreate> device_maker;
    ASSERT_EQ(device->CreateSound(device_maker.put()), OM_S_OK);
    device_maker->SetProperty(MAKER_3D, 1);
    ComRef<ISound> device_sound;
    stream = stream_of(file);
    ASSERT_EQ(wav_->ReadStream(stream.get(), "wav", device_maker.get(), IID_ISound,
                               device_sound.put_void()),
              OM_S_OK);
    EXPECT_EQ(device_sound->GetFormat(), SOUND_FORMAT_MONO16);
    EXPECT_EQ(device_sound->GetLength(), 2205u);
    // float(2205 x 44100) rounds down to 97240496: the resampled rate is one below.
    EXPECT_EQ(frequency_of(device_sound.get()), 22049);
    EXPECT_EQ(samples_of(device_sound.get()), std::vector<int32_t>(2205, -1000));
    uint32_t option = 0;
    wav_->GetOption(2, &option);
    EXPECT_EQ(option, 1u);
}

TEST_F(WavTest, DeviceMakerScalesLongSoundsWithoutOverflow) {
    // 100 million frames x 22050 needs more than 32 bits.
    auto device = make_device();
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(device->CreateSound(maker.put()), OM_S_OK);
    maker->SetProperty(MAKER_RATE, 44100);
    maker->SetProperty(MAKER_LENGTH, 100000000);
    ASSERT_EQ(maker->Validate(), OM_S_OK);
    intptr_t length = 0, rate = 0;
    maker->GetProperty(MAKER_LENGTH, &length);
    maker->GetProperty(MAKER_RATE, &rate);
    EXPECT_EQ(rate, 22050);
    EXPECT_EQ(length, 50000000);
}

TEST_F(WavTest, ConvertingReadReleasesEverythingAndRestoresTheOption) {
    std::string data;
    for (int i = 0; i < 300; ++i) data += le16(i) + le16(uint16_t(-i));
    const std::string file =
        RiffBuilder().chunk("fmt ", pcm_format(2, 44100, 16)).chunk("data", data).bytes();
    ComRef<ISoundCreate> maker;
    ASSERT_EQ(OmCreate(CLSID_BaseSoundCreate, IID_ISoundCreate, maker.put()), OM_S_OK);
    bool fired = true;
    for (uint64_t n = 1; fired && n < 100; ++n) {
        maker->Reset();
        maker->SetProperty(MAKER_3D, 1);
        auto stream = stream_of(file);
        wav_->SetOption(2, 7);
        const int64_t live = om_heap_live_blocks();
        ComRef<ISound> sound;
        platform::fail_allocation_after(n);
        OmResult r = OmWaveConvert(wav_.get(), stream.get(), "wav", maker.get(), IID_ISound,
                                   sound.put_void());
        fired = platform::allocation_fault_fired();
        platform::reset_allocation_faults();
        uint32_t option = 0;
        wav_->GetOption(2, &option);
        EXPECT_EQ(option, 7u) << "allocation " << n;
        if (fired) {
            EXPECT_EQ(r, OM_E_OUTOFMEMORY) << "allocation " << n;
            EXPECT_FALSE(sound);
        } else {
            ASSERT_EQ(r, OM_S_OK);
            EXPECT_EQ(sound->GetLength(), 300u);
            EXPECT_GT(n, 5u);
        }
        sound.reset();
        EXPECT_EQ(om_heap_live_blocks(), live) << "allocation " << n;
    }
    EXPECT_FALSE(fired);
}

TEST_F(WavTest, CategoryReadersArePickedByExtension) {
    ComRef<IMetaObjectRW> meta;
    ASSERT_EQ(OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, meta.put()), OM_S_OK);
    ASSERT_EQ(meta->AddCategory(CATID_SoundObjectRW), OM_S_OK);
    for (const char* extension : {"wav", "ini", "adpcm"}) {
        IObjectRW* reader = nullptr;
        ASSERT_EQ(meta->GetReader(extension, &reader), OM_S_OK) << extension;
        char list[32];
        ASSERT_EQ(reader->GetExtensions(list, sizeof list), OM_S_OK);
        EXPECT_STREQ(list, extension);
    }
    IObjectRW* none = nullptr;
    EXPECT_EQ(meta->GetReader("mp3", &none), OM_E_FAIL);
}

} // namespace
