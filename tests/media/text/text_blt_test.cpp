// TextBlt: glyphs blitted into the text box, line breaks of 8- and 16-bit text, wrapping at
// the right edge and the end at the bottom edge.
#include "tests/media/text/text_fixture.h"

namespace {

using rastertest::pixels_of;
using texttest::ScriptedFont;
using texttest::TextTest;

class TextBltTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        text_ = texttest::create<ITextBlt>(CLSID_TextBlt, IID_ITextBlt);
        cache_ = texttest::create<IFontCache>(CLSID_SimpleFontCache, IID_IFontCache);
        ASSERT_EQ(cache_->SetTarget(texttest::page_factory().get()), OM_S_OK);
        target_ = rastertest::make_raster(40, 20, OM_FORMAT_ARGB8888);
        font_ = ScriptedFont::make(5, 10);
        font_->properties[OM_FONT_STORED] = 4;
        ASSERT_EQ(text_->SetProperty(OM_TEXT_CACHE, reinterpret_cast<intptr_t>(cache_.get())),
                  OM_S_OK);
        ASSERT_EQ(text_->SetProperty(OM_TEXT_TARGET, reinterpret_cast<intptr_t>(target_.get())),
                  OM_S_OK);
        text_->SetProperty(OM_TEXT_COLOUR_KEY_MODE, 1);
        text_->SetProperty(OM_TEXT_PEN_X, 0);
        text_->SetProperty(OM_TEXT_PEN_Y, 0);
        ASSERT_EQ(text_->SetFont(font_.get()), OM_S_OK);
    }
    void TearDown() override {
        text_.reset();
        cache_.reset();
        target_.reset();
        font_.reset();
        TextTest::TearDown();
    }
    // The code drawn at each 10 x 5 cell of the target, row by row (0 for none).
    std::vector<uint16_t> cells() {
        std::vector<uint32_t> pixels = pixels_of(target_.get());
        std::vector<uint16_t> out;
        for (int y = 0; y < 20; y += 5)
            for (int x = 0; x < 40; x += 10) out.push_back(uint16_t(pixels[size_t(y) * 40 + x]));
        return out;
    }
    intptr_t property(uint32_t id) {
        intptr_t value = -1;
        EXPECT_EQ(text_->GetProperty(id, &value), OM_S_OK);
        return value;
    }
    ComRef<ITextBlt> text_;
    ComRef<IFontCache> cache_;
    ComRef<IRaster> target_;
    ComRef<ScriptedFont> font_;
};

TEST_F(TextBltTest, NarrowTextBreaksAtCarriageReturnsAndWrapsAtTheRightEdge) {
    ASSERT_EQ(text_->DrawText("ab\r\ncdefg"), OM_S_OK);
    std::vector<uint16_t> expected = {'a', 'b', 0,   0, //
                                      'c', 'd', 'e', 0, // 'f' would reach the right edge
                                      'f', 'g', 0,   0, //
                                      0,   0,   0,   0};
    EXPECT_EQ(cells(), expected);
    EXPECT_EQ(property(OM_TEXT_PEN_X), 20);
    EXPECT_EQ(property(OM_TEXT_PEN_Y), 10);
}

TEST_F(TextBltTest, WideTextBreaksAtLineFeedsAndStopsAtTheBottomEdge) {
    text_->SetProperty(OM_TEXT_WIDE, 1);
    text_->SetProperty(OM_TEXT_BOTTOM, 10);
    std::u16string text = u"a\nb c\nd";
    ASSERT_EQ(text_->DrawText(text.c_str()), OM_S_OK);
    std::vector<uint16_t> expected = {'a', 0, 0, 0, 'b', 0, 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(cells(), expected); // the space is skipped, "d" lies below the box
    EXPECT_EQ(property(OM_TEXT_PEN_Y), 10);
}

TEST_F(TextBltTest, ColourKeyModeZeroKeysPagesByTheirFirstPixel) {
    text_->SetProperty(OM_TEXT_COLOUR_KEY_MODE, 0);
    ASSERT_EQ(text_->DrawText("a"), OM_S_OK);
    IRaster* page = nullptr;
    OmRect rect;
    ASSERT_EQ(cache_->GetGlyph(font_.get(), 'a', &page, &rect), OM_S_OK);
    intptr_t key = 0, enabled = 0;
    page->GetProperty(OM_RASTER_COLOUR_KEY, &key);
    page->GetProperty(OM_RASTER_COLOUR_KEY_ENABLED, &enabled);
    EXPECT_EQ(uint32_t(key), pixels_of(page)[0]);
    EXPECT_EQ(enabled, 1);
}

TEST_F(TextBltTest, PropertiesAndRefusals) {
    EXPECT_EQ(text_->SetProperty(11, 0), OM_E_FAIL);
    EXPECT_EQ(text_->SetProperty(19, 0), OM_E_FAIL);
    EXPECT_EQ(property(OM_TEXT_RIGHT), 40);
    EXPECT_EQ(property(OM_TEXT_BOTTOM), 20);
    text_->SetProperty(OM_TEXT_COLOUR, 0x123456);
    EXPECT_EQ(uint32_t(property(OM_TEXT_COLOUR)), 0xFF123456u);
    text_->Reset();
    EXPECT_EQ(property(OM_TEXT_PEN_X), 50);
    EXPECT_EQ(uint32_t(property(OM_TEXT_COLOUR)), 0xFF000000u);
    // A pen below the target draws nothing; without a target nothing can be drawn.
    text_->SetProperty(OM_TEXT_PEN_Y, 20);
    EXPECT_EQ(text_->DrawText("a"), OM_S_OK);
    EXPECT_EQ(font_->draws, 0);
    text_->SetProperty(OM_TEXT_TARGET, 0);
    EXPECT_EQ(text_->DrawText("a"), OM_E_FAIL);
}

} // namespace
