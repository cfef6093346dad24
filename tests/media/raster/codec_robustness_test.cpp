// Every picture reader over cut-off and bit-flipped copies of valid files: each read ends with
// a result code, hands out a whole raster or nothing, and gives back every block it took.
#include "tests/media/raster/codec_fixture.h"

namespace {

using namespace rastertest;

struct Codec {
    const char* name;
    OmGetClassObjectFunction module;
    const GUID* clsid;
    const char* extension;
};

const Codec codecs[] = {
    {"sun", SunRaster_GetClassObject, &CLSID_SunRaster, "ras"},
    {"png", Png_GetClassObject, &CLSID_Png, "png"},
    {"jpeg", Jpeg_GetClassObject, &CLSID_Jpeg, "jpg"},
};

class CodecRobustnessTest : public CodecTest {};

// A picture written by each writer, plus hand-made bitmaps (the BMP reader has no writer).
std::vector<uint8_t> sample_file(IObjectRW* rw, uint32_t format) {
    std::vector<uint32_t> pixels;
    for (uint32_t i = 0; i < 12 * 10; ++i) pixels.push_back(0xFF000000u | i * 0x020305u);
    auto picture = make_raster(
        12, 10, format, format == OM_FORMAT_PALETTE8 ? std::vector<uint32_t>(120, 3) : pixels);
    if (format == OM_FORMAT_PALETTE8) {
        auto palette = make_palette({0xFF000000, 0xFF112233, 0xFF445566, 0xFF778899});
        set_palette(picture.get(), palette.get());
    }
    OmResult r;
    auto file = write_picture(rw, picture.get(), &r);
    EXPECT_EQ(r, OM_S_OK);
    return file;
}

// Reads every variant once with no description and once into a description fixed to 5-6-5.
void read_variants(IObjectRW* rw, const char* extension, const std::vector<uint8_t>& file) {
    std::vector<std::vector<uint8_t>> variants;
    for (size_t cut = 0; cut < file.size(); cut += 1 + file.size() / 64)
        variants.emplace_back(file.begin(), file.begin() + long(cut));
    uint32_t seed = 7;
    for (int i = 0; i < 64; ++i) {
        auto flipped = file;
        seed = seed * 1103515245u + 12345u;
        flipped[(seed >> 8) % flipped.size()] ^= uint8_t(1u << (seed % 8));
        seed = seed * 1103515245u + 12345u;
        flipped[(seed >> 8) % flipped.size()] = uint8_t(seed >> 24);
        variants.push_back(flipped);
    }
    for (const auto& bytes : variants) {
        for (bool fixed : {false, true}) {
            ComRef<IRasterCreate> d;
            ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
            if (fixed) {
                d->SetPropertyFixed(OM_RASTER_FORMAT, 1);
                d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
            }
            ComRef<IRaster> raster;
            OmResult r = read_picture(rw, bytes, &raster, extension, d.get());
            EXPECT_EQ(r >= 0, bool(raster));
            if (raster) pixels_of(raster.get()); // every row is readable
        }
    }
}

TEST_F(CodecRobustnessTest, DamagedFilesFailCleanly) {
    for (const Codec& c : codecs) {
        SCOPED_TRACE(c.name);
        auto rw = codec(c.module, *c.clsid);
        for (uint32_t format : {OM_FORMAT_ARGB8888, OM_FORMAT_PALETTE8}) {
            if (format == OM_FORMAT_PALETTE8 && c.module == Jpeg_GetClassObject) continue;
            read_variants(rw.get(), c.extension, sample_file(rw.get(), format));
        }
    }
    auto bmp = codec(Bmp_GetClassObject, CLSID_Bmp);
    Bytes rle;
    rle.raw({'B', 'M'}).le32(0).le32(0).le32(14 + 40 + 8);
    rle.le32(40).le32(4).le32(3).le16(1).le16(8).le32(1).le32(0).le32(0).le32(0).le32(2).le32(0);
    rle.le32(0x00FF0000).le32(0x000000FF);
    rle.raw({4, 1, 0, 0, 0, 3, 1, 0, 1, 0, 0, 0, 2, 1, 0, 1});
    read_variants(bmp.get(), "bmp", rle.data);
    Bytes rgb;
    rgb.raw({'B', 'M'}).le32(0).le32(0).le32(14 + 40);
    rgb.le32(40).le32(3).le32(2).le16(1).le16(24).le32(0).le32(0).le32(0).le32(0).le32(0).le32(0);
    rgb.fill(24, 0x5A);
    read_variants(bmp.get(), "bmp", rgb.data);
}

} // namespace
