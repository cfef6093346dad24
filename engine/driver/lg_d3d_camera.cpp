// Cameras on the driver: their render targets (one global target in full screen, one device
// per camera raster in a window, shared by the cameras drawing into it), begin and end update,
// and camera clear.
#include "engine/driver/lg_d3d_camera.h"
#include "engine/core/lg_fpu.h"
#include "engine/core/lg_matrix.h"
#include "engine/driver/lg_d3d_device.h"
#include "engine/driver/lg_d3d_fog.h"
#include "engine/driver/lg_d3d_raster.h"
#include "engine/driver/lg_d3d_render_state_init.h"

#include <cstring>

using namespace platform;

namespace {

constexpr int32_t fogExponential = 2;
constexpr int32_t fogExponentialSquared = 3;

LgCamera* camera_of(void* p) {
    return static_cast<LgCamera*>(p);
}

void switch_fpu() {
    if (LgD3DDriver.fpuSwitched) return;
    LgFpuSetSingleRoundDown();
    LgD3DDriver.fpuSwitched = true;
}

void restore_fpu() {
    if (!LgD3DDriver.fpuSwitched) return;
    LgFpuRestore();
    LgD3DDriver.fpuSwitched = false;
}

void leave_ring(LgD3DRenderTarget* target) {
    LgD3DRasterSlice* raster = target->raster;
    LgD3DRenderTarget* next = target->nextInRing;
    if (next != nullptr && next != target) {
        LgD3DRenderTarget* previous = next;
        while (previous->nextInRing != target) previous = previous->nextInRing;
        previous->nextInRing = next;
    }
    if (raster != nullptr && raster->firstCamera == target)
        raster->firstCamera = next != nullptr && next != target ? next : nullptr;
    target->nextInRing = target;
    target->raster = nullptr;
}

void release_drawing_objects(LgD3DRenderTarget* target) {
    LgD3DReleaseField(target->viewport);
    LgD3DReleaseField(target->device);
    LgD3DReleaseField(target->zBuffer);
    LgD3DReleaseField(target->colour);
}

template <class T>
T* shared(T* p) {
    if (p != nullptr) p->AddRef();
    return p;
}

bool build_own_target(LgD3DRenderTarget* target, const LgCamera* camera,
                      LgD3DRasterSlice* rasterSlice) {
    target->colour = shared(rasterSlice->surface);
    if (target->colour == nullptr) return false;
    if (camera->zBuffer != nullptr) {
        IDirectDrawSurface4* z = LgD3DRasterSliceOf(camera->zBuffer)->surface;
        if (z != nullptr) {
            const int32_t attached = target->colour->AddAttachedSurface(z);
            if (failed(attached) && attached != DDERR_SURFACEALREADYATTACHED) return false;
            target->zBuffer = shared(z);
        }
    }
    const LgD3DSubSystem* s = LgD3DGetSubSystem(LgD3DDriver.currentSubSystem);
    if (failed(LgD3DDriver.direct3D->CreateDevice(*LgD3DChooseDeviceGuid(s), target->colour,
                                                  &target->device, nullptr)))
        return false;
    const LgRaster* top = camera->frameBuffer->parent;
    const char* ignored = nullptr;
    target->viewport = LgD3DCreateViewport(target->device, static_cast<uint32_t>(top->width),
                                           static_cast<uint32_t>(top->height), &ignored);
    if (target->viewport == nullptr) return false;
    D3DMATERIALHANDLE handle = 0;
    if (target->material == nullptr ||
        failed(target->material->GetHandle(target->device, &handle)) ||
        failed(target->viewport->SetBackground(handle)))
        return false;
    rasterSlice->firstCamera = target;
    target->nextInRing = target;
    target->raster = rasterSlice;
    LgD3DSetInitialRenderStates(target->device);
    return true;
}

// Makes the camera's slice draw into its raster again after the raster's surfaces changed.
bool rebuild_target(LgCamera* camera) {
    LgD3DRenderTarget* target = LgD3DCameraSliceOf(camera);
    release_drawing_objects(target);
    leave_ring(target);
    if (camera->frameBuffer == nullptr || LgD3DDriver.direct3D == nullptr) return false;
    LgD3DRasterSlice* rasterSlice = LgD3DRasterSliceOf(camera->frameBuffer);
    if (LgD3DRenderTarget* first = rasterSlice->firstCamera) {
        // The camera's own material would be lost under the shared one.
        LgD3DReleaseField(target->material);
        target->colour = shared(first->colour);
        target->zBuffer = shared(first->zBuffer);
        target->device = shared(first->device);
        target->viewport = shared(first->viewport);
        target->material = shared(first->material);
        std::memcpy(target->background, first->background, sizeof(target->background));
        target->nextInRing = first->nextInRing;
        first->nextInRing = target;
        target->raster = rasterSlice;
        return true;
    }
    if (build_own_target(target, camera, rasterSlice)) return true;
    release_drawing_objects(target);
    leave_ring(target);
    return false;
}

// The render target of the camera: the global one in full screen, else the camera's slice,
// rebuilt when it no longer matches the camera's rasters.
LgD3DRenderTarget* choose_target(LgCamera* camera) {
    if (LgD3DDriver.fullScreen) return &LgD3DDriver.fullScreenTarget;
    if (camera->frameBuffer == nullptr) return nullptr;
    LgD3DRenderTarget* target = LgD3DCameraSliceOf(camera);
    const IDirectDrawSurface4* colour = LgD3DRasterSliceOf(camera->frameBuffer)->surface;
    const IDirectDrawSurface4* z =
        camera->zBuffer != nullptr ? LgD3DRasterSliceOf(camera->zBuffer)->surface : nullptr;
    const bool stale = target->colour != colour || target->raster == nullptr ||
                       (camera->zBuffer != nullptr && z != target->zBuffer);
    if (stale && !rebuild_target(camera)) return nullptr;
    return target;
}

void set_up_fog(const LgCamera* camera) {
    LgD3DDriverState& d = LgD3DDriver;
    const int32_t type = d.renderStates.fogType;
    if (type == fogExponential || type == fogExponentialSquared) {
        d.fogStart = 0.0f;
        d.fogScale = camera->farPlane != 0.0f ? 255.0f / camera->farPlane : 0.0f;
    } else {
        const float range = camera->farPlane - camera->fogPlane;
        d.fogStart = camera->fogPlane;
        d.fogScale = range != 0.0f ? 255.0f / range : 0.0f;
    }
    if (camera->farPlane != d.fogTablesFar) LgD3DBuildFogTables(camera->farPlane);
}

void wait_for_flip() {
    LgD3DDriverState& d = LgD3DDriver;
    if (!d.flipPending) return;
    if (d.primary != nullptr)
        while (d.primary->GetFlipStatus(DDGFS_ISFLIPDONE) == DDERR_WASSTILLDRAWING) {}
    d.flipPending = false;
}

} // namespace

