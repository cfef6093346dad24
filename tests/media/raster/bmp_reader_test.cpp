// Bmp: bottom-up rows of every accepted bit count, colour tables, 8-bit run-length data, and
// the guards against malformed headers and runs.
#include "tests/media/raster/codec_fixture.h"

namespace {

using namespace rastertest;

// A bitmap with a 40-byte info header (or `info_size` bytes, padded with zeros), its colour
// table and its pixel data right after (or at `offset`).
Bytes bmp(int32_t width, int32_t height, uint32_t bits, uint32_t compression,
          const std::vector<uint32_t>& table, const std::vector<uint8_t>& data,
          uint32_t colours_used = 0, uint32_t info_size = 40, int64_t offset = -1) {
    uint32_t headers = 14 + info_size + uint32_t(table.size()) * 4;
    Bytes b;
    b.raw({'B', 'M'}).le32(uint32_t(headers + data.size())).le32(0);
    b.le32(offset < 0 ? headers : uint32_t(offset));
    b.le32(info_size).le32(uint32_t(width)).le32(uint32_t(height)).le16(1).le16(bits);
    b.le32(compression)
        .le32(uint32_t(data.size()))
        .le32(2835)
        .le32(2835)
        .le32(colours_used)
        .le32(0);
    if (info_size > 40) b.fill(info_size - 40, 0);
    for (uint32_t c : table) b.le32(c);
    b.data.insert(b.data.end(), data.begin(), data.end());
    return b;
}

class BmpTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        rw_ = codec(Bmp_GetClassObject, CLSID_Bmp);
    }
    void TearDown() override {
        rw_.reset();
        CodecTest::TearDown();
    }
    OmResult decode(const Bytes& file, ComRef<IRaster>* raster) {
        return read_picture(rw_.get(), file.data, raster, "bmp");
    }
    ComRef<IObjectRW> rw_;
};

TEST_F(BmpTest, EveryAcceptedBitCountDecodesBottomUp) {
    struct Case {
        const char* name;
        Bytes file;
        uint32_t format;
        std::vector<uint32_t> pixels;
    };
    const std::vector<uint32_t> two = {0x00000000, 0x00FFFFFF};
    Case cases[] = {
        // Rows are padded to 4 bytes; the last file row is the top raster row.
        {"1 bit uses its table as it is",
         bmp(3, 2, 1, 0, two, {0xA0, 0, 0, 0, 0x40, 0, 0, 0}),
         OM_FORMAT_PALETTE8,
         {0, 1, 0, 1, 0, 1}},
        {"4 bits",
         bmp(3, 1, 4, 0, std::vector<uint32_t>(16, 0), {0x1F, 0x70, 0, 0}),
         OM_FORMAT_PALETTE8,
         {1, 15, 7}},
        {"8 bits",
         bmp(2, 2, 8, 0, two, {1, 0, 0, 0, 0, 1, 0, 0}, 2),
         OM_FORMAT_PALETTE8,
         {0, 1, 1, 0}},
        // 24-bit rows of 9 bytes padded to 12, blue, green, red.
        {"24 bits",
         bmp(3, 1, 24, 0, {}, {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0}),
         OM_FORMAT_ARGB8888,
         {0xFF030201, 0xFF060504, 0xFF090807}},
        // A later, larger info header is read in its first 40 bytes.
        {"24 bits, 108-byte header",
         bmp(1, 1, 24, 0, {}, {1, 2, 3, 0}, 0, 108),
         OM_FORMAT_ARGB8888,
         {0xFF030201}},
        // The data may start after a gap.
        {"gap before the data",
         bmp(1, 1, 24, 0, {}, {0, 0, 0, 0, 7, 8, 9, 0}, 0, 40, 58),
         OM_FORMAT_ARGB8888,
         {0xFF090807}},
    };
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        ASSERT_EQ(decode(c.file, &raster), OM_S_OK) << c.name;
        EXPECT_EQ(raster->GetFormat(), c.format) << c.name;
        EXPECT_EQ(pixels_of(raster.get()), c.pixels) << c.name;
    }
}

