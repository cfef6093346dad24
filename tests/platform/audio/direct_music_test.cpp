// The DirectMusic stand-in: what the loader refuses, the performance's global parameters and
// port properties, the same segment rendering the same samples on two performances, and the
// threads the performance starts.
#include "platform/audio/audio_backend.h"
#include "platform/audio/direct_music.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

namespace {

using namespace platform::audio;

std::string be(uint32_t v, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += char((v >> (8 * i)) & 0xFF);
    return out;
}

// A header of the given format and track count, and one track with a note.
std::string midi(uint32_t format, uint32_t tracks, uint32_t division = 480) {
    std::string track = std::string("\x00\xC0\x00\x00\x90\x3C\x64", 7) +
                        std::string("\x83\x60\x80\x3C\x00\x00\xFF\x2F\x00", 9);
    return "MThd" + be(6, 4) + be(format, 2) + be(tracks, 2) + be(division, 2) + "MTrk" +
           be(uint32_t(track.size()), 4) + track;
}

template <class T>
struct Ref {
    T* p = nullptr;
    ~Ref() {
        if (p) p->Release();
    }
    void** put() { return reinterpret_cast<void**>(&p); }
    T* operator->() { return p; }
};

class DirectMusicStandIn : public ::testing::Test {
protected:
    void SetUp() override {
        set_backend(Backend::manual);
        ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicLoader, IID_IDirectMusicLoader,
                                            loader_.put()),
                  0);
        std::wstring directory(dir_.path().begin(), dir_.path().end());
        ASSERT_EQ(loader_->SetSearchDirectory(GUID_DirectMusicAllTypes, directory.c_str(), 0), 0);
    }
    void TearDown() override { set_backend(Backend::sdl); }

    int32_t load(const std::string& name, const std::string& bytes, Ref<IDirectMusicSegment>& out,
                 const GUID& type = CLSID_DirectMusicSegment) {
        dir_.write_file(name, bytes);
        DMUS_OBJECTDESC desc{sizeof desc, DMUS_OBJ_CLASS | DMUS_OBJ_FILENAME, type, {}};
        std::wstring wide(name.begin(), name.end());
        std::copy(wide.begin(), wide.end(), desc.wszFileName);
        return loader_->GetObject(&desc, IID_IDirectMusicSegment, out.put());
    }

    testsupport::TempDir dir_;
    Ref<IDirectMusicLoader> loader_;
};

TEST_F(DirectMusicStandIn, TheLoaderTakesStandardMidiFilesOnly) {
    struct Row {
        const char* name;
        std::string bytes;
        int32_t result;
    } rows[] = {
        {"zero.mid", midi(0, 1), 0},
        {"one.mid", midi(1, 1), 0},
        {"two.mid", midi(2, 1), DMUS_E_UNSUPPORTED_STREAM},
        {"none.mid", midi(1, 0), DMUS_E_UNSUPPORTED_STREAM},
        {"smpte.mid", midi(0, 1, 0), DMUS_E_UNSUPPORTED_STREAM},
        {"short.mid", midi(0, 1).substr(0, 16), DMUS_E_UNSUPPORTED_STREAM},
        {"riff.mid", "RIFF" + std::string(40, '\0'), DMUS_E_UNSUPPORTED_STREAM},
    };
    for (const Row& row : rows) {
        Ref<IDirectMusicSegment> segment;
        EXPECT_EQ(load(row.name, row.bytes, segment), row.result) << row.name;
        EXPECT_EQ(segment.p != nullptr, row.result == 0) << row.name;
    }
    Ref<IDirectMusicSegment> segment;
    DMUS_OBJECTDESC desc{sizeof desc, DMUS_OBJ_FILENAME, {}, L"absent.mid"};
    EXPECT_EQ(loader_->GetObject(&desc, IID_IDirectMusicSegment, segment.put()),
              DMUS_E_LOADER_FAILEDOPEN);
    EXPECT_EQ(load("other.mid", midi(0, 1), segment, CLSID_DirectMusicLoader),
              DMUS_E_UNSUPPORTED_STREAM);
}

