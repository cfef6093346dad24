// Cameras: defaults, projection and depth scaling, the view matrix and frustum rebuilt when
// the camera's frame moves, begin/end update through the device, and the sphere test.
#include "engine/core/lg_camera.h"

#include "engine/core/lg_bbox.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_phase_timing.h"
#include "engine/core/lg_raster.h"
#include "engine/core/lg_vector.h"

LgPluginRegistry LgCameraRegistry = LgPluginRegistryMake(sizeof(LgCamera));

namespace {

LgModule cameraModule;

constexpr int32_t camerasPerBlock = 4;
constexpr int32_t cameraAlignment = 4;

constexpr float defaultNearPlane = 0.05f;
constexpr float defaultFarPlane = 10.0f;
constexpr float defaultFogPlane = 5.0f;
// Keeps the near and far planes a hair inside the device's depth range, so geometry exactly
// on either plane is not lost to depth-buffer rounding.
constexpr float depthRangeInset = 0.0001f;

void mark_frame(LgCamera* camera) {
    if (LgFrame* frame = camera->object.header.parent) LgFrameMarkDirty(frame);
}

void update_depth_scale(LgCamera* camera) {
    const float n = camera->nearPlane;
    const float f = camera->farPlane;
    const bool perspective = camera->projection == LgCameraPerspective;
    const float a = perspective ? 1.0f / f : f;
    const float b = perspective ? 1.0f / n : n;
    // Equal planes have no depth range to map; the last good scale stays.
    if (a == b) return;
    const float zn = LgEngineInstancePtr->device.zBufferNear;
    const float zf = LgEngineInstancePtr->device.zBufferFar;
    const float top = zf + (zn - zf) * depthRangeInset;
    const float bottom = zn + (top - zn) * depthRangeInset;
    camera->zScale = (top - bottom) / (a - b);
    camera->zShift = top - camera->zScale * a;
}

LgVector add_scaled(const LgVector& v, const LgVector& w, float s) {
    return {v.x + w.x * s, v.y + w.y * s, v.z + w.z * s};
}

float dot(const LgVector& a, const LgVector& b) {
    return LgVectorDotProduct(&a, &b);
}

void build_view_matrix(LgCamera* camera, const LgMatrix& world, float k0, float k1) {
    const LgVector c0 =
        add_scaled(LgVector{0, 0, 0}, world.right, -0.5f * camera->recipViewWindow.x);
    const LgVector col0 = add_scaled(c0, world.at, k0);
    const LgVector c1 = add_scaled(LgVector{0, 0, 0}, world.up, -0.5f * camera->recipViewWindow.y);
    const LgVector col1 = add_scaled(c1, world.at, k1);
    const LgVector& col2 = world.at;
    LgMatrix& view = camera->viewMatrix;
    view.right = {col0.x, col1.x, col2.x};
    view.up = {col0.y, col1.y, col2.y};
    view.at = {col0.z, col1.z, col2.z};
    view.pos = {0.5f - (dot(world.pos, col0) + k0), 0.5f - (dot(world.pos, col1) + k1),
                -dot(world.pos, col2)};
    LgMatrixMarkChanged(&view);
}

// Corners in the order of the normalised window (0, 0), (1, 0), (1, 1), (0, 1).
constexpr float cornerX[4] = {0.0f, 1.0f, 1.0f, 0.0f};
constexpr float cornerY[4] = {0.0f, 0.0f, 1.0f, 1.0f};

void perspective_corners(LgCamera* camera, const LgMatrix& world) {
    const float w = camera->viewWindow.x, h = camera->viewWindow.y;
    // The eye sits off the frame's position by the view offset; the window stays centred on
    // the at axis at unit distance.
    const LgVector o = add_scaled(add_scaled(LgVector{0, 0, 0}, world.right, -camera->viewOffset.x),
                                  world.up, camera->viewOffset.y);
    const LgVector eye = add_scaled(world.pos, o, 1.0f);
    for (int i = 0; i < 4; ++i) {
        const float sx = cornerX[i] == 0.0f ? w : -w;
        const float sy = cornerY[i] == 0.0f ? h : -h;
        LgVector dir = add_scaled(add_scaled(world.at, world.right, sx), world.up, sy);
        dir = add_scaled(dir, o, -1.0f);
        camera->frustumCorners[i] = add_scaled(eye, dir, camera->nearPlane);
        camera->frustumCorners[4 + i] = add_scaled(eye, dir, camera->farPlane);
    }
}

// The points where the view matrix gives x' and y' of 0 or 1 at the near and far depths.
void parallel_corners(LgCamera* camera, const LgMatrix& world, float k0, float k1) {
    const float w = camera->viewWindow.x, h = camera->viewWindow.y;
    for (int plane = 0; plane < 2; ++plane) {
        const float z = plane == 0 ? camera->nearPlane : camera->farPlane;
        for (int i = 0; i < 4; ++i) {
            const float s = 2.0f * w * (z * k0 + 0.5f - k0 - cornerX[i]);
            const float t = 2.0f * h * (z * k1 + 0.5f - k1 - cornerY[i]);
            const LgVector q = add_scaled(
                add_scaled(add_scaled(world.pos, world.at, z), world.right, s), world.up, t);
            camera->frustumCorners[plane * 4 + i] = q;
        }
    }
}

void set_plane(LgFrustumPlane& plane, const LgVector& normal, const LgVector& onPlane) {
    plane.normal = normal;
    plane.distance = dot(normal, onPlane);
    plane.closestX = normal.x >= 0.0f;
    plane.closestY = normal.y >= 0.0f;
    plane.closestZ = normal.z >= 0.0f;
    plane.pad = 0;
}

void build_planes(LgCamera* camera, const LgMatrix& world) {
    const LgVector* c = camera->frustumCorners;
    LgVector centre = {0, 0, 0};
    for (int i = 0; i < 8; ++i) centre = add_scaled(centre, c[i], 0.125f);

    set_plane(camera->frustumPlanes[0], world.at, c[4]);
    set_plane(camera->frustumPlanes[1], add_scaled(LgVector{0, 0, 0}, world.at, -1.0f), c[0]);
    for (int k = 0; k < 4; ++k) {
        const LgVector& nearCorner = c[k];
        LgVector e1, e2, normal;
        LgVectorSub(&e1, &c[4 + k], &nearCorner);
        LgVectorSub(&e2, &c[4 + (k + 1) % 4], &nearCorner);
        LgVectorCrossProduct(&normal, &e1, &e2);
        // A degenerate window (zero size or equal clip planes) has no side plane to find.
        if (dot(normal, normal) > 0.0f) LgVectorNormalize(&normal, &normal);
        if (dot(normal, centre) - dot(normal, nearCorner) > 0.0f)
            normal = add_scaled(LgVector{0, 0, 0}, normal, -1.0f);
        set_plane(camera->frustumPlanes[2 + k], normal, nearCorner);
    }
}

} // namespace

