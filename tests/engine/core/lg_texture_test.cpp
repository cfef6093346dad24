// Textures and dictionaries: lookup rules and reference counts, the default reader with
// masks, resampling, palettes and mip levels, and the texture chunk of model files.
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/fake_surfaces.h"
#include "tests/engine/core/image_test_support.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using enginetest::bmp_rows;
using enginetest::BmpFile;
using enginetest::chunk_bytes;
using enginetest::chunk_header;
using enginetest::concat;
using enginetest::FakeSurfaces;
using enginetest::recorded_error;
using enginetest::rgba;
using enginetest::StartedEngine;

namespace {

class Textures : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok);
        LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr);
        path = dir.path() + "/";
        LgImageSetPath(path.c_str());
        device.autoMipmapSwitch = LgTextureGetAutoMipmapping;
        device.onAutoMipmapUnlock = [](LgRaster* r) { LgTextureGenerateMipmaps(r, nullptr); };
    }
    // Stop while the fake device still answers the rasters' destruction.
    void TearDown() override { LgEngineStop(); }

    // A 24-bit BMP of the size whose pixel (x, y) is colour(x, y).
    template <typename Colour>
    void write_bmp(const std::string& name, int32_t width, int32_t height, Colour colour) {
        std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(height));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                rows[static_cast<size_t>(y)].push_back(colour(x, y));
        BmpFile bmp;
        bmp.width = width;
        bmp.height = height;
        bmp.data = bmp_rows(24, rows);
        dir.write_file(name, bmp.bytes());
    }
    void write_solid(const std::string& name, int32_t side, uint32_t rgb) {
        write_bmp(name, side, side, [rgb](int32_t, int32_t) { return rgb; });
    }
    LgTexture* named(const char* name) {
        LgTexture* t = LgTextureCreate(LgRasterCreate(1, 1, 0, LgRasterTypeTexture));
        LgTextureSetName(t, name);
        return t;
    }

    StartedEngine engine;
    FakeSurfaces device;
    testsupport::TempDir dir;
    std::string path;
};

TEST_F(Textures, LookupFoldsOnlyAsciiLettersAndAddsAReference) {
    LgTexDictionary* current = LgTexDictionaryGetCurrent();
    ASSERT_NE(current, nullptr);
    LgTexture* stone = named("STONE_1");
    LgTexDictionaryAddTexture(current, stone);
    EXPECT_EQ(LgTextureRead("stone_1", "anymask"), stone);
    EXPECT_EQ(stone->refCount, 2);
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(current, "STONE_"), nullptr);
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(current, "STONE_1x"), nullptr);

    LgTexture* accented = named("caf\xe9");
    LgTexDictionaryAddTexture(current, accented);
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(current, "CAF\xe9"), accented);
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(current, "CAF\xc9"), nullptr);

    // Two references: the first destroy keeps it, the second frees it and its raster.
    const int destroyed = device.destroyed;
    EXPECT_EQ(LgTextureDestroy(stone), 1);
    EXPECT_EQ(device.destroyed, destroyed);
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(current, "stone_1"), stone);
    EXPECT_EQ(LgTextureDestroy(stone), 1);
    EXPECT_EQ(device.destroyed, destroyed + 1);
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(current, "stone_1"), nullptr);
}

TEST_F(Textures, WithoutACurrentDictionaryTheNewestDictionaryWins) {
    LgTexDictionary* older = LgTexDictionaryCreate();
    LgTexDictionary* newer = LgTexDictionaryCreate();
    LgTexture* a = named("grass");
    LgTexture* b = named("GRASS");
    LgTexDictionaryAddTexture(older, a);
    LgTexDictionaryAddTexture(newer, b);
    LgTexDictionarySetCurrent(nullptr);
    EXPECT_EQ(LgTextureRead("Grass", nullptr), b);
    LgTexDictionaryAddTexture(older, b); // moves it
    EXPECT_EQ(b->dictionary, older);
    EXPECT_EQ(LgTextureRead("grass", nullptr), b); // head of the older dictionary now
    EXPECT_EQ(LgTextureRead("nothing", nullptr), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrFileNotFound})); // the reader's cause comes first
}

