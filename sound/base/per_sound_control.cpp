// The per-sound control base.
#include "sound/base/per_sound_control.h"

OmResult PerSoundControl::Update(uint32_t elapsed) {
    lists_.time_step(elapsed);
    if ((flags_ & CONTROL_INIT_FORWARD_UPDATE) && parent_) parent_->Update(elapsed);
    return OM_S_OK;
}

OmResult PerSoundControl::StopAll(int32_t) {
    lists_.stop_all();
    Update(0);
    if (parent_) parent_->Update(0);
    return OM_S_OK;
}

OmResult PerSoundControl::CreateSound(ISoundCreate** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult PerSoundControl::AddObject(int32_t list, IUnknown* object) {
    return lists_.add(list, object);
}

OmResult PerSoundControl::RemoveObject(int32_t list, IUnknown* object) {
    return lists_.remove(list, object, true);
}

OmResult PerSoundControl::ForEachObject(int32_t list, SoundObjectCallback callback, void* context) {
    return lists_.for_each(list, callback, context);
}
