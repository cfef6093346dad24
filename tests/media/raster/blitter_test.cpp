// The Blitter: every supported depth pair converts exactly by the channel rule, alpha becomes
// the colour key, palettes convert and match, bump maps wrap, blits clip and honour keys.
#include "media/raster/blitter.h"

#include "tests/media/raster/raster_fixture.h"

#include <chrono>

namespace {

using namespace rastertest;

class BlitterTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        // Any raster brings the shared blitter.
        keeper_ = make_raster(1, 1, OM_FORMAT_ARGB8888);
        blitter_ = OmGetSharedBlitter();
        ASSERT_NE(blitter_, nullptr);
    }
    void TearDown() override {
        keeper_.reset();
        FrameworkTest::TearDown();
    }
    ComRef<IRaster> keeper_;
    IBlitter* blitter_ = nullptr;
};

struct ConversionCase {
    const char* name;
    uint32_t source_format;
    std::vector<uint32_t> source;
    uint32_t dest_format;
    std::vector<uint32_t> expected;
};

TEST_F(BlitterTest, DirectColourPairsConvertByTheChannelRule) {
    const ConversionCase cases[] = {
        // Alpha into 5-6-5: below 0x80 transparent (0), 0x80 opaque, opaque black becomes 1.
        {"32 to 565",
         OM_FORMAT_ARGB8888,
         {0xFF123456, 0x7FFFFFFF, 0x80FF0000, 0xFF000000},
         OM_FORMAT_RGB565,
         {0x11AA, 0, 0xF800, 1}},
        {"32 to 555",
         OM_FORMAT_ARGB8888,
         {0xFF123456, 0x7F123456, 0xFF000000, 0xFFFFFFFF},
         OM_FORMAT_XRGB1555,
         {0x08CA, 0, 1, 0x7FFF}},
        {"32 to 1555",
         OM_FORMAT_ARGB8888,
         {0x80123456, 0x7F123456, 0xFF000000, 0xFFFFFFFF},
         OM_FORMAT_ARGB1555,
         {0x88CA, 0x08CA, 0x8000, 0xFFFF}},
        {"32 to 4444",
         OM_FORMAT_ARGB8888,
         {0xA0123456, 0x00FFFFFF, 0xFFFFFFFF, 0x0F0F0F0F},
         OM_FORMAT_ARGB4444,
         {0xA135, 0x0FFF, 0xFFFF, 0x0000}},
        {"32 to 444",
         OM_FORMAT_ARGB8888,
         {0xFF123456, 0x7F123456, 0xFF000000, 0xFFFFFFFF},
         OM_FORMAT_XRGB4444,
         {0x0135, 0, 1, 0x0FFF}},
        // Into 24 bits alpha of 0x80 itself is transparent.
        {"32 to 24",
         OM_FORMAT_ARGB8888,
         {0xFF123456, 0x80123456, 0x81123456, 0xFF000000},
         OM_FORMAT_RGB888,
         {0x123456, 0, 0x123456, 1}},
        {"24 to 32",
         OM_FORMAT_RGB888,
         {0x123456, 0, 0xFFFFFF, 0x010203},
         OM_FORMAT_ARGB8888,
         {0xFF123456, 0xFF000000, 0xFFFFFFFF, 0xFF010203}},
        {"24 to 565",
         OM_FORMAT_RGB888,
         {0x123456, 0, 0xFFFFFF, 0x070307},
         OM_FORMAT_RGB565,
         {0x11AA, 0, 0xFFFF, 0}},
        // A destination alpha the source lacks is 0; channels are padded with zero bits.
        {"565 to 32",
         OM_FORMAT_RGB565,
         {0xF800, 0x11AA, 0xFFFF, 0},
         OM_FORMAT_ARGB8888,
         {0x00F80000, 0x00103450, 0x00F8FCF8, 0}},
        {"565 to 24",
         OM_FORMAT_RGB565,
         {0xF800, 0x11AA, 0xFFFF, 0x001F},
         OM_FORMAT_RGB888,
         {0xF80000, 0x103450, 0xF8FCF8, 0x0000F8}},
        {"565 to 555",
         OM_FORMAT_RGB565,
         {0x11AA, 0xFFFF, 0x07E0, 0x0020},
         OM_FORMAT_XRGB1555,
         {0x08CA, 0x7FFF, 0x03E0, 0}},
        {"1555 to 32",
         OM_FORMAT_ARGB1555,
         {0x88CA, 0x08CA, 0xFFFF, 0x8000},
         OM_FORMAT_ARGB8888,
         {0x80103050, 0x00103050, 0x80F8F8F8, 0x80000000}},
        {"1555 to 565",
         OM_FORMAT_ARGB1555,
         {0x88CA, 0x08CA, 0x8000, 0xFFFF},
         OM_FORMAT_RGB565,
         {0x118A, 0, 1, 0xFFDF}},
        {"4444 to 32",
         OM_FORMAT_ARGB4444,
         {0xA135, 0xFFFF, 0x0FFF, 0x1000},
         OM_FORMAT_ARGB8888,
         {0xA0103050, 0xF0F0F0F0, 0x00F0F0F0, 0x10000000}},
        {"4444 to 1555",
         OM_FORMAT_ARGB4444,
         {0xA135, 0x7FFF, 0xF000, 0x8F00},
         OM_FORMAT_ARGB1555,
         {0x88CA, 0x7BDE, 0x8000, 0xF800}},
    };
    for (const ConversionCase& c : cases) {
        auto source = make_raster(uint32_t(c.source.size()), 1, c.source_format, c.source);
        auto dest = make_raster(uint32_t(c.source.size()), 1, c.dest_format);
        ASSERT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK) << c.name;
        EXPECT_EQ(pixels_of(dest.get()), c.expected) << c.name;
    }
}