void* LgD3DCameraConstruct(void* object, int32_t offset, int32_t) {
    auto* target = reinterpret_cast<LgD3DRenderTarget*>(static_cast<char*>(object) + offset);
    *target = LgD3DRenderTarget{};
    target->nextInRing = target;
    // Cameras draw through the started device; without one there is nothing to draw with.
    if (LgD3DDriver.direct3D == nullptr) return nullptr;
    if (failed(LgD3DDriver.direct3D->CreateMaterial(&target->material, nullptr)) ||
        !LgD3DSetBackgroundMaterial(target->material, 0, 0, 0)) {
        LgD3DReleaseField(target->material);
        return nullptr;
    }
    return object;
}

void* LgD3DCameraDestruct(void* object, int32_t offset, int32_t) {
    auto* target = reinterpret_cast<LgD3DRenderTarget*>(static_cast<char*>(object) + offset);
    if (LgD3DDriver.currentTarget == target) LgD3DDriver.currentTarget = nullptr;
    LgD3DReleaseField(target->material);
    release_drawing_objects(target);
    leave_ring(target);
    return object;
}

int32_t LgD3DCameraBeginUpdate(void* out, void*, int32_t) {
    LgCamera* camera = camera_of(out);
    LgD3DDriverState& d = LgD3DDriver;
    if (camera == nullptr || !d.started) return 0;
    LgMatrixSetMultiplyRoutine(LgMatrixMultiplyAsm);
    switch_fpu();
    d.currentCamera = camera;
    LgD3DRenderTarget* target = choose_target(camera);
    bool began = target != nullptr && target->device != nullptr;
    if (began) {
        set_up_fog(camera);
        wait_for_flip();
        began = succeeded(target->device->BeginScene());
    }
    if (!began) {
        // No end update follows a refused begin: undo what it set up.
        restore_fpu();
        d.currentCamera = nullptr;
        return 0;
    }
    d.currentTarget = target;
    return 1;
}

