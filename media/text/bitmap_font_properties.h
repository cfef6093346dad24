// The property set of the bitmap fonts (GeneralFont and CompressedFont): ids 1..9, and 10
// (the text colour) for the compressed font.
#pragma once

#include "media/text/font.h"

struct OmBitmapFontProperties {
    int32_t bold = 0;
    int32_t italic = 0;
    int32_t strikeout = 0;
    int32_t underline = 0;
    int32_t pitch = 0;
    int32_t family = 0;
    int32_t size = 32;
    int32_t stored = 1;
    uint32_t colour = 0xFFFFFFFF; // white, opaque

    // Stores a property; OM_E_FAIL for ids past `last_id`. The face name is taken and
    // ignored.
    OmResult set(uint32_t id, intptr_t value, uint32_t last_id);
    OmResult get(uint32_t id, intptr_t* value, uint32_t last_id) const;
};

// A rectangle the bitmap fonts draw into: not wider or higher than the target, not negative.
bool om_glyph_rect_fits(const OmRect* rect, IRaster* target);
