// OmCopyRasterInto: delivery in a caller's description, converted and resampled.
#include "media/raster/raster.h"

#include "tests/media/raster/raster_fixture.h"

namespace {

using namespace rastertest;

class CopyRasterIntoTest : public testsupport::FrameworkTest {
protected:
    ComRef<IRasterCreate> fixed(uint32_t id, intptr_t value) {
        ComRef<IRasterCreate> d;
        EXPECT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
        d->SetPropertyFixed(id, 1);
        d->SetProperty(id, value);
        return d;
    }
};

TEST_F(CopyRasterIntoTest, FixedFormatConvertsAndCarriesTheKey) {
    auto source = make_raster(2, 1, OM_FORMAT_ARGB8888, {0xFFFF0000, 0x00000000});
    auto d = fixed(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
    ComRef<IRaster> out;
    ASSERT_EQ(OmCopyRasterInto(source.get(), d.get(), out.put()), OM_S_OK);
    EXPECT_EQ(out->GetFormat(), OM_FORMAT_RGB565);
    EXPECT_EQ(pixels_of(out.get()), (std::vector<uint32_t>{0xF800, 0}));
    EXPECT_EQ(property(out.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
}

TEST_F(CopyRasterIntoTest, UnfixedDescriptionTakesTheSourceAsItIs) {
    auto source = make_raster(3, 2, OM_FORMAT_RGB888, {1, 2, 3, 4, 5, 6});
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    ComRef<IRaster> out;
    ASSERT_EQ(OmCopyRasterInto(source.get(), d.get(), out.put()), OM_S_OK);
    EXPECT_EQ(out->GetFormat(), OM_FORMAT_RGB888);
    EXPECT_EQ(pixels_of(out.get()), (std::vector<uint32_t>{1, 2, 3, 4, 5, 6}));
}

TEST_F(CopyRasterIntoTest, FixedSizeResamples) {
    auto source = make_raster(2, 2, OM_FORMAT_RGB565, {0xF800, 0xF800, 0x001F, 0x001F});
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    for (uint32_t id : {OM_RASTER_WIDTH, OM_RASTER_HEIGHT}) {
        d->SetPropertyFixed(id, 1);
        d->SetProperty(id, 1);
    }
    ComRef<IRaster> out;
    ASSERT_EQ(OmCopyRasterInto(source.get(), d.get(), out.put()), OM_S_OK);
    ASSERT_EQ(out->GetWidth(), 1u);
    EXPECT_EQ(out->GetFormat(), OM_FORMAT_RGB565);
    // Half red 0xF8 and half blue 0xF8 average to 0x7C each.
    EXPECT_EQ(pixels_of(out.get()), (std::vector<uint32_t>{0x780F}));
}

TEST_F(CopyRasterIntoTest, IndexedPictureKeepsItsPalette) {
    auto source = make_raster(3, 1, OM_FORMAT_PALETTE8, {2, 0, 1});
    auto palette = make_palette({0xFF000000, 0xFFFFFFFF, 0xFF808080});
    set_palette(source.get(), palette.get());
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    ComRef<IRaster> out;
    ASSERT_EQ(OmCopyRasterInto(source.get(), d.get(), out.put()), OM_S_OK);
    EXPECT_EQ(pixels_of(out.get()), (std::vector<uint32_t>{2, 0, 1}));
    EXPECT_EQ(property(out.get(), OM_RASTER_PALETTE), reinterpret_cast<intptr_t>(palette.get()));
}

TEST_F(CopyRasterIntoTest, FailureHandsOutNothing) {
    auto source = make_raster(2, 2, OM_FORMAT_ARGB8888);
    auto d = fixed(OM_RASTER_FORMAT, OM_FORMAT_PALETTE8); // no palette to match against
    ComRef<IRaster> out;
    EXPECT_EQ(OmCopyRasterInto(source.get(), d.get(), out.put()), OM_E_FAIL);
    EXPECT_FALSE(out);
}

} // namespace
