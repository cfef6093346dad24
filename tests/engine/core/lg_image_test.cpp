// Images: pixel blocks, copies between depths, masks, gamma, resampling, and the file formats
// with the search path.
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/image_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using enginetest::bmp_rows;
using enginetest::BmpFile;
using enginetest::CountingMemory;
using enginetest::index8;
using enginetest::pixel32;
using enginetest::recorded_error;
using enginetest::rgba;
using enginetest::rgba_image;
using enginetest::StartedEngine;

namespace {

class Images : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.ok); }

    // A palettised image with owned pixels whose palette entry i is {i, 2i, 3i, 255}.
    static LgImage* indexed(int32_t width, int32_t height, int32_t depth) {
        LgImage* image = LgImageCreate(width, height, depth);
        LgImageAllocatePixels(image);
        for (int i = 0; i < (depth == 4 ? 16 : 256); ++i)
            image->palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(2 * i),
                                 static_cast<uint8_t>(3 * i), 255};
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) index8(image, x, y) = static_cast<uint8_t>(x + y);
        return image;
    }

    StartedEngine engine;
};

TEST_F(Images, PixelBlocksHaveTheStrideAndPaletteOfTheirDepth) {
    struct Case {
        int32_t width, depth, stride;
        bool palette;
    };
    for (const Case& c : {Case{5, 4, 8, true}, Case{5, 8, 8, true}, Case{3, 32, 12, false}}) {
        LgImage* image = LgImageCreate(c.width, 2, c.depth);
        ASSERT_EQ(LgImageAllocatePixels(image), image);
        EXPECT_EQ(LgImageGetStride(image), c.stride);
        EXPECT_EQ(image->flags & LgImageOwnsPixels, LgImageOwnsPixels);
        if (c.palette) {
            EXPECT_EQ(reinterpret_cast<uint8_t*>(image->palette), image->pixels + 2 * c.stride);
        } else {
            EXPECT_EQ(image->palette, nullptr);
        }
        LgImageDestroy(image);
    }
    EXPECT_EQ(LgImageCreate(4, 4, 16), nullptr);
}

TEST_F(Images, OversizedBlocksAreRefusedBeforeAllocating) {
    LgImage* image = LgImageCreate(0x10000, 0x10000, 32);
    EXPECT_EQ(LgImageAllocatePixels(image), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrBadImage}));
    LgImageDestroy(image);
}

TEST_F(Images, CopiesConvertBetweenDepths) {
    struct Case {
        int32_t from, to;
        bool ok;
    };
    const Case cases[] = {{8, 8, true},  {4, 4, true},   {4, 8, true},
                          {4, 32, true}, {8, 32, true},  {32, 32, true},
                          {8, 4, false}, {32, 8, false}, {32, 4, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.from) + " -> " + std::to_string(c.to));
        LgImage* source = c.from == 32 ? rgba_image(3, 2, {rgba(0x102030)}) : indexed(3, 2, c.from);
        LgImage* destination = LgImageCreate(3, 2, c.to);
        LgImageAllocatePixels(destination);
        if (!c.ok) {
            EXPECT_EQ(LgImageCopy(destination, source), nullptr);
            EXPECT_EQ(recorded_error(), (LgError{0, LgErrBadImage}));
        } else {
            ASSERT_EQ(LgImageCopy(destination, source), destination);
            if (c.to == 32 && c.from != 32)
                EXPECT_EQ(pixel32(destination, 2, 1), (LgRGBA{3, 6, 9, 255}));
            else if (c.to != 32)
                EXPECT_EQ(index8(destination, 2, 1), 3);
            else
                EXPECT_EQ(pixel32(destination, 2, 1), rgba(0x102030));
            if (c.to != 32) {
                EXPECT_EQ(destination->palette[3], (LgRGBA{3, 6, 9, 255}));
            }
        }
        LgImageDestroy(source);
        LgImageDestroy(destination);
    }
}

TEST_F(Images, MaskAlphaIsTheBrightestChannelOfTheMask) {
    LgImage* image = indexed(2, 1, 8);
    LgImage* mask = rgba_image(2, 1, {rgba(0x204010), rgba(0x00ff00)});
    LgImageMakeMask(mask);
    EXPECT_EQ(pixel32(mask, 0, 0).alpha, 0x40);
    ASSERT_EQ(LgImageApplyMask(image, mask), image);
    EXPECT_EQ(image->depth, 32); // the palettised image became true colour
    EXPECT_EQ(pixel32(image, 0, 0), (LgRGBA{0, 0, 0, 0x40}));
    EXPECT_EQ(pixel32(image, 1, 0), (LgRGBA{1, 2, 3, 0xff}));

    // A palettised mask gives the alpha of its palette entry.
    LgImage* second = rgba_image(2, 1, {rgba(0x808080)});
    LgImage* paletteMask = indexed(2, 1, 8);
    LgImageMakeMask(paletteMask); // entry i: alpha max(i, 2i, 3i) = 3i
    ASSERT_EQ(LgImageApplyMask(second, paletteMask), second);
    EXPECT_EQ(pixel32(second, 1, 0).alpha, 3);
    for (LgImage* i : {image, mask, second, paletteMask}) LgImageDestroy(i);
}

