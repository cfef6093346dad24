// RasterCreate and NullRaster: defaults and their order, strides, set and fixed marks,
// properties of memory rasters, palettes, size caps and the shared blitter's lifetime.
#include "framework/core/object_manager.h"
#include "media/raster/blitter.h"
#include "media/raster/null_raster.h"
#include "media/raster/raster.h"
#include "tests/media/raster/raster_fixture.h"

namespace {

using namespace rastertest;

class RasterCreateTest : public testsupport::FrameworkTest {
protected:
    ComRef<IRasterCreate> description() {
        ComRef<IRasterCreate> d;
        EXPECT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
        return d;
    }
    ComRef<IRaster> create(IRasterCreate* d) {
        ComRef<IRaster> raster;
        EXPECT_EQ(d->CreateRaster(raster.put()), OM_S_OK);
        return raster;
    }
};

TEST_F(RasterCreateTest, FreshDescriptionMakesA128SquareDefaultRaster) {
    auto d = description();
    auto raster = create(d.get());
    ASSERT_TRUE(raster);
    EXPECT_EQ(raster->GetWidth(), 128u);
    EXPECT_EQ(raster->GetHeight(), 128u);
    EXPECT_EQ(raster->GetFormat(), OM_FORMAT_ARGB8888);
    EXPECT_EQ(property(raster.get(), OM_RASTER_STRIDE), 512);
    EXPECT_EQ(property(raster.get(), OM_RASTER_KIND), OM_RASTER_KIND_PICTURE);
    EXPECT_EQ(property(raster.get(), OM_RASTER_FLAG5), 1);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY_ENABLED), 0);
}

TEST_F(RasterCreateTest, ResetAppliesDefaultsOnlyToUnsetProperties) {
    auto d = description();
    d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
    ASSERT_EQ(d->Reset(), OM_S_OK);
    intptr_t value = 0;
    EXPECT_EQ(d->GetProperty(OM_RASTER_FORMAT, &value), OM_S_OK);
    EXPECT_EQ(value, intptr_t(OM_FORMAT_RGB565));
    for (uint32_t id : {1u, 4u, 5u, 6u, 9u, 10u, 13u, 15u, 16u, 20u, 21u, 22u, 23u, 28u})
        EXPECT_EQ(d->IsPropertySet(id), 1) << id;
    EXPECT_EQ(d->IsPropertySet(OM_RASTER_COLOUR_KEY), 0);
    EXPECT_EQ(d->GetProperty(21, &value), OM_S_OK);
    EXPECT_EQ(value, 1);
    // Ids without storage are marked set but cannot be read.
    EXPECT_EQ(d->GetProperty(10, &value), OM_E_FAIL);
}

TEST_F(RasterCreateTest, SizesChosenByReset) {
    struct Case {
        const char* name;
        intptr_t kind;  // 0 = not set
        intptr_t width; // 0 = not set
        bool width_fixed;
        uint32_t expected_width, expected_height;
    } cases[] = {
        {"palette without size", OM_RASTER_KIND_PALETTE, 0, false, 256, 1},
        {"palette with width only", OM_RASTER_KIND_PALETTE, 16, false, 256, 1},
        {"picture with width only", 0, 40, false, 128, 128},
        {"fixed width keeps its value", 0, 40, true, 40, 128},
    };
    for (const Case& c : cases) {
        auto d = description();
        if (c.kind) d->SetProperty(OM_RASTER_KIND, c.kind);
        if (c.width) {
            if (c.width_fixed) d->SetPropertyFixed(OM_RASTER_WIDTH, 1);
            d->SetProperty(OM_RASTER_WIDTH, c.width);
        }
        auto raster = create(d.get());
        ASSERT_TRUE(raster) << c.name;
        EXPECT_EQ(raster->GetWidth(), c.expected_width) << c.name;
        EXPECT_EQ(raster->GetHeight(), c.expected_height) << c.name;
    }
}

