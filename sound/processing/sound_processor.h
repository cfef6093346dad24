// SoundProcessor: converts the samples of one sound into another of a different bit depth,
// signedness, channel count or length (one instance per process).
#pragma once

#include "framework/core/class_factory.h"
#include "sound/base/sound.h"

inline constexpr GUID CLSID_SoundProcessor = om_guid("DB351E10-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ISoundProcessor = om_guid("DB731B34-C84F-11D4-871E-00C04F7963BA");

// Every operation takes the destination first. The checks come before anything is locked and
// fail with OM_E_FAIL (nothing changed); a lock failure is returned as it comes. On success
// both sounds are unlocked and the destination's frequency is set to the source's.
struct ISoundProcessor : IUnknown {
    // Same length and channels, PCM codes: bit depth (8/16) and signedness.
    virtual OmResult ConvertBits(ISound* destination, ISound* source) = 0;
    // Identical codes, destination at least as long: the source's frames to its start.
    virtual OmResult Copy(ISound* destination, ISound* source) = 0;
    // 16-bit signed mono both: linear resampling to the destination's length; the frequency
    // becomes trunc(float(dst length x src rate) / src length).
    virtual OmResult Resample(ISound* destination, ISound* source) = 0;
    // Any supported format, channel count and length into the destination's. The failure of
    // making a temporary sound or of the depth conversion.
    virtual OmResult Convert(ISound* destination, ISound* source) = 0;
    // One channel of an interleaved source into a mono destination (same depth and
    // signedness; channel below the source's count; destination at least as long).
    virtual OmResult ExtractChannel(ISound* destination, uint32_t channel, ISound* source) = 0;
    // A mono source into one channel of an interleaved destination (same conditions).
    virtual OmResult InsertChannel(ISound* destination, uint32_t channel, ISound* source) = 0;
    // 16-bit: the floor of each frame's channel average into a 16-bit mono destination of the
    // same length.
    virtual OmResult MixToMono(ISound* destination, ISound* source) = 0;
};

OM_DECLARE_MODULE(SoundProcessor);