int32_t LgCameraRegisterPlugin(int32_t size, uint32_t pluginId,
                               LgPluginObjectConstructor constructor,
                               LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgCameraRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

LgCamera* LgCameraCreate() {
    const LgCameraSlice* s = cameraModule.slice<LgCameraSlice>();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return nullptr;
    }
    auto* camera = static_cast<LgCamera*>(LgFreeListTake(s->cameraList));
    if (camera == nullptr) return nullptr;
    *camera = LgCamera{};
    camera->object.header.type = LgObjectTypeCamera;
    camera->object.sync = LgCameraSyncDefault;
    camera->projection = LgCameraPerspective;
    camera->beginUpdate = LgCameraBeginUpdateDefault;
    camera->endUpdate = LgCameraEndUpdateDefault;
    LgMatrixSetIdentity(&camera->viewMatrix);
    camera->viewWindow = {1.0f, 1.0f};
    camera->recipViewWindow = {1.0f, 1.0f};
    camera->viewOffset = {0.0f, 0.0f};
    camera->nearPlane = defaultNearPlane;
    camera->farPlane = defaultFarPlane;
    camera->fogPlane = defaultFogPlane;
    update_depth_scale(camera);
    // A plug-in that cannot set up its slice (the device's, without a started device) refuses
    // the camera.
    if (LgPluginRegistryInitObject(&LgCameraRegistry, camera) == nullptr) {
        LgFreeListGive(s->cameraList, camera);
        return nullptr;
    }
    return camera;
}

