// The deferred translucent geometry at end update: replayed into a sort array, ordered far to
// near, and drawn in runs that share a record's states and vertices.
#include "engine/core/lg_phase_timing.h"
#include "engine/driver/lg_d3d_camera.h"
#include "engine/driver/lg_d3d_immediate.h"

#include <algorithm>
#include <bit>

using namespace platform;

namespace {

constexpr uint32_t drawFlags = D3DDP_WAIT | D3DDP_DONOTCLIP;

IDirect3DDevice3* device() {
    const LgD3DRenderTarget* target = LgD3DDriver.currentTarget;
    return target != nullptr ? target->device : nullptr;
}

void add_entry(LgD3DPrimitiveRecord* record, uint16_t* indices, uint16_t count, uint16_t type) {
    LgD3DImmediateState& s = LgD3DImmediate;
    // The array was sized by the primitives counted at deferral; nothing more can come.
    if (s.sortCount == s.sortCapacity) return;
    const LgIm3DScreenVertex* v = LgD3DRecordVertices(record);
    float key = 0.0f;
    for (uint16_t i = 0; i < count; ++i) key += v[indices[i]].z;
    s.sortEntries[s.sortCount++] = {record, indices, count, type, key};
}

bool reserve_sort_entries(size_t count) {
    LgD3DImmediateState& s = LgD3DImmediate;
    if (s.sortCapacity >= count) return true;
    auto* grown =
        static_cast<LgD3DSortEntry*>(LgD3DRealloc(s.sortEntries, count * sizeof(LgD3DSortEntry)));
    if (grown == nullptr) return false;
    s.sortEntries = grown;
    s.sortCapacity = count;
    return true;
}

// Depth keys order by their bits read as signed integers: for the non-negative sums of
// screen depths this is far to near, and it is the order stored scenes were tuned against.
int32_t key_bits(const LgD3DSortEntry& e) {
    return std::bit_cast<int32_t>(e.key);
}

void draw_runs() {
    LgD3DImmediateState& s = LgD3DImmediate;
    size_t start = 0;
    while (start < s.sortCount) {
        LgD3DPrimitiveRecord* record = s.sortEntries[start].record;
        size_t end = start;
        size_t indices = 0;
        while (end < s.sortCount && s.sortEntries[end].record == record)
            indices += s.sortEntries[end++].indexCount;
        if (LgD3DReserveIndexBuffer(indices)) {
            uint16_t* out = s.indexBuffer;
            for (size_t i = start; i < end; ++i)
                out = std::copy_n(s.sortEntries[i].indices, s.sortEntries[i].indexCount, out);
            LgD3DApplyStateBlock(&record->block);
            LgPhaseScope phase(LgPhaseRasterisation);
            device()->DrawIndexedPrimitive(
                s.sortEntries[start].primitiveType, D3DFVF_TLVERTEX, LgD3DRecordVertices(record),
                record->vertexCount, s.indexBuffer, static_cast<uint32_t>(indices), drawFlags);
        }
        start = end;
    }
}

void empty_buffer() {
    LgDeferredBufferReset(LgD3DDriver.deferred);
    LgD3DImmediate.deferredPrimitives = 0;
    LgD3DImmediate.sortCount = 0;
}

} // namespace

void LgD3DReplayPrimitive(void* data) {
    auto* r = static_cast<LgD3DPrimitiveRecord*>(data);
    uint16_t* x = LgD3DRecordIndices(r);
    const uint32_t n = r->indexCount;
    switch (r->primitiveType) {
    case D3DPT_TRIANGLEFAN:
        // Fans are drawn whole, in replay order: their triangles share the centre vertex.
        LgD3DApplyStateBlock(&r->block);
        {
            LgPhaseScope phase(LgPhaseRasterisation);
            device()->DrawIndexedPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX,
                                           LgD3DRecordVertices(r), r->vertexCount, x, n, drawFlags);
        }
        break;
    case D3DPT_LINELIST:
        for (uint32_t i = 0; i + 1 < n; i += 2) add_entry(r, x + i, 2, D3DPT_LINELIST);
        break;
    case D3DPT_LINESTRIP:
        for (uint32_t i = 0; i + 1 < n; ++i) add_entry(r, x + i, 2, D3DPT_LINELIST);
        break;
    case D3DPT_TRIANGLELIST:
        for (uint32_t i = 0; i + 2 < n; i += 3) add_entry(r, x + i, 3, D3DPT_TRIANGLELIST);
        break;
    case D3DPT_TRIANGLESTRIP:
        for (uint32_t i = 0; i + 2 < n; ++i) add_entry(r, x + i, 3, D3DPT_TRIANGLELIST);
        break;
    default: break;
    }
}

void LgD3DFlushDeferred() {
    LgD3DDriverState& d = LgD3DDriver;
    LgD3DImmediateState& s = LgD3DImmediate;
    LgDeferredBuffer* buffer = d.deferred;
    if (buffer == nullptr || s.flushing) return;
    if (buffer->count == 0 || device() == nullptr) {
        empty_buffer();
        return;
    }
    s.flushing = true;
    LgPhaseScope phase(LgPhaseTranslucentSort);
    const LgD3DRenderStateCache saved = d.renderStates;
    if (reserve_sort_entries(s.deferredPrimitives)) {
        s.sortCount = 0;
        LgDeferredBufferReplay(buffer, d.replayOrder);
        std::stable_sort(s.sortEntries, s.sortEntries + s.sortCount,
                         [](const LgD3DSortEntry& a, const LgD3DSortEntry& b) {
                             return key_bits(a) > key_bits(b);
                         });
        draw_runs();
    }
    empty_buffer();
    LgD3DRestoreRenderStates(saved);
    s.flushing = false;
}
