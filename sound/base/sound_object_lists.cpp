// A sound control's object lists.
#include "sound/base/sound_object_lists.h"

#include "framework/core/com_ref.h"

#include <algorithm>

void SoundListLinks::leave_attached_list(IUnknown* self) {
    if (ISoundControl* control = attached_to) control->RemoveObject(CONTROL_LIST_ATTACHED, self);
    attached_to = nullptr;
}

SoundObjectLists::~SoundObjectLists() {
    for (IUnknown* object : attached_) {
        if (SoundListLinks* links = sound_list_links(object)) {
            links->attached_to = nullptr;
            links->in_list[CONTROL_LIST_ATTACHED] = false;
            links->attached_control_gone();
        }
    }
    attached_.clear();
    std::vector<ISound*> active;
    active.swap(active_);
    for (ISound* sound : active) {
        if (SoundListLinks* links = sound_list_links(sound))
            links->in_list[CONTROL_LIST_ACTIVE] = false;
        sound->Release();
    }
}

bool SoundObjectLists::has_active(ISound* sound) const {
    return std::find(active_.begin(), active_.end(), sound) != active_.end();
}

OmResult SoundObjectLists::add(int32_t list, IUnknown* object) {
    if (!object) return OM_E_FAIL;
    SoundListLinks* links = sound_list_links(object);
    if (list == CONTROL_LIST_ATTACHED) {
        bool listed =
            links ? links->in_list[0]
                  : std::find(attached_.begin(), attached_.end(), object) != attached_.end();
        if (listed) return OM_S_OK;
        attached_.push_back(object);
        if (links) {
            links->in_list[0] = true;
            links->attached_to = owner_;
        }
        return OM_S_OK;
    }
    if (list != CONTROL_LIST_ACTIVE) return OM_E_FAIL;
    ComRef<ISound> sound;
    if (object->QueryInterface(IID_ISound, sound.put_void()) < 0) return OM_E_FAIL;
    bool listed = links ? links->in_list[1] : has_active(sound.get());
    if (listed) return OM_S_OK;
    active_.push_back(sound.detach()); // the list keeps the query's reference
    if (links) links->in_list[1] = true;
    return OM_S_OK;
}

OmResult SoundObjectLists::insert_active(size_t index, ISound* sound) {
    if (!sound) return OM_E_FAIL;
    sound->AddRef();
    active_.insert(active_.begin() + std::min(index, active_.size()), sound);
    if (SoundListLinks* links = sound_list_links(sound)) links->in_list[1] = true;
    return OM_S_OK;
}

OmResult SoundObjectLists::remove(int32_t list, IUnknown* object, bool unflagged_active_ok) {
    if (!object) return OM_E_FAIL;
    SoundListLinks* links = sound_list_links(object);
    if (list == CONTROL_LIST_ATTACHED) {
        auto it = std::find(attached_.rbegin(), attached_.rend(), object);
        if (it == attached_.rend()) return OM_E_FAIL;
        attached_.erase(std::next(it).base());
        if (links) {
            links->in_list[0] = false;
            links->attached_to = nullptr;
        }
        return OM_S_OK;
    }
    if (list != CONTROL_LIST_ACTIVE) return OM_E_FAIL;
    if (unflagged_active_ok && links && !links->in_list[1]) return OM_S_OK;
    ComRef<ISound> sound;
    if (object->QueryInterface(IID_ISound, sound.put_void()) < 0) return OM_E_FAIL;
    auto it = std::find(active_.rbegin(), active_.rend(), sound.get());
    if (it == active_.rend()) return OM_E_FAIL;
    ISound* found = *it;
    active_.erase(std::next(it).base());
    if (links) links->in_list[1] = false;
    found->Release();
    return OM_S_OK;
}

OmResult SoundObjectLists::for_each(int32_t list, SoundObjectCallback callback, void* context) {
    if (!callback) return OM_E_FAIL;
    if (list == CONTROL_LIST_ATTACHED) {
        std::vector<IUnknown*> objects = attached_; // a callback may change the list
        for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
            OmResult r = callback(*it, context);
            if (r < 0) return r;
        }
        return OM_S_OK;
    }
    if (list != CONTROL_LIST_ACTIVE) return OM_E_FAIL;
    std::vector<ComRef<ISound>> sounds;
    for (ISound* s : active_) sounds.push_back(ComRef<ISound>::share(s));
    for (auto it = sounds.rbegin(); it != sounds.rend(); ++it) {
        OmResult r = callback(it->get(), context);
        if (r < 0) return r;
    }
    return OM_S_OK;
}

void SoundObjectLists::time_step(uint32_t elapsed) {
    for (size_t i = active_.size(); i-- > 0;) {
        if (i >= active_.size()) {
            if (active_.empty()) break;
            i = active_.size() - 1;
        }
        ComRef<ISound> sound = ComRef<ISound>::share(active_[i]);
        sound->SetParamInt(SOUND_INT_TIME_STEP, intptr_t(elapsed));
    }
}

void SoundObjectLists::stop_all() {
    while (!active_.empty()) {
        ComRef<ISound> first = ComRef<ISound>::share(active_.front());
        first->Stop();
        if (!active_.empty() && active_.front() == first.get())
            remove(CONTROL_LIST_ACTIVE, first.get());
    }
}