TEST_F(DirectMusicStandIn, ParametersPropertiesAndTheSameSamplesTwice) {
    Ref<IDirectMusicSegment> segment;
    ASSERT_EQ(load("song.mid", midi(0, 1), segment), 0);
    std::vector<std::vector<int16_t>> renders;
    for (int run = 0; run < 2; ++run) {
        IDirectSound* ds = nullptr;
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
        Ref<IDirectMusicPerformance> performance;
        ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicPerformance,
                                            IID_IDirectMusicPerformance, performance.put()),
                  0);
        EXPECT_EQ(performance->AddPort(nullptr), DMUS_E_NOT_INIT);
        ASSERT_EQ(performance->Init(nullptr, ds, nullptr), 0);
        EXPECT_EQ(performance->Init(nullptr, ds, nullptr), DMUS_E_ALREADY_INITED);
        int8_t groove = -3, groove_read = 0;
        ASSERT_EQ(performance->SetGlobalParam(GUID_PerfMasterGrooveLevel, &groove, 1), 0);
        ASSERT_EQ(performance->GetGlobalParam(GUID_PerfMasterGrooveLevel, &groove_read, 1), 0);
        EXPECT_EQ(groove_read, -3);
        float tempo = 0;
        EXPECT_EQ(performance->GetGlobalParam(GUID_PerfMasterTempo, &tempo, 2), DMUS_E_INVALIDARG);
        ASSERT_EQ(performance->GetGlobalParam(GUID_PerfMasterTempo, &tempo, 4), 0);
        EXPECT_EQ(tempo, 1.0f);

        ASSERT_EQ(performance->AddPort(nullptr), 0);
        Ref<IDirectMusicPort> port;
        ASSERT_EQ(performance->PChannelInfo(0, reinterpret_cast<IDirectMusicPort**>(port.put()),
                                            nullptr, nullptr),
                  0);
        Ref<IKsControl> control;
        ASSERT_EQ(port->QueryInterface(IID_IKsControl, control.put()), 0);
        KSPROPERTY property{GUID_PerfMasterTempo, 0, KSPROPERTY_TYPE_GET};
        uint32_t effects = 0;
        EXPECT_EQ(control->KsProperty(&property, sizeof property, &effects, 4, nullptr),
                  DMUS_E_NOT_FOUND);
        property.Set = GUID_DMUS_PROP_WavesReverb;
        EXPECT_EQ(control->KsProperty(&property, sizeof property, &effects, 4, nullptr),
                  DMUS_E_INVALIDARG);
        property.Set = GUID_DMUS_PROP_Effects;
        ASSERT_EQ(control->KsProperty(&property, sizeof property, &effects, 4, nullptr), 0);
        EXPECT_EQ(effects, DMUS_EFFECT_REVERB);

        ASSERT_EQ(performance->PlaySegment(segment.p, DMUS_SEGF_REFTIME, 0, nullptr), 0);
        std::vector<int16_t> out(22050 * 2);
        ASSERT_EQ(render(out.data(), 11025), 11025u);
        REFERENCE_TIME now = 0;
        MUSIC_TIME music = 0;
        ASSERT_EQ(performance->GetTime(&now, &music), 0);
        EXPECT_NEAR(double(now), 5'000'000.0, 10'000.0);
        EXPECT_NEAR(music, 480, 8); // 960 ticks a second at 120 bpm
        renders.push_back(out);
        performance->CloseDown();
        EXPECT_EQ(control->KsProperty(&property, sizeof property, &effects, 4, nullptr),
                  DMUS_E_NOT_INIT);
        ds->Release();
    }
    EXPECT_EQ(renders[0], renders[1]);
}

size_t live_threads() {
    return size_t(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                std::filesystem::directory_iterator()));
}

// The SoundFont loads on the thread that asks for it: Init leaves one thread behind, the
// performance's renderer, and no team of workers (whose hand-overs the thread sanitizer cannot
// follow).
TEST_F(DirectMusicStandIn, InitLoadsOnItsOwnThreadAndStartsOnlyTheRenderer) {
    IDirectSound* ds = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
    Ref<IDirectMusicPerformance> performance;
    ASSERT_EQ(DirectMusicCreateInstance(CLSID_DirectMusicPerformance, IID_IDirectMusicPerformance,
                                        performance.put()),
              0);
    const size_t before = live_threads();
    ASSERT_EQ(performance->Init(nullptr, ds, nullptr), 0);
    EXPECT_EQ(live_threads(), before + 1);
    performance->CloseDown();
    EXPECT_EQ(live_threads(), before);
    ds->Release();
}

} // namespace
