// The CD player over the track-file drive on the manual backend: the exact MCI strings, track
// audio scaled by the CD line, the ends of tracks and of the disc, data tracks, the tray, the
// foreground hook, and MetaMusic's "redbook" entries.
#include "tests/sound/music/music_test_support.h"

#include "platform/audio/cd_audio.h"
#include "platform/window/window.h"
#include "sound/music/meta_music.h"
#include "sound/music/win32_red_book_music.h"

#include <cmath>

namespace {

using namespace soundtest;
namespace mci = platform::audio::mci;
namespace mixer = platform::audio::mixer;

int16_t track_pattern(uint32_t track, uint32_t i) {
    return int16_t(pattern(i + track * 1000) / 2);
}

class RedBookMusic : public MusicTest {
protected:
    void SetUp() override {
        MusicTest::SetUp();
        mci::reset();
        Win32RedBookMusic_RegisterClasses(OmGetObjectManager());
        MetaMusic_RegisterClasses(OmGetObjectManager());
        ASSERT_GE(OmOSServiceAcquire(), 0);
        window_ = platform::create_window({"cdtest", "cdtest"});
        OmOSServiceGetShared()->Attach(window_, nullptr);
    }
    void TearDown() override {
        player_.reset();
        platform::set_headless_foreground(true);
        mci::reset();
        OmOSServiceGetShared()->Attach(nullptr, nullptr);
        platform::destroy_window(window_);
        OmOSServiceRelease();
        MusicTest::TearDown();
    }

    // cd/: 0.5 s, 0.3 s, a data track, 0.2 s.
    void make_disc() {
        dir_.write_file("cd/track01.wav",
                        mono16_wav(11025, [](uint32_t i) { return track_pattern(1, i); }));
        dir_.write_file("cd/track02.wav",
                        mono16_wav(6615, [](uint32_t i) { return track_pattern(2, i); }));
        dir_.write_file("cd/track03.dat", std::string(17640, 'd'));
        dir_.write_file("cd/track04.wav",
                        mono16_wav(4410, [](uint32_t i) { return track_pattern(4, i); }));
    }

    OmResult start() {
        EXPECT_EQ(OmCreate(CLSID_Win32RedBookMusic, IID_IMusic, player_.put()), OM_S_OK);
        return player_->Init(nullptr);
    }

    static void poll() { mci::poll_ticks().tick(true); }

    // Expects the mix to be track `track` from frame `first` at DirectSound volume `volume`.
    static void expect_track(const Mix& mix, uint32_t track, uint32_t first, int32_t volume = 0) {
        double gain = std::pow(10.0, volume / 2000.0);
        for (size_t i = 0; i < mix.frames(); ++i) {
            double want = track_pattern(track, uint32_t(first + i)) * gain;
            ASSERT_NEAR(mix.left(i), want, volume ? 1.5 : 0.0) << "frame " << i;
            ASSERT_EQ(mix.left(i), mix.right(i)) << "frame " << i;
        }
    }

    platform::Window* window_ = nullptr;
    ComRef<IMusic> player_;
};

using Strings = std::vector<std::string>;

TEST_F(RedBookMusic, TheExactStringsAndTheTracks) {
    make_disc();
    ASSERT_EQ(start(), OM_S_OK);
    EXPECT_EQ(mci::command_log(), Strings{"set cdaudio time format tmsf"});
    EXPECT_EQ(player_->GetCount(), 4);
    EXPECT_EQ(player_->GetSelection(), 0);
    mci::clear_command_log();
    EXPECT_EQ(player_->GetLength(), 500);
    EXPECT_EQ(mci::command_log(),
              (Strings{"set cdaudio time format milliseconds", "set cdaudio time format tmsf"}));
    EXPECT_EQ(player_->Select(4), REDBOOK_E_BAD_TRACK);
    EXPECT_EQ(player_->Select(-1), REDBOOK_E_BAD_TRACK);
    EXPECT_EQ(player_->Select(1), OM_S_OK);
    EXPECT_EQ(player_->GetSelection(), 1);
    EXPECT_EQ(player_->GetLength(), 300);
    EXPECT_EQ(player_->SetPosition(300), REDBOOK_E_BAD_POSITION);
    EXPECT_EQ(player_->SetPosition(120), OM_S_OK);
    EXPECT_EQ(player_->GetPosition(), 120);

    EXPECT_EQ(player_->SetVolume(1.5f), OM_E_FAIL);
    EXPECT_EQ(player_->SetVolume(-0.1f), OM_E_FAIL);
    EXPECT_FLOAT_EQ(player_->GetVolume(), 1.0f);

    mci::clear_command_log();
    EXPECT_EQ(player_->Stop(), OM_S_OK);
    player_.reset();
    EXPECT_EQ(mci::command_log(), (Strings{"stop cdaudio", "close cdaudio"}));
}

TEST_F(RedBookMusic, TrackAudioIsScaledByTheCdLine) {
    make_disc();
    mixer::set_cd_line_volume(mixer::VOLUME_MAX);
    ASSERT_EQ(start(), OM_S_OK);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    uint32_t flags = 0;
    EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, REDBOOK_STATUS_PLAYING);
    expect_track(render(rate / 10), 1, 0);
    ASSERT_EQ(player_->SetVolume(0.5f), OM_S_OK);
    EXPECT_EQ(mixer::cd_line_volume(), mixer::VOLUME_MAX / 2);
    expect_track(render(rate / 10), 1, rate / 10, -602);
    // The user's volume comes back when the player goes.
    player_.reset();
    EXPECT_EQ(mixer::cd_line_volume(), mixer::VOLUME_MAX);
}

