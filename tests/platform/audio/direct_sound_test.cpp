// The DirectSound stand-in over its manual backend: cursors, gains, pan, rate conversion, 8-bit
// samples, saturation, lost buffers, hardware refusal, duplicates and deferred 3D settings.
#include "platform/audio/audio_backend.h"
#include "platform/audio/dsound.h"
#include "platform/audio/tick_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <thread>
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

class DirectSoundStandIn : public ::testing::Test {
protected:
    void SetUp() override { open({}); }
    void TearDown() override {
        set_backend(Backend::sdl);
        set_device_profile({});
    }

    void open(const DeviceProfile& profile) {
        set_backend(Backend::manual);
        set_device_profile(profile);
        ds_.reset();
        ASSERT_EQ(DirectSoundCreate(nullptr, ds_.put_ptr(), nullptr), DS_OK);
        ASSERT_EQ(ds_.get()->SetCooperativeLevel(nullptr, DSSCL_PRIORITY), DS_OK);
        DSBUFFERDESC desc{
            sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0, nullptr, {}};
        ASSERT_EQ(ds_.get()->CreateSoundBuffer(&desc, primary_.put_ptr(), nullptr), DS_OK);
        WAVEFORMATEX out = pcm(2, 16, 22050);
        ASSERT_EQ(primary_.get()->SetFormat(&out), DS_OK);
    }

    // A buffer of `frames` frames filled by f(i) for every sample.
    IDirectSoundBuffer* buffer(const WAVEFORMATEX& format, uint32_t frames, uint32_t flags,
                               const std::function<int32_t(uint32_t)>& f) {
        WAVEFORMATEX fmt = format;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, frames * format.block_align, 0, &fmt, {}};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds_.get()->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (!b) return nullptr;
        void* p1;
        void* p2;
        uint32_t n1, n2;
        EXPECT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
        uint32_t samples = frames * format.channels;
        for (uint32_t i = 0; i < samples; ++i) {
            if (format.bits_per_sample == 16)
                static_cast<int16_t*>(p1)[i] = int16_t(f(i));
            else
                static_cast<uint8_t*>(p1)[i] = uint8_t(f(i));
        }
        EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
        buffers_.emplace_back(b);
        return b;
    }

    std::vector<int16_t> mix(uint32_t frames) {
        std::vector<int16_t> out(size_t(frames) * 2);
        EXPECT_EQ(render(out.data(), frames), frames);
        return out;
    }

    template <class T>
    struct Owned {
        T* p = nullptr;
        T* get() const { return p; }
        T** put_ptr() {
            reset();
            return &p;
        }
        void reset() {
            if (p) p->Release();
            p = nullptr;
        }
        ~Owned() { reset(); }
    };
    struct Releaser {
        void operator()(IDirectSoundBuffer* b) const { b->Release(); }
    };

    Owned<IDirectSound> ds_;
    Owned<IDirectSoundBuffer> primary_;
    std::vector<std::unique_ptr<IDirectSoundBuffer, Releaser>> buffers_;
};

