// ISoundCreate: a sound maker, which collects a description (format, rate, length, levels,
// flags) and makes sounds from it.
#pragma once

#include "framework/core/unknown.h"
#include "sound/base/sound.h"

inline constexpr GUID IID_ISoundCreate = om_guid("4BA9A7EF-9A83-11D2-868F-00C04F7963BA");

struct ISoundCreate : IUnknown {
    // Completes the description with defaults and checks the format. OM_E_FAIL for a format
    // that is not 8 or 16 bits of PCM.
    virtual OmResult Validate() = 0;
    // A sound made from the description (validated first when it is not). The validation's
    // failure, OM_E_OUTOFMEMORY.
    virtual OmResult CreateSound(ISound** out) = 0;
    // MAKER_* properties; the description must be validated again. OM_E_FAIL for others.
    virtual OmResult SetProperty(int32_t id, intptr_t value) = 0;
    virtual OmResult GetProperty(int32_t id, intptr_t* out) = 0;
    // MAKER_VOLUME and MAKER_OVERALL_VOLUME. OM_E_FAIL for others.
    virtual OmResult SetPropertyReal(int32_t id, float value) = 0;
    virtual OmResult GetPropertyReal(int32_t id, float* out) = 0;
    // Clears the description: volumes 1.0, everything else 0.
    virtual OmResult Reset() = 0;
    // A new maker with the same description (one reference).
    virtual OmResult Clone(ISoundCreate** out) = 0;
};
