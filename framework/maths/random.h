// Random: the framework's random-number component, a 17-word additive generator with
// rotations.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_Random = om_guid("DD4D8F2A-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IRandom = om_guid("DD60A1FA-C84F-11D4-871E-00C04F7963BA");

// A new Random is seeded from the clock (seconds); seed it explicitly to repeat a sequence.
struct IRandom : IUnknown {
    // Restarts the sequence from `seed`; 0.
    virtual OmResult Random_Seed(uint32_t seed) = 0;
    // The next 32-bit number.
    virtual uint32_t Random_NextInt() = 0;
    // The next number scaled into [0, 1).
    virtual float Random_NextReal() = 0;
};

OM_DECLARE_MODULE(Random);

// A new Random made directly (one reference). OM_E_OUTOFMEMORY.
OmResult OmNewRandom(IRandom** out);
