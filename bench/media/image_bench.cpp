// JPEG decoding and encoding per megapixel, and area resampling of a 512 x 512 texture to
// 256 x 256.
#include "bench/framework/framework_services.h"
#include "framework/io/memory_stream.h"
#include "media/raster/image_codecs.h"
#include "media/raster/image_processor_internal.h"
#include "media/raster/pixel_channels.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A smooth picture with some detail, so the JPEG coder has realistic work.
IRaster* new_picture(uint32_t width, uint32_t height, uint32_t format) {
    bench::use_framework_allocator();
    IRaster* raster = nullptr;
    OmNewMemoryRaster(width, height, format, &raster);
    void* base;
    int32_t stride;
    raster->Lock(OM_LOCK_WRITE, &base, &stride);
    uint32_t bytes = om_pixel_bits(format) / 8;
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            auto r = uint32_t(128 + 100 * std::sin(x * 0.02)), g = (x ^ y) & 0xFF,
                 b = uint32_t(128 + 100 * std::cos(y * 0.03));
            om_write_pixel(static_cast<uint8_t*>(base) + int64_t(y) * stride + x * bytes, bytes,
                           0xFF000000u | r << 16 | g << 8 | b);
        }
    raster->Unlock();
    return raster;
}

IObjectRW* new_jpeg_codec() {
    IClassFactory* factory = nullptr;
    Jpeg_GetClassObject(CLSID_Jpeg, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    IObjectRW* rw = nullptr;
    factory->CreateInstance(nullptr, IID_IObjectRW, reinterpret_cast<void**>(&rw));
    factory->Release();
    rw->SetOption(OM_IMAGE_OPTION_QUALITY, 85);
    return rw;
}

constexpr uint32_t side = 1024; // one megapixel

void BM_JpegEncodeMegapixel(benchmark::State& state) {
    IRaster* picture = new_picture(side, side, OM_FORMAT_RGB888);
    IObjectRW* rw = new_jpeg_codec();
    for (auto _ : state) {
        IByteStream* stream = nullptr;
        OmNewMemoryStream(&stream);
        benchmark::DoNotOptimize(rw->WriteStream(stream, "jpg", picture));
        stream->Release();
    }
    rw->Release();
    picture->Release();
}
BENCHMARK(BM_JpegEncodeMegapixel)->Unit(benchmark::kMillisecond);

void BM_JpegDecodeMegapixel(benchmark::State& state) {
    IRaster* picture = new_picture(side, side, OM_FORMAT_RGB888);
    IObjectRW* rw = new_jpeg_codec();
    IByteStream* stream = nullptr;
    OmNewMemoryStream(&stream);
    rw->WriteStream(stream, "jpg", picture);
    for (auto _ : state) {
        stream->Seek(0, OM_SEEK_START, nullptr);
        IRaster* decoded = nullptr;
        benchmark::DoNotOptimize(rw->ReadStream(stream, "jpg", nullptr, IID_IRaster,
                                                reinterpret_cast<void**>(&decoded)));
        if (decoded) decoded->Release();
    }
    stream->Release();
    rw->Release();
    picture->Release();
}
BENCHMARK(BM_JpegDecodeMegapixel)->Unit(benchmark::kMillisecond);

void BM_Resample512To256(benchmark::State& state) {
    IRaster* source = new_picture(512, 512, OM_FORMAT_ARGB8888);
    IRaster* dest = nullptr;
    OmNewMemoryRaster(256, 256, OM_FORMAT_ARGB8888, &dest);
    for (auto _ : state) benchmark::DoNotOptimize(om_resample(dest, source));
    dest->Release();
    source->Release();
}
BENCHMARK(BM_Resample512To256)->Unit(benchmark::kMillisecond);

} // namespace
