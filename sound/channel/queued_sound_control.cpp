// QueuedSoundControl and its sound.
#include "sound/channel/queued_sound_control.h"

#include <algorithm>

OmResult QueuedSound::Play(int32_t argument) {
    if (!wrapped_) return OM_E_FAIL;
    ComRef<ISound> self = ComRef<ISound>::share(this);
    if (IsPlaying()) ChannelSound::Stop();
    argument_ = argument;
    if (auto* queue = dynamic_cast<QueuedSoundControl*>(control_))
        queue->enqueue(this);
    else
        return start(); // outside a queue there is nothing to wait for
    return OM_S_OK;
}

OmResult QueuedSound::Pause() {
    return Stop();
}

OmResult QueuedSound::Stop() {
    ComRef<ISound> self = ComRef<ISound>::share(this);
    OmResult r = ChannelSound::Stop();
    if (auto* queue = dynamic_cast<QueuedSoundControl*>(control_)) queue->dequeue(this);
    return r;
}

void QueuedSoundControl::enqueue(ISound* sound) {
    dequeue(sound);
    waiting_.push_back(ComRef<ISound>::share(sound));
    trim();
}

void QueuedSoundControl::dequeue(ISound* sound) {
    auto it = std::find_if(waiting_.begin(), waiting_.end(),
                           [sound](const ComRef<ISound>& s) { return s.get() == sound; });
    if (it != waiting_.end()) waiting_.erase(it);
}

void QueuedSoundControl::trim() {
    if (limit_ <= 0) return;
    while (waiting_.size() > size_t(limit_)) waiting_.pop_back();
}

OmResult QueuedSoundControl::Update(uint32_t elapsed) {
    if (current_ && current_->IsPlaying()) return OM_S_OK;
    current_ = {};
    if (!waiting_.empty()) {
        ComRef<ISound> next = std::move(waiting_.front());
        waiting_.erase(waiting_.begin());
        if (auto* queued = dynamic_cast<QueuedSound*>(next.get()))
            queued->start();
        else
            next->Play(0);
        current_ = std::move(next);
    }
    return ChannelSoundControl::Update(elapsed);
}

OmResult QueuedSoundControl::CreateSound(ISoundCreate** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

OmResult QueuedSoundControl::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == CONTROL_INT_VOICES) {
        limit_ = int32_t(value);
        trim();
        return OM_S_OK;
    }
    return ChannelSoundControl::SetParamInt(kind, value);
}

OmResult QueuedSoundControl::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == CONTROL_INT_VOICES && out) {
        *out = limit_;
        return OM_S_OK;
    }
    return ChannelSoundControl::GetParamInt(kind, out);
}

OmResult QueuedSoundControl::StopAll(int32_t ignored) {
    waiting_.clear();
    return ChannelSoundControl::StopAll(ignored);
}

namespace {

const OmClassRecord classes[] = {{&CLSID_QueuedSoundControl, nullptr, nullptr,
                                  ChannelSoundControl::create<QueuedSoundControl>,
                                  "QueuedSoundControl"}};

} // namespace

OM_DEFINE_MODULE(QueuedSoundControl, classes)
