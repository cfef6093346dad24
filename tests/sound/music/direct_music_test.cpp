// The DirectMusic player over the FluidSynth stand-in on the manual backend: notes are heard,
// the master volume law, Pause/Play and Stop/Play, tempo and looping, reverb on and off, and
// files that fail Init. MIDI fixtures are written by the test (480 ticks a quarter note at
// 120 bpm: 960 ticks a second).
#include "tests/sound/music/music_test_support.h"

#include "platform/audio/direct_music.h"
#include "sound/music/meta_music.h"
#include "sound/music/music_tempo.h"
#include "sound/music/win32_dx7_direct_music.h"

#include <cmath>
#include <cstdlib>

namespace {

using namespace soundtest;

struct Note {
    uint32_t tick;
    uint32_t length;
};

std::string var_length(uint32_t v) {
    std::string out(1, char(v & 0x7F));
    while (v >>= 7) out.insert(out.begin(), char(0x80 | (v & 0x7F)));
    return out;
}

std::string be(uint32_t v, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// A format-0 file: program 0 on channel 0, middle C for each note, the track ending at `end`.
std::string midi_file(const std::vector<Note>& notes, uint32_t end) {
    struct Event {
        uint32_t tick;
        std::string bytes;
    };
    std::vector<Event> events{{0, "\xFF\x51\x03" + be(500000, 3)}, {0, std::string("\xC0\x00", 2)}};
    for (const Note& n : notes) {
        events.push_back({n.tick, "\x90\x3C\x64"});
        events.push_back({n.tick + n.length, std::string("\x80\x3C\x00", 3)});
    }
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.tick < b.tick; });
    std::string track;
    uint32_t last = 0;
    for (const Event& e : events) {
        track += var_length(e.tick - last) + e.bytes;
        last = e.tick;
    }
    track += var_length(end - last) + std::string("\xFF\x2F\x00", 3);
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(480, 2) + "MTrk" +
           be(uint32_t(track.size()), 4) + track;
}

double rms(const Mix& mix, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += double(mix.left(i)) * mix.left(i);
    return std::sqrt(sum / double(to - from));
}

constexpr size_t ms(uint32_t milliseconds) {
    return size_t(milliseconds) * rate / 1000;
}

class DirectMusic : public MusicTest {
protected:
    void SetUp() override {
        MusicTest::SetUp();
        Win32Dx7DirectMusic_RegisterClasses(OmGetObjectManager());
        MetaMusic_RegisterClasses(OmGetObjectManager());
    }
    void TearDown() override {
        player_.reset();
        unsetenv("CORVEL_SOUNDFONT");
        MusicTest::TearDown();
    }

    OmResult start(const std::string& midi, const ComRef<IObjHash>& hash = {}) {
        dir_.write_file("music/song.mid", midi);
        EXPECT_EQ(OmCreate(CLSID_Win32Dx7DirectMusic, IID_IMusic, player_.put()), OM_S_OK);
        ComRef<IObjHash> s = hash ? hash : settings("music/song.mid");
        if (hash) hash->SetString("cpFilename", "music/song.mid");
        return player_->Init(s.get());
    }

    ComRef<IMusic> player_;
};

