// The demo sound set heard through the real road (SoundSet over the streaming device on the
// manual backend, listener on "Device", the platform's virtual clock): engine pitch and level
// follow the throttle (Param1), guns burst while held, an explosion is heard to its end,
// positional sounds land on their side, the menu limiter fades its sounds, and a busy combat
// mix does not clip.
#include "framework/platform/os_service.h"
#include "platform/audio/audio_backend.h"
#include "platform/audio/cd_audio.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "platform/window/window.h"
#include "sound/base/sound.h"
#include "sound/base/sound_control.h"
#include "sound/base/sound_params.h"
#include "sound/base/sound_play_desc.h"
#include "sound/music/music.h"
#include "sound/set/sound_set.h"
#include "tests/tools/demodata/demodata_fixture.h"

#include <cmath>

namespace demodatatest {
namespace {

constexpr uint32_t rate = 22050;

struct Stereo {
    std::vector<int16_t> samples; // interleaved left, right
    size_t frames() const { return samples.size() / 2; }
    double rms(int side, double from_s, double to_s) const {
        const size_t a = size_t(from_s * rate), b = std::min(frames(), size_t(to_s * rate));
        double sum = 0;
        for (size_t i = a; i < b; ++i) sum += double(samples[2 * i + side]) * samples[2 * i + side];
        return b > a ? std::sqrt(sum / double(b - a)) : 0.0;
    }
    // Crossings of +-threshold on one side per second (a hysteresis keeps noise out).
    double crossing_rate(int side, double from_s, double to_s, int threshold) const {
        const size_t a = size_t(from_s * rate), b = std::min(frames(), size_t(to_s * rate));
        int state = 0, count = 0;
        for (size_t i = a; i < b; ++i) {
            const int s = samples[2 * i + side];
            const int now = s > threshold ? 1 : s < -threshold ? -1 : state;
            if (state != 0 && now != state) ++count;
            state = now;
        }
        return double(count) / (to_s - from_s);
    }
};

class DemoSoundHeard : public DemoDataTest {
protected:
    void SetUp() override {
        DemoDataTest::SetUp();
        platform::use_virtual_clock(true);
        platform::set_virtual_time(5000);
        platform::audio::set_backend(platform::audio::Backend::manual);
        platform::set_program_dir(program_dir());
        ASSERT_EQ(OmCreate(CLSID_SoundDevice, IID_ISoundControl, device_.put()), OM_S_OK);
        ASSERT_EQ(device_->Init(nullptr, 3), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_SoundSet, IID_ISoundSet, set_.put()), OM_S_OK);
        ASSERT_EQ(set_->Init(device_.get(), 3), OM_S_OK);
        ASSERT_EQ(set_->Load("sound/"), OM_S_OK);
        // The listener at the origin looking along +z, up +y, right +x, as the front end
        // writes a camera frame (right and up rows negated).
        const float rows[12] = {-1, 0, 0, 0, -1, 0, 0, 0, 1, 0, 0, 0};
        ASSERT_EQ(set_->SetChannelParams("Device", rows, nullptr), OM_S_OK);
        set_->Update();
    }
    void TearDown() override {
        set_.reset();
        device_.reset();
        platform::set_program_dir("");
        platform::audio::set_backend(platform::audio::Backend::sdl);
        platform::use_virtual_clock(false);
        DemoDataTest::TearDown();
    }

    // A play description placing a sound at (x, 0, z) with the listener's orientation.
    static SoundPlayDesc at(float x, float z) {
        SoundPlayDesc d{};
        d.flags = SOUND_DESC_FRAME | SOUND_DESC_VOLUME;
        d.volume = 1.0f;
        const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, x, 0, z};
        std::copy(std::begin(frame), std::end(frame), d.frame);
        return d;
    }
    static void place(ISound* sound, float x, float z) {
        const float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, x, 0, z};
        sound->Set3D(frame, nullptr);
    }

    // Runs the game's frame: 50 ms of mixing, the clock moved, then the set's Update; `each`
    // runs before every frame.
    template <class Each>
    Stereo run(double seconds, Each each) {
        Stereo out;
        const uint32_t frame = rate / 20;
        for (uint32_t done = 0; done < uint32_t(seconds * rate); done += frame) {
            each(done / double(rate));
            std::vector<int16_t> chunk(frame * 2);
            EXPECT_EQ(platform::audio::render(chunk.data(), frame), frame);
            out.samples.insert(out.samples.end(), chunk.begin(), chunk.end());
            platform::advance_virtual_clock(50);
            EXPECT_EQ(set_->Update(), OM_S_OK);
        }
        return out;
    }
    Stereo run(double seconds) {
        return run(seconds, [](double) {});
    }
    ComRef<ISound> instance(const char* name) {
        ComRef<ISound> sound;
        EXPECT_EQ(set_->CreateSoundInstance(name, nullptr, sound.put()), OM_S_OK) << name;
        return sound;
    }

    ComRef<ISoundControl> device_;
    ComRef<ISoundSet> set_;
};

