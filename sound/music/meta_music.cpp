// MetaMusic: music.ini's entries, the player of the selected entry, and forwarding to it.
#include "sound/music/meta_music.h"

#include "framework/containers/com_hash.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/core/portable_path.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_service.h"
#include "sound/music/music_players.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Buffer sizes of the keys, terminator included.
constexpr uint32_t type_size = 21;
constexpr uint32_t filename_size = 261;
constexpr uint32_t number_size = 21;
constexpr uint32_t track_size = 11;

constexpr const char* dmusic_keys_real[] = {"rInGain", "rHighFreqRTRatio", "rReverbMix",
                                            "rReverbTime"};

void section_name(int32_t entry, char (&out)[16]) {
    std::snprintf(out, sizeof out, "%d", int(entry));
}

// ASCII letters folded to lower case.
void lower_ascii(char* text) {
    for (; *text; ++text)
        if (*text >= 'A' && *text <= 'Z') *text = char(*text - 'A' + 'a');
}

OmResult copy_entry(const char* name, IUnknown* object, void* context) {
    auto* hash = static_cast<IObjHash*>(context);
    if (object) object->AddRef();
    OmResult r = hash->Set(name, object);
    if (r < 0 && object) object->Release();
    return r;
}

class MetaMusic final : public OmObject<MetaMusic, IMusic> {
public:
    OmResult init() {
        os_acquired_ = OmOSAcquire() >= 0;
        OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put());
        return OM_S_OK;
    }

    ~MetaMusic() {
        sheet_.reset();
        player_.reset();
        if (os_acquired_) OmOSRelease();
        storage_.reset();
        collection_.reset();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        if (!out) return OM_E_FAIL;
        if (iid == IID_IUnknown || iid == IID_IMusic)
            return om_query_interface(iid, out, {{&IID_IMusic, this}});
        *out = nullptr;
        // Other interfaces (a player's tempo control) are the current player's.
        return player_ ? player_->QueryInterface(iid, out) : OM_E_NOINTERFACE;
    }

    OmResult Init(IUnknown* collection) override {
        collection_ = ComRef<IUnknown>::share(collection);
        sheet_.reset();
        OmResult r = load_sheet();
        if (r < 0) return r;
        Select(0);
        return OM_S_OK;
    }

    OmResult Play(uint32_t flags) override { return player_ ? player_->Play(flags) : OM_E_FAIL; }
    OmResult Pause() override { return player_ ? player_->Pause() : OM_E_FAIL; }
    OmResult Stop() override { return player_ ? player_->Stop() : OM_S_OK; }
    OmResult Eject() override { return Stop(); }

    int32_t GetCount() override {
        if (!sheet_) return 0;
        int32_t count = 0;
        char name[16];
        while (count < META_MUSIC_MAX_ENTRIES) {
            section_name(count, name);
            if (sheet_->SetSection(name) < 0) break;
            ++count;
        }
        // Later reads use the selected entry's section again.
        if (selected_ >= 0) {
            section_name(selected_, name);
            sheet_->SetSection(name);
        }
        return count;
    }

    OmResult Select(int32_t entry) override {
        if (entry == selected_) return OM_S_OK;
        selected_ = entry;
        if (player_) {
            player_->Stop();
            player_.reset();
        }
        // Without music.ini there is nothing to select (the entry still counts as selected).
        if (!sheet_) return OM_E_FAIL;
        char name[16];
        section_name(entry, name);
        OmResult r = sheet_->SetSection(name);
        if (r < 0) return r;
        char type[type_size];
        if ((r = sheet_->GetString("type", type, sizeof type)) < 0) return r;
        lower_ascii(type);

        ComRef<IObjHash> settings;
        if ((r = make_settings(settings)) < 0) return r;
        ComRef<IMusic> player;
        if (std::strcmp(type, "dmusic") == 0) {
            r = make_direct_music(player);
        } else if (std::strcmp(type, "streamed") == 0) {
            r = make_file_player(CLSID_Win32Dx5StreamedMusic, settings.get(), nullptr, player);
        } else if (std::strcmp(type, "redbook") == 0) {
            r = make_cd_player(entry, settings.get(), player);
        } else if (std::strcmp(type, "media") == 0) {
            r = make_file_player(CLSID_MediaMusic, settings.get(), "test.mp3", player);
        } else {
            r = OM_E_FAIL;
        }
        if (r < 0) return r;
        player->SetVolume(volume_);
        player_ = std::move(player);
        return OM_S_OK;
    }

    int32_t GetSelection() override { return selected_; }
    OmResult GetStatus(uint32_t* flags) override {
        return player_ ? player_->GetStatus(flags) : OM_E_FAIL;
    }
    int32_t GetLength() override { return player_ ? player_->GetLength() : 0; }
    OmResult SetPosition(int32_t milliseconds) override {
        return player_ ? player_->SetPosition(milliseconds) : OM_E_FAIL;
    }
    int32_t GetPosition() override { return player_ ? player_->GetPosition() : 0; }

    OmResult SetVolume(float level) override {
        volume_ = level;
        return player_ ? player_->SetVolume(level) : OM_S_OK;
    }
    float GetVolume() override { return volume_; }