TEST_F(DirectSoundStandIn, CursorAdvancesAtTheBufferRateAndStopKeepsIt) {
    IDirectSoundBuffer* b =
        buffer(pcm(1, 16, 11025), 11025, DSBCAPS_CTRLFREQUENCY, [](uint32_t) { return 0; });
    ASSERT_EQ(b->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    mix(2205); // 0.1 s of output
    uint32_t play = 0, write = 0;
    b->GetCurrentPosition(&play, &write);
    EXPECT_EQ(play, 1102u * 2); // half the output rate: 1102.5 frames, truncated
    b->Stop();
    mix(2205);
    uint32_t after = 0;
    b->GetCurrentPosition(&after, nullptr);
    EXPECT_EQ(after, play);
    b->SetFrequency(22050);
    b->Play(0, 0, DSBPLAY_LOOPING);
    mix(22050); // one second wraps the 1 s buffer twice at the doubled rate
    b->GetCurrentPosition(&after, nullptr);
    EXPECT_EQ(after, play);
}

TEST_F(DirectSoundStandIn, OneShotStopsAtItsEnd) {
    IDirectSoundBuffer* b = buffer(pcm(1, 16, 22050), 100, 0, [](uint32_t) { return 1000; });
    b->Play(0, 0, 0);
    std::vector<int16_t> out = mix(200);
    EXPECT_EQ(out[2 * 99], 1000);
    EXPECT_EQ(out[2 * 100], 0);
    uint32_t status = 0;
    b->GetStatus(&status);
    EXPECT_EQ(status, 0u);
}

TEST_F(DirectSoundStandIn, SamplesPassThroughBitExactAtFullVolume) {
    auto f = [](uint32_t i) { return int32_t(i * 37 % 65536) - 32768; };
    IDirectSoundBuffer* b =
        buffer(pcm(2, 16, 22050), 1000, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN, f);
    b->Play(0, 0, 0);
    std::vector<int16_t> out = mix(1000);
    for (uint32_t i = 0; i < 2000; ++i) ASSERT_EQ(out[i], f(i)) << i;
}

TEST_F(DirectSoundStandIn, EightBitSamplesAreCentredAndWidened) {
    IDirectSoundBuffer* b = buffer(pcm(1, 8, 22050), 4, 0, [](uint32_t i) {
        const uint8_t v[] = {0x80, 0xFF, 0x00, 0x7F};
        return v[i];
    });
    b->Play(0, 0, 0);
    std::vector<int16_t> out = mix(4);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[2], 127 << 8);
    EXPECT_EQ(out[4], -128 << 8);
    EXPECT_EQ(out[6], -256);
    EXPECT_EQ(out[1], out[0]) << "mono reaches both sides";
}

TEST_F(DirectSoundStandIn, VolumeAndPanScaleTheChannels) {
    struct Case {
        int32_t volume, pan;
    };
    for (Case c : {Case{-599, 0}, Case{0, -7972}, Case{0, 3000}, Case{-1000, -1000}}) {
        IDirectSoundBuffer* b = buffer(pcm(1, 16, 22050), 100, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN,
                                       [](uint32_t) { return 20000; });
        ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(b->SetPan(c.pan), DS_OK);
        b->Play(0, 0, 0);
        std::vector<int16_t> out = mix(10);
        double v = std::pow(10.0, c.volume / 2000.0) * 20000;
        double left = v * (c.pan > 0 ? std::pow(10.0, -c.pan / 2000.0) : 1.0);
        double right = v * (c.pan < 0 ? std::pow(10.0, c.pan / 2000.0) : 1.0);
        EXPECT_NEAR(out[0], left, 1.0) << c.volume << " " << c.pan;
        EXPECT_NEAR(out[1], right, 1.0) << c.volume << " " << c.pan;
        b->Stop();
    }
}

TEST_F(DirectSoundStandIn, TheMinimumVolumeAndAFullPanAreSilent) {
    // -100 dB scaled by the mixer's fixed-point gain would still leave -1 for every negative
    // sample.
    struct Case {
        int32_t volume, pan;
        bool left_heard, right_heard;
    };
    for (Case c : {Case{DSBVOLUME_MIN, 0, false, false}, Case{0, DSBPAN_LEFT, true, false},
                   Case{0, DSBPAN_RIGHT, false, true}}) {
        IDirectSoundBuffer* b = buffer(pcm(1, 16, 22050), 100, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN,
                                       [](uint32_t i) { return i % 2 ? -30000 : 30000; });
        ASSERT_EQ(b->SetVolume(c.volume), DS_OK);
        ASSERT_EQ(b->SetPan(c.pan), DS_OK);
        b->Play(0, 0, 0);
        std::vector<int16_t> out = mix(10);
        for (size_t i = 0; i < 10; ++i) {
            EXPECT_EQ(out[2 * i] != 0, c.left_heard) << c.volume << " " << c.pan << " " << i;
            EXPECT_EQ(out[2 * i + 1] != 0, c.right_heard) << c.volume << " " << c.pan << " " << i;
        }
        b->Stop();
    }
}

