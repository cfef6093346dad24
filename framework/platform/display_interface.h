// The display interface as the window service uses it: its video modes and the current one
// (the displays themselves are components of the media layer).
#pragma once

#include "framework/core/unknown.h"

inline constexpr GUID IID_IDisplay = om_guid("D87A8D0E-C84F-11D4-871E-00C04F7963BA");

inline constexpr uint32_t OM_DISPLAY_MODE_SIZE = 20;

// One video mode; `size` is always OM_DISPLAY_MODE_SIZE.
struct OmDisplayMode {
    uint32_t size = OM_DISPLAY_MODE_SIZE;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t format = 0; // raster format code; its low byte is the colour depth in bits
    uint32_t windowed = 0;
};
static_assert(sizeof(OmDisplayMode) == OM_DISPLAY_MODE_SIZE);

struct IDisplay : IUnknown {
    // The number of listed (full-screen) modes.
    virtual uint32_t GetModeCount() = 0;
    // Fills the record of a listed mode (windowed 0). OM_E_FAIL for a bad index or record size.
    virtual OmResult GetMode(uint32_t index, OmDisplayMode* mode) = 0;
    // Applies the mode (null: the current one again); on failure the old mode stays.
    virtual OmResult SetMode(const OmDisplayMode* mode) = 0;
    virtual OmResult GetCurrentMode(OmDisplayMode* mode) = 0;
    // Shows the drawing surface.
    virtual OmResult Present(void* reserved) = 0;
};

// Among the display's modes of the wanted format, the index of the one whose area differs
// least from the wanted width x height (the first on ties). OM_E_FAIL when none has it.
OmResult OmFindClosestDisplayMode(IDisplay* display, const OmDisplayMode* wanted, uint32_t* index);