int32_t LgD3DCameraEndUpdate(void* out, void*, int32_t) {
    LgD3DDriverState& d = LgD3DDriver;
    if (out == nullptr) return 0;
    LgD3DFlushDeferred();
    restore_fpu();
    d.currentCamera = nullptr;
    LgD3DRenderTarget* target = d.currentTarget;
    if (target == nullptr || target->device == nullptr) return 0;
    if (failed(target->device->EndScene())) return 0;
    d.currentTarget = nullptr;
    return 1;
}

int32_t LgD3DCameraClear(void* out, void* in, int32_t flags) {
    LgCamera* camera = camera_of(out);
    const auto* colour = static_cast<const LgRGBA*>(in);
    if (camera == nullptr || camera->frameBuffer == nullptr || !LgD3DDriver.started) return 0;
    switch_fpu();
    LgD3DRenderTarget* target = choose_target(camera);
    if (target == nullptr || target->viewport == nullptr) return 0;
    LgRaster* raster = camera->frameBuffer;
    LgD3DRasterSlice* rasterSlice = LgD3DRasterSliceOf(raster);
    if ((flags & 1) != 0 && colour != nullptr) {
        const bool targetDiffers = colour->red != target->background[0] ||
                                   colour->green != target->background[1] ||
                                   colour->blue != target->background[2];
        const LgRGBA& cached = rasterSlice->background;
        const bool rasterDiffers = rasterSlice->backgroundSet != 0 &&
                                   (cached.red != colour->red || cached.green != colour->green ||
                                    cached.blue != colour->blue || cached.alpha != colour->alpha);
        if (targetDiffers || rasterDiffers) {
            D3DMATERIALHANDLE handle = 0;
            if (target->material != nullptr &&
                LgD3DSetBackgroundMaterial(target->material, colour->red, colour->green,
                                           colour->blue) &&
                succeeded(target->material->GetHandle(target->device, &handle)) &&
                succeeded(target->viewport->SetBackground(handle))) {
                rasterSlice->background = *colour;
                rasterSlice->backgroundSet = 1;
                target->background[0] = colour->red;
                target->background[1] = colour->green;
                target->background[2] = colour->blue;
            }
        }
    }
    D3DRECT rect = {raster->offsetX, raster->offsetY, raster->offsetX + raster->width,
                    raster->offsetY + raster->height};
    uint32_t clear = static_cast<uint32_t>(flags) & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    // A target without depth has nothing to clear there.
    if (target->zBuffer == nullptr) clear &= ~D3DCLEAR_ZBUFFER;
    if (clear != 0 && failed(target->viewport->Clear(1, &rect, clear))) return 0;
    if ((flags & 4) != 0 &&
        failed(target->viewport->Clear2(1, &rect, D3DCLEAR_STENCIL, 0, 1.0f, 0)))
        return 0;
    LgD3DSetInitialRenderStates(target->device);
    return 1;
}
