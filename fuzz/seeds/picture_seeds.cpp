// Seeds of the picture harness: small pictures written by the Sun raster, PNG and JPEG
// writers (true colour and palettised), hand-made bitmaps (the BMP reader has no writer), and
// INI pictures naming an image and a mask as the menu pages' pictures do.
#include "fuzz/framework_harness.h"
#include "fuzz/seeds/seed_set.h"
#include "media/raster/image_codecs.h"
#include "media/raster/pixel_channels.h"
#include "media/raster/raster.h"
#include "program/module_groups.h"

#include <string>
#include <vector>

namespace {

using fuzzing::FuzzInputWriter;
using fuzzing::require;

enum Extension : uint8_t { kBmp = 0, kRas = 1, kIni = 2, kPng = 3, kJpg = 4 };
constexpr uint8_t kFixed565 = 0x80;

ComRef<IRaster> sample(uint32_t format) {
    ComRef<IRaster> raster;
    require(OmNewMemoryRaster(6, 5, format, raster.put()) >= 0, "a seed raster is made");
    void* base;
    int32_t stride;
    raster->Lock(OM_LOCK_WRITE, &base, &stride);
    const uint32_t bytes = om_pixel_bits(format) / 8;
    for (uint32_t y = 0; y < 5; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            om_write_pixel(static_cast<uint8_t*>(base) + y * stride + x * bytes, bytes,
                           format == OM_FORMAT_PALETTE8 ? (x + y) % 4
                                                        : 0xFF000000u | (x * 40) << 16 | y * 50);
    raster->Unlock();
    if (format == OM_FORMAT_PALETTE8) {
        ComRef<IRasterCreate> description;
        OmNewRasterDescription(description.put());
        description->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PALETTE);
        description->SetProperty(OM_RASTER_WIDTH, 4);
        description->SetProperty(OM_RASTER_HEIGHT, 1);
        ComRef<IRaster> palette;
        require(description->CreateRaster(palette.put()) >= 0, "a seed palette is made");
        palette->Lock(OM_LOCK_WRITE, &base, &stride);
        const uint32_t colours[] = {0xFF000000, 0xFF112233, 0xFF445566, 0xFFFFFFFF};
        for (int i = 0; i < 4; ++i)
            om_write_pixel(static_cast<uint8_t*>(base) + 4 * i, 4, colours[i]);
        palette->Unlock();
        raster->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(palette.get()));
    }
    return raster;
}

std::string written(OmGetClassObjectFunction module, const GUID& clsid, uint32_t format) {
    ComRef<IClassFactory> factory;
    require(module(clsid, IID_IClassFactory, factory.put_void()) >= 0, "a codec's factory");
    ComRef<IObjectRW> rw;
    require(factory->CreateInstance(nullptr, IID_IObjectRW, rw.put_void()) >= 0, "a codec");
    auto stream = fuzzing::stream_of(std::string_view());
    auto raster = sample(format);
    require(rw->WriteStream(stream.get(), "", raster.get()) >= 0, "a seed picture is written");
    return fuzzing::bytes_of(stream.get());
}

std::string le(uint32_t v, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out += char(v >> (8 * i));
    return out;
}

// A bottom-up bitmap of the given depth with a palette of `colours` entries and raw rows.
std::string bmp(int32_t width, int32_t height, uint16_t bits, uint32_t compression,
                const std::vector<uint32_t>& palette, const std::string& rows) {
    const uint32_t offset = 14 + 40 + uint32_t(palette.size()) * 4;
    std::string out = "BM" + le(offset + uint32_t(rows.size()), 4) + le(0, 4) + le(offset, 4);
    out += le(40, 4) + le(uint32_t(width), 4) + le(uint32_t(height), 4) + le(1, 2) + le(bits, 2) +
           le(compression, 4) + le(uint32_t(rows.size()), 4) + le(0, 4) + le(0, 4) +
           le(uint32_t(palette.size()), 4) + le(0, 4);
    for (uint32_t c : palette) out += le(c, 4);
    return out + rows;
}

std::vector<uint8_t> framed(uint8_t choice, const std::string& file, const std::string& image = "",
                            const std::string& mask = "") {
    FuzzInputWriter w;
    w.byte(choice).part(file).part(image).rest(mask);
    return w.bytes();
}

} // namespace

FUZZ_SEEDS(picture_load) {
    fuzzing::FrameworkRun framework;
    OmRegisterDisplayModules(OmGetObjectManager());
    const std::string png = written(Png_GetClassObject, CLSID_Png, OM_FORMAT_ARGB8888);
    const std::string png8 = written(Png_GetClassObject, CLSID_Png, OM_FORMAT_PALETTE8);
    const std::string ras = written(SunRaster_GetClassObject, CLSID_SunRaster, OM_FORMAT_ARGB8888);
    const std::string ras8 = written(SunRaster_GetClassObject, CLSID_SunRaster, OM_FORMAT_PALETTE8);
    const std::string jpg = written(Jpeg_GetClassObject, CLSID_Jpeg, OM_FORMAT_ARGB8888);
    const std::string bmp24 = bmp(3, 2, 24, 0, {}, std::string(24, '\x5a'));
    const std::string bmp_rle8 =
        bmp(4, 3, 8, 1, {0x00FF0000, 0x000000FF},
            std::string("\x04\x01\x00\x00\x00\x03\x01\x00\x01\x00\x00\x00\x02\x01\x00\x01", 16));
    const std::string bmp4 =
        bmp(4, 2, 4, 0, {0, 0xFFFFFF}, std::string("\x01\x10\0\0\x11\x00\0\0", 8));
    seeds.add("png", framed(kPng, png));
    seeds.add("png_palette_565", framed(kPng | kFixed565, png8));
    seeds.add("sun", framed(kRas, ras));
    seeds.add("sun_palette", framed(kRas, ras8));
    seeds.add("jpeg", framed(kJpg, jpg));
    seeds.add("jpeg_565", framed(kJpg | kFixed565, jpg));
    seeds.add("bmp24", framed(kBmp, bmp24));
    seeds.add("bmp_rle8_565", framed(kBmp | kFixed565, bmp_rle8));
    seeds.add("bmp4", framed(kBmp, bmp4));
    seeds.add("ini_image", framed(kIni, "Image=img.png\r\n", png));
    seeds.add("ini_image_mask", framed(kIni, "Image=img.bmp\r\nMask=msk.ras\r\n", bmp24, ras8));
    seeds.add("ini_nested", framed(kIni, "Image=img.ini\r\n", "Image=msk.jpg\r\n", jpg));
}

// The engine's "jpg" texture reader: a texture-reduction level byte, then the file.
FUZZ_SEEDS(gamedata_texture_jpg) {
    fuzzing::FrameworkRun framework;
    OmRegisterDisplayModules(OmGetObjectManager());
    const std::string jpg = written(Jpeg_GetClassObject, CLSID_Jpeg, OM_FORMAT_ARGB8888);
    const std::string png = written(Png_GetClassObject, CLSID_Png, OM_FORMAT_ARGB8888);
    for (uint8_t level = 0; level < 4; ++level) {
        FuzzInputWriter w;
        w.byte(level).rest(jpg);
        seeds.add("jpeg_level" + std::to_string(level), w.bytes());
    }
    FuzzInputWriter w;
    w.byte(0).rest(png);
    seeds.add("png_named_jpg", w.bytes());
}
