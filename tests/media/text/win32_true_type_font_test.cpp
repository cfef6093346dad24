// Win32TrueTypeFont: properties, advances, binary and smoothed glyphs, the code's low byte.
#include "tests/media/text/text_fixture.h"

#include <algorithm>
#include <cstring>

namespace {

using rastertest::make_raster;
using rastertest::pixels_of;
using texttest::TextTest;

class TrueTypeFontTest : public TextTest {
protected:
    ComRef<IFont> font(int32_t size, bool smoothing = false, const char* face = "arial") {
        auto f = texttest::create<IFont>(CLSID_TrueTypeFont, IID_IFont);
        f->SetProperty(OM_FONT_FACE, reinterpret_cast<intptr_t>(face));
        f->SetProperty(OM_FONT_SIZE, size);
        f->SetProperty(OM_FONT_SMOOTHING, smoothing);
        f->SetProperty(OM_FONT_COLOUR, intptr_t(0xFFFFFFFFu));
        return f;
    }
    int32_t width(IFont* f, uint16_t code) {
        int32_t w = -1;
        EXPECT_EQ(f->GetGlyphWidth(code, nullptr, &w), OM_S_OK);
        return w;
    }
    // The glyph drawn alone into a raster of its own size.
    std::vector<uint32_t> glyph(IFont* f, uint16_t code, int32_t w, int32_t h, uint32_t format) {
        auto target = make_raster(w, h, format);
        OmRect rect{0, 0, w, h};
        EXPECT_EQ(f->DrawGlyph(code, target.get(), &rect), OM_S_OK);
        return pixels_of(target.get());
    }
};

TEST_F(TrueTypeFontTest, PropertiesHaveTheirDefaultsAndRefuseOtherIds) {
    auto f = texttest::create<IFont>(CLSID_Win32TrueTypeFont, IID_IFont);
    struct Case {
        uint32_t id;
        intptr_t expected;
    } defaults[] = {{2, 0},  {3, 0}, {4, 0},  {5, 0},  {6, 0}, {7, 0},
                    {8, 32}, {9, 1}, {10, 0}, {11, 0}, {12, 0}};
    for (const Case& c : defaults) {
        intptr_t value = -1;
        EXPECT_EQ(f->GetProperty(c.id, &value), OM_S_OK);
        EXPECT_EQ(value, c.expected) << c.id;
    }
    intptr_t value;
    for (uint32_t id : {0u, 13u}) {
        EXPECT_EQ(f->SetProperty(id, 1), OM_E_FAIL);
        EXPECT_EQ(f->GetProperty(id, &value), OM_E_FAIL);
    }
    f->SetProperty(OM_FONT_FACE, reinterpret_cast<intptr_t>("Liberation Serif"));
    f->SetProperty(OM_FONT_COLOUR, intptr_t(0xFF00FF00u));
    f->GetProperty(OM_FONT_FACE, &value);
    EXPECT_STREQ(reinterpret_cast<const char*>(value), "Liberation Serif");
    f->GetProperty(OM_FONT_COLOUR, &value);
    EXPECT_EQ(uint32_t(value), 0xFF00FF00u);
    f->Reset();
    f->GetProperty(OM_FONT_FACE, &value);
    EXPECT_STREQ(reinterpret_cast<const char*>(value), "");
}

TEST_F(TrueTypeFontTest, BinaryGlyphIsTextColourOnBackground) {
    auto f = font(24);
    f->SetProperty(OM_FONT_COLOUR, intptr_t(0xFFFF0000u));     // red
    f->SetProperty(OM_FONT_BACKGROUND, intptr_t(0x000000FFu)); // transparent blue
    int32_t w = width(f.get(), 'W');
    ASSERT_GT(w, 10);
    std::vector<uint32_t> pixels = glyph(f.get(), 'W', w, 24, OM_FORMAT_ARGB1555);
    size_t text = std::count(pixels.begin(), pixels.end(), 0xFC00u);
    size_t background = std::count(pixels.begin(), pixels.end(), 0x001Fu);
    EXPECT_GT(text, 20u);
    EXPECT_EQ(text + background, pixels.size());
}

TEST_F(TrueTypeFontTest, SmoothedGlyphIsCoverageOfTheFourTimesBinaryGlyph) {
    auto smooth = font(16, true);
    auto big = font(64);
    int32_t w = width(smooth.get(), 'A');
    int32_t big_width = width(big.get(), 'A');
    EXPECT_EQ(w, (big_width + 3) / 4);
    std::vector<uint32_t> smoothed = glyph(smooth.get(), 'A', w, 16, OM_FORMAT_ARGB4444);
    std::vector<uint32_t> binary = glyph(big.get(), 'A', w * 4, 64, OM_FORMAT_ARGB1555);
    bool partial = false, full = false;
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            uint32_t covered = 0;
            for (int32_t dy = 0; dy < 4; ++dy)
                for (int32_t dx = 0; dx < 4; ++dx)
                    covered += binary[size_t(y * 4 + dy) * (w * 4) + x * 4 + dx] != 0;
            uint32_t pixel = smoothed[size_t(y) * w + x];
            EXPECT_EQ(pixel & 0x0FFF, 0x0FFFu);
            ASSERT_EQ(pixel >> 12, covered ? covered - 1 : 0) << x << "," << y;
            partial |= covered > 0 && covered < 16;
            full |= covered == 16;
        }
    }
    EXPECT_TRUE(partial && full);
}