TEST_F(RedBookMusic, EndsOfTracksAndOfTheDisc) {
    make_disc();
    mixer::set_cd_line_volume(mixer::VOLUME_MAX);
    ASSERT_EQ(start(), OM_S_OK);
    struct Row {
        int32_t track;
        uint32_t flags;
        uint32_t frames; // rendered before the poll
        int32_t track_after;
    } rows[] = {
        {0, 0, 12000, 0},                   // the track ends: it plays again
        {1, 1, 7000, 1},  {0, 2, 12000, 1}, // on through the disc: the next track
        {1, 3, 7000, 3},                    // past the data track
        {3, 2, 5000, 0},                    // the end of the disc: from the first track
    };
    for (const Row& row : rows) {
        ASSERT_EQ(player_->Stop(), OM_S_OK);
        ASSERT_EQ(player_->Select(row.track), OM_S_OK);
        ASSERT_EQ(player_->Play(row.flags), OM_S_OK);
        render(row.frames);
        poll();
        EXPECT_EQ(player_->GetSelection(), row.track_after) << row.track << "/" << row.flags;
        uint32_t flags = 0;
        EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
        EXPECT_EQ(flags, (row.flags & 3) | REDBOOK_STATUS_PLAYING) << row.track;
        expect_track(render(rate / 20), uint32_t(row.track_after + 1), 0);
    }
}

TEST_F(RedBookMusic, ADataTrackIsNotPlayedNorSkipped) {
    make_disc();
    ASSERT_EQ(start(), OM_S_OK);
    ASSERT_EQ(player_->Select(2), OM_S_OK);
    EXPECT_EQ(player_->Play(0), REDBOOK_E_NOT_AUDIO);
    uint32_t flags = 0;
    EXPECT_EQ(player_->GetStatus(&flags), REDBOOK_E_NOT_AUDIO);
    poll();
    EXPECT_EQ(player_->GetSelection(), 2);
}

TEST_F(RedBookMusic, LosingTheForegroundPausesAndReturningResumes) {
    make_disc();
    mixer::set_cd_line_volume(40000);
    ASSERT_EQ(start(), OM_S_OK);
    ASSERT_EQ(player_->SetVolume(0.5f), OM_S_OK);
    EXPECT_EQ(mixer::cd_line_volume(), 20000u);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    render(4410);
    platform::set_headless_foreground(false);
    poll();
    EXPECT_EQ(mixer::cd_line_volume(), 40000u);
    uint32_t flags = 0;
    EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, REDBOOK_STATUS_PAUSED);
    Mix silent = render(2205);
    EXPECT_EQ(silent.samples, std::vector<int16_t>(silent.samples.size(), 0));
    // The user turns the CD line up meanwhile; the game's factor applies to that on return.
    mixer::set_cd_line_volume(60000);
    platform::set_headless_foreground(true);
    poll();
    EXPECT_EQ(mixer::cd_line_volume(), 30000u);
    EXPECT_EQ(player_->GetPosition(), 200);
    expect_track(render(2205), 1, 4410, int32_t(2000.0 * std::log10(30000.0 / 65535.0)));
}

