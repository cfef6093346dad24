// Immediate mode: render states, screen-space drawing, the 3D transform entry points, the
// triangle and line index batches, and the module that sets all of it up (engine module
// 0x40e).
#include "engine/core/lg_immediate.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_phase_timing.h"
#include "engine/core/lg_pipeline.h"

#include <algorithm>

namespace {

constexpr int32_t initialIndexEntries = 9000;
// Room kept free at the end of a list before it grows, and the least it grows by.
constexpr int32_t triangleSlack = 6, triangleGrowth = 66;
constexpr int32_t lineSlack = 4, lineGrowth = 64;
constexpr uint32_t maxIndex = 0xffff;

struct IndexList {
    uint16_t* entries = nullptr;
    int32_t used = 0;
    int32_t capacity = 0;

    // Lists grow by half their size at least, so long batches do not copy over and over.
    bool make_room(int32_t slack, int32_t growth) {
        if (capacity - used >= slack) return true;
        const int32_t wanted = std::max(used + growth, capacity + capacity / 2);
        void* grown = LgEngineInstancePtr->memoryFunctions.realloc(
            entries, static_cast<size_t>(wanted) * sizeof(uint16_t));
        if (grown == nullptr) {
            LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
            return false;
        }
        entries = static_cast<uint16_t*>(grown);
        capacity = wanted;
        return true;
    }
    void release() {
        if (entries != nullptr) LgEngineInstancePtr->memoryFunctions.free(entries);
        *this = IndexList{};
    }
};

IndexList triangles;
IndexList lines;

void* word(uintptr_t value) {
    return reinterpret_cast<void*>(value);
}

void refresh_shading() {
    uintptr_t value = LgIm3DGlobal.gouraud ? LgShadeModeGouraud : LgShadeModeFlat;
    if (LgRenderStateGet(LgRenderStateShadeMode, &value)) LgIm3DGlobal.gouraud = value == 2;
}

LgIm3DScreenVertex* context_vertices() {
    const LgIm3DContext* c = LgIm3DGlobal.current;
    return c != nullptr ? LgIm3DGlobal.screenVertices + c->first : nullptr;
}

bool fits_index(int32_t i) {
    return i >= 0 && static_cast<uint32_t>(i) <= maxIndex;
}

// The default device hooks: primitives collect in the index lists and go out in one call per
// list at the end of each draw.
void batch_begin() {
    LgIm3DResetIndices();
}

void batch_triangle(int32_t i0, int32_t i1, int32_t i2) {
    if (fits_index(i0) && fits_index(i1) && fits_index(i2)) {
        if (LgIm3DAddTriangle(i0, i1, i2)) return;
        LgIm3DFlush();
        if (LgIm3DAddTriangle(i0, i1, i2)) return;
    }
    // Vertices out of reach of 16-bit indices (or no memory for the list): draw it alone.
    if (auto draw = LgEngineInstancePtr->device.im2DRenderTriangle)
        draw(context_vertices(), i0, i1, i2);
}

void batch_line(int32_t i0, int32_t i1) {
    if (fits_index(i0) && fits_index(i1)) {
        if (LgIm3DAddLine(i0, i1)) return;
        LgIm3DFlush();
        if (LgIm3DAddLine(i0, i1)) return;
    }
    if (auto draw = LgEngineInstancePtr->device.im2DRenderLine) draw(context_vertices(), i0, i1);
}

void batch_end() {
    LgIm3DFlush();
}

void free_buffers() {
    LgIm3DState& s = LgIm3DGlobal;
    const LgMemFreeFunc release = LgEngineInstancePtr->memoryFunctions.free;
    if (s.cameraVertices != nullptr) release(s.cameraVertices);
    if (s.screenVertices != nullptr) release(s.screenVertices);
    if (s.vertexMarks != nullptr) release(s.vertexMarks);
    s = LgIm3DState{};
    triangles.release();
    lines.release();
}

} // namespace

int32_t LgRenderStateSet(int32_t state, void* value) {
    if (LgEngineInstancePtr->currentCamera == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrNoCurrentCamera);
        return 0;
    }
    if (state == LgRenderStateShadeMode)
        LgIm3DGlobal.gouraud = reinterpret_cast<uintptr_t>(value) == LgShadeModeGouraud;
    const LgRenderStateSetFunc set = LgEngineInstancePtr->device.setRenderState;
    return set != nullptr ? set(state, value) : 0;
}

