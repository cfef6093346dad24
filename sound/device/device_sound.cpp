// Device sounds: audibility, the parameters they apply to their voice, and how they ask the
// device for one.
#include "sound/device/device_sound.h"

#include "framework/platform/sound_support.h"
#include "sound/base/sound_format.h"
#include "sound/device/device_sound_create.h"
#include "sound/device/win32_dx6_sound_control2.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t pan_limit = 10000;

} // namespace

int32_t device_volume(float gain) {
    return OmVolumeToHundredthsDb(gain);
}

// The sound's pan p >= 0 keeps the left channel and attenuates the right by volume(1 - p);
// p < 0 attenuates the left by volume(1 + p).
int32_t device_pan(float pan) {
    if (pan >= 0.0f) return std::max(-pan_limit, device_volume(1.0f - pan));
    return std::min(pan_limit, -device_volume(1.0f + pan));
}

OmResult DeviceSound::Init(IUnknown* object) {
    auto* maker = object ? dynamic_cast<DeviceSoundCreate*>(object) : nullptr;
    if (!maker || !maker->device()) return OM_E_FAIL;
    OmResult r = BaseSound::Init(object);
    if (r < 0) return r;
    device_ = maker->device();
    // The radii start at 0, not at DirectSound's defaults: a 3D sound placed without a
    // maximum radius is never in range and is not heard (the sound data sets both).
    buffer_rate_ = uint32_t(frequency_);
    byte_length_ = uint32_t(frame_bytes_) * length_;
    voice_index_ = -1;
    serial_ = device_->next_sound_serial();
    return device_->AddObject(CONTROL_LIST_ATTACHED, static_cast<ISound*>(this));
}

int32_t DeviceSound::IsPlaying() {
    if (looping_) return listed();
    if (!has_voice()) return 0;
    IDirectSoundBuffer* buffer = device_->voice_buffer(this);
    uint32_t status = 0;
    if (!buffer || buffer->GetStatus(&status) < 0) return 0;
    return status & DSBSTATUS_PLAYING;
}

OmResult DeviceSound::CreateInstance(uint32_t flags, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!(flags & SOUND_INSTANCE_SHARE)) return SOUND_E_NOT_SHARED;
    DeviceSound* copy = make();
    if (!copy) return OM_E_OUTOFMEMORY;
    OmResult r = copy->copy_from(*this, true);
    if (r < 0) {
        copy->Release();
        return r;
    }
    copy->device_ = device_;
    copy->buffer_rate_ = buffer_rate_;
    copy->byte_length_ = byte_length_;
    copy->looping_ = looping_;
    copy->audible_ = audible_;
    copy->distance_ = distance_;
    // The copy is a sound of its own: not in the active list, not ranked, without a voice
    // (copying the in-list flag and rank would keep it from ever getting one).
    copy->rank = 0;
    if (device_) {
        copy->serial_ = device_->next_sound_serial();
        device_->AddObject(CONTROL_LIST_ATTACHED, static_cast<ISound*>(copy));
    }
    *out = copy;
    return OM_S_OK;
}

void DeviceSound::update_audibility() {
    if (!is_3d_ || !device_) {
        audible_ = true;
        return;
    }
    const float* listener = device_->listener_frame().position();
    const float* position = frame_.position();
    float dx = position[0] - listener[0], dy = position[1] - listener[1],
          dz = position[2] - listener[2];
    distance_ = std::sqrt(dx * dx + dy * dy + dz * dz);
    audible_ = distance_ < max_radius_;
}

OmResult DeviceSound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_FREQUENCY) {
        frequency_ = int32_t(value);
        if (has_voice())
            if (IDirectSoundBuffer* b = device_->voice_buffer(this))
                b->SetFrequency(uint32_t(value));
        return OM_S_OK;
    }
    if (kind == SOUND_INT_TIME_STEP) {
        update_audibility();
        if (!has_voice() && !looping_ && device_ && listed())
            device_->RemoveObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
        return OM_S_OK;
    }
    return BaseSound::SetParamInt(kind, value);
}