TEST_F(DirectSoundStandIn, ControlsAndRangesAreChecked) {
    IDirectSoundBuffer* plain = buffer(pcm(1, 16, 22050), 100, 0, [](uint32_t) { return 0; });
    EXPECT_EQ(plain->SetVolume(-100), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetPan(0), DSERR_CONTROLUNAVAIL);
    EXPECT_EQ(plain->SetFrequency(0), DSERR_CONTROLUNAVAIL);
    IDirectSoundBuffer* b =
        buffer(pcm(1, 16, 22050), 100, DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY,
               [](uint32_t) { return 0; });
    EXPECT_EQ(b->SetVolume(1), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->SetPan(-10001), DSERR_INVALIDPARAM);
    uint32_t hz = 0;
    for (auto [asked, got] :
         {std::pair{0u, 22050u}, {5u, 100u}, {500000u, 100000u}, {8000u, 8000u}}) {
        EXPECT_EQ(b->SetFrequency(asked), DS_OK);
        b->GetFrequency(&hz);
        EXPECT_EQ(hz, got);
    }
    EXPECT_EQ(b->SetCurrentPosition(200), DSERR_INVALIDPARAM);
    WAVEFORMATEX bad = pcm(1, 24, 22050);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, 300, 0, &bad, {}};
    IDirectSoundBuffer* none = nullptr;
    EXPECT_EQ(ds_.get()->CreateSoundBuffer(&desc, &none, nullptr), DSERR_BADFORMAT);
    WAVEFORMATEX stereo = pcm(2, 16, 22050);
    desc = {sizeof(DSBUFFERDESC), DSBCAPS_CTRL3D, 400, 0, &stereo, {}};
    EXPECT_EQ(ds_.get()->CreateSoundBuffer(&desc, &none, nullptr), DSERR_INVALIDPARAM);
}

TEST_F(DirectSoundStandIn, SumsSaturateAndRatesAreInterpolated) {
    buffer(pcm(1, 16, 22050), 100, 0, [](uint32_t) { return 30000; })->Play(0, 0, 0);
    buffer(pcm(1, 16, 22050), 100, 0, [](uint32_t) { return 30000; })->Play(0, 0, 0);
    buffer(pcm(1, 16, 11025), 100, 0, [](uint32_t i) {
        return i % 2 ? -1000 : 1000;
    })->Play(0, 0, 0);
    std::vector<int16_t> out = mix(4);
    EXPECT_EQ(out[0], 32767);
    buffers_.clear();
    buffer(pcm(1, 16, 11025), 100, 0, [](uint32_t i) {
        return i % 2 ? -1000 : 1000;
    })->Play(0, 0, 0);
    out = mix(4);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[2], 0) << "half-way between 1000 and -1000";
    EXPECT_EQ(out[4], -1000);
}

TEST_F(DirectSoundStandIn, LostBufferPlaysSilentlyAndRefusesLockUntilRestored) {
    IDirectSoundBuffer* b = buffer(pcm(1, 16, 22050), 1000, 0, [](uint32_t) { return 500; });
    b->Play(0, 0, DSBPLAY_LOOPING);
    mark_lost(b);
    uint32_t status = 0;
    b->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING | DSBSTATUS_BUFFERLOST);
    void* p1;
    uint32_t n1;
    EXPECT_EQ(b->Lock(0, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_BUFFERLOST);
    EXPECT_EQ(mix(10)[0], 0);
    uint32_t play = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_EQ(play, 20u) << "the cursor moves on";
    EXPECT_EQ(b->Restore(), DS_OK);
    EXPECT_EQ(b->Lock(0, 10, &p1, &n1, nullptr, nullptr, 0), DS_OK);
    EXPECT_EQ(b->Lock(0, 10, &p1, &n1, nullptr, nullptr, 0), DSERR_INVALIDCALL);
    EXPECT_EQ(b->Unlock(p1, n1, nullptr, 0), DS_OK);
}

