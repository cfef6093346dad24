// The capture backend: the WAV file follows the platform clock frame by frame, holds the
// manual mix (converted from the output format), silence while no sound object lives, and
// the service ticks are pumped every 100 ms of mixed audio.
#include "platform/audio/audio_backend.h"
#include "platform/audio/capture.h"
#include "platform/audio/dsound.h"
#include "platform/audio/tick_source.h"
#include "platform/clock.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using namespace platform::audio;

WAVEFORMATEX pcm(uint16_t channels, uint16_t bits, uint32_t hz) {
    WAVEFORMATEX f{};
    f.format_tag = WAVE_FORMAT_PCM;
    f.channels = channels;
    f.bits_per_sample = bits;
    f.block_align = uint16_t(channels * bits / 8);
    f.samples_per_second = hz;
    f.average_bytes_per_second = hz * f.block_align;
    return f;
}

struct WavFile {
    uint32_t riff = 0, data = 0, rate = 0;
    uint16_t channels = 0, bits = 0;
    std::vector<int16_t> samples;
};

WavFile read_wav(const std::string& bytes) {
    WavFile w;
    if (bytes.size() < 44) return w;
    auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, bytes.data() + at, 4);
        return v;
    };
    auto u16 = [&](size_t at) {
        uint16_t v;
        std::memcpy(&v, bytes.data() + at, 2);
        return v;
    };
    w.riff = u32(4);
    w.channels = u16(22);
    w.rate = u32(24);
    w.bits = u16(34);
    w.data = u32(40);
    w.samples.resize((bytes.size() - 44) / 2);
    std::memcpy(w.samples.data(), bytes.data() + 44, w.samples.size() * 2);
    return w;
}

class CaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::use_virtual_clock(true);
        platform::set_virtual_time(1000);
    }
    void TearDown() override {
        stop_capture();
        release();
        platform::use_virtual_clock(false);
        set_backend(Backend::sdl);
    }
    void release() {
        for (IDirectSoundBuffer* b : buffers_) b->Release();
        buffers_.clear();
        if (ds_) ds_->Release();
        ds_ = nullptr;
    }
    // A sound object in `out` format playing a looping buffer of constant samples.
    void play_constant(const WAVEFORMATEX& out, int16_t value) {
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds_, nullptr), DS_OK);
        ds_->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
        DSBUFFERDESC primary{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
        IDirectSoundBuffer* p = nullptr;
        ASSERT_EQ(ds_->CreateSoundBuffer(&primary, &p, nullptr), DS_OK);
        buffers_.push_back(p);
        WAVEFORMATEX f = out;
        ASSERT_EQ(p->SetFormat(&f), DS_OK);
        WAVEFORMATEX mono = pcm(1, 16, 22050);
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, 2205 * 2, 0, &mono, {}};
        IDirectSoundBuffer* b = nullptr;
        ASSERT_EQ(ds_->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        buffers_.push_back(b);
        void *p1, *p2;
        uint32_t n1, n2;
        ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        for (uint32_t i = 0; i < n1 / 2; ++i) static_cast<int16_t*>(p1)[i] = value;
        b->Unlock(p1, n1, p2, n2);
        ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    }
    testsupport::TempDir dir_;
    IDirectSound* ds_ = nullptr;
    std::vector<IDirectSoundBuffer*> buffers_;
};

TEST_F(CaptureTest, TheFileFollowsTheClockWithSilenceBeforeTheSoundAndTheMixAfter) {
    const std::string path = dir_ / "capture.wav";
    ASSERT_TRUE(start_capture(path));
    EXPECT_EQ(backend(), Backend::manual);
    platform::set_virtual_frame_step(20);
    for (int i = 0; i < 10; ++i) platform::note_frame_shown(); // 200 ms without a device
    EXPECT_EQ(captured_frames(), 4410u);
    play_constant(pcm(2, 16, 22050), 1000);
    const uint64_t ticks = service_ticks().count();
    for (int i = 0; i < 25; ++i) platform::note_frame_shown(); // 500 ms more
    EXPECT_EQ(captured_frames(), 4410u + 11025u);
    EXPECT_EQ(service_ticks().count() - ticks, 5u); // one tick per 100 ms mixed
    // The header is right while the capture runs.
    WavFile w = read_wav(dir_.read_file("capture.wav"));
    EXPECT_EQ(w.rate, 22050u);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.bits, 16);
    EXPECT_EQ(w.data, (4410u + 11025u) * 4);
    EXPECT_EQ(w.riff, w.data + 36);
    ASSERT_EQ(w.samples.size(), size_t(4410 + 11025) * 2);
    for (size_t i = 0; i < 4410 * 2; ++i) ASSERT_EQ(w.samples[i], 0) << i;
    for (size_t i = 4410 * 2; i < w.samples.size(); ++i) ASSERT_EQ(w.samples[i], 1000) << i;
    // The sound object gone: silence again; stopping ends the capture.
    release();
    platform::note_frame_shown();
    stop_capture();
    platform::note_frame_shown();
    w = read_wav(dir_.read_file("capture.wav"));
    ASSERT_EQ(w.samples.size(), size_t(4410 + 11025 + 441) * 2);
    // One line per shown frame while the capture ran: the frames captured by then.
    const std::string marks = dir_.read_file("capture.wav.frames");
    EXPECT_EQ(std::count(marks.begin(), marks.end(), '\n'), 36);
    EXPECT_EQ(marks.substr(0, 4), "441\n");
    EXPECT_EQ(marks.substr(marks.size() - 6), "15876\n");
    EXPECT_EQ(w.samples.back(), 0);
    EXPECT_FALSE(capture_active());
}

TEST_F(CaptureTest, OtherOutputFormatsAreConvertedTo16BitStereoAt22050) {
    const struct {
        WAVEFORMATEX format;
        int16_t expected;
    } rows[] = {
        {pcm(1, 16, 22050), 1000},
        {pcm(2, 8, 22050), int16_t(((1000 >> 8) + 0) << 8)}, // 8-bit keeps the high byte
        {pcm(2, 16, 44100), 1000},
        {pcm(1, 16, 11025), 1000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.format.samples_per_second);
        const std::string path = dir_ / "formats.wav";
        ASSERT_TRUE(start_capture(path));
        play_constant(row.format, 1000);
        platform::advance_virtual_clock(300);
        capture_to_now();
        stop_capture();
        const WavFile w = read_wav(dir_.read_file("formats.wav"));
        ASSERT_EQ(w.samples.size(), size_t(6615) * 2);
        // Past the first frames (interpolation from rest), every sample holds the value.
        for (size_t i = 200; i < w.samples.size(); ++i)
            ASSERT_NEAR(w.samples[i], row.expected, 256) << i;
        release();
    }
}

TEST_F(CaptureTest, AFileThatCannotBeMadeStartsNoCapture) {
    EXPECT_FALSE(start_capture(dir_ / "missing/folder/capture.wav"));
    EXPECT_FALSE(capture_active());
    platform::note_frame_shown();
    EXPECT_EQ(captured_frames(), 0u);
}

} // namespace
