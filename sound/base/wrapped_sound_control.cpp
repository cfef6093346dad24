// WrappedSoundControl: forwarding to the parent control.
#include "sound/base/wrapped_sound_control.h"

namespace {

class PlainWrappedSoundControl final : public WrappedSoundControl {};

} // namespace

OmResult WrappedSoundControl::Create(ISoundControl** out) {
    if (!out) return OM_E_FAIL;
    auto* control = new PlainWrappedSoundControl;
    *out = control;
    return control ? OM_S_OK : OM_E_OUTOFMEMORY;
}

WrappedSoundControl::~WrappedSoundControl() {
    if (parent_) parent_->Release();
}

OmResult WrappedSoundControl::QueryInterface(const GUID& iid, void** out) {
    return query(IID_ISoundControl, iid, out);
}

OmResult WrappedSoundControl::Init(IUnknown* object, uint32_t flags) {
    if (!object || parent_) return OM_E_FAIL;
    OmResult r = object->QueryInterface(IID_ISoundControl, reinterpret_cast<void**>(&parent_));
    if (r < 0) {
        parent_ = nullptr;
        return r;
    }
    flags_ = flags;
    return OM_S_OK;
}

OmResult WrappedSoundControl::Update(uint32_t elapsed) {
    return parent_ ? parent_->Update(elapsed) : OM_E_FAIL;
}

OmResult WrappedSoundControl::SetFrame(const float* frame, const float* velocity) {
    return parent_ ? parent_->SetFrame(frame, velocity) : OM_E_FAIL;
}

OmResult WrappedSoundControl::GetFrame(float* frame, float* velocity) {
    return parent_ ? parent_->GetFrame(frame, velocity) : OM_E_FAIL;
}

OmResult WrappedSoundControl::CreateSound(ISoundCreate** out) {
    return parent_ ? parent_->CreateSound(out) : OM_E_FAIL;
}

OmResult WrappedSoundControl::CreateSoundFrom(ISoundCreate* source, ISound** out) {
    return parent_ ? parent_->CreateSoundFrom(source, out) : OM_E_FAIL;
}

OmResult WrappedSoundControl::SetParamInt(int32_t kind, intptr_t value) {
    return parent_ ? parent_->SetParamInt(kind, value) : OM_E_FAIL;
}

OmResult WrappedSoundControl::GetParamInt(int32_t kind, intptr_t* out) {
    return parent_ ? parent_->GetParamInt(kind, out) : OM_E_FAIL;
}

OmResult WrappedSoundControl::SetParamReal(int32_t kind, float value) {
    return parent_ ? parent_->SetParamReal(kind, value) : OM_E_FAIL;
}

OmResult WrappedSoundControl::GetParamReal(int32_t kind, float* out) {
    return parent_ ? parent_->GetParamReal(kind, out) : OM_E_FAIL;
}

OmResult WrappedSoundControl::StopAll(int32_t ignored) {
    return parent_ ? parent_->StopAll(ignored) : OM_E_FAIL;
}

OmResult WrappedSoundControl::SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) {
    return parent_ ? parent_->SetOutputFormat(code, rate, flags) : OM_E_FAIL;
}

OmResult WrappedSoundControl::GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) {
    return parent_ ? parent_->GetOutputFormat(code, rate, flags) : OM_E_FAIL;
}

OmResult WrappedSoundControl::AddObject(int32_t list, IUnknown* object) {
    return parent_ ? parent_->AddObject(list, object) : OM_E_FAIL;
}

OmResult WrappedSoundControl::RemoveObject(int32_t list, IUnknown* object) {
    return parent_ ? parent_->RemoveObject(list, object) : OM_E_FAIL;
}

OmResult WrappedSoundControl::ForEachObject(int32_t list, SoundObjectCallback callback,
                                            void* context) {
    return parent_ ? parent_->ForEachObject(list, callback, context) : OM_E_FAIL;
}
