// Png: every colour type the reader takes (fixtures written by libpng itself), the refused
// grey type, interlacing, the writer's round trip and text chunk, and broken files.
#include "tests/media/raster/codec_fixture.h"

#include <png.h>

#include <csetjmp>

namespace {

using namespace rastertest;

struct PngSpec {
    uint32_t width, height;
    int colour_type, bit_depth;
    std::vector<std::vector<uint8_t>> rows; // packed as the file stores them
    std::vector<png_color> palette;
    std::vector<png_byte> alphas; // tRNS entries of a palette image
    bool interlaced = false;
};

void append(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

std::vector<uint8_t> make_png(const PngSpec& spec) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng could not write the fixture";
        return {};
    }
    png_set_write_fn(png, &out, append, nullptr);
    png_set_IHDR(png, info, spec.width, spec.height, spec.bit_depth, spec.colour_type,
                 spec.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!spec.palette.empty())
        png_set_PLTE(png, info, spec.palette.data(), int(spec.palette.size()));
    if (!spec.alphas.empty())
        png_set_tRNS(png, info, spec.alphas.data(), int(spec.alphas.size()), nullptr);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (const auto& row : spec.rows) rows.push_back(const_cast<png_bytep>(row.data()));
    png_write_image(png, rows.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

class PngTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        rw_ = codec(Png_GetClassObject, CLSID_Png);
    }
    void TearDown() override {
        rw_.reset();
        CodecTest::TearDown();
    }
    ComRef<IObjectRW> rw_;
};

TEST_F(PngTest, ColourTypesDecodePixelExactly) {
    const std::vector<png_color> rgb_palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {9, 8, 7}};
    struct Case {
        const char* name;
        PngSpec spec;
        uint32_t format;
        std::vector<uint32_t> pixels;
    };
    Case cases[] = {
        {"truecolour",
         {2, 1, PNG_COLOR_TYPE_RGB, 8, {{1, 2, 3, 4, 5, 6}}, {}, {}},
         OM_FORMAT_ARGB8888,
         {0xFF010203, 0xFF040506}},
        {"truecolour, 16 bits",
         {1, 1, PNG_COLOR_TYPE_RGB, 16, {{1, 2, 3, 4, 5, 6}}, {}, {}},
         OM_FORMAT_ARGB8888,
         {0xFF010305}},
        {"truecolour with alpha",
         {2, 1, PNG_COLOR_TYPE_RGB_ALPHA, 8, {{1, 2, 3, 4, 5, 6, 7, 8}}, {}, {}},
         OM_FORMAT_ARGB8888,
         {0x04010203, 0x08050607}},
        {"grey with alpha",
         {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {{9, 200, 50, 0}}, {}, {}},
         OM_FORMAT_ARGB8888,
         {0xC8090909, 0x00323232}},
        {"palette",
         {3, 1, PNG_COLOR_TYPE_PALETTE, 8, {{2, 0, 3}}, rgb_palette, {}},
         OM_FORMAT_PALETTE8,
         {2, 0, 3}},
        // Indices below 8 bits are unpacked into an 8-bit raster.
        {"palette, 2 bits",
         {5, 1, PNG_COLOR_TYPE_PALETTE, 2, {{0x1B, 0x80}}, rgb_palette, {}},
         OM_FORMAT_PALETTE8,
         {0, 1, 2, 3, 2}},
        {"palette, 1 bit",
         {9, 1, PNG_COLOR_TYPE_PALETTE, 1, {{0xA5, 0x80}}, {{1, 1, 1}, {2, 2, 2}}, {}},
         OM_FORMAT_PALETTE8,
         {1, 0, 1, 0, 0, 1, 0, 1, 1}},
        // With a transparency chunk: per-pixel alpha in 32 bits.
        {"palette with transparency",
         {3, 1, PNG_COLOR_TYPE_PALETTE, 8, {{0, 1, 2}}, rgb_palette, {0, 128}},
         OM_FORMAT_ARGB8888,
         {0x00FF0000, 0x8000FF00, 0xFF0000FF}},
    };
    for (const Case& c : cases) {
        auto file = make_png(c.spec);
        ComRef<IRaster> raster;
        ASSERT_EQ(read_picture(rw_.get(), file, &raster, "png"), OM_S_OK) << c.name;
        EXPECT_EQ(raster->GetFormat(), c.format) << c.name;
        EXPECT_EQ(pixels_of(raster.get()), c.pixels) << c.name;
    }
    auto file = make_png({3, 1, PNG_COLOR_TYPE_PALETTE, 8, {{2, 0, 3}}, rgb_palette, {}});
    ComRef<IRaster> raster;
    ASSERT_EQ(read_picture(rw_.get(), file, &raster, "png"), OM_S_OK);
    EXPECT_EQ(palette_of(raster.get(), 5),
              (std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF090807, 0}));
}

TEST_F(PngTest, InterlacedImageDecodesTheSame) {
    PngSpec spec{9, 9, PNG_COLOR_TYPE_RGB, 8, {}, {}, {}};
    for (uint32_t y = 0; y < 9; ++y) {
        std::vector<uint8_t> row;
        for (uint32_t x = 0; x < 9; ++x)
            row.insert(row.end(), {uint8_t(x * 20), uint8_t(y * 20), uint8_t(x ^ y)});
        spec.rows.push_back(row);
    }
    ComRef<IRaster> plain, interlaced;
    ASSERT_EQ(read_picture(rw_.get(), make_png(spec), &plain, "png"), OM_S_OK);
    spec.interlaced = true;
    ASSERT_EQ(read_picture(rw_.get(), make_png(spec), &interlaced, "png"), OM_S_OK);
    EXPECT_EQ(pixels_of(plain.get()), pixels_of(interlaced.get()));
    EXPECT_EQ(pixels_of(plain.get())[11], 0xFF281403u);
}