TEST_F(Images, GammaTablesFollowThePowerCurve) {
    const uint8_t* forward = LgImageGetGammaTable();
    const uint8_t* inverse = LgImageGetInverseGammaTable();
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(forward[i], i);
        ASSERT_EQ(inverse[i], i);
    }
    ASSERT_EQ(LgImageSetGamma(2.2f), 1);
    for (int i : {1, 64, 128, 255}) {
        const double x = i / 255.0;
        EXPECT_EQ(forward[i], static_cast<int>(255 * std::pow(x, 1 / 2.2) + 0.5)) << i;
        EXPECT_EQ(inverse[i], static_cast<int>(255 * std::pow(x, 2.2) + 0.5)) << i;
    }
    EXPECT_EQ(forward[0], 0);
    EXPECT_EQ(LgImageSetGamma(0.0f), 0);
    EXPECT_FLOAT_EQ(LgImageGetGamma(), 2.2f);
}

TEST_F(Images, EngineStartTakesTheDevicesGamma) {
    LgEngineStop();
    engine.device.record.gamma = 1.8f;
    LgEngineClose();
    uintptr_t window = 1;
    ASSERT_EQ(LgEngineOpen(&window), 1);
    ASSERT_EQ(LgEngineStart(), 1);
    EXPECT_FLOAT_EQ(LgImageGetGamma(), 1.8f);
}

TEST_F(Images, GammaCorrectsPalettesOrPixelsAndMarksTheImage) {
    LgImageSetGamma(2.0f);
    const uint8_t* forward = LgImageGetGammaTable();
    LgImage* palettised = indexed(2, 2, 4);
    ASSERT_EQ(LgImageGammaCorrect(palettised), palettised);
    EXPECT_EQ(palettised->palette[5], (LgRGBA{forward[5], forward[10], forward[15], 255}));
    EXPECT_EQ(palettised->flags & LgImageGammaCorrected, LgImageGammaCorrected);
    LgImage* rgbaImage = rgba_image(1, 1, {rgba(0x406080, 7)});
    ASSERT_EQ(LgImageGammaCorrect(rgbaImage), rgbaImage);
    EXPECT_EQ(pixel32(rgbaImage, 0, 0), (LgRGBA{forward[0x40], forward[0x60], forward[0x80], 7}));

    LgImage* bare = LgImageCreate(2, 2, 8);
    EXPECT_EQ(LgImageGammaCorrect(bare), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrNullArgument}));
    for (LgImage* i : {palettised, rgbaImage, bare}) LgImageDestroy(i);
}

TEST_F(Images, ResamplingAveragesTheCoveredArea) {
    // 3 -> 2 across: each destination pixel covers one and a half source pixels.
    LgImage* source = rgba_image(3, 1, {rgba(0x000000), rgba(0xffffff), rgba(0x000000)});
    source->flags |= LgImageGammaCorrected;
    LgImage* narrow = LgImageCreateResampled(source, 2, 1);
    ASSERT_NE(narrow, nullptr);
    EXPECT_EQ(pixel32(narrow, 0, 0), (LgRGBA{85, 85, 85, 255}));
    EXPECT_EQ(pixel32(narrow, 1, 0), (LgRGBA{85, 85, 85, 255}));
    EXPECT_EQ(narrow->flags & LgImageGammaCorrected, LgImageGammaCorrected);

    // 2x2 -> 1x1 is the plain mean; 1x1 -> 3x3 repeats the pixel.
    LgImage* square =
        rgba_image(2, 2, {rgba(0x000000, 0), rgba(0xff0000), rgba(0x00ff00), rgba(0x0000ff)});
    LgImage* one = LgImageCreateResampled(square, 1, 1);
    EXPECT_EQ(pixel32(one, 0, 0), (LgRGBA{64, 64, 64, 191}));
    LgImage* big = LgImageCreateResampled(one, 3, 3);
    EXPECT_EQ(pixel32(big, 2, 2), pixel32(one, 0, 0));

    // A palettised source is widened first.
    LgImage* palettised = indexed(2, 1, 8);
    LgImage* widened = LgImageCreateResampled(palettised, 2, 1);
    EXPECT_EQ(pixel32(widened, 1, 0), (LgRGBA{1, 2, 3, 255}));
    for (LgImage* i : {source, narrow, square, one, big, palettised, widened}) LgImageDestroy(i);
}

std::vector<std::string> readerCalls;

LgImage* counting_reader(const char* path) {
    readerCalls.push_back(path);
    return rgba_image(1, 1, {rgba(0x010203)});
}

LgImage* refusing_reader(const char* path) {
    readerCalls.push_back(path);
    return nullptr;
}

class ImageFiles : public Images {
protected:
    void SetUp() override {
        Images::SetUp();
        readerCalls.clear();
        ASSERT_EQ(LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr), 1);
        BmpFile bmp;
        bmp.data = bmp_rows(24, {{0x112233}});
        dir.write_file("a/only_a.bmp", bmp.bytes());
        dir.write_file("b/both.bmp", bmp.bytes());
        dir.write_file("a/both.bmp", bmp.bytes());
        dir.write_file("b/photo.jpg", "not a bmp");
        path = dir / "a/" + ";" + (dir / "b/");
        LgImageSetPath(path.c_str());
    }
    std::string path;
    testsupport::TempDir dir;
};

