// Screen-space drawing on the device and the deferral of translucent geometry: its state at
// start and stop, the draw-at-once paths and the records that carry geometry to end update.
#include "engine/driver/lg_d3d_immediate.h"

#include "engine/core/lg_phase_timing.h"
#include "engine/driver/lg_d3d_camera.h"
#include "engine/driver/lg_d3d_device.h"
#include "engine/driver/lg_d3d_fog.h"

#include <algorithm>
#include <cstring>

using namespace platform;

LgD3DImmediateState LgD3DImmediate{};

namespace {

constexpr uint32_t drawFlags = D3DDP_WAIT | D3DDP_DONOTCLIP;
constexpr size_t initialIndexEntries = 16;
constexpr uint16_t notRemapped = 0xFFFF;
// Sixteen-bit indices reach this many vertices; 0xFFFF stays free to mark unmapped ones.
constexpr int32_t maxIndexedVertices = 0xFFFF;
constexpr int32_t maxDrawVertices = 0xFFFF;
constexpr size_t recordAlign = 8;

struct PrimitiveType {
    uint32_t d3d;
    int32_t (*primitives)(int32_t n);
};

int32_t half(int32_t n) {
    return n / 2;
}
int32_t third(int32_t n) {
    return n / 3;
}
int32_t less_one(int32_t n) {
    return n > 1 ? n - 1 : 0;
}
int32_t less_two(int32_t n) {
    return n > 2 ? n - 2 : 0;
}

// Engine primitive types 1-5.
constexpr PrimitiveType primitiveTypes[] = {
    {0, nullptr},
    {D3DPT_LINELIST, half},
    {D3DPT_LINESTRIP, less_one},
    {D3DPT_TRIANGLELIST, third},
    {D3DPT_TRIANGLESTRIP, less_two},
    {D3DPT_TRIANGLEFAN, less_two},
};

const PrimitiveType* primitive_type(int32_t type) {
    return type >= 1 && type <= 5 ? &primitiveTypes[type] : nullptr;
}

IDirect3DDevice3* device() {
    const LgD3DRenderTarget* target = LgD3DDriver.currentTarget;
    return target != nullptr ? target->device : nullptr;
}

bool should_defer() {
    const LgD3DRenderStateCache& c = LgD3DDriver.renderStates;
    return c.deferral != 0 && c.deferralSub == 0 && c.zTest != 0 &&
           (c.vertexAlpha != 0 || c.textureAlpha != 0);
}

int32_t draw_indexed(uint32_t type, void* vertices, uint32_t vertexCount, const uint16_t* indices,
                     uint32_t indexCount) {
    LgPhaseScope phase(LgPhaseRasterisation);
    return succeeded(device()->DrawIndexedPrimitive(type, D3DFVF_TLVERTEX, vertices, vertexCount,
                                                    const_cast<uint16_t*>(indices), indexCount,
                                                    drawFlags))
               ? 1
               : 0;
}

int32_t draw_plain(uint32_t type, void* vertices, uint32_t count) {
    LgPhaseScope phase(LgPhaseRasterisation);
    return succeeded(device()->DrawPrimitive(type, D3DFVF_TLVERTEX, vertices, count, drawFlags))
               ? 1
               : 0;
}

size_t record_header_bytes() {
    return (sizeof(LgD3DPrimitiveRecord) + recordAlign - 1) & ~(recordAlign - 1);
}

// A line or triangle record: the state block and the copied vertices.
struct SmallRecord {
    LgD3DStateBlock block;
    LgIm3DScreenVertex vertices[3];
};

void replay_triangle(void* data) {
    auto* r = static_cast<SmallRecord*>(data);
    LgD3DApplyStateBlock(&r->block);
    draw_plain(D3DPT_TRIANGLELIST, r->vertices, 3);
}

void replay_line(void* data) {
    auto* r = static_cast<SmallRecord*>(data);
    LgD3DApplyStateBlock(&r->block);
    draw_plain(D3DPT_LINELIST, r->vertices, 2);
}

// Copies the addressed vertices with the current states; false when the buffer cannot take
// the record.
bool defer_small(const LgIm3DScreenVertex* vertices, const int32_t* indices, int32_t count,
                 LgDeferredCall replay) {
    auto* r = static_cast<SmallRecord*>(
        LgDeferredBufferAdd(LgD3DDriver.deferred, sizeof(SmallRecord), replay));
    if (r == nullptr) return false;
    LgD3DCaptureStateBlock(&r->block);
    for (int32_t i = 0; i < count; ++i) r->vertices[i] = vertices[indices[i]];
    ++LgD3DImmediate.deferredPrimitives;
    return true;
}

LgD3DPrimitiveRecord* new_primitive_record(uint32_t type, uint32_t vertexCount, uint32_t indexCount,
                                           int32_t primitives) {
    const size_t bytes = record_header_bytes() + vertexCount * sizeof(LgIm3DScreenVertex) +
                         indexCount * sizeof(uint16_t);
    auto* r = static_cast<LgD3DPrimitiveRecord*>(
        LgDeferredBufferAdd(LgD3DDriver.deferred, bytes, LgD3DReplayPrimitive));
    if (r == nullptr) return nullptr;
    LgD3DCaptureStateBlock(&r->block);
    r->primitiveType = type;
    r->vertexCount = vertexCount;
    r->indexCount = indexCount;
    LgD3DImmediate.deferredPrimitives += static_cast<size_t>(primitives);
    return r;
}

bool grow_compaction(size_t count) {
    LgD3DImmediateState& s = LgD3DImmediate;
    if (s.compactionCapacity >= count) return true;
    for (uint16_t** array : {&s.remap, &s.usedVertices}) {
        auto* grown = static_cast<uint16_t*>(LgD3DRealloc(*array, count * sizeof(uint16_t)));
        if (grown == nullptr) return false;
        *array = grown;
    }
    s.compactionCapacity = count;
    return true;
}

// Keeps only the vertices the indices use, renumbered in first-use order.
bool defer_indexed(const PrimitiveType& type, const LgIm3DScreenVertex* vertices,
                   int32_t vertexCount, const uint16_t* indices, int32_t indexCount) {
    LgD3DImmediateState& s = LgD3DImmediate;
    if (!grow_compaction(static_cast<size_t>(vertexCount))) return false;
    std::fill(s.remap, s.remap + vertexCount, notRemapped);
    uint16_t used = 0;
    for (int32_t i = 0; i < indexCount; ++i) {
        if (s.remap[indices[i]] == notRemapped) {
            s.remap[indices[i]] = used;
            s.usedVertices[used++] = indices[i];
        }
    }
    LgD3DPrimitiveRecord* r = new_primitive_record(
        type.d3d, used, static_cast<uint32_t>(indexCount), type.primitives(indexCount));
    if (r == nullptr) return false;
    LgIm3DScreenVertex* v = LgD3DRecordVertices(r);
    for (uint16_t i = 0; i < used; ++i) v[i] = vertices[s.usedVertices[i]];
    uint16_t* x = LgD3DRecordIndices(r);
    for (int32_t i = 0; i < indexCount; ++i) x[i] = s.remap[indices[i]];
    return true;
}

bool defer_plain(const PrimitiveType& type, const LgIm3DScreenVertex* vertices, int32_t count) {
    LgD3DPrimitiveRecord* r =
        new_primitive_record(type.d3d, static_cast<uint32_t>(count), static_cast<uint32_t>(count),
                             type.primitives(count));
    if (r == nullptr) return false;
    std::memcpy(LgD3DRecordVertices(r), vertices, static_cast<size_t>(count) * sizeof(*vertices));
    uint16_t* x = LgD3DRecordIndices(r);
    for (int32_t i = 0; i < count; ++i) x[i] = static_cast<uint16_t>(i);
    return true;
}

bool valid_index(int32_t i) {
    return i >= 0 && i <= maxIndexedVertices;
}

// Without a device in a camera update, nothing can be drawn.
bool can_draw(const void* vertices) {
    return vertices != nullptr && device() != nullptr && !LgD3DImmediate.flushing;
}

template <int32_t N>
int32_t draw_small(void* vertices, const int32_t (&i)[N], uint32_t listType,
                   LgDeferredCall replay) {
    if (!can_draw(vertices)) return 0;
    int32_t highest = 0;
    for (int32_t k : i) {
        if (!valid_index(k)) return 0;
        highest = std::max(highest, k);
    }
    const auto* v = static_cast<const LgIm3DScreenVertex*>(vertices);
    if (should_defer() && defer_small(v, i, N, replay)) return 1;
    uint16_t indices[N];
    for (int32_t k = 0; k < N; ++k) indices[k] = static_cast<uint16_t>(i[k]);
    return draw_indexed(listType, vertices, static_cast<uint32_t>(highest + 1), indices, N);
}

} // namespace