TEST_F(RasterCreateTest, StridesPadRowsToFourBytes) {
    struct Case {
        uint32_t format, width;
        intptr_t stride;
    } cases[] = {
        {OM_FORMAT_RGB888, 1, 4},   {OM_FORMAT_PALETTE8, 5, 8}, {OM_FORMAT_PALETTE4, 3, 4},
        {OM_FORMAT_PALETTE4, 9, 8}, {OM_FORMAT_RGB565, 3, 8},   {OM_FORMAT_ARGB8888, 3, 12},
        {OM_FORMAT_RGB888, 4, 12},
    };
    for (const Case& c : cases) {
        auto raster = make_raster(c.width, 2, c.format);
        ASSERT_TRUE(raster);
        EXPECT_EQ(property(raster.get(), OM_RASTER_STRIDE), c.stride)
            << std::hex << c.format << " width " << std::dec << c.width;
    }
}

TEST_F(RasterCreateTest, FixedPropertyKeepsItsFirstValueUntilClear) {
    auto d = description();
    EXPECT_EQ(d->SetPropertyFixed(OM_RASTER_FORMAT, 1), OM_S_OK);
    EXPECT_EQ(d->IsPropertyFixed(OM_RASTER_FORMAT), 1);
    EXPECT_EQ(d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565), OM_S_OK);
    EXPECT_EQ(d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB888), OM_S_OK);
    intptr_t value = 0;
    d->GetProperty(OM_RASTER_FORMAT, &value);
    EXPECT_EQ(value, intptr_t(OM_FORMAT_RGB565));

    d->SetProperty(OM_RASTER_COLOUR_KEY, 7); // not fixed: survives Clear
    EXPECT_EQ(d->Clear(), OM_S_OK);
    EXPECT_EQ(d->IsPropertySet(OM_RASTER_FORMAT), 0);
    EXPECT_EQ(d->IsPropertySet(OM_RASTER_COLOUR_KEY), 1);
    EXPECT_EQ(d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB888), OM_S_OK);
    d->GetProperty(OM_RASTER_FORMAT, &value);
    EXPECT_EQ(value, intptr_t(OM_FORMAT_RGB888));
}

TEST_F(RasterCreateTest, PropertyIdsOutOfRangeAndPixelMemoryAreRefused) {
    auto d = description();
    intptr_t value = 5;
    EXPECT_EQ(d->SetProperty(29, 1), OM_E_FAIL);
    EXPECT_EQ(d->SetProperty(OM_RASTER_PALETTE, 1), OM_E_FAIL); // no storage, but marked set
    EXPECT_EQ(d->IsPropertySet(OM_RASTER_PALETTE), 1);
    EXPECT_EQ(d->IsPropertySet(29), 0);
    EXPECT_EQ(d->GetProperty(0, &value), OM_E_FAIL);
    EXPECT_EQ(d->GetProperty(OM_RASTER_COLOUR_KEY, &value), OM_E_FAIL); // not set
    EXPECT_EQ(d->SetPropertyFixed(29, 1), OM_E_FAIL);
    EXPECT_EQ(d->IsPropertyFixed(29), OM_E_FAIL);

    uint32_t pixels[4] = {1, 2, 3, 4};
    EXPECT_EQ(d->SetProperty(OM_RASTER_PIXELS, reinterpret_cast<intptr_t>(pixels)), OM_S_OK);
    EXPECT_EQ(d->GetProperty(OM_RASTER_PIXELS, &value), OM_E_FAIL);
    EXPECT_EQ(value, 5);
}

