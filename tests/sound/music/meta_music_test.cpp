// MetaMusic over fake players registered under the three players' class ids: music.ini's
// entries, the settings each player receives, forwarding and the failures that leave no
// player.
#include "framework/containers/com_hash.h"
#include "framework/containers/values.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "platform/paths.h"
#include "sound/music/meta_music.h"
#include "sound/music/music_players.h"
#include "sound/music/music_tempo.h"
#include "tests/support/framework_classes.h"
#include "tests/support/framework_fixture.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

struct Calls {
    std::vector<std::string> log;
    std::map<std::string, OmResult> init_result; // by player name
    std::map<std::string, OmResult> select_result;
    int live = 0;
};
Calls calls;

OmResult describe_entry(const char* name, IUnknown* object, void* context) {
    auto* text = static_cast<std::string*>(context);
    *text += std::string(" ") + name;
    if (!object) return OM_S_OK;
    ComRef<IString> s;
    ComRef<IInt> i;
    ComRef<IReal> real;
    if (object->QueryInterface(IID_IString, s.put_void()) >= 0)
        *text += std::string("=") + s->Get();
    else if (object->QueryInterface(IID_IInt, i.put_void()) >= 0)
        *text += "=" + std::to_string(i->Get());
    else if (object->QueryInterface(IID_IReal, real.put_void()) >= 0)
        *text += "=" + std::to_string(real->Get());
    return OM_S_OK;
}

template <const char* Name>
class FakePlayer final : public OmObject<FakePlayer<Name>, IMusic, IMusicTempo> {
public:
    FakePlayer() { ++calls.live; }
    ~FakePlayer() {
        --calls.live;
        note("gone");
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IMusic, static_cast<IMusic*>(this)},
                                   {&IID_IMusicTempo, static_cast<IMusicTempo*>(this)}});
    }
    OmResult Init(IUnknown* object) override {
        std::string text = "Init";
        ComRef<ICOMHash> hash;
        if (object && object->QueryInterface(IID_ICOMHash, hash.put_void()) >= 0) {
            std::map<std::string, std::string> sorted;
            std::string entries;
            hash->ForEach(describe_entry, &entries);
            text += entries;
        }
        note(text);
        auto it = calls.init_result.find(Name);
        return it == calls.init_result.end() ? OM_S_OK : it->second;
    }
    OmResult Play(uint32_t flags) override { return note("Play " + std::to_string(flags)); }
    OmResult Pause() override { return note("Pause"); }
    OmResult Stop() override { return note("Stop"); }
    OmResult Eject() override { return note("Eject"); }
    int32_t GetCount() override { return 1; }
    OmResult Select(int32_t entry) override {
        note("Select " + std::to_string(entry));
        auto it = calls.select_result.find(Name);
        return it == calls.select_result.end() ? OM_S_OK : it->second;
    }
    int32_t GetSelection() override { return 0; }
    OmResult GetStatus(uint32_t* flags) override {
        *flags = 4;
        return note("GetStatus");
    }
    int32_t GetLength() override { return 1234; }
    OmResult SetPosition(int32_t ms) override { return note("SetPosition " + std::to_string(ms)); }
    int32_t GetPosition() override { return 55; }
    OmResult SetVolume(float level) override {
        return note("SetVolume " + std::to_string(level).substr(0, 4));
    }
    float GetVolume() override { return 0.0f; }
    OmResult SetGrooveLevel(int8_t) override { return OM_E_FAIL; }
    int8_t GetGrooveLevel() override { return 0; }
    OmResult SetTempo(float factor) override {
        return note("SetTempo " + std::to_string(factor).substr(0, 3));
    }
    float GetTempo() override { return 1.0f; }

private:
    static OmResult note(const std::string& what) {
        calls.log.push_back(std::string(Name) + " " + what);
        return OM_S_OK;
    }
};

constexpr char dmusic[] = "dmusic";
constexpr char streamed[] = "streamed";
constexpr char redbook[] = "redbook";

const OmClassRecord fake_players[] = {
    {&CLSID_Win32Dx7DirectMusic, nullptr, nullptr, OmCreateComponent<FakePlayer<dmusic>>,
     "Win32Dx7DirectMusic"},
    {&CLSID_Win32Dx5StreamedMusic, nullptr, nullptr, OmCreateComponent<FakePlayer<streamed>>,
     "Win32Dx5StreamedMusic"},
    {&CLSID_Win32RedBookMusic, nullptr, nullptr, OmCreateComponent<FakePlayer<redbook>>,
     "Win32RedBookMusic"},
};
OM_DEFINE_MODULE(FakeMusicPlayers, fake_players)

class MetaMusicTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        calls = {};
        platform::set_program_dir(dir_.path());
        IObjectManager* manager = OmGetObjectManager();
        Win32OS_RegisterClasses(manager);
        testsupport::register_container_classes(manager);
        testsupport::register_storage_classes(manager);
        MetaMusic_RegisterClasses(manager);
        FakeMusicPlayers_RegisterClasses(manager);
    }
    void TearDown() override {
        music_.reset();
        EXPECT_EQ(calls.live, 0);
        platform::set_program_dir("");
        FrameworkTest::TearDown();
    }

    // MetaMusic made and initialised over `ini` (none: no music.ini).
    OmResult start(const char* ini, IUnknown* collection = nullptr) {
        if (ini) dir_.write_file("music.ini", ini);
        EXPECT_EQ(OmCreate(CLSID_MetaMusic, IID_IMusic, music_.put()), OM_S_OK);
        return music_->Init(collection);
    }
    std::vector<std::string> take_log() { return std::exchange(calls.log, {}); }

    testsupport::TempDir dir_;
    ComRef<IMusic> music_;
};

using Log = std::vector<std::string>;

TEST_F(MetaMusicTest, EachTypeGetsItsPlayerAndSettings) {
    ASSERT_EQ(start("[0]\ntype=Streamed\nfilename=music/menu.wav\n"
                    "[1]\ntype=DMUSIC\nfilename=a/b.mid\nnReverb=1\nrReverbTime=500\n"
                    "[2]\ntype=redbook\n"
                    "[3]\ntype=redbook\ntrack=7\n"
                    "[4]\ntype=dmusic\nfilename=c.mid\n"),
              OM_S_OK);
    EXPECT_EQ(music_->GetSelection(), 0);
    EXPECT_EQ(take_log(),
              (Log{"streamed Init cpFilename=music/menu.wav", "streamed SetVolume 1.00"}));
    struct Row {
        int32_t entry;
        Log log;
    } rows[] = {
        {1,
         {"streamed Stop", "streamed gone",
          "dmusic Init cpFilename=a/b.mid nReverb=1 rReverbTime=500.000000",
          "dmusic SetVolume 1.00"}},
        {2,
         {"dmusic Stop", "dmusic gone", "redbook Init", "redbook Select 2",
          "redbook SetVolume 1.00"}},
        {3,
         {"redbook Stop", "redbook gone", "redbook Init", "redbook Select 7",
          "redbook SetVolume 1.00"}},
        {4,
         {"redbook Stop", "redbook gone", "dmusic Init cpFilename=c.mid", "dmusic SetVolume 1.00"}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(music_->Select(row.entry), OM_S_OK) << row.entry;
        Log log = take_log();
        // Hash order is the hash's own: compare the settings as a set of words.
        ASSERT_EQ(log.size(), row.log.size()) << row.entry;
        for (size_t i = 0; i < log.size(); ++i) {
            auto words = [](const std::string& s) {
                std::multiset<std::string> w;
                size_t p = 0;
                while (p < s.size()) {
                    size_t q = s.find(' ', p);
                    if (q == std::string::npos) q = s.size();
                    w.insert(s.substr(p, q - p));
                    p = q + 1;
                }
                return w;
            };
            EXPECT_EQ(words(log[i]), words(row.log[i])) << row.entry << ": " << log[i];
        }
    }
}

TEST_F(MetaMusicTest, CountStopsAtTheFirstMissingSectionAndKeepsTheSelection) {
    ASSERT_EQ(start("[0]\ntype=streamed\nfilename=x.wav\n[1]\ntype=streamed\nfilename=y.wav\n"
                    "[3]\ntype=streamed\nfilename=z.wav\n"),
              OM_S_OK);
    EXPECT_EQ(music_->GetCount(), 2);
    // The selected section is current again: a reselection of 0 is no change, 1 reads its own.
    take_log();
    EXPECT_EQ(music_->Select(1), OM_S_OK);
    EXPECT_EQ(music_->GetCount(), 2);
    EXPECT_EQ(music_->Select(3), OM_S_OK);
    Log log = take_log();
    EXPECT_NE(std::find(log.begin(), log.end(), "streamed Init cpFilename=z.wav"), log.end());
}

TEST_F(MetaMusicTest, ReselectingDoesNotRestartAndVolumeCarriesOver) {
    ASSERT_EQ(start("[0]\ntype=streamed\nfilename=x.wav\n[1]\ntype=streamed\nfilename=y.wav\n"),
              OM_S_OK);
    EXPECT_EQ(music_->Play(1), OM_S_OK);
    EXPECT_EQ(music_->SetVolume(0.25f), OM_S_OK);
    take_log();
    EXPECT_EQ(music_->Select(0), OM_S_OK);
    EXPECT_EQ(take_log(), Log{});
    EXPECT_EQ(music_->Select(1), OM_S_OK);
    EXPECT_EQ(take_log().back(), "streamed SetVolume 0.25");
    EXPECT_FLOAT_EQ(music_->GetVolume(), 0.25f);
}

TEST_F(MetaMusicTest, OperationsAreForwardedToThePlayer) {
    ASSERT_EQ(start("[0]\ntype=dmusic\nfilename=x.mid\n"), OM_S_OK);
    take_log();
    uint32_t flags = 0;
    EXPECT_EQ(music_->Play(3), OM_S_OK);
    EXPECT_EQ(music_->Pause(), OM_S_OK);
    EXPECT_EQ(music_->GetStatus(&flags), OM_S_OK);
    EXPECT_EQ(flags, 4u);
    EXPECT_EQ(music_->GetLength(), 1234);
    EXPECT_EQ(music_->SetPosition(10), OM_S_OK);
    EXPECT_EQ(music_->GetPosition(), 55);
    EXPECT_EQ(music_->Eject(), OM_S_OK);
    EXPECT_EQ(take_log(), (Log{"dmusic Play 3", "dmusic Pause", "dmusic GetStatus",
                               "dmusic SetPosition 10", "dmusic Stop"}));
    ComRef<IMusicTempo> tempo;
    ASSERT_EQ(music_->QueryInterface(IID_IMusicTempo, tempo.put_void()), OM_S_OK);
    EXPECT_EQ(tempo->SetTempo(2.0f), OM_S_OK);
    EXPECT_EQ(take_log(), Log{"dmusic SetTempo 2.0"});
}

TEST_F(MetaMusicTest, WithoutAPlayerOperationsAnswerTheirDefaults) {
    ASSERT_EQ(start("[0]\ntype=unknown\n"), OM_S_OK);
    EXPECT_EQ(music_->Select(5), OM_E_FAIL);
    uint32_t flags = 0;
    EXPECT_EQ(music_->Play(0), OM_E_FAIL);
    EXPECT_EQ(music_->Pause(), OM_E_FAIL);
    EXPECT_EQ(music_->Stop(), OM_S_OK);
    EXPECT_EQ(music_->GetStatus(&flags), OM_E_FAIL);
    EXPECT_EQ(music_->GetLength(), 0);
    EXPECT_EQ(music_->SetPosition(1), OM_E_FAIL);
    EXPECT_EQ(music_->GetPosition(), 0);
    EXPECT_EQ(music_->SetVolume(0.5f), OM_S_OK);
    ComRef<IMusicTempo> tempo;
    EXPECT_EQ(music_->QueryInterface(IID_IMusicTempo, tempo.put_void()), OM_E_NOINTERFACE);
    EXPECT_EQ(calls.log, Log{});
}

TEST_F(MetaMusicTest, FailedSelectionsLeaveNoPlayer) {
    calls.init_result["dmusic"] = OmResult(0x802D0002);
    calls.select_result["redbook"] = OmResult(0x802D0004);
    ASSERT_EQ(start("[0]\ntype=streamed\nfilename=x.wav\n"
                    "[1]\ntype=dmusic\nfilename=x.mid\n"
                    "[2]\ntype=streamed\n"
                    "[3]\nfilename=x.wav\n"
                    "[4]\ntype=redbook\n"
                    "[5]\ntype=media\n"
                    "[6]\ntype=cassette\n"),
              OM_S_OK);
    struct Row {
        int32_t entry;
        OmResult result;
    } rows[] = {
        {1, OmResult(0x802D0002)}, // the player's Init
        {2, OM_E_FAIL},            // no filename
        {3, OM_E_FAIL},            // no type
        {4, OmResult(0x802D0004)}, // the CD's Select
        {5, OM_E_NOTFOUND},        // no media player class in this program
        {6, OM_E_FAIL},            // unknown type
        {9, OM_E_FAIL},            // no section
    };
    for (const Row& row : rows) {
        ASSERT_EQ(music_->Select(0), OM_S_OK);
        EXPECT_EQ(music_->Select(row.entry), row.result) << row.entry;
        EXPECT_EQ(calls.live, 0) << row.entry;
        EXPECT_EQ(music_->Play(0), OM_E_FAIL) << row.entry;
        // Still counted as selected: no retry.
        EXPECT_EQ(music_->Select(row.entry), OM_S_OK) << row.entry;
        EXPECT_EQ(music_->GetSelection(), row.entry);
    }
}

TEST_F(MetaMusicTest, WithoutMusicIniInitFailsAndNothingIsSelected) {
    EXPECT_LT(start(nullptr), 0);
    EXPECT_EQ(music_->GetCount(), 0);
    EXPECT_EQ(music_->Select(0), OM_E_FAIL);
    EXPECT_EQ(music_->GetSelection(), 0);
    EXPECT_EQ(music_->Select(0), OM_S_OK);
    EXPECT_EQ(music_->Play(0), OM_E_FAIL);
    EXPECT_EQ(calls.live, 0);
}

TEST_F(MetaMusicTest, TheCollectionReachesTheStreamedPlayerButNotDirectMusic) {
    ComRef<IObjHash> collection;
    ASSERT_EQ(OmCreate(CLSID_ObjHash, IID_IObjHash, collection.put()), OM_S_OK);
    collection->SetInt("lpDirectSound", 9);
    ASSERT_EQ(start("[0]\ntype=streamed\nfilename=x.wav\n[1]\ntype=dmusic\nfilename=y.mid\n",
                    collection.get()),
              OM_S_OK);
    Log log = take_log();
    EXPECT_TRUE(log[0] == "streamed Init lpDirectSound=9 cpFilename=x.wav" ||
                log[0] == "streamed Init cpFilename=x.wav lpDirectSound=9")
        << log[0];
    ASSERT_EQ(music_->Select(1), OM_S_OK);
    EXPECT_EQ(take_log()[2], "dmusic Init cpFilename=y.mid");
}

} // namespace
