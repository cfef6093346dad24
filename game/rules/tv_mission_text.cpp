// The mission's text chain (engine-backed renderer, its raster factory, TrueType "arial" 14,
// a simple glyph cache and a text renderer) and the lines drawn and measured through it.
#include "engine/core/lg_engine.h"
#include "framework/core/object_manager.h"
#include "game/rules/tavrin_mission.h"
#include "game/tv_frontend_services.h"
#include "game/world/om_lg_renderer.h"
#include "media/text/font.h"
#include "media/text/font_cache.h"
#include "media/text/text_renderer.h"

#include <vector>

namespace {

constexpr const char* kSource = "tvopmission";
constexpr intptr_t kFactoryFormat = 0xc0310;
constexpr uint32_t kFactoryFormatProperty = 4;
constexpr uint32_t kFactoryProperty20 = 20;
constexpr intptr_t kFactoryProperty20Value = 4;
constexpr intptr_t kFontSize = 14;
constexpr intptr_t kFontFamilySwiss = 32;
constexpr const char* kFontFace = "arial";
constexpr intptr_t kTextPageProperty = 4;
constexpr uint32_t kOpaqueWhite = 0xffffffffu; // the text renderer's A8 R8 G8 B8
constexpr uint32_t kTransparentBlack = 0x00000000u;
constexpr uint32_t kAlphaBlendedImmediate = 11;

// The game's colour word holds the bytes red, green, blue, alpha in memory order; 0 stands
// for opaque white.
uint32_t text_colour(uint32_t rgba) {
    if (rgba == 0) return kOpaqueWhite;
    const uint32_t red = rgba & 0xff, green = (rgba >> 8) & 0xff, blue = (rgba >> 16) & 0xff,
                   alpha = rgba >> 24;
    return alpha << 24 | red << 16 | green << 8 | blue;
}

} // namespace

// 16-bit characters of a text (bytes taken as they are).
std::vector<uint16_t> TvWidenText(const char* text) {
    std::vector<uint16_t> wide;
    for (const char* c = text; c && *c; ++c) wide.push_back(static_cast<unsigned char>(*c));
    wide.push_back(0);
    return wide;
}

void TavrinMission::create_text_chain() {
    release_text_chain();
    // Each step needs the one before: a failure leaves the later objects uncreated.
    if (OmCreate(CLSID_OmLgRenderer, IID_IRenderer, &renderer) < 0 || !renderer ||
        renderer->Init(nullptr) < 0 || renderer->CreateTextureFactory(&raster_factory) < 0 ||
        !raster_factory) {
        TvLogError(kSource, __LINE__, "Could not create the mission's renderer");
        return;
    }
    raster_factory->SetProperty(kFactoryFormatProperty, kFactoryFormat);
    raster_factory->SetProperty(kFactoryProperty20, kFactoryProperty20Value);
    if (OmCreate(CLSID_TrueTypeFont, IID_IFont, &font) < 0 || !font) {
        TvLogError(kSource, __LINE__, "Could not create the mission's font");
        return;
    }
    font->SetProperty(OM_FONT_SIZE, kFontSize);
    font->SetProperty(OM_FONT_FAMILY, kFontFamilySwiss);
    font->SetProperty(OM_FONT_FACE, reinterpret_cast<intptr_t>(kFontFace));
    font->SetProperty(OM_FONT_BOLD, 0);
    font->SetProperty(OM_FONT_SMOOTHING, 1);
    if (OmCreate(CLSID_SimpleFontCache, IID_IFontCache, &font_cache) < 0 || !font_cache) {
        TvLogError(kSource, __LINE__, "Could not create the mission's font cache");
        return;
    }
    font_cache->SetTarget(raster_factory);
    font_cache->AddFont(font);
    if (OmCreate(CLSID_TextRenderer, IID_ITextRenderer, &text_renderer) < 0 || !text_renderer) {
        TvLogError(kSource, __LINE__, "Could not create the mission's text renderer");
        return;
    }
    text_renderer->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(font_cache));
    text_renderer->SetProperty(OM_TEXT_PAGE_PROPERTY, kTextPageProperty);
    text_renderer->SetProperty(OM_TEXT_COLOUR, kOpaqueWhite);
    text_renderer->SetProperty(OM_TEXT_BACKGROUND, kTransparentBlack);
    text_renderer->SetProperty(OM_TEXT_BACKGROUND_BOX, 0);
    text_renderer->SetProperty(OM_TEXT_RENDERER, reinterpret_cast<intptr_t>(renderer));
    text_renderer->SetFont(font);
}

void TavrinMission::release_text_chain() {
    if (raster_factory) raster_factory->Release();
    raster_factory = nullptr;
    if (font_cache) font_cache->Release();
    font_cache = nullptr;
    if (text_renderer) text_renderer->Release();
    text_renderer = nullptr;
    if (font) font->Release();
    font = nullptr;
    if (renderer) renderer->Release();
    renderer = nullptr;
}

void TavrinMission::draw_line(float x, float y, const char* text, const uint32_t* colour) {
    if (!text_renderer || !text) return;
    const std::vector<uint16_t> wide = TvWidenText(text);
    LgRenderStateSet(kAlphaBlendedImmediate, reinterpret_cast<void*>(uintptr_t{1}));
    text_renderer->Begin();
    if (colour) text_renderer->SetProperty(OM_TEXT_COLOUR, *colour);
    text_renderer->SetProperty(OM_TEXT_PEN_X, om_text_float_value(x));
    text_renderer->SetProperty(OM_TEXT_PEN_Y, om_text_float_value(y));
    text_renderer->DrawText(wide.data());
    text_renderer->End();
}

OmResult TavrinMission::DrawText(float x, float y, const char* text, uint32_t colour) {
    const uint32_t value = text_colour(colour);
    draw_line(x, y, text, &value);
    return OM_S_OK;
}

int32_t TavrinMission::MeasureTextWidth(const char* text) {
    if (!font_cache || !font || !text) return 0;
    int32_t width = 0;
    for (const char* c = text; *c; ++c) {
        IRaster* page = nullptr;
        OmRect rect{};
        if (font_cache->GetGlyph(font, static_cast<unsigned char>(*c), &page, &rect) >= 0)
            width += rect.width;
    }
    return width;
}

int32_t TvMeasureTextWidth(ITvMission* mission, const char* text) {
    return mission ? static_cast<TavrinMission*>(mission)->MeasureTextWidth(text) : 0;
}
