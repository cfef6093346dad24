// Win32Profile: per-frame timings of named stages over a ring of recent frames.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_Win32Profile = om_guid("02701B9C-41E9-44FC-BB54-D018C076A01E");
inline constexpr GUID IID_IProfile = om_guid("9ECD05A6-3BF0-485F-899B-58AE93AB4099");

// The longest sample name, terminator included.
inline constexpr uint32_t OM_PROFILE_NAME_SIZE = 40;
inline constexpr char OM_PROFILE_END_SAMPLE[] = "End";

// Every operation first checks that Init ran; failed checks are reported as warnings through
// the debug log ("Assert failure :this->m_bInitialised", "Assert failure :nHistory <
// this->m_nHistory", "Assert failure :nSample < this->m_nNumSamples") and answer OM_E_FAIL
// (null for GetSampleName).
struct IProfile : IUnknown {
    // Allocates `samples` slots per frame for `history` frames (both at least 1).
    // OM_E_OUTOFMEMORY, OM_E_FAIL.
    virtual OmResult Init(uint32_t samples, uint32_t history) = 0;
    // Frees the tables; 0.
    virtual OmResult Free() = 0;
    // Starts the next frame of the ring and marks the time.
    virtual OmResult BeginFrame() = 0;
    // Records the "End" sample and the frame's sample count. OM_E_FAIL outside a frame.
    virtual OmResult EndFrame() = 0;
    // Records the microseconds since the last mark under the name (null: empty). The last
    // slot of a frame belongs to "End". OM_E_FAIL outside a frame or when the frame is full.
    virtual OmResult Sample(const char* name) = 0;
    virtual int32_t GetHistory() = 0;
    // The sample count stored for ring row `frame`.
    virtual int32_t GetSampleCount(uint32_t frame) = 0;
    // Microseconds of a sample `frames_back` frames before the current one.
    virtual int32_t GetSample(uint32_t frames_back, uint32_t sample) = 0;
    // The name of a sample slot, or null.
    virtual const char* GetSampleName(uint32_t sample) = 0;
};

OM_DECLARE_MODULE(Win32Profile);
