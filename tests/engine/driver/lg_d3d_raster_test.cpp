// Texture formats, the choice table and raster creation on the started driver, with locks,
// palette locks, sub-rasters and raster destruction.
#include "engine/driver/lg_d3d_raster.h"
#include "engine/driver/lg_d3d_texture_chain.h"
#include "engine/driver/lg_d3d_texture_formats.h"
#include "tests/engine/driver/driver_test_support.h"

#include <cstring>

using drivertest::DriverEngine;
using drivertest::recorded_error;

namespace {

int32_t code_of(const LgD3DTextureFormat* f) {
    return f != nullptr ? f->code : 0;
}

struct ChoiceCase {
    const char* profile;
    int32_t expected[3][3]; // [full alpha, one-bit alpha, opaque][no palette, 4-bit, 8-bit]
};

platform::DeviceProfile profile_named(const std::string& name) {
    if (name == "minimal") return platform::minimal_profile();
    if (name == "palettised") return platform::palettised_profile();
    return platform::default_profile();
}

TEST(D3DTextureFormats, ChoiceTableFollowsBlendKeyAndPaletteSupport) {
    const ChoiceCase cases[] = {
        {"default", {{0x300, 0x300, 0x300}, {0x100, 0x100, 0x100}, {0x200, 0x200, 0x200}}},
        {"palettised", {{0x300, 0x4500, 0x2500}, {0x100, 0x4500, 0x2500}, {0x200, 0x4600, 0x2600}}},
        // No modulate-alpha blending and no colour keys: everything falls to 5-6-5.
        {"minimal", {{0x200, 0x200, 0x200}, {0x200, 0x200, 0x200}, {0x200, 0x200, 0x200}}},
    };
    for (const ChoiceCase& c : cases) {
        SCOPED_TRACE(c.profile);
        DriverEngine engine(profile_named(c.profile));
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(engine.start_full_screen());
        for (int a = 0; a < 3; ++a)
            for (int p = 0; p < 3; ++p)
                EXPECT_EQ(code_of(LgD3DDriver.formats.choice[a][p]), c.expected[a][p])
                    << "alpha class " << a << ", palette class " << p;
    }
}

TEST(D3DTextureFormats, TheFormatOfferedLastWinsItsSlot) {
    platform::DeviceProfile p = platform::default_profile();
    platform::DDPIXELFORMAT second = platform::format_565();
    second.dwRBitMask = 0x001F; // same counts, other layout
    second.dwBBitMask = 0xF800;
    p.texture_formats.push_back(second);
    DriverEngine engine(p);
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_windowed());
    ASSERT_NE(LgD3DDriver.formats.f565, nullptr);
    EXPECT_EQ(LgD3DDriver.formats.f565->desc.ddpfPixelFormat.dwRBitMask, 0x001Fu);
}

TEST(D3DTextureFormats, ColourKeyProbeFindsTheSmallestVisibleChannels) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    // Packing drops the low bits: 5-6-5 shows red and blue from 8, green from 4.
    const LgD3DTextureFormat* f = LgD3DDriver.formats.f565;
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->smallestChannel[0], 8);
    EXPECT_EQ(f->smallestChannel[1], 4);
    EXPECT_EQ(f->smallestChannel[2], 8);
    const LgD3DTextureFormat* f4444 = LgD3DDriver.formats.f4444;
    ASSERT_NE(f4444, nullptr);
    EXPECT_EQ(f4444->smallestChannel[0], 16);
}

TEST(D3DTextureFormats, PixelFormatCodes) {
    struct Case {
        platform::DDPIXELFORMAT format;
        int32_t code;
    };
    platform::DDPIXELFORMAT fourcc{};
    fourcc.dwFlags = platform::DDPF_FOURCC;
    fourcc.dwFourCC = 0x31545844; // "DXT1"
    const Case cases[] = {
        {platform::format_565(), 0x200},
        {platform::format_555(), 0xA00},
        {platform::format_1555(), 0x100},
        {platform::format_4444(), 0x300},
        {platform::format_8888(), 0x500},
        {platform::format_888(), 0x600},
        {platform::format_x888(), 0x900},
        {platform::make_palette_format(8), 0x2600},
        {platform::make_palette_format(4), 0x4600},
        {platform::make_z_format(16), 0x700},
        {fourcc, 0x31545844},
    };
    for (const Case& c : cases) EXPECT_EQ(LgD3DPixelFormatCode(&c.format), c.code);
}

