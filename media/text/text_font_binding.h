// What TextRenderer and TextBlt do alike with their font and glyph cache: the old font leaves
// the cache when the cache is its last other holder, a new font primes the cache, and drawing
// without a font set uses the default one.
#pragma once

#include "media/text/font_cache.h"

// Releases the caller's reference on the font; when only the cache still holds it, the
// cache removes it.
void om_release_text_font(IFont* font, IFontCache* cache);

// Looks the font's common characters up once in order and once in reverse, with the cache's
// batch protection off, when the cache does not know the font yet. A cache without batch
// protection (it refuses property 2) is not primed. The first failing lookup.
OmResult om_prime_font_cache(IFontCache* cache, IFont* font);

// The default font of the text components: the TrueType font class.
OmResult om_create_default_text_font(IFont** out);

// The font and glyph cache a text component holds, one reference each, with the font changes
// above. The component calls release_font_and_cache() where its own references go.
class OmTextFontHolder {
protected:
    OmTextFontHolder() = default;
    ~OmTextFontHolder() { release_font_and_cache(); }
    OmTextFontHolder(const OmTextFontHolder&) = delete;
    OmTextFontHolder& operator=(const OmTextFontHolder&) = delete;

    // SetFont of both: the same font changes nothing; null is OM_E_FAIL; outside a batch the
    // new font primes the cache (its failure).
    OmResult set_text_font(IFont* font, bool in_batch);
    // GetFont of both: the font, no reference added.
    OmResult get_text_font(IFont** out) const;
    // Holds the cache (null too) in place of the one before.
    void hold_text_cache(IFontCache* cache);
    // Before drawing: the default font when none is set; its pixel height (OM_FONT_SIZE) to
    // *height. The default font's creation failure.
    OmResult ready_text_font(intptr_t* height);
    void release_font_and_cache();

    IFont* font_ = nullptr;
    IFontCache* cache_ = nullptr;
};
