// FunctionSoundControl and its function sound.
#include "sound/channel/function_sound_control.h"

#include "sound/channel/channel_descs.h"
#include "sound/channel/sound_expression.h"
#include "sound/files/sound_keys.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const param_names[] = {"Param1", "Param2", "Param3", "Param4"};

bool is_param(int32_t kind) {
    return kind >= SOUND_REAL_PARAM1 && kind <= SOUND_REAL_PARAM4;
}

} // namespace

OmResult FunctionSound::load(const SoundFunctionDesc* desc) {
    if (!desc || !desc->sheet || !desc->base) return OM_E_FAIL;
    ComRef<IExpression> expression;
    OmResult r =
        OmReadSoundExpression(desc->sheet, desc->storage, desc->directory, expression.put());
    if (r < 0) return r;
    set_wrapped(desc->base);
    expression_ = std::move(expression);
    if (expression_) {
        ISound* base = desc->base;
        float volume = 1.0f, pan = 0.0f;
        if (base->GetParamReal(SOUND_REAL_VOLUME, &volume) < 0) volume = 1.0f;
        if (base->GetParamReal(SOUND_REAL_PAN, &pan) < 0) pan = 0.0f;
        intptr_t hz = 0;
        const float frequency = base->GetParamInt(SOUND_INT_FREQUENCY, &hz) >= 0 && hz > 0
                                    ? float(hz)
                                    : FUNCTION_DEFAULT_FREQUENCY;
        IExpression* e = expression_.get();
        e->Expression_SetVariable("Length", float(base->GetLength()));
        e->Expression_SetVariable("OriginalVolume", volume);
        e->Expression_SetVariable("Volume", volume);
        e->Expression_SetVariable("OriginalPan", pan);
        e->Expression_SetVariable("Pan", pan);
        e->Expression_SetVariable("OriginalFrequency", frequency);
        e->Expression_SetVariable("Frequency", frequency);
    }
    int32_t flag = 0;
    if (OmReadSoundKeyBool(desc->sheet, "Update", &flag) >= 0) update_ = flag;
    if (OmReadSoundKeyBool(desc->sheet, "ZeroVolumeStop", &flag) >= 0) zero_volume_stop_ = flag;
    return OM_S_OK;
}

OmResult FunctionSound::evaluate() {
    if (!expression_ || !wrapped_) return OM_S_OK;
    IExpression* e = expression_.get();
    const float frequency = e->Expression_GetVariable("Frequency");
    const float volume = e->Expression_GetVariable("Volume");
    const float pan = e->Expression_GetVariable("Pan");
    // The device sounds tell no position; the base sound's answer when it has one.
    uint32_t position = 0;
    if (wrapped_->GetPlayPosition(&position) < 0) position = 0;
    e->Expression_SetVariable("Position", float(position));
    float value = 0.0f;
    const OmResult r = e->Expression_Evaluate(&value);

    // A result that is no finite number (a division by zero, an unknown name) changes nothing,
    // and the variable goes back to its last value so the next evaluation starts from it.
    const auto result = [e](const char* name, float before) {
        const float after = e->Expression_GetVariable(name);
        if (std::isfinite(after)) return after;
        e->Expression_SetVariable(name, before);
        return before;
    };
    const float new_frequency = result("Frequency", frequency);
    const float new_volume = result("Volume", volume);
    const float new_pan = result("Pan", pan);
    if (new_frequency != frequency) {
        // Beyond 32 bits the frequency saturates.
        const float hz = std::clamp(new_frequency, -2147483648.0f, 2147483520.0f);
        wrapped_->SetParamInt(SOUND_INT_FREQUENCY, intptr_t(int32_t(hz)));
    }
    if (new_volume != volume) {
        wrapped_->SetParamReal(SOUND_REAL_VOLUME, volume_ * new_volume);
        if (zero_volume_stop_ && new_volume < FUNCTION_SILENT_VOLUME) wrapped_->Stop();
    }
    if (new_pan != pan) wrapped_->SetParamReal(SOUND_REAL_PAN, new_pan);
    return r;
}

OmResult FunctionSound::SetParamInt(int32_t kind, intptr_t value) {
    if (kind == SOUND_INT_FUNCTION_DESC)
        return load(reinterpret_cast<const SoundFunctionDesc*>(value));
    return ChannelSound::SetParamInt(kind, value);
}

OmResult FunctionSound::time_step(uint32_t elapsed) {
    if (update_ && expression_) {
        expression_->Expression_SetVariable("TimeStep", float(elapsed) * 0.001f);
        evaluate();
    }
    return ChannelSound::time_step(elapsed);
}

OmResult FunctionSound::SetParamReal(int32_t kind, float value) {
    if (kind == SOUND_REAL_VOLUME) {
        volume_ = value;
        if (!expression_) return wrapped_ ? wrapped_->SetParamReal(kind, value) : OM_E_FAIL;
        // The new own volume is heard at once, not only when "Volume" next changes.
        if (wrapped_)
            wrapped_->SetParamReal(kind, volume_ * expression_->Expression_GetVariable("Volume"));
        return OM_S_OK;
    }
    if (is_param(kind) && expression_) {
        OmResult r =
            expression_->Expression_SetVariable(param_names[kind - SOUND_REAL_PARAM1], value);
        if (r < 0) return r;
        if (!update_) evaluate();
        return OM_S_OK;
    }
    return ChannelSound::SetParamReal(kind, value);
}

OmResult FunctionSound::GetParamReal(int32_t kind, float* out) {
    if (!out) return OM_E_FAIL;
    if (kind == SOUND_REAL_VOLUME) {
        *out = volume_;
        return OM_S_OK;
    }
    if (is_param(kind) && expression_) {
        *out = expression_->Expression_GetVariable(param_names[kind - SOUND_REAL_PARAM1]);
        return OM_S_OK;
    }
    return ChannelSound::GetParamReal(kind, out);
}

OmResult FunctionSound::Play(int32_t argument) {
    if (!wrapped_) return OM_E_FAIL;
    // Every evaluation starts on an empty stack, and the variables keep their values: there
    // is no further run state to reset before playing.
    evaluate();
    return ChannelSound::Play(argument);
}

OmResult FunctionSound::CreateInstance(uint32_t flags, ISound** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!(flags & SOUND_INSTANCE_SHARE) || !wrapped_) return OM_E_FAIL;
    ComRef<ISound> base;
    OmResult r = wrapped_->CreateInstance(SOUND_INSTANCE_SHARE, base.put());
    if (r < 0) return r;
    auto* copy = new FunctionSound;
    if (!copy) return OM_E_OUTOFMEMORY;
    ComRef<ISound> held = ComRef<ISound>::adopt(copy);
    copy->control_ = control_;
    copy->wrapped_ = base.detach();
    copy->update_ = update_;
    copy->zero_volume_stop_ = zero_volume_stop_;
    copy->volume_ = volume_;
    if (expression_) {
        r = expression_->Expression_Clone(0, copy->expression_.put());
        if (r < 0) return r;
    }
    if (control_) control_->AddObject(CONTROL_LIST_ATTACHED, held.get());
    *out = held.detach();
    return OM_S_OK;
}

OmResult FunctionSoundControl::CreateSound(ISoundCreate** out) {
    if (out) *out = nullptr;
    return OM_E_FAIL;
}

namespace {

const OmClassRecord classes[] = {{&CLSID_FunctionSoundControl, nullptr, nullptr,
                                  ChannelSoundControl::create<FunctionSoundControl>,
                                  "FunctionSoundControl"}};

} // namespace

OM_DEFINE_MODULE(FunctionSoundControl, classes)
