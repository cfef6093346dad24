// IFontCache: copies glyphs of fonts into page rasters and tells where each lies; the
// caches SimpleFontCache (pages filled until full) and FontCache (batches and eviction).
#pragma once

#include "media/raster/raster.h"
#include "media/text/font.h"

inline constexpr GUID IID_IFontCache = om_guid("DE9693AE-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID CLSID_SimpleFontCache = om_guid("E1E480E1-DC20-11D4-8723-00C04F7963BA");
inline constexpr GUID CLSID_FontCache = om_guid("DEB2F0A6-C84F-11D4-871E-00C04F7963BA");

// Property ids.
inline constexpr uint32_t OM_FONT_CACHE_PAGE_LIMIT = 1;
inline constexpr uint32_t OM_FONT_CACHE_BATCH_PROTECTION = 2;

// IsFontNew answers.
inline constexpr OmResult OM_S_FONT_KNOWN = 0x40065;
inline constexpr OmResult OM_S_FONT_NEW = 0x40066;
// GetGlyph of a FontCache that finds no room for the glyph.
inline constexpr OmResult OM_E_FONT_CACHE_FULL = int32_t(0x80040064u);

struct IFontCache : IUnknown {
    // OM_FONT_CACHE_PAGE_LIMIT, OM_FONT_CACHE_BATCH_PROTECTION (FontCache only); OM_E_FAIL for
    // other ids or values the cache refuses.
    virtual OmResult SetProperty(uint32_t id, intptr_t value) = 0;
    virtual OmResult GetProperty(uint32_t id, intptr_t* value) = 0;
    // Properties back to their defaults.
    virtual OmResult Reset() = 0;
    // The raster description that makes the pages (its width and height are the page size;
    // one reference held). OM_E_FAIL when the cache refuses it.
    virtual OmResult SetTarget(IRasterCreate* factory) = 0;
    // The target, no reference added (null when none). OM_E_FAIL without one.
    virtual OmResult GetTarget(IRasterCreate** out) = 0;
    // Places the glyph of the code when it is not cached yet, then hands out its page (no
    // reference added) and its rectangle there. OM_E_FAIL for a glyph larger than a page or
    // a SimpleFontCache without room; OM_E_FONT_CACHE_FULL for a FontCache without room; the
    // font's or the page's failure.
    virtual OmResult GetGlyph(IFont* font, uint16_t code, IRaster** page, OmRect* rect) = 0;
    // Makes a glyph table for the font (one reference held). 0 also when it has one.
    virtual OmResult AddFont(IFont* font) = 0;
    // OM_S_FONT_NEW when the font has no table, OM_S_FONT_KNOWN when it has one.
    virtual OmResult IsFontNew(IFont* font) = 0;
    // Frees the font's glyph areas and table, releasing the font. OM_E_FAIL when it has none.
    virtual OmResult RemoveFont(IFont* font) = 0;
    // Removes every font and releases every page.
    virtual OmResult Clear() = 0;
    // Does nothing. 0.
    virtual OmResult Empty(intptr_t argument) = 0;
    // Mark the lines drawn between them (a SimpleFontCache ignores them). 0.
    virtual OmResult BeginBatch() = 0;
    virtual OmResult EndBatch() = 0;
};

OM_DECLARE_MODULE(SimpleFontCache);
OM_DECLARE_MODULE(FontCache);
