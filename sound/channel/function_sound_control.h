// FunctionSoundControl and its function sound: a sound whose frequency, volume and pan follow
// an expression evaluated over a base sound at every time step or parameter change.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/com_ref.h"
#include "framework/maths/expression.h"
#include "sound/channel/channel_descs.h"
#include "sound/channel/channel_sound_control.h"

inline constexpr GUID CLSID_FunctionSoundControl = om_guid("F7750C1D-0E48-11D5-A4A5-00010239331A");

// Below this a "Volume" stops the base sound when "ZeroVolumeStop" is set.
inline constexpr float FUNCTION_SILENT_VOLUME = 0.0001f;
// "OriginalFrequency" of a base sound that tells none.
inline constexpr float FUNCTION_DEFAULT_FREQUENCY = 22050.0f;

class FunctionSound final : public ChannelSound {
public:
    // Needs SOUND_INSTANCE_SHARE (OM_E_FAIL otherwise): a function sound with the same flags
    // and volume, its own copy of the expression and its own instance of the base sound,
    // listed by the control.
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    // SOUND_INT_FUNCTION_DESC loads the sound (a SoundFunctionDesc); the time step evaluates
    // with "Update" set, then the common handling.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    // SOUND_REAL_VOLUME: the sound's own volume (the base sound's without an expression);
    // SOUND_REAL_PARAM1..4: "Param1".."Param4", evaluated at once without "Update".
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    // An evaluation step, then the common Play of the base sound.
    OmResult Play(int32_t argument) override;

    IExpression* expression() const { return expression_.get(); }

private:
    WrappedSound* make_empty() override { return new FunctionSound; }
    OmResult load(const SoundFunctionDesc* desc);
    OmResult time_step(uint32_t elapsed) override;
    // Sets "Position", evaluates, and applies "Frequency", "Volume" and "Pan" where they
    // changed. Nothing without an expression.
    OmResult evaluate();

    ComRef<IExpression> expression_;
    int32_t update_ = 0;
    int32_t zero_volume_stop_ = 0;
    float volume_ = 1.0f;
};

class FunctionSoundControl final : public ChannelSoundControl {
public:
    // OM_E_FAIL: function sounds are made from their descriptions.
    OmResult CreateSound(ISoundCreate** out) override;

private:
    ChannelSound* make_sound() override { return new FunctionSound; }
};

OM_DECLARE_MODULE(FunctionSoundControl);
