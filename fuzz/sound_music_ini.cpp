// Fuzzes music.ini through MetaMusic: Init, GetCount, and Select of every entry the input asks
// for, with the three players replaced by fakes registered under their class ids (no WAV
// stream, synthesizer or CD drive is opened) that read every setting they are handed. MIDI
// files are not read here: the DirectMusic stand-in hands them to the synthesizer library.
// Checks: a selection is remembered as asked; every setting handed to a player is a whole
// text, integer or real; every player made is released with MetaMusic; blocks balance.
//
// Input: a byte of volume, up to four bytes of entries to select (a byte above 0x7f ends the
// list), then as the rest music.ini.
#include "framework/containers/com_hash.h"
#include "framework/containers/values.h"
#include "fuzz/data_harness.h"
#include "sound/music/meta_music.h"
#include "sound/music/music.h"
#include "sound/music/music_players.h"
#include "sound/music/music_tempo.h"

#include <cstring>

using fuzzing::require;

namespace {

int live_players = 0;

OmResult read_setting(const char* name, IUnknown* object, void*) {
    require(name && std::strlen(name) < 4096, "a setting has a name");
    if (!object) return OM_S_OK;
    ComRef<IString> text;
    ComRef<IInt> integer;
    ComRef<IReal> real;
    volatile size_t sink = 0;
    if (object->QueryInterface(IID_IString, text.put_void()) >= 0)
        sink = std::strlen(text->Get());
    else if (object->QueryInterface(IID_IInt, integer.put_void()) >= 0)
        sink = size_t(integer->Get());
    else if (object->QueryInterface(IID_IReal, real.put_void()) >= 0)
        sink = size_t(real->Get() == real->Get());
    (void)sink;
    return OM_S_OK;
}

class FakePlayer final : public OmObject<FakePlayer, IMusic, IMusicTempo> {
public:
    FakePlayer() { ++live_players; }
    ~FakePlayer() { --live_players; }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IMusic, static_cast<IMusic*>(this)},
                                   {&IID_IMusicTempo, static_cast<IMusicTempo*>(this)}});
    }
    OmResult Init(IUnknown* object) override {
        ComRef<ICOMHash> hash;
        if (object && object->QueryInterface(IID_ICOMHash, hash.put_void()) >= 0)
            hash->ForEach(read_setting, nullptr);
        return OM_S_OK;
    }
    OmResult Play(uint32_t) override { return OM_S_OK; }
    OmResult Pause() override { return OM_S_OK; }
    OmResult Stop() override { return OM_S_OK; }
    OmResult Eject() override { return OM_S_OK; }
    int32_t GetCount() override { return 1; }
    // A CD track outside 0..99 is refused, as the drive does.
    OmResult Select(int32_t track) override {
        return track >= 0 && track < 100 ? OM_S_OK : OM_E_FAIL;
    }
    int32_t GetSelection() override { return 0; }
    OmResult GetStatus(uint32_t* flags) override {
        *flags = 0;
        return OM_S_OK;
    }
    int32_t GetLength() override { return 0; }
    OmResult SetPosition(int32_t) override { return OM_S_OK; }
    int32_t GetPosition() override { return 0; }
    OmResult SetVolume(float) override { return OM_S_OK; }
    float GetVolume() override { return 0.0f; }
    OmResult SetGrooveLevel(int8_t) override { return OM_S_OK; }
    int8_t GetGrooveLevel() override { return 0; }
    OmResult SetTempo(float) override { return OM_S_OK; }
    float GetTempo() override { return 1.0f; }
};

const OmClassRecord fake_players[] = {
    {&CLSID_Win32Dx7DirectMusic, nullptr, nullptr, OmCreateComponent<FakePlayer>,
     "Win32Dx7DirectMusic"},
    {&CLSID_Win32Dx5StreamedMusic, nullptr, nullptr, OmCreateComponent<FakePlayer>,
     "Win32Dx5StreamedMusic"},
    {&CLSID_Win32RedBookMusic, nullptr, nullptr, OmCreateComponent<FakePlayer>,
     "Win32RedBookMusic"},
    {&CLSID_MediaMusic, nullptr, nullptr, OmCreateComponent<FakePlayer>, "MediaMusic"},
};
OM_DEFINE_MODULE(FuzzFakeMusicPlayers, fake_players)

struct Fixture {
    ComRef<ICOMHash> collection;
    Fixture() {
        fuzzing::start_data_framework();
        require(FuzzFakeMusicPlayers_RegisterClasses(OmGetObjectManager()) >= 0, "fake players");
        require(OmCreate(CLSID_COMHash, IID_ICOMHash, collection.put()) >= 0, "a collection");
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    const float volume = float(int(input.byte()) - 128) * 100.0f;
    int32_t entries[4];
    int count = 0;
    while (count < 4) {
        const uint8_t b = input.byte();
        if (b > 0x7f) break;
        entries[count++] = int32_t(b) - 8;
    }
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put(fuzzing::program_path("music.ini"), input.rest());
    {
        fuzzing::FrameworkBlocksBalanced balanced;
        ComRef<IMusic> music;
        require(OmCreate(CLSID_MetaMusic, IID_IMusic, music.put()) >= 0, "MetaMusic is made");
        if (music->Init(f.collection.get()) >= 0) {
            music->SetVolume(volume);
            const int32_t entries_found = music->GetCount();
            require(entries_found >= 0, "a count is never negative");
            for (int i = 0; i < count; ++i) {
                music->Select(entries[i]);
                require(music->GetSelection() == entries[i], "a selection is remembered");
                music->Play(0);
                uint32_t flags = 0;
                music->GetStatus(&flags);
            }
            music->Stop();
        }
        music.reset();
        require(live_players == 0, "every player goes with MetaMusic");
    }
    files.reset();
    return 0;
}
