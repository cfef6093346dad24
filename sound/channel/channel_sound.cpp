// ChannelSound: the common channel sound.
#include "sound/channel/channel_sound.h"

#include "framework/core/com_ref.h"
#include "sound/base/sound_instance_from_desc.h"

OmResult ChannelSound::Init(IUnknown* object) {
    OmResult r = WrappedSound::Init(object);
    if (r < 0) return r;
    if (control_) control_->AddObject(CONTROL_LIST_ATTACHED, static_cast<ISound*>(this));
    return OM_S_OK;
}

OmResult ChannelSound::CreateInstance(uint32_t flags, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!wrapped_) return OM_E_FAIL;
    ComRef<ISound> inner;
    OmResult r = wrapped_->CreateInstance(flags, inner.put());
    if (r < 0) return r;
    auto* copy = static_cast<ChannelSound*>(make_empty());
    if (!copy) return OM_E_OUTOFMEMORY;
    ComRef<ISound> held = ComRef<ISound>::adopt(copy);
    copy->control_ = control_;
    copy->wrapped_ = inner.detach();
    r = copy_into(*copy);
    if (r < 0) return r;
    if (member() && control_) control_->AddObject(CONTROL_LIST_ATTACHED, held.get());
    *out = held.detach();
    return OM_S_OK;
}

OmResult ChannelSound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_SOURCE) {
        if (wrapped_ || !value) return OM_E_FAIL;
        set_wrapped(reinterpret_cast<ISound*>(value));
        source_set();
        return OM_S_OK;
    }
    if (kind == SOUND_INT_TIME_STEP) return time_step(uint32_t(value));
    return WrappedSound::SetParamInt(kind, value);
}

OmResult ChannelSound::time_step(uint32_t) {
    if (attached() && (!wrapped_ || !wrapped_->IsPlaying())) detach();
    return OM_S_OK;
}

OmResult ChannelSound::CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) {
    return OmSoundInstanceFromDesc(this, desc, out);
}

OmResult ChannelSound::attach() {
    return control_ ? control_->AddObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this))
                    : OM_S_OK;
}

void ChannelSound::detach() {
    if (control_ && attached())
        control_->RemoveObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
}

OmResult ChannelSound::Play(int32_t argument) {
    if (!wrapped_) return OM_E_FAIL;
    OmResult r = attach();
    if (r < 0) return r;
    return wrapped_->Play(argument);
}

OmResult ChannelSound::PlayInstance(const SoundPlayDesc* desc, int32_t argument) {
    ComRef<ISound> instance;
    OmResult r = CreateInstanceFrom(desc, instance.put());
    if (r < 0) return r;
    return instance->Play(argument);
}

OmResult ChannelSound::Pause() {
    // Keeps this sound alive while it leaves the list that may hold its last reference.
    ComRef<ISound> self = ComRef<ISound>::share(this);
    OmResult r = wrapped_ ? wrapped_->Pause() : OM_E_FAIL;
    detach();
    return r;
}

OmResult ChannelSound::Stop() {
    ComRef<ISound> self = ComRef<ISound>::share(this);
    OmResult r = wrapped_ ? wrapped_->Stop() : OM_E_FAIL;
    detach();
    return r;
}