TEST_F(ImageFiles, RegisteringAnExtensionAgainUpdatesItsRecord) {
    ASSERT_EQ(LgImageRegisterFileFormat(".BMP", counting_reader, nullptr), 1);
    const LgImageSlice* s = LgImageModuleSlice();
    ASSERT_NE(s->formats, nullptr);
    EXPECT_EQ(s->formats->next, nullptr);
    EXPECT_STREQ(s->formats->lowerCase, ".bmp");
    EXPECT_STREQ(s->formats->upperCase, ".BMP");
    EXPECT_EQ(s->formats->reader, counting_reader);
    // A null reader keeps the one stored.
    LgImageRegisterFileFormat("Bmp", nullptr, nullptr);
    EXPECT_EQ(s->formats->reader, counting_reader);
    EXPECT_EQ(LgImageRegisterFileFormat("abcdefghijklmnopqrs", counting_reader, nullptr), 0);
}

TEST_F(ImageFiles, ReadWalksThePathInOrderAndTheExtensionMustMatchExactly) {
    LgImage* image = LgImageRead("both.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(pixel32(image, 0, 0), rgba(0x112233));
    LgImageDestroy(image);

    LgImageRegisterFileFormat("bmp", counting_reader, nullptr);
    LgImageDestroy(LgImageRead("both.bmp"));
    ASSERT_EQ(readerCalls.size(), 1u);
    EXPECT_EQ(readerCalls[0], dir / "a/both.bmp");
    EXPECT_EQ(LgImageRead("both.Bmp"), nullptr); // mixed case matches no record
    EXPECT_EQ(LgImageRead("both"), nullptr);
    EXPECT_EQ(LgImageRead("absent.bmp"), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrFileNotFound}));
}

TEST_F(ImageFiles, AReaderOfTheGamesOwnIsCalledForItsExtension) {
    LgImageRegisterFileFormat("jpg", refusing_reader, nullptr);
    EXPECT_EQ(LgImageRead("photo.jpg"), nullptr); // the reader's null is the result
    EXPECT_EQ(readerCalls, std::vector<std::string>{dir / "b/photo.jpg"});
    LgImageRegisterFileFormat("jpg", counting_reader, nullptr);
    LgImage* image = LgImageRead("photo.jpg");
    ASSERT_NE(image, nullptr);
    LgImageDestroy(image);
    EXPECT_EQ(LgImageModuleSlice()->formats->reader, counting_reader); // newest first
}

TEST_F(ImageFiles, ANameWithoutPathIsTriedAsGivenWhenThePathIsEmptyOrItIsAbsolute) {
    LgImage* image = LgImageRead((dir / "a/only_a.bmp").c_str());
    ASSERT_NE(image, nullptr);
    LgImageDestroy(image);
    LgImageSetPath("");
    EXPECT_EQ(LgImageRead("only_a.bmp"), nullptr);
    EXPECT_STREQ(LgImageGetPath(), "");
}

TEST_F(ImageFiles, FindFileGivesTheExtensionOrEmptyForANameThatHasOne) {
    LgImageRegisterFileFormat("jpg", counting_reader, nullptr);
    EXPECT_STREQ(LgImageFindFile("only_a"), ".bmp");
    EXPECT_STREQ(LgImageFindFile("photo"), ".jpg");
    EXPECT_STREQ(LgImageFindFile("both.bmp"), "");
    EXPECT_EQ(LgImageFindFile("none"), nullptr);
    EXPECT_EQ(LgImageFindFile("photo.png"), nullptr);
}

TEST_F(ImageFiles, LongPathsAndNamesGrowTheBuffers) {
    std::string deep;
    for (int i = 0; i < 4; ++i) deep += std::string(100, static_cast<char>('w' + i)) + "/";
    BmpFile bmp;
    bmp.data = bmp_rows(24, {{0x445566}});
    dir.write_file(deep + "long.bmp", bmp.bytes());
    const std::string longPath = std::string(400, 'z') + ";" + (dir / deep);
    LgImageSetPath(longPath.c_str());
    EXPECT_EQ(LgImageGetPath(), longPath);
    LgImageSetPath(LgImageGetPath()); // its own buffer handed back
    EXPECT_EQ(LgImageGetPath(), longPath);
    LgImage* image = LgImageRead("long.bmp");
    ASSERT_NE(image, nullptr);
    LgImageDestroy(image);
}

TEST(ImageModule, CloseReturnsEveryBlock) {
    {
        StartedEngine engine;
        ASSERT_TRUE(engine.ok);
        LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr);
        LgImageSetPath(std::string(1000, 'p').c_str());
        LgImage* image = LgImageCreate(4, 4, 8);
        LgImageAllocatePixels(image);
        LgImageDestroy(image);
    }
    EXPECT_EQ(CountingMemory::live, 0);
}

} // namespace