private:
    // music.ini from the program directory into a fresh sheet.
    OmResult load_sheet() {
        char path[OM_MAX_PATH];
        if (OmOSGetAppPath(path, sizeof path) < 0) return OM_E_FAIL;
        if (std::strlen(path) + sizeof META_MUSIC_FILE > sizeof path) return OM_E_FAIL;
        std::strcat(path, META_MUSIC_FILE);
        if (!storage_) return OM_E_FAIL;
        ComRef<IByteStream> stream;
        OmResult r = storage_->Open(path, OM_OPEN_READ, OM_OPEN_BINARY, stream.put());
        if (r < 0) return r;
        ComRef<IPropertySheet> sheet;
        if ((r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put())) < 0) return r;
        if ((r = sheet->Load(stream.get())) < 0) return r;
        sheet_ = std::move(sheet);
        return OM_S_OK;
    }

    // A fresh hash holding every entry of Init's collection.
    OmResult make_settings(ComRef<IObjHash>& out) {
        OmResult r = OmCreate(CLSID_ObjHash, IID_IObjHash, out.put());
        if (r < 0) return r;
        if (!collection_) return OM_S_OK;
        ComRef<ICOMHash> entries;
        if (collection_->QueryInterface(IID_ICOMHash, entries.put_void()) < 0) return OM_S_OK;
        r = entries->ForEach(copy_entry, out.get());
        return r < 0 ? r : OM_S_OK;
    }

    // Creates a player and initialises it with `settings`; a failure leaves no player.
    static OmResult create_and_init(const GUID& clsid, IObjHash* settings, ComRef<IMusic>& out) {
        ComRef<IMusic> player;
        OmResult r = OmCreate(clsid, IID_IMusic, player.put());
        if (r < 0) return r;
        if ((r = player->Init(settings)) < 0) return r;
        out = std::move(player);
        return OM_S_OK;
    }

    OmResult make_direct_music(ComRef<IMusic>& out) {
        char filename[filename_size];
        OmResult r = sheet_->GetString("filename", filename, sizeof filename);
        if (r < 0) return r;
        // The DirectMusic player gets a hash of its own, without the collection's entries.
        ComRef<IObjHash> settings;
        if ((r = OmCreate(CLSID_ObjHash, IID_IObjHash, settings.put())) < 0) return r;
        if ((r = settings->SetString("cpFilename", filename)) < 0) return r;
        char value[number_size];
        if (sheet_->GetString("nReverb", value, sizeof value) >= 0)
            settings->SetInt("nReverb", int32_t(std::strtol(value, nullptr, 10)));
        for (const char* key : dmusic_keys_real)
            if (sheet_->GetString(key, value, sizeof value) >= 0)
                settings->SetReal(key, std::strtof(value, nullptr));
        return create_and_init(CLSID_Win32Dx7DirectMusic, settings.get(), out);
    }

    // "streamed" (the file is required) and "media" (`fallback` when absent).
    OmResult make_file_player(const GUID& clsid, IObjHash* settings, const char* fallback,
                              ComRef<IMusic>& out) {
        char filename[filename_size];
        OmResult r = sheet_->GetString("filename", filename, sizeof filename);
        if (r < 0) {
            if (!fallback) return r;
            std::snprintf(filename, sizeof filename, "%s", fallback);
        }
        if ((r = settings->SetString("cpFilename", filename)) < 0) return r;
        return create_and_init(clsid, settings, out);
    }

    // The CD player is initialised (which opens the drive and counts the tracks) before its
    // track is selected; without a drive it is not kept.
    OmResult make_cd_player(int32_t entry, IObjHash* settings, ComRef<IMusic>& out) {
        int32_t track = entry;
        char value[track_size];
        if (sheet_->GetString("track", value, sizeof value) >= 0)
            track = int32_t(std::strtol(value, nullptr, 10));
        ComRef<IMusic> player;
        OmResult r = create_and_init(CLSID_Win32RedBookMusic, settings, player);
        if (r < 0) return r;
        if ((r = player->Select(track)) < 0) return r;
        out = std::move(player);
        return OM_S_OK;
    }

    ComRef<IMusic> player_;
    ComRef<IUnknown> collection_;
    ComRef<IPropertySheet> sheet_;
    ComRef<IFileStorage> storage_;
    float volume_ = 1.0f;
    int32_t selected_ = -1;
    bool os_acquired_ = false;
};

const OmClassRecord classes[] = {
    {&CLSID_MetaMusic, nullptr, nullptr, OmCreateComponent<MetaMusic>, "MetaMusic"}};

} // namespace

OM_DEFINE_MODULE(MetaMusic, classes)