int32_t LgRenderStateGet(int32_t state, void* value) {
    const LgRenderStateGetFunc get = LgEngineInstancePtr->device.getRenderState;
    return get != nullptr ? get(state, value) : 0;
}

int32_t LgIm2DRenderPrimitive(int32_t type, void* vertices, int32_t count) {
    const LgIm2DRenderPrimitiveFunc draw = LgEngineInstancePtr->device.im2DRenderPrimitive;
    return draw != nullptr ? draw(type, vertices, count) : 0;
}

int32_t LgIm2DRenderIndexedPrimitive(int32_t type, void* vertices, int32_t vertexCount,
                                     const uint16_t* indices, int32_t indexCount) {
    const LgIm2DRenderIndexedPrimitiveFunc draw =
        LgEngineInstancePtr->device.im2DRenderIndexedPrimitive;
    return draw != nullptr ? draw(type, vertices, vertexCount, indices, indexCount) : 0;
}

float LgDeviceGetNearDepth() {
    return LgEngineInstancePtr->device.zBufferNear;
}

float LgDeviceGetFarDepth() {
    return LgEngineInstancePtr->device.zBufferFar;
}

void* LgIm3DTransform(const void* vertices, int32_t count, const LgMatrix* matrix, uint32_t flags) {
    LgPipeline* pipeline = LgIm3DGetPipeline();
    if (pipeline == nullptr) return nullptr;
    if (LgPipelinePush(pipeline) == nullptr) {
        LgPipelinePop();
        return nullptr;
    }
    const LgIm3DContext* context = LgIm3DGlobal.current;
    LgIm3DTransformRequest request = {vertices, count, flags, matrix};
    LgPipelineExecute(&request);
    // The instance stage fills the context only when it accepted the batch.
    if (context == nullptr || count <= 0 || context->count != count) {
        LgPipelinePop();
        return nullptr;
    }
    return const_cast<void*>(vertices);
}

int32_t LgIm3DRenderTriangle(int32_t i0, int32_t i1, int32_t i2) {
    refresh_shading();
    const LgIm3DRenderTriangleFunc draw = LgEngineInstancePtr->device.im3DRenderTriangle;
    return draw != nullptr ? draw(i0, i1, i2) : 0;
}

int32_t LgIm3DRenderLine(int32_t i0, int32_t i1) {
    refresh_shading();
    const LgIm3DRenderLineFunc draw = LgEngineInstancePtr->device.im3DRenderLine;
    return draw != nullptr ? draw(i0, i1) : 0;
}

int32_t LgIm3DRenderPrimitive(int32_t type) {
    LgPhaseScope phase(LgPhaseTransformClip);
    refresh_shading();
    const LgIm3DRenderPrimitiveFunc draw = LgEngineInstancePtr->device.im3DRenderPrimitive;
    return draw != nullptr ? draw(type) : 0;
}

int32_t LgIm3DRenderIndexedPrimitive(int32_t type, const uint16_t* indices, int32_t count) {
    LgPhaseScope phase(LgPhaseTransformClip);
    refresh_shading();
    const LgIm3DRenderIndexedPrimitiveFunc draw =
        LgEngineInstancePtr->device.im3DRenderIndexedPrimitive;
    return draw != nullptr ? draw(type, indices, count) : 0;
}

int32_t LgIm3DEnd() {
    if (LgIm3DGlobal.depth == 0) return 0;
    LgPipelinePop();
    return 1;
}

int32_t LgIm3DAddTriangle(int32_t i0, int32_t i1, int32_t i2) {
    if (!triangles.make_room(triangleSlack, triangleGrowth)) return 0;
    uint16_t* e = triangles.entries + triangles.used;
    e[0] = static_cast<uint16_t>(i0);
    e[1] = static_cast<uint16_t>(i1);
    e[2] = static_cast<uint16_t>(i2);
    triangles.used += 3;
    return 1;
}

int32_t LgIm3DAddLine(int32_t i0, int32_t i1) {
    if (!lines.make_room(lineSlack, lineGrowth)) return 0;
    lines.entries[lines.used] = static_cast<uint16_t>(i0);
    lines.entries[lines.used + 1] = static_cast<uint16_t>(i1);
    lines.used += 2;
    return 1;
}

