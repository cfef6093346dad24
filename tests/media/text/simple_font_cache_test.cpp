// SimpleFontCache: glyphs packed into pages, answered again without drawing, the page limit,
// fonts removed and the target taken once.
#include "tests/media/text/text_fixture.h"

namespace {

using texttest::ScriptedFont;
using texttest::TextTest;

class SimpleFontCacheTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        cache_ = texttest::create<IFontCache>(CLSID_SimpleFontCache, IID_IFontCache);
        factory_ = texttest::page_factory(64, 64);
        ASSERT_EQ(cache_->SetTarget(factory_.get()), OM_S_OK);
    }
    void TearDown() override {
        cache_.reset();
        factory_.reset();
        TextTest::TearDown();
    }
    ComRef<IFontCache> cache_;
    ComRef<IRasterCreate> factory_;
};

bool overlap(const OmRect& a, const OmRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

TEST_F(SimpleFontCacheTest, GlyphsGetTheirOwnAreasAndAreDrawnOnce) {
    auto font = ScriptedFont::make(20, 15);
    std::vector<OmRect> rects;
    IRaster* first_page = nullptr;
    for (uint16_t code = 'a'; code < 'a' + 8; ++code) {
        IRaster* page = nullptr;
        OmRect rect{};
        ASSERT_EQ(cache_->GetGlyph(font.get(), code, &page, &rect), OM_S_OK);
        EXPECT_EQ(rect.width, 15);
        EXPECT_EQ(rect.height, 20);
        if (!first_page) first_page = page;
        EXPECT_EQ(page, first_page); // 8 glyphs of 15 x 20 fit one 64 x 64 page
        for (const OmRect& other : rects) EXPECT_FALSE(overlap(rect, other));
        rects.push_back(rect);
        // The page holds the glyph's pixels where the cache said.
        EXPECT_EQ(rastertest::pixels_of(page)[size_t(rect.y) * 64 + rect.x], 0xFF000000u | code);
    }
    IRaster* page = nullptr;
    OmRect again{};
    ASSERT_EQ(cache_->GetGlyph(font.get(), 'c', &page, &again), OM_S_OK);
    EXPECT_EQ(again, rects[2]);
    EXPECT_EQ(font->draws, 8);
    EXPECT_EQ(cache_->IsFontNew(font.get()), OM_S_FONT_KNOWN);
}

TEST_F(SimpleFontCacheTest, PageLimitAndOversizedGlyphsRefuse) {
    auto font = ScriptedFont::make(64, 64); // one glyph fills a page
    font->widths['W'] = 65;
    ASSERT_EQ(cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 2), OM_S_OK);
    IRaster* page;
    OmRect rect;
    EXPECT_EQ(cache_->GetGlyph(font.get(), 'W', &page, &rect), OM_E_FAIL);
    IRaster* pages[2];
    ASSERT_EQ(cache_->GetGlyph(font.get(), 'a', &pages[0], &rect), OM_S_OK);
    ASSERT_EQ(cache_->GetGlyph(font.get(), 'b', &pages[1], &rect), OM_S_OK);
    EXPECT_NE(pages[0], pages[1]);
    EXPECT_EQ(cache_->GetGlyph(font.get(), 'c', &page, &rect), OM_E_FAIL);
    // Removing the font frees its areas: the pages take new glyphs again.
    EXPECT_EQ(cache_->RemoveFont(font.get()), OM_S_OK);
    EXPECT_EQ(cache_->RemoveFont(font.get()), OM_E_FAIL);
    EXPECT_EQ(cache_->IsFontNew(font.get()), OM_S_FONT_NEW);
    EXPECT_EQ(cache_->GetGlyph(font.get(), 'c', &page, &rect), OM_S_OK);
    EXPECT_EQ(font->ref_count(), 2u); // the test's and the cache's
    EXPECT_EQ(cache_->Clear(), OM_S_OK);
    EXPECT_EQ(font->ref_count(), 1u);
}

TEST_F(SimpleFontCacheTest, PropertiesAndTargetRules) {
    intptr_t value = -1;
    EXPECT_EQ(cache_->GetProperty(OM_FONT_CACHE_BATCH_PROTECTION, &value), OM_S_OK);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(cache_->SetProperty(OM_FONT_CACHE_BATCH_PROTECTION, 0), OM_E_FAIL);
    EXPECT_EQ(cache_->SetProperty(3, 0), OM_E_FAIL);
    cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, 7);
    cache_->Reset();
    cache_->GetProperty(OM_FONT_CACHE_PAGE_LIMIT, &value);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(factory_->IsPropertySet(OM_RASTER_FORMAT_PREFERENCE), 1);
    EXPECT_EQ(factory_->IsPropertySet(10), 1);
    EXPECT_EQ(cache_->SetTarget(texttest::page_factory().get()), OM_E_FAIL);
    IRasterCreate* target = nullptr;
    EXPECT_EQ(cache_->GetTarget(&target), OM_S_OK);
    EXPECT_EQ(target, factory_.get());
}

} // namespace
