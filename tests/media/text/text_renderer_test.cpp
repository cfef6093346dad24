// TextRenderer through a recording renderer: quads, texture coordinates, the index pattern,
// one draw per page run, the 128-quad cap, the background box and the saved state.
#include "tests/media/text/text_fixture.h"

#include <string>

namespace {

using texttest::ScriptedFont;
using texttest::text16;
using texttest::TextTest;

struct DrawCall {
    uintptr_t texture;
    std::vector<OmTLVertex> vertices;
    std::vector<uint16_t> indices;
};

class RecordingRenderer final : public OmObject<RecordingRenderer, IRenderer> {
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
    OmResult SetRenderState(uint32_t state, uintptr_t value) override {
        states[state] = value;
        return OM_S_OK;
    }
    OmResult GetRenderState(uint32_t state, uintptr_t* value) override {
        *value = states[state];
        return OM_S_OK;
    }
    OmResult DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                  const uint16_t* indices, uint32_t index_count,
                                  uint32_t) override {
        EXPECT_EQ(type, OM_PRIMITIVE_TRIANGLE_LIST);
        EXPECT_EQ(states[OM_RS_SHADE_MODE], 1u);
        draws.push_back({states[OM_RS_TEXTURE],
                         {vertices, vertices + count},
                         {indices, indices + index_count}});
        return OM_S_OK;
    }
    OmResult DrawPrimitive(uint32_t, const OmTLVertex*, uint32_t, uint32_t) override {
        return OM_E_FAIL;
    }
    std::map<uint32_t, uintptr_t> states;
    std::vector<DrawCall> draws;
};

class TextRendererTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        text_ = texttest::create<ITextRenderer>(CLSID_TextRenderer, IID_ITextRenderer);
        renderer_ = ComRef<RecordingRenderer>::adopt(new RecordingRenderer);
        renderer_->states[OM_RS_SHADE_MODE] = 2;
        ASSERT_EQ(text_->SetRenderer(renderer_.get()), OM_S_OK);
        font_ = ScriptedFont::make(16, 8);
        font_->properties[OM_FONT_STORED] = 4; // no priming
        ASSERT_EQ(text_->SetFont(font_.get()), OM_S_OK);
    }
    void TearDown() override {
        text_.reset();
        renderer_.reset();
        font_.reset();
        TextTest::TearDown();
    }
    OmResult draw(const std::u16string& text) {
        text_->Begin();
        OmResult r = text_->DrawText(reinterpret_cast<const uint16_t*>(text.c_str()));
        text_->End();
        return r;
    }
    float pen_x() {
        intptr_t value;
        text_->GetProperty(OM_TEXT_PEN_X, &value);
        return om_text_value_float(value);
    }
    ComRef<ITextRenderer> text_;
    ComRef<RecordingRenderer> renderer_;
    ComRef<ScriptedFont> font_;
};

