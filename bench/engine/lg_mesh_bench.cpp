// Mesh building on a 10,000-triangle grid (100 x 50 cells, one material): the stripifier and,
// for comparison, the list builder with its vertex-sharing rounds.
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_plugin.h"
#include "tests/engine/core/engine_test_support.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

struct GridTriangle {
    uint16_t a, b, c;
};

std::vector<GridTriangle> grid(int columns, int rows) {
    std::vector<GridTriangle> out;
    const int side = columns + 1;
    for (int z = 0; z < rows; ++z)
        for (int x = 0; x < columns; ++x) {
            const auto i = static_cast<uint16_t>(z * side + x);
            out.push_back({i, static_cast<uint16_t>(i + side), static_cast<uint16_t>(i + 1)});
            out.push_back({static_cast<uint16_t>(i + 1), static_cast<uint16_t>(i + side),
                           static_cast<uint16_t>(i + side + 1)});
        }
    return out;
}

void build_mesh(benchmark::State& state, uint32_t flags) {
    enginetest::StartedEngine engine(0, [&engine] {
        engine.device.accept(LgDeviceRequestPipeline);
        LgWorldPluginAttach();
    });
    if (!engine.ok) {
        state.SkipWithError("engine did not start");
        return;
    }
    const std::vector<GridTriangle> triangles = grid(100, 50);
    LgMaterial* material = LgMaterialCreate();
    uint32_t indices = 0;
    for (auto _ : state) {
        LgMeshBuilder* builder = LgMeshBuilderCreate(static_cast<uint32_t>(triangles.size()));
        for (const GridTriangle& t : triangles)
            LgMeshBuilderAddTriangle(builder, material, t.a, t.b, t.c);
        LgMeshHeader* header = LgMeshBuilderFinish(builder, flags);
        if (header == nullptr) {
            state.SkipWithError("mesh build failed");
            break;
        }
        indices = header->totalIndicesInMesh;
        LgMeshHeaderDestroy(header);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(triangles.size()));
    state.counters["indices"] = indices;
    LgMaterialRelease(material);
}

void BM_StripifyGrid10000(benchmark::State& state) {
    build_mesh(state, LgMeshHeaderTriStrip);
}
BENCHMARK(BM_StripifyGrid10000)->Unit(benchmark::kMillisecond);

void BM_ListGrid10000(benchmark::State& state) {
    build_mesh(state, 0);
}
BENCHMARK(BM_ListGrid10000)->Unit(benchmark::kMillisecond);

} // namespace
