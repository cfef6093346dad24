// BaseSound: a sample buffer in memory with its playing parameters; the base every sound with
// samples of its own (device sounds) builds on.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/base/sound.h"
#include "sound/base/sound_create.h"
#include "sound/base/sound_frame.h"
#include "sound/base/sound_object.h"

inline constexpr GUID CLSID_BaseSound = om_guid("FDFCAA85-F1C6-11D4-8DAA-0010B58247E7");

class BaseSound : public SoundObject<ISound> {
public:
    static OmResult Create(IUnknown* outer, IUnknown** out);

    OmResult QueryInterface(const GUID& iid, void** out) override;

    OmResult Init(IUnknown* object) override;
    uint32_t GetLength() override { return length_; }
    uint32_t GetFormat() override { return format_; }
    int32_t IsPlaying() override { return playing_; }
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    OmResult Lock(int32_t mode, void** out) override;
    OmResult Unlock() override { return OM_S_OK; }
    OmResult GetSegments(int32_t mode, uint32_t start, uint32_t count, void** part1,
                         uint32_t* count1, void** part2, uint32_t* count2) override;
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
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

    // The first byte of the samples (shared ones included); null for a sound of no length.
    uint8_t* samples() const;
    uint32_t frame_bytes() const { return frame_bytes_; }

protected:
    BaseSound() = default;
    ~BaseSound() override;
    // Copies every field of `source` and shares its samples (with a reference on their owner)
    // or copies them. OM_E_OUTOFMEMORY.
    OmResult copy_from(BaseSound& source, bool share);

    uint8_t frame_bytes_ = 0;
    uint8_t property1_ = 0;
    uint8_t is_3d_ = 0;
    uint8_t cursor_ = 0;
    uint32_t format_ = 0;
    uint32_t length_ = 0;
    int32_t frequency_ = 0;
    int32_t priority_ = 0;
    float volume_ = 1.0f;
    float overall_volume_ = 1.0f;
    float pan_ = 0.0f;
    float min_radius_ = 0.0f;
    float max_radius_ = 0.0f;
    float outer_cone_volume_ = 1.0f;
    float outer_cone_angle_ = 360.0f;
    float inner_cone_angle_ = 360.0f;
    SoundFrame frame_;
    int32_t playing_ = 0;
    int32_t paused_ = 0;
    int8_t loop_control_ = 0;
    uint8_t property10_ = 0;
    intptr_t owner_word_ = 0;           // integer parameter 11
    uint8_t* memory_ = nullptr;         // owned samples
    BaseSound* sample_owner_ = nullptr; // the sound whose samples are shared (referenced)
};

OM_DECLARE_MODULE(BaseSound);