TEST_F(BmpTest, ColourTables) {
    // Colours used 0: 2 to the bit count entries are read (16 for 4 bits).
    std::vector<uint32_t> table(16);
    for (uint32_t i = 0; i < 16; ++i) table[i] = i * 0x10;
    ComRef<IRaster> raster;
    ASSERT_EQ(decode(bmp(1, 1, 4, 0, table, {0xF0, 0, 0, 0}), &raster), OM_S_OK);
    auto palette = palette_of(raster.get(), 17);
    EXPECT_EQ(palette[15], 0xFF0000F0u);
    EXPECT_EQ(palette[16], 0u);

    // A core header (12 bytes) has three-byte entries.
    Bytes core;
    core.raw({'B', 'M'}).le32(0).le32(0).le32(14 + 12 + 6);
    core.le32(12).le16(1).le16(1).le16(1).le16(1);
    core.raw({0x10, 0x20, 0x30, 0x40, 0x50, 0x60}).raw({0x80, 0, 0, 0});
    ASSERT_EQ(decode(core, &raster), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{1}));
    EXPECT_EQ(palette_of(raster.get(), 2), (std::vector<uint32_t>{0xFF302010, 0xFF605040}));
}

TEST_F(BmpTest, RunLengthRows) {
    const std::vector<uint32_t> table(256, 0);
    // 4 x 3: bottom row a run of 4; middle row an absolute run of 3 (padded) and one more
    // pixel; the top row ends the picture early and stays at its own row.
    std::vector<uint8_t> data = {4, 9, 0, 0,       // bottom: 9 9 9 9
                                 0, 3, 1, 2, 3, 0, // middle: 1 2 3
                                 1, 4, 0, 0,       //          4
                                 2, 5, 0, 1};      // top: 5 5, end of picture
    ComRef<IRaster> raster;
    ASSERT_EQ(decode(bmp(4, 3, 8, 1, table, data), &raster), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{5, 5, 0, 0, 1, 2, 3, 4, 9, 9, 9, 9}));

    // End of picture before the top rows: the line in hand goes to its own row.
    ASSERT_EQ(decode(bmp(2, 3, 8, 1, table, {2, 7, 0, 1}), &raster), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0, 0, 0, 0, 7, 7}));
}

TEST_F(BmpTest, RunLengthRowsMayFillTheirPadding) {
    // Rows are stored padded to 4 bytes, and common encoders run into the padding of narrow
    // rows; only the picture's width is placed.
    struct Case {
        const char* name;
        int32_t width;
        std::vector<uint8_t> data;
        std::vector<uint32_t> pixels;
    } cases[] = {
        {"1 wide, a run of 4", 1, {4, 1, 0, 0, 0, 1}, {1}},
        {"2 wide, a run of 4", 2, {4, 1, 0, 1}, {1, 1}},
        {"2 wide, an absolute run of 3", 2, {0, 3, 1, 2, 3, 0, 0, 1}, {1, 2}},
        {"5 wide, runs of 5 and 3", 5, {5, 1, 3, 2, 0, 1}, {1, 1, 1, 1, 1}},
    };
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        ASSERT_EQ(decode(bmp(c.width, 1, 8, 1, {0, 0x00FFFFFF}, c.data, 2), &raster), OM_S_OK)
            << c.name;
        EXPECT_EQ(pixels_of(raster.get()), c.pixels) << c.name;
    }
}

