// 3dSoundControl and its placed sound.
#include "sound/channel/placed_sound_control.h"

#include <algorithm>
#include <cmath>

namespace {

float dot(const float* a, const float* b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

} // namespace

Placement PlacedSound::place(const PlacementListener& listener, bool forced) {
    Placement out;
    const float* at = own_.position();
    const float* from = listener.frame.position();
    const float delta[3] = {at[0] - from[0], at[1] - from[1], at[2] - from[2]};
    const float d = std::sqrt(dot(delta, delta));

    if (d < min_radius_) {
        out.volume = volume_;
    } else if (d >= max_radius_) {
        out.volume = 0.0f;
    } else {
        // A sound on the listener with MinRadius 0 would divide 0 by 0: it is heard whole.
        const float denominator = min_radius_ + (d - min_radius_) * listener.rolloff;
        out.volume = denominator > 0.0f ? volume_ * min_radius_ / denominator : volume_;
    }

    const float side = d < PLACEMENT_MIN_DISTANCE ? 0.0f : dot(listener.frame.rows, delta) / d;
    if (forced || std::fabs(side - last_pan_) > PLACEMENT_HYSTERESIS) {
        out.pan_changed = true;
        out.pan = PLACEMENT_PAN_SCALE * side;
        last_pan_ = side;
    }

    float u[3] = {1.0f, 0.0f, 0.0f};
    if (d >= PLACEMENT_MIN_DISTANCE)
        for (int i = 0; i < 3; ++i) u[i] = delta[i] / d;
    const float a = 1.0f + dot(listener.frame.velocity, u) * PLACEMENT_DOPPLER_SCALE;
    const float b = 1.0f + dot(own_.velocity, u) * PLACEMENT_DOPPLER_SCALE;
    const float ratio = std::fabs(b) <= 0.00001f
                            ? 1.0f
                            : std::clamp(a / b, PLACEMENT_DOPPLER_MIN, PLACEMENT_DOPPLER_MAX);
    const float shift = listener.doppler * ratio;
    if (forced || std::fabs(shift - last_doppler_) > PLACEMENT_HYSTERESIS) {
        out.frequency_changed = true;
        out.frequency = int32_t(float(frequency_) * shift);
        last_doppler_ = shift;
    }
    return out;
}

void PlacedSound::update_placement(bool forced) {
    if (!attached() || !wrapped_) return;
    auto* control = dynamic_cast<PlacedSoundControl*>(control_);
    PlacementListener listener;
    if (control) {
        listener = control->listener();
    } else if (control_) {
        control_->GetFrame(listener.frame.rows, listener.frame.velocity);
        control_->GetParamReal(CONTROL_REAL_ROLLOFF, &listener.rolloff);
        control_->GetParamReal(CONTROL_REAL_DOPPLER, &listener.doppler);
    }
    const Placement p = place(listener, forced);
    wrapped_->SetParamReal(SOUND_REAL_VOLUME, p.volume);
    if (p.pan_changed) wrapped_->SetParamReal(SOUND_REAL_PAN, p.pan);
    if (p.frequency_changed) wrapped_->SetParamInt(SOUND_INT_FREQUENCY, p.frequency);
}

OmResult PlacedSound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_FREQUENCY) {
        frequency_ = int32_t(value);
        update_placement(true);
        return OM_S_OK;
    }
    return ChannelSound::SetParamInt(kind, value);
}

OmResult PlacedSound::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == SOUND_INT_FREQUENCY && out) {
        *out = frequency_;
        return OM_S_OK;
    }
    return ChannelSound::GetParamInt(kind, out);
}

void PlacedSound::source_set() {
    intptr_t value = 0;
    if (wrapped_->GetParamInt(SOUND_INT_FREQUENCY, &value) >= 0) frequency_ = int32_t(value);
}

OmResult PlacedSound::time_step(uint32_t elapsed) {
    update_placement(false);
    return ChannelSound::time_step(elapsed);
}

OmResult PlacedSound::SetParamReal(int32_t kind, float value) {
    switch (kind) {
    case SOUND_REAL_VOLUME:
        volume_ = value;
        update_placement(false);
        return OM_S_OK;
    case SOUND_REAL_MIN_RADIUS:
        min_radius_ = value;
        update_placement(false);
        return OM_S_OK;
    case SOUND_REAL_MAX_RADIUS:
        max_radius_ = value;
        update_placement(false);
        return OM_S_OK;
    default: return ChannelSound::SetParamReal(kind, value);
    }
}

OmResult PlacedSound::GetParamReal(int32_t kind, float* out) {
    if (!out) return OM_E_FAIL;
    switch (kind) {
    case SOUND_REAL_VOLUME: *out = volume_; return OM_S_OK;
    case SOUND_REAL_MIN_RADIUS: *out = min_radius_; return OM_S_OK;
    case SOUND_REAL_MAX_RADIUS: *out = max_radius_; return OM_S_OK;
    default: return ChannelSound::GetParamReal(kind, out);
    }
}

OmResult PlacedSound::Set3D(const float* frame, const float* velocity) {
    own_.set(frame, velocity);
    update_placement(true);
    return OM_S_OK;
}

OmResult PlacedSound::Get3D(float* frame, float* velocity) {
    own_.get(frame, velocity);
    return OM_S_OK;
}

OmResult PlacedSound::Play(int32_t argument) {
    if (!wrapped_) return OM_E_FAIL;
    OmResult r = attach();
    if (r < 0) return r;
    update_placement(true);
    return wrapped_->Play(argument);
}

OmResult PlacedSound::copy_into(ChannelSound& copy) {
    auto& sound = static_cast<PlacedSound&>(copy);
    sound.own_ = own_;
    sound.volume_ = volume_;
    sound.min_radius_ = min_radius_;
    sound.max_radius_ = max_radius_;
    sound.frequency_ = frequency_;
    return OM_S_OK;
}

OmResult PlacedSoundControl::SetFrame(const float* frame, const float* velocity) {
    frame_.set(frame, velocity);
    return OM_S_OK;
}

OmResult PlacedSoundControl::GetFrame(float* frame, float* velocity) {
    frame_.get(frame, velocity);
    return OM_S_OK;
}

OmResult PlacedSoundControl::CreateSound(ISoundCreate** out) {
    return wrap_parent_maker(true, out);
}

OmResult PlacedSoundControl::SetParamReal(int32_t kind, float value) {
    switch (kind) {
    case CONTROL_REAL_ROLLOFF: rolloff_ = value; return OM_S_OK;
    case CONTROL_REAL_DOPPLER: doppler_ = value; return OM_S_OK;
    case CONTROL_REAL_DISTANCE: distance_ = value; return OM_S_OK;
    default: return ChannelSoundControl::SetParamReal(kind, value);
    }
}

OmResult PlacedSoundControl::GetParamReal(int32_t kind, float* out) {
    if (!out) return OM_E_FAIL;
    switch (kind) {
    case CONTROL_REAL_ROLLOFF: *out = rolloff_; return OM_S_OK;
    case CONTROL_REAL_DOPPLER: *out = doppler_; return OM_S_OK;
    case CONTROL_REAL_DISTANCE: *out = distance_; return OM_S_OK;
    default: return ChannelSoundControl::GetParamReal(kind, out);
    }
}

namespace {

const OmClassRecord classes[] = {{&CLSID_3dSoundControl, nullptr, nullptr,
                                  ChannelSoundControl::create<PlacedSoundControl>,
                                  "3dSoundControl"}};

} // namespace

OM_DEFINE_MODULE(PlacedSoundControl, classes)