TEST_F(BlitterTest, AlphaLostInConversionBecomesColourKeyZero) {
    struct Case {
        uint32_t source_format, dest_format;
        bool key_enabled;
    } cases[] = {
        {OM_FORMAT_ARGB8888, OM_FORMAT_RGB565, true},
        {OM_FORMAT_ARGB8888, OM_FORMAT_RGB888, true},
        {OM_FORMAT_ARGB1555, OM_FORMAT_RGB565, true},
        {OM_FORMAT_RGB565, OM_FORMAT_ARGB8888, false},
        {OM_FORMAT_ARGB8888, OM_FORMAT_ARGB4444, false},
    };
    for (const auto& c : cases) {
        auto source = make_raster(2, 2, c.source_format);
        auto dest = make_raster(2, 2, c.dest_format);
        dest->SetProperty(OM_RASTER_COLOUR_KEY, 5);
        ASSERT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK);
        EXPECT_EQ(property(dest.get(), OM_RASTER_COLOUR_KEY_ENABLED), c.key_enabled ? 1 : 0)
            << std::hex << c.source_format << " to " << c.dest_format;
        if (c.key_enabled) {
            EXPECT_EQ(property(dest.get(), OM_RASTER_COLOUR_KEY), 0);
        }
    }
    // Otherwise an enabled source key is carried as it is.
    auto source = make_raster(2, 2, OM_FORMAT_RGB565);
    source->SetProperty(OM_RASTER_COLOUR_KEY, 0xF81F);
    source->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
    auto dest = make_raster(2, 2, OM_FORMAT_XRGB1555);
    ASSERT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK);
    EXPECT_EQ(property(dest.get(), OM_RASTER_COLOUR_KEY), 0xF81F);
    EXPECT_EQ(property(dest.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
}

TEST_F(BlitterTest, UnsupportedPairsAndSizesAreRefused) {
    struct Case {
        uint32_t source_format, dest_format;
        uint32_t dest_width;
        OmResult expected;
    } cases[] = {
        {OM_FORMAT_XRGB8888, OM_FORMAT_ARGB8888, 2, OM_E_UNKNOWNPIXELFORMAT},
        {OM_FORMAT_PALETTE4, OM_FORMAT_ARGB8888, 2, OM_E_UNKNOWNPIXELFORMAT},
        {OM_FORMAT_ARGB8888, OM_FORMAT_PALETTE4, 2, OM_E_UNKNOWNPIXELFORMAT},
        {OM_FORMAT_RGB565, OM_FORMAT_BUMP, 2, OM_E_UNKNOWNPIXELFORMAT},
        {0x40010, OM_FORMAT_ARGB8888, 2, OM_E_UNKNOWNPIXELFORMAT}, // 16-bit layout 0
        {OM_FORMAT_RGB565, OM_FORMAT_ARGB8888, 3, OM_E_RASTERSIZEMISMATCH},
        // 8 bits into direct colour needs a palette; direct colour into 8 bits too.
        {OM_FORMAT_PALETTE8, OM_FORMAT_RGB565, 2, OM_E_FAIL},
        {OM_FORMAT_ARGB8888, OM_FORMAT_PALETTE8, 2, OM_E_FAIL},
    };
    for (const auto& c : cases) {
        auto source = make_raster(2, 2, c.source_format);
        auto dest = make_raster(c.dest_width, 2, c.dest_format);
        EXPECT_EQ(blitter_->Convert(dest.get(), source.get()), c.expected)
            << std::hex << c.source_format << " to " << c.dest_format;
    }
}

TEST_F(BlitterTest, PaletteIndicesConvertToTheirEntries) {
    auto palette = make_palette({0xFF000000, 0xFFFF0000, 0x00FFFFFF, 0xFF123456});
    const std::vector<uint32_t> indices = {0, 1, 2, 3, 200};
    struct Case {
        uint32_t format;
        std::vector<uint32_t> expected;
    } cases[] = {
        // Opaque black becomes 1, a transparent entry 0; indices past the palette read as 0.
        {OM_FORMAT_RGB565, {1, 0xF800, 0, 0x11AA, 0}},
        {OM_FORMAT_ARGB8888, {0xFF000000, 0xFFFF0000, 0x00FFFFFF, 0xFF123456, 0}},
        {OM_FORMAT_RGB888, {1, 0xFF0000, 0, 0x123456, 0}},
    };
    for (const auto& c : cases) {
        auto source = make_raster(5, 1, OM_FORMAT_PALETTE8, indices);
        set_palette(source.get(), palette.get());
        auto dest = make_raster(5, 1, c.format);
        ASSERT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK);
        EXPECT_EQ(pixels_of(dest.get()), c.expected) << std::hex << c.format;
    }
}