TEST_F(DirectSoundStandIn, LockWrapsIntoTwoParts) {
    IDirectSoundBuffer* b =
        buffer(pcm(1, 16, 22050), 100, 0, [](uint32_t i) { return int32_t(i); });
    void* p1;
    void* p2;
    uint32_t n1, n2;
    ASSERT_EQ(b->Lock(180, 40, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(n2, 20u);
    EXPECT_EQ(static_cast<int16_t*>(p1)[0], 90);
    EXPECT_EQ(static_cast<int16_t*>(p2)[0], 0);
    static_cast<int16_t*>(p2)[0] = 7;
    b->Unlock(p1, n1, p2, n2);
    b->Play(0, 0, 0);
    EXPECT_EQ(mix(1)[0], 7);
}

TEST_F(DirectSoundStandIn, HardwareBuffersAreCountedAndRefused) {
    open({.free_hardware_buffers = 1});
    DSCAPS caps{};
    caps.dwSize = sizeof caps;
    ASSERT_EQ(ds_.get()->GetCaps(&caps), DS_OK);
    EXPECT_EQ(caps.dwFreeHwMixingAllBuffers, 1u);
    IDirectSoundBuffer* first =
        buffer(pcm(1, 16, 22050), 10, DSBCAPS_LOCHARDWARE, [](uint32_t) { return 0; });
    ASSERT_NE(first, nullptr);
    WAVEFORMATEX f = pcm(1, 16, 22050);
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_LOCHARDWARE, 20, 0, &f, {}};
    IDirectSoundBuffer* second = nullptr;
    EXPECT_EQ(ds_.get()->CreateSoundBuffer(&desc, &second, nullptr), DSERR_ALLOCATED);
    buffers_.clear();
    EXPECT_EQ(ds_.get()->CreateSoundBuffer(&desc, &second, nullptr), DS_OK) << "freed again";
    second->Release();
    open({.refuse_hardware = true});
    EXPECT_EQ(ds_.get()->CreateSoundBuffer(&desc, &second, nullptr), DSERR_ALLOCATED);
}

TEST_F(DirectSoundStandIn, NoDeviceIsTheDriverError) {
    set_device_profile({.no_device = true});
    IDirectSound* ds = nullptr;
    EXPECT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(ds, nullptr);
}

TEST_F(DirectSoundStandIn, DuplicateSharesTheSamples) {
    IDirectSoundBuffer* b =
        buffer(pcm(1, 16, 22050), 10, DSBCAPS_CTRLVOLUME, [](uint32_t) { return 100; });
    IDirectSoundBuffer* dup = nullptr;
    ASSERT_EQ(ds_.get()->DuplicateSoundBuffer(b, &dup), DS_OK);
    void* p1;
    uint32_t n1;
    b->Lock(0, 20, &p1, &n1, nullptr, nullptr, 0);
    static_cast<int16_t*>(p1)[0] = 321;
    b->Unlock(p1, n1, nullptr, 0);
    dup->Play(0, 0, 0);
    EXPECT_EQ(mix(1)[0], 321);
    dup->Release();
}

TEST_F(DirectSoundStandIn, DeferredThreeDSettingsWaitForTheCommit) {
    IDirectSoundBuffer* b =
        buffer(pcm(1, 16, 22050), 1000, DSBCAPS_CTRL3D, [](uint32_t) { return 10000; });
    Owned<IDirectSound3DBuffer> b3;
    ASSERT_EQ(b->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(b3.put_ptr())),
              DS_OK);
    Owned<IDirectSound3DListener> listener;
    ASSERT_EQ(primary_.get()->QueryInterface(IID_IDirectSound3DListener,
                                             reinterpret_cast<void**>(listener.put_ptr())),
              DS_OK);
    b3.get()->SetMinDistance(10.0f, DS3D_DEFERRED);
    b3.get()->SetPosition(40.0f, 0, 0, DS3D_DEFERRED);
    b->Play(0, 0, DSBPLAY_LOOPING);
    std::vector<int16_t> before = mix(10);
    EXPECT_EQ(before[0], 10000);
    EXPECT_EQ(before[1], 10000);
    BufferSnapshot snap{};
    inspect(b, &snap);
    EXPECT_EQ(snap.committed.position.x, 0.0f);
    ASSERT_EQ(listener.get()->CommitDeferredSettings(), DS_OK);
    inspect(b, &snap);
    EXPECT_EQ(snap.committed.position.x, 40.0f);
    std::vector<int16_t> after = mix(10);
    double gain = 10.0 / (10.0 + 30.0);
    EXPECT_NEAR(after[1], 10000 * gain, 1.0) << "right side, distance law";
    EXPECT_LT(after[0], after[1]);
    // Beyond the maximum distance the gain is held, unless the buffer mutes there.
    b3.get()->SetMaxDistance(20.0f, DS3D_IMMEDIATE);
    EXPECT_NEAR(mix(10)[1], 10000 * 10.0 / 20.0, 1.0);
}

