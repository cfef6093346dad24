// SoundSet: the channel tree of channels.ini and the sound table of sounds.ini over one sound
// device, played by name.
#include "sound/set/sound_set.h"

#include "framework/containers/com_hash.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/platform/debug_message.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_service.h"
#include "sound/base/sound_control.h"
#include "sound/base/sound_params.h"
#include "sound/channel/sound_channel.h"
#include "sound/files/sound_keys.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using Parameters = std::initializer_list<std::pair<const char*, const char*>>;

void report(const char* text, Parameters parameters) {
    for (const auto& [name, value] : parameters) OmSetMessageParameter(name, value);
    OmReportMessage(OM_SEVERITY_WARNING, text);
}

ISoundChannel* as_channel(IUnknown* entry) {
    return static_cast<ISoundChannel*>(entry);
}

ISound* as_sound(IUnknown* entry) {
    return static_cast<ISound*>(entry);
}

class SoundSet final : public OmObject<SoundSet, ISoundSet> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ISoundSet, static_cast<ISoundSet*>(this)}});
    }

    OmResult init() {
        OmResult r = OmCreate(CLSID_Win32OS, IID_IOmOS, os_.put());
        if (r < 0) return r;
        if ((r = OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put())) < 0) return r;
        if ((r = OmCreate(CLSID_COMHash, IID_ICOMHash, sounds_.put())) < 0) return r;
        if ((r = OmCreate(CLSID_COMHash, IID_ICOMHash, channels_.put())) < 0) return r;
        if ((r = OmCreate(CLSID_ObjHash, IID_IObjHash, parents_.put())) < 0) return r;
        if ((r = OmCreate(CLSID_ObjHash, IID_IObjHash, sound_channels_.put())) < 0) return r;
        return OM_S_OK;
    }

    // Looping sounds still listed by a control hold references (and cycles through their
    // controls): everything is stopped before the tables go.
    ~SoundSet() {
        if (channels_) StopAllSounds();
        if (sound_channels_) sound_channels_->RemoveAll();
        if (sounds_) sounds_->RemoveAll();
        if (parents_) parents_->RemoveAll();
        if (channels_) channels_->RemoveAll();
    }

    OmResult Init(IUnknown* device, uint32_t flags) override {
        ComRef<ISoundControl> control;
        OmResult r;
        if (device) {
            r = device->QueryInterface(IID_ISoundControl, control.put_void());
            if (r < 0) return r;
        } else {
            r = OmCreate(CLSID_SoundDevice, IID_ISoundControl, control.put());
            if (r < 0) return r;
            r = control->Init(nullptr, flags);
            if (r < 0) return r;
        }
        device_ = std::move(control);
        return OM_S_OK;
    }

    OmResult Update() override {
        const uint32_t now = os_->GetTime();
        int64_t elapsed = int64_t(now) - int64_t(last_update_);
        last_update_ = now;
        if (elapsed < 0 || elapsed > SOUND_SET_MAX_STEP) elapsed = SOUND_SET_MAX_STEP;
        struct Step {
            uint32_t elapsed;
            OmResult result;
        } step{uint32_t(elapsed), OM_S_OK};
        channels_->ForEach(
            [](const char*, IUnknown* entry, void* context) -> OmResult {
                auto& s = *static_cast<Step*>(context);
                ISoundControl* control = entry ? as_channel(entry)->GetControl() : nullptr;
                if (!control) return OM_S_OK;
                const OmResult r = control->Update(s.elapsed);
                if (r < 0 && s.result >= 0) s.result = r;
                return OM_S_OK;
            },
            &step);
        return step.result;
    }

    OmResult SetChannelParams(const char* channel, const float* rows,
                              const float* velocity) override {
        ISoundControl* control = control_of(channel);
        return control ? control->SetFrame(rows, velocity) : OM_E_FAIL;
    }

    OmResult GetChannelParams(const char* channel, float* rows, float* velocity) override {
        ISoundControl* control = control_of(channel);
        return control ? control->GetFrame(rows, velocity) : OM_E_FAIL;
    }

    OmResult Load(const char* path) override {
        if (!path || std::strlen(path) >= SOUND_SET_PATH_SIZE) return OM_E_FAIL;
        char app[SOUND_SET_DIRECTORY_SIZE];
        if (os_->GetAppPath(app, sizeof app) < 0) return OM_E_FAIL;
        std::string base = std::string(app) + path;
        if (base.size() >= SOUND_SET_DIRECTORY_SIZE) return OM_E_FAIL;
        base_ = std::move(base);

        StopAllSounds();
        sound_channels_->RemoveAll();
        sounds_->RemoveAll();
        parents_->RemoveAll();
        channels_->RemoveAll();
        path_ = path;

        OmResult r = process(SOUND_SET_CHANNELS_FILE, &SoundSet::channel_step);
        if (r < 0) return r;
        r = process(SOUND_SET_SOUNDS_FILE, &SoundSet::sound_step);
        return r < 0 ? r : OM_S_OK;
    }

    OmResult GetPath(char* buffer, uint32_t size) override {
        if (!buffer || path_.size() + 1 > size) return OM_E_FAIL;
        std::memcpy(buffer, path_.c_str(), path_.size() + 1);
        return OM_S_OK;
    }

    OmResult PlaySound(const char* sound, int32_t argument) override {
        ISound* s = sound_of(sound);
        return s ? s->Play(argument) : OM_E_FAIL;
    }

    OmResult PlaySoundWith(const char* sound, const SoundPlayDesc* desc,
                           int32_t argument) override {
        ISound* s = sound_of(sound);
        return s ? s->PlayInstance(desc, argument) : OM_E_FAIL;
    }

    OmResult CreateSoundInstance(const char* sound, const SoundPlayDesc* desc,
                                 ISound** out) override {
        if (out) *out = nullptr;
        ISound* s = sound_of(sound);
        return s ? s->CreateInstanceFrom(desc, out) : OM_E_FAIL;
    }

    OmResult SetChannelVolume(const char* channel, float volume) override {
        ISoundControl* control = control_of(channel);
        return control ? control->SetParamReal(CONTROL_REAL_VOLUME, volume) : OM_E_FAIL;
    }

    OmResult GetChannelVolume(const char* channel, float* out) override {
        ISoundControl* control = control_of(channel);
        return control ? control->GetParamReal(CONTROL_REAL_VOLUME, out) : OM_E_FAIL;
    }

    OmResult StopChannel(const char* channel) override {
        ISoundControl* control = control_of(channel);
        return control ? control->StopAll(0) : OM_E_FAIL;
    }

    OmResult StopAllSounds() override {
        channels_->ForEach(
            [](const char*, IUnknown* entry, void*) -> OmResult {
                ISoundControl* control = entry ? as_channel(entry)->GetControl() : nullptr;
                if (control) control->StopAll(0);
                return OM_S_OK;
            },
            nullptr);
        return OM_S_OK;
    }