TEST_F(TrueTypeFontTest, OnlyTheLowByteOfTheCodeIsDrawnThroughWindows1252) {
    auto f = font(20);
    int32_t w = width(f.get(), 'A');
    EXPECT_EQ(width(f.get(), 0x0141), w);
    EXPECT_EQ(glyph(f.get(), 0x0141, w, 20, OM_FORMAT_ARGB1555),
              glyph(f.get(), 'A', w, 20, OM_FORMAT_ARGB1555));
    // 0x80 is the euro sign in Windows-1252, not a control character.
    std::vector<uint32_t> euro = glyph(f.get(), 0x80, width(f.get(), 0x80), 20, OM_FORMAT_ARGB1555);
    EXPECT_GT(std::count(euro.begin(), euro.end(), 0xFFFFu), 10);
}

TEST_F(TrueTypeFontTest, BoldIsWiderAndStylesChangeTheGlyph) {
    auto regular = font(24);
    auto bold = font(24);
    bold->SetProperty(OM_FONT_BOLD, 1);
    EXPECT_GT(width(bold.get(), 'm'), width(regular.get(), 'm'));
    auto italic = font(24);
    italic->SetProperty(OM_FONT_ITALIC, 1);
    int32_t w = width(regular.get(), 'l');
    EXPECT_NE(glyph(italic.get(), 'l', w, 24, OM_FORMAT_ARGB1555),
              glyph(regular.get(), 'l', w, 24, OM_FORMAT_ARGB1555));
}

TEST_F(TrueTypeFontTest, RectanglesMustFitTheDrawingSize) {
    auto f = font(16);
    auto target = make_raster(600, 600, OM_FORMAT_ARGB8888);
    struct Case {
        bool smoothing;
        OmRect rect;
        OmResult expected;
    } cases[] = {
        {false, {0, 0, 512, 16}, OM_S_OK},  {false, {0, 0, 513, 16}, OM_E_FAIL},
        {false, {0, 0, 16, -1}, OM_E_FAIL}, {true, {0, 0, 128, 16}, OM_S_OK},
        {true, {0, 0, 129, 16}, OM_E_FAIL}, {true, {0, 0, 16, 129}, OM_E_FAIL},
    };
    for (const Case& c : cases) {
        f->SetProperty(OM_FONT_SMOOTHING, c.smoothing);
        EXPECT_EQ(f->DrawGlyph('A', target.get(), &c.rect), c.expected)
            << c.smoothing << " " << c.rect.width << "x" << c.rect.height;
    }
}

TEST_F(TrueTypeFontTest, AnUnknownFaceStillDrawsWithTheGenericFace) {
    auto f = font(20, false, "No Such Face At All");
    EXPECT_GT(width(f.get(), 'A'), 0);
}

} // namespace
