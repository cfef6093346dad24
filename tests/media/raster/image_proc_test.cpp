// ImageProc and RasterIni: one shared service, pictures loaded and saved by extension, INI
// pictures with masks and colour keys read relative to their file.
#include "media/raster/image_processor.h"

#include "tests/media/raster/codec_fixture.h"
#include "tests/support/temp_dir.h"

#include <string>

namespace {

using namespace rastertest;

std::string sun_file(uint32_t width, uint32_t depth, std::initializer_list<uint8_t> rows) {
    Bytes b;
    b.be32(0x59A66A95).be32(width).be32(1).be32(depth).be32(uint32_t(rows.size())).be32(1);
    b.be32(0).be32(0).raw(rows);
    return std::string(b.data.begin(), b.data.end());
}

class ImageProcTest : public CodecTest {
protected:
    void SetUp() override {
        CodecTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_ImageProc, IID_IImageProc, proc_.put()), OM_S_OK);
        ASSERT_EQ(OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put()), OM_S_OK);
        // 24 bits: red, blue; 8 bits over the grey ramp: white, black.
        dir_.write_file("pic.ras", sun_file(2, 24, {0, 0, 0xFF, 0xFF, 0, 0}));
        dir_.write_file("mask.ras", sun_file(2, 8, {0xFF, 0}));
    }
    void TearDown() override {
        storage_.reset();
        proc_.reset();
        CodecTest::TearDown();
    }
    std::string path(const char* name) const { return dir_ / name; }
    OmResult load(const char* name, ComRef<IRaster>* out, IRasterCreate* d = nullptr) {
        return proc_->LoadRaster(storage_.get(), path(name).c_str(), d, out->put());
    }

    testsupport::TempDir dir_;
    ComRef<IImageProc> proc_;
    ComRef<IFileStorage> storage_;
};

TEST_F(ImageProcTest, IsOneSharedObject) {
    ComRef<IImageProc> second;
    ASSERT_EQ(OmCreate(CLSID_ImageProc, IID_IImageProc, second.put()), OM_S_OK);
    EXPECT_EQ(second.get(), proc_.get());
    ComRef<IRasterCreate> d;
    ASSERT_EQ(proc_->CreateRasterDescription(nullptr, IID_IRasterCreate, d.put_void()), OM_S_OK);
    ComRef<IRaster> raster;
    ASSERT_EQ(d->CreateRaster(raster.put()), OM_S_OK);
    const uint32_t blue = 0xFF0000FF;
    ASSERT_EQ(proc_->FillRect(raster.get(), nullptr, &blue), OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get())[0], blue);
}

TEST_F(ImageProcTest, LoadsAndSavesByExtension) {
    auto picture =
        make_raster(3, 2, OM_FORMAT_ARGB8888,
                    {0xFF102030, 0xFF405060, 0xFF708090, 0xFFA0B0C0, 0xFFD0E0F0, 0xFF010203});
    for (const char* name : {"out.png", "out.ras", "OUT.PNG"}) {
        ASSERT_EQ(proc_->SaveRaster(storage_.get(), path(name).c_str(), picture.get()), OM_S_OK)
            << name;
        ComRef<IRaster> back;
        ASSERT_EQ(load(name, &back), OM_S_OK) << name;
        EXPECT_EQ(pixels_of(back.get()), pixels_of(picture.get())) << name;
    }
    ASSERT_EQ(proc_->SaveRaster(storage_.get(), path("out.jpg").c_str(), picture.get()), OM_S_OK);
    ComRef<IRaster> back;
    ASSERT_EQ(load("out.jpg", &back), OM_S_OK);
    EXPECT_EQ(back->GetFormat(), OM_FORMAT_RGB888);

    // No writer for bitmaps, no reader for unknown extensions, and missing files fail.
    EXPECT_LT(proc_->SaveRaster(storage_.get(), path("out.bmp").c_str(), picture.get()), 0);
    dir_.write_file("x.xyz", "data");
    EXPECT_LT(load("x.xyz", &back), 0);
    EXPECT_LT(load("missing.png", &back), 0);
    EXPECT_FALSE(back);
}

TEST_F(ImageProcTest, IniPictureCombinesItsMaskAndKey) {
    dir_.write_file("both.ini", "Image=pic.ras\nMask=mask.ras\nColorKey=0\n");
    ComRef<IRaster> raster;
    ASSERT_EQ(load("both.ini", &raster), OM_S_OK);
    EXPECT_EQ(raster->GetFormat(), OM_FORMAT_ARGB8888);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xFFFF0000, 0x000000FF}));
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY), 0);
}

TEST_F(ImageProcTest, IniPictureIsDeliveredInTheCallersDescription) {
    dir_.write_file("sub/plain.ini", "Image=../pic.ras\n");
    dir_.write_file("keyed.ini", "Image=pic.ras\nColorKey=  63488\n");
    ComRef<IRasterCreate> d;
    ASSERT_EQ(OmNewRasterDescription(d.put()), OM_S_OK);
    d->SetPropertyFixed(OM_RASTER_FORMAT, 1);
    d->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_RGB565);
    ComRef<IRaster> raster;
    ASSERT_EQ(load("sub/plain.ini", &raster, d.get()), OM_S_OK);
    EXPECT_EQ(raster->GetFormat(), OM_FORMAT_RGB565);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xF800, 0x001F}));
    // The picture had alpha, the delivered raster has none: its key is 0.
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY), 0);

    ASSERT_EQ(load("keyed.ini", &raster, d.get()), OM_S_OK);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY_ENABLED), 1);
    EXPECT_EQ(property(raster.get(), OM_RASTER_COLOUR_KEY), 0xF800);
}

// The menus name their pictures with backslashes: the picture is read beside the INI file,
// not in the last directory written with a slash.
TEST_F(ImageProcTest, IniPictureNamedWithBackslashesIsReadBesideItsFile) {
    dir_.write_file("menus/images/card.ini", "Image=card.ras\n");
    dir_.write_file("menus/images/card.ras", sun_file(2, 24, {0, 0xFF, 0, 0, 0xFF, 0}));
    ComRef<IRaster> raster;
    ASSERT_EQ(proc_->LoadRaster(storage_.get(), (dir_.path() + "/menus\\images\\card.ini").c_str(),
                                nullptr, raster.put()),
              OM_S_OK);
    EXPECT_EQ(pixels_of(raster.get()), (std::vector<uint32_t>{0xFF00FF00, 0xFF00FF00}));
}

TEST_F(ImageProcTest, BrokenIniPicturesFail) {
    dir_.write_file("self.ini", "Image=self.ini\n");
    dir_.write_file("missing.ini", "Image=nowhere.ras\n");
    dir_.write_file("noimage.ini", "Mask=mask.ras\n");
    for (const char* name : {"self.ini", "missing.ini", "noimage.ini"}) {
        ComRef<IRaster> raster;
        EXPECT_LT(load(name, &raster), 0) << name;
        EXPECT_FALSE(raster) << name;
    }
    // INI pictures are always converted: a reader told otherwise refuses.
    auto rw = codec(RasterIni_GetClassObject, CLSID_RasterIni);
    ASSERT_EQ(rw->SetOption(OM_IMAGE_OPTION_CONVERT, 0), OM_S_OK);
    dir_.write_file("plain.ini", "Image=pic.ras\n");
    ComRef<IRaster> raster;
    EXPECT_EQ(rw->Read(storage_.get(), path("plain.ini").c_str(), nullptr, IID_IRaster,
                       raster.put_void()),
              OM_E_FAIL);
}

} // namespace