class D3DRasters : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.opened);
        ASSERT_TRUE(GetParam() ? engine.start_full_screen() : engine.start_windowed());
    }
    void TearDown() override {
        for (LgRaster* r : made) LgRasterDestroy(r);
    }
    LgRaster* create(int32_t w, int32_t h, int32_t depth, int32_t flags) {
        LgRaster* r = LgRasterCreate(w, h, depth, flags);
        if (r != nullptr) made.push_back(r);
        return r;
    }
    DriverEngine engine{platform::palettised_profile()};
    std::vector<LgRaster*> made;
};

TEST_P(D3DRasters, EveryTypeGetsItsSurface) {
    struct Case {
        int32_t flags;
        int32_t depth;
        uint8_t format;
    };
    const Case cases[] = {
        {LgRasterTypeNormal, 16, 0x02},
        {LgRasterTypeCamera, 16, 0x02},
        {LgRasterTypeZBuffer, 16, 0x07},
        {LgRasterTypeTexture | 0x200, 16, 0x02},
        {LgRasterTypeTexture | 0x500, 32, 0x05},
        {LgRasterTypeTexture | LgRasterFormatPal8, 8, 0x26},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        LgRaster* r = create(64, 32, 0, c.flags);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->depth, c.depth);
        EXPECT_EQ(r->format, c.format);
        EXPECT_NE(LgD3DRasterSliceOf(r)->surface, nullptr);
        EXPECT_EQ(LgD3DGetRasterPixels(r), nullptr);
    }
}

TEST_P(D3DRasters, FullScreenCameraAndZRastersAreTheDevicesOwn) {
    LgRaster* camera = create(640, 480, 0, LgRasterTypeCamera);
    LgRaster* z = create(640, 480, 0, LgRasterTypeZBuffer);
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(z, nullptr);
    const bool shared =
        LgD3DRasterSliceOf(camera)->surface == LgD3DDriver.fullScreenTarget.colour &&
        LgD3DRasterSliceOf(z)->surface == LgD3DDriver.fullScreenTarget.zBuffer;
    EXPECT_EQ(shared, GetParam());
}

TEST_P(D3DRasters, RefusedRequestsRecordTheirCodes) {
    struct Case {
        int32_t depth;
        int32_t flags;
        int32_t code;
    };
    const Case cases[] = {
        {0, 3, LgErrDevice0D}, // no such type
        {0, LgRasterTypeNormal | LgRasterFormatMipmap, LgErrDevice0D},
        {24, LgRasterTypeCamera, LgErrDevice0C}, // not the camera depth
        {0, LgRasterTypeZBuffer | 0x500, LgErrDevice0D},
        {8, LgRasterTypeTexture | 0x200, LgErrDevice0C},
        {0, LgRasterTypeTexture | 0x700, LgErrDevice0D}, // not offered
        {16, LgRasterTypeTexture | LgRasterFormatPal4, LgErrDevice0C},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        LgEngineStop();
        ASSERT_EQ(LgEngineStart(), 1); // a fresh error slot
        EXPECT_EQ(create(16, 16, c.depth, c.flags), nullptr);
        EXPECT_EQ(recorded_error(), (LgError{0, c.code}));
    }
}

TEST(D3DRasterFormats, EightBitTextureWithoutPaletteFormatIsRefused) {
    DriverEngine engine;
    ASSERT_TRUE(engine.opened);
    ASSERT_TRUE(engine.start_full_screen());
    EXPECT_EQ(LgRasterCreate(16, 16, 8, LgRasterTypeTexture), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrDevice0D}));
}

TEST_P(D3DRasters, MipmappedTextureGetsALevelPerHalving) {
    LgRaster* r = create(256, 64, 0, LgRasterTypeTexture | 0x200 | LgRasterFormatMipmap);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->format, 0x82);
    EXPECT_EQ(LgRasterGetNumLevels(r), 7);
    // The last level is 4 x 1.
    ASSERT_NE(LgRasterLock(r, 6, LgRasterLockRead), nullptr);
    EXPECT_EQ(r->width, 4);
    EXPECT_EQ(r->height, 1);
    LgRasterUnlock(r);
    EXPECT_EQ(r->width, 256);
    EXPECT_EQ(LgRasterLock(r, 7, LgRasterLockRead), nullptr);
    EXPECT_EQ(recorded_error(), (LgError{0, LgErrDevice0F}));
}

