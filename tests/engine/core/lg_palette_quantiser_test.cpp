// The palette quantiser: exact palettes for few colours, shared and separate leaves, and
// reduction of many colours to a few.
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/image_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using enginetest::CountingMemory;
using enginetest::index8;
using enginetest::pixel32;
using enginetest::rgba;
using enginetest::rgba_image;
using enginetest::StartedEngine;

namespace {

class PaletteQuantiser : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok);
        ASSERT_EQ(LgPaletteQuantiserCreate(&q), 1);
    }
    void TearDown() override { LgPaletteQuantiserDestroy(&q); }

    // Quantises the image to `count` colours; returns the colours made and the indices.
    int32_t quantise(const LgImage* image, int32_t count, std::vector<uint8_t>& indices) {
        LgPaletteQuantiserAddImage(&q, image);
        const int32_t made = LgPaletteQuantiserMakePalette(palette, count, &q);
        indices.assign(static_cast<size_t>(image->width * image->height), 0xee);
        LgPaletteQuantiserMatchImage(indices.data(), image->width, 8, &q, image);
        return made;
    }

    StartedEngine engine;
    LgPaletteQuantiser q{};
    LgRGBA palette[256] = {};
};

TEST_F(PaletteQuantiser, FewDistinctColoursComeOutExact) {
    std::vector<LgRGBA> colours;
    for (int i = 0; i < 10; ++i)
        colours.push_back({static_cast<uint8_t>(i * 24), static_cast<uint8_t>(255 - i * 16),
                           static_cast<uint8_t>(i * 8 + 7), static_cast<uint8_t>(i % 2 ? 255 : 0)});
    LgImage* image = rgba_image(10, 3, colours);
    std::vector<uint8_t> indices;
    ASSERT_EQ(quantise(image, 256, indices), 10);
    for (int32_t i = 0; i < 30; ++i)
        EXPECT_EQ(palette[indices[static_cast<size_t>(i)]], colours[static_cast<size_t>(i % 10)])
            << i;
    LgImageDestroy(image);
}

TEST_F(PaletteQuantiser, ExactlyAsManyColoursAsWantedStillComeOutExact) {
    std::vector<LgRGBA> colours;
    for (int i = 0; i < 256; ++i)
        colours.push_back({static_cast<uint8_t>((i & 7) << 5), static_cast<uint8_t>((i >> 3) << 5),
                           static_cast<uint8_t>(i & 0xf8), 255});
    LgImage* image = rgba_image(16, 16, colours);
    std::vector<uint8_t> indices;
    ASSERT_EQ(quantise(image, 256, indices), 256);
    for (size_t i = 0; i < 256; ++i) EXPECT_EQ(palette[indices[i]], colours[i]) << i;
    EXPECT_NE(std::find(indices.begin(), indices.end(), 255), indices.end());
    LgImageDestroy(image);
}

TEST_F(PaletteQuantiser, ColoursBelowTheFifthBitShareALeafAndAlphaSeparates) {
    const std::vector<LgRGBA> colours = {
        {0x40, 0x80, 0xc0, 255},
        {0x46, 0x86, 0xc6, 255}, // same top five bits: one leaf
        {0x48, 0x80, 0xc0, 255}, // differs in the fifth bit of red
        {0x40, 0x80, 0xc0, 0},   // transparent twin of the first
    };
    LgImage* image = rgba_image(4, 1, colours);
    std::vector<uint8_t> indices;
    ASSERT_EQ(quantise(image, 256, indices), 3);
    EXPECT_EQ(indices[0], indices[1]);
    EXPECT_NE(indices[0], indices[2]);
    EXPECT_NE(indices[0], indices[3]);
    EXPECT_EQ(palette[indices[0]], (LgRGBA{0x43, 0x83, 0xc3, 255})); // the leaf's mean
    LgImageDestroy(image);
}

TEST_F(PaletteQuantiser, ManyColoursReduceToTheWantedCountWithSmallError) {
    std::vector<LgRGBA> ramp;
    for (int v = 0; v < 256; ++v)
        ramp.push_back(
            {static_cast<uint8_t>(v), static_cast<uint8_t>(v), static_cast<uint8_t>(v), 255});
    LgImage* image = rgba_image(256, 1, ramp);
    std::vector<uint8_t> indices;
    ASSERT_EQ(quantise(image, 16, indices), 16);
    int worst = 0;
    for (int v = 0; v < 256; ++v) {
        const uint8_t i = indices[static_cast<size_t>(v)];
        ASSERT_LT(i, 16);
        worst = std::max(worst, std::abs(palette[i].red - v));
    }
    EXPECT_LE(worst, 12); // two 8-wide leaves a colour
    LgImageDestroy(image);
}

TEST_F(PaletteQuantiser, PalettisedImagesAddAndMatchTheirPaletteEntries) {
    LgImage* image = LgImageCreate(3, 1, 4);
    LgImageAllocatePixels(image);
    image->palette[1] = rgba(0xff0000);
    image->palette[2] = rgba(0x00ff00);
    index8(image, 0, 0) = 1;
    index8(image, 1, 0) = 2;
    index8(image, 2, 0) = 0x11; // only the low nibble indexes a 16-entry palette
    std::vector<uint8_t> indices;
    ASSERT_EQ(quantise(image, 16, indices), 2);
    EXPECT_EQ(palette[indices[0]], rgba(0xff0000));
    EXPECT_EQ(indices[2], indices[0]);

    // Unsupported destination depths write nothing.
    std::vector<uint8_t> untouched(3, 0xee);
    LgPaletteQuantiserMatchImage(untouched.data(), 3, 32, &q, image);
    EXPECT_EQ(untouched, std::vector<uint8_t>(3, 0xee));
    LgImageDestroy(image);
}

TEST(PaletteQuantiserMemory, DestroyReturnsEveryNodeWithoutFreeLists) {
    StartedEngine engine(LgEngineInitNoFreeLists);
    ASSERT_TRUE(engine.ok);
    LgImage* image = rgba_image(64, 64, {rgba(0x102030), rgba(0x405060), rgba(0xffffff, 9)});
    const long before = CountingMemory::live;
    LgPaletteQuantiser q{};
    ASSERT_EQ(LgPaletteQuantiserCreate(&q), 1);
    LgPaletteQuantiserAddImage(&q, image);
    LgRGBA palette[4];
    EXPECT_EQ(LgPaletteQuantiserMakePalette(palette, 4, &q), 3);
    LgPaletteQuantiserDestroy(&q);
    EXPECT_EQ(CountingMemory::live, before);
    LgImageDestroy(image);
}

} // namespace