TEST_F(RasterCreateTest, WrappedPixelsAreUsedAndNotOwned) {
    auto d = description();
    uint32_t pixels[2 * 2] = {0x11, 0x22, 0x33, 0x44};
    d->SetProperty(OM_RASTER_WIDTH, 2);
    d->SetProperty(OM_RASTER_HEIGHT, 2);
    d->SetProperty(OM_RASTER_PIXELS, reinterpret_cast<intptr_t>(pixels));
    auto raster = create(d.get());
    ASSERT_TRUE(raster);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0x11, 0x22, 0x33, 0x44}));
    // The stride of wrapped memory may change; a bottom-up walk reads the rows reversed.
    EXPECT_EQ(raster->SetProperty(OM_RASTER_PIXELS, reinterpret_cast<intptr_t>(pixels + 2)),
              OM_S_OK);
    EXPECT_EQ(raster->SetProperty(OM_RASTER_STRIDE, -8), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0x33, 0x44, 0x11, 0x22}));
}

TEST_F(RasterCreateTest, CloneCopiesValuesAndMarks) {
    auto d = description();
    d->SetPropertyFixed(OM_RASTER_WIDTH, 1);
    d->SetProperty(OM_RASTER_WIDTH, 12);
    d->SetProperty(OM_RASTER_COLOUR_KEY, 3);
    ComRef<IRasterCreate> copy;
    ASSERT_EQ(d->Clone(copy.put()), OM_S_OK);
    intptr_t value = 0;
    EXPECT_EQ(copy->GetProperty(OM_RASTER_WIDTH, &value), OM_S_OK);
    EXPECT_EQ(value, 12);
    EXPECT_EQ(copy->IsPropertyFixed(OM_RASTER_WIDTH), 1);
    EXPECT_EQ(copy->GetProperty(OM_RASTER_COLOUR_KEY, &value), OM_S_OK);
    EXPECT_EQ(value, 3);
}

TEST_F(RasterCreateTest, MemoryRasterProperties) {
    auto raster = make_raster(4, 3, OM_FORMAT_RGB565);
    EXPECT_EQ(property(raster.get(), OM_RASTER_WIDTH), 4);
    EXPECT_EQ(property(raster.get(), OM_RASTER_HEIGHT), 3);
    EXPECT_EQ(property(raster.get(), OM_RASTER_FORMAT), intptr_t(OM_FORMAT_RGB565));
    EXPECT_EQ(raster->SetProperty(OM_RASTER_COLOUR_KEY, 0x1234), OM_S_OK);
    EXPECT_EQ(raster->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1), OM_S_OK);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY), 0x1234);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
    // Owned pixels keep their stride; unknown ids are refused.
    EXPECT_EQ(raster->SetProperty(OM_RASTER_STRIDE, 100), OM_E_FAIL);
    EXPECT_EQ(property(raster.get(), OM_RASTER_STRIDE), 8);
    intptr_t value = 9;
    EXPECT_EQ(raster->SetProperty(OM_RASTER_WIDTH, 9), OM_E_FAIL);
    EXPECT_EQ(raster->GetProperty(OM_RASTER_MIP_LEVELS, &value), OM_E_FAIL);
    EXPECT_EQ(value, 9);
}

TEST_F(RasterCreateTest, PalettesMustBeOneRowOfKindFour) {
    auto raster = make_raster(2, 2, OM_FORMAT_PALETTE8);
    // No palette to clear.
    EXPECT_EQ(raster->SetProperty(OM_RASTER_PALETTE, 0), OM_E_FAIL);

    auto palette = make_palette({0xFF000000, 0xFFFFFFFF});
    set_palette(raster.get(), palette.get());
    EXPECT_EQ(property(raster.get(), OM_RASTER_PALETTE), reinterpret_cast<intptr_t>(palette.get()));

    auto picture = make_raster(2, 1, OM_FORMAT_ARGB8888); // kind 6
    ComRef<IRaster> tall;
    {
        auto d = description();
        d->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PALETTE);
        d->SetProperty(OM_RASTER_WIDTH, 4);
        d->SetProperty(OM_RASTER_HEIGHT, 2);
        d->CreateRaster(tall.put());
    }
    for (IRaster* refused : {picture.get(), tall.get()}) {
        EXPECT_EQ(raster->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(refused)),
                  OM_E_FAIL);
        EXPECT_EQ(property(raster.get(), OM_RASTER_PALETTE),
                  reinterpret_cast<intptr_t>(palette.get()));
    }
    EXPECT_EQ(raster->SetProperty(OM_RASTER_PALETTE, 0), OM_S_OK);
    EXPECT_EQ(property(raster.get(), OM_RASTER_PALETTE), 0);
}

