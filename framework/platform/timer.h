// The timer interface and its two classes: Timer on the millisecond clock and
// Win32HighResTimer on the high-resolution counter.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID IID_ITimer = om_guid("DDF473C6-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Timer = om_guid("DDC98972-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_Win32HighResTimer = om_guid("6F545003-0746-4FAC-9AAE-749C31875AFD");

// A stopwatch the owner samples once per frame with Update and then reads.
struct ITimer : IUnknown {
    // Starts (or resumes) timing; 0.
    virtual OmResult Start() = 0;
    // Samples, then stops; time while stopped never reaches the total. 0.
    virtual OmResult Stop() = 0;
    // Timer: samples and clears the delta. Win32HighResTimer: starts again from 0. 0.
    virtual OmResult Reset() = 0;
    // While running, takes the time since the last sample as the delta and adds it up. 0.
    virtual OmResult Update() = 0;
    // Seconds (Timer: always 0.0).
    virtual float GetDeltaSeconds() = 0;
    virtual float GetTotalSeconds() = 0;
    // Milliseconds.
    virtual uint32_t GetDeltaMs() = 0;
    virtual uint32_t GetTotalMs() = 0;
};

OM_DECLARE_MODULE(Timer);
OM_DECLARE_MODULE(Win32HighResTimer);
