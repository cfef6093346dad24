// The channel types that make sounds of their own from sounds.ini: MetaSoundChannel (a sound
// made of other sounds of the table) and FunctionSoundChannel (a sound driven by an
// expression over a base sound).
#include "sound/base/sound_params.h"
#include "sound/channel/channel_descs.h"
#include "sound/channel/control_channel.h"
#include "sound/channel/function_sound_control.h"
#include "sound/channel/meta_sound_sound_control.h"
#include "sound/files/sound_keys.h"

namespace {

// A new sound of the control's kind handed `kind` with `desc`; released on failure.
OmResult make_described(ISoundControl* control, int32_t kind, const void* desc, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!control) return OM_E_FAIL;
    ComRef<ISound> sound;
    OmResult r = control->CreateSoundFrom(nullptr, sound.put());
    if (r < 0) return r;
    r = sound->SetParamInt(kind, reinterpret_cast<intptr_t>(desc));
    if (r < 0) return r;
    *out = sound.detach();
    return OM_S_OK;
}

class MetaSoundChannel final : public ControlChannel {
public:
    MetaSoundChannel() : ControlChannel("MetaSoundSoundControl", CLSID_MetaSoundSoundControl) {}

    OmResult CreateSound(IPropertySheet* sheet, ICOMHash* sounds, ISound** out) override {
        const SoundMetaDesc desc{sheet, sounds, storage_.get(), directory_.c_str()};
        return make_described(control_.get(), SOUND_INT_META_DESC, &desc, out);
    }
    // Meta sounds are made from their members only.
    OmResult Inherit(ISound*, IPropertySheet*, ISound** out) override {
        if (out) *out = nullptr;
        return OM_E_FAIL;
    }
};

class FunctionSoundChannel final : public ControlChannel {
public:
    FunctionSoundChannel() : ControlChannel("FunctionSoundControl", CLSID_FunctionSoundControl) {}

    // "Sound" names the base sound in the table: absent, the sheet's failure; not there,
    // OM_E_FAIL.
    OmResult CreateSound(IPropertySheet* sheet, ICOMHash* sounds, ISound** out) override {
        if (out) *out = nullptr;
        if (!sheet || !sounds) return OM_E_FAIL;
        char name[SOUND_KEY_WORD_SIZE];
        const OmResult r = sheet->GetString("Sound", name, sizeof name);
        if (r < 0) return r;
        IUnknown* base = sounds->Get(name);
        if (!base) return OM_E_FAIL;
        return Inherit(static_cast<ISound*>(base), sheet, out);
    }
    // The same over the inherited sound.
    OmResult Inherit(ISound* source, IPropertySheet* sheet, ISound** out) override {
        if (out) *out = nullptr;
        if (!source) return OM_E_FAIL;
        const SoundFunctionDesc desc{sheet, source, storage_.get(), directory_.c_str()};
        return make_described(control_.get(), SOUND_INT_FUNCTION_DESC, &desc, out);
    }
};

const GUID* const channel_category[] = {&CATID_SoundChannel, nullptr};
const OmClassRecord meta_sound_classes[] = {{&CLSID_MetaSoundChannel, channel_category, nullptr,
                                             SoundChannelBase::create<MetaSoundChannel>,
                                             "MetaSoundChannel"}};
const OmClassRecord function_classes[] = {{&CLSID_FunctionSoundChannel, channel_category, nullptr,
                                           SoundChannelBase::create<FunctionSoundChannel>,
                                           "FunctionSoundChannel"}};

} // namespace

OM_DEFINE_MODULE(MetaSoundChannel, meta_sound_classes)
OM_DEFINE_MODULE(FunctionSoundChannel, function_classes)
