// World queries and visibility: line queries (segments of 1 to 100 units), sphere and box
// queries against a demo-sized ground (128 x 128 cells, 32768 triangles), atomic queries with
// 100 and 1000 atomics standing on it, and the visible-sector walk over BSPs of 64, 1024 and
// 4096 sectors.
#include "engine/world/lg_clump.h"
#include "engine/world/lg_collision.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_plugin.h"
#include "engine/world/lg_world_tie.h"
#include "tests/engine/core/engine_test_support.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

namespace mw = modelwriter;

constexpr int groundCells = 128;
constexpr float cellSize = 10.0f;
constexpr float groundSize = groundCells * cellSize;
constexpr float margin = 16.0f; // where the builder puts the ground's low corner

// An engine with the world plug-in and a ground of cells x cells split down to `perSector`.
struct Scene {
    explicit Scene(int cells, size_t perSector)
        : engine(0, [this] {
              engine.device.accept(LgDeviceRequestPipeline);
              LgWorldPluginAttach();
          }) {
        mw::TriangleSoup soup = mw::soup_of(mw::make_grid(cells, cellSize, mw::Material{}));
        soup.texCoords.clear();
        soup.normals.clear();
        mw::BuildOptions options;
        options.maxSectorTriangles = perSector;
        std::vector<uint8_t> bytes;
        mw::write_world(*mw::build_world(soup, options), bytes);
        LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
        LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
        if (LgStreamFindChunk(s, LgChunkWorld, nullptr, nullptr)) world = LgWorldStreamRead(s);
        LgStreamClose(s, nullptr);
    }
    ~Scene() {
        for (LgClump* c : clumps) {
            LgWorldRemoveClump(world, c);
            LgClumpDestroy(c);
        }
        if (world != nullptr) LgWorldDestroy(world);
    }
    // Box atomics of half size 1 standing just above the ground at random places.
    void add_atomics(int count) {
        std::mt19937 random(7);
        std::uniform_real_distribution<float> place(margin + 2, margin + groundSize - 2);
        std::vector<uint8_t> bytes;
        mw::write_clump(mw::single_atomic_clump(mw::make_box({1, 1, 1}, mw::Material{})), bytes);
        for (int i = 0; i < count; ++i) {
            LgStreamMemory data = {bytes.data(), static_cast<uint32_t>(bytes.size())};
            LgStream* s = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &data);
            LgClump* c = LgStreamFindChunk(s, LgChunkClump, nullptr, nullptr) ? LgClumpStreamRead(s)
                                                                              : nullptr;
            LgStreamClose(s, nullptr);
            if (c == nullptr) continue;
            const LgVector at = {place(random), margin + 2, place(random)};
            LgMatrixTranslate(LgFrameGetMatrix(LgClumpGetFrame(c)), &at, LgCombineReplace);
            LgWorldAddClump(world, c);
            clumps.push_back(c);
        }
        LgFrameSyncAllDirty();
    }

    enginetest::StartedEngine engine;
    LgWorld* world = nullptr;
    std::vector<LgClump*> clumps;
};

LgCollisionPrimitive* count_triangle(LgCollisionPrimitive* p, LgAtomicSector*, LgCollisionTriangle*,
                                     float, void* data) {
    ++*static_cast<int64_t*>(data);
    return p;
}

LgCollisionPrimitive* count_atomic(LgCollisionPrimitive* p, LgAtomicSector*, LgAtomic*, float,
                                   void* data) {
    ++*static_cast<int64_t*>(data);
    return p;
}

// Random primitives over the ground, made before timing.
std::vector<LgCollisionPrimitive> primitives(uint32_t type, float size, int count) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> place(margin + 100, margin + groundSize - 100);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    std::vector<LgCollisionPrimitive> out(static_cast<size_t>(count));
    for (LgCollisionPrimitive& p : out) {
        const LgVector c = {place(random), margin + 3, place(random)};
        p.type = type;
        if (type == LgCollisionLine) {
            LgVector d = {unit(random), -1.0f, unit(random)};
            const float len = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
            d = {d.x / len * size, d.y / len * size, d.z / len * size};
            p.line = {{c.x - d.x / 2, c.y - d.y / 2, c.z - d.z / 2},
                      {c.x + d.x / 2, c.y + d.y / 2, c.z + d.z / 2}};
            if (p.line.end.y < 0) p.line.end.y = 0;
        } else if (type == LgCollisionSphere) {
            p.sphere = {c, size};
        } else {
            p.box = {{c.x + size, c.y + size, c.z + size}, {c.x - size, c.y - size, c.z - size}};
        }
    }
    return out;
}

