// WrappedSoundControl: an ISoundControl that forwards every operation to a parent control;
// the root of the channel controls, which replace single operations.
#pragma once

#include "sound/base/sound_control.h"
#include "sound/base/sound_object.h"

class WrappedSoundControl : public SoundObject<ISoundControl> {
public:
    // A plain forwarding control (one reference).
    static OmResult Create(ISoundControl** out);

    OmResult QueryInterface(const GUID& iid, void** out) override;

    // Keeps `object`'s ISoundControl as the parent and the flags. OM_E_FAIL without a parent
    // or when one is set already; the query's failure.
    OmResult Init(IUnknown* object, uint32_t flags) override;
    // The rest: the parent's operation with the same arguments; OM_E_FAIL without a parent.
    OmResult Update(uint32_t elapsed) override;
    OmResult SetFrame(const float* frame, const float* velocity) override;
    OmResult GetFrame(float* frame, float* velocity) override;
    OmResult CreateSound(ISoundCreate** out) override;
    OmResult CreateSoundFrom(ISoundCreate* source, ISound** out) override;
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    OmResult StopAll(int32_t ignored) override;
    OmResult SetOutputFormat(uint32_t code, uint32_t rate, uint32_t flags) override;
    OmResult GetOutputFormat(uint32_t* code, uint32_t* rate, uint32_t* flags) override;
    OmResult AddObject(int32_t list, IUnknown* object) override;
    OmResult RemoveObject(int32_t list, IUnknown* object) override;
    OmResult ForEachObject(int32_t list, SoundObjectCallback callback, void* context) override;

    ISoundControl* parent() const { return parent_; }
    uint32_t flags() const { return flags_; }

protected:
    WrappedSoundControl() = default;
    ~WrappedSoundControl() override;

    ISoundControl* parent_ = nullptr; // referenced
    uint32_t flags_ = 0;
};
