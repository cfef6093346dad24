// The streamed player on the manual backend: the file looping without a gap, Stop and Pause,
// tempo and volume, refused files, and Stop against the real-clock worker.
#include "tests/sound/music/music_test_support.h"

#include "platform/audio/tick_source.h"
#include "sound/music/music_tempo.h"
#include "sound/music/win32_dx5_streamed_music.h"

#include <cmath>

namespace {

using namespace soundtest;

class StreamedMusic : public MusicTest {
protected:
    void SetUp() override {
        MusicTest::SetUp();
        Win32Dx5StreamedMusic_RegisterClasses(OmGetObjectManager());
    }
    void TearDown() override {
        player_.reset();
        MusicTest::TearDown();
    }

    // The player over music/loop.wav of `frames` samples of the pattern.
    void start(uint32_t frames) {
        dir_.write_file("music/loop.wav", mono16_wav(frames, pattern));
        ASSERT_EQ(OmCreate(CLSID_Win32Dx5StreamedMusic, IID_IMusic, player_.put()), OM_S_OK);
        ASSERT_EQ(player_->Init(settings("music/loop.wav").get()), OM_S_OK);
        ASSERT_EQ(platform::audio::render_rate(), rate);
    }

    // Expects frames [0, n) of the mix to be the file tiled from `first`, `step` file samples
    // per output frame, on both sides.
    static void expect_tiled(const Mix& mix, uint32_t file_frames, uint64_t first,
                             uint32_t step = 1) {
        for (size_t i = 0; i < mix.frames(); ++i) {
            int16_t want = pattern(uint32_t((first + i * step) % file_frames));
            ASSERT_EQ(mix.left(i), want) << "frame " << i;
            ASSERT_EQ(mix.right(i), want) << "frame " << i;
        }
    }

    ComRef<IMusic> player_;
};

TEST_F(StreamedMusic, AShortFileLoopsWithoutAGap) {
    start(5000); // under a quarter second
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    // Five seconds: both halves are refilled twice, the file wraps mid-region every time.
    expect_tiled(render(5 * rate), 5000, 0);
}

TEST_F(StreamedMusic, StopRestartsAtTheFirstSampleAndPauseGoesOn) {
    start(30000); // longer than a half: each refill reads on through the file
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    render(rate + rate / 2); // the worker has refilled the first half with later data
    ASSERT_EQ(player_->Stop(), OM_S_OK);
    Mix silent = render(rate / 10);
    EXPECT_EQ(silent.samples, std::vector<int16_t>(silent.samples.size(), 0));
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    expect_tiled(render(rate), 30000, 0);

    ASSERT_EQ(player_->Pause(), OM_S_OK);
    render(rate / 5);
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    expect_tiled(render(2 * rate), 30000, rate);
}

TEST_F(StreamedMusic, TempoTwoPlaysTwiceAsFast) {
    start(5000);
    ComRef<IMusicTempo> tempo;
    ASSERT_EQ(player_->QueryInterface(IID_IMusicTempo, tempo.put_void()), OM_S_OK);
    EXPECT_EQ(tempo->SetTempo(2.0f), OM_S_OK);
    EXPECT_FLOAT_EQ(tempo->GetTempo(), 2.0f);
    EXPECT_EQ(tempo->SetGrooveLevel(3), OM_E_FAIL);
    EXPECT_EQ(tempo->GetGrooveLevel(), 0);
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    expect_tiled(render(3 * rate), 5000, 0, 2);
}

TEST_F(StreamedMusic, HalfVolumeIsMinus599) {
    start(5000);
    ASSERT_EQ(player_->SetVolume(0.5f), OM_S_OK);
    EXPECT_FLOAT_EQ(player_->GetVolume(), 0.5f);
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    Mix mix = render(rate / 2);
    const double gain = std::pow(10.0, -599.0 / 2000.0);
    for (size_t i = 0; i < mix.frames(); ++i)
        ASSERT_NEAR(mix.left(i), pattern(uint32_t(i % 5000)) * gain, 1.5) << i;
}

TEST_F(StreamedMusic, TheSimpleOperationsAnswerAsAPlayerOfOneEntry) {
    start(5000);
    uint32_t flags = 0;
    EXPECT_EQ(player_->GetCount(), 1);
    EXPECT_EQ(player_->Select(0), OM_S_OK);
    EXPECT_EQ(player_->Select(1), OM_E_FAIL);
    EXPECT_EQ(player_->GetSelection(), 0);
    EXPECT_EQ(player_->GetStatus(&flags), OM_E_FAIL);
    EXPECT_EQ(player_->SetPosition(0), OM_E_FAIL);
    EXPECT_EQ(player_->GetLength(), 0);
    EXPECT_EQ(player_->GetPosition(), 0);
    EXPECT_EQ(player_->Init(settings("elsewhere.wav").get()), OM_S_OK); // a second Init
}

TEST_F(StreamedMusic, BadSettingsAndFilesFailInit) {
    std::string absolute = dir_ / "abs.wav";
    dir_.write_file("abs.wav", mono16_wav(100, pattern));
    dir_.write_file("empty.wav", mono16_wav(0, pattern));
    dir_.write_file("text.wav", "not a wave file");
    struct Row {
        const char* filename;
        OmResult result;
    } rows[] = {
        {nullptr, OM_E_FAIL},    {"missing.wav", OM_E_FAIL},  {"empty.wav", OM_E_FAIL},
        {"text.wav", OM_E_FAIL}, {absolute.c_str(), OM_S_OK},
    };
    for (const Row& row : rows) {
        ComRef<IMusic> player;
        ASSERT_EQ(OmCreate(CLSID_Win32Dx5StreamedMusic, IID_IMusic, player.put()), OM_S_OK);
        EXPECT_EQ(player->Play(0), OM_E_FAIL);
        EXPECT_EQ(player->SetVolume(0.5f), OM_E_FAIL);
        EXPECT_EQ(player->Init(settings(row.filename).get()), row.result)
            << (row.filename ? row.filename : "(none)");
    }
    EXPECT_EQ(platform::audio::live_buffer_count(), 0u);
}

// Under ThreadSanitizer (CORVEL_SANITIZE=thread) this must stay clean: Stop, Pause and Play
// on the main thread while the worker refills on the real clock and SDL's dummy device mixes.
TEST_F(StreamedMusic, StopAgainstTheRunningWorker) {
    platform::audio::set_backend(platform::audio::Backend::sdl);
    dir_.write_file("music/loop.wav", mono16_wav(3000, pattern, 88200));
    ASSERT_EQ(OmCreate(CLSID_Win32Dx5StreamedMusic, IID_IMusic, player_.put()), OM_S_OK);
    ASSERT_EQ(player_->Init(settings("music/loop.wav").get()), OM_S_OK);
    ComRef<IMusicTempo> tempo;
    ASSERT_EQ(player_->QueryInterface(IID_IMusicTempo, tempo.put_void()), OM_S_OK);
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    platform::audio::TickSource& ticks = platform::audio::service_ticks();
    uint64_t end = ticks.count() + 4;
    for (uint32_t round = 0; ticks.count() < end; ++round) {
        switch (round % 4) {
        case 0: player_->Stop(); break;
        case 1: player_->Play(1); break;
        case 2: tempo->SetTempo(float(1 + round % 3)); break;
        case 3: player_->SetVolume(float(round % 5) / 5.0f); break;
        }
    }
    EXPECT_EQ(player_->Stop(), OM_S_OK);
    player_.reset();
}

} // namespace