void run_triangle_queries(benchmark::State& state, uint32_t type, float size) {
    Scene scene(groundCells, 64);
    if (!scene.engine.ok || scene.world == nullptr) {
        state.SkipWithError("world did not load");
        return;
    }
    std::vector<LgCollisionPrimitive> ps = primitives(type, size, 1024);
    int64_t hits = 0;
    size_t i = 0;
    for (auto _ : state) {
        LgWorldForAllTriangleIntersections(scene.world, &ps[i++ & 1023], count_triangle, &hits);
    }
    benchmark::DoNotOptimize(hits);
    state.SetItemsProcessed(state.iterations());
}

void BM_LineQuery(benchmark::State& state) {
    run_triangle_queries(state, LgCollisionLine, static_cast<float>(state.range(0)));
}
BENCHMARK(BM_LineQuery)->Arg(1)->Arg(10)->Arg(100);

void BM_SphereQuery(benchmark::State& state) {
    run_triangle_queries(state, LgCollisionSphere, 5.0f);
}
BENCHMARK(BM_SphereQuery);

void BM_BoxQuery(benchmark::State& state) {
    run_triangle_queries(state, LgCollisionBox, 5.0f);
}
BENCHMARK(BM_BoxQuery);

void BM_AtomicQuery(benchmark::State& state) {
    Scene scene(groundCells, 64);
    if (!scene.engine.ok || scene.world == nullptr) {
        state.SkipWithError("world did not load");
        return;
    }
    scene.add_atomics(static_cast<int>(state.range(0)));
    std::vector<LgCollisionPrimitive> ps = primitives(LgCollisionSphere, 20.0f, 1024);
    int64_t hits = 0;
    size_t i = 0;
    for (auto _ : state) {
        LgWorldForAllAtomicIntersections(scene.world, &ps[i++ & 1023], count_atomic, &hits);
    }
    benchmark::DoNotOptimize(hits);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AtomicQuery)->Arg(100)->Arg(1000);

// Grids of 2 triangles a cell split to 2 triangles a sector: cells^2 sectors.
void BM_VisibleSectorWalk(benchmark::State& state) {
    const int cells = static_cast<int>(state.range(0));
    Scene scene(cells, 2);
    if (!scene.engine.ok || scene.world == nullptr) {
        state.SkipWithError("world did not load");
        return;
    }
    LgRaster* raster = LgRasterCreate(640, 480, 32, LgRasterTypeCamera);
    LgCamera* camera = LgCameraCreate();
    LgFrame* frame = LgFrameCreate();
    LgCameraSetFrame(camera, frame);
    LgCameraSetRaster(camera, raster);
    LgCameraSetFarClipPlane(camera, 10000.0f);
    LgMatrix* m = LgFrameGetMatrix(frame);
    m->right = {1, 0, 0};
    m->up = {0, 0, 1};
    m->at = {0, -1, 0};
    m->pos = {margin + cells * cellSize / 2, margin + cells * cellSize, margin + cells * 5};
    LgMatrixMarkChanged(m);
    LgWorldAddCamera(scene.world, camera);
    for (auto _ : state) {
        LgFrameMarkDirty(frame);
        LgFrameSyncAllDirty();
    }
    state.counters["visible"] = LgCameraTies(camera)->count;
    LgWorldRemoveCamera(scene.world, camera);
    LgCameraDestroy(camera);
    LgFrameDestroy(frame);
    LgRasterDestroy(raster);
}
BENCHMARK(BM_VisibleSectorWalk)->Arg(8)->Arg(32)->Arg(64);

} // namespace
