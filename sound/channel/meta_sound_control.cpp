// MetaSoundControl: fanning operations out to the member controls.
#include "sound/channel/meta_sound_control.h"

#include "framework/core/com_ref.h"

#include <algorithm>

OmResult MetaSoundControl::create(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    auto* control = new MetaSoundControl;
    if (!control) return OM_E_OUTOFMEMORY;
    *out = static_cast<ISoundControl*>(control);
    return OM_S_OK;
}

MetaSoundControl::~MetaSoundControl() {
    for (ISoundControl* member : members_) member->Release();
}

OmResult MetaSoundControl::QueryInterface(const GUID& iid, void** out) {
    return query(IID_ISoundControl, iid, out);
}

template <class Op>
OmResult MetaSoundControl::each(Op op) {
    if (busy_) return OM_S_OK;
    busy_ = true;
    // A member may be removed meanwhile: walk a referenced copy.
    std::vector<ComRef<ISoundControl>> members;
    for (ISoundControl* m : members_) members.push_back(ComRef<ISoundControl>::share(m));
    for (auto it = members.rbegin(); it != members.rend(); ++it) op(it->get());
    busy_ = false;
    return OM_S_OK;
}

OmResult MetaSoundControl::Init(IUnknown*, uint32_t) {
    return OM_S_OK;
}

OmResult MetaSoundControl::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == CONTROL_INT_ADD_MEMBER || kind == CONTROL_INT_MEMBER) {
        auto* object = reinterpret_cast<IUnknown*>(value);
        if (!object) return OM_E_FAIL;
        ComRef<ISoundControl> control;
        OmResult r = object->QueryInterface(IID_ISoundControl, control.put_void());
        if (r < 0) return r;
        auto it = std::find(members_.begin(), members_.end(), control.get());
        if (kind == CONTROL_INT_MEMBER) {
            if (it == members_.end()) return OM_E_FAIL;
            (*it)->Release();
            members_.erase(it);
            return OM_S_OK;
        }
        if (control.get() == static_cast<ISoundControl*>(this)) return OM_E_FAIL;
        if (it == members_.end()) members_.push_back(control.detach());
        return OM_S_OK;
    }
    return each([&](ISoundControl* m) { m->SetParamInt(kind, value); });
}

OmResult MetaSoundControl::Update(uint32_t elapsed) {
    return each([&](ISoundControl* m) { m->Update(elapsed); });
}

OmResult MetaSoundControl::SetFrame(const float* frame, const float* velocity) {
    return each([&](ISoundControl* m) { m->SetFrame(frame, velocity); });
}

OmResult MetaSoundControl::GetFrame(float* frame, float* velocity) {
    return each([&](ISoundControl* m) { m->GetFrame(frame, velocity); });
}

OmResult MetaSoundControl::GetParamInt(int32_t kind, intptr_t* out) {
    return each([&](ISoundControl* m) { m->GetParamInt(kind, out); });
}

OmResult MetaSoundControl::SetParamReal(int32_t kind, float value) {
    return each([&](ISoundControl* m) { m->SetParamReal(kind, value); });
}

OmResult MetaSoundControl::GetParamReal(int32_t kind, float* out) {
    return each([&](ISoundControl* m) { m->GetParamReal(kind, out); });
}

OmResult MetaSoundControl::StopAll(int32_t ignored) {
    return each([&](ISoundControl* m) { m->StopAll(ignored); });
}

OmResult MetaSoundControl::SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) {
    return each([&](ISoundControl* m) { m->SetOutputFormat(code, rate, flags); });
}

OmResult MetaSoundControl::GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) {
    return each([&](ISoundControl* m) { m->GetOutputFormat(code, rate, flags); });
}

OmResult MetaSoundControl::CreateSound(ISoundCreate** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult MetaSoundControl::CreateSoundFrom(ISoundCreate*, ISound** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult MetaSoundControl::AddObject(int32_t, IUnknown*) {
    return OM_E_FAIL;
}

OmResult MetaSoundControl::RemoveObject(int32_t, IUnknown*) {
    return OM_E_FAIL;
}

OmResult MetaSoundControl::ForEachObject(int32_t, SoundObjectCallback, void*) {
    return OM_E_FAIL;
}

namespace {

const OmClassRecord classes[] = {
    {&CLSID_MetaSoundControl, nullptr, nullptr, MetaSoundControl::create, "MetaSoundControl"}};

} // namespace

OM_DEFINE_MODULE(MetaSoundControl, classes)
