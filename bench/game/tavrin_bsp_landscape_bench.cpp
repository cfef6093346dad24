// The landscape's line queries as the planes use them each frame: a 300-unit line straight
// down onto a demo-sized ground (128 x 128 cells, 32768 triangles) for the nearest crossing
// and for the crossing point, and the height above ground, with no allocation on the way.
#include "engine/world/lg_collision.h"
#include "engine/world/lg_world_plugin.h"
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "tests/engine/core/engine_test_support.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

namespace mw = modelwriter;

constexpr int kCells = 128;
constexpr float kCellSize = 10.0f;
constexpr float kMargin = 16.0f; // where the builder puts the ground's low corner
constexpr int kLines = 256;

// The framework, an engine with the world plug-in and a landscape over a ground.
struct Scene {
    Scene()
        : engine(0, [this] {
              engine.device.accept(LgDeviceRequestPipeline);
              LgWorldPluginAttach();
          }) {
        OmStartup();
        TvRegisterBSPLandscapeClass(OmGetObjectManager());
        OmCreateInstance(CLSID_TavrinBSPLandscape, nullptr, 0, IID_ITvBSPLandscape,
                         reinterpret_cast<void**>(&landscape));
        mw::TriangleSoup soup = mw::soup_of(mw::make_grid(kCells, kCellSize, mw::Material{}));
        soup.texCoords.clear();
        soup.normals.clear();
        std::vector<uint8_t> bytes;
        mw::write_world(*mw::build_world(soup), bytes);
        LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        if (LgStreamFindChunk(s, LgChunkWorld, nullptr, nullptr))
            static_cast<TavrinBSPLandscape*>(landscape)->world = LgWorldStreamRead(s);
        LgStreamClose(s, nullptr);
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(kMargin + 1, kMargin + kCells * kCellSize - 1);
        for (int i = 0; i < kLines; ++i)
            starts.push_back({place(random), kMargin + 150, place(random)});
    }
    ~Scene() {
        landscape->FreeMap();
        landscape->Release();
        OmShutdown();
    }

    enginetest::StartedEngine engine;
    ITvBSPLandscape* landscape = nullptr;
    std::vector<LgVector> starts;
};

LgCollisionPrimitive down_from(const LgVector& p) {
    LgCollisionPrimitive line{};
    line.line = {p, {p.x, p.y - 300.0f, p.z}};
    return line;
}

void BM_LineHitFraction(benchmark::State& state) {
    Scene scene;
    size_t i = 0;
    for (auto _ : state) {
        LgCollisionPrimitive line = down_from(scene.starts[i++ % kLines]);
        float f = 0.0f;
        scene.landscape->LineHitFraction(&line, &f);
        benchmark::DoNotOptimize(f);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LineHitFraction);

void BM_LineHitPoint(benchmark::State& state) {
    Scene scene;
    size_t i = 0;
    for (auto _ : state) {
        LgCollisionPrimitive line = down_from(scene.starts[i++ % kLines]);
        LgVector point{};
        scene.landscape->LineHitPoint(&line, &point);
        benchmark::DoNotOptimize(point);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LineHitPoint);

void BM_HeightAboveGround(benchmark::State& state) {
    Scene scene;
    size_t i = 0;
    for (auto _ : state) {
        float h = 0.0f;
        scene.landscape->HeightAboveGround(&scene.starts[i++ % kLines], &h);
        benchmark::DoNotOptimize(h);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HeightAboveGround);

} // namespace