TEST_F(TextRendererTest, OneLineIsOneDrawOfQuadsWithTheirTexels) {
    text_->SetProperty(OM_TEXT_PEN_X, om_text_float_value(10.0f));
    text_->SetProperty(OM_TEXT_PEN_Y, om_text_float_value(20.0f));
    text_->SetProperty(OM_TEXT_COLOUR, 0x00123456);
    ASSERT_EQ(draw(text16("ab")), OM_S_OK);
    ASSERT_EQ(renderer_->draws.size(), 1u);
    const DrawCall& call = renderer_->draws[0];
    ASSERT_EQ(call.vertices.size(), 8u);
    EXPECT_EQ(call.indices, (std::vector<uint16_t>{1, 3, 0, 0, 3, 2, 5, 7, 4, 4, 7, 6}));
    EXPECT_NE(call.texture, 0u);
    // The second glyph's quad: 8 x 16 pixels from pen x 18, texels of the same size.
    struct Expect {
        float x, y, u, v;
    };
    const OmTLVertex* v = call.vertices.data();
    float u0 = v[4].tu, v0 = v[5].tv, u1 = v[6].tu, v1 = v[4].tv;
    EXPECT_FLOAT_EQ((u1 - u0) * 128, 8.0f);
    EXPECT_FLOAT_EQ((v1 - v0) * 128, 16.0f);
    Expect expected[] = {{17.5f, 35.5f, u0, v1},
                         {17.5f, 19.5f, u0, v0},
                         {25.5f, 35.5f, u1, v1},
                         {25.5f, 19.5f, u1, v0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(v[4 + i].sx, expected[i].x) << i;
        EXPECT_FLOAT_EQ(v[4 + i].sy, expected[i].y) << i;
        EXPECT_FLOAT_EQ(v[4 + i].tu, expected[i].u) << i;
        EXPECT_FLOAT_EQ(v[4 + i].tv, expected[i].v) << i;
        EXPECT_FLOAT_EQ(v[4 + i].sz, 0.5f);
        EXPECT_FLOAT_EQ(v[4 + i].rhw, 1.0f);
        EXPECT_EQ(v[4 + i].diffuse, 0xFF123456u);
    }
    EXPECT_FLOAT_EQ(pen_x(), 26.0f);
    EXPECT_EQ(renderer_->states[OM_RS_SHADE_MODE], 2u); // restored
}

TEST_F(TextRendererTest, SlantAndTexelInsetShapeTheQuad) {
    text_->SetProperty(OM_TEXT_SLANT, 1);
    text_->SetProperty(OM_TEXT_TEXEL_INSET, 1);
    ASSERT_EQ(draw(text16("a")), OM_S_OK);
    const OmTLVertex* v = renderer_->draws.at(0).vertices.data();
    EXPECT_FLOAT_EQ(v[1].sx - v[0].sx, 16.0f / 3.0f);
    EXPECT_FLOAT_EQ(v[3].sx - v[2].sx, 16.0f / 3.0f);
    EXPECT_FLOAT_EQ((v[2].tu - v[0].tu) * 128, 8.0f - 0.6f - 0.65f);
    EXPECT_FLOAT_EQ((v[0].tv - v[1].tv) * 128, 16.0f - 1.3f);
}

TEST_F(TextRendererTest, SpacesOnlyMoveThePenUnlessDrawn) {
    ASSERT_EQ(draw(text16("a b")), OM_S_OK);
    EXPECT_EQ(renderer_->draws.at(0).vertices.size(), 8u);
    EXPECT_FLOAT_EQ(pen_x(), 50.0f + 24.0f);
    renderer_->draws.clear();
    text_->SetProperty(OM_TEXT_DRAW_SPACES, 1);
    ASSERT_EQ(draw(text16("a b")), OM_S_OK);
    EXPECT_EQ(renderer_->draws.at(0).vertices.size(), 12u);
}

TEST_F(TextRendererTest, LongLinesStopAt128Quads) {
    std::u16string line(200, u'x');
    ASSERT_EQ(draw(line), OM_S_OK);
    ASSERT_EQ(renderer_->draws.size(), 1u);
    EXPECT_EQ(renderer_->draws[0].vertices.size(), 4u * 128);
    EXPECT_EQ(renderer_->draws[0].indices.size(), 6u * 128);
    EXPECT_FLOAT_EQ(pen_x(), 50.0f + 128 * 8);
}

TEST_F(TextRendererTest, EachPageRunIsItsOwnDraw) {
    font_->default_width = 100; // one glyph per 128-wide shelf, 8 shelves per page
    std::u16string text = text16("abcdefghijk");
    ASSERT_EQ(draw(text), OM_S_OK);
    ASSERT_EQ(renderer_->draws.size(), 2u);
    EXPECT_EQ(renderer_->draws[0].vertices.size(), 4u * 8);
    EXPECT_EQ(renderer_->draws[1].vertices.size(), 4u * 3);
    EXPECT_NE(renderer_->draws[0].texture, renderer_->draws[1].texture);
}

TEST_F(TextRendererTest, OutsideABatchGlyphsAreCachedButNotDrawn) {
    std::u16string text = text16("hello");
    EXPECT_EQ(text_->DrawText(reinterpret_cast<const uint16_t*>(text.c_str())), OM_S_OK);
    EXPECT_TRUE(renderer_->draws.empty());
    EXPECT_EQ(font_->draws, 4); // h, e, l, o
    EXPECT_FLOAT_EQ(pen_x(), 50.0f);
    ASSERT_EQ(draw(u""), OM_S_OK);
    EXPECT_TRUE(renderer_->draws.empty());
    EXPECT_FLOAT_EQ(pen_x(), 50.0f);
}

TEST_F(TextRendererTest, BackgroundBoxIsAnUntexturedQuadBehindTheLine) {
    text_->SetProperty(OM_TEXT_BACKGROUND_BOX, 1);
    text_->SetProperty(OM_TEXT_BACKGROUND, 0x00FF0000);
    ASSERT_EQ(draw(text16("ab")), OM_S_OK);
    ASSERT_EQ(renderer_->draws.size(), 2u);
    const DrawCall& box = renderer_->draws[1];
    EXPECT_EQ(box.texture, 0u);
    ASSERT_EQ(box.vertices.size(), 4u);
    EXPECT_FLOAT_EQ(box.vertices[0].sx, 49.5f);
    EXPECT_FLOAT_EQ(box.vertices[2].sx, 65.5f);
    EXPECT_FLOAT_EQ(box.vertices[1].sy, 49.5f);
    EXPECT_FLOAT_EQ(box.vertices[0].sy, 65.5f);
    EXPECT_FLOAT_EQ(box.vertices[0].sz, 0.6f);
    EXPECT_EQ(box.vertices[0].diffuse, 0xFFFF0000u);
}

TEST_F(TextRendererTest, FullSimpleCacheStopsTheLine) {
    ComRef<IFontCache> cache = texttest::create<IFontCache>(CLSID_SimpleFontCache, IID_IFontCache);
    ASSERT_EQ(cache->SetTarget(texttest::page_factory().get()), OM_S_OK);
    cache->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1);
    ASSERT_EQ(text_->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(cache.get())), OM_S_OK);
    font_->default_width = 128;
    font_->height = 64; // two glyphs per page
    EXPECT_EQ(draw(text16("abc")), OM_E_FAIL);
    ASSERT_EQ(renderer_->draws.size(), 1u);
    EXPECT_EQ(renderer_->draws[0].vertices.size(), 8u);
}

