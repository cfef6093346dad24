// A device sound: a BaseSound whose samples are streamed into a voice of the streaming device
// when the device grants one; it keeps its parameters and applies them to whatever voice it
// gets, and decides each time step whether it is audible.
#pragma once

#include "platform/audio/dsound.h"
#include "sound/base/base_sound.h"

#include <atomic>

class Win32Dx6SoundControl2;

class DeviceSound final : public BaseSound {
public:
    static DeviceSound* make() { return new DeviceSound; }

    OmResult Init(IUnknown* object) override;
    // A looping sound: listed; without a voice 0; else the voice buffer's playing bit.
    int32_t IsPlaying() override;
    // SOUND_INSTANCE_SHARE required (SOUND_E_NOT_SHARED); the copy is unlisted, unranked and
    // without a voice.
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    // 4 frequency (applied to the voice); 14 time step.
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    // 1-8, applied to the voice at once.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult Play(int32_t argument) override;
    OmResult Stop() override;
    OmResult Set3D(const float* frame, const float* velocity) override;
    // Fails: the device streams a sound from its start.
    OmResult SetPlayPosition(uint32_t frame) override;
    // The frame being heard (0 without a voice); a looping sound counts within its length.
    OmResult GetPlayPosition(uint32_t* frame) override;

    // ---- The device's side ----
    void attached_control_gone() override { device_ = nullptr; }
    // Gains, pan or 3D values, and frequency on the voice buffers.
    void apply_to_voice();
    // Distance to the listener and audibility (only 3D sounds can be out of range).
    void update_audibility();

    bool listed() const { return in_list[1]; }
    bool audible() const { return audible_; }
    bool looping() const { return looping_; }
    float distance() const { return distance_; }
    int32_t priority() const { return priority_; }
    uint64_t serial() const { return serial_; }
    bool is_3d() const { return is_3d_; }
    uint32_t format() const { return format_; }
    uint32_t buffer_rate() const { return buffer_rate_; }
    uint32_t byte_length() const { return byte_length_; }
    int32_t voice_index() const { return voice_index_.load(); }
    void set_voice_index(int32_t index) { voice_index_.store(index); }
    int32_t rank = 0;

private:
    DeviceSound() = default;
    ~DeviceSound() override = default;
    // Position, cone orientation and velocity on the voice's 3D buffer (deferred).
    void place_voice(IDirectSound3DBuffer* b3);
    // True when a voice is applied to at once.
    bool has_voice() const { return voice_index_.load() >= 0 && device_; }

    Win32Dx6SoundControl2* device_ = nullptr; // not referenced; cleared when it goes
    uint32_t buffer_rate_ = 0;
    uint32_t byte_length_ = 0;
    std::atomic<int32_t> voice_index_{-1};
    bool looping_ = false;
    bool audible_ = true;
    float distance_ = 0.0f;
    uint64_t serial_ = 0;
};

// The DirectSound volume of a gain (hundredths of a decibel, -7972..0) and the DirectSound pan
// of the sounds' pan (-1..1).
int32_t device_volume(float gain);
int32_t device_pan(float pan);
