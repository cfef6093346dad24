// Win32Adpcm: our IMA ADPCM files against libsndfile in both directions, the round trip's
// signal-to-noise ratio, the written layout and tags, and malformed files.
#include "sound/files/win32_adpcm.h"

#include "framework/core/heap.h"
#include "sound/files/ima_adpcm.h"
#include "tests/sound/files/sndfile_oracle.h"
#include "tests/sound/sound_file_support.h"

#include <algorithm>
#include <cmath>

namespace {

using namespace soundtest;

constexpr uint32_t hz = 22050;

int16_t tone(size_t i, uint32_t channels) {
    const double t = double(i / channels) / hz;
    return int16_t(
        std::lround(16000.0 * std::sin(2 * M_PI * (440.0 + 220.0 * double(i % channels)) * t)));
}

int16_t noise(size_t i, uint32_t) {
    uint32_t x = uint32_t(i) * 2654435761u + 12345u;
    x ^= x >> 13;
    x *= 0x5bd1e995u;
    x ^= x >> 15;
    return int16_t(int32_t(x % 32001u) - 16000);
}

std::vector<int16_t> signal(uint32_t frames, uint32_t channels, int16_t (*f)(size_t, uint32_t)) {
    std::vector<int16_t> out(size_t(frames) * channels);
    for (size_t i = 0; i < out.size(); ++i) out[i] = f(i, channels);
    return out;
}

uint32_t stereo_or_mono(uint32_t channels) {
    return channels == 2 ? SOUND_FORMAT_STEREO16 : SOUND_FORMAT_MONO16;
}

double snr_db(const std::vector<int32_t>& reference, const std::vector<int32_t>& decoded) {
    double signal = 0, error = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        signal += double(reference[i]) * reference[i];
        const double d = double(reference[i]) - decoded[i];
        error += d * d;
    }
    return 10.0 * std::log10(signal / error);
}

class AdpcmTest : public SoundFileTest {
protected:
    void SetUp() override {
        SoundFileTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_Win32Adpcm, IID_IObjectRW, adpcm_.put()), OM_S_OK);
    }
    void TearDown() override {
        adpcm_.reset();
        SoundFileTest::TearDown();
    }
    std::string write(ISound* sound, OmResult expected = OM_S_OK) {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
        EXPECT_EQ(adpcm_->WriteStream(stream.get(), "adpcm", sound), expected);
        return bytes_of(stream.get());
    }
    OmResult read(const std::string& bytes, ComRef<ISound>& sound, bool convert = false) {
        return read_file(adpcm_.get(), "adpcm", bytes, sound, convert);
    }
    ComRef<IObjectRW> adpcm_;
};

TEST_F(AdpcmTest, LibsndfileDecodesOurFilesToOurSamples) {
    struct Row {
        uint32_t channels, frames;
    } rows[] = {{1, 3000}, {2, 3000}, {1, 1017}, {2, 2034}, {1, 2}, {2, 1}};
    for (const Row& row : rows) {
        const auto pcm = signal(row.frames, row.channels, tone);
        auto sound = plain_sound(stereo_or_mono(row.channels), row.frames, hz,
                                 [&](size_t i) { return pcm[i]; });
        const std::string file = write(sound.get());
        const auto* b = reinterpret_cast<const uint8_t*>(file.data());
        ASSERT_GE(file.size(), 48u);
        EXPECT_EQ(riff_get32(b + 4), file.size() - 8) << "RIFF size 18 + 2 + data + 20";
        EXPECT_EQ(riff_get32(b + 16), 20u);
        EXPECT_EQ(riff_get16(b + 20), WAVE_FORMAT_IMA_ADPCM);
        EXPECT_EQ(riff_get16(b + 32), 512u * row.channels);
        EXPECT_EQ(riff_get16(b + 34), 4u);
        EXPECT_EQ(riff_get16(b + 36), 2u);
        EXPECT_EQ(riff_get16(b + 38), 1017u);
        EXPECT_EQ(file.substr(40, 4), "data") << "no fact chunk";

        ComRef<ISound> ours;
        ASSERT_EQ(read(file, ours), OM_S_OK) << row.frames;
        ASSERT_GE(ours->GetLength(), row.frames);
        EXPECT_LT(ours->GetLength(), row.frames + 8) << "a short last block holds whole groups";
        const auto decoded = samples_of(ours.get());
        const SndfileDecoded theirs = sndfile_decode(file);
        ASSERT_EQ(theirs.channels, int(row.channels));
        ASSERT_GE(theirs.samples.size(), decoded.size());
        EXPECT_EQ(
            std::vector<int32_t>(theirs.samples.begin(), theirs.samples.begin() + decoded.size()),
            decoded)
            << row.channels << " x " << row.frames;
    }
}