TEST_F(DirectMusic, OneNoteIsHeardAndVolumeFollowsTheMasterVolumeLaw) {
    std::string midi = midi_file({{0, 480}}, 960);
    ASSERT_EQ(start(midi), OM_S_OK);
    ASSERT_EQ(player_->SetVolume(1.0f), OM_S_OK);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    Mix loud = render(ms(400));
    double at_minus_100 = rms(loud, 0, ms(400));
    EXPECT_GT(at_minus_100, 100.0);
    EXPECT_FLOAT_EQ(player_->GetVolume(), 1.0f);
    EXPECT_EQ(OmDirectMusicMasterVolume(1.0f), -100);
    EXPECT_EQ(OmDirectMusicMasterVolume(0.5f), -1000);
    EXPECT_EQ(OmDirectMusicMasterVolume(0.0f), -10000);

    // The gain-1 reference: master volume 0 through a performance of the test's own.
    ASSERT_EQ(player_->Stop(), OM_S_OK);
    render(ms(100));
    ComRef<IDirectMusicPerformance> performance;
    ComRef<IDirectMusicLoader> loader;
    ComRef<IDirectMusicSegment> segment;
    ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance,
                                        performance.put_void()),
              0);
    ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicLoader, IID_IDirectMusicLoader,
                                        loader.put_void()),
              0);
    ComRef<IDirectSound> shared;
    ASSERT_EQ(
        OmLookupGlobalObject(IID_IDirectSound)->QueryInterface(IID_IDirectSound, shared.put_void()),
        0);
    ASSERT_EQ(performance->Init(nullptr, shared.get(), nullptr), 0);
    std::wstring directory(dir_.path().begin(), dir_.path().end());
    ASSERT_EQ(
        loader->SetSearchDirectory(GUID_DirectMusicAllTypes, (directory + L"/music").c_str(), 0),
        0);
    DMUS_OBJECTDESC desc{sizeof desc, DMUS_OBJ_FILENAME, {}, L"song.mid"};
    ASSERT_EQ(loader->GetObject(&desc, IID_IDirectMusicSegment, segment.put_void()), 0);
    // The player's reverb settings, so the two renders differ only in gain.
    ComRef<IDirectMusicPort> port;
    ASSERT_EQ(performance->AddPort(nullptr), 0);
    ASSERT_EQ(performance->PChannelInfo(0, port.put(), nullptr, nullptr), 0);
    ComRef<IKsControl> control;
    ASSERT_EQ(port->QueryInterface(IID_IKsControl, control.put_void()), 0);
    uint32_t effects = 0;
    KSPROPERTY property{GUID_DMUS_PROP_Effects, 0, KSPROPERTY_TYPE_SET};
    ASSERT_EQ(control->KsProperty(&property, sizeof property, &effects, sizeof effects, nullptr),
              0);
    DMUS_WAVES_REVERB_PARAMS reverb{0.0f, 10.0f, 1000.0f, 0.001f};
    property.Set = GUID_DMUS_PROP_WavesReverb;
    ASSERT_EQ(control->KsProperty(&property, sizeof property, &reverb, sizeof reverb, nullptr), 0);
    for (int32_t volume : {0, -1000}) {
        ASSERT_EQ(performance->SetGlobalParam(GUID_PerfMasterVolume, &volume, sizeof volume), 0);
        ASSERT_EQ(performance->PlaySegment(segment.get(), DMUS_SEGF_REFTIME, 0, nullptr), 0);
        double level = rms(render(ms(400)), 0, ms(400));
        double expected = std::pow(10.0, (-100.0 - volume) / 2000.0);
        EXPECT_NEAR(at_minus_100 / level, expected, expected * 0.01) << volume;
        ASSERT_EQ(performance->Stop(nullptr, nullptr, 0, 0), 0);
    }
    performance->CloseDown();
}

TEST_F(DirectMusic, StopRestartsAndPauseContinues) {
    // Notes at 0, 0.5 and 1.0 s, each an eighth of a second.
    ASSERT_EQ(start(midi_file({{0, 120}, {480, 120}, {960, 120}}, 1440)), OM_S_OK);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    Mix first = render(ms(200));
    EXPECT_GT(rms(first, 0, ms(200)), 100.0);
    ASSERT_EQ(player_->Stop(), OM_S_OK);
    Mix stopped = render(ms(100));
    EXPECT_EQ(rms(stopped, 0, ms(100)), 0.0);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    Mix again = render(ms(200));
    EXPECT_EQ(again.samples, first.samples);

    // On to 0.75 s, a pause, and the third note 0.25 s after Play.
    render(ms(550));
    ASSERT_EQ(player_->Pause(), OM_S_OK);
    EXPECT_EQ(rms(render(ms(300)), 0, ms(300)), 0.0);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    Mix resumed = render(ms(400));
    EXPECT_LT(rms(resumed, 0, ms(220)), 1.0);
    EXPECT_GT(rms(resumed, ms(260), ms(380)), 100.0);
}