TEST_F(BlitterTest, DirectColourMatchesTheNearestPaletteEntry) {
    auto palette = make_palette({0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0x40FFFFFF});
    struct Case {
        uint32_t format;
        std::vector<uint32_t> source, expected;
    } cases[] = {
        // Transparent pixels take index 0; entry 4 (alpha 0x40) is never chosen.
        {OM_FORMAT_ARGB8888, {0xFFF01010, 0x7FFF0000, 0xFF10E010, 0xFFFFFFFF}, {1, 0, 2, 1}},
        {OM_FORMAT_RGB888, {0x0000F0, 0x101010, 0xE01010, 0x00FF00}, {3, 0, 1, 2}},
        {OM_FORMAT_RGB565, {0x07E0, 0x001F, 0xF800, 0}, {2, 3, 1, 0}},
        {OM_FORMAT_ARGB1555, {0x83E0, 0x03E0, 0xFC00, 0x801F}, {2, 0, 1, 3}},
    };
    for (const auto& c : cases) {
        auto source = make_raster(4, 1, c.format, c.source);
        auto dest = make_raster(4, 1, OM_FORMAT_PALETTE8);
        set_palette(dest.get(), palette.get());
        ASSERT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK);
        EXPECT_EQ(pixels_of(dest.get()), c.expected) << std::hex << c.format;
    }
}

TEST_F(BlitterTest, EightBitRasterIsRemappedToAnotherPalette) {
    auto from = make_palette({0xFF0000FF, 0x00FFFFFF, 0xFFFF0000, 0xFF00F000});
    auto to = make_palette({0xFF000000, 0xFFFF0000, 0xFF0000FF, 0xFF00FF00});
    auto source = make_raster(4, 1, OM_FORMAT_PALETTE8, {0, 1, 2, 3});
    set_palette(source.get(), from.get());
    auto dest = make_raster(4, 1, OM_FORMAT_PALETTE8);
    set_palette(dest.get(), to.get());
    ASSERT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{2, 0, 1, 3}));

    // The same palette object copies; a destination with another palette and a source
    // without one is a mismatch.
    auto same = make_raster(4, 1, OM_FORMAT_PALETTE8, {3, 3, 3, 3});
    set_palette(same.get(), to.get());
    ASSERT_EQ(blitter_->Convert(dest.get(), same.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{3, 3, 3, 3}));
    auto bare = make_raster(4, 1, OM_FORMAT_PALETTE8);
    EXPECT_EQ(blitter_->Convert(dest.get(), bare.get()), OM_E_PALETTEMISMATCH);
    EXPECT_EQ(blitter_->Copy(dest.get(), source.get()), OM_E_PALETTEMISMATCH);
}