int32_t LgIm3DReserveIndices(int32_t triangleCount) {
    if (triangleCount < 0 || triangleCount > (1 << 24)) return 0;
    return triangles.make_room(3 * triangleCount + triangleSlack,
                               3 * triangleCount + triangleGrowth);
}

int32_t LgIm3DFlush() {
    const LgIm3DContext* c = LgIm3DGlobal.current;
    if (c != nullptr) {
        void* vertices = LgIm3DGlobal.screenVertices + c->first;
        const int32_t vertexCount = c->nextFree - c->first;
        if (triangles.used > 0)
            LgIm2DRenderIndexedPrimitive(LgPrimTriList, vertices, vertexCount, triangles.entries,
                                         triangles.used);
        if (lines.used > 0)
            LgIm2DRenderIndexedPrimitive(LgPrimLineList, vertices, vertexCount, lines.entries,
                                         lines.used);
    }
    LgIm3DResetIndices();
    return 1;
}

void LgIm3DResetIndices() {
    triangles.used = 0;
    lines.used = 0;
}

LgCamera* LgImmediateCameraSetup(LgCamera* camera) {
    LgIm3DProjection& p = LgIm3DGlobal.projection;
    const LgRaster* raster = camera->frameBuffer;
    p.xScale = raster != nullptr ? static_cast<float>(raster->width) : 0.0f;
    p.yScale = raster != nullptr ? static_cast<float>(raster->height) : 0.0f;
    p.xOffset = raster != nullptr ? raster->offsetX : 0.0f;
    p.yOffset = raster != nullptr ? raster->offsetY : 0.0f;
    p.zScale = camera->zScale;
    p.zOffset = camera->zShift;
    p.nearClip = camera->nearPlane;
    p.farClip = camera->farPlane;
    const bool parallel = camera->projection == LgCameraParallel;
    p.nearScreenZ =
        camera->zScale * (parallel ? camera->nearPlane : 1.0f / camera->nearPlane) + camera->zShift;
    p.farScreenZ =
        camera->zScale * (parallel ? camera->farPlane : 1.0f / camera->farPlane) + camera->zShift;
    p.fogStart = p.fogFromEye ? 0.0f : camera->fogPlane;
    p.fogEnd = camera->farPlane;
    p.fogScale = p.fogEnd > p.fogStart ? 255.0f / (p.fogEnd - p.fogStart) : 0.0f;
    LgIm3DSetProjection(camera->projection);
    LgRenderStateSet(LgRenderStateZTest, word(1));
    LgRenderStateSet(LgRenderStateZWrite, word(1));
    return camera;
}

void* LgImmediateOpen(void* instance, int32_t, int32_t) {
    LgIm3DState& s = LgIm3DGlobal;
    s = LgIm3DState{};
    if (!triangles.make_room(initialIndexEntries, initialIndexEntries) ||
        !lines.make_room(initialIndexEntries, initialIndexEntries) ||
        !LgIm3DReserveVertices(LgIm3DMinVertices)) {
        free_buffers();
        return nullptr;
    }
    s.hooks.begin = batch_begin;
    s.hooks.submitTriangle = batch_triangle;
    s.hooks.submitLine = batch_line;
    s.hooks.end = batch_end;
    LgIm3DSetProjection(LgCameraPerspective);
    s.gouraud = 1;
    // Linear fog until the device sets a table: the fog factor falls from 255 to 0.
    for (uint32_t i = 0; i < 256; ++i) s.projection.fogTable[i] = (255 - i) << 24;
    LgDeviceRecord& device = static_cast<LgEngineInstance*>(instance)->device;
    device.im3DRenderTriangle = LgIm3DDrawTriangle;
    device.im3DRenderPrimitive = LgIm3DDrawPrimitive;
    device.im3DRenderIndexedPrimitive = LgIm3DDrawIndexedPrimitive;
    device.im3DRenderLine = LgIm3DDrawLine;
    LgPipelineSetOpenClose(LgIm3DPushContext, LgIm3DPopContext);
    return instance;
}

void* LgImmediateClose(void* instance, int32_t, int32_t) {
    LgPipelineSetOpenClose(nullptr, nullptr);
    free_buffers();
    return instance;
}
