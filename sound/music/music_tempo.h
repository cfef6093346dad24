// IMusicTempo: the second interface of the DirectMusic and streamed players (groove level and
// tempo of the music being played).
#pragma once

#include "framework/core/unknown.h"

#include <cstdint>

inline constexpr GUID IID_IMusicTempo = om_guid("9567865F-16F4-11D5-A4A8-00010239331A");

struct IMusicTempo : IUnknown {
    // The groove level (-128..127). The player's result, or 0x80030000 where it has none.
    virtual OmResult SetGrooveLevel(int8_t level) = 0;
    // The groove level set; 0 when it cannot be read.
    virtual int8_t GetGrooveLevel() = 0;
    // The tempo factor (1.0 = as written). The player's result.
    virtual OmResult SetTempo(float factor) = 0;
    // The tempo factor; 1.0 when it cannot be read.
    virtual float GetTempo() = 0;
};