TEST_F(BlitterTest, BumpMapDifferencesWrapAtTheEdges) {
    auto heights = make_raster(3, 2, OM_FORMAT_PALETTE8, {10, 20, 5, 0, 255, 7});
    auto bump = make_raster(3, 2, OM_FORMAT_BUMP);
    ASSERT_EQ(blitter_->Convert(bump.get(), heights.get()), OM_S_OK);
    auto pair = [](int dx, int dy) { return uint32_t(uint8_t(dx)) | uint32_t(uint8_t(dy)) << 8; };
    EXPECT_EQ(pixels_of(bump.get()),
              (std::vector<uint32_t>{pair(10, -10), pair(-15, 235), pair(5, 2), pair(255, 10),
                                     pair(-248, -235), pair(-7, -2)}));
}

TEST_F(BlitterTest, SingleColourConversions) {
    struct Case {
        uint32_t colour, format, expected;
    } cases[] = {
        {0x80FF0000, OM_FORMAT_RGB565, 0xF800},   {0x00FF0000, OM_FORMAT_RGB565, 0},
        {0xFF000000, OM_FORMAT_RGB565, 1},        {0xFF123456, OM_FORMAT_RGB888, 0x123456},
        {0x80123456, OM_FORMAT_RGB888, 0x123456}, {0x12345678, OM_FORMAT_ARGB8888, 0x12345678},
        {0xF0F0F0F0, OM_FORMAT_ARGB4444, 0xFFFF},
    };
    for (const auto& c : cases) {
        uint32_t out = 0xDEAD;
        ASSERT_EQ(blitter_->ConvertColour(&c.colour, c.format, &out), OM_S_OK);
        EXPECT_EQ(out, c.expected) << std::hex << c.colour << " into " << c.format;
    }
    uint32_t colour = 0xFFFFFFFF, out = 7;
    EXPECT_EQ(blitter_->ConvertColour(&colour, OM_FORMAT_PALETTE8, &out), OM_E_UNKNOWNPIXELFORMAT);

    uint8_t bytes[4];
    ASSERT_EQ(blitter_->UnpackColour(0xF800, OM_FORMAT_RGB565, bytes), OM_S_OK);
    EXPECT_EQ((std::vector<uint8_t>(bytes, bytes + 4)), (std::vector<uint8_t>{0, 0, 0xF8, 0xFF}));
    ASSERT_EQ(blitter_->UnpackColour(0x7A135, OM_FORMAT_ARGB4444, bytes), OM_S_OK);
    EXPECT_EQ((std::vector<uint8_t>(bytes, bytes + 4)),
              (std::vector<uint8_t>{0x50, 0x30, 0x10, 0xA0}));
    EXPECT_EQ(blitter_->UnpackColour(0, OM_FORMAT_BUMP, bytes), OM_E_UNKNOWNPIXELFORMAT);
}

TEST_F(BlitterTest, FillRectWritesTheConvertedColour) {
    const uint32_t red = 0xFFFF0000;
    auto raster = make_raster(3, 2, OM_FORMAT_RGB565);
    OmRect rect = {1, 0, 2, 2};
    ASSERT_EQ(raster->FillRect(&rect, &red), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()),
              (std::vector<uint32_t>{0, 0xF800, 0xF800, 0, 0xF800, 0xF800}));
    ASSERT_EQ(raster->FillRect(nullptr, &red), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), std::vector<uint32_t>(6, 0xF800));

    // 24 bits are refused and left unchanged; so is a rectangle outside the raster.
    auto rgb = make_raster(2, 1, OM_FORMAT_RGB888, {0x010203, 0x040506});
    EXPECT_EQ(rgb->FillRect(nullptr, &red), OM_E_FAIL);
    EXPECT_EQ(pixels_of(rgb.get()), (std::vector<uint32_t>{0x010203, 0x040506}));
    OmRect outside = {2, 0, 2, 2};
    EXPECT_EQ(raster->FillRect(&outside, &red), OM_E_FAIL);

    // 8 bits take the nearest palette entry.
    auto indexed = make_raster(2, 1, OM_FORMAT_PALETTE8);
    auto palette = make_palette({0xFF000000, 0xFF00FF00, 0xFFF00000});
    set_palette(indexed.get(), palette.get());
    ASSERT_EQ(indexed->FillRect(nullptr, &red), OM_S_OK);
    EXPECT_EQ(pixels_of(indexed.get()), (std::vector<uint32_t>{2, 2}));
}