TEST_F(DirectSoundStandIn, RenderTicksWaitForTheWorkers) {
    std::atomic<bool> stop{false};
    std::atomic<int> serviced{0};
    auto waiter = std::make_unique<TickWaiter>(service_ticks());
    std::thread worker([&] {
        while (waiter->wait(stop)) {
            ++serviced;
        }
    });
    mix(22050 / 10 * 3);
    EXPECT_EQ(serviced.load(), 3) << "each tick is serviced before render goes on";
    stop = true;
    service_ticks().wake();
    worker.join();
}

TEST(DirectSoundSdl, DummyDriverOpensAndFollowsTheOutputFormat) {
    set_backend(Backend::sdl);
    set_device_profile({});
    IDirectSound* ds = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY);
    IDirectSoundBuffer* primary = nullptr;
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER, 0, 0, nullptr, {}};
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    for (WAVEFORMATEX f : {pcm(2, 16, 44100), pcm(1, 8, 11025)}) {
        ASSERT_EQ(primary->SetFormat(&f), DS_OK);
        WAVEFORMATEX got{};
        primary->GetFormat(&got, sizeof got, nullptr);
        EXPECT_EQ(got.samples_per_second, f.samples_per_second);
        EXPECT_EQ(got.channels, f.channels);
    }
    WAVEFORMATEX bad = pcm(2, 16, 50);
    EXPECT_EQ(primary->SetFormat(&bad), DSERR_BADFORMAT);
    ds->SetCooperativeLevel(nullptr, DSSCL_NORMAL);
    WAVEFORMATEX ok = pcm(2, 16, 22050);
    EXPECT_EQ(primary->SetFormat(&ok), DSERR_PRIOLEVELNEEDED);
    primary->Release();
    ds->Release();
}

TEST_F(DirectSoundStandIn, ConesMutingAndDopplerShapeThreeDBuffers) {
    IDirectSoundBuffer* b =
        buffer(pcm(1, 16, 22050), 22050, DSBCAPS_CTRL3D | DSBCAPS_MUTE3DATMAXDISTANCE,
               [](uint32_t) { return 10000; });
    Owned<IDirectSound3DBuffer> b3;
    ASSERT_EQ(b->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(b3.put_ptr())),
              DS_OK);
    b3.get()->SetPosition(0, 0, 5.0f, DS3D_IMMEDIATE);
    b3.get()->SetMinDistance(10.0f, DS3D_IMMEDIATE);
    b->Play(0, 0, DSBPLAY_LOOPING);
    // Facing away from the listener, outside the cone: the outside volume.
    b3.get()->SetConeOrientation(0, 0, 1, DS3D_IMMEDIATE);
    b3.get()->SetConeAngles(90, 180, DS3D_IMMEDIATE);
    b3.get()->SetConeOutsideVolume(-2000, DS3D_IMMEDIATE);
    EXPECT_NEAR(mix(4)[0], 1000, 1.0);
    b3.get()->SetConeOrientation(0, 0, -1, DS3D_IMMEDIATE); // facing the listener
    EXPECT_EQ(mix(4)[0], 10000);
    // Beyond the maximum distance a muting buffer is silent.
    b3.get()->SetMinDistance(1.0f, DS3D_IMMEDIATE);
    b3.get()->SetMaxDistance(4.0f, DS3D_IMMEDIATE);
    EXPECT_EQ(mix(4)[0], 0);
    b3.get()->SetMaxDistance(100.0f, DS3D_IMMEDIATE);
    // Coming towards the listener at a tenth of the speed of sound raises the pitch.
    b->SetCurrentPosition(0);
    b3.get()->SetVelocity(0, 0, -34.33f, DS3D_IMMEDIATE);
    mix(2205);
    uint32_t play = 0;
    b->GetCurrentPosition(&play, nullptr);
    EXPECT_NEAR(play / 2.0, 2205 / 0.9, 2.0);
}

} // namespace
