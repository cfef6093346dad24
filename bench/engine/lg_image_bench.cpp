// Image work the texture loader does per texture: BMP reading (uncompressed and RLE8),
// palette quantisation and box resampling, in pixels per second.
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/image_test_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// A side x side test picture: smooth gradients with a few hard edges, like a texture.
std::vector<LgRGBA> picture(int32_t side) {
    std::vector<LgRGBA> colours;
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x)
            colours.push_back({static_cast<uint8_t>(x * 255 / side),
                               static_cast<uint8_t>(y * 255 / side),
                               static_cast<uint8_t>(((x / 16 + y / 16) & 1) * 200),
                               static_cast<uint8_t>(x < side / 2 ? 255 : 128)});
    return colours;
}

std::string write_temp(const std::string& name, const std::string& bytes) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

void BM_ReadBmp24(benchmark::State& state) {
    enginetest::StartedEngine engine;
    const auto side = static_cast<int32_t>(state.range(0));
    std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(side));
    const std::vector<LgRGBA> colours = picture(side);
    for (int32_t y = 0; y < side; ++y)
        for (int32_t x = 0; x < side; ++x) {
            const LgRGBA& c = colours[static_cast<size_t>(y * side + x)];
            rows[static_cast<size_t>(y)].push_back(static_cast<uint32_t>(c.red) << 16 |
                                                   static_cast<uint32_t>(c.green) << 8 | c.blue);
        }
    enginetest::BmpFile bmp;
    bmp.width = bmp.height = side;
    bmp.data = enginetest::bmp_rows(24, rows);
    const std::string path = write_temp("corvel_bench_24.bmp", bmp.bytes());
    for (auto _ : state) LgImageDestroy(LgImageReadBMP(path.c_str()));
    state.SetItemsProcessed(state.iterations() * side * side);
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadBmp24)->Arg(64)->Arg(256)->Arg(1024);

void BM_ReadBmpRle8(benchmark::State& state) {
    enginetest::StartedEngine engine;
    const auto side = static_cast<int32_t>(state.range(0));
    std::string data;
    for (int32_t y = 0; y < side; ++y) {
        for (int32_t x = 0; x < side; x += 8) { // runs of 8 and short literals
            data += {8, static_cast<char>(x + y)};
        }
        data += {0, 0};
    }
    data += {0, 1};
    enginetest::BmpFile bmp;
    bmp.width = bmp.height = side;
    bmp.bits = 8;
    bmp.compression = 1;
    bmp.palette = std::vector<uint32_t>(256, 0x808080);
    bmp.data = data;
    const std::string path = write_temp("corvel_bench_rle.bmp", bmp.bytes());
    for (auto _ : state) LgImageDestroy(LgImageReadBMP(path.c_str()));
    state.SetItemsProcessed(state.iterations() * side * side);
    std::remove(path.c_str());
}
BENCHMARK(BM_ReadBmpRle8)->Arg(256)->Arg(1024);

void BM_QuantiseTo256(benchmark::State& state) {
    enginetest::StartedEngine engine;
    const auto side = static_cast<int32_t>(state.range(0));
    LgImage* image = enginetest::rgba_image(side, side, picture(side));
    std::vector<uint8_t> indices(static_cast<size_t>(side * side));
    LgRGBA palette[256];
    for (auto _ : state) {
        LgPaletteQuantiser q{};
        LgPaletteQuantiserCreate(&q);
        LgPaletteQuantiserAddImage(&q, image);
        LgPaletteQuantiserMakePalette(palette, 256, &q);
        LgPaletteQuantiserMatchImage(indices.data(), side, 8, &q, image);
        LgPaletteQuantiserDestroy(&q);
        benchmark::DoNotOptimize(indices.data());
    }
    state.SetItemsProcessed(state.iterations() * side * side);
    LgImageDestroy(image);
}
BENCHMARK(BM_QuantiseTo256)->Arg(64)->Arg(256)->Arg(512);

void BM_ResampleHalf(benchmark::State& state) {
    enginetest::StartedEngine engine;
    const auto side = static_cast<int32_t>(state.range(0));
    LgImage* image = enginetest::rgba_image(side, side, picture(side));
    for (auto _ : state) LgImageDestroy(LgImageCreateResampled(image, side / 2, side / 2));
    state.SetItemsProcessed(state.iterations() * side * side);
    LgImageDestroy(image);
}
BENCHMARK(BM_ResampleHalf)->Arg(256)->Arg(1024);

} // namespace