TEST_F(Textures, NamesAreCutToTheFieldAndStillFound) {
    const std::string longName(40, 'n');
    LgTexture* t = named(longName.c_str());
    EXPECT_EQ(std::string(LgTextureGetName(t)), std::string(31, 'n'));
    LgTextureSetMaskName(t, longName.c_str());
    EXPECT_EQ(std::string(LgTextureGetMaskName(t)).size(), 31u);
    LgTexDictionaryAddTexture(LgTexDictionaryGetCurrent(), t);
    EXPECT_EQ(LgTextureRead(longName.c_str(), nullptr), t);
}

TEST_F(Textures, TheDefaultReaderMasksAndCopiesTheImage) {
    write_bmp("leaf.bmp", 4, 2, [](int32_t x, int32_t y) { return 0x102030u * (1 + x + y); });
    write_bmp("leafm.bmp", 4, 2, [](int32_t x, int32_t) { return x == 0 ? 0u : 0x00ff00u; });
    LgTexture* t = LgTextureRead("leaf", "leafm");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(LgTextureGetName(t), "leaf");
    EXPECT_STREQ(LgTextureGetMaskName(t), "leafm");
    EXPECT_EQ(t->dictionary, LgTexDictionaryGetCurrent());
    EXPECT_EQ(t->filterMode, 1u);
    const LgRaster* r = LgTextureGetRaster(t);
    EXPECT_EQ(r->width, 4);
    EXPECT_EQ(r->privateFlags & LgRasterGammaCorrected, LgRasterGammaCorrected);
    EXPECT_EQ(FakeSurfaces::at(r, 0, 0, 0), rgba(0x102030, 0));
    EXPECT_EQ(FakeSurfaces::at(r, 0, 2, 1), rgba(0x102030 * 4, 255));
    // A name with its extension already loads too.
    LgTexture* byFile = LgTextureRead("leaf.bmp", nullptr);
    EXPECT_NE(byFile, nullptr);
    EXPECT_NE(byFile, t);
}

TEST_F(Textures, TheDefaultReaderResamplesToTheDevicesSize) {
    write_bmp("big.bmp", 4, 4, [](int32_t x, int32_t) { return x < 2 ? 0xff0000u : 0x0000ffu; });
    device.maxTextureSize = 2;
    LgTexture* t = LgTextureRead("big", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->raster->width, 2);
    EXPECT_EQ(FakeSurfaces::at(t->raster, 0, 0, 1), rgba(0xff0000));
    EXPECT_EQ(FakeSurfaces::at(t->raster, 0, 1, 1), rgba(0x0000ff));
}

TEST_F(Textures, PalettisedFormatsGetAQuantisedPaletteAndGamma) {
    write_bmp("flag.bmp", 4, 1, [](int32_t x, int32_t) { return x < 2 ? 0x808080u : 0x204060u; });
    device.proposedFormat = LgRasterFormatPal4;
    LgImageSetGamma(2.0f);
    const uint8_t* g = LgImageGetGammaTable();
    LgTexture* t = LgTextureRead("flag", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->raster->depth, 4);
    const FakeSurfaces::Level& level = FakeSurfaces::level(t->raster, 0);
    EXPECT_NE(level.indices[0], level.indices[3]);
    EXPECT_EQ(level.pixels[0], (LgRGBA{g[0x80], g[0x80], g[0x80], 255}));
    EXPECT_EQ(level.pixels[3], (LgRGBA{g[0x20], g[0x40], g[0x60], 255}));
}

TEST_F(Textures, MipLevelsAreReadFromTheirFiles) {
    const uint32_t colours[] = {0x111111, 0x222222, 0x333333, 0x444444};
    write_solid("wood.bmp", 8, colours[0]);
    write_solid("woodm1.bmp", 4, colours[1]);
    write_solid("woodm2.bmp", 3, colours[2]); // resampled to the level's 2 x 2
    write_solid("woodm3.bmp", 1, colours[3]);
    LgTextureSetMipmapping(1);
    LgTexture* t = LgTextureRead("wood", nullptr);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(LgRasterGetNumLevels(t->raster), 4);
    for (int32_t level = 0; level < 4; ++level)
        EXPECT_EQ(FakeSurfaces::at(t->raster, level, 0, 0), rgba(colours[level])) << level;

    // A missing level fails the whole read and leaves nothing behind.
    write_solid("bark.bmp", 4, colours[0]);
    write_solid("barkm1.bmp", 2, colours[1]);
    const size_t surfaces = device.live_surfaces();
    EXPECT_EQ(LgTextureRead("bark", nullptr), nullptr);
    EXPECT_EQ(device.live_surfaces(), surfaces);
}

