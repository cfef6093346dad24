// The 8-bit renderer's palette and colour tables (built at every Init, wanted in well under
// 100 ms), and the software triangle routines filling a 640 x 480 target.
#include "media/display/software_renderer.h"
#include "media/display/sw_rasteriser.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

void BM_Sw8BuildTables(benchmark::State& state) {
    auto tables = std::make_unique<Sw8ColourTables>();
    uint32_t colours[OM_PALETTE_ENTRIES];
    for (auto _ : state) {
        sw8_build_palette(colours);
        sw8_build_tables(colours, tables.get());
        benchmark::DoNotOptimize(tables->modulation[1234]);
    }
}
BENCHMARK(BM_Sw8BuildTables)->Unit(benchmark::kMillisecond);

OmTLVertex vertex(float x, float y, float u, float v) {
    return OmTLVertex{x, y, 0.5f, 1, 0xFFC08040, 0, u, v};
}

// Two triangles covering the whole 640 x 480 target, per frame.
void BM_Sw16FillTarget(benchmark::State& state) {
    const bool textured = state.range(0) != 0;
    std::vector<uint16_t> pixels(640 * 480);
    std::vector<uint16_t> texels(SW_TEXTURE_SIDE * SW_TEXTURE_SIDE, 0x1234);
    sw16_state = {reinterpret_cast<uint8_t*>(pixels.data()), 640 * 2, 640, 480, texels.data()};
    OmTLVertex a = vertex(0, 0, 0, 0), b = vertex(640, 0, 4, 0), c = vertex(640, 480, 4, 3),
               d = vertex(0, 480, 0, 3);
    SwTriangleRoutine routine = textured ? sw16_textured_triangle : sw16_flat_triangle;
    for (auto _ : state) {
        routine(&a, &c, &b);
        routine(&a, &d, &c);
        benchmark::DoNotOptimize(pixels[1000]);
    }
    sw16_state = {};
    state.SetItemsProcessed(state.iterations() * 640 * 480);
}
BENCHMARK(BM_Sw16FillTarget)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
