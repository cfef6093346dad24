// PrioritySoundControl and its sound.
#include "sound/channel/priority_sound_control.h"

#include "framework/core/com_ref.h"

namespace {

int32_t sound_priority(ISound* sound) {
    if (auto* p = dynamic_cast<PrioritySound*>(sound)) return p->priority();
    intptr_t value = 0;
    return sound->GetParamInt(SOUND_INT_PRIORITY, &value) >= 0 ? int32_t(value) : 0;
}

int32_t sound_start(ISound* sound) {
    auto* p = dynamic_cast<PrioritySound*>(sound);
    return p ? p->start_time : 0;
}

} // namespace

OmResult PrioritySound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_PRIORITY) {
        priority_ = int32_t(value);
        if (wrapped_) wrapped_->SetParamInt(kind, value);
        return OM_S_OK;
    }
    return ChannelSound::SetParamInt(kind, value);
}

OmResult PrioritySound::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == SOUND_INT_PRIORITY && out) {
        *out = priority_;
        return OM_S_OK;
    }
    return ChannelSound::GetParamInt(kind, out);
}

void PrioritySound::source_set() {
    intptr_t value = 0;
    if (wrapped_->GetParamInt(SOUND_INT_PRIORITY, &value) >= 0) priority_ = int32_t(value);
}

OmResult PrioritySound::copy_into(ChannelSound& copy) {
    static_cast<PrioritySound&>(copy).priority_ = priority_;
    return OM_S_OK;
}

OmResult PrioritySound::Play(int32_t argument) {
    if (!wrapped_) return OM_E_FAIL;
    ComRef<ISound> self = ComRef<ISound>::share(this);
    detach();
    OmResult r = attach();
    if (r < 0) return r;
    return wrapped_->Play(argument);
}

OmResult PrioritySoundControl::Update(uint32_t elapsed) {
    clock_ = int32_t(uint32_t(clock_) + elapsed);
    return ChannelSoundControl::Update(elapsed);
}

OmResult PrioritySoundControl::CreateSound(ISoundCreate** out) {
    return wrap_parent_maker(false, out);
}

OmResult PrioritySoundControl::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == CONTROL_INT_VOICES) {
        limit_ = int32_t(value);
        return OM_S_OK;
    }
    return ChannelSoundControl::SetParamInt(kind, value);
}

OmResult PrioritySoundControl::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == CONTROL_INT_VOICES && out) {
        *out = limit_;
        return OM_S_OK;
    }
    return ChannelSoundControl::GetParamInt(kind, out);
}

void PrioritySoundControl::started(ISound* sound) {
    if (auto* p = dynamic_cast<PrioritySound*>(sound)) p->start_time = clock_;
}

ISound* PrioritySoundControl::choose_victim(int32_t priority) {
    ISound* victim = nullptr;
    int32_t victim_priority = PRIORITY_NEVER_STOPPED;
    int32_t victim_age = 0;
    const std::vector<ISound*>& active = lists_.active();
    for (size_t i = active.size(); i-- > 0;) {
        ISound* candidate = active[i];
        const int32_t p = sound_priority(candidate);
        if (p > priority || p > victim_priority) continue;
        // "Played longest" is measured on the control's clock, not by list order.
        const int32_t age = int32_t(uint32_t(clock_) - uint32_t(sound_start(candidate)));
        if (p < victim_priority || (victim && age > victim_age)) {
            if (p == PRIORITY_NEVER_STOPPED) continue;
            victim = candidate;
            victim_priority = p;
            victim_age = age;
        }
    }
    return victim;
}

OmResult PrioritySoundControl::AddObject(int32_t list, IUnknown* object) {
    if (list != CONTROL_LIST_ACTIVE) return ChannelSoundControl::AddObject(list, object);
    if (!object) return OM_E_FAIL;
    ComRef<ISound> sound;
    if (object->QueryInterface(IID_ISound, sound.put_void()) < 0) return OM_E_FAIL;
    if (lists_.has_active(sound.get())) return OM_S_OK;
    if (limit_ > 0 && lists_.active().size() >= size_t(limit_)) {
        ComRef<ISound> victim = ComRef<ISound>::share(choose_victim(sound_priority(sound.get())));
        if (!victim) return OM_E_FAIL;
        victim->Stop();
        // A victim whose Stop leaves it listed (not a channel sound) is taken out here.
        if (lists_.has_active(victim.get())) lists_.remove(CONTROL_LIST_ACTIVE, victim.get());
    }
    OmResult r = ChannelSoundControl::AddObject(list, sound.get());
    if (r >= 0) started(sound.get());
    return r;
}

namespace {

const OmClassRecord classes[] = {{&CLSID_PrioritySoundControl, nullptr, nullptr,
                                  ChannelSoundControl::create<PrioritySoundControl>,
                                  "PrioritySoundControl"}};

} // namespace

OM_DEFINE_MODULE(PrioritySoundControl, classes)