TEST_F(AdpcmTest, WeDecodeLibsndfilesFilesToItsSamples) {
    for (uint32_t channels : {1u, 2u}) {
        for (auto* f : {tone, noise}) {
            const auto pcm = signal(5000, channels, f); // the last block is partial
            const std::string file = sndfile_encode_ima(pcm, int(channels), int(hz));
            ASSERT_FALSE(file.empty());
            const SndfileDecoded theirs = sndfile_decode(file);
            ASSERT_TRUE(theirs.ok);
            for (bool convert : {false, true}) {
                ComRef<ISound> ours;
                ASSERT_EQ(read(file, ours, convert), OM_S_OK) << channels;
                EXPECT_EQ(ours->GetFormat(), stereo_or_mono(channels));
                EXPECT_EQ(frequency_of(ours.get()), intptr_t(hz));
                EXPECT_EQ(samples_of(ours.get()), theirs.samples) << channels;
            }
        }
    }
}

TEST_F(AdpcmTest, RoundTripStaysWithinItsNoiseBound) {
    // IMA ADPCM spends 4 bits a sample: a tone keeps more than 30 dB (about 34-36), full-band
    // noise more than 13 dB (about 15.7).
    struct Row {
        const char* what;
        int16_t (*f)(size_t, uint32_t);
        double bound_db;
    } rows[] = {{"tone", tone, 30.0}, {"noise", noise, 13.0}};
    for (const Row& row : rows) {
        for (uint32_t channels : {1u, 2u}) {
            const auto pcm = signal(22050, channels, row.f);
            auto sound =
                plain_sound(stereo_or_mono(channels), 22050, hz, [&](size_t i) { return pcm[i]; });
            ComRef<ISound> back;
            ASSERT_EQ(read(write(sound.get()), back), OM_S_OK);
            auto decoded = samples_of(back.get());
            decoded.resize(pcm.size());
            const double snr = snr_db(samples_of(sound.get()), decoded);
            EXPECT_GT(snr, row.bound_db) << row.what << " x" << channels;
        }
    }
}

TEST_F(AdpcmTest, WriteTagChoosesPcmOrFails) {
    auto sound = plain_sound(SOUND_FORMAT_STEREO8, 5, 11025, [](size_t i) { return 0x80 + i; });
    adpcm_->SetOption(ADPCM_OPTION_WRITE_TAG, 1);
    const std::string pcm = write(sound.get());
    ASSERT_EQ(pcm.size(), 46u + 10u);
    const auto* b = reinterpret_cast<const uint8_t*>(pcm.data());
    EXPECT_EQ(riff_get32(b + 4), 18u + 10u + 20u);
    EXPECT_EQ(riff_get16(b + 20), 1u);
    ComRef<ISound> back;
    ASSERT_EQ(read(pcm, back), OM_S_OK);
    EXPECT_EQ(back->GetFormat(), SOUND_FORMAT_STEREO8);
    EXPECT_EQ(samples_of(back.get()), samples_of(sound.get()));

    for (uint32_t tag : {2u, 99u}) {
        adpcm_->SetOption(ADPCM_OPTION_WRITE_TAG, tag);
        EXPECT_EQ(write(sound.get(), OM_E_FAIL), "") << tag;
    }

    // 8-bit samples are widened for the encoder.
    adpcm_->SetOption(ADPCM_OPTION_WRITE_TAG, 0);
    ComRef<ISound> wide;
    ASSERT_EQ(read(write(sound.get()), wide), OM_S_OK);
    EXPECT_EQ(wide->GetFormat(), SOUND_FORMAT_STEREO16);
    EXPECT_EQ(samples_of(wide.get())[0], 0) << "0x80 is silence";
}

// A hand-made IMA file: `blocks` of mono 36-byte blocks (65 samples each).
std::string ima_file(const std::string& format, const std::string& data,
                     const std::string& extra_chunk = {}) {
    RiffBuilder riff;
    riff.chunk("fmt ", format);
    if (!extra_chunk.empty()) riff.chunk("fact", extra_chunk);
    return riff.chunk("data", data).bytes();
}

std::string ima_format(uint32_t channels, uint32_t block_align, uint32_t per_block,
                       uint32_t bits = 4) {
    return le16(0x11) + le16(channels) + le32(hz) + le32(hz * block_align / 65) +
           le16(block_align) + le16(bits) + le16(2) + le16(per_block);
}

std::string mono_block(int16_t first, uint8_t index, uint32_t code_bytes, uint8_t code = 0x77) {
    return le16(uint16_t(first)) + char(index) + '\0' + std::string(code_bytes, char(code));
}