TEST_P(D3DRasters, ZeroSizedRasterHasNoSurface) {
    LgRaster* r = create(0, 16, 0, LgRasterTypeTexture);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(LgD3DRasterSliceOf(r)->surface, nullptr);
    EXPECT_NE(r->creationFlags & LgRasterDontAllocate, 0);
    EXPECT_EQ(LgRasterLock(r, 0, LgRasterLockRead), nullptr);
}

TEST_P(D3DRasters, SubRasterLocksAtItsOffset) {
    LgRaster* parent = create(64, 64, 0, LgRasterTypeNormal);
    LgRaster* window = create(0, 0, 0, LgRasterDontAllocate);
    ASSERT_NE(parent, nullptr);
    ASSERT_NE(window, nullptr);
    const LgRect rect = {10, 5, 20, 20};
    ASSERT_NE(LgRasterSubRaster(window, parent, &rect), nullptr);
    uint8_t* inner = LgRasterLock(window, 0, LgRasterLockWrite);
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(window->width, 20) << "a window keeps its own size while locked";
    inner[0] = 0xAB;
    inner[1] = 0xCD;
    LgRasterUnlock(window);
    uint8_t* whole = LgRasterLock(parent, 0, LgRasterLockRead);
    ASSERT_NE(whole, nullptr);
    const uint8_t* at = whole + 5 * parent->stride + 10 * 2;
    EXPECT_EQ(at[0], 0xAB);
    EXPECT_EQ(at[1], 0xCD);
    EXPECT_NE(parent->privateFlags & 0x02, 0);
    LgRasterUnlock(parent);
    EXPECT_EQ(parent->privateFlags & 0x06, 0);
    EXPECT_EQ(LgD3DRasterSliceOf(window)->format, LgD3DRasterSliceOf(parent)->format);
    EXPECT_EQ(LgD3DRasterSliceOf(parent)->format->refCount, 2);
}

TEST_P(D3DRasters, LockModeZeroIsRefused) {
    LgRaster* r = create(8, 8, 0, LgRasterTypeNormal);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(LgRasterLock(r, 0, 0), nullptr);
    EXPECT_STREQ(LgD3DGetLastErrorMessage(), "Failed to lock D3D surface");
}

TEST_P(D3DRasters, PaletteLockReadsAndWritesTheEntries) {
    LgRaster* r = create(16, 16, 0, LgRasterTypeTexture | LgRasterFormatPal8);
    ASSERT_NE(r, nullptr);
    auto* words = reinterpret_cast<uint32_t*>(LgRasterLockPalette(r, LgRasterLockWrite));
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words[7], 0u);
    words[7] = 0x80112233;
    LgRasterUnlockPalette(r);
    words = reinterpret_cast<uint32_t*>(LgRasterLockPalette(r, LgRasterLockRead));
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words[7], 0x80112233u);
    LgRasterUnlockPalette(r);

    LgRaster* plain = create(16, 16, 0, LgRasterTypeTexture | 0x200);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(LgRasterLockPalette(plain, LgRasterLockRead), nullptr);
}

TEST_P(D3DRasters, TexturesJoinTheChainAndLeaveItWhenDestroyed) {
    LgRaster* r = LgRasterCreate(16, 16, 0, LgRasterTypeTexture | 0x200);
    ASSERT_NE(r, nullptr);
    int found = 0;
    for (const LgD3DTexChainElement* e = LgTexChainFirst(); e != nullptr; e = e->next)
        found += e->slice == LgD3DRasterSliceOf(r);
    EXPECT_EQ(found, 1);
    EXPECT_NE(LgD3DGetTextureInterface(r), nullptr);
    LgRasterDestroy(r);
    for (const LgD3DTexChainElement* e = LgTexChainFirst(); e != nullptr; e = e->next)
        EXPECT_NE(e->slice, LgD3DRasterSliceOf(r));
}

INSTANTIATE_TEST_SUITE_P(FullScreenAndWindowed, D3DRasters, ::testing::Bool());

} // namespace
