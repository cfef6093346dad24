// ImageProcessor: area resampling, halving and the alpha operations.
#include "media/raster/image_processor.h"

#include "framework/core/object_manager.h"
#include "tests/media/raster/raster_fixture.h"

namespace {

using namespace rastertest;

class ImageProcessorTest : public testsupport::FrameworkTest {
protected:
    void SetUp() override {
        ASSERT_EQ(ImageProcessor_RegisterClasses(OmGetObjectManager()), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_ImageProcessor, IID_IImageProcessor, processor_.put()), OM_S_OK);
    }
    void TearDown() override {
        processor_.reset();
        FrameworkTest::TearDown();
    }
    ComRef<IImageProcessor> processor_;
};

uint32_t grey(uint32_t level, uint32_t alpha = 0xFF) {
    return alpha << 24 | level * 0x010101u;
}

TEST_F(ImageProcessorTest, FourByFourToTwoByTwoAveragesEachBlock) {
    // Blocks: {0, 100, 50, 50} -> 50; {255 x 4} -> 255; {1, 2, 3, 4} -> 2 (2.5 truncated);
    // {10, 20, 30, 40} -> 25; alpha averages the same way.
    auto source = make_raster(4, 4, OM_FORMAT_ARGB8888,
                              {grey(0), grey(100), grey(255), grey(255),      //
                               grey(50), grey(50), grey(255), grey(255),      //
                               grey(1, 0), grey(2, 0), grey(10), grey(20, 0), //
                               grey(3, 0), grey(4, 0), grey(30, 0), grey(40)});
    auto dest = make_raster(2, 2, OM_FORMAT_ARGB8888);
    ASSERT_EQ(processor_->Resample(dest.get(), source.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()),
              (std::vector<uint32_t>{grey(50), grey(255), grey(2, 0), grey(25, 0x7F)}));
}

TEST_F(ImageProcessorTest, UpsamplingRepeatsPixels) {
    auto source = make_raster(2, 1, OM_FORMAT_ARGB8888, {grey(10), grey(200)});
    auto dest = make_raster(4, 2, OM_FORMAT_ARGB8888);
    ASSERT_EQ(processor_->Resample(dest.get(), source.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()),
              (std::vector<uint32_t>{grey(10), grey(10), grey(200), grey(200), grey(10), grey(10),
                                     grey(200), grey(200)}));
}

TEST_F(ImageProcessorTest, ResampleToSizeConvertsAndSharesWhenNothingChanges) {
    auto source = make_raster(2, 2, OM_FORMAT_ARGB8888);
    ComRef<IRaster> same;
    ASSERT_EQ(processor_->ResampleToSize(source.get(), 2, 2, same.put()), OM_S_OK);
    EXPECT_EQ(same.get(), source.get());

    auto rgb = make_raster(2, 2, OM_FORMAT_RGB888, {0x102030, 0x102030, 0x102030, 0x102030});
    ComRef<IRaster> converted;
    ASSERT_EQ(processor_->ResampleToSize(rgb.get(), 1, 1, converted.put()), OM_S_OK);
    EXPECT_EQ(converted->GetFormat(), OM_FORMAT_ARGB8888);
    EXPECT_EQ(pixels_of(converted.get()), (std::vector<uint32_t>{0xFF102030}));

    // A 16-bit picture is opaque once converted, but for its colour key.
    auto keyed = make_raster(2, 1, OM_FORMAT_RGB565, {0xF800, 0x001F});
    keyed->SetProperty(OM_RASTER_COLOUR_KEY, 0x001F);
    keyed->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
    ASSERT_EQ(processor_->ResampleToSize(keyed.get(), 4, 1, converted.put()), OM_S_OK);
    EXPECT_EQ(pixels_of(converted.get()),
              (std::vector<uint32_t>{0xFFF80000, 0xFFF80000, 0x000000F8, 0x000000F8}));

    auto wrong = make_raster(2, 2, OM_FORMAT_RGB565);
    EXPECT_EQ(processor_->Resample(wrong.get(), source.get()), OM_E_FAIL);
}

TEST_F(ImageProcessorTest, HalveTakesEveryOtherPixelOfSquarePowerOfTwoRasters) {
    std::vector<uint32_t> numbers(16);
    for (uint32_t i = 0; i < 16; ++i) numbers[i] = i;
    auto source = make_raster(4, 4, OM_FORMAT_ARGB8888, numbers);
    auto dest = make_raster(2, 2, OM_FORMAT_ARGB8888);
    ASSERT_EQ(processor_->Halve(dest.get(), source.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(dest.get()), (std::vector<uint32_t>{0, 2, 8, 10}));

    struct Case {
        uint32_t sw, sh, dw, dh, format;
    } refused[] = {
        {64, 32, 32, 16, OM_FORMAT_ARGB8888}, // not square
        {6, 6, 3, 3, OM_FORMAT_ARGB8888},     // not a power of two
        {1, 1, 0, 0, OM_FORMAT_ARGB8888},     {4, 4, 3, 2, OM_FORMAT_ARGB8888}, // not half
        {4, 4, 2, 2, OM_FORMAT_RGB565},
    };
    for (const auto& c : refused) {
        auto s = make_raster(c.sw, c.sh, c.format);
        ComRef<IRaster> d;
        OmNewMemoryRaster(c.dw ? c.dw : 1, c.dh ? c.dh : 1, c.format, d.put());
        EXPECT_EQ(processor_->Halve(d.get(), s.get()), OM_E_FAIL) << c.sw << " x " << c.sh;
    }
}

TEST_F(ImageProcessorTest, MaskBrightnessBecomesTheImagesAlpha) {
    auto image = make_raster(2, 1, OM_FORMAT_RGB888, {0x123456, 0x654321});
    auto mask = make_raster(2, 1, OM_FORMAT_RGB888, {0xFFFFFF, 0x000000});
    ComRef<IRaster> combined;
    ASSERT_EQ(processor_->CombineMask(image.get(), mask.get(), combined.put()), OM_S_OK);
    EXPECT_EQ(pixels_of(combined.get()), (std::vector<uint32_t>{0xFF123456, 0x00654321}));

    // A mask of another size is resampled to the image's.
    auto small = make_raster(1, 1, OM_FORMAT_ARGB8888, {0xFF404040});
    ASSERT_EQ(processor_->CombineMask(image.get(), small.get(), combined.put()), OM_S_OK);
    EXPECT_EQ(pixels_of(combined.get()), (std::vector<uint32_t>{0x40123456, 0x40654321}));
}

TEST_F(ImageProcessorTest, AlphaOperationsNeedArgbRastersOfOneSize) {
    auto raster = make_raster(2, 1, OM_FORMAT_ARGB8888, {0x00102030, 0x00F00001});
    ASSERT_EQ(processor_->AlphaFromBrightness(raster.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0x30102030, 0xF0F00001}));
    auto other = make_raster(2, 1, OM_FORMAT_ARGB8888, {0x11000000, 0x22000000});
    ASSERT_EQ(processor_->CopyAlpha(raster.get(), other.get()), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0x11102030, 0x22F00001}));

    auto rgb = make_raster(2, 1, OM_FORMAT_RGB888);
    auto wide = make_raster(3, 1, OM_FORMAT_ARGB8888);
    EXPECT_EQ(processor_->AlphaFromBrightness(rgb.get()), OM_E_FAIL);
    EXPECT_EQ(processor_->CopyAlpha(raster.get(), rgb.get()), OM_E_FAIL);
    EXPECT_EQ(processor_->CopyAlpha(raster.get(), wide.get()), OM_E_FAIL);
}

} // namespace