TEST_F(Textures, MipLevelsAreGeneratedFromLevelZero) {
    write_bmp("tile.bmp", 4, 4, [](int32_t x, int32_t) { return x % 2 == 0 ? 0xff0000u : 0u; });
    LgTextureSetMipmapping(1);
    LgTextureSetAutoMipmapping(1);
    LgTexture* t = LgTextureRead("tile", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(LgRasterGetFormat(t->raster) & LgRasterFormatAutoMipmap, LgRasterFormatAutoMipmap);
    EXPECT_EQ(FakeSurfaces::at(t->raster, 0, 0, 0), rgba(0xff0000));
    EXPECT_EQ(FakeSurfaces::at(t->raster, 1, 0, 0), rgba(0x800000));
    EXPECT_EQ(FakeSurfaces::at(t->raster, 2, 0, 0), rgba(0x800000));

    // Writing level 0 of such a raster regenerates the rest from what the raster holds.
    LgImage* black = enginetest::rgba_image(4, 4, {rgba(0x0000fe)});
    LgRasterLock(t->raster, 0, LgRasterLockWrite);
    LgRasterSetFromImage(t->raster, black);
    LgRasterUnlock(t->raster);
    EXPECT_EQ(FakeSurfaces::at(t->raster, 2, 0, 0), rgba(0x0000fe));
    LgImageDestroy(black);
}

TEST_F(Textures, MipLevelNamesTakeOneHexDigit) {
    struct Case {
        int32_t level;
        const char* name;
        const char* mask;
    };
    for (const Case& c :
         {Case{1, "woodm1", "maskm1"}, Case{10, "woodma", "maskma"}, Case{15, "woodmf", "maskmf"},
          Case{0, "wood", "mask"}, Case{16, "wood", "mask"}}) {
        char name[8] = "wood", mask[8] = "mask";
        EXPECT_EQ(LgTextureMipLevelName(name, mask, c.level), 1);
        EXPECT_STREQ(name, c.name);
        EXPECT_STREQ(mask, c.mask);
    }
    char name[8] = "wood", mask[8] = "";
    LgTextureMipLevelName(name, mask, 2);
    EXPECT_STREQ(mask, "");
}

TEST_F(Textures, CloseDestroysEveryTextureWhateverItsReferences) {
    LgTexture* t = named("kept");
    LgTextureAddRef(t);
    LgTexDictionaryAddTexture(LgTexDictionaryCreate(), t);
    LgTexDictionaryAddTexture(LgTexDictionaryGetCurrent(), named("other"));
    LgEngineStop();
    EXPECT_EQ(device.live_surfaces(), 0u);
    LgEngineStart();
}

TEST_F(Textures, AverageBlockMeansThePaletteColours) {
    LgImage* image = LgImageCreate(4, 4, 8);
    LgImageAllocatePixels(image);
    image->palette[1] = {100, 0, 40, 255};
    image->palette[2] = {0, 200, 40, 0};
    enginetest::index8(image, 0, 0) = 1;
    enginetest::index8(image, 1, 0) = 1;
    enginetest::index8(image, 0, 1) = 2;
    enginetest::index8(image, 1, 1) = 2;
    LgRGBA out;
    ASSERT_EQ(LgImageAverageBlock(&out, image->pixels, image, 1), &out);
    EXPECT_EQ(out, (LgRGBA{50, 100, 40, 127}));
    LgImageDestroy(image);
}

// --- The texture chunk ------------------------------------------------------------------

struct Seen {
    int32_t mipmapping, automatic;
    std::string name, mask;
};
std::vector<Seen> seen;

LgTexture* recording_reader(const char* name, const char* mask) {
    seen.push_back({LgTextureGetMipmapping(), LgTextureGetAutoMipmapping(), name, mask});
    if (std::string(name) == "missing") return nullptr;
    LgTexture* t = LgTextureCreate(LgRasterCreate(1, 1, 0, LgRasterTypeTexture));
    LgTextureSetName(t, name);
    return t;
}

std::vector<uint8_t> string_chunk(const std::string& text, uint32_t type = LgChunkString) {
    std::string body;
    if (type == LgChunkString) {
        body = text;
        body.resize(LgStringStreamSize(text.c_str()), '\0');
    } else {
        for (char c : text) body += std::string{c, '\0'};
    }
    return chunk_bytes(type, body);
}

std::vector<uint8_t> texture_chunk(uint32_t word, const std::vector<uint8_t>& name,
                                   const std::string& mask, uint32_t extensionVersion = 0x304) {
    std::string wordBytes;
    enginetest::put_le(wordBytes, word, 4);
    return concat({chunk_bytes(LgChunkStruct, wordBytes), name, string_chunk(mask),
                   chunk_header(LgChunkExtension, 0, extensionVersion)});
}

class TextureChunks : public Textures {
protected:
    void SetUp() override {
        Textures::SetUp();
        seen.clear();
        LgTextureSetReadCallBack(recording_reader);
    }
    LgTexture* read(std::vector<uint8_t> bytes) {
        LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        LgTexture* t = LgTextureStreamRead(s);
        LgStreamClose(s, nullptr);
        return t;
    }
};

TEST_F(TextureChunks, TheWordSetsModesAndTheMipmapSwitchesWhileReading) {
    LgTextureSetAutoMipmapping(1);
    LgTexture* t = read(texture_chunk(0x10000 | 0x3200 | 0x04, string_chunk("planks"), "mask"));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].mipmapping, 1);
    EXPECT_EQ(seen[0].automatic, 0); // bit 16: levels come from files
    EXPECT_EQ(seen[0].mask, "mask");
    EXPECT_EQ(t->filterMode, 4u);
    EXPECT_EQ(t->addressingU, 2u);
    EXPECT_EQ(t->addressingV, 3u);
    EXPECT_EQ(LgTextureGetMipmapping(), 0); // both switches restored
    EXPECT_EQ(LgTextureGetAutoMipmapping(), 1);

    // Already in use: the modes stay; a V mode of 0 takes the U mode.
    EXPECT_EQ(read(texture_chunk(0x0502, string_chunk("PLANKS"), "")), t);
    EXPECT_EQ(t->refCount, 2);
    EXPECT_EQ(t->filterMode, 4u);
    LgTexture* u = read(texture_chunk(0x0502, string_chunk("rope", LgChunkWideString), ""));
    ASSERT_NE(u, nullptr);
    EXPECT_STREQ(LgTextureGetName(u), "rope");
    EXPECT_EQ(seen.back().automatic, 1);
    EXPECT_EQ(u->addressingV, 5u);
}

TEST_F(TextureChunks, FailuresRestoreTheSwitchesAndDropTheReference) {
    EXPECT_EQ(read(texture_chunk(0, string_chunk("missing"), "")), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{1, LgErrTextureNotRead}));
    EXPECT_EQ(LgTextureGetMipmapping(), 0);
    EXPECT_EQ(LgTextureGetAutoMipmapping(), 0);

    const size_t before = device.live_surfaces();
    EXPECT_EQ(read(texture_chunk(0, string_chunk("bent"), "", 0x200)), nullptr);
    EXPECT_EQ(device.live_surfaces(), before); // its only reference was the caller's
    EXPECT_EQ(LgTexDictionaryFindNamedTexture(LgTexDictionaryGetCurrent(), "bent"), nullptr);

    auto truncated = texture_chunk(0, string_chunk("cut"), "");
    truncated.resize(30);
    EXPECT_EQ(read(truncated), nullptr);
    EXPECT_EQ(LgTextureGetMipmapping(), 0);
}

} // namespace