TEST_F(TextRendererTest, FullFontCacheSkipsGlyphsAndIsClearedAfterTwoOverflowingBatches) {
    ComRef<IFontCache> cache = texttest::create<IFontCache>(CLSID_FontCache, IID_IFontCache);
    ASSERT_EQ(cache->SetTarget(texttest::page_factory().get()), OM_S_OK);
    cache->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1);
    ASSERT_EQ(text_->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(cache.get())), OM_S_OK);
    font_->default_width = 128;
    font_->height = 64;
    for (int batch = 0; batch < 2; ++batch) {
        renderer_->draws.clear();
        text_->SetProperty(OM_TEXT_PEN_X, om_text_float_value(0.0f));
        // 'c' finds the page full of glyphs used in this batch: skipped, the pen advances.
        EXPECT_EQ(draw(text16("ababc")), OM_S_OK);
        EXPECT_EQ(renderer_->draws.at(0).vertices.size(), 16u);
        EXPECT_FLOAT_EQ(pen_x(), 5 * 128.0f);
    }
    EXPECT_EQ(cache->IsFontNew(font_.get()), OM_S_FONT_KNOWN);
    text_->Begin(); // after two overflowing batches the cache starts empty
    EXPECT_EQ(cache->IsFontNew(font_.get()), OM_S_FONT_NEW);
    text_->End();
}

TEST_F(TextRendererTest, PropertiesAndFonts) {
    intptr_t value;
    EXPECT_EQ(text_->SetProperty(12, 0), OM_E_FAIL);
    EXPECT_EQ(text_->GetProperty(13, &value), OM_E_FAIL);
    EXPECT_EQ(text_->SetProperty(OM_TEXT_COLOUR, 0x00010203), OM_S_OK);
    text_->GetProperty(OM_TEXT_COLOUR, &value);
    EXPECT_EQ(uint32_t(value), 0xFF010203u);
    text_->Reset();
    text_->GetProperty(OM_TEXT_COLOUR, &value);
    EXPECT_EQ(uint32_t(value), 0xFFFFFFFFu);
    text_->GetProperty(OM_TEXT_BACKGROUND, &value);
    EXPECT_EQ(uint32_t(value), 0xFF000000u);
    EXPECT_EQ(text_->SetFont(nullptr), OM_E_FAIL);
    IFont* current = nullptr;
    text_->GetFont(&current);
    EXPECT_EQ(current, font_.get());
}

TEST_F(TextRendererTest, ReplacedFontLeavesTheCacheWhenOnlyTheCacheHoldsIt) {
    ComRef<IFontCache> cache = texttest::create<IFontCache>(CLSID_SimpleFontCache, IID_IFontCache);
    ASSERT_EQ(cache->SetTarget(texttest::page_factory().get()), OM_S_OK);
    ASSERT_EQ(text_->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(cache.get())), OM_S_OK);
    auto kept = ScriptedFont::make(16);
    ScriptedFont* dropped = ScriptedFont::make(16).detach();
    for (ScriptedFont* f : {kept.get(), dropped}) f->properties[OM_FONT_STORED] = 4;
    text_->SetFont(kept.get());
    draw(text16("a"));
    text_->SetFont(dropped); // the test still holds `kept`: it stays cached
    EXPECT_EQ(cache->IsFontNew(kept.get()), OM_S_FONT_KNOWN);
    draw(text16("a"));
    dropped->Release(); // now held by the renderer and the cache only
    text_->SetFont(kept.get());
    EXPECT_EQ(cache->IsFontNew(dropped), OM_S_FONT_NEW);
}

TEST_F(TextRendererTest, NewFontPrimesACacheWithBatchProtection) {
    ComRef<IFontCache> cache = texttest::create<IFontCache>(CLSID_FontCache, IID_IFontCache);
    ASSERT_EQ(cache->SetTarget(texttest::page_factory().get()), OM_S_OK);
    ASSERT_EQ(text_->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(cache.get())), OM_S_OK);
    auto figures = ScriptedFont::make(16);
    figures->properties[OM_FONT_STORED] = 3;
    ASSERT_EQ(text_->SetFont(figures.get()), OM_S_OK);
    std::string drawn(figures->drawn.begin(), figures->drawn.end());
    EXPECT_EQ(drawn, ".:'2415079683/+-=");
    intptr_t protection = 0;
    cache->GetProperty(OM_FONT_CACHE_BATCH_PROTECTION, &protection);
    EXPECT_EQ(protection, 1);
    // A SimpleFontCache refuses batch protection: no priming, and the font is still set.
    auto text = ScriptedFont::make(16);
    ComRef<IFontCache> simple = texttest::create<IFontCache>(CLSID_SimpleFontCache, IID_IFontCache);
    ASSERT_EQ(simple->SetTarget(texttest::page_factory().get()), OM_S_OK);
    text_->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(simple.get()));
    EXPECT_EQ(text_->SetFont(text.get()), OM_S_OK);
    EXPECT_EQ(text->draws, 0);
}

} // namespace