TEST_F(BmpTest, MalformedFilesFailCleanly) {
    const std::vector<uint32_t> table(256, 0);
    struct Case {
        const char* name;
        Bytes file;
        OmResult expected;
    };
    Bytes not_bmp;
    not_bmp.raw({'P', 'K'}).fill(60, 0);
    Bytes huge_header = bmp(1, 1, 24, 0, {}, {0, 0, 0, 0});
    huge_header.data[14] = 0xD0; // info header of 2000 bytes
    huge_header.data[15] = 0x07;
    Case cases[] = {
        {"not a bitmap", not_bmp, OM_E_FAIL},
        {"16 bits", bmp(1, 1, 16, 0, {}, {0, 0, 0, 0}), OM_E_FAIL},
        {"32 bits", bmp(1, 1, 32, 0, {}, {0, 0, 0, 0}), OM_E_FAIL},
        {"4-bit run lengths", bmp(2, 1, 4, 2, std::vector<uint32_t>(16, 0), {2, 0x12, 0, 1}),
         OM_E_FAIL},
        {"bit fields", bmp(1, 1, 24, 3, {}, {0, 0, 0, 0}), OM_E_FAIL},
        {"info header too large", huge_header, OM_E_FAIL},
        {"info header too small", bmp(1, 1, 24, 0, {}, {0, 0, 0, 0}, 0, 20), OM_E_FAIL},
        {"8 bits with a 64-byte header", bmp(1, 1, 8, 0, table, {0, 0, 0, 0}, 0, 64), OM_E_FAIL},
        {"data offset inside the headers", bmp(1, 1, 24, 0, {}, {1, 2, 3, 0}, 0, 40, 20),
         OM_E_FAIL},
        {"top-down", bmp(1, -1, 24, 0, {}, {0, 0, 0, 0}), OM_E_FAIL},
        {"zero width", bmp(0, 1, 24, 0, {}, {0, 0, 0, 0}), OM_E_FAIL},
        {"run past the padded row", bmp(2, 1, 8, 1, table, {5, 1, 0, 1}), OM_E_FAIL},
        {"runs past the padded row", bmp(2, 1, 8, 1, table, {3, 1, 2, 1, 0, 1}), OM_E_FAIL},
        {"absolute run past the padded row", bmp(2, 1, 8, 1, table, {0, 5, 1, 2, 3, 4, 5, 0, 0, 1}),
         OM_E_FAIL},
        {"huge run-length picture", bmp(0x7FFFFFFF, 0x7FFFFFFF, 8, 1, table, {4, 1, 0, 1}),
         OM_E_OUTOFMEMORY},
        {"delta escape", bmp(2, 2, 8, 1, table, {0, 2, 1, 1, 0, 1}), OM_E_FAIL},
        {"truncated rows", bmp(4, 4, 24, 0, {}, {1, 2, 3}), OM_E_ENDOFSTREAM},
        {"truncated run data", bmp(4, 4, 8, 1, table, {4, 1}), OM_E_ENDOFSTREAM},
        {"truncated colour table", bmp(1, 1, 8, 0, {1, 2}, {}), OM_E_ENDOFSTREAM},
    };
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        EXPECT_EQ(decode(c.file, &raster), c.expected) << c.name;
        EXPECT_FALSE(raster) << c.name;
    }
}

TEST_F(BmpTest, OnlyRastersOfBmpFilesAreRead) {
    auto file = bmp(1, 1, 24, 0, {}, {1, 2, 3, 0});
    ComRef<IRaster> raster;
    EXPECT_EQ(read_picture(rw_.get(), file.data, &raster, "dib"), OM_E_FAIL);
    auto stream = stream_of(file.data);
    ComRef<IUnknown> other;
    EXPECT_EQ(rw_->ReadStream(stream.get(), "bmp", nullptr, IID_IUnknown, other.put_void()),
              OM_E_FAIL);
    OmResult r;
    write_picture(rw_.get(), make_raster(1, 1, OM_FORMAT_ARGB8888).get(), &r);
    EXPECT_EQ(r, OM_E_FAIL); // no writer
}

TEST_F(BmpTest, DescribeReadsTheHeadersAndRewinds) {
    struct Case {
        Bytes file;
        uint32_t format;
    } cases[] = {
        {bmp(5, 3, 24, 0, {}, {}), OM_FORMAT_ARGB8888},
        {bmp(5, 3, 4, 0, {}, {}), OM_FORMAT_PALETTE8},
    };
    for (const Case& c : cases) {
        ComRef<IRasterCreate> d;
        ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
        auto stream = stream_of(c.file.data);
        ASSERT_EQ(rw_->ReadInfoStream(stream.get(), "bmp", d.get(), 0), OM_S_OK);
        intptr_t value = 0;
        d->GetProperty(OM_RASTER_FORMAT, &value);
        EXPECT_EQ(value, intptr_t(c.format));
        d->GetProperty(OM_RASTER_HEIGHT, &value);
        EXPECT_EQ(value, 3);
        uint32_t position = 99;
        stream->Seek(0, OM_SEEK_CURRENT, &position);
        EXPECT_EQ(position, 0u);
    }
    auto odd = bmp(1, 1, 8, 0, {}, {}, 0, 64);
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    auto stream = stream_of(odd.data);
    EXPECT_EQ(rw_->ReadInfoStream(stream.get(), "bmp", d.get(), 0), OM_E_FAIL);
}

} // namespace
