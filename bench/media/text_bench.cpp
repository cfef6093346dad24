// Text drawing: a 100-character line through the text renderer with a cold cache (every
// glyph rasterised and packed) and a warm one (quads only), and one smoothed TrueType glyph.
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "media/raster/blitter.h"
#include "media/text/text_renderer.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// Takes the quads and throws them away, so only the text path is measured.
class NullRenderer final : public OmObject<NullRenderer, IRenderer> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRenderer, this}});
    }
    OmResult Init(IRaster*) override { return OM_S_OK; }
    IRaster* GetDisplay() override { return nullptr; }
    OmResult CreateTextureFactory(IRasterCreate** out) override {
        return OmNewRasterDescription(out);
    }
    OmResult SetTarget(IRaster*) override { return OM_S_OK; }
    IRaster* GetTarget() override { return nullptr; }
    OmResult BeginScene() override { return OM_S_OK; }
    OmResult EndScene() override { return OM_S_OK; }
    OmResult SetRenderState(uint32_t, uintptr_t) override { return OM_S_OK; }
    OmResult GetRenderState(uint32_t, uintptr_t* value) override {
        *value = 0;
        return OM_S_OK;
    }
    OmResult DrawIndexedPrimitive(uint32_t, const OmTLVertex* vertices, uint32_t, const uint16_t*,
                                  uint32_t, uint32_t) override {
        benchmark::DoNotOptimize(vertices);
        return OM_S_OK;
    }
    OmResult DrawPrimitive(uint32_t, const OmTLVertex*, uint32_t, uint32_t) override {
        return OM_S_OK;
    }
};

void start_framework() {
    static bool started = [] {
        OmStartup();
        IObjectManager* manager = OmGetObjectManager();
        Blitter_RegisterClasses(manager);
        RasterCreate_RegisterClasses(manager);
        Win32TrueTypeFont_RegisterClasses(manager);
        SimpleFontCache_RegisterClasses(manager);
        TextRenderer_RegisterClasses(manager);
        return true;
    }();
    (void)started;
}

IFont* new_font(int32_t size, bool smoothing) {
    IFont* font = nullptr;
    OmCreate(CLSID_TrueTypeFont, IID_IFont, &font);
    font->SetProperty(OM_FONT_FACE, reinterpret_cast<intptr_t>("arial"));
    font->SetProperty(OM_FONT_SIZE, size);
    font->SetProperty(OM_FONT_SMOOTHING, smoothing);
    font->SetProperty(OM_FONT_COLOUR, intptr_t(0xFFFFFFFFu));
    return font;
}

// 100 characters of ordinary text, mixed case, figures and punctuation.
const std::u16string& hundred_characters() {
    static const std::u16string text = [] {
        std::string line = "The quick brown fox jumps over the lazy dog, 1234567890 times; "
                           "PACK MY BOX WITH FIVE DOZEN JUGS!";
        line.resize(100, '.');
        return std::u16string(line.begin(), line.end());
    }();
    return text;
}

struct TextSetup {
    ITextRenderer* text = nullptr;
    NullRenderer* renderer = new NullRenderer;
    IFont* font = new_font(16, true);

    TextSetup() {
        OmCreate(CLSID_TextRenderer, IID_ITextRenderer, &text);
        text->SetRenderer(renderer);
        text->SetFont(font);
    }
    ~TextSetup() {
        text->Release();
        font->Release();
        renderer->Release();
    }
    void draw() {
        text->SetProperty(OM_TEXT_PEN_X, om_text_float_value(0.0f));
        text->Begin();
        text->DrawText(reinterpret_cast<const uint16_t*>(hundred_characters().c_str()));
        text->End();
    }
};

void BM_DrawText100Cold(benchmark::State& state) {
    start_framework();
    for (auto _ : state) {
        TextSetup setup; // a new font and cache: every glyph is drawn and packed
        setup.draw();
    }
}
BENCHMARK(BM_DrawText100Cold)->Unit(benchmark::kMicrosecond);

void BM_DrawText100Warm(benchmark::State& state) {
    start_framework();
    TextSetup setup;
    setup.draw();
    for (auto _ : state) setup.draw();
}
BENCHMARK(BM_DrawText100Warm)->Unit(benchmark::kMicrosecond);

void BM_SmoothedGlyph(benchmark::State& state) {
    start_framework();
    IFont* font = new_font(24, true);
    IRaster* target = nullptr;
    OmNewMemoryRaster(32, 32, OM_FORMAT_ARGB4444, &target);
    int32_t width = 0;
    font->GetGlyphWidth('g', target, &width);
    OmRect rect{0, 0, width, 24};
    for (auto _ : state) benchmark::DoNotOptimize(font->DrawGlyph('g', target, &rect));
    target->Release();
    font->Release();
}
BENCHMARK(BM_SmoothedGlyph)->Unit(benchmark::kMicrosecond);

} // namespace
