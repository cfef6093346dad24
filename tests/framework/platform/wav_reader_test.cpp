// The WAV reader over small RIFF files built by the test.
#include "framework/platform/wav_reader.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

std::string le32(uint32_t v) {
    return {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
}
std::string le16(uint16_t v) {
    return {char(v), char(v >> 8)};
}
// A chunk with its header, padded to an even size unless `declared` overrides the size.
std::string chunk(const char* id, const std::string& body, int64_t declared = -1) {
    std::string out = std::string(id, 4) + le32(uint32_t(declared < 0 ? body.size() : declared));
    out += body;
    if (body.size() & 1) out += '\0';
    return out;
}
std::string riff(const std::string& chunks, const char* form = "WAVE") {
    return "RIFF" + le32(uint32_t(4 + chunks.size())) + form + chunks;
}
std::string pcm_format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    uint16_t align = uint16_t(channels * bits / 8);
    return le16(tag) + le16(channels) + le32(rate) + le32(rate * align) + le16(align) + le16(bits);
}

class WavReaderTest : public testsupport::FrameworkTest {
protected:
    void TearDown() override {
        EXPECT_EQ(OmWavClose(&file_, &format_), 0);
        FrameworkTest::TearDown();
    }
    int32_t open(const std::string& contents) {
        dir_.write_file("Sound.wav", contents);
        return OmWavOpen((dir_ / "sound.WAV").c_str(), &file_, &format_, &riff_);
    }

    testsupport::TempDir dir_;
    OmWavFile* file_ = nullptr;
    WAVEFORMATEX* format_ = nullptr;
    OmRiffChunk riff_{};
};

TEST_F(WavReaderTest, ReadsFormatAndDataPastAnOddChunk) {
    std::string samples = "0123456789abcdef";
    ASSERT_EQ(open(riff(chunk("LIST", "odd") + chunk("fmt ", pcm_format(1, 2, 22050, 16)) +
                        chunk("data", samples))),
              0);
    ASSERT_NE(format_, nullptr);
    EXPECT_EQ(format_->format_tag, 1);
    EXPECT_EQ(format_->channels, 2);
    EXPECT_EQ(format_->samples_per_second, 22050u);
    EXPECT_EQ(format_->bits_per_sample, 16);
    EXPECT_EQ(format_->extra_size, 0);

    OmRiffChunk data{};
    ASSERT_EQ(OmWavSeekData(file_, &data, &riff_), 0);
    EXPECT_EQ(data.size, 16u);
    uint8_t buffer[16];
    uint32_t read = 0;
    ASSERT_EQ(OmWavRead(file_, 10, buffer, &data, &read), 0);
    EXPECT_EQ(read, 10u);
    EXPECT_EQ(data.size, 6u);
    ASSERT_EQ(OmWavRead(file_, 10, buffer + 10, &data, &read), 0);
    EXPECT_EQ(read, 6u) << "limited to what is left in the chunk";
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 16), samples);
    ASSERT_EQ(OmWavRead(file_, 10, buffer, &data, &read), 0);
    EXPECT_EQ(read, 0u);
}

TEST_F(WavReaderTest, ExtraFormatBytesFollowTheRecord) {
    std::string format = pcm_format(2, 1, 8000, 4) + le16(4) + "\x01\x02\x03\x04";
    ASSERT_EQ(open(riff(chunk("fmt ", format) + chunk("data", "xx"))), 0);
    EXPECT_EQ(format_->format_tag, 2);
    EXPECT_EQ(format_->extra_size, 4);
    EXPECT_EQ(std::memcmp(format_ + 1, "\x01\x02\x03\x04", 4), 0);
}

TEST_F(WavReaderTest, SizesFromTheFileAreBounded) {
    // The data chunk claims a megabyte; the file holds 4 bytes of it.
    ASSERT_EQ(open(riff(chunk("fmt ", pcm_format(1, 1, 8000, 8)) + chunk("data", "abcd", 1 << 20))),
              0);
    OmRiffChunk data{};
    ASSERT_EQ(OmWavSeekData(file_, &data, &riff_), 0);
    EXPECT_EQ(data.size, 4u);
    std::vector<uint8_t> buffer(64);
    uint32_t read = 0;
    EXPECT_EQ(OmWavRead(file_, 64, buffer.data(), &data, &read), 0);
    EXPECT_EQ(read, 4u);
}

TEST_F(WavReaderTest, FailuresLeaveNothingOpen) {
    const std::string good_format = chunk("fmt ", pcm_format(1, 1, 8000, 8));
    struct Row {
        const char* what;
        std::string contents;
        int32_t expected;
    };
    const Row rows[] = {
        {"not RIFF", "JUNK" + le32(4) + "WAVE", OM_WAV_ERROR_NOT_WAVE},
        {"not WAVE", riff(good_format, "AVI "), OM_WAV_ERROR_NOT_WAVE},
        {"too short", "RIFF", OM_WAV_ERROR_NOT_WAVE},
        {"no fmt", riff(chunk("data", "ab")), OM_WAV_ERROR_CHUNK_NOT_FOUND},
        {"fmt under 16", riff(chunk("fmt ", pcm_format(1, 1, 8000, 8).substr(0, 14))),
         OM_WAV_ERROR_NOT_WAVE},
        {"no extra size", riff(chunk("fmt ", pcm_format(2, 1, 8000, 4))),
         OM_WAV_ERROR_SHORT_FORMAT},
        {"extra beyond the chunk", riff(chunk("fmt ", pcm_format(2, 1, 8000, 4) + le16(500))),
         OM_WAV_ERROR_SHORT_FORMAT},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(open(row.contents), row.expected) << row.what;
        EXPECT_EQ(file_, nullptr) << row.what;
        EXPECT_EQ(format_, nullptr) << row.what;
    }
    EXPECT_EQ(OmWavOpen((dir_ / "missing.wav").c_str(), &file_, &format_, &riff_),
              OM_WAV_ERROR_OPEN);
    EXPECT_EQ(file_, nullptr);

    platform::fail_allocation_after(2); // the handle works, the format block fails
    EXPECT_EQ(open(riff(good_format)), OM_WAV_ERROR_NO_MEMORY);
    EXPECT_EQ(file_, nullptr);
}

TEST_F(WavReaderTest, MissingDataChunk) {
    ASSERT_EQ(open(riff(chunk("fmt ", pcm_format(1, 1, 8000, 8)))), 0);
    OmRiffChunk data{};
    EXPECT_EQ(OmWavSeekData(file_, &data, &riff_), -1);
}

} // namespace
