// Pixel-format conversions of a 640 x 480 picture through the Blitter, the paths the menus and
// the game take every time they load or draw a picture.
#include "bench/framework/framework_services.h"
#include "media/raster/blitter.h"
#include "media/raster/palette_matcher.h"
#include "media/raster/pixel_channels.h"

#include <benchmark/benchmark.h>

namespace {

constexpr uint32_t width = 640, height = 480;

IRaster* new_raster(uint32_t format) {
    bench::use_framework_allocator();
    IRaster* raster = nullptr;
    OmNewMemoryRaster(width, height, format, &raster);
    return raster;
}

// Fills a raster with a deterministic pattern of pixel values.
void fill_pattern(IRaster* raster) {
    void* base;
    int32_t stride;
    raster->Lock(OM_LOCK_WRITE, &base, &stride);
    uint32_t bytes = om_pixel_bits(raster->GetFormat()) / 8;
    uint32_t seed = 12345;
    for (uint32_t y = 0; y < raster->GetHeight(); ++y)
        for (uint32_t x = 0; x < raster->GetWidth(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            om_write_pixel(static_cast<uint8_t*>(base) + int64_t(y) * stride + x * bytes, bytes,
                           seed | 0x80000000u);
        }
    raster->Unlock();
}

IRaster* new_palette() {
    IRasterCreate* d = nullptr;
    OmNewRasterDescription(&d);
    d->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PALETTE);
    IRaster* palette = nullptr;
    d->CreateRaster(&palette);
    d->Release();
    void* base;
    int32_t stride;
    palette->Lock(OM_LOCK_WRITE, &base, &stride);
    for (uint32_t i = 0; i < 256; ++i)
        static_cast<uint32_t*>(base)[i] = 0xFF000000u | ((i * 0x9E3779B1u) >> 8);
    palette->Unlock();
    return palette;
}

void convert(benchmark::State& state, IRaster* dest, IRaster* source) {
    IBlitter* blitter = OmGetSharedBlitter();
    for (auto _ : state) benchmark::DoNotOptimize(blitter->Convert(dest, source));
    state.SetItemsProcessed(int64_t(state.iterations()) * width * height);
    dest->Release();
    source->Release();
}

void BM_Argb8888ToRgb565(benchmark::State& state) {
    IRaster* source = new_raster(OM_FORMAT_ARGB8888);
    fill_pattern(source);
    convert(state, new_raster(OM_FORMAT_RGB565), source);
}
BENCHMARK(BM_Argb8888ToRgb565)->Unit(benchmark::kMillisecond);

// The palette's inverse map is built on the first conversion and cached for the rest.
void BM_Argb8888ToPalette8(benchmark::State& state) {
    IRaster* source = new_raster(OM_FORMAT_ARGB8888);
    fill_pattern(source);
    IRaster* dest = new_raster(OM_FORMAT_PALETTE8);
    IRaster* palette = new_palette();
    dest->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(palette));
    palette->Release();
    convert(state, dest, source);
}
BENCHMARK(BM_Argb8888ToPalette8)->Unit(benchmark::kMillisecond);

void BM_Palette8ToRgb565(benchmark::State& state) {
    IRaster* source = new_raster(OM_FORMAT_PALETTE8);
    fill_pattern(source);
    IRaster* palette = new_palette();
    source->SetProperty(OM_RASTER_PALETTE, reinterpret_cast<intptr_t>(palette));
    palette->Release();
    convert(state, new_raster(OM_FORMAT_RGB565), source);
}
BENCHMARK(BM_Palette8ToRgb565)->Unit(benchmark::kMillisecond);

// Building one inverse colour map (what the cache saves per conversion).
void BM_InverseMapBuild(benchmark::State& state) {
    bench::use_framework_allocator();
    static OmPaletteMatcher matcher;
    uint32_t colours[256];
    for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | ((i * 0x9E3779B1u) >> 8);
    for (auto _ : state) {
        om_palette_matcher_build(&matcher, colours, 256);
        benchmark::DoNotOptimize(matcher.inverse[0]);
    }
}
BENCHMARK(BM_InverseMapBuild)->Unit(benchmark::kMillisecond);

} // namespace