TEST_F(AdpcmTest, ReadsShortLastBlocksAndFactCounts) {
    const std::string full = mono_block(100, 10, 32);
    struct Row {
        const char* what;
        std::string file;
        uint32_t length;
    } rows[] = {
        {"two whole blocks", ima_file(ima_format(1, 36, 65), full + full), 130},
        {"a short last block decodes what it holds",
         ima_file(ima_format(1, 36, 65), full + mono_block(5, 3, 3)), 65 + 7},
        {"a last block shorter than its headers is ignored",
         ima_file(ima_format(1, 36, 65), full + "ab"), 65},
        {"no samples-per-block word",
         ima_file(le16(0x11) + le16(1) + le32(hz) + le32(0) + le16(36) + le16(4), full), 65},
        {"the length comes from the data, not from fact",
         ima_file(ima_format(1, 36, 65), full + full, le32(100)), 130},
        {"fact beyond the data", ima_file(ima_format(1, 36, 65), full, le32(1000)), 65},
    };
    for (const Row& row : rows) {
        ComRef<ISound> sound;
        ASSERT_EQ(read(row.file, sound), OM_S_OK) << row.what;
        EXPECT_EQ(sound->GetLength(), row.length) << row.what;
        EXPECT_EQ(samples_of(sound.get())[0], 100) << row.what;
    }
}

TEST_F(AdpcmTest, RefusesMalformedFiles) {
    const std::string full = mono_block(0, 10, 32);
    struct Row {
        const char* what;
        std::string file;
    } rows[] = {
        {"step index above 88", ima_file(ima_format(1, 36, 65), full + mono_block(0, 89, 32))},
        {"block align too small for its headers",
         ima_file(ima_format(2, 6, 1), std::string(12, '\0'))},
        {"stereo codes not whole groups", ima_file(ima_format(2, 12, 2), std::string(24, '\0'))},
        {"samples per block beyond the block align", ima_file(ima_format(1, 36, 66), full)},
        // The last codes of every block would be dropped.
        {"samples per block short of the block align", ima_file(ima_format(1, 36, 33), full)},
        {"one sample per block short", ima_file(ima_format(1, 36, 64), full)},
        {"not 4 bits", ima_file(ima_format(1, 36, 65, 3), full)},
        {"no channels", ima_file(ima_format(0, 36, 65), full)},
        {"256 channels", ima_file(le16(1) + le16(256) + le32(hz) + le32(0) + le16(256) + le16(8),
                                  std::string(256, 'a'))},
        {"tag 2", ima_file(le16(2) + ima_format(1, 36, 65).substr(2), full)},
        {"empty data", ima_file(ima_format(1, 36, 65), "")},
        {"no data", RiffBuilder().chunk("fmt ", ima_format(1, 36, 65)).bytes()},
        {"no fmt", RiffBuilder().chunk("data", full).bytes()},
        {"data larger than the file", RiffBuilder()
                                          .chunk("fmt ", ima_format(1, 36, 65))
                                          .claim("data", 0x7FFFFFF0u, full)
                                          .bytes()},
        {"not RIFF", "RIFX" + ima_file(ima_format(1, 36, 65), full).substr(4)},
    };
    for (const Row& row : rows) {
        for (bool convert : {false, true}) {
            ComRef<ISound> sound;
            const int64_t live = om_heap_live_blocks();
            EXPECT_EQ(read(row.file, sound, convert), OM_E_FAIL) << row.what;
            EXPECT_FALSE(sound);
            EXPECT_EQ(om_heap_live_blocks(), live) << row.what;
        }
    }
}

TEST(ImaAdpcmCodec, ShortBlocksAreNeverReadPast) {
    // Every length of a stereo block: decoding stops at the bytes given.
    ImaEncoderState state;
    std::vector<int16_t> in(2 * 17);
    for (size_t i = 0; i < in.size(); ++i) in[i] = int16_t(i * 900);
    std::vector<uint8_t> block(ima_block_bytes(17, 2));
    ima_encode_block(in.data(), 17, 2, state, block.data());
    ASSERT_EQ(block.size(), 8u + 2 * 8u);
    for (uint32_t size = 8; size <= block.size(); ++size) {
        std::vector<uint8_t> exact(block.begin(), block.begin() + size);
        std::vector<int16_t> out(2 * 17, 0x5555);
        uint32_t frames = 0;
        ASSERT_TRUE(ima_decode_block(exact.data(), size, 2, 17, out.data(), &frames));
        // The second channel's bytes come last in each group: they bound the frames.
        const uint32_t second = std::clamp(size, 12u, 16u) - 12 + std::clamp(size, 20u, 24u) - 20;
        EXPECT_EQ(frames, 1 + 2 * second) << size;
    }
    uint32_t frames = 0;
    int16_t out[2];
    EXPECT_FALSE(ima_decode_block(block.data(), 7, 2, 17, out, &frames));
}

} // namespace