TEST_F(DemoSoundHeard, EnginePitchAndLevelFollowTheThrottle) {
    // As a plane does: frequency 22000, 3D flag, volume 1, played looping, then every frame
    // Param1 = throttle.
    ComRef<ISound> engine = instance("Engine.Camel");
    ASSERT_TRUE(engine);
    engine->SetParamInt(SOUND_INT_FREQUENCY, 22000);
    engine->SetParamInt(SOUND_INT_3D, 1);
    engine->SetParamReal(SOUND_REAL_VOLUME, 1.0f);
    place(engine.get(), 0, 20);
    ASSERT_EQ(engine->Play(1), OM_S_OK);
    double crossings[3], level[3];
    const float throttles[3] = {0.0f, 0.5f, 1.0f};
    for (int i = 0; i < 3; ++i) {
        const Stereo s = run(0.6, [&](double) {
            engine->SetParamReal(SOUND_REAL_PARAM1, throttles[i]);
            place(engine.get(), 0, 20);
        });
        crossings[i] = s.crossing_rate(0, 0.2, 0.6, 500);
        level[i] = s.rms(0, 0.2, 0.6);
        ASSERT_GT(level[i], 500.0) << throttles[i];
    }
    // Frequency = original x (0.7 + 0.6 x throttle): 0.7, 1.0, 1.3.
    EXPECT_NEAR(crossings[1] / crossings[0], 1.0 / 0.7, 0.1);
    EXPECT_NEAR(crossings[2] / crossings[0], 1.3 / 0.7, 0.12);
    // Volume = 0.6 + 0.4 x throttle.
    EXPECT_NEAR(level[2] / level[0], 1.0 / 0.6, 0.15);
    engine->Stop();
}

TEST_F(DemoSoundHeard, GunsBurstWhileFireIsHeldAndStopWithIt) {
    ComRef<ISound> gun = instance("Gun.Vickers");
    ASSERT_TRUE(gun);
    place(gun.get(), 0, 10);
    ASSERT_EQ(gun->Play(1), OM_S_OK);
    const Stereo held = run(1.0);
    gun->Stop();
    const Stereo after = run(0.3);
    // Shots: rises of the 5 ms envelope above a third of the loudest.
    std::vector<double> envelope;
    for (size_t i = 0; i + 110 <= held.frames(); i += 110)
        envelope.push_back(held.rms(0, i / double(rate), (i + 110) / double(rate)));
    const double top = *std::max_element(envelope.begin(), envelope.end());
    int shots = 0;
    for (size_t i = 1; i < envelope.size(); ++i)
        if (envelope[i] > top / 3 && envelope[i - 1] <= top / 3) ++shots;
    EXPECT_GE(shots, 9); // 10 a second
    EXPECT_LE(shots, 11);
    EXPECT_LT(after.rms(0, 0.1, 0.3), 1.0);
}

TEST_F(DemoSoundHeard, AnExplosionIsHeardToItsLastSecondAndThenStops) {
    const SoundPlayDesc d = at(0, 50);
    ASSERT_EQ(set_->PlaySoundWith("Explosion.Plane", &d, 0), OM_S_OK);
    const Stereo s = run(3.2);
    EXPECT_GT(s.rms(0, 0.0, 0.3), 2000.0);
    EXPECT_GT(s.rms(0, 2.0, 2.3), 150.0); // the tail of a 2.6 s sample
    EXPECT_EQ(s.rms(0, 2.7, 3.2), 0.0);
}

TEST_F(DemoSoundHeard, APositionalSourceIsLouderOnItsSide) {
    // The listener's right is the first row the set was given (-x here): a source 300 units
    // along it is louder on the right, the mirrored one on the left.
    for (const float x : {-300.0f, 300.0f}) {
        SCOPED_TRACE(x);
        ComRef<ISound> flak = instance("Gun.Flak");
        ASSERT_TRUE(flak);
        place(flak.get(), x, 0);
        ASSERT_EQ(flak->Play(1), OM_S_OK);
        const Stereo s = run(1.0, [&](double) { place(flak.get(), x, 0); });
        flak->Stop();
        run(0.2);
        const double left = s.rms(0, 0.1, 1.0), right = s.rms(1, 0.1, 1.0);
        ASSERT_GT(left + right, 200.0);
        if (x < 0)
            EXPECT_GT(right, left * 1.5);
        else
            EXPECT_GT(left, right * 1.5);
    }
}

