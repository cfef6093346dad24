// LimiterSoundControl: a channel that keeps the summed level of its playing sounds at or
// below a maximum by scaling every one of them down by the same factor.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/channel/channel_sound_control.h"

inline constexpr GUID CLSID_LimiterSoundControl = om_guid("CC432523-2D81-11D5-A4AF-00010239331A");

// The limiter channel's sound: its own volume and overall volume; what the inner sound plays
// at is volume x overall volume x the control's scale x the channel volume.
class LimiterSound final : public ChannelSound {
public:
    // SOUND_REAL_VOLUME and SOUND_REAL_OVERALL_VOLUME are kept here and re-apply the playing
    // volume; others go to the inner sound.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    // Joins list 1, applies the playing volume, then the inner sound plays.
    OmResult Play(int32_t argument) override;

    float level() const { return volume_ * overall_; }
    // Sets the inner sound's volume for the control's `scale` x channel volume.
    void apply(float gain);

private:
    WrappedSound* make_empty() override { return new LimiterSound; }
    OmResult copy_into(ChannelSound& copy) override;
    void reapply();

    float volume_ = 1.0f;
    float overall_ = 1.0f;
};

class LimiterSoundControl final : public ChannelSoundControl {
public:
    // The base step (its failure returned), then, once anything changed, an evaluation.
    OmResult Update(uint32_t elapsed) override;
    // The parent's maker wrapped to make limiter sounds.
    OmResult CreateSound(ISoundCreate** out) override;
    // CONTROL_INT_LIMITER_ENABLE. Other kinds go to the base.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // CONTROL_REAL_VOLUME: the channel volume (applied at once); CONTROL_REAL_LIMITER_MAX: the
    // maximum summed level. Other kinds go to the base.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    // Mark the sum as changed, then the base operation.
    OmResult AddObject(int32_t list, IUnknown* object) override;
    OmResult RemoveObject(int32_t list, IUnknown* object) override;

    // What a sound's own level is multiplied by: scale x channel volume.
    float gain() const { return scale_ * channel_volume_; }
    float scale() const { return scale_; }

private:
    ChannelSound* make_sound() override { return new LimiterSound; }
    // Recomputes the scale from the summed level; `forced` re-applies it even when nothing
    // needs limiting.
    void evaluate(bool forced);
    void set_scale(float scale);

    int32_t enabled_ = 1;
    float maximum_ = 2.0f;
    float channel_volume_ = 1.0f;
    float scale_ = 1.0f;
    float last_sum_ = 0.0f;
    bool changed_ = false;
};

OM_DECLARE_MODULE(LimiterSoundControl);