int32_t LgCameraDestroy(LgCamera* camera) {
    if (camera == nullptr) return 0;
    LgPluginRegistryDeinitObject(&LgCameraRegistry, camera);
    LgObjectRemoveFrame(camera);
    // A destroyed camera must not stay reachable as the current one.
    if (LgEngineInstancePtr->currentCamera == camera) LgEngineInstancePtr->currentCamera = nullptr;
    LgFreeListGive(cameraModule.slice<LgCameraSlice>()->cameraList, camera);
    return 1;
}

LgCamera* LgCameraSetFrame(LgCamera* camera, LgFrame* frame) {
    LgObjectSetFrame(camera, frame);
    return camera;
}

LgFrame* LgCameraGetFrame(const LgCamera* camera) {
    return camera->object.header.parent;
}

LgCamera* LgCameraSetRaster(LgCamera* camera, LgRaster* raster) {
    camera->frameBuffer = raster;
    return camera;
}

LgRaster* LgCameraGetRaster(const LgCamera* camera) {
    return camera->frameBuffer;
}

LgCamera* LgCameraSetZRaster(LgCamera* camera, LgRaster* raster) {
    camera->zBuffer = raster;
    return camera;
}

LgRaster* LgCameraGetZRaster(const LgCamera* camera) {
    return camera->zBuffer;
}

// The frustum depends on the clip distances too, so the frame is marked for the next sync.
LgCamera* LgCameraSetNearClipPlane(LgCamera* camera, float distance) {
    camera->nearPlane = distance;
    update_depth_scale(camera);
    mark_frame(camera);
    return camera;
}

float LgCameraGetNearClipPlane(const LgCamera* camera) {
    return camera->nearPlane;
}

LgCamera* LgCameraSetFarClipPlane(LgCamera* camera, float distance) {
    camera->farPlane = distance;
    update_depth_scale(camera);
    mark_frame(camera);
    return camera;
}

float LgCameraGetFarClipPlane(const LgCamera* camera) {
    return camera->farPlane;
}

LgCamera* LgCameraSetFogDistance(LgCamera* camera, float distance) {
    camera->fogPlane = distance;
    return camera;
}

float LgCameraGetFogDistance(const LgCamera* camera) {
    return camera->fogPlane;
}

LgCamera* LgCameraSetProjection(LgCamera* camera, uint32_t projection) {
    if (projection != LgCameraPerspective && projection != LgCameraParallel) {
        LgErrorRaise(LgErrorGroupCore,
                     LgErrorCode(LgErrInvalidArgument, "Invalid projection type specified"));
        return nullptr;
    }
    camera->projection = projection;
    mark_frame(camera);
    update_depth_scale(camera);
    return camera;
}

uint32_t LgCameraGetProjection(const LgCamera* camera) {
    return camera->projection;
}

LgCamera* LgCameraSetViewWindow(LgCamera* camera, const LgVector2* window) {
    camera->viewWindow = *window;
    camera->recipViewWindow = {1.0f / window->x, 1.0f / window->y};
    mark_frame(camera);
    return camera;
}

const LgVector2* LgCameraGetViewWindow(const LgCamera* camera) {
    return &camera->viewWindow;
}

LgCamera* LgCameraSetViewOffset(LgCamera* camera, const LgVector2* offset) {
    camera->viewOffset = *offset;
    mark_frame(camera);
    return camera;
}

const LgVector2* LgCameraGetViewOffset(const LgCamera* camera) {
    return &camera->viewOffset;
}

LgMatrix* LgCameraGetViewMatrix(LgCamera* camera) {
    return &camera->viewMatrix;
}

LgCamera* LgCameraBeginUpdate(LgCamera* camera) {
    return camera->beginUpdate(camera);
}

