// Jpeg: grey and colour pictures (fixtures compressed by libjpeg itself), the writer's round
// trip and conversion, CMYK refused, broken and truncated streams.
#include "tests/media/raster/codec_fixture.h"

#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace {

using namespace rastertest;

// Compresses interleaved samples with libjpeg's own memory destination.
std::vector<uint8_t> make_jpeg(uint32_t width, uint32_t height, int components, J_COLOR_SPACE space,
                               const std::vector<uint8_t>& samples, int quality = 95) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = width;
    info.image_height = height;
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    for (uint32_t y = 0; y < height; ++y) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + size_t(y) * width * components);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// Largest difference of any channel byte between two rasters' pixels.
uint32_t max_difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    uint32_t worst = 0;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
            int d = int((a[i] >> shift) & 0xFF) - int((b[i] >> shift) & 0xFF);
            worst = std::max(worst, uint32_t(std::abs(d)));
        }
    return a.size() == b.size() ? worst : 256;
}

class JpegTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        rw_ = codec(Jpeg_GetClassObject, CLSID_Jpeg);
    }
    void TearDown() override {
        rw_.reset();
        CodecTest::TearDown();
    }
    ComRef<IObjectRW> rw_;
};

TEST_F(JpegTest, GreyPictureDecodesToEqualTriplets) {
    std::vector<uint8_t> levels(16 * 8);
    for (size_t i = 0; i < levels.size(); ++i) levels[i] = uint8_t(i * 2);
    ComRef<IRaster> raster;
    ASSERT_EQ(read_picture(rw_.get(), make_jpeg(16, 8, 1, JCS_GRAYSCALE, levels), &raster, "jpg"),
              OM_S_OK);
    EXPECT_EQ(raster->GetFormat(), OM_FORMAT_RGB888);
    auto pixels = pixels_of(raster.get());
    ASSERT_EQ(pixels.size(), levels.size());
    for (size_t i = 0; i < pixels.size(); ++i) {
        uint32_t g = pixels[i] & 0xFF;
        EXPECT_EQ(pixels[i], g * 0x010101u) << i;
        EXPECT_LE(std::abs(int(g) - int(levels[i])), 4) << i;
    }
}

TEST_F(JpegTest, FlatColourDecodesExactly) {
    std::vector<uint8_t> samples;
    for (int i = 0; i < 8 * 8; ++i) samples.insert(samples.end(), {200, 40, 90});
    ComRef<IRaster> raster;
    ASSERT_EQ(read_picture(rw_.get(), make_jpeg(8, 8, 3, JCS_RGB, samples, 100), &raster, "jpg"),
              OM_S_OK);
    for (uint32_t p : pixels_of(raster.get())) EXPECT_LE(max_difference({p}, {0xC8285A}), 2u);
}

TEST_F(JpegTest, WriterRoundTripsAndConvertsOtherFormats) {
    std::vector<uint32_t> gradient;
    for (uint32_t y = 0; y < 16; ++y)
        for (uint32_t x = 0; x < 16; ++x)
            gradient.push_back(0xFF000000u | x * 8 << 16 | y * 8 << 8 | 0x40);
    auto picture = make_raster(16, 16, OM_FORMAT_ARGB8888, gradient);
    ASSERT_EQ(rw_->SetOption(OM_IMAGE_OPTION_QUALITY, 95), OM_S_OK);
    OmResult r;
    auto file = write_picture(rw_.get(), picture.get(), &r);
    ASSERT_EQ(r, OM_S_OK);
    ComRef<IRaster> back;
    ASSERT_EQ(read_picture(rw_.get(), file, &back, "jpg"), OM_S_OK);
    EXPECT_EQ(back->GetWidth(), 16u);
    std::vector<uint32_t> expected;
    for (uint32_t p : gradient) expected.push_back(p & 0xFFFFFF);
    EXPECT_LE(max_difference(pixels_of(back.get()), expected), 6u);

    // Quality 0 is raised to the lowest quality: still a picture of the right size.
    ASSERT_EQ(rw_->SetOption(OM_IMAGE_OPTION_QUALITY, 0), OM_S_OK);
    auto small = write_picture(rw_.get(), picture.get(), &r);
    ASSERT_EQ(r, OM_S_OK);
    EXPECT_LT(small.size(), file.size());
    ASSERT_EQ(read_picture(rw_.get(), small, &back, "jpg"), OM_S_OK);
    EXPECT_EQ(back->GetHeight(), 16u);
}

TEST_F(JpegTest, CmykBrokenAndForeignRequestsFail) {
    std::vector<uint8_t> cmyk(8 * 8 * 4, 100);
    auto colour = make_jpeg(8, 8, 3, JCS_RGB, std::vector<uint8_t>(8 * 8 * 3, 77));
    std::vector<uint8_t> garbage(100, 0x11);
    auto header_only = std::vector<uint8_t>(colour.begin(), colour.begin() + 20);
    struct Case {
        const char* name;
        std::vector<uint8_t> file;
    } cases[] = {
        {"cmyk", make_jpeg(8, 8, 4, JCS_CMYK, cmyk)},
        {"garbage", garbage},
        {"cut inside the headers", header_only},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        ComRef<IRaster> raster;
        EXPECT_EQ(read_picture(rw_.get(), c.file, &raster, "jpg"), OM_E_FAIL) << c.name;
        EXPECT_FALSE(raster) << c.name;
    }
    auto stream = stream_of(colour);
    ComRef<IUnknown> other;
    EXPECT_EQ(rw_->ReadStream(stream.get(), "jpg", nullptr, IID_IUnknown, other.put_void()),
              OM_E_FAIL);
}

TEST_F(JpegTest, TruncatedScanDataEndsThePicture) {
    std::vector<uint8_t> samples;
    for (int i = 0; i < 32 * 32; ++i)
        samples.insert(samples.end(), {uint8_t(i), uint8_t(i * 3), 9});
    auto file = make_jpeg(32, 32, 3, JCS_RGB, samples);
    file.resize(file.size() - file.size() / 4);
    ComRef<IRaster> raster;
    ASSERT_EQ(read_picture(rw_.get(), file, &raster, "jpg"), OM_S_OK);
    EXPECT_EQ(raster->GetWidth(), 32u);
}

TEST_F(JpegTest, DescribeReadsTheHeaderAndRewinds) {
    auto file = make_jpeg(24, 8, 3, JCS_RGB, std::vector<uint8_t>(24 * 8 * 3, 1));
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    auto stream = stream_of(file);
    ASSERT_EQ(rw_->ReadInfoStream(stream.get(), "jpg", d.get(), 0), OM_S_OK);
    intptr_t value = 0;
    d->GetProperty(OM_RASTER_WIDTH, &value);
    EXPECT_EQ(value, 24);
    d->GetProperty(OM_RASTER_FORMAT, &value);
    EXPECT_EQ(value, intptr_t(OM_FORMAT_RGB888));
    uint32_t position = 99;
    stream->Seek(0, OM_SEEK_CURRENT, &position);
    EXPECT_EQ(position, 0u);
}

} // namespace
