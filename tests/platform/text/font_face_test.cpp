// The TrueType stand-in: face resolution through fontconfig, cell-height sizing and the
// Windows-1252 mapping.
#include "platform/text/cp1252.h"
#include "platform/text/font_face.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::FontRequest;

TEST(Cp1252, MapsTheHighControlsAndKeepsLatin1) {
    struct Case {
        uint8_t byte;
        char32_t expected;
    } cases[] = {{0x41, U'A'},   {0x80, 0x20AC}, {0x81, 0x81}, {0x92, 0x2019},
                 {0x9F, 0x0178}, {0xA0, 0xA0},   {0xE9, 0xE9}, {0x00, 0x00}};
    for (const Case& c : cases)
        EXPECT_EQ(platform::cp1252_to_unicode(c.byte), c.expected) << int(c.byte);
}

TEST(FontFace, ArialResolvesToLiberationSansInEveryStyle) {
    for (int style = 0; style < 4; ++style) {
        FontRequest request{"arial", 24, style & 1 ? 700 : 400, (style & 2) != 0};
        auto face = platform::open_font_face(request);
        ASSERT_TRUE(face) << style;
        EXPECT_EQ(face->family(), "Liberation Sans");
        EXPECT_EQ(face->native_bold(), (style & 1) != 0) << style;
        EXPECT_EQ(face->native_italic(), (style & 2) != 0) << style;
    }
}

TEST(FontFace, EmptyNameFallsBackToTheFamilysGenericFace) {
    auto serif = platform::open_font_face({"", 24, 400, false, false, false, 16});
    auto mono = platform::open_font_face({"", 24, 400, false, false, false, 48});
    ASSERT_TRUE(serif && mono);
    EXPECT_NE(serif->family(), mono->family());
    // A monospaced face gives 'i' and 'M' one advance.
    EXPECT_EQ(mono->measure('i'), mono->measure('M'));
}

TEST(FontFace, SameRequestSharesOneFaceAndBadHeightsAreRefused) {
    FontRequest request{"arial", 20};
    EXPECT_EQ(platform::open_font_face(request), platform::open_font_face(request));
    EXPECT_EQ(platform::open_font_face({"arial", 0}), nullptr);
}

// Rows of the cell that hold white pixels, drawn into a buffer of the given size.
std::vector<int> inked_rows(platform::FontFace& face, uint8_t character, int32_t size) {
    std::vector<uint16_t> pixels(size_t(size) * size);
    face.draw(character, {pixels.data(), size, size, size}, 0, 0);
    std::vector<int> rows;
    for (int32_t y = 0; y < size; ++y)
        for (int32_t x = 0; x < size; ++x)
            if (pixels[size_t(y) * size + x] == platform::TEXT_PIXEL_WHITE) {
                rows.push_back(y);
                break;
            }
    return rows;
}

TEST(FontFace, GlyphsStayInsideTheirCellAndCapitalsSitOnTheBaseline) {
    auto face = platform::open_font_face({"arial", 40});
    ASSERT_TRUE(face);
    std::vector<int> capital = inked_rows(*face, 'H', 40);
    std::vector<int> descender = inked_rows(*face, 'g', 40);
    ASSERT_FALSE(capital.empty());
    ASSERT_FALSE(descender.empty());
    EXPECT_GT(capital.front(), 0);
    EXPECT_LT(descender.back(), 40);
    EXPECT_GT(descender.back(), capital.back()); // 'g' hangs below the baseline
    EXPECT_TRUE(inked_rows(*face, ' ', 40).empty());
}

TEST(FontFace, UnderlineAndStrikeOutInkTheSpaceAcrossItsAdvance) {
    auto underlined = platform::open_font_face({"arial", 40, 400, false, true, false});
    auto struck = platform::open_font_face({"arial", 40, 400, false, false, true});
    ASSERT_TRUE(underlined && struck);
    std::vector<int> under = inked_rows(*underlined, ' ', 40);
    std::vector<int> strike = inked_rows(*struck, ' ', 40);
    ASSERT_FALSE(under.empty());
    ASSERT_FALSE(strike.empty());
    EXPECT_GT(under.front(), strike.back());
}

} // namespace