TEST_F(BlitterTest, BlitClipsBothRectanglesAgainstTheirRasters) {
    std::vector<uint32_t> numbers(16);
    for (uint32_t i = 0; i < 16; ++i) numbers[i] = 0x100 + i;
    auto source = make_raster(4, 4, OM_FORMAT_ARGB8888, numbers);
    struct Case {
        const char* name;
        OmRect dest, source;
        std::vector<uint32_t> expected; // the 4 x 2 destination
    } cases[] = {
        // A source rectangle at x = -1 blits from column 0 one column right of its x; the
        // widths are kept.
        {"negative source x",
         {0, 0, 3, 2},
         {-1, 0, 3, 2},
         {0, 0x100, 0x101, 0x102, 0, 0x104, 0x105, 0x106}},
        {"negative dest x", {-2, 0, 4, 1}, {0, 1, 4, 1}, {0x106, 0x107, 0, 0, 0, 0, 0, 0}},
        {"past the right edge", {3, 1, 4, 4}, {0, 2, 4, 4}, {0, 0, 0, 0, 0, 0, 0, 0x108}},
        // Both rectangles shrink by the same excess.
        {"shrunk below one row", {3, 1, 4, 4}, {0, 2, 4, 2}, std::vector<uint32_t>(8, 0)},
        // The source clip pushes the destination right: it is clipped again.
        {"pushed past the edge", {0, 0, 4, 1}, {-2, 3, 4, 1}, {0, 0, 0x10C, 0x10D, 0, 0, 0, 0}},
        {"outside", {5, 0, 2, 2}, {0, 0, 2, 2}, std::vector<uint32_t>(8, 0)},
    };
    for (const auto& c : cases) {
        auto dest = make_raster(4, 2, OM_FORMAT_ARGB8888, std::vector<uint32_t>(8, 0));
        ASSERT_EQ(dest->Blit(&c.dest, source.get(), &c.source), OM_S_OK) << c.name;
        EXPECT_EQ(pixels_of(dest.get()), c.expected) << c.name;
    }
}

TEST_F(BlitterTest, KeyedBlitSkipsKeyPixelsOfEverySize) {
    struct Case {
        uint32_t format, key, other;
    } cases[] = {
        {OM_FORMAT_PALETTE8, 0x07, 0x09},
        {OM_FORMAT_RGB565, 0xF81F, 0x07E0},
        {OM_FORMAT_RGB888, 0xFF00FF, 0x00FF00},
        {OM_FORMAT_ARGB8888, 0x00FF00FF, 0xFF00FF00},
    };
    for (const auto& c : cases) {
        auto source = make_raster(3, 1, c.format, {c.key, c.other, c.key});
        source->SetProperty(OM_RASTER_COLOUR_KEY, c.key);
        source->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
        auto dest = make_raster(3, 1, c.format, {1, 2, 3});
        ASSERT_EQ(dest->Blit(nullptr, source.get(), nullptr), OM_S_OK);
        EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{1, c.other, 3}))
            << std::hex << c.format;
        // Carrying the key copies every pixel and hands the key on.
        auto carried = make_raster(3, 1, c.format, {1, 2, 3});
        ASSERT_EQ(carried->BlitConvert(nullptr, source.get(), nullptr, OM_BLIT_CARRY_KEY), OM_S_OK);
        EXPECT_EQ(pixels_of(carried.get()), (std::vector<uint32_t>{c.key, c.other, c.key}));
        EXPECT_EQ(property(carried.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
        EXPECT_EQ(uint32_t(property(carried.get(), OM_RASTER_COLOUR_KEY)), c.key);
    }
}

TEST_F(BlitterTest, BlitWithinOneRasterMovesOverlappingPixels) {
    auto raster = make_raster(4, 3, OM_FORMAT_PALETTE8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    OmRect to = {1, 1, 3, 2}, from = {0, 0, 3, 2};
    ASSERT_EQ(raster->Blit(&to, raster.get(), &from), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{1, 2, 3, 4, 5, 1, 2, 3, 9, 5, 6, 7}));
}

