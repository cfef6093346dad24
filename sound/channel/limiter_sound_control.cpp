// LimiterSoundControl and its sound.
#include "sound/channel/limiter_sound_control.h"

#include "framework/core/com_ref.h"

OmResult LimiterSound::SetParamReal(int32_t kind, float value) {
    if (kind == SOUND_REAL_VOLUME || kind == SOUND_REAL_OVERALL_VOLUME) {
        (kind == SOUND_REAL_VOLUME ? volume_ : overall_) = value;
        reapply();
        return OM_S_OK;
    }
    return ChannelSound::SetParamReal(kind, value);
}

OmResult LimiterSound::GetParamReal(int32_t kind, float* out) {
    if ((kind == SOUND_REAL_VOLUME || kind == SOUND_REAL_OVERALL_VOLUME) && out) {
        *out = kind == SOUND_REAL_VOLUME ? volume_ : overall_;
        return OM_S_OK;
    }
    return ChannelSound::GetParamReal(kind, out);
}

OmResult LimiterSound::copy_into(ChannelSound& copy) {
    auto& sound = static_cast<LimiterSound&>(copy);
    sound.volume_ = volume_;
    sound.overall_ = overall_;
    return OM_S_OK;
}

void LimiterSound::apply(float gain) {
    if (wrapped_) wrapped_->SetParamReal(SOUND_REAL_VOLUME, level() * gain);
}

void LimiterSound::reapply() {
    auto* limiter = dynamic_cast<LimiterSoundControl*>(control_);
    apply(limiter ? limiter->gain() : 1.0f);
}

OmResult LimiterSound::Play(int32_t argument) {
    if (!wrapped_) return OM_E_FAIL;
    OmResult r = attach();
    if (r < 0) return r;
    reapply();
    return wrapped_->Play(argument);
}

OmResult LimiterSoundControl::Update(uint32_t elapsed) {
    OmResult r = ChannelSoundControl::Update(elapsed);
    if (r < 0) return r;
    if (changed_) evaluate(false);
    return OM_S_OK;
}

OmResult LimiterSoundControl::CreateSound(ISoundCreate** out) {
    return wrap_parent_maker(false, out);
}

OmResult LimiterSoundControl::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == CONTROL_INT_LIMITER_ENABLE) {
        enabled_ = int32_t(value);
        changed_ = true;
        return OM_S_OK;
    }
    return ChannelSoundControl::SetParamInt(kind, value);
}

OmResult LimiterSoundControl::GetParamInt(int32_t kind, intptr_t* out) {
    if (kind == CONTROL_INT_LIMITER_ENABLE && out) {
        *out = enabled_;
        return OM_S_OK;
    }
    return ChannelSoundControl::GetParamInt(kind, out);
}

OmResult LimiterSoundControl::SetParamReal(int32_t kind, float value) {
    if (kind == CONTROL_REAL_VOLUME) {
        channel_volume_ = value;
        evaluate(true);
        return OM_S_OK;
    }
    if (kind == CONTROL_REAL_LIMITER_MAX) {
        maximum_ = value;
        changed_ = true;
        return OM_S_OK;
    }
    return ChannelSoundControl::SetParamReal(kind, value);
}

OmResult LimiterSoundControl::GetParamReal(int32_t kind, float* out) {
    if ((kind == CONTROL_REAL_VOLUME || kind == CONTROL_REAL_LIMITER_MAX) && out) {
        *out = kind == CONTROL_REAL_VOLUME ? channel_volume_ : maximum_;
        return OM_S_OK;
    }
    return ChannelSoundControl::GetParamReal(kind, out);
}

OmResult LimiterSoundControl::AddObject(int32_t list, IUnknown* object) {
    changed_ = true;
    return ChannelSoundControl::AddObject(list, object);
}

OmResult LimiterSoundControl::RemoveObject(int32_t list, IUnknown* object) {
    changed_ = true;
    return ChannelSoundControl::RemoveObject(list, object);
}

void LimiterSoundControl::evaluate(bool forced) {
    if (!enabled_) {
        if (forced) set_scale(1.0f);
        return;
    }
    float sum = 0.0f;
    for (ISound* sound : lists_.active()) {
        if (auto* limited = dynamic_cast<LimiterSound*>(sound)) {
            sum += limited->level();
            continue;
        }
        float volume = 1.0f, overall = 1.0f;
        sound->GetParamReal(SOUND_REAL_VOLUME, &volume);
        sound->GetParamReal(SOUND_REAL_OVERALL_VOLUME, &overall);
        sum += volume * overall;
    }
    if (sum > maximum_)
        set_scale(maximum_ / sum);
    else if (forced || last_sum_ > maximum_)
        set_scale(1.0f);
    last_sum_ = sum;
}

void LimiterSoundControl::set_scale(float scale) {
    scale_ = scale;
    const float g = gain();
    for (ISound* sound : lists_.active())
        if (auto* limited = dynamic_cast<LimiterSound*>(sound)) limited->apply(g);
}

namespace {

const OmClassRecord classes[] = {{&CLSID_LimiterSoundControl, nullptr, nullptr,
                                  ChannelSoundControl::create<LimiterSoundControl>,
                                  "LimiterSoundControl"}};

} // namespace

OM_DEFINE_MODULE(LimiterSoundControl, classes)