TEST_F(RasterCreateTest, SizesThatCannotBeMadeAreRefusedWithoutOverflow) {
    struct Case {
        uint32_t width, height, format;
        intptr_t stride;
        OmResult expected;
    } cases[] = {
        {OM_RASTER_MAX_SIDE + 1, 1, OM_FORMAT_PALETTE8, 0, OM_E_OUTOFMEMORY},
        {1, OM_RASTER_MAX_SIDE + 1, OM_FORMAT_PALETTE8, 0, OM_E_OUTOFMEMORY},
        // 32768 x 32768 x 4 bytes wraps to 0 in 32 bits.
        {32768, 32768, OM_FORMAT_ARGB8888, 0, OM_E_OUTOFMEMORY},
        {100, 10, OM_FORMAT_ARGB8888, 16, OM_E_FAIL}, // stride shorter than a row
    };
    for (const Case& c : cases) {
        auto d = description();
        d->SetProperty(OM_RASTER_WIDTH, c.width);
        d->SetProperty(OM_RASTER_HEIGHT, c.height);
        d->SetProperty(OM_RASTER_FORMAT, c.format);
        if (c.stride) d->SetProperty(OM_RASTER_STRIDE, c.stride);
        ComRef<IRaster> raster;
        EXPECT_EQ(d->CreateRaster(raster.put()), c.expected) << c.width << " x " << c.height;
        EXPECT_FALSE(raster);
    }
}

TEST_F(RasterCreateTest, SharedBlitterLivesAsLongAsTheRasters) {
    EXPECT_EQ(OmGetSharedBlitter(), nullptr);
    auto first = make_raster(2, 2, OM_FORMAT_ARGB8888);
    IBlitter* shared = OmGetSharedBlitter();
    ASSERT_NE(shared, nullptr);
    auto second = make_raster(2, 2, OM_FORMAT_ARGB8888);
    EXPECT_EQ(OmGetSharedBlitter(), shared);
    first.reset();
    EXPECT_EQ(OmGetSharedBlitter(), shared);
    second.reset();
    EXPECT_EQ(OmGetSharedBlitter(), nullptr);
    auto again = make_raster(2, 2, OM_FORMAT_ARGB8888);
    EXPECT_NE(OmGetSharedBlitter(), nullptr);
}

TEST_F(RasterCreateTest, ClassesAreCreatedByClassId) {
    ASSERT_EQ(RasterCreate_RegisterClasses(OmGetObjectManager()), OM_S_OK);
    for (const GUID* clsid : {&CLSID_RasterCreate, &CLSID_NullRasterCreate}) {
        ComRef<IRasterCreate> d;
        ASSERT_EQ(OmCreate(*clsid, IID_IRasterCreate, d.put()), OM_S_OK);
        d->SetProperty(OM_RASTER_WIDTH, 3);
        d->SetProperty(OM_RASTER_HEIGHT, 2);
        auto raster = create(d.get());
        EXPECT_EQ(raster->GetWidth(), 3u);
    }
    ComRef<IRaster> empty;
    ASSERT_EQ(OmCreate(CLSID_NullRaster, IID_IRaster, empty.put()), OM_S_OK);
    EXPECT_EQ(empty->GetWidth(), 0u);
    ComRef<IUnknown> refused;
    EXPECT_EQ(
        OmCreateInstance(CLSID_RasterCreate, empty.get(), 0, IID_IRasterCreate, refused.put_void()),
        OM_E_NOAGGREGATION);
}

} // namespace
