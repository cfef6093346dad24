// FontCache: shelves per font, lookups that move glyphs to the front, eviction of the least
// recently used, protection of the batch's glyphs, and compaction at the end of a batch.
#include "tests/media/text/text_fixture.h"

namespace {

using texttest::ScriptedFont;
using texttest::TextTest;

class FontCacheTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        cache_ = texttest::create<IFontCache>(CLSID_FontCache, IID_IFontCache);
        ASSERT_EQ(cache_->SetTarget(texttest::page_factory(128, 128).get()), OM_S_OK);
    }
    OmRect glyph(IFont* font, uint16_t code, OmResult expected = OM_S_OK,
                 IRaster** page_out = nullptr) {
        IRaster* page = nullptr;
        OmRect rect{-1, -1, -1, -1};
        EXPECT_EQ(cache_->GetGlyph(font, code, &page, &rect), expected) << char(code);
        if (page_out) *page_out = page;
        return rect;
    }
    void TearDown() override {
        cache_.reset();
        TextTest::TearDown();
    }
    ComRef<IFontCache> cache_;
};

TEST_F(FontCacheTest, GlyphsFillShelvesLeftToRightAndLinesTopDown) {
    auto font = ScriptedFont::make(40, 50);
    struct Case {
        uint16_t code;
        OmRect expected;
    } cases[] = {{'a', {0, 0, 50, 40}},
                 {'b', {50, 0, 50, 40}},
                 {'c', {0, 40, 50, 40}},
                 {'d', {50, 40, 50, 40}},
                 {'e', {0, 80, 50, 40}}};
    IRaster* first = nullptr;
    for (const Case& c : cases) {
        IRaster* page = nullptr;
        EXPECT_EQ(glyph(font.get(), c.code, OM_S_OK, &page), c.expected) << char(c.code);
        if (!first) first = page;
        EXPECT_EQ(page, first);
    }
    // Three lines of 40 fit a 128-high page; the seventh glyph starts a second page.
    glyph(font.get(), 'f');
    IRaster* second = nullptr;
    EXPECT_EQ(glyph(font.get(), 'g', OM_S_OK, &second), (OmRect{0, 0, 50, 40}));
    EXPECT_NE(second, first);
    int draws = font->draws;
    EXPECT_EQ(glyph(font.get(), 'b'), (OmRect{50, 0, 50, 40}));
    EXPECT_EQ(font->draws, draws); // found: answered without drawing
}

TEST_F(FontCacheTest, FullCacheGivesUpTheLeastRecentlyUsedGlyph) {
    ASSERT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1), OM_S_OK);
    auto font = ScriptedFont::make(128, 64); // one line of two glyphs
    glyph(font.get(), 'a');
    glyph(font.get(), 'b');
    glyph(font.get(), 'a'); // 'b' is now the least recently used
    EXPECT_EQ(glyph(font.get(), 'c'), (OmRect{64, 0, 64, 128}));
    EXPECT_EQ(glyph(font.get(), 'a'), (OmRect{0, 0, 64, 128}));
    int draws = font->draws;
    glyph(font.get(), 'b'); // given up before: drawn again, in place of 'c'
    EXPECT_EQ(font->draws, draws + 1);
}

TEST_F(FontCacheTest, BatchProtectionKeepsTheBatchsGlyphsAndOverflowIsReported) {
    ASSERT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1), OM_S_OK);
    auto font = ScriptedFont::make(128, 64);
    font->widths['w'] = 100;
    glyph(font.get(), 'a');
    glyph(font.get(), 'b');
    cache_->BeginBatch();
    glyph(font.get(), 'a');
    glyph(font.get(), 'b');
    OmRect refused = glyph(font.get(), 'c', OM_E_FONT_CACHE_FULL);
    EXPECT_EQ(refused.width, 64); // the width a text line advances by
    glyph(font.get(), 'a');
    cache_->EndBatch();
    // Outside a batch nothing is protected: the least recently used 'b' makes room.
    EXPECT_EQ(glyph(font.get(), 'c').x, 64);
}

TEST_F(FontCacheTest, EndOfBatchClosesHolesAndMovesThePixels) {
    ASSERT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1), OM_S_OK);
    auto font = ScriptedFont::make(128);
    font->widths = {{'a', 30}, {'b', 40}, {'c', 50}, {'w', 100}};
    EXPECT_EQ(glyph(font.get(), 'a').x, 0);
    EXPECT_EQ(glyph(font.get(), 'b').x, 30);
    EXPECT_EQ(glyph(font.get(), 'c').x, 70);
    cache_->BeginBatch();
    glyph(font.get(), 'c');
    glyph(font.get(), 'a');
    glyph(font.get(), 'w', OM_E_FONT_CACHE_FULL); // no room, nothing outside the batch to drop
    cache_->EndBatch();                           // drops 'b', unused in the batch
    IRaster* page = nullptr;
    EXPECT_EQ(glyph(font.get(), 'c', OM_S_OK, &page), (OmRect{30, 0, 50, 128}));
    std::vector<uint32_t> pixels = rastertest::pixels_of(page);
    for (int32_t x : {30, 79}) EXPECT_EQ(pixels[size_t(64) * 128 + x], 0xFF000000u | 'c') << x;
    EXPECT_EQ(pixels[size_t(64) * 128 + 29], 0xFF000000u | 'a');
    EXPECT_EQ(cache_->IsFontNew(font.get()), OM_S_FONT_KNOWN);
}

TEST_F(FontCacheTest, LeastRecentlyUsedFontGivesUpItsPageThenGoesWhole) {
    ASSERT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1), OM_S_OK);
    auto old_font = ScriptedFont::make(128, 128);
    auto new_font = ScriptedFont::make(128, 128);
    glyph(old_font.get(), 'a');
    glyph(new_font.get(), 'a'); // the old font's page goes
    EXPECT_EQ(cache_->IsFontNew(old_font.get()), OM_S_FONT_KNOWN);
    glyph(new_font.get(), 'b'); // its own only glyph goes, and the page-less old font
    EXPECT_EQ(cache_->IsFontNew(old_font.get()), OM_S_FONT_NEW);
    EXPECT_EQ(old_font->ref_count(), 1u);
}

TEST_F(FontCacheTest, PropertiesAndLimits) {
    intptr_t value = 0;
    struct Case {
        uint32_t id;
        intptr_t expected;
    } defaults[] = {{OM_FONT_CACHE_PAGE_LIMIT, 20}, {OM_FONT_CACHE_BATCH_PROTECTION, 1}};
    for (const Case& c : defaults) {
        EXPECT_EQ(cache_->GetProperty(c.id, &value), OM_S_OK);
        EXPECT_EQ(value, c.expected);
    }
    EXPECT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 0), OM_E_FAIL);
    EXPECT_EQ(cache_->SetProperty(3, 1), OM_E_FAIL);
    auto a = ScriptedFont::make(128, 128);
    auto b = ScriptedFont::make(128, 128);
    glyph(a.get(), 'x');
    glyph(b.get(), 'x');
    ASSERT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 1), OM_S_OK);
    EXPECT_EQ(cache_->IsFontNew(a.get()), OM_S_FONT_NEW); // the least recently used went
    EXPECT_EQ(cache_->IsFontNew(b.get()), OM_S_FONT_KNOWN);
    auto tall = ScriptedFont::make(129);
    glyph(tall.get(), 'x', OM_E_FAIL);
}

} // namespace
