// SunRaster: decoding of every depth and type, colour maps, byte-encoded rows, the writer's
// round trip and padding, and malformed files.
#include "tests/media/raster/codec_fixture.h"

namespace {

using namespace rastertest;

constexpr uint32_t magic = 0x59A66A95;

Bytes sun_header(uint32_t width, uint32_t height, uint32_t depth, uint32_t length, uint32_t type,
                 uint32_t map_type, uint32_t map_length) {
    Bytes b;
    b.be32(magic).be32(width).be32(height).be32(depth).be32(length).be32(type).be32(map_type).be32(
        map_length);
    return b;
}

class SunRasterTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        rw_ = codec(SunRaster_GetClassObject, CLSID_SunRaster);
    }
    void TearDown() override {
        rw_.reset();
        CodecTest::TearDown();
    }
    ComRef<IRaster> decode(const Bytes& file) {
        ComRef<IRaster> raster;
        EXPECT_EQ(read_picture(rw_.get(), file.data, &raster, "ras"), OM_S_OK);
        return raster;
    }
    ComRef<IObjectRW> rw_;
};

TEST_F(SunRasterTest, EightBitWithColourPlanesAndItsByteEncodedTwin) {
    // 3 x 2, rows of 4 bytes (3 + 1 rounded down to even); map of two entries.
    auto plain = sun_header(3, 2, 8, 8, 1, 1, 6);
    plain.raw({0x10, 0x20, 0x30, 0x40, 0x50, 0x60}); // red, green, blue planes
    plain.raw({0, 1, 1, 9, 0x80, 0x80, 0x80, 0});
    auto encoded = sun_header(3, 2, 8, 0, 2, 1, 6);
    encoded.raw({0x10, 0x20, 0x30, 0x40, 0x50, 0x60});
    // 0, then two 1s as a run, 9, then 0x80 0 twice (literal 0x80), a run of one 0x80 and a 0.
    encoded.raw({0, 0x80, 1, 1, 9, 0x80, 0, 0x80, 0, 0x80, 0x00, 0});
    for (const Bytes* file : {&plain, &encoded}) {
        auto raster = decode(*file);
        ASSERT_TRUE(raster);
        EXPECT_EQ(raster->GetFormat(), OM_FORMAT_PALETTE8);
        EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0, 1, 1, 0x80, 0x80, 0x80}));
        EXPECT_EQ(palette_of(raster.get(), 3), (std::vector<uint32_t>{0xFF103050, 0xFF204060, 0}));
    }
}

TEST_F(SunRasterTest, DepthsAndMapsDecode) {
    struct Case {
        const char* name;
        Bytes file;
        uint32_t format;
        std::vector<uint32_t> pixels;
        std::vector<uint32_t> palette; // first entries, when 8-bit
    };
    Case cases[] = {
        // Without a map a set bit is black (index 0 of black, white).
        {"1 bit, no map",
         sun_header(3, 1, 1, 2, 1, 0, 0).raw({0xA0, 0}),
         OM_FORMAT_PALETTE8,
         {0, 1, 0},
         {0xFF000000, 0xFFFFFFFF}},
        // With a map the bits are indices as they are.
        {"1 bit, map",
         sun_header(3, 1, 1, 2, 1, 1, 6).raw({1, 2, 3, 4, 5, 6, 0xA0, 0}),
         OM_FORMAT_PALETTE8,
         {1, 0, 1},
         {0xFF010305, 0xFF020406}},
        {"4 bits",
         sun_header(3, 1, 4, 2, 1, 0, 0).raw({0x1F, 0x70}),
         OM_FORMAT_PALETTE8,
         {1, 15, 7},
         {}},
        {"8 bits, grey ramp",
         sun_header(1, 1, 8, 2, 1, 0, 0).raw({200, 0}),
         OM_FORMAT_PALETTE8,
         {200},
         {0xFF000000, 0xFF010101}},
        {"8 bits, raw map",
         sun_header(1, 1, 8, 2, 1, 2, 2).raw({9, 250, 1, 0}),
         OM_FORMAT_PALETTE8,
         {1},
         {0xFF090909, 0xFFFAFAFA}},
        // 24 bits are blue, green, red (type 3: red, green, blue); odd rows are padded.
        {"24 bits",
         sun_header(1, 2, 24, 8, 1, 0, 0).raw({1, 2, 3, 0, 4, 5, 6, 0}),
         OM_FORMAT_ARGB8888,
         {0xFF030201, 0xFF060504},
         {}},
        {"24 bits, RGB",
         sun_header(1, 1, 24, 4, 3, 0, 0).raw({1, 2, 3, 0}),
         OM_FORMAT_ARGB8888,
         {0xFF010203},
         {}},
        {"24 bits, map ignored",
         sun_header(1, 1, 24, 4, 1, 1, 3).raw({7, 7, 7, 1, 2, 3, 0}),
         OM_FORMAT_ARGB8888,
         {0xFF030201},
         {}},
        {"32 bits",
         sun_header(2, 1, 32, 8, 1, 0, 0).raw({1, 2, 3, 4, 5, 6, 7, 8}),
         OM_FORMAT_ARGB8888,
         {0xFF010203, 0xFF050607},
         {}},
    };
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        ASSERT_EQ(read_picture(rw_.get(), c.file.data, &raster, "ras"), OM_S_OK) << c.name;
        EXPECT_EQ(raster->GetFormat(), c.format) << c.name;
        EXPECT_EQ(pixels_of(raster.get()), c.pixels) << c.name;
        if (!c.palette.empty()) {
            EXPECT_EQ(palette_of(raster.get(), uint32_t(c.palette.size())), c.palette) << c.name;
        }
    }
}

