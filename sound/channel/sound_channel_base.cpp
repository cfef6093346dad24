// The channel base.
#include "sound/channel/sound_channel_base.h"

#include "framework/core/component.h"
#include "sound/base/sound_params.h"
#include "sound/files/sound_keys.h"

#include <cstring>

OmResult SoundChannelBase::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(iid, out, {{&IID_ISoundChannel, static_cast<ISoundChannel*>(this)}});
}

uint32_t SoundChannelBase::Release() {
    if (ref_count_ != 1) return --ref_count_;
    delete this;
    return 0;
}

OmResult SoundChannelBase::ReadKeys(ISoundControl*, ICOMHash*, IPropertySheet*) {
    return OM_S_OK;
}

OmResult SoundChannelBase::SetStorage(IFileStorage* storage, const char* directory) {
    const char* text = directory ? directory : "";
    if (std::strlen(text) >= SOUND_DIRECTORY_SIZE) return OM_E_FAIL;
    storage_ = ComRef<IFileStorage>::share(storage);
    directory_ = text;
    return OM_S_OK;
}

OmResult SoundChannelBase::CreateSound(IPropertySheet*, ICOMHash*, ISound** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult SoundChannelBase::Inherit(ISound* source, IPropertySheet*, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!control_ || !source) return OM_E_FAIL;
    ComRef<ISound> sound;
    OmResult r = control_->CreateSoundFrom(nullptr, sound.put());
    if (r < 0) return r;
    r = sound->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(source));
    if (r < 0) return r;
    *out = sound.detach();
    return OM_S_OK;
}

OmResult OmReadChannelFactor(IPropertySheet* sheet, const char* key, float* out) {
    char text[SOUND_KEY_NUMBER_SIZE];
    if (!out || OmReadSoundKeyText(sheet, key, text, sizeof text) < 0 || text[0] == '\0')
        return OM_E_FAIL;
    *out = OmParseSoundReal(text);
    return OM_S_OK;
}