LgCamera* LgCameraEndUpdate(LgCamera* camera) {
    return camera->endUpdate(camera);
}

LgCamera* LgCameraSetBeginUpdateCallBack(LgCamera* camera, LgCameraUpdateCallBack callBack) {
    camera->beginUpdate = callBack;
    return camera;
}

LgCamera* LgCameraSetEndUpdateCallBack(LgCamera* camera, LgCameraUpdateCallBack callBack) {
    camera->endUpdate = callBack;
    return camera;
}

LgCamera* LgCameraGetCurrent() {
    return LgEngineInstancePtr->currentCamera;
}

LgCamera* LgCameraClear(LgCamera* camera, const LgRGBA* colour, int32_t flags) {
    LgRGBA value = colour != nullptr ? *colour : LgRGBA{0, 0, 0, 0};
    if (!LgStandardCall(LgStdCameraClear, camera, &value, flags)) return nullptr;
    return camera;
}

LgCamera* LgCameraShowRaster(LgCamera* camera, void* window, uint32_t flags) {
    if (camera->frameBuffer == nullptr) return nullptr;
    LgPhaseScope phase(LgPhasePresent);
    if (LgRasterShow(camera->frameBuffer, window, static_cast<int32_t>(flags)) == nullptr)
        return nullptr;
    return camera;
}

int32_t LgCameraFrustumTestSphere(const LgCamera* camera, const LgSphere* sphere) {
    int32_t result = LgFrustumInside;
    for (const LgFrustumPlane& plane : camera->frustumPlanes) {
        const float d = LgVectorDotProduct(&plane.normal, &sphere->center) - plane.distance;
        if (d > sphere->radius) return LgFrustumOutside;
        if (d > -sphere->radius) result = LgFrustumBoundary;
    }
    return result;
}

void* LgCameraSyncDefault(void* object) {
    auto* camera = static_cast<LgCamera*>(object);
    LgFrame* frame = camera->object.header.parent;
    if (frame == nullptr) return camera;
    const LgMatrix& world = *LgFrameGetWorldMatrix(frame);
    const float ox = camera->viewOffset.x * camera->recipViewWindow.x;
    const float oy = camera->viewOffset.y * camera->recipViewWindow.y;
    if (camera->projection == LgCameraPerspective) {
        const float k0 = 0.5f + 0.5f * ox, k1 = 0.5f - 0.5f * oy;
        build_view_matrix(camera, world, k0, k1);
        perspective_corners(camera, world);
        build_planes(camera, world);
    } else if (camera->projection == LgCameraParallel) {
        const float k0 = 0.5f * ox, k1 = -0.5f * oy;
        build_view_matrix(camera, world, k0, k1);
        parallel_corners(camera, world, k0, k1);
        build_planes(camera, world);
    }
    LgBBoxFromPoints(&camera->frustumBoundBox, camera->frustumCorners, 8);
    return camera;
}

LgCamera* LgCameraBeginUpdateDefault(LgCamera* camera) {
    LgEngineInstancePtr->currentCamera = camera;
    LgFrameSyncAllDirty();
    if (!LgStandardCall(LgStdCameraBeginUpdate, camera, nullptr, 0)) return nullptr;
    LgIm3DCameraBeginHook(camera);
    return camera;
}

LgCamera* LgCameraEndUpdateDefault(LgCamera* camera) {
    if (!LgStandardCall(LgStdCameraEndUpdate, camera, nullptr, 0)) return nullptr;
    LgEngineInstancePtr->currentCamera = nullptr;
    return camera;
}

void* LgCameraOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgCameraSlice>(instance, offset);
    s->cameraList =
        LgFreeListCreate(LgCameraRegistry.sizeOfStruct, camerasPerBlock, cameraAlignment);
    if (s->cameraList == nullptr) return nullptr;
    cameraModule.offset = offset;
    ++cameraModule.openCount;
    return instance;
}

void* LgCameraClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgCameraSlice>(instance, offset);
    LgFreeListDestroy(s->cameraList);
    s->cameraList = nullptr;
    if (cameraModule.openCount > 0) --cameraModule.openCount;
    return instance;
}
