// ChannelSoundControl: the shared channel-control operations.
#include "sound/channel/channel_sound_control.h"

#include "framework/core/com_ref.h"
#include "sound/channel/wrapping_sound_create.h"

OmResult ChannelSoundControl::CreateSoundFrom(ISoundCreate* source, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (source) return OM_E_FAIL;
    ChannelSound* sound = make_sound();
    if (!sound) return OM_E_OUTOFMEMORY;
    sound->Init(static_cast<ISoundControl*>(this));
    *out = sound;
    return OM_S_OK;
}

OmResult ChannelSoundControl::wrap_parent_maker(bool plain_inner, ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!parent_) return OM_E_FAIL;
    ComRef<ISoundCreate> inner;
    OmResult r = parent_->CreateSound(inner.put());
    if (r < 0) return r;
    ComRef<ISoundCreate> wrapper;
    r = WrappingSoundCreate::Create(plain_inner, wrapper.put());
    if (r < 0) return r;
    wrapper->SetProperty(MAKER_CONTROL,
                         reinterpret_cast<intptr_t>(static_cast<ISoundControl*>(this)));
    wrapper->SetProperty(MAKER_INNER, reinterpret_cast<intptr_t>(inner.get()));
    *out = wrapper.detach();
    return OM_S_OK;
}