TEST_F(DirectMusic, TempoAndLooping) {
    ASSERT_EQ(start(midi_file({{0, 120}, {480, 120}}, 960)), OM_S_OK);
    ComRef<IMusicTempo> tempo;
    ASSERT_EQ(player_->QueryInterface(IID_IMusicTempo, tempo.put_void()), OM_S_OK);
    EXPECT_FLOAT_EQ(tempo->GetTempo(), 1.0f);
    ASSERT_EQ(tempo->SetTempo(2.0f), OM_S_OK);
    EXPECT_FLOAT_EQ(tempo->GetTempo(), 2.0f);
    ASSERT_EQ(tempo->SetGrooveLevel(-5), OM_S_OK);
    EXPECT_EQ(tempo->GetGrooveLevel(), -5);
    // Twice as fast: the second note at 0.25 s, the loop's first note again at 0.5 s.
    ASSERT_EQ(player_->Play(1), OM_S_OK);
    Mix mix = render(ms(700));
    // An onset: the level jumps over what the previous note's release left.
    auto onset = [](const Mix& m, uint32_t at) {
        return rms(m, ms(at + 10), ms(at + 50)) / (rms(m, ms(at - 50), ms(at - 10)) + 1.0);
    };
    EXPECT_GT(onset(mix, 250), 3.0);
    EXPECT_GT(onset(mix, 500), 3.0);
    EXPECT_LT(onset(mix, 375), 1.0);

    // Without the loop flag the file plays once.
    ASSERT_EQ(tempo->SetTempo(1.0f), OM_S_OK);
    ASSERT_EQ(player_->Play(0), OM_S_OK);
    Mix once = render(ms(1500));
    EXPECT_GT(onset(once, 500), 3.0);
    EXPECT_LT(onset(once, 1000), 1.0);
}

TEST_F(DirectMusic, ReverbLeavesATailAndDefaultsFillMissingValues) {
    std::string midi = midi_file({{0, 60}}, 960);
    auto tail_of = [&](const char* ini) {
        dir_.write_file("music.ini", ini);
        dir_.write_file("music/song.mid", midi);
        ComRef<IMusic> music;
        EXPECT_EQ(OmCreate(CLSID_MetaMusic, IID_IMusic, music.put()), OM_S_OK);
        EXPECT_EQ(music->Init(nullptr), OM_S_OK);
        EXPECT_EQ(music->Play(0), OM_S_OK);
        Mix mix = render(ms(900));
        music->Stop();
        render(ms(100));
        return mix;
    };
    Mix dry = tail_of("[0]\ntype=dmusic\nfilename=music/song.mid\nnReverb=0\n");
    Mix wet = tail_of("[0]\ntype=dmusic\nfilename=music/song.mid\nnReverb=1\n");
    Mix wet_explicit = tail_of("[0]\ntype=dmusic\nfilename=music/song.mid\nnReverb=1\n"
                               "rInGain=0\nrReverbMix=10\nrReverbTime=1000\n"
                               "rHighFreqRTRatio=0.001\n");
    // The note's own release is over by 0.7 s; the reverb still rings.
    EXPECT_EQ(rms(dry, ms(700), ms(900)), 0.0);
    EXPECT_GT(rms(wet, ms(700), ms(900)), 0.1);
    EXPECT_EQ(wet.samples, wet_explicit.samples);
}

TEST_F(DirectMusic, FilesAndSoundfontsThatFailInit) {
    dir_.write_file("music/text.mid", "not a MIDI file at all, just words");
    dir_.write_file("music/format2.mid", "MThd" + be(6, 4) + be(2, 2) + be(1, 2) + be(480, 2) +
                                             "MTrk" + be(4, 4) +
                                             std::string("\x00\xFF\x2F\x00", 4));
    struct Row {
        const char* filename;
    } rows[] = {{nullptr}, {"music/missing.mid"}, {"music/text.mid"}, {"music/format2.mid"}};
    for (const Row& row : rows) {
        ComRef<IMusic> player;
        ASSERT_EQ(OmCreate(CLSID_Win32Dx7DirectMusic, IID_IMusic, player.put()), OM_S_OK);
        EXPECT_LT(player->Init(settings(row.filename).get()), 0)
            << (row.filename ? row.filename : "(none)");
        EXPECT_EQ(player->Play(0), OM_E_FAIL);
        ComRef<IMusicTempo> tempo;
        ASSERT_EQ(player->QueryInterface(IID_IMusicTempo, tempo.put_void()), OM_S_OK);
        EXPECT_EQ(tempo->SetTempo(2.0f), OM_E_FAIL);
    }
    setenv("CORVEL_SOUNDFONT", (dir_ / "none.sf2").c_str(), 1);
    EXPECT_EQ(start(midi_file({{0, 480}}, 960)), DMUS_E_NO_SOUNDFONT);
    EXPECT_EQ(platform::audio::live_buffer_count(), 0u);
}

} // namespace
