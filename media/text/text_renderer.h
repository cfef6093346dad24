// ITextRenderer draws lines of 16-bit text as textured quads through a renderer; ITextBlt
// blits them into a raster, wrapping in a text box. Both take glyphs from an IFontCache.
#pragma once

#include "media/display/renderer.h"
#include "media/text/font_cache.h"

#include <bit>
#include <cstdint>

inline constexpr GUID CLSID_TextRenderer = om_guid("DEB2F0A7-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ITextRenderer = om_guid("DEB2F0A8-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_TextBlt = om_guid("DEB2F0A9-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ITextBlt = om_guid("DEB2F0AA-C84F-11D4-871E-00C04F7963BA");

// Property ids shared by both (pen positions: floats for the renderer, integers for the
// blitter).
inline constexpr uint32_t OM_TEXT_COLOUR = 2;
inline constexpr uint32_t OM_TEXT_BACKGROUND = 3;
inline constexpr uint32_t OM_TEXT_TEXEL_INSET = 4;     // renderer
inline constexpr uint32_t OM_TEXT_SLANT = 5;           // renderer
inline constexpr uint32_t OM_TEXT_BACKGROUND_BOX = 6;  // renderer
inline constexpr uint32_t OM_TEXT_COLOUR_KEY_MODE = 6; // blitter: 0 keys pages by colour
inline constexpr uint32_t OM_TEXT_DRAW_SPACES = 7;
inline constexpr uint32_t OM_TEXT_PAGE_PROPERTY = 8; // renderer
inline constexpr uint32_t OM_TEXT_PEN_X = 9;
inline constexpr uint32_t OM_TEXT_PEN_Y = 10;
inline constexpr uint32_t OM_TEXT_RENDERER = 11; // renderer
inline constexpr uint32_t OM_TEXT_TARGET = 12;   // blitter
inline constexpr uint32_t OM_TEXT_CACHE = 13;
inline constexpr uint32_t OM_TEXT_WIDE = 14; // blitter: non-zero = 16-bit characters
inline constexpr uint32_t OM_TEXT_TOP = 15;
inline constexpr uint32_t OM_TEXT_BOTTOM = 16;
inline constexpr uint32_t OM_TEXT_LEFT = 17;
inline constexpr uint32_t OM_TEXT_RIGHT = 18;

// The renderer's pen positions travel as the bits of a 32-bit float.
inline intptr_t om_text_float_value(float value) {
    return intptr_t(std::bit_cast<uint32_t>(value));
}
inline float om_text_value_float(intptr_t value) {
    return std::bit_cast<float>(uint32_t(value));
}

struct ITextRenderer : IUnknown {
    // Pen to (50, 50), text white, background black; batch, draw-spaces and background
    // flags cleared. 0.
    virtual OmResult Reset() = 0;
    // Holds the font (the old one released, and dropped from the cache when the cache is
    // its last other holder); outside a batch it primes the cache with the font's common
    // characters. OM_E_FAIL for null; the priming's failure.
    virtual OmResult SetFont(IFont* font) = 0;
    // The font, no reference added (null when none).
    virtual OmResult GetFont(IFont** out) = 0;
    // OM_TEXT_* ids 2..11 and 13; OM_E_FAIL for others.
    virtual OmResult SetProperty(uint32_t id, intptr_t value) = 0;
    // Ids 2..11; OM_E_FAIL for others.
    virtual OmResult GetProperty(uint32_t id, intptr_t* value) = 0;
    // Draws one line of NUL-terminated text from the pen and moves the pen to its end (in a
    // batch; outside one the glyphs are only cached). OM_E_FAIL without renderer; the
    // cache's failure.
    virtual OmResult DrawText(const uint16_t* text) = 0;
    // Does nothing. 0.
    virtual OmResult Empty(intptr_t argument) = 0;
    // Start and end a batch of lines. 0.
    virtual OmResult Begin() = 0;
    virtual OmResult End() = 0;
    // Holds the renderer and gives the cache (a SimpleFontCache of 30 pages when none was
    // set) a page description made by it. A failure of these steps; 0 otherwise.
    virtual OmResult SetRenderer(IRenderer* renderer) = 0;
};

struct ITextBlt : IUnknown {
    // Pen to (50, 50), colour opaque black. 0.
    virtual OmResult Reset() = 0;
    virtual OmResult SetFont(IFont* font) = 0;
    virtual OmResult GetFont(IFont** out) = 0;
    // OM_TEXT_* ids 2..18 but 11; OM_E_FAIL for others.
    virtual OmResult SetProperty(uint32_t id, intptr_t value) = 0;
    virtual OmResult GetProperty(uint32_t id, intptr_t* value) = 0;
    // Lays the NUL-terminated text (8- or 16-bit by OM_TEXT_WIDE) out in the text box from
    // the pen, wrapping and breaking lines. OM_E_FAIL without target or cache; a lookup's
    // failure; else the last lookup's result.
    virtual OmResult DrawText(const void* text) = 0;
    virtual OmResult Empty(intptr_t argument) = 0;
    virtual OmResult Begin() = 0;
    virtual OmResult End() = 0;
};

OM_DECLARE_MODULE(TextRenderer);
OM_DECLARE_MODULE(TextBlt);
