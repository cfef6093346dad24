// Immediate-mode 3D throughput into a null device: vertices through the transform, and
// triangles through dispatch, back-face tests, clipping and index batching with none, 30% and
// all of them crossing the screen's edge.
#include "tests/engine/core/engine_test_support.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

int64_t submitted = 0;

int32_t accept_slot(void*, void*, int32_t) {
    return 1;
}
int32_t accept_state(int32_t, void*) {
    return 1;
}
int32_t count_indexed(int32_t, void*, int32_t, const uint16_t*, int32_t indexCount) {
    submitted += indexCount / 3;
    return 1;
}
int32_t count_triangle(void*, int32_t, int32_t, int32_t) {
    ++submitted;
    return 1;
}

// A device that accepts everything and only counts the triangles it is given.
void install_null_device(enginetest::FakeDevice& device) {
    device.record.setRenderState = accept_state;
    device.record.im2DRenderIndexedPrimitive = count_indexed;
    device.record.im2DRenderTriangle = count_triangle;
    device.answers[LgDeviceRequestStandardFunctions] = [](void* out, void*, int32_t count) {
        for (int32_t i = 0; i < count; ++i)
            static_cast<LgStandardFunctions*>(out)->slot[i] = accept_slot;
        return 1;
    };
    device.answers[LgDeviceRequestPipeline] = [](void*, void* in, int32_t) {
        static_cast<LgPipeline*>(in)->stage1 = LgIm3DTransformStage;
        return 1;
    };
}

// A 640 x 480 camera looking down +z, between begin and end update.
struct Scene {
    Scene() : engine(0, [this] { install_null_device(engine.device); }) {
        raster = LgRasterCreate(640, 480, 32, LgRasterTypeCamera);
        camera = LgCameraCreate();
        frame = LgFrameCreate();
        LgCameraSetFrame(camera, frame);
        LgCameraSetRaster(camera, raster);
        const LgVector2 window = {0.5f, 0.375f};
        LgCameraSetViewWindow(camera, &window);
        LgCameraSetNearClipPlane(camera, 1.0f);
        LgCameraSetFarClipPlane(camera, 1000.0f);
        LgCameraBeginUpdate(camera);
    }
    ~Scene() {
        LgCameraEndUpdate(camera);
        LgCameraDestroy(camera);
        LgFrameDestroy(frame);
        LgRasterDestroy(raster);
    }

    // The world point on screen (sx, sy) at depth z for this camera.
    static LgIm3DVertex at(float sx, float sy, float z) {
        LgIm3DVertex v{};
        v.position = {(0.5f - sx / 640.0f) * 2.0f * 0.5f * z,
                      (0.5f - sy / 480.0f) * 2.0f * 0.375f * z, z};
        v.color = {200, 100, 50, 255};
        v.u = sx / 640.0f;
        v.v = sy / 480.0f;
        return v;
    }

    enginetest::StartedEngine engine;
    LgRaster* raster = nullptr;
    LgCamera* camera = nullptr;
    LgFrame* frame = nullptr;
};

// Front-facing 12-pixel triangles spread over the screen; every clipPercent-th in a hundred
// reaches past the left edge.
std::vector<LgIm3DVertex> triangles(int count, int clipPercent) {
    std::vector<LgIm3DVertex> v;
    for (int k = 0; k < count; ++k) {
        const float x = 20.0f + static_cast<float>((k * 37) % 600);
        const float y = 20.0f + static_cast<float>((k * 53) % 440);
        const bool clipped = (k % 100) < clipPercent;
        const float left = clipped ? -30.0f : x;
        v.push_back(Scene::at(left, y, 50));
        v.push_back(Scene::at(x + 12, y + 12, 50));
        v.push_back(Scene::at(x + 12, y, 50));
    }
    return v;
}

void BM_Im3DTransform(benchmark::State& state) {
    Scene scene;
    const std::vector<LgIm3DVertex> v = triangles(static_cast<int>(state.range(0)) / 3, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            LgIm3DTransform(v.data(), static_cast<int32_t>(v.size()), nullptr, 1));
        LgIm3DEnd();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(v.size()));
    state.counters["vertices/s"] =
        benchmark::Counter(static_cast<double>(state.iterations() * static_cast<int64_t>(v.size())),
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Im3DTransform)->Arg(300)->Arg(3000)->Arg(30000);

void BM_Im3DRenderTriangles(benchmark::State& state) {
    Scene scene;
    const int count = 3000;
    const std::vector<LgIm3DVertex> v = triangles(count, static_cast<int>(state.range(0)));
    LgIm3DTransform(v.data(), static_cast<int32_t>(v.size()), nullptr, 1);
    submitted = 0;
    for (auto _ : state) LgIm3DRenderPrimitive(LgPrimTriList);
    LgIm3DEnd();
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["triangles/s"] = benchmark::Counter(
        static_cast<double>(state.iterations() * count), benchmark::Counter::kIsRate);
    state.counters["device triangles per triangle"] =
        static_cast<double>(submitted) / static_cast<double>(state.iterations() * count);
}
BENCHMARK(BM_Im3DRenderTriangles)->ArgName("clipped%")->Arg(0)->Arg(30)->Arg(100);

} // namespace
