// The Direct3D driver over the software device: deferring, sorting and replaying translucent
// triangles at camera end update, and the pixel conversions of image transfers.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_immediate.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/driver/lg_d3d_render_states.h"
#include "platform/graphics/device_profile.h"
#include "tests/engine/core/engine_test_support.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

// The engine started full screen on the driver for the length of one benchmark.
class StartedDriver {
public:
    StartedDriver() {
        platform::set_device_profile(platform::default_profile());
        LgEngineSetDeviceEntry(LgD3DGetDevice);
        ok = LgEngineInit(enginetest::CountingMemory::functions(), 0) == 1 &&
             LgEngineOpen(&window) == 1;
        LgVideoMode m{};
        for (int32_t i = 0; ok && i < LgEngineGetNumVideoModes(); ++i)
            if (LgEngineGetVideoModeInfo(&m, i) != nullptr && m.width == 640 && m.depth == 16 &&
                m.flags == LgVideoModeFullScreen) {
                ok = LgEngineSetVideoMode(i) == 1 && LgEngineStart() == 1;
                break;
            }
    }
    ~StartedDriver() {
        LgEngineStop();
        LgEngineClose();
        LgEngineTerm();
        LgEngineSetDeviceEntry(nullptr);
    }
    bool ok = false;
    uintptr_t window = 0x5a17;
};

void BM_TranslucentReplay(benchmark::State& state) {
    StartedDriver driver;
    LgRaster* frame = LgRasterCreate(640, 480, 0, LgRasterTypeCamera);
    LgRaster* depth = LgRasterCreate(640, 480, 0, LgRasterTypeZBuffer);
    LgCamera* camera = LgCameraCreate();
    if (!driver.ok || camera == nullptr) {
        state.SkipWithError("driver did not start");
        return;
    }
    LgCameraSetRaster(camera, frame);
    LgCameraSetZRaster(camera, depth);
    const auto count = static_cast<int32_t>(state.range(0));
    // Small triangles scattered in depth, each its own primitive as particles are.
    std::vector<LgIm3DScreenVertex> v(static_cast<size_t>(count) * 3);
    for (int32_t i = 0; i < count; ++i) {
        const float x = static_cast<float>((i * 37) % 600), y = static_cast<float>((i * 53) % 440);
        const float z = static_cast<float>((i * 7919) % 1000) / 1000.0f;
        v[i * 3 + 0] = {x, y, z, 1, 0x80FF8040u, 0xFF000000u, 0, 0};
        v[i * 3 + 1] = {x + 4, y, z, 1, 0x80FF8040u, 0xFF000000u, 0, 0};
        v[i * 3 + 2] = {x, y + 4, z, 1, 0x80FF8040u, 0xFF000000u, 0, 0};
    }
    for (auto _ : state) {
        LgCameraBeginUpdate(camera);
        LgRenderStateSet(LgD3DStateDeferral, reinterpret_cast<void*>(1));
        LgRenderStateSet(LgD3DStateVertexAlpha, reinterpret_cast<void*>(1));
        for (int32_t i = 0; i < count; ++i) LgIm2DRenderPrimitive(LgPrimTriList, &v[i * 3], 3);
        LgCameraEndUpdate(camera);
    }
    state.SetItemsProcessed(state.iterations() * count);
    LgCameraDestroy(camera);
    LgRasterDestroy(depth);
    LgRasterDestroy(frame);
}
BENCHMARK(BM_TranslucentReplay)->Arg(100)->Arg(1000)->Arg(5000);

void BM_RasterFromImage(benchmark::State& state) {
    StartedDriver driver;
    const auto side = static_cast<int32_t>(state.range(0));
    LgRaster* raster = LgRasterCreate(side, side, 0, LgRasterTypeTexture | 0x200);
    LgImage* image = LgImageCreate(side, side, 32);
    if (!driver.ok || raster == nullptr || image == nullptr) {
        state.SkipWithError("driver did not start");
        return;
    }
    LgImageAllocatePixels(image);
    auto* p = reinterpret_cast<LgRGBA*>(image->pixels);
    for (int32_t i = 0; i < side * side; ++i)
        p[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 3), static_cast<uint8_t>(i >> 6),
                static_cast<uint8_t>((i & 15) != 0 ? 255 : 0)};
    LgImage* back = LgImageCreate(side, side, 32);
    LgImageAllocatePixels(back);
    for (auto _ : state) {
        LgRasterSetFromImage(raster, image);
        LgImageSetFromRaster(back, raster);
    }
    state.SetItemsProcessed(state.iterations() * side * side * 2);
    LgImageDestroy(back);
    LgImageDestroy(image);
    LgRasterDestroy(raster);
}
BENCHMARK(BM_RasterFromImage)->Arg(64)->Arg(256);

void BM_RGBAToPixel(benchmark::State& state) {
    StartedDriver driver;
    const auto format = static_cast<int32_t>(state.range(0));
    uint32_t sum = 0;
    for (auto _ : state) {
        for (uint32_t i = 0; i < 1024; ++i) {
            LgRGBA c = {static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 2),
                        static_cast<uint8_t>(i >> 4), 255};
            sum += LgRGBAToPixel(&c, format);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * 1024);
}
BENCHMARK(BM_RGBAToPixel)->Arg(0x200)->Arg(0x500)->Arg(0x000);

} // namespace
