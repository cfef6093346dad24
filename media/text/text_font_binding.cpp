// Font changes of the text components: dropping the old font from the cache and priming the
// cache with the new one.
#include "media/text/text_font_binding.h"

#include "framework/core/object_manager.h"

#include <cstring>

namespace {

// Characters of ordinary text, most frequent first, and the figures with their punctuation.
constexpr char text_order[] =
    "etoairsnhlcdupgfmy.wbvTkB,PICA:S'!RNEDVOYHFjGLMWx2?q\"UJ() z41K50;796X/Q83Z+-=";
constexpr char figure_order[] = ".:'2415079683/+-=";
// Font property 9 values that choose the order.
constexpr intptr_t prime_figures = 3;
constexpr intptr_t prime_nothing = 4;

} // namespace

void om_release_text_font(IFont* font, IFontCache* cache) {
    if (!font) return;
    bool cached = cache && cache->IsFontNew(font) == OM_S_FONT_KNOWN;
    uint32_t left = font->Release();
    if (cached && left == 1) cache->RemoveFont(font);
}

OmResult om_prime_font_cache(IFontCache* cache, IFont* font) {
    if (!cache || !font || cache->IsFontNew(font) != OM_S_FONT_NEW) return OM_S_OK;
    intptr_t protection = 0;
    cache->GetProperty(OM_FONT_CACHE_BATCH_PROTECTION, &protection);
    if (cache->SetProperty(OM_FONT_CACHE_BATCH_PROTECTION, 0) < 0) return OM_S_OK;
    intptr_t order_kind = 0;
    font->GetProperty(OM_FONT_STORED, &order_kind);
    const char* order = order_kind == prime_figures   ? figure_order
                        : order_kind == prime_nothing ? ""
                                                      : text_order;
    size_t length = std::strlen(order);
    OmResult result = OM_S_OK;
    IRaster* page;
    OmRect rect;
    for (size_t i = 0; i < 2 * length && result >= 0; ++i) {
        char c = i < length ? order[i] : order[2 * length - 1 - i];
        OmResult r = cache->GetGlyph(font, uint8_t(c), &page, &rect);
        if (r < 0) result = r;
    }
    cache->SetProperty(OM_FONT_CACHE_BATCH_PROTECTION, protection);
    return result;
}

OmResult om_create_default_text_font(IFont** out) {
    return OmCreate(CLSID_TrueTypeFont, IID_IFont, out);
}

OmResult OmTextFontHolder::set_text_font(IFont* font, bool in_batch) {
    if (font == font_) return OM_S_OK;
    if (!font) return OM_E_FAIL;
    om_release_text_font(font_, cache_);
    font->AddRef();
    font_ = font;
    return in_batch ? OM_S_OK : om_prime_font_cache(cache_, font_);
}

OmResult OmTextFontHolder::get_text_font(IFont** out) const {
    if (!out) return OM_E_FAIL;
    *out = font_;
    return OM_S_OK;
}

void OmTextFontHolder::hold_text_cache(IFontCache* cache) {
    if (cache) cache->AddRef();
    if (cache_) cache_->Release();
    cache_ = cache;
}

OmResult OmTextFontHolder::ready_text_font(intptr_t* height) {
    if (!font_) {
        const OmResult r = om_create_default_text_font(&font_);
        if (r < 0) return r;
    }
    *height = 0;
    font_->GetProperty(OM_FONT_SIZE, height);
    return OM_S_OK;
}

void OmTextFontHolder::release_font_and_cache() {
    om_release_text_font(font_, cache_);
    font_ = nullptr;
    if (cache_) cache_->Release();
    cache_ = nullptr;
}
