// The ground objects' per-frame effects at their worst: 40 big explosions near the far clip
// (29 puff places each, every puff asking the landscape for its height) with 50 smoke columns,
// and one projected shadow's gather and clip over a demo-sized ground.
#include "engine/core/lg_frame.h"
#include "engine/world/lg_random.h"
#include "engine/world/lg_world_plugin.h"
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tv_explosions.h"
#include "game/world/tv_shadows.h"
#include "tests/engine/core/engine_test_support.h"
#include "tools/modelwriter/model_shapes.h"
#include "tools/modelwriter/world_builder.h"
#include "tools/modelwriter/world_writer.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

namespace mw = modelwriter;

constexpr int kCells = 128;
constexpr float kCellSize = 10.0f;
constexpr float kMargin = 16.0f;
constexpr float kFar = 1500.0f;

struct Scene {
    Scene()
        : engine(0, [this] {
              engine.device.accept(LgDeviceRequestPipeline);
              LgWorldPluginAttach();
              LgRandomPluginAttach();
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
        if (LgStreamFindChunk(s, LgChunkWorld, nullptr, nullptr)) world = LgWorldStreamRead(s);
        LgStreamClose(s, nullptr);
        // As every map: the world's top rises by 1000.
        LgWorldGetBoundingBox(world)->sup.y += 1000.0f;
        LgWorldForAllAtomicSectors(
            world,
            [](LgAtomicSector* sector, void*) {
                LgWorldSectorGetBoundingBox(sector)->sup.y += 1000.0f;
                return sector;
            },
            nullptr);
        static_cast<TavrinBSPLandscape*>(landscape)->world = world;
        camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(camera, frame);
        LgCameraSetFarClipPlane(camera, kFar);
        LgMatrix* m = LgFrameGetMatrix(frame);
        m->right = {1, 0, 0};
        m->up = {0, 1, 0};
        m->at = {0, 0, 1};
        m->pos = {kMargin + 640, kMargin + 100, kMargin - 800};
        LgMatrixMarkChanged(m);
    }
    ~Scene() {
        TvReleaseExplosions();
        LgCameraDestroy(camera);
        LgFrameDestroy(frame);
        landscape->FreeMap();
        landscape->Release();
        OmShutdown();
    }

    enginetest::StartedEngine engine;
    ITvBSPLandscape* landscape = nullptr;
    LgWorld* world = nullptr;
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
};

// 40 size-2 explosions about 1450 away (29 puff places each), a second old so their puff
// chains are full, and 50 smoke columns among them; each frame is an update with no time
// passing, so every iteration does the same work.
void BM_ExplosionsWorstCase(benchmark::State& state) {
    Scene scene;
    TvInitExplosions(1000, scene.landscape);
    LgRandomSeed(3);
    for (int i = 0; i < kTvExplosionCount; ++i) {
        const LgVector p{kMargin + 300 + float(i) * 16, kMargin, kMargin + 640};
        TvStartExplosion(&p, 2.0f, 0);
    }
    for (int i = 0; i < kTvSmokeColumnCount; ++i) {
        const LgVector p{kMargin + 300 + float(i) * 12, kMargin, kMargin + 500};
        TvSpawnSmokeColumn(&p, 1.0f, 0);
    }
    for (int i = 0; i < 60; ++i) TvUpdateExplosions(scene.camera, 1.0f / 60.0f);
    int32_t puffs = 0;
    for (const TvExplosion* e = TvLiveExplosions(); e; e = e->link)
        for (int32_t p = 0; p < e->puff_slots; ++p) puffs += e->puffs[p].alive;
    for (auto _ : state) {
        TvUpdateExplosions(scene.camera, 0.0f);
        benchmark::DoNotOptimize(TvExplosionSpriteVertexCount());
    }
    state.counters["puffs"] = double(puffs);
    state.counters["sprites"] = double(TvExplosionSpriteVertexCount() / 3);
}
BENCHMARK(BM_ExplosionsWorstCase)->Unit(benchmark::kMicrosecond);

void count_piece(const LgIm3DVertex*, int32_t count, bool, void* context) {
    *static_cast<int32_t*>(context) += count;
}

// A ground object's shadow (half-width 40, depth 50) over the 10-unit cells: the gather fills
// its 128 triangles and the ring of them is clipped.
void BM_ShadowGatherAndClip(benchmark::State& state) {
    Scene scene;
    LgMatrix m{};
    m.right = {1, 0, 0};
    m.at = {0, -1, 0};
    m.up = {0, 0, 1};
    m.pos = {kMargin + 645, kMargin + 25, kMargin + 645};
    int32_t vertices = 0;
    for (auto _ : state) {
        vertices = 0;
        TvProjectShadow(&m, scene.world, 40.0f, 50.0f, {false, 0, 0.4f}, count_piece, &vertices);
        benchmark::DoNotOptimize(vertices);
    }
    state.counters["vertices"] = double(vertices);
}
BENCHMARK(BM_ShadowGatherAndClip)->Unit(benchmark::kMicrosecond);

} // namespace