OmResult DeviceSound::SetParamReal(int32_t kind, float value) {
    OmResult r = BaseSound::SetParamReal(kind, value);
    if (r < 0 || !has_voice()) return r;
    IDirectSoundBuffer* buffer = device_->voice_buffer(this);
    IDirectSound3DBuffer* b3 = device_->voice_buffer_3d(this);
    switch (kind) {
    case SOUND_REAL_VOLUME:
    case SOUND_REAL_OVERALL_VOLUME:
        if (buffer)
            buffer->SetVolume(device_volume(volume_ * overall_volume_ * device_->master_volume()));
        break;
    case SOUND_REAL_PAN:
        if (buffer && !is_3d_) buffer->SetPan(device_pan(pan_));
        break;
    case SOUND_REAL_MIN_RADIUS:
        if (b3) b3->SetMinDistance(min_radius_, DS3D_DEFERRED);
        break;
    case SOUND_REAL_MAX_RADIUS:
        if (b3) b3->SetMaxDistance(max_radius_, DS3D_DEFERRED);
        break;
    case SOUND_REAL_INNER_CONE_ANGLE:
    case SOUND_REAL_OUTER_CONE_ANGLE:
        if (b3)
            b3->SetConeAngles(uint32_t(inner_cone_angle_), uint32_t(outer_cone_angle_),
                              DS3D_DEFERRED);
        break;
    case SOUND_REAL_OUTER_CONE_VOLUME:
        if (b3) b3->SetConeOutsideVolume(device_volume(outer_cone_volume_), DS3D_DEFERRED);
        break;
    default: break;
    }
    return r;
}

void DeviceSound::apply_to_voice() {
    if (!has_voice()) return;
    IDirectSoundBuffer* buffer = device_->voice_buffer(this);
    if (!buffer) return;
    buffer->SetVolume(device_volume(volume_ * overall_volume_ * device_->master_volume()));
    buffer->SetFrequency(uint32_t(frequency_));
    if (IDirectSound3DBuffer* b3 = device_->voice_buffer_3d(this)) {
        b3->SetConeOutsideVolume(device_volume(outer_cone_volume_), DS3D_DEFERRED);
        b3->SetMinDistance(min_radius_, DS3D_DEFERRED);
        b3->SetMaxDistance(max_radius_, DS3D_DEFERRED);
        b3->SetConeAngles(uint32_t(inner_cone_angle_), uint32_t(outer_cone_angle_), DS3D_DEFERRED);
        place_voice(b3);
    } else {
        buffer->SetPan(device_pan(pan_));
    }
}

OmResult DeviceSound::Play(int32_t argument) {
    if (!device_) return OM_E_FAIL;
    if (voice_index_.load() >= 0) return OM_S_OK;
    update_audibility();
    looping_ = loop_control_ > 0 || (loop_control_ == 0 && (argument & SOUND_PLAY_LOOP));
    ISound* self = this;
    if (!audible_) {
        if (looping_) device_->AddObject(CONTROL_LIST_ACTIVE, self); // waits to come in range
        return OM_S_OK;
    }
    device_->AddObject(CONTROL_LIST_ACTIVE, self);
    if (device_->acquire_voice(this) >= 0) {
        apply_to_voice();
        device_->start_voice(this);
        return OM_S_OK;
    }
    if (looping_) return OM_S_OK; // waits in the list for a voice
    device_->RemoveObject(CONTROL_LIST_ACTIVE, self);
    return OM_E_FAIL;
}

OmResult DeviceSound::Stop() {
    if (!device_) return OM_S_OK;
    device_->release_voice(this);
    if (listed()) device_->RemoveObject(CONTROL_LIST_ACTIVE, static_cast<ISound*>(this));
    return OM_S_OK;
}

OmResult DeviceSound::Set3D(const float* frame, const float* velocity) {
    BaseSound::Set3D(frame, velocity);
    if (!has_voice()) return OM_S_OK;
    if (IDirectSound3DBuffer* b3 = device_->voice_buffer_3d(this)) {
        place_voice(b3);
    }
    return OM_S_OK;
}

void DeviceSound::place_voice(IDirectSound3DBuffer* b3) {
    const float* position = frame_.position();
    const float* at = frame_.at();
    b3->SetPosition(position[0], position[1], position[2], DS3D_DEFERRED);
    b3->SetConeOrientation(at[0], at[1], at[2], DS3D_DEFERRED);
    b3->SetVelocity(frame_.velocity[0], frame_.velocity[1], frame_.velocity[2], DS3D_DEFERRED);
}

OmResult DeviceSound::SetPlayPosition(uint32_t) {
    return OM_E_FAIL;
}

OmResult DeviceSound::GetPlayPosition(uint32_t* frame) {
    if (!frame) return OM_E_FAIL;
    *frame = 0;
    if (!has_voice() || frame_bytes_ == 0 || length_ == 0) return OM_S_OK;
    uint64_t played = device_->bytes_played(this) / frame_bytes_;
    *frame = uint32_t(looping_ ? played % length_ : std::min<uint64_t>(played, length_ - 1));
    return OM_S_OK;
}
