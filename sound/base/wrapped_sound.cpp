// WrappedSound: forwarding to the wrapped sound.
#include "sound/base/wrapped_sound.h"

namespace {

class PlainWrappedSound final : public WrappedSound {};

} // namespace

OmResult WrappedSound::Create(ISound** out) {
    if (!out) return OM_E_FAIL;
    auto* sound = new PlainWrappedSound;
    *out = sound;
    return sound ? OM_S_OK : OM_E_OUTOFMEMORY;
}

WrappedSound* WrappedSound::make_empty() {
    return new PlainWrappedSound;
}

WrappedSound::~WrappedSound() {
    if (wrapped_) wrapped_->Release();
}

OmResult WrappedSound::QueryInterface(const GUID& iid, void** out) {
    return query(IID_ISound, iid, out);
}

void WrappedSound::set_wrapped(ISound* sound) {
    if (sound) sound->AddRef();
    if (wrapped_) wrapped_->Release();
    wrapped_ = sound;
}

OmResult WrappedSound::Init(IUnknown* object) {
    ISoundControl* control = nullptr;
    if (object &&
        object->QueryInterface(IID_ISoundControl, reinterpret_cast<void**>(&control)) >= 0)
        control->Release(); // kept without a reference
    control_ = control;
    return OM_S_OK;
}

OmResult WrappedSound::CreateInstance(uint32_t flags, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!wrapped_) return OM_E_FAIL;
    ISound* inner = nullptr;
    OmResult r = wrapped_->CreateInstance(flags, &inner);
    if (r < 0) return r;
    WrappedSound* copy = make_empty();
    if (!copy) {
        inner->Release();
        return OM_E_OUTOFMEMORY;
    }
    copy->control_ = control_;
    copy->wrapped_ = inner; // takes the instance's reference
    *out = copy;
    return OM_S_OK;
}

OmResult WrappedSound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_OWNER) {
        control_ = reinterpret_cast<ISoundControl*>(value);
        return OM_S_OK;
    }
    if (kind == SOUND_INT_SOURCE) {
        set_wrapped(reinterpret_cast<ISound*>(value));
        return OM_S_OK;
    }
    return wrapped_ ? wrapped_->SetParamInt(kind, value) : OM_E_FAIL;
}

OmResult WrappedSound::GetParamInt(int32_t kind, intptr_t* out) {
    if (!out) return OM_E_FAIL;
    if (kind == SOUND_INT_OWNER) {
        *out = reinterpret_cast<intptr_t>(control_);
        return OM_S_OK;
    }
    if (kind == SOUND_INT_SOURCE) {
        *out = reinterpret_cast<intptr_t>(wrapped_);
        return OM_S_OK;
    }
    return wrapped_ ? wrapped_->GetParamInt(kind, out) : OM_E_FAIL;
}

uint32_t WrappedSound::GetLength() {
    return wrapped_ ? wrapped_->GetLength() : 0;
}

uint32_t WrappedSound::GetFormat() {
    return wrapped_ ? wrapped_->GetFormat() : 0;
}

int32_t WrappedSound::IsPlaying() {
    return wrapped_ ? wrapped_->IsPlaying() : 0;
}

OmResult WrappedSound::Lock(int32_t mode, void** out) {
    return wrapped_ ? wrapped_->Lock(mode, out) : OM_E_FAIL;
}

OmResult WrappedSound::Unlock() {
    return wrapped_ ? wrapped_->Unlock() : OM_E_FAIL;
}

OmResult WrappedSound::GetSegments(int32_t mode, uint32_t start, uint32_t count, void** part1,
                                   uint32_t* count1, void** part2, uint32_t* count2) {
    return wrapped_ ? wrapped_->GetSegments(mode, start, count, part1, count1, part2, count2)
                    : OM_E_FAIL;
}

OmResult WrappedSound::SetParamReal(int32_t kind, float value) {
    return wrapped_ ? wrapped_->SetParamReal(kind, value) : OM_E_FAIL;
}

OmResult WrappedSound::GetParamReal(int32_t kind, float* out) {
    return wrapped_ ? wrapped_->GetParamReal(kind, out) : OM_E_FAIL;
}

OmResult WrappedSound::CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) {
    return wrapped_ ? wrapped_->CreateInstanceFrom(desc, out) : OM_E_FAIL;
}

OmResult WrappedSound::Play(int32_t argument) {
    return wrapped_ ? wrapped_->Play(argument) : OM_E_FAIL;
}

OmResult WrappedSound::PlayInstance(const SoundPlayDesc* desc, int32_t argument) {
    return wrapped_ ? wrapped_->PlayInstance(desc, argument) : OM_E_FAIL;
}

OmResult WrappedSound::Pause() {
    return wrapped_ ? wrapped_->Pause() : OM_E_FAIL;
}

OmResult WrappedSound::Stop() {
    return wrapped_ ? wrapped_->Stop() : OM_E_FAIL;
}

OmResult WrappedSound::Set3D(const float* frame, const float* velocity) {
    return wrapped_ ? wrapped_->Set3D(frame, velocity) : OM_E_FAIL;
}

OmResult WrappedSound::Get3D(float* frame, float* velocity) {
    return wrapped_ ? wrapped_->Get3D(frame, velocity) : OM_E_FAIL;
}

OmResult WrappedSound::SetPlayPosition(uint32_t frame) {
    return wrapped_ ? wrapped_->SetPlayPosition(frame) : OM_E_FAIL;
}

OmResult WrappedSound::GetPlayPosition(uint32_t* frame) {
    return wrapped_ ? wrapped_->GetPlayPosition(frame) : OM_E_FAIL;
}