LgIm3DScreenVertex* LgD3DRecordVertices(LgD3DPrimitiveRecord* record) {
    return reinterpret_cast<LgIm3DScreenVertex*>(reinterpret_cast<uint8_t*>(record) +
                                                 record_header_bytes());
}

uint16_t* LgD3DRecordIndices(LgD3DPrimitiveRecord* record) {
    return reinterpret_cast<uint16_t*>(LgD3DRecordVertices(record) + record->vertexCount);
}

bool LgD3DReserveIndexBuffer(size_t count) {
    LgD3DImmediateState& s = LgD3DImmediate;
    if (s.indexCapacity >= count) return true;
    const size_t wanted = count + 20;
    auto* grown = static_cast<uint16_t*>(LgD3DRealloc(s.indexBuffer, wanted * sizeof(uint16_t)));
    if (grown == nullptr) return false;
    s.indexBuffer = grown;
    s.indexCapacity = wanted;
    return true;
}

int32_t LgD3DIm2DRenderLine(void* vertices, int32_t i0, int32_t i1) {
    return draw_small<2>(vertices, {i0, i1}, D3DPT_LINELIST, replay_line);
}

int32_t LgD3DIm2DRenderTriangle(void* vertices, int32_t i0, int32_t i1, int32_t i2) {
    return draw_small<3>(vertices, {i0, i1, i2}, D3DPT_TRIANGLELIST, replay_triangle);
}

