// The CD-audio stand-in over track files: the track list, status items in both time formats,
// the string commands and their log, errors and their texts, the play range across tracks,
// and the mixer's CD line.
#include "platform/audio/audio_backend.h"
#include "platform/audio/cd_audio.h"
#include "platform/paths.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace platform::audio;

std::string le(uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// 16-bit mono at 22050 Hz, every sample `value`.
std::string wav(uint32_t frames, int16_t value) {
    std::string data;
    for (uint32_t i = 0; i < frames; ++i) data += le(uint16_t(value), 2);
    std::string fmt = le(1, 2) + le(1, 2) + le(22050, 4) + le(44100, 4) + le(2, 2) + le(16, 2);
    std::string body = "WAVEfmt " + le(16, 4) + fmt + "data" + le(uint32_t(data.size()), 4) + data;
    return "RIFF" + le(uint32_t(body.size()), 4) + body;
}

// A track file with the given "fmt " words and data bytes.
std::string track(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t align, uint16_t bits,
                  const std::string& data, uint32_t claimed) {
    std::string fmt = le(tag, 2) + le(channels, 2) + le(rate, 4) + le(rate * align, 4) +
                      le(align, 2) + le(bits, 2);
    std::string body = "WAVEfmt " + le(16, 4) + fmt + "data" + le(claimed, 4) + data;
    return "RIFF" + le(uint32_t(body.size()), 4) + body;
}

TEST(CdTrackLayout, HostileTrackFilesAreRefusedOrKeptWithinTheFile) {
    struct Row {
        const char* what;
        std::string file;
        bool reads;
        uint32_t data_bytes;
    };
    const std::string six(6, '\x11');
    const Row rows[] = {
        {"whole frames", track(1, 2, 44100, 4, 16, six, 6), true, 4},
        {"a data size past the end", track(1, 1, 22050, 2, 16, six, 0xFFFFFFF0u), true, 6},
        // Channels times bits overflowed an int before it was compared with the alignment.
        {"channels x bits beyond an int", track(1, 59650, 8000, 0xFFF7, 65527, six, 6), false, 0},
        {"no rate", track(1, 1, 0, 2, 16, six, 6), false, 0},
        {"not PCM", track(0x11, 1, 22050, 2, 16, six, 6), false, 0},
        {"cut in the header", std::string("RIFF\x04\0\0\0WAV", 11), false, 0},
    };
    for (const Row& row : rows) {
        std::istringstream in(row.file);
        mci::TrackLayout layout;
        EXPECT_EQ(mci::read_track_layout(in, layout), row.reads) << row.what;
        if (row.reads) EXPECT_EQ(layout.data_bytes, row.data_bytes) << row.what;
    }
}

class CdAudio : public ::testing::Test {
protected:
    void SetUp() override {
        mci::reset();
        platform::set_program_dir(dir_.path());
        set_backend(Backend::manual);
        ASSERT_EQ(DirectSoundCreate(nullptr, &output_, nullptr), DS_OK);
        mci::set_output(output_);
    }
    void TearDown() override {
        mci::reset();
        output_->Release();
        set_backend(Backend::sdl);
        platform::set_program_dir("");
    }

    // 1 s of 1000, a data track of 1 s, 0.5 s of 3000; and names that are no tracks.
    void make_disc() {
        dir_.write_file("cd/track01.wav", wav(22050, 1000));
        dir_.write_file("cd/Track02.bin", std::string(176400, 'x'));
        dir_.write_file("cd/track03.wav", wav(11025, 3000));
        dir_.write_file("cd/track00.wav", wav(100, 5));
        dir_.write_file("cd/readme.txt", "liner notes");
    }

    uint32_t status(uint32_t item, uint32_t track = 0) {
        uint32_t value = 0;
        EXPECT_EQ(mci::status(id_, item, track, &value), 0u) << item;
        return value;
    }

    std::vector<int16_t> render_left(uint32_t frames) {
        std::vector<int16_t> out(size_t(frames) * 2);
        EXPECT_EQ(render(out.data(), frames), frames);
        std::vector<int16_t> left(frames);
        for (uint32_t i = 0; i < frames; ++i) left[i] = out[2 * i];
        return left;
    }

    testsupport::TempDir dir_;
    IDirectSound* output_ = nullptr;
    mci::DeviceId id_ = 0;
};

TEST_F(CdAudio, TracksInBothTimeFormats) {
    make_disc();
    ASSERT_EQ(mci::open("cdaudio", &id_), 0u);
    EXPECT_EQ(status(mci::MCI_STATUS_NUMBER_OF_TRACKS), 3u);
    EXPECT_EQ(status(mci::MCI_CDA_STATUS_TYPE_TRACK, 1), mci::MCI_CDA_TRACK_AUDIO);
    EXPECT_EQ(status(mci::MCI_CDA_STATUS_TYPE_TRACK, 2), mci::MCI_CDA_TRACK_OTHER);
    EXPECT_EQ(status(mci::MCI_CDA_STATUS_TYPE_TRACK, 3), mci::MCI_CDA_TRACK_AUDIO);
    EXPECT_EQ(status(mci::MCI_STATUS_LENGTH, 1), 0x100u);    // 0:01:00 msf
    EXPECT_EQ(status(mci::MCI_STATUS_LENGTH, 3), 37u << 16); // 0:00:37 msf
    EXPECT_EQ(status(mci::MCI_STATUS_POSITION, 3), mci::make_tmsf(3, 0, 0, 0));
    EXPECT_EQ(mci::send_string("set cdaudio time format milliseconds"), 0u);
    EXPECT_EQ(status(mci::MCI_STATUS_LENGTH, 3), 500u);
    EXPECT_EQ(status(mci::MCI_STATUS_LENGTH), 2500u);
    EXPECT_EQ(status(mci::MCI_STATUS_POSITION, 3), 2000u);
    EXPECT_EQ(mci::seek(id_, 2100), 0u);
    EXPECT_EQ(status(mci::MCI_STATUS_CURRENT_TRACK), 3u);
    EXPECT_EQ(mci::send_string("set cdaudio time format tmsf"), 0u);
    EXPECT_EQ(status(mci::MCI_STATUS_POSITION), mci::make_tmsf(3, 0, 0, 7)); // 100 ms
    EXPECT_EQ(mci::tmsf_milliseconds(mci::make_tmsf(1, 1, 2, 15)), 62200u);
    EXPECT_EQ(status(mci::MCI_STATUS_MODE), mci::MCI_MODE_STOP);
    uint32_t value = 0;
    EXPECT_EQ(mci::status(id_, mci::MCI_CDA_STATUS_TYPE_TRACK, 4, &value), mci::MCIERR_OUTOFRANGE);
    EXPECT_EQ(mci::send_string("close cdaudio"), 0u);
    EXPECT_EQ(mci::command_log(),
              (std::vector<std::string>{"set cdaudio time format milliseconds",
                                        "set cdaudio time format tmsf", "close cdaudio"}));
}

TEST_F(CdAudio, ErrorsAndTheirTexts) {
    EXPECT_EQ(mci::open("cdaudio", &id_), mci::MCIERR_CANNOT_LOAD_DRIVER) << "no cd/ folder";
    make_disc();
    EXPECT_EQ(mci::open("waveaudio", &id_), mci::MCIERR_CANNOT_LOAD_DRIVER);
    mci::set_in_use(true);
    EXPECT_EQ(mci::open("cdaudio", &id_), mci::MCIERR_DEVICE_IN_USE);
    mci::set_in_use(false);
    uint32_t value = 0;
    EXPECT_EQ(mci::status(1, mci::MCI_STATUS_MODE, 0, &value), mci::MCIERR_INVALID_DEVICE_ID);
    ASSERT_EQ(mci::open("cdaudio", &id_), 0u);
    EXPECT_EQ(mci::send_string("play cdaudio"), mci::MCIERR_UNRECOGNIZED_COMMAND);
    uint32_t beyond = mci::make_tmsf(4, 0, 0, 0);
    EXPECT_EQ(mci::play(id_, &beyond, nullptr), mci::MCIERR_OUTOFRANGE);
    uint32_t data_track = mci::make_tmsf(2, 0, 0, 0);
    EXPECT_EQ(mci::play(id_, &data_track, nullptr), mci::MCIERR_HARDWARE);
    mci::set_tray_open(true);
    EXPECT_EQ(status(mci::MCI_STATUS_MODE), mci::MCI_MODE_OPEN);
    EXPECT_EQ(mci::play(id_, nullptr, nullptr), mci::MCIERR_DEVICE_NOT_READY);
    mci::set_tray_open(false);
    mci::set_not_ready(true);
    EXPECT_EQ(status(mci::MCI_STATUS_MODE), mci::MCI_MODE_NOT_READY);
    mci::set_not_ready(false);
    mci::set_hardware_error(true);
    EXPECT_EQ(mci::send_string("stop cdaudio"), mci::MCIERR_HARDWARE);
    mci::set_hardware_error(false);

    char text[128];
    for (uint32_t e :
         {mci::MCIERR_INVALID_DEVICE_ID, mci::MCIERR_UNRECOGNIZED_COMMAND, mci::MCIERR_HARDWARE,
          mci::MCIERR_CANNOT_LOAD_DRIVER, mci::MCIERR_DEVICE_NOT_READY, mci::MCIERR_OUTOFRANGE,
          mci::MCIERR_DEVICE_IN_USE}) {
        text[0] = '\0';
        EXPECT_TRUE(mci::error_text(e, text, sizeof text)) << e;
        EXPECT_GT(std::string(text).size(), 5u) << e;
    }
    EXPECT_FALSE(mci::error_text(9999, text, sizeof text));
}

TEST_F(CdAudio, APlayRangePassesOverDataTracksAndIsScaledByTheCdLine) {
    make_disc();
    ASSERT_EQ(mci::open("cdaudio", &id_), 0u);
    mixer::set_cd_line_volume(mixer::VOLUME_MAX);
    uint32_t from = mci::make_tmsf(1, 0, 0, 0);
    ASSERT_EQ(mci::play(id_, &from, nullptr), 0u);
    EXPECT_EQ(status(mci::MCI_STATUS_MODE), mci::MCI_MODE_PLAY);
    std::vector<int16_t> first = render_left(22050);
    EXPECT_EQ(first.front(), 1000);
    EXPECT_EQ(first.back(), 1000);
    // The next command finds track 1 over and goes on with track 3.
    EXPECT_EQ(status(mci::MCI_STATUS_CURRENT_TRACK), 3u);
    EXPECT_EQ(render_left(100).front(), 3000);

    // Half the line's range is about -6 dB.
    uint32_t handle = 0, line = 0, control = 0, channels = 0;
    ASSERT_EQ(mixer::open(0, &handle), 0u);
    EXPECT_EQ(mixer::line_by_component(handle, mixer::COMPONENTTYPE_SRC_LINE, &line),
              mixer::MIXERR_INVALLINE);
    ASSERT_EQ(mixer::line_by_component(handle, mixer::COMPONENTTYPE_SRC_COMPACTDISC, &line), 0u);
    ASSERT_EQ(mixer::control_by_type(handle, line, mixer::CONTROLTYPE_VOLUME, &control, &channels),
              0u);
    EXPECT_EQ(channels, 2u);
    uint32_t half[2] = {32768, 32768};
    ASSERT_EQ(mixer::set_values(handle, control, half, 2), 0u);
    uint32_t read[2] = {};
    ASSERT_EQ(mixer::get_values(handle, control, read, 2), 0u);
    EXPECT_EQ(read[0], 32768u);
    EXPECT_EQ(mixer::close(handle), 0u);
    EXPECT_NEAR(render_left(100).front(), 1500, 3);
    EXPECT_EQ(mixer::open(1, &handle), mixer::MMSYSERR_BADDEVICEID);

    // The disc's end: stopped there.
    render_left(11025);
    EXPECT_EQ(status(mci::MCI_STATUS_MODE), mci::MCI_MODE_STOP);
    EXPECT_EQ(render_left(100).front(), 0);
}

} // namespace
