// Win32Dx6Sound: a sound of the simple DirectSound device, its samples in a DirectSound buffer
// of its own (instances share them through a duplicate buffer), and the device's maker.
#pragma once

#include "platform/audio/dsound.h"
#include "sound/base/base_sound.h"
#include "sound/base/base_sound_create.h"

class Win32Dx6SoundControl;

// Buffer flags: deferred location, volume, pan and frequency for plain sounds; deferred
// location, mute at maximum distance, volume, frequency and 3D for 3D sounds.
inline constexpr uint32_t SIMPLE_SOUND_FLAGS = 0x400E0;
inline constexpr uint32_t SIMPLE_SOUND_FLAGS_3D = 0x600B0;
// DirectSound play flags beside looping: ended by distance (3D), by priority.
inline constexpr uint32_t SIMPLE_PLAY_TERMINATE_BY_DISTANCE = 0x10;
inline constexpr uint32_t SIMPLE_PLAY_TERMINATE_BY_PRIORITY = 0x20;

class Win32Dx6Sound final : public BaseSound {
public:
    static Win32Dx6Sound* make() { return new Win32Dx6Sound; }

    // The device from the maker, the buffer (3D with its 3D buffer, whose parameters are
    // read once), then list 0 of the device.
    OmResult Init(IUnknown* object) override;
    // The buffer's playing bit.
    int32_t IsPlaying() override;
    // SOUND_INSTANCE_SHARE required (SOUND_E_NOT_SHARED); the copy plays its own duplicate
    // buffer over the same samples.
    OmResult CreateInstance(uint32_t flags, ISound** out) override;
    // The whole buffer; a second Lock fails.
    OmResult Lock(int32_t mode, void** out) override;
    OmResult Unlock() override;
    // The locked regions in frames. OM_E_FAIL when not locked.
    OmResult GetSegments(int32_t mode, uint32_t start, uint32_t count, void** part1,
                         uint32_t* count1, void** part2, uint32_t* count2) override;
    // 4 frequency (on the buffer); 14 time step (a stopped buffer leaves the active list).
    OmResult SetParamInt(int32_t kind, intptr_t value) override;
    // 1-8, on the buffer at once.
    OmResult SetParamReal(int32_t kind, float value) override;
    OmResult Play(int32_t argument) override;
    // Stops the buffer where it is.
    OmResult Pause() override;
    // Stops and rewinds the buffer.
    OmResult Stop() override;
    // Position, cone orientation and velocity on the 3D buffer (deferred). OM_E_FAIL without.
    OmResult Set3D(const float* frame, const float* velocity) override;
    OmResult SetPlayPosition(uint32_t frame) override;
    OmResult GetPlayPosition(uint32_t* frame) override;

    void attached_control_gone() override { device_ = nullptr; }
    IDirectSoundBuffer* buffer() const { return buffer_; }

private:
    Win32Dx6Sound() = default;
    ~Win32Dx6Sound() override;
    bool listed() const { return in_list[1]; }
    void apply_volume();
    OmResult make_buffer();

    Win32Dx6SoundControl* device_ = nullptr; // not referenced; cleared when it goes
    IDirectSoundBuffer* buffer_ = nullptr;
    IDirectSound3DBuffer* buffer_3d_ = nullptr;
    bool locked_ = false;
    void* lock_part1_ = nullptr;
    void* lock_part2_ = nullptr;
    uint32_t lock_bytes1_ = 0;
    uint32_t lock_bytes2_ = 0;
};

class Win32Dx6SoundCreate final : public BaseSoundCreate {
public:
    // A maker of `device` (held with a reference).
    static OmResult Create(Win32Dx6SoundControl* device, ISoundCreate** out);

    // The DirectSound devices' description rules (sound/device/device_sound_create.h).
    OmResult Validate() override;
    OmResult CreateSound(ISound** out) override;
    OmResult Clone(ISoundCreate** out) override;

    Win32Dx6SoundControl* device() const { return device_; }

private:
    Win32Dx6SoundCreate() = default;
    ~Win32Dx6SoundCreate() override;

    Win32Dx6SoundControl* device_ = nullptr;
};