TEST_F(BlitterTest, BlitConvertConvertsOnlyWhenAsked) {
    auto source = make_raster(2, 1, OM_FORMAT_RGB565, {0xF800, 0x001F});
    auto dest = make_raster(2, 1, OM_FORMAT_XRGB1555);
    EXPECT_EQ(dest->Blit(nullptr, source.get(), nullptr), OM_E_UNKNOWNPIXELFORMAT);
    EXPECT_EQ(dest->BlitConvert(nullptr, source.get(), nullptr, 0), OM_E_UNKNOWNPIXELFORMAT);
    ASSERT_EQ(dest->BlitConvert(nullptr, source.get(), nullptr, OM_BLIT_CONVERT), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{0x7C00, 0x001F}));

    // Transparent pixels of a 32-bit source are left out when converted without carrying
    // the key, and become key 0 when it is carried.
    auto picture = make_raster(3, 1, OM_FORMAT_ARGB8888, {0xFFFF0000, 0x00FFFFFF, 0xFF0000FF});
    auto keyed = make_raster(3, 1, OM_FORMAT_RGB565, {0x1111, 0x2222, 0x3333});
    ASSERT_EQ(keyed->BlitConvert(nullptr, picture.get(), nullptr, OM_BLIT_CONVERT), OM_S_OK);
    EXPECT_EQ(pixels_of(keyed.get()), (std::vector<uint32_t>{0xF800, 0x2222, 0x001F}));
    auto carried = make_raster(3, 1, OM_FORMAT_RGB565, {0x1111, 0x2222, 0x3333});
    ASSERT_EQ(
        carried->BlitConvert(nullptr, picture.get(), nullptr, OM_BLIT_CONVERT | OM_BLIT_CARRY_KEY),
        OM_S_OK);
    EXPECT_EQ(pixels_of(carried.get()), (std::vector<uint32_t>{0xF800, 0, 0x001F}));
    EXPECT_EQ(property(carried.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
    EXPECT_EQ(property(carried.get(), OM_RASTER_COLOUR_KEY), 0);

    // Into an 8-bit raster the temporary raster takes the destination's palette.
    auto indexed = make_raster(3, 1, OM_FORMAT_PALETTE8, {5, 5, 5});
    auto palette = make_palette({0xFF000000, 0xFF0000FF, 0xFFFF0000});
    set_palette(indexed.get(), palette.get());
    ASSERT_EQ(indexed->BlitConvert(nullptr, picture.get(), nullptr, OM_BLIT_CONVERT), OM_S_OK);
    EXPECT_EQ(pixels_of(indexed.get()), (std::vector<uint32_t>{2, 5, 1}));
}

TEST_F(BlitterTest, CopyNeedsOneDepthAndCarriesTheKey) {
    auto source = make_raster(2, 2, OM_FORMAT_RGB565, {1, 2, 3, 4});
    source->SetProperty(OM_RASTER_COLOUR_KEY, 3);
    source->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
    auto dest = make_raster(2, 2, OM_FORMAT_RGB565);
    ASSERT_EQ(blitter_->Copy(dest.get(), source.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{1, 2, 3, 4}));
    EXPECT_EQ(property(dest.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
    EXPECT_EQ(property(dest.get(), OM_RASTER_COLOUR_KEY), 3);
    // A smaller source is copied as far as it reaches, never past its rows.
    auto small = make_raster(1, 1, OM_FORMAT_RGB565, {9});
    ASSERT_EQ(blitter_->Copy(dest.get(), small.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{9, 2, 3, 4}));
    auto wide = make_raster(2, 2, OM_FORMAT_ARGB8888);
    EXPECT_EQ(blitter_->Copy(wide.get(), source.get()), OM_E_UNKNOWNPIXELFORMAT);
    EXPECT_EQ(blitter_->Unsupported(wide.get(), source.get()), OM_E_FAIL);
}

TEST_F(BlitterTest, InverseMapIsCachedPerPalette) {
    std::vector<uint32_t> colours(256);
    for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | (i * 0x9E3779B1u >> 8);
    auto palette = make_palette(colours);
    auto source = make_raster(8, 8, OM_FORMAT_ARGB8888, std::vector<uint32_t>(64, 0xFF808080));
    auto convert = [&] {
        auto dest = make_raster(8, 8, OM_FORMAT_PALETTE8);
        set_palette(dest.get(), palette.get());
        EXPECT_EQ(blitter_->Convert(dest.get(), source.get()), OM_S_OK);
        return pixels_of(dest.get());
    };
    auto first = convert();
    // A changed palette is a new palette: its own map is built.
    void* base;
    int32_t stride;
    palette->Lock(OM_LOCK_WRITE, &base, &stride);
    static_cast<uint32_t*>(base)[200] = 0xFF808080;
    palette->Unlock();
    auto second = convert();
    EXPECT_EQ(second, std::vector<uint32_t>(64, 200));
    EXPECT_NE(first, second);
}

} // namespace