TEST_F(RedBookMusic, PlayInTheBackgroundWaitsForTheForeground) {
    make_disc();
    platform::set_headless_foreground(false);
    ASSERT_EQ(start(), OM_S_OK);
    ASSERT_EQ(player_->Select(1), OM_S_OK);
    EXPECT_EQ(player_->Play(0), OM_S_OK);
    uint32_t flags = 0;
    EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, REDBOOK_STATUS_STOPPED);
    platform::set_headless_foreground(true);
    poll();
    EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, REDBOOK_STATUS_PLAYING);
    EXPECT_EQ(player_->GetSelection(), 1);
}

TEST_F(RedBookMusic, PauseTogglesAndEjectTogglesTheTray) {
    make_disc();
    ASSERT_EQ(start(), OM_S_OK);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    render(2205);
    ASSERT_EQ(player_->Pause(), OM_S_OK);
    render(2205);
    EXPECT_EQ(player_->GetPosition(), 100);
    ASSERT_EQ(player_->Pause(), OM_S_OK);
    render(2205);
    EXPECT_EQ(player_->GetPosition(), 200);

    uint32_t flags = 0;
    ASSERT_EQ(player_->Eject(), OM_S_OK);
    EXPECT_EQ(player_->GetStatus(&flags), REDBOOK_E_TRAY_OPEN);
    EXPECT_EQ(player_->Play(0), OM_E_FAIL);
    ASSERT_EQ(player_->Eject(), OM_S_OK);
    EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, REDBOOK_STATUS_STOPPED);

    // The tray opened under a playing CD stops the player at the next poll.
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    mci::set_tray_open(true);
    poll();
    mci::set_tray_open(false);
    EXPECT_EQ(player_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, REDBOOK_STATUS_STOPPED);

    mci::set_not_ready(true);
    EXPECT_EQ(player_->GetStatus(&flags), REDBOOK_E_NOT_READY);
    mci::set_not_ready(false);
    mci::set_hardware_error(true);
    EXPECT_EQ(player_->Stop(), REDBOOK_E_HARDWARE);
    mci::set_hardware_error(false);
}

TEST_F(RedBookMusic, WithoutADriveNothingPlays) {
    ASSERT_EQ(start(), REDBOOK_E_NO_DRIVE);
    uint32_t flags = 0;
    EXPECT_EQ(player_->Play(0), REDBOOK_S_NOT_OPEN);
    EXPECT_EQ(player_->Stop(), REDBOOK_S_NOT_OPEN);
    EXPECT_EQ(player_->GetStatus(&flags), REDBOOK_S_NOT_OPEN);
    EXPECT_EQ(player_->GetCount(), 0);
    player_.reset();

    make_disc();
    mci::set_in_use(true);
    EXPECT_EQ(start(), REDBOOK_E_IN_USE);
    mci::set_in_use(false);
    player_.reset();
    // One player per process, initialised once.
    ASSERT_EQ(start(), OM_S_OK);
    ComRef<IMusic> second;
    ASSERT_EQ(OmCreate(CLSID_Win32RedBookMusic, IID_IMusic, second.put()), OM_S_OK);
    EXPECT_EQ(second.get(), player_.get());
    EXPECT_EQ(second->Init(nullptr), OM_E_FAIL);
}

TEST_F(RedBookMusic, MetaMusicInitialisesTheCdPlayerBeforeSelecting) {
    dir_.write_file("music.ini", "[0]\ntype=redbook\n[1]\ntype=redbook\n[2]\ntype=redbook\n"
                                 "track=3\n");
    ComRef<IMusic> music;
    ASSERT_EQ(OmCreate(CLSID_MetaMusic, IID_IMusic, music.put()), OM_S_OK);
    // No cd/ folder: no player is kept.
    ASSERT_EQ(music->Init(nullptr), OM_S_OK);
    EXPECT_EQ(music->Play(0), OM_E_FAIL);
    make_disc();
    EXPECT_EQ(music->Select(1), OM_S_OK);
    EXPECT_EQ(music->Play(0), OM_S_OK);
    EXPECT_EQ(music->GetLength(), 300);
    EXPECT_EQ(music->Select(2), OM_S_OK);
    EXPECT_EQ(music->GetLength(), 200);
    music.reset();
}

} // namespace
