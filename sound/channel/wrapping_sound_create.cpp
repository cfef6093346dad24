// WrappingSoundCreate: the channel controls' wrapping sound maker.
#include "sound/channel/wrapping_sound_create.h"

#include "framework/core/com_ref.h"

#include <new>

OmResult WrappingSoundCreate::Create(bool plain_inner, ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    auto* maker = new WrappingSoundCreate(plain_inner);
    *out = maker;
    return maker ? OM_S_OK : OM_E_OUTOFMEMORY;
}

WrappingSoundCreate::~WrappingSoundCreate() {
    if (inner_) inner_->Release();
    if (control_) control_->Release();
}

OmResult WrappingSoundCreate::QueryInterface(const GUID& iid, void** out) {
    return query(IID_ISoundCreate, iid, out);
}

void WrappingSoundCreate::keep_inner_plain() {
    if (plain_inner_ && inner_) inner_->SetProperty(MAKER_3D, 0);
}

OmResult WrappingSoundCreate::Validate() {
    return inner_ ? inner_->Validate() : OM_E_FAIL;
}

OmResult WrappingSoundCreate::CreateSound(ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!inner_ || !control_) return OM_E_FAIL;
    ComRef<ISound> inner;
    OmResult r = inner_->CreateSound(inner.put());
    if (r < 0) return r;
    ComRef<ISound> sound;
    r = control_->CreateSoundFrom(nullptr, sound.put());
    if (r < 0) return r;
    r = sound->SetParamInt(SOUND_INT_SOURCE, reinterpret_cast<intptr_t>(inner.get()));
    if (r < 0) return r;
    *out = sound.detach();
    return OM_S_OK;
}

OmResult WrappingSoundCreate::SetProperty(int32_t id, intptr_t value) {
    if (id == MAKER_CONTROL) {
        ISoundControl* control = nullptr;
        if (value) {
            OmResult r = reinterpret_cast<IUnknown*>(value)->QueryInterface(
                IID_ISoundControl, reinterpret_cast<void**>(&control));
            if (r < 0) return r;
        }
        if (control_) control_->Release();
        control_ = control;
        return OM_S_OK;
    }
    if (id == MAKER_INNER) {
        ISoundCreate* inner = nullptr;
        if (value) {
            OmResult r = reinterpret_cast<IUnknown*>(value)->QueryInterface(
                IID_ISoundCreate, reinterpret_cast<void**>(&inner));
            if (r < 0) return r;
        }
        if (inner_) inner_->Release();
        inner_ = inner;
        keep_inner_plain();
        return OM_S_OK;
    }
    if (!inner_) return OM_E_FAIL;
    if (id == MAKER_3D && plain_inner_) return inner_->SetProperty(MAKER_3D, 0);
    return inner_->SetProperty(id, value);
}

OmResult WrappingSoundCreate::GetProperty(int32_t id, intptr_t* out) {
    if (!out) return OM_E_FAIL;
    if (id == MAKER_CONTROL) {
        *out = reinterpret_cast<intptr_t>(control_);
        return OM_S_OK;
    }
    if (id == MAKER_INNER) {
        *out = reinterpret_cast<intptr_t>(inner_);
        return OM_S_OK;
    }
    return inner_ ? inner_->GetProperty(id, out) : OM_E_FAIL;
}

OmResult WrappingSoundCreate::SetPropertyReal(int32_t id, float value) {
    return inner_ ? inner_->SetPropertyReal(id, value) : OM_E_FAIL;
}

OmResult WrappingSoundCreate::GetPropertyReal(int32_t id, float* out) {
    return inner_ ? inner_->GetPropertyReal(id, out) : OM_E_FAIL;
}

OmResult WrappingSoundCreate::Reset() {
    if (!inner_) return OM_E_FAIL;
    OmResult r = inner_->Reset();
    keep_inner_plain();
    return r;
}

OmResult WrappingSoundCreate::Clone(ISoundCreate** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    ComRef<ISoundCreate> copy;
    OmResult r = Create(plain_inner_, copy.put());
    if (r < 0) return r;
    auto* wrapper = static_cast<WrappingSoundCreate*>(copy.get());
    if (inner_) {
        r = inner_->Clone(&wrapper->inner_);
        if (r < 0) return r;
    }
    if (control_) {
        control_->AddRef();
        wrapper->control_ = control_;
    }
    *out = copy.detach();
    return OM_S_OK;
}
