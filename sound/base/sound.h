// ISound: a sound's samples and playing parameters, the interface every sound of the
// subsystem answers (base sounds, device sounds, wrapped and channel sounds).
#pragma once

#include "framework/core/unknown.h"
#include "sound/base/sound_params.h"
#include "sound/base/sound_play_desc.h"

#include <cstdint>

inline constexpr GUID IID_ISound = om_guid("D5274381-6A6F-11D2-BE85-006008513E1D");

struct ISound : IUnknown {
    // Takes the sound's description from `object`: a sound maker (ISoundCreate) for sounds
    // with samples, the owning control for wrapping sounds. OM_E_OUTOFMEMORY.
    virtual OmResult Init(IUnknown* object) = 0;
    // Length in sample frames.
    virtual uint32_t GetLength() = 0;
    // Format code (sound/base/sound_format.h).
    virtual uint32_t GetFormat() = 0;
    // Non-zero while the sound plays.
    virtual int32_t IsPlaying() = 0;
    // A new sound (one reference) with a copy of every field; SOUND_INSTANCE_SHARE shares the
    // samples, else they are copied. OM_E_OUTOFMEMORY, or the class's refusal.
    virtual OmResult CreateInstance(uint32_t flags, ISound** out) = 0;
    // The sample memory. OM_E_FAIL where a sound has none.
    virtual OmResult Lock(int32_t mode, void** out) = 0;
    virtual OmResult Unlock() = 0;
    // The samples of `count` frames from `start` as one or two runs (the second from the
    // start of the memory when the ring wraps). OM_E_FAIL when count exceeds the length.
    virtual OmResult GetSegments(int32_t mode, uint32_t start, uint32_t count, void** part1,
                                 uint32_t* count1, void** part2, uint32_t* count2) = 0;
    // SOUND_INT_* kinds. OM_E_FAIL for kinds the sound does not take.
    virtual OmResult SetParamInt(int32_t kind, intptr_t value) = 0;
    virtual OmResult GetParamInt(int32_t kind, intptr_t* out) = 0;
    // SOUND_REAL_* kinds. OM_E_FAIL for kinds the sound does not take.
    virtual OmResult SetParamReal(int32_t kind, float value) = 0;
    virtual OmResult GetParamReal(int32_t kind, float* out) = 0;
    // An instance sharing the samples with the description's flagged fields applied (null:
    // none).
    virtual OmResult CreateInstanceFrom(const SoundPlayDesc* desc, ISound** out) = 0;
    // Starts playing; `argument` bit 0 (SOUND_PLAY_LOOP) asks for looping.
    virtual OmResult Play(int32_t argument) = 0;
    // Plays an instance made from the description and lets it go.
    virtual OmResult PlayInstance(const SoundPlayDesc* desc, int32_t argument) = 0;
    virtual OmResult Pause() = 0;
    virtual OmResult Stop() = 0;
    // Frame: 12 floats, rows right, up, at, position; velocity: 3 floats. Null leaves either.
    virtual OmResult Set3D(const float* frame, const float* velocity) = 0;
    virtual OmResult Get3D(float* frame, float* velocity) = 0;
    // Moves the play position (frames). OM_E_FAIL where the sound cannot.
    virtual OmResult SetPlayPosition(uint32_t frame) = 0;
    // The play position (frames). OM_E_FAIL where the sound cannot tell.
    virtual OmResult GetPlayPosition(uint32_t* frame) = 0;
};
