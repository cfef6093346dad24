// CompressedFont and font.cft: packets, the path scheme, colours and refusal of bad files.
#include "media/text/cft_file.h"
#include "tests/media/text/text_fixture.h"

#include <string>

namespace {

using rastertest::make_raster;
using rastertest::pixels_of;
using texttest::TextTest;

struct CftGlyphSpec {
    uint32_t width;
    std::string rows; // row data as bytes
};

void put_word(std::string& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out += char(value >> (8 * i));
}

// A font.cft of the glyphs (an empty optional slot = no glyph for that code).
std::string cft_file(uint32_t height, const std::vector<std::optional<CftGlyphSpec>>& glyphs,
                     int64_t table_size_delta = 0) {
    std::string entries;
    uint64_t table = 0;
    for (const auto& g : glyphs) {
        put_word(entries, g ? 1 : 0);
        table += 4;
        if (!g) continue;
        put_word(entries, g->width);
        put_word(entries, uint32_t(g->rows.size()));
        entries += g->rows;
        table += 8 + g->rows.size();
    }
    std::string file;
    put_word(file, OM_CFT_MAGIC);
    put_word(file, 0);
    put_word(file, uint32_t(int64_t(table) - 8 + table_size_delta));
    put_word(file, uint32_t(glyphs.size()));
    put_word(file, height);
    put_word(file, 0);
    return file + entries;
}

// Decoded alpha values of one row of the given width.
std::vector<uint32_t> decode_row(const std::string& data, uint32_t width) {
    std::vector<uint16_t> row(width, 0);
    om_decode_cft_glyph(reinterpret_cast<const uint8_t*>(data.data()), uint32_t(data.size()), width,
                        1, 0xFFFFFFFF, reinterpret_cast<uint8_t*>(row.data()), int32_t(width * 2));
    std::vector<uint32_t> alphas;
    for (uint16_t p : row) alphas.push_back(p >> 12);
    return alphas;
}

TEST(CftDecode, PacketsGiveTheirPixels) {
    struct Case {
        std::string data;
        uint32_t width;
        std::vector<uint32_t> alphas;
    } cases[] = {
        {std::string("\x00\xA7\xC0", 3), 2, {10, 0}},              // literal of one: high nibble
        {std::string("\x85\x02\xC0", 3), 4, {5, 5, 5, 0}},         // repeat of three
        {std::string("\x02\x12\x30\xC0", 4), 3, {1, 2, 3}},        // odd literal
        {std::string("\x8F\x09\xC0", 3), 3, {15, 15, 15}},         // repeat clipped to the width
        {std::string("\x03\x12\x34\x81\x01", 5), 4, {1, 2, 3, 4}}, // literal clipped
        {std::string("\x81", 1), 2, {0, 0}},                       // data ends inside a packet
        {std::string("\x81\x00\xFF", 3), 3, {1, 0, 0}},            // the row's rest is kept
    };
    for (const Case& c : cases) EXPECT_EQ(decode_row(c.data, c.width), c.alphas);
}

class CompressedFontTest : public TextTest {
protected:
    ComRef<IFont> font(int32_t size = 12) {
        auto f = texttest::create<IFont>(CLSID_CompressedFont, IID_IFont);
        f->SetProperty(OM_FONT_SIZE, size);
        return f;
    }
    std::string two_glyph_file() {
        return cft_file(
            2, {std::nullopt, CftGlyphSpec{3, std::string("\x80\x02\xC0\x01\xF0\xC0", 6)}});
    }
};

TEST_F(CompressedFontTest, PathFollowsFamilySizeAndStyle) {
    struct Case {
        int32_t family;
        bool bold, italic;
        const char* path;
    } cases[] = {
        {32, true, true, "fonts/compressed/swiss/p_0012/it_bold/font.cft"},
        {0, false, false, "fonts/compressed/default/p_0012/normal/font.cft"},
        {80, true, false, "fonts/compressed/decor/p_0012/bold/font.cft"},
        {8, false, true, "fonts/compressed/p_0012/italic/font.cft"},
    };
    for (const Case& c : cases) {
        dir_.write_file(c.path, two_glyph_file());
        auto f = font();
        f->SetProperty(OM_FONT_FAMILY, c.family);
        f->SetProperty(OM_FONT_BOLD, c.bold);
        f->SetProperty(OM_FONT_ITALIC, c.italic);
        int32_t width = 0;
        EXPECT_EQ(f->GetGlyphWidth(1, nullptr, &width), OM_S_OK) << c.path;
        EXPECT_EQ(width, 3);
        std::filesystem::remove(dir_ / c.path);
        f->SetProperty(OM_FONT_STORED, 1); // drops the file: the next request reads again
        EXPECT_LT(f->GetGlyphWidth(1, nullptr, &width), 0) << c.path;
    }
}

TEST_F(CompressedFontTest, GlyphIsDrawnInTheTextColour) {
    dir_.write_file("fonts/compressed/default/p_0012/normal/font.cft", two_glyph_file());
    auto f = font();
    f->SetProperty(OM_FONT_COLOUR, intptr_t(0xFF10A0F0u));
    auto target = make_raster(4, 3, OM_FORMAT_ARGB4444, std::vector<uint32_t>(12, 0x1234));
    OmRect rect{1, 1, 3, 2};
    ASSERT_EQ(f->DrawGlyph(1, target.get(), &rect), OM_S_OK);
    std::vector<uint32_t> expected = {0x1234, 0x1234, 0x1234, 0x1234, //
                                      0x1234, 0x01AF, 0x01AF, 0x01AF, //
                                      0x1234, 0xF1AF, 0x01AF, 0x0000};
    EXPECT_EQ(pixels_of(target.get()), expected);
}

TEST_F(CompressedFontTest, MissingGlyphsAndBadRectanglesFail) {
    dir_.write_file("fonts/compressed/default/p_0012/normal/font.cft", two_glyph_file());
    auto f = font();
    int32_t width;
    EXPECT_EQ(f->GetGlyphWidth(0, nullptr, &width), OM_E_FAIL); // no glyph
    EXPECT_EQ(f->GetGlyphWidth(2, nullptr, &width), OM_E_FAIL); // past the count
    auto target = make_raster(8, 8, OM_FORMAT_ARGB8888);
    for (OmRect rect : {OmRect{0, 0, 9, 2}, OmRect{0, 0, 3, 9}, OmRect{0, 0, -1, 2}})
        EXPECT_EQ(f->DrawGlyph(1, target.get(), &rect), OM_E_FAIL);
    intptr_t value;
    EXPECT_EQ(f->GetProperty(11, &value), OM_E_FAIL);
    EXPECT_EQ(f->GetProperty(OM_FONT_COLOUR, &value), OM_S_OK);
    EXPECT_EQ(uint32_t(value), 0xFFFFFFFFu);
}

TEST_F(CompressedFontTest, DamagedFilesAreRefusedAndReadAgainOnceMended) {
    std::string good = two_glyph_file();
    std::string huge_length = good;
    huge_length[24 + 4 + 4 + 4] = char(0xFF); // the glyph's data length, far past the end
    std::string huge_count = good;
    huge_count[12 + 3] = char(0x7F);
    struct Case {
        const char* name;
        std::string file;
        OmResult expected;
    } cases[] = {
        {"wrong magic", "XXXX" + good.substr(4), OM_E_FAIL},
        {"truncated header", good.substr(0, 10), OM_E_ENDOFSTREAM},
        {"truncated glyph", good.substr(0, good.size() - 2), OM_E_ENDOFSTREAM},
        {"table too small", cft_file(2, {CftGlyphSpec{1, "\xC0"}}, -1), OM_E_FAIL},
        {"length past the end", huge_length, OM_E_ENDOFSTREAM},
        {"count past the end", huge_count, OM_E_ENDOFSTREAM},
        {"empty", "", OM_E_ENDOFSTREAM},
    };
    const char* path = "fonts/compressed/default/p_0012/normal/font.cft";
    auto f = font();
    int32_t width;
    EXPECT_LT(f->GetGlyphWidth(1, nullptr, &width), 0); // no file at all
    for (const Case& c : cases) {
        dir_.write_file(path, c.file);
        EXPECT_EQ(f->GetGlyphWidth(1, nullptr, &width), c.expected) << c.name;
    }
    dir_.write_file(path, good);
    EXPECT_EQ(f->GetGlyphWidth(1, nullptr, &width), OM_S_OK);
}

} // namespace