TEST_F(SunRasterTest, MalformedFilesFailCleanly) {
    struct Case {
        const char* name;
        Bytes file;
        OmResult expected;
    };
    Bytes bad_magic;
    bad_magic.be32(0x59A66A96).fill(28, 0);
    Case cases[] = {
        {"bad magic", bad_magic, OM_E_FAIL},
        {"short header", Bytes().be32(magic).be32(1), OM_E_ENDOFSTREAM},
        {"depth 16", sun_header(1, 1, 16, 4, 1, 0, 0).fill(4, 0), OM_E_FAIL},
        {"type 4", sun_header(1, 1, 8, 2, 4, 0, 0).fill(2, 0), OM_E_FAIL},
        {"map larger than the palette", sun_header(1, 1, 8, 2, 1, 1, 771).fill(773, 1), OM_E_FAIL},
        {"zero width", sun_header(0, 1, 8, 2, 1, 0, 0).fill(2, 0), OM_E_FAIL},
        {"truncated rows", sun_header(2, 2, 8, 8, 1, 0, 0).fill(3, 0), OM_E_ENDOFSTREAM},
        {"huge size", sun_header(70000, 70000, 24, 0, 1, 0, 0), OM_E_OUTOFMEMORY},
    };
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        EXPECT_EQ(read_picture(rw_.get(), c.file.data, &raster, "ras"), c.expected) << c.name;
        EXPECT_FALSE(raster) << c.name;
    }
}

TEST_F(SunRasterTest, RunsAreCutAtTheEndOfTheImage) {
    // One row of 2 pixels (2 bytes) and a run of 256 bytes: the image takes what it holds.
    auto file = sun_header(2, 1, 8, 0, 2, 0, 0).raw({0x80, 255, 7});
    auto raster = decode(file);
    ASSERT_TRUE(raster);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{7, 7}));
}

TEST_F(SunRasterTest, WriterRoundTripsAndPadsOddRows) {
    auto picture =
        make_raster(3, 2, OM_FORMAT_ARGB8888,
                    {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203});
    OmResult r;
    auto file = write_picture(rw_.get(), picture.get(), &r);
    ASSERT_EQ(r, OM_S_OK);
    // Rows of 9 bytes are padded to 10; no colour map.
    ASSERT_EQ(file.size(), 32u + 2 * 10);
    EXPECT_EQ(file[15], 24); // depth
    EXPECT_EQ(file[19], 20); // length
    ComRef<IRaster> back;
    ASSERT_EQ(read_picture(rw_.get(), file, &back, "ras"), OM_S_OK);
    EXPECT_EQ(pixels_of(back.get()), pixels_of(picture.get()));

    auto indexed = make_raster(3, 1, OM_FORMAT_PALETTE8, {2, 0, 1});
    auto palette = make_palette({0xFF0000FF, 0xFF00FF00, 0xFFFF0000});
    set_palette(indexed.get(), palette.get());
    file = write_picture(rw_.get(), indexed.get(), &r);
    ASSERT_EQ(r, OM_S_OK);
    ASSERT_EQ(file.size(), 32u + 768 + 4);
    ASSERT_EQ(read_picture(rw_.get(), file, &back, "ras"), OM_S_OK);
    EXPECT_EQ(pixels_of(back.get()), (std::vector<uint32_t>{2, 0, 1}));
    EXPECT_EQ(palette_of(back.get(), 4),
              (std::vector<uint32_t>{0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0xFF000000}));
}

TEST_F(SunRasterTest, WriterRefusesOtherDepthsAndMissingPalettes) {
    OmResult r;
    auto sixteen = make_raster(2, 2, OM_FORMAT_RGB565);
    write_picture(rw_.get(), sixteen.get(), &r);
    EXPECT_EQ(r, OM_E_FAIL);
    auto bare = make_raster(2, 2, OM_FORMAT_PALETTE8);
    write_picture(rw_.get(), bare.get(), &r);
    EXPECT_EQ(r, OM_E_FAIL);
}

TEST_F(SunRasterTest, DescribeAndDeliveryInTheCallersDescription) {
    auto file = sun_header(2, 1, 24, 6, 1, 0, 0).raw({0, 0, 0xFF, 0xFF, 0, 0});
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    auto stream = stream_of(file.data);
    ASSERT_EQ(rw_->ReadInfoStream(stream.get(), "ras", d.get(), 0), OM_S_OK);
    intptr_t value = 0;
    d->GetProperty(OM_RASTER_FORMAT, &value);
    EXPECT_EQ(value, intptr_t(OM_FORMAT_ARGB8888));
    d->GetProperty(OM_RASTER_WIDTH, &value);
    EXPECT_EQ(value, 2);

    // Converted into a description that fixes its format.
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    d->SetPropertyFixed(OM_RASTER_FORMAT, 1);
    d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
    ComRef<IRaster> raster;
    ASSERT_EQ(read_picture(rw_.get(), file.data, &raster, "ras", d.get()), OM_S_OK);
    EXPECT_EQ(raster->GetFormat(), OM_FORMAT_RGB565);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xF800, 0x001F}));

    // Without conversion the decoder clears the caller's description (fixed values go with
    // the clear) and decodes in the file's own format.
    ASSERT_EQ(rw_->SetOption(OM_IMAGE_OPTION_CONVERT, 0), OM_S_OK);
    ASSERT_EQ(read_picture(rw_.get(), file.data, &raster, "ras", d.get()), OM_S_OK);
    EXPECT_EQ(raster->GetFormat(), OM_FORMAT_ARGB8888);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xFFFF0000, 0xFF0000FF}));
}

} // namespace
