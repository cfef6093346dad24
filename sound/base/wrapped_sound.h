// WrappedSound: an ISound that forwards every operation to a wrapped sound; the root of the
// channel sounds, which replace single operations.
#pragma once

#include "sound/base/sound.h"
#include "sound/base/sound_control.h"
#include "sound/base/sound_object.h"

class WrappedSound : public SoundObject<ISound> {
public:
    // A plain forwarding sound (one reference).
    static OmResult Create(ISound** out);

    OmResult QueryInterface(const GUID& iid, void** out) override;

    // Stores the owning control (no reference). 0.
    OmResult Init(IUnknown* object) override;
    // A WrappedSound of the same control over the wrapped sound's own instance.
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    // SOUND_INT_OWNER: the owning control; SOUND_INT_SOURCE: replaces the wrapped sound.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // The rest: the wrapped sound's operation with the same arguments; OM_E_FAIL (or 0 for
    // the value getters) without a wrapped sound.
    uint32_t GetLength() override;
    uint32_t GetFormat() override;
    int32_t IsPlaying() override;
    OmResult Lock(int32_t mode, void** out) override;
    OmResult Unlock() override;
    OmResult GetSegments(int32_t mode, uint32_t start, uint32_t count, void** part1,
                         uint32_t* count1, void** part2, uint32_t* count2) override;
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    OmResult CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) override;
    OmResult Play(int32_t argument) override;
    OmResult PlayInstance(const SoundPlayDesc* desc, int32_t argument) override;
    OmResult Pause() override;
    OmResult Stop() override;
    OmResult Set3D(const float* frame, const float* velocity) override;
    OmResult Get3D(float* frame, float* velocity) override;
    OmResult SetPlayPosition(uint32_t frame) override;
    OmResult GetPlayPosition(uint32_t* frame) override;

    ISound* wrapped() const { return wrapped_; }
    ISoundControl* control() const { return control_; }

protected:
    WrappedSound() = default;
    ~WrappedSound() override;
    // A new, empty sound of the same class for CreateInstance.
    virtual WrappedSound* make_empty();
    // Replaces the wrapped sound (the new one referenced, the old one released).
    void set_wrapped(ISound* sound);

    ISound* wrapped_ = nullptr;        // referenced
    ISoundControl* control_ = nullptr; // not referenced
};
