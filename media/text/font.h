// IFont: a typeface at one size and style that measures and draws single glyphs. The
// TrueType, bitmap-directory and compressed fonts all answer it.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h" // CLSID_TrueTypeFont, CLSID_Win32TrueTypeFont
#include "media/raster/raster.h"

#include <cstdint>

inline constexpr GUID IID_IFont = om_guid("DE8F6CA0-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_GeneralFont = om_guid("DEB2F0A4-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_CompressedFont = om_guid("DEB2F0A5-C84F-11D4-871E-00C04F7963BA");

// Property ids of SetProperty and GetProperty.
inline constexpr uint32_t OM_FONT_FACE = 1; // face name: a const char*
inline constexpr uint32_t OM_FONT_BOLD = 2; // non-zero = bold
inline constexpr uint32_t OM_FONT_ITALIC = 3;
inline constexpr uint32_t OM_FONT_STRIKEOUT = 4;
inline constexpr uint32_t OM_FONT_UNDERLINE = 5;
inline constexpr uint32_t OM_FONT_PITCH = 6;  // pitch bits
inline constexpr uint32_t OM_FONT_FAMILY = 7; // 0 any, 16 roman, 32 swiss, 48 modern,
                                              // 64 script, 80 decorative
inline constexpr uint32_t OM_FONT_SIZE = 8;   // glyph height in pixels
inline constexpr uint32_t OM_FONT_STORED = 9;
inline constexpr uint32_t OM_FONT_COLOUR = 10;     // text colour, A8 R8 G8 B8
inline constexpr uint32_t OM_FONT_BACKGROUND = 11; // background colour
inline constexpr uint32_t OM_FONT_SMOOTHING = 12;  // draw four times larger and average

struct IFont : IUnknown {
    // Sets one property (values travel as intptr_t so that texts and pointers fit).
    // OM_E_FAIL for an id the font does not take.
    virtual OmResult SetProperty(uint32_t id, intptr_t value) = 0;
    // Reads one property. OM_E_FAIL for an id the font does not take.
    virtual OmResult GetProperty(uint32_t id, intptr_t* value) = 0;
    // Every property back to its default; drops whatever was loaded.
    virtual OmResult Reset() = 0;
    // Draws the glyph of the code into the target at the rectangle {x, y, width, height}
    // in the drawing colour. OM_E_FAIL for a rectangle the font cannot draw into.
    virtual OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) = 0;
    // The advance width of the code's glyph in pixels (the target may be null).
    virtual OmResult GetGlyphWidth(uint16_t code, IRaster* target, int32_t* width) = 0;
};

// Family property values and their directory names in the bitmap font trees.
inline constexpr int32_t OM_FONT_FAMILY_ANY = 0;
inline constexpr int32_t OM_FONT_FAMILY_ROMAN = 16;
inline constexpr int32_t OM_FONT_FAMILY_SWISS = 32;
inline constexpr int32_t OM_FONT_FAMILY_MODERN = 48;
inline constexpr int32_t OM_FONT_FAMILY_SCRIPT = 64;
inline constexpr int32_t OM_FONT_FAMILY_DECORATIVE = 80;

// Registers Win32TrueTypeFont under both its own class id and CLSID_TrueTypeFont.
OM_DECLARE_MODULE(Win32TrueTypeFont);
// Fonts read from one bitmap and mask file per character below "fonts/general/".
OM_DECLARE_MODULE(GeneralFont);
// Fonts read from one run-length-coded font.cft file below "fonts/compressed/".
OM_DECLARE_MODULE(CompressedFont);
