// GeneralFont: one bitmap and mask per character below fonts\general\, the "invalid"
// stand-in, the kept glyph and the conversion to the target's format.
#include "tests/media/text/text_fixture.h"

#include <string>

namespace {

using rastertest::make_raster;
using rastertest::pixels_of;
using texttest::TextTest;

void put(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += char(value >> (8 * i));
}

// A 24-bit BMP of one colour (0xRRGGBB) per pixel, rows given top first.
std::string bmp24(int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
    int32_t row_bytes = (width * 3 + 3) & ~3;
    std::string file = "BM";
    put(file, 54 + row_bytes * height, 4);
    put(file, 0, 4);
    put(file, 54, 4);
    put(file, 40, 4);
    put(file, uint32_t(width), 4);
    put(file, uint32_t(height), 4);
    put(file, 1, 2);
    put(file, 24, 2);
    put(file, 0, 4);
    put(file, uint32_t(row_bytes * height), 4);
    put(file, 0, 16);
    for (int32_t y = height - 1; y >= 0; --y) {
        for (int32_t x = 0; x < width; ++x) put(file, pixels[size_t(y) * width + x], 3);
        file.append(size_t(row_bytes - width * 3), '\0');
    }
    return file;
}

constexpr char glyph_dir[] = "fonts/general/default/p_0032/normal/";

class GeneralFontTest : public TextTest {
protected:
    ComRef<IFont> font() { return texttest::create<IFont>(CLSID_GeneralFont, IID_IFont); }
    void write(const std::string& name, const std::string& contents) {
        dir_.write_file(std::string(glyph_dir) + name, contents);
    }
};

TEST_F(GeneralFontTest, MaskBecomesTheGlyphsAlpha) {
    write("0041.bmp", bmp24(2, 1, {0xFF0000, 0x00FF00}));
    write("0041.msk", bmp24(2, 1, {0xFFFFFF, 0x000000}));
    auto f = font();
    int32_t width = 0;
    auto target = make_raster(4, 2, OM_FORMAT_ARGB8888);
    ASSERT_EQ(f->GetGlyphWidth('A', target.get(), &width), OM_S_OK);
    EXPECT_EQ(width, 2);
    OmRect rect{1, 1, 2, 1};
    ASSERT_EQ(f->DrawGlyph('A', target.get(), &rect), OM_S_OK);
    std::vector<uint32_t> pixels = pixels_of(target.get());
    EXPECT_EQ(pixels[5], 0xFFFF0000u);
    EXPECT_EQ(pixels[6] >> 24, 0u);
}

TEST_F(GeneralFontTest, BitmapAloneIsTheGlyphConvertedToTheTargetFormat) {
    write("00E9.bmp", bmp24(3, 2, std::vector<uint32_t>(6, 0xFFFFFF)));
    auto f = font();
    auto target = make_raster(3, 2, OM_FORMAT_RGB565);
    OmRect rect{0, 0, 3, 2};
    ASSERT_EQ(f->DrawGlyph(0xE9, target.get(), &rect), OM_S_OK);
    EXPECT_EQ(pixels_of(target.get()), std::vector<uint32_t>(6, 0xFFFF));
}

TEST_F(GeneralFontTest, MissingCharacterDrawsTheInvalidGlyphAndNoFilesFail) {
    auto f = font();
    int32_t width = 0;
    EXPECT_EQ(f->GetGlyphWidth('Z', nullptr, &width), OM_E_FAIL);
    write("invalid.bmp", bmp24(5, 1, std::vector<uint32_t>(5, 0x123456)));
    ASSERT_EQ(f->GetGlyphWidth('Z', nullptr, &width), OM_S_OK);
    EXPECT_EQ(width, 5);
}

TEST_F(GeneralFontTest, PropertyChangesLoadAgainFromTheirDirectory) {
    write("0041.bmp", bmp24(2, 1, {0, 0}));
    dir_.write_file("fonts/general/swiss/p_0012/it_bold/0041.bmp",
                    bmp24(7, 1, std::vector<uint32_t>(7, 0)));
    dir_.write_file("fonts/general/p_0012/bold/0041.bmp", bmp24(4, 1, std::vector<uint32_t>(4, 0)));
    auto f = font();
    int32_t width = 0;
    ASSERT_EQ(f->GetGlyphWidth('A', nullptr, &width), OM_S_OK);
    EXPECT_EQ(width, 2);
    f->SetProperty(OM_FONT_SIZE, 12);
    f->SetProperty(OM_FONT_FAMILY, 32);
    f->SetProperty(OM_FONT_BOLD, 1);
    f->SetProperty(OM_FONT_ITALIC, 1);
    ASSERT_EQ(f->GetGlyphWidth('A', nullptr, &width), OM_S_OK);
    EXPECT_EQ(width, 7);
    f->SetProperty(OM_FONT_FAMILY, 8); // no family directory
    f->SetProperty(OM_FONT_ITALIC, 0);
    ASSERT_EQ(f->GetGlyphWidth('A', nullptr, &width), OM_S_OK);
    EXPECT_EQ(width, 4);
    intptr_t value;
    EXPECT_EQ(f->SetProperty(OM_FONT_COLOUR, 1), OM_E_FAIL);
    EXPECT_EQ(f->GetProperty(OM_FONT_COLOUR, &value), OM_E_FAIL);
}

} // namespace
