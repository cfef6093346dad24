// The control base: the generic behaviour of ISoundControl (object lists, the frame, three
// levels, the output-format words) that BaseSoundControl is and the sound device starts from.
#pragma once

#include "sound/base/sound_control.h"
#include "sound/base/sound_frame.h"
#include "sound/base/sound_object.h"
#include "sound/base/sound_object_lists.h"

class SoundControlBase : public SoundObject<ISoundControl> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override;

    // Accepts and does nothing. 0.
    OmResult Init(IUnknown* object, uint32_t flags) override;
    // SOUND_INT_TIME_STEP to every sound of the active list. 0.
    OmResult Update(uint32_t elapsed) override;
    OmResult SetFrame(const float* frame, const float* velocity) override;
    OmResult GetFrame(float* frame, float* velocity) override;
    // A BaseSoundCreate.
    OmResult CreateSound(ISoundCreate** out) override;
    OmResult CreateSoundFrom(ISoundCreate* source, ISound** out) override;
    // OM_E_FAIL.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // Kinds 0 and 3 share one level; 1 roll-off, 2 Doppler. OM_E_FAIL for others.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    // Does nothing. 0.
    OmResult StopAll(int32_t ignored) override;
    OmResult SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) override;
    OmResult GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) override;
    OmResult AddObject(int32_t list, IUnknown* object) override;
    OmResult RemoveObject(int32_t list, IUnknown* object) override;
    OmResult ForEachObject(int32_t list, SoundObjectCallback callback, void* context) override;

protected:
    SoundControlBase() : lists_(this) {}
    ~SoundControlBase() override = default;

    SoundObjectLists lists_;
    SoundFrame frame_;
    float level_ = 1.0f; // kinds 0 and 3
    float rolloff_ = 1.0f;
    float doppler_ = 1.0f;
    uint32_t output_code_ = 0;
    uint32_t output_rate_ = 0;
    uint32_t output_flags_ = 0;
};

// Makes a maker through `control`'s CreateSound, copies properties 1, 3, 2 and 4 of `source`
// into it (when given), makes the sound and lets the maker go.
OmResult OmSoundControlCreateSoundFrom(ISoundControl* control, ISoundCreate* source, ISound** out);