TEST_F(PngTest, GreyAndBrokenFilesAreRefused) {
    auto grey = make_png({1, 1, PNG_COLOR_TYPE_GRAY, 8, {{7}}, {}, {}});
    auto good = make_png({4,
                          4,
                          PNG_COLOR_TYPE_RGB,
                          8,
                          std::vector<std::vector<uint8_t>>(4, std::vector<uint8_t>(12, 5)),
                          {},
                          {}});
    auto truncated = std::vector<uint8_t>(good.begin(), good.begin() + long(good.size() / 2));
    auto corrupt = good;
    corrupt[40] ^= 0xFF; // inside the image data: checksum or inflate error
    std::vector<uint8_t> garbage(64, 0x42);
    // A text chunk after the header that claims 1.5 GB and ends at once.
    auto huge_chunk = std::vector<uint8_t>(good.begin(), good.begin() + 33);
    for (uint8_t b : std::initializer_list<uint8_t>{0x5B, 0, 0, 0x0F, 't', 'E', 'X', 't', 'S', 'o'})
        huge_chunk.push_back(b);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {{"grey", grey},
                 {"truncated", truncated},
                 {"corrupt", corrupt},
                 {"garbage", garbage},
                 {"huge text chunk", huge_chunk},
                 {"empty", {}}};
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        EXPECT_EQ(read_picture(rw_.get(), c.file, &raster, "png"), OM_E_FAIL) << c.name;
        EXPECT_FALSE(raster) << c.name;
    }
}

TEST_F(PngTest, WriterRoundTripsAndSignsItsFiles) {
    auto picture =
        make_raster(2, 2, OM_FORMAT_ARGB8888, {0xFF102030, 0x80405060, 0x00708090, 0x12345678});
    OmResult r;
    auto file = write_picture(rw_.get(), picture.get(), &r);
    ASSERT_EQ(r, OM_S_OK);
    ComRef<IRaster> back;
    ASSERT_EQ(read_picture(rw_.get(), file, &back, "png"), OM_S_OK);
    EXPECT_EQ(pixels_of(back.get()), pixels_of(picture.get()));

    // The text chunk, read with libpng.
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    struct Cursor {
        const std::vector<uint8_t>* bytes;
        size_t at;
    } cursor{&file, 0};
    png_set_read_fn(png, &cursor, [](png_structp p, png_bytep data, size_t size) {
        auto* c = static_cast<Cursor*>(png_get_io_ptr(p));
        std::memcpy(data, c->bytes->data() + c->at, size);
        c->at += size;
    });
    png_read_info(png, info);
    png_textp text = nullptr;
    int count = png_get_text(png, info, &text, nullptr);
    ASSERT_EQ(count, 1);
    EXPECT_STREQ(text[0].key, "Software");
    EXPECT_STREQ(text[0].text, "Ormic6");
    png_destroy_read_struct(&png, &info, nullptr);

    auto indexed = make_raster(3, 1, OM_FORMAT_PALETTE8, {1, 2, 0});
    auto palette = make_palette({0xFF000000, 0xFFFF8000, 0xFF0080FF});
    set_palette(indexed.get(), palette.get());
    file = write_picture(rw_.get(), indexed.get(), &r);
    ASSERT_EQ(r, OM_S_OK);
    ASSERT_EQ(read_picture(rw_.get(), file, &back, "png"), OM_S_OK);
    EXPECT_EQ(back->GetFormat(), OM_FORMAT_PALETTE8);
    EXPECT_EQ(pixels_of(back.get()), (std::vector<uint32_t>{1, 2, 0}));
    EXPECT_EQ(palette_of(back.get(), 3),
              (std::vector<uint32_t>{0xFF000000, 0xFFFF8000, 0xFF0080FF}));
}

TEST_F(PngTest, WriterRefusesOtherDepthsAndMissingPalettes) {
    OmResult r;
    write_picture(rw_.get(), make_raster(2, 2, OM_FORMAT_RGB565).get(), &r);
    EXPECT_EQ(r, OM_E_FAIL);
    write_picture(rw_.get(), make_raster(2, 2, OM_FORMAT_RGB888).get(), &r);
    EXPECT_EQ(r, OM_E_FAIL);
    write_picture(rw_.get(), make_raster(2, 2, OM_FORMAT_PALETTE8).get(), &r);
    EXPECT_EQ(r, OM_E_FAIL);
}

TEST_F(PngTest, DescribeReportsTheHeadersFormat) {
    struct Case {
        int colour_type;
        std::vector<std::vector<uint8_t>> rows;
        uint32_t format;
    } cases[] = {
        {PNG_COLOR_TYPE_GRAY, {{1}}, OM_FORMAT_PALETTE4},
        {PNG_COLOR_TYPE_RGB, {{1, 2, 3}}, OM_FORMAT_RGB888},
        {PNG_COLOR_TYPE_RGB_ALPHA, {{1, 2, 3, 4}}, OM_FORMAT_ARGB8888},
    };
    for (const Case& c : cases) {
        auto file = make_png({1, 1, c.colour_type, 8, c.rows, {}, {}});
        ComRef<IRasterCreate> d;
        ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
        auto stream = stream_of(file);
        ASSERT_EQ(rw_->ReadInfoStream(stream.get(), "png", d.get(), 0), OM_S_OK);
        intptr_t value = 0;
        d->GetProperty(OM_RASTER_FORMAT, &value);
        EXPECT_EQ(value, intptr_t(c.format));
    }
}

} // namespace