TEST_F(DemoSoundHeard, TheMenuLimiterFadesTheMenuSounds) {
    ASSERT_EQ(set_->PlaySound("Menu.Click", 0), OM_S_OK);
    const Stereo full = run(0.15);
    ASSERT_EQ(set_->SetChannelVolume("InMenu", 0.5f), OM_S_OK);
    ASSERT_EQ(set_->PlaySound("Menu.Click", 0), OM_S_OK);
    const Stereo half = run(0.15);
    ASSERT_GT(full.rms(0, 0, 0.09), 1000.0);
    EXPECT_NEAR(half.rms(0, 0, 0.09) / full.rms(0, 0, 0.09), 0.5, 0.02);
    // The focus tick is heard in the first 20 ms.
    ASSERT_EQ(set_->PlaySound("Menu.Focus", 0), OM_S_OK);
    EXPECT_GT(run(0.05).rms(0, 0, 0.02), 300.0);
}

TEST_F(DemoSoundHeard, ABusyCombatMixDoesNotClip) {
    // Eight engines around the listener at high throttles, guns, explosions and hits close by.
    std::vector<ComRef<ISound>> loops;
    const char* engines[] = {"Engine.Camel",    "Engine.CamelAI", "Engine.Fokker",
                             "Engine.FokkerAI", "Engine.Bomber",  "Engine.BomberAI"};
    for (int i = 0; i < 8; ++i) {
        ComRef<ISound> e = instance(engines[i % 6]);
        ASSERT_TRUE(e);
        place(e.get(), float(i * 10 - 40), 15);
        e->SetParamReal(SOUND_REAL_PARAM1, 0.65f + 0.05f * float(i));
        e->Play(1);
        loops.push_back(std::move(e));
    }
    for (const char* gun : {"Gun.Vickers", "Gun.Spandau"}) {
        ComRef<ISound> g = instance(gun);
        place(g.get(), 0, 5);
        g->Play(1);
        loops.push_back(std::move(g));
    }
    // The limiter weighs what plays at the set's Update: the frame in which all of these start
    // together passes unscaled. Measured is the mix once it has taken hold, with explosions
    // and hits starting all along.
    run(0.05);
    const Stereo s = run(3.0, [&](double t) {
        const int step = int(t * 20);
        if (step % 10 == 0) {
            const SoundPlayDesc d = at(5, 5);
            set_->PlaySoundWith("Explosion.Bomb", &d, 0);
        }
        if (step % 3 == 0) {
            const SoundPlayDesc d = at(-3, 3);
            set_->PlaySoundWith("Hit.Metal", &d, 0);
        }
    });
    size_t run_length = 0, longest = 0;
    for (int16_t v : s.samples) {
        run_length = (v >= 32767 || v <= -32767) ? run_length + 1 : 0;
        longest = std::max(longest, run_length);
    }
    EXPECT_LE(longest, 4u);
    EXPECT_GT(s.rms(0, 0.5, 3.0), 1000.0);
    for (auto& l : loops) l->Stop();
}

TEST_F(DemoSoundHeard, EveryMusicEntryPlaysThroughItsPlayer) {
    // music.ini beside the program: 0 and 1 streamed, 2 the MIDI tune, 3 the CD's first track.
    // The CD plays while the program's window is in front.
    ASSERT_GE(OmOSServiceAcquire(), 0);
    platform::Window* window = platform::create_window({"demosound", "demosound"});
    OmOSServiceGetShared()->Attach(window, nullptr);
    platform::set_headless_foreground(true);
    ComRef<IMusic> music;
    ASSERT_EQ(OmCreate(CLSID_MetaMusic, IID_IMusic, music.put()), OM_S_OK);
    ASSERT_EQ(music->Init(nullptr), OM_S_OK);
    EXPECT_EQ(music->GetCount(), 4);
    for (int32_t entry = 0; entry < 4; ++entry) {
        SCOPED_TRACE(entry);
        ASSERT_EQ(music->Select(entry), OM_S_OK);
        ASSERT_EQ(music->Play(0), OM_S_OK);
        const Stereo s = run(1.5, [](double) { platform::audio::mci::poll_ticks().tick(true); });
        EXPECT_GT(s.rms(0, 0.5, 1.5), 300.0);
        EXPECT_GT(s.rms(1, 0.5, 1.5), 300.0);
        music->Stop();
    }
    music.reset();
    platform::audio::mci::reset();
    OmOSServiceGetShared()->Attach(nullptr, nullptr);
    platform::destroy_window(window);
    OmOSServiceRelease();
}

} // namespace
} // namespace demodatatest
