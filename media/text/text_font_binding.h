// What TextRenderer and TextBlt do alike when their font changes: the old font leaves the
// cache when the cache is its last other holder, and a new font primes the cache.
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
