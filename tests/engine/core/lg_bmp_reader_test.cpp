// The BMP reader: every depth and layout to the right pixels, RLE8 with clipping, and hostile
// files that must fail cleanly.
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/image_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using enginetest::bmp_rows;
using enginetest::BmpFile;
using enginetest::CountingMemory;
using enginetest::index8;
using enginetest::pixel32;
using enginetest::recorded_error;
using enginetest::rgba;
using enginetest::StartedEngine;

namespace {

class BmpReader : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.ok); }

    LgImage* read(const BmpFile& bmp) { return read_bytes(bmp.bytes()); }
    LgImage* read_bytes(const std::string& bytes) {
        dir.write_file("t.bmp", bytes);
        return LgImageReadBMP((dir / "t.bmp").c_str());
    }
    // Reads a file that must fail; checks that nothing it took is left behind.
    LgError refused(const std::string& bytes) {
        // The stream and image free lists keep their first block; take it before counting.
        LgStreamClose(LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr), nullptr);
        LgImageDestroy(LgImageCreate(1, 1, 8));
        const long before = CountingMemory::live;
        EXPECT_EQ(read_bytes(bytes), nullptr);
        EXPECT_EQ(CountingMemory::live, before);
        return recorded_error();
    }

    StartedEngine engine;
    testsupport::TempDir dir;
};

const std::vector<uint32_t> fourColours = {0xff0000, 0x00ff00, 0x0000ff, 0x808080};

struct IndexedCase {
    const char* name;
    uint16_t bits;
    bool coreHeader;
    int32_t expectedDepth;
};

TEST_F(BmpReader, PalettisedDepthsReadIndicesAndPalette) {
    const IndexedCase cases[] = {
        {"1-bit", 1, false, 4},     {"4-bit", 4, false, 4},     {"8-bit", 8, false, 8},
        {"core 1-bit", 1, true, 4}, {"core 8-bit", 8, true, 8},
    };
    for (const IndexedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t top = c.bits == 1 ? 1 : 3;
        const std::vector<std::vector<uint32_t>> rows = {
            {top, 0, 1, 0, 1, 0, 1, 0, 1}, // 9 wide: the 1-bit row spills into a second byte
            {0, 1, 0, 1, 0, 1, 0, 1, 0},
        };
        BmpFile bmp;
        bmp.width = 9;
        bmp.height = 2;
        bmp.bits = c.bits;
        bmp.coreHeader = c.coreHeader;
        bmp.palette = c.bits == 1 ? std::vector<uint32_t>{0x000000, 0xffffff} : fourColours;
        bmp.colourCount = static_cast<uint32_t>(bmp.palette.size());
        bmp.data = bmp_rows(c.bits, rows);
        if (c.coreHeader) bmp.dataOffset = 14 + 12 + 3 * (1 << c.bits); // a full core palette
        if (c.coreHeader) bmp.palette.resize(static_cast<size_t>(1) << c.bits, 0);
        LgImage* image = read(bmp);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->depth, c.expectedDepth);
        EXPECT_EQ(image->width, 9);
        EXPECT_EQ(image->height, 2);
        for (int32_t y = 0; y < 2; ++y)
            for (int32_t x = 0; x < 9; ++x)
                EXPECT_EQ(index8(image, x, y), rows[static_cast<size_t>(y)][static_cast<size_t>(x)])
                    << x << "," << y;
        EXPECT_EQ(image->palette[1], rgba(bmp.palette[1]));
        EXPECT_EQ(image->palette[0], rgba(bmp.palette[0]));
        LgImageDestroy(image);
    }
}

struct TrueColourCase {
    const char* name;
    uint16_t bits;
    uint32_t stored; // the pixel as the file holds it
    LgRGBA expected;
};

TEST_F(BmpReader, TrueColourDepthsConvertToRgba) {
    const TrueColourCase cases[] = {
        {"16-bit 5-6-5", 16, 0xf800 | 0x03e0 | 0x0007, {0xf8, 0x7c, 0x38, 255}},
        {"15-bit 5-5-5", 15, 0x7c00 | 0x0200 | 0x0007, {0xf8, 0x80, 0x38, 255}},
        {"24-bit", 24, 0x123456, {0x12, 0x34, 0x56, 255}},
        {"32-bit", 32, 0x00abcdef, {0xab, 0xcd, 0xef, 255}},
    };
    for (const TrueColourCase& c : cases) {
        SCOPED_TRACE(c.name);
        BmpFile bmp;
        bmp.width = 3;
        bmp.height = 2;
        bmp.bits = c.bits;
        bmp.data = bmp_rows(c.bits, {{c.stored, 0, c.stored}, {0, c.stored, 0}});
        LgImage* image = read(bmp);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->depth, 32);
        EXPECT_EQ(pixel32(image, 0, 0), c.expected);
        EXPECT_EQ(pixel32(image, 2, 0), c.expected);
        EXPECT_EQ(pixel32(image, 1, 1), c.expected);
        EXPECT_EQ(pixel32(image, 1, 0), (LgRGBA{0, 0, 0, 255}));
        LgImageDestroy(image);
    }
}

TEST_F(BmpReader, TopDownRowsKeepTheirOrder) {
    BmpFile bmp;
    bmp.width = 1;
    bmp.height = -3;
    bmp.data = bmp_rows(24, {{0x010101}, {0x020202}, {0x030303}}, true);
    LgImage* image = read(bmp);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->height, 3);
    EXPECT_EQ(pixel32(image, 0, 0).red, 1);
    EXPECT_EQ(pixel32(image, 0, 2).red, 3);
    LgImageDestroy(image);
}

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(static_cast<char>(v));
    return out;
}

