// 3dSoundControl: a channel that places its sounds in software against its own listener frame
// (volume by distance, pan by side, frequency by Doppler); its sounds reach the device as
// plain sounds. Device-level 3D (maker property 6, 3D voices) is a different thing.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/base/sound_frame.h"
#include "sound/channel/channel_sound_control.h"

inline constexpr GUID CLSID_3dSoundControl = om_guid("A16C1635-04FD-11D5-A4A4-00010239331A");

// Below this distance a sound sits on the listener and has no side.
inline constexpr float PLACEMENT_MIN_DISTANCE = 0.00000001f;
// Velocity along the line of sight per unit of frequency ratio (1 / 320).
inline constexpr float PLACEMENT_DOPPLER_SCALE = 0.003125f;
inline constexpr float PLACEMENT_DOPPLER_MIN = 0.25f;
inline constexpr float PLACEMENT_DOPPLER_MAX = 4.0f;
// Pan and Doppler changes no larger than this are not passed on.
inline constexpr float PLACEMENT_HYSTERESIS = 0.05f;
// The pan of a sound straight to the listener's right (-1 x this for the left).
inline constexpr float PLACEMENT_PAN_SCALE = -0.4f;

// The listener side of a placement: the control's frame, velocity and factors.
struct PlacementListener {
    SoundFrame frame;
    float rolloff = 1.0f;
    float doppler = 1.0f;
};

// What a placement pushes to the inner sound (pan and frequency only when `*_changed`).
struct Placement {
    float volume = 0.0f;
    bool pan_changed = false;
    float pan = 0.0f;
    bool frequency_changed = false;
    int32_t frequency = 0;
};

// The sound of a 3D channel: its own frame and velocity, volume, radii and frequency.
class PlacedSound final : public ChannelSound {
public:
    // SOUND_INT_FREQUENCY is kept here (and pushed with the Doppler ratio); SOUND_INT_SOURCE
    // takes the source's frequency as its own; the time step places the sound (unforced).
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    OmResult GetParamInt(int32_t kind, intptr_t* out) override;
    // Volume and the radii are kept here (a radius change places the sound); others go to
    // the inner sound.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;
    // Keeps the frame and velocity and places the sound anew (forced).
    OmResult Set3D(const float* frame, const float* velocity) override;
    OmResult Get3D(float* frame, float* velocity) override;
    // Joins list 1, is placed (forced), then the inner sound plays.
    OmResult Play(int32_t argument) override;

    // The placement against `listener`; updates the last pan and Doppler values.
    Placement place(const PlacementListener& listener, bool forced);

private:
    WrappedSound* make_empty() override { return new PlacedSound; }
    OmResult copy_into(ChannelSound& copy) override;
    void source_set() override;
    OmResult time_step(uint32_t elapsed) override;
    // Places the sound against its control and pushes the result, while it is attached.
    void update_placement(bool forced);

    SoundFrame own_;
    float volume_ = 1.0f;
    float min_radius_ = 0.0f;
    float max_radius_ = 1000000000.0f;
    int32_t frequency_ = 0;
    float last_pan_ = 0.0f;
    float last_doppler_ = 0.0f;
};

class PlacedSoundControl final : public ChannelSoundControl {
public:
    // The listener frame and velocity, kept here (nothing reaches the device). 0.
    OmResult SetFrame(const float* frame, const float* velocity) override;
    OmResult GetFrame(float* frame, float* velocity) override;
    // The parent's maker wrapped to make placed sounds, its 3D flag held at 0.
    OmResult CreateSound(ISoundCreate** out) override;
    // CONTROL_REAL_ROLLOFF, CONTROL_REAL_DOPPLER, CONTROL_REAL_DISTANCE. Others: the base.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult GetParamReal(int32_t kind, float* out) override;

    PlacementListener listener() const { return {frame_, rolloff_, doppler_}; }

private:
    ChannelSound* make_sound() override { return new PlacedSound; }

    float rolloff_ = 1.0f;
    float doppler_ = 1.0f;
    float distance_ = 1.0f;
};

OM_DECLARE_MODULE(PlacedSoundControl);
