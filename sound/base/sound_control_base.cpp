// The control base's generic operations.
#include "sound/base/sound_control_base.h"

#include "framework/core/com_ref.h"
#include "sound/base/base_sound_create.h"

#include <cstring>

OmResult OmSoundControlCreateSoundFrom(ISoundControl* control, ISoundCreate* source, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    ComRef<ISoundCreate> maker;
    OmResult r = control->CreateSound(maker.put());
    if (r < 0) return r;
    if (source) {
        for (int32_t id : {MAKER_PROPERTY1, MAKER_LENGTH, MAKER_FORMAT, MAKER_RATE}) {
            intptr_t value = 0;
            if (source->GetProperty(id, &value) >= 0) maker->SetProperty(id, value);
        }
    }
    return maker->CreateSound(out);
}

OmResult SoundControlBase::QueryInterface(const GUID& iid, void** out) {
    return query(IID_ISoundControl, iid, out);
}

OmResult SoundControlBase::Init(IUnknown*, uint32_t) {
    return OM_S_OK;
}

OmResult SoundControlBase::Update(uint32_t elapsed) {
    lists_.time_step(elapsed);
    return OM_S_OK;
}

OmResult SoundControlBase::SetFrame(const float* frame, const float* velocity) {
    frame_.set(frame, velocity);
    return OM_S_OK;
}

OmResult SoundControlBase::GetFrame(float* frame, float* velocity) {
    frame_.get(frame, velocity);
    return OM_S_OK;
}

OmResult SoundControlBase::CreateSound(ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    IUnknown* object = nullptr;
    OmResult r = BaseSoundCreate::Create(nullptr, &object);
    if (r < 0) return r;
    *out = static_cast<ISoundCreate*>(object);
    return OM_S_OK;
}

OmResult SoundControlBase::CreateSoundFrom(ISoundCreate* source, ISound** out) {
    return OmSoundControlCreateSoundFrom(this, source, out);
}

OmResult SoundControlBase::SetParamInt(int32_t, intptr_t) {
    return OM_E_FAIL;
}

OmResult SoundControlBase::GetParamInt(int32_t, intptr_t*) {
    return OM_E_FAIL;
}

OmResult SoundControlBase::SetParamReal(int32_t kind, float value) {
    switch (kind) {
    case CONTROL_REAL_VOLUME:
    case CONTROL_REAL_DISTANCE: level_ = value; return OM_S_OK;
    case CONTROL_REAL_ROLLOFF: rolloff_ = value; return OM_S_OK;
    case CONTROL_REAL_DOPPLER: doppler_ = value; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult SoundControlBase::GetParamReal(int32_t kind, float* out) {
    if (!out) return OM_E_FAIL;
    switch (kind) {
    case CONTROL_REAL_VOLUME:
    case CONTROL_REAL_DISTANCE: *out = level_; return OM_S_OK;
    case CONTROL_REAL_ROLLOFF: *out = rolloff_; return OM_S_OK;
    case CONTROL_REAL_DOPPLER: *out = doppler_; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult SoundControlBase::StopAll(int32_t) {
    return OM_S_OK;
}

OmResult SoundControlBase::SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) {
    output_code_ = code;
    output_rate_ = rate;
    output_flags_ = flags;
    return OM_S_OK;
}

OmResult SoundControlBase::GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) {
    if (code) *code = output_code_;
    if (rate) *rate = output_rate_;
    if (flags) *flags = output_flags_;
    return OM_S_OK;
}

OmResult SoundControlBase::AddObject(int32_t list, IUnknown* object) {
    return lists_.add(list, object);
}

OmResult SoundControlBase::RemoveObject(int32_t list, IUnknown* object) {
    return lists_.remove(list, object);
}

OmResult SoundControlBase::ForEachObject(int32_t list, SoundObjectCallback callback,
                                         void* context) {
    return lists_.for_each(list, callback, context);
}