BmpFile rle_file(int32_t width, int32_t height, const std::string& data) {
    BmpFile bmp;
    bmp.width = width;
    bmp.height = height;
    bmp.bits = 8;
    bmp.compression = 1;
    bmp.palette = fourColours;
    bmp.colourCount = 4;
    bmp.data = data;
    return bmp;
}

// Image rows top first, as index strings ('0'-'9').
std::vector<std::string> index_rows(const LgImage* image) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < image->height; ++y) {
        std::string row;
        for (int32_t x = 0; x < image->width; ++x)
            row.push_back(static_cast<char>('0' + index8(image, x, y)));
        rows.push_back(row);
    }
    return rows;
}

struct RleCase {
    const char* name;
    std::string data;
    std::vector<std::string> rows; // top row first
};

TEST_F(BmpReader, Rle8RunsLiteralsDeltasAndClipping) {
    const RleCase cases[] = {
        {"runs and end of line", bytes({3, 1, 1, 2, 0, 0, 2, 3, 0, 1}), {"3300", "1112"}},
        {"odd literal with its pad byte",
         bytes({0, 3, 1, 2, 3, 0, 1, 1, 0, 0, 2, 2, 0, 1}),
         {"2200", "1231"}},
        {"delta skips pixels and rows", bytes({0, 2, 1, 1, 1, 3, 0, 1}), {"0300", "0000"}},
        {"run past the row is clipped", bytes({9, 2, 0, 0, 1, 1, 0, 1}), {"1000", "2222"}},
        {"literal past the row is clipped",
         bytes({0, 5, 1, 2, 3, 1, 2, 0, 0, 1}),
         {"0000", "1231"}},
        {"delta beyond the image ends it", bytes({1, 1, 0, 2, 200, 200, 5, 3}), {"0000", "1000"}},
        {"rows beyond the image are dropped",
         bytes({1, 1, 0, 0, 1, 2, 0, 0, 1, 3, 0, 0, 4, 3, 0, 1}),
         {"2000", "1000"}},
    };
    for (const RleCase& c : cases) {
        SCOPED_TRACE(c.name);
        LgImage* image = read(rle_file(4, 2, c.data));
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(index_rows(image), c.rows);
        LgImageDestroy(image);
    }
}

TEST_F(BmpReader, HostileFilesFailCleanly) {
    BmpFile good;
    good.width = 2;
    good.height = 2;
    good.data = bmp_rows(24, {{1, 2}, {3, 4}});
    const std::string whole = good.bytes();

    auto with = [&](auto change) {
        BmpFile b = good;
        change(b);
        return b.bytes();
    };
    struct HostileCase {
        const char* name;
        std::string bytes;
        LgError error;
    };
    const LgError bad = {0, LgErrBadImage};
    const LgError endOfStream = {1, LgErrEndOfStream};
    const HostileCase cases[] = {
        {"wrong magic", "BX" + whole.substr(2), bad},
        {"zero width", with([](BmpFile& b) { b.width = 0; }), bad},
        {"negative width", with([](BmpFile& b) { b.width = -2; }), bad},
        {"zero height", with([](BmpFile& b) { b.height = 0; }), bad},
        {"most negative height", with([](BmpFile& b) { b.height = INT32_MIN; }), bad},
        {"huge sides", with([](BmpFile& b) { b.width = b.height = 100000; }), bad},
        {"side fits, block too big", with([](BmpFile& b) { b.width = b.height = 16384; }), bad},
        {"unknown header size", whole.substr(0, 14) + bytes({108, 0, 0, 0}) + whole.substr(18),
         bad},
        {"bitfields compression", with([](BmpFile& b) { b.compression = 3; }), bad},
        {"RLE8 on 24 bits", with([](BmpFile& b) { b.compression = 1; }), bad},
        {"2 bits per pixel", with([](BmpFile& b) { b.bits = 2; }), {0, LgErrImageDepth}},
        {"data offset inside the headers", with([](BmpFile& b) { b.dataOffset = 20; }), bad},
        {"truncated header", whole.substr(0, 30), endOfStream},
        {"truncated pixels", whole.substr(0, whole.size() - 3), endOfStream},
        {"data offset past the end", whole.substr(0, 10) + bytes({0, 2, 0, 0}) + whole.substr(14),
         endOfStream},
        {"RLE8 without its end", rle_file(4, 2, bytes({3, 1, 0, 0, 2})).bytes(), endOfStream},
        {"RLE8 literal cut short", rle_file(4, 2, bytes({0, 8, 1, 2})).bytes(), endOfStream},
    };
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        LgEngineStop();
        LgEngineStart(); // a fresh error slot for each case
        EXPECT_EQ(refused(c.bytes), c.error);
    }
}

TEST_F(BmpReader, PaletteCountsAreBoundedByTheBitsAndTheDataOffset) {
    BmpFile bmp;
    bmp.width = 2;
    bmp.height = 1;
    bmp.bits = 4;
    bmp.palette = fourColours;
    bmp.colourCount = 100000; // more than 4 bits can index
    bmp.data = bmp_rows(4, {{3, 1}});
    LgImage* image = read(bmp);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->palette[3], rgba(0x808080));
    EXPECT_EQ(image->palette[4], (LgRGBA{0, 0, 0, 0})); // not in the file
    EXPECT_EQ(index8(image, 0, 0), 3);
    LgImageDestroy(image);
}

TEST_F(BmpReader, MissingFileFails) {
    EXPECT_EQ(LgImageReadBMP((dir / "none.bmp").c_str()), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrFileOpen}));
}

} // namespace