private:
    using Step = OmResult (SoundSet::*)(IPropertySheet* sheet, const char* name);

    ISoundControl* control_of(const char* channel) {
        IUnknown* entry = channel ? channels_->Get(channel) : nullptr;
        return entry ? as_channel(entry)->GetControl() : nullptr;
    }

    ISound* sound_of(const char* sound) {
        IUnknown* entry = sound ? sounds_->Get(sound) : nullptr;
        return entry ? as_sound(entry) : nullptr;
    }

    // Loads base directory + file into a new sheet and runs the step on every named section
    // in file order; the first failing step ends it with its failure.
    OmResult process(const char* file, Step step) {
        const std::string full = base_ + file;
        ComRef<IPropertySheet> sheet;
        ComRef<IByteStream> stream;
        OmResult r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put());
        if (r >= 0) r = storage_->Open(full.c_str(), OM_OPEN_READ, OM_OPEN_TEXT, stream.put());
        if (r >= 0) r = sheet->Load(stream.get());
        if (r < 0) {
            report("Unable to open {Path}", {{"{Path}", full.c_str()}});
            return r;
        }
        stream.reset();
        if (sheet->MoveSection(OM_MOVE_FIRST) < 0) return OM_S_OK;
        do {
            char name[OM_SHEET_NAME_SIZE];
            sheet->GetSectionName(name);
            if (name[0] == '\0') continue;
            if (std::strlen(name) > SOUND_SET_NAME_MAX) return OM_E_FAIL;
            r = (this->*step)(sheet.get(), name);
            if (r < 0) return r;
            sheet->SetSection(name);
        } while (sheet->MoveSection(OM_MOVE_NEXT) >= 0);
        return OM_S_OK;
    }

    // The channel type whose name is `type`, found among the classes of the category.
    static OmResult find_channel_type(const char* type, ComRef<ISoundChannel>& out) {
        GUID cursor = GUID_NULL;
        while (OmFindNextClassOfCategory(CATID_SoundChannel, &cursor) >= 0) {
            ComRef<ISoundChannel> channel;
            if (OmCreate(cursor, IID_ISoundChannel, channel.put()) < 0) continue;
            const char* name = channel->GetName();
            if (name && std::strcmp(name, type) == 0) {
                out = std::move(channel);
                return OM_S_OK;
            }
        }
        return OM_E_FAIL;
    }

    OmResult channel_step(IPropertySheet* sheet, const char* name) {
        char type[SOUND_KEY_WORD_SIZE];
        OmResult r = sheet->GetString("Type", type, sizeof type);
        if (r < 0) {
            report("Channel '{Channel}' does not have a Type defined", {{"{Channel}", name}});
            return r;
        }
        ComRef<ISoundChannel> channel;
        if (find_channel_type(type, channel) < 0) {
            report("Channel type '{Type}' could not be found for channel '{Channel}'.",
                   {{"{Type}", type}, {"{Channel}", name}});
            return OM_E_FAIL;
        }
        channel->SetStorage(storage_.get(), base_.c_str());
        char parent[SOUND_KEY_WORD_SIZE];
        const bool has_parent = OmReadSoundKeyText(sheet, "Parent", parent, sizeof parent) >= 0;
        if (has_parent) {
            IUnknown* entry = channels_->Get(parent);
            if (!entry) {
                report("Could not find channel '{Parent}' - specificed as parent to '{Channel}'",
                       {{"{Parent}", parent}, {"{Channel}", name}});
                return OM_E_FAIL;
            }
            r = channel->ReadKeys(as_channel(entry)->GetControl(), channels_.get(), sheet);
        } else {
            r = channel->ReadKeys(device_.get(), channels_.get(), sheet);
        }
        if (r < 0) return r;
        if (has_parent && (r = parents_->SetString(name, parent)) < 0) return r;
        if ((r = channels_->Set(name, channel.get())) < 0) return r;
        (void)channel.detach();
        return OM_S_OK;
    }

    OmResult sound_step(IPropertySheet* sheet, const char* name) {
        char channel_name[SOUND_KEY_WORD_SIZE];
        OmResult r = sheet->GetString("Channel", channel_name, sizeof channel_name);
        if (r < 0) return r;
        IUnknown* entry = channels_->Get(channel_name);
        if (!entry) return OM_E_FAIL;
        ISoundChannel* channel = as_channel(entry);

        ComRef<ISound> sound;
        char inherit[SOUND_KEY_WORD_SIZE];
        if (OmReadSoundKeyText(sheet, "Inherit", inherit, sizeof inherit) < 0) {
            r = channel->CreateSound(sheet, sounds_.get(), sound.put());
            if (r < 0) {
                report("Unable to create sound '{Sound}'", {{"{Sound}", name}});
                return r;
            }
        } else {
            r = inherit_sound(sheet, name, channel_name, inherit, sound);
            if (r < 0) return r;
        }
        OmApplySoundKeys(sheet, sound.get());
        if ((r = sounds_->Set(name, sound.get())) < 0) return r;
        (void)sound.detach();
        if ((r = sound_channels_->SetString(name, channel_name)) < 0) return r;
        sounds_->ForEach(
            [](const char*, IUnknown* entry, void*) -> OmResult {
                if (entry) as_sound(entry)->SetParamInt(SOUND_INT_LOADED, 1);
                return OM_S_OK;
            },
            nullptr);
        return OM_S_OK;
    }

    // The inherited sound wrapped by every channel from just below its own channel down to
    // the new sound's channel.
    OmResult inherit_sound(IPropertySheet* sheet, const char* name, const char* channel_name,
                           const char* inherit, ComRef<ISound>& out) {
        IUnknown* inherited = sounds_->Get(inherit);
        if (!inherited) {
            report("Unable to find sound '{Inherit}' inherited by '{Sound}'",
                   {{"{Inherit}", inherit}, {"{Sound}", name}});
            return OM_E_FAIL;
        }
        const std::string inherited_channel = sound_channels_->GetString(inherit, "");
        std::vector<std::string> chain{channel_name};
        for (;;) {
            const char* parent = parents_->GetString(chain.back().c_str(), nullptr);
            // Parents are defined before their children, so the walk ends; the bound only
            // guards against a table that says otherwise.
            if (!parent || chain.size() > channels_->Count()) {
                report("Unable to inherit '{Sound}' from '{Inherit}'  - check the Channel "
                       "Inheritence",
                       {{"{Sound}", name}, {"{Inherit}", inherit}});
                return OM_E_FAIL;
            }
            if (inherited_channel == parent) break;
            chain.emplace_back(parent);
        }
        ComRef<ISound> sound = ComRef<ISound>::share(as_sound(inherited));
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            IUnknown* entry = channels_->Get(it->c_str());
            ComRef<ISound> wrapped;
            OmResult r =
                entry ? as_channel(entry)->Inherit(sound.get(), sheet, wrapped.put()) : OM_E_FAIL;
            if (r < 0) {
                report("Unable to inherit '{Sound}' from '{Inherit}'  - check the channel types",
                       {{"{Sound}", name}, {"{Inherit}", inherit}});
                return r;
            }
            sound = std::move(wrapped);
        }
        out = std::move(sound);
        return OM_S_OK;
    }

    ComRef<IOmOS> os_;
    ComRef<IFileStorage> storage_;
    ComRef<ICOMHash> sounds_;
    ComRef<ICOMHash> channels_;
    ComRef<IObjHash> parents_;
    ComRef<IObjHash> sound_channels_;
    ComRef<ISoundControl> device_;
    std::string path_;
    std::string base_;
    uint32_t last_update_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_SoundSet, nullptr, nullptr, OmCreateComponent<SoundSet>, "SoundSet"}};

} // namespace

OM_DEFINE_MODULE(SoundSet, classes)