int32_t LgD3DIm2DRenderPrimitive(int32_t type, void* vertices, int32_t count) {
    const PrimitiveType* t = primitive_type(type);
    if (t == nullptr || !can_draw(vertices) || count < 0 || count > maxDrawVertices) return 0;
    const auto* v = static_cast<const LgIm3DScreenVertex*>(vertices);
    if (should_defer() && defer_plain(*t, v, count)) return 1;
    return draw_plain(t->d3d, vertices, static_cast<uint32_t>(count));
}

int32_t LgD3DIm2DRenderIndexedPrimitive(int32_t type, void* vertices, int32_t vertexCount,
                                        const uint16_t* indices, int32_t indexCount) {
    const PrimitiveType* t = primitive_type(type);
    if (t == nullptr || !can_draw(vertices) || indices == nullptr || vertexCount < 0 ||
        vertexCount > maxIndexedVertices || indexCount < 0)
        return 0;
    for (int32_t i = 0; i < indexCount; ++i)
        if (indices[i] >= vertexCount) return 0;
    const auto* v = static_cast<const LgIm3DScreenVertex*>(vertices);
    if (should_defer() && defer_indexed(*t, v, vertexCount, indices, indexCount)) return 1;
    return draw_indexed(t->d3d, vertices, static_cast<uint32_t>(vertexCount), indices,
                        static_cast<uint32_t>(indexCount));
}

int32_t LgD3DImmediateOpen() {
    LgD3DDriverState& d = LgD3DDriver;
    LgD3DImmediateState& s = LgD3DImmediate;
    if (d.deferred == nullptr) d.deferred = LgDeferredBufferCreate();
    if (d.deferred == nullptr) return 0;
    s.indexBuffer = static_cast<uint16_t*>(LgD3DAlloc(initialIndexEntries * sizeof(uint16_t)));
    if (s.indexBuffer == nullptr) {
        LgD3DImmediateClose();
        return 0;
    }
    s.indexCapacity = initialIndexEntries;
    s.sortCount = 0;
    s.deferredPrimitives = 0;
    s.flushing = false;
    if (LgDeviceRecord* record = d.engineRecord) {
        record->im2DRenderLine = LgD3DIm2DRenderLine;
        record->im2DRenderTriangle = LgD3DIm2DRenderTriangle;
        record->im2DRenderPrimitive = LgD3DIm2DRenderPrimitive;
        record->im2DRenderIndexedPrimitive = LgD3DIm2DRenderIndexedPrimitive;
    }
    LgD3DSetCurrentFogTable(LgD3DLinearFogTable());
    d.fogStart = 0.0f;
    d.fogScale = 0.0f;
    LgD3DBuildFogTables(1.0f);
    return 1;
}

void LgD3DImmediateClose() {
    LgD3DImmediateState& s = LgD3DImmediate;
    LgD3DFree(s.indexBuffer);
    LgDeferredBufferDestroy(LgD3DDriver.deferred);
    LgD3DDriver.deferred = nullptr;
    LgD3DFree(s.remap);
    LgD3DFree(s.usedVertices);
    LgD3DFree(s.sortEntries);
    s = LgD3DImmediateState{};
}
