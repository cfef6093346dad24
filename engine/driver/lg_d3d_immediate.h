// The driver's immediate-mode renderer: screen-space lines, triangles and primitives sent to
// Direct3D (device record words 6-9), and translucent geometry deferred with its render states
// until camera end update, then drawn back to front in merged runs.
#pragma once

#include "engine/driver/lg_d3d_render_states.h"

struct LgIm3DScreenVertex;

// Device record words 6-9. Vertices are LgIm3DScreenVertex records; indices address them.
// 1 when drawn or deferred; 0 for a primitive type outside 1-5, an index outside the
// vertices, or no current render target.
int32_t LgD3DIm2DRenderLine(void* vertices, int32_t i0, int32_t i1);
int32_t LgD3DIm2DRenderTriangle(void* vertices, int32_t i0, int32_t i1, int32_t i2);
int32_t LgD3DIm2DRenderPrimitive(int32_t type, void* vertices, int32_t count);
int32_t LgD3DIm2DRenderIndexedPrimitive(int32_t type, void* vertices, int32_t vertexCount,
                                        const uint16_t* indices, int32_t indexCount);

// A deferred primitive: the states it is drawn with, its Direct3D primitive type and its own
// copy of the vertices and 16-bit indices, which follow the record.
struct LgD3DPrimitiveRecord {
    LgD3DStateBlock block;
    uint32_t primitiveType;
    uint32_t vertexCount;
    uint32_t indexCount;
};

// One translucent line or triangle of a primitive record, ordered by its depth key.
struct LgD3DSortEntry {
    LgD3DPrimitiveRecord* record;
    uint16_t* indices; // its first index inside the record
    uint16_t indexCount;
    uint16_t primitiveType; // line list or triangle list
    float key;              // the sum of its vertices' screen z
};

// Buffers of the renderer that live from start to stop and only grow.
struct LgD3DImmediateState {
    uint16_t* indexBuffer; // merged runs
    size_t indexCapacity;
    LgD3DSortEntry* sortEntries;
    size_t sortCapacity;
    size_t sortCount;
    size_t deferredPrimitives; // sizes the sort array
    uint16_t* remap;           // compaction of indexed primitives: new number per vertex
    uint16_t* usedVertices;    // and the vertices used, in first-use order
    size_t compactionCapacity;
    bool flushing;
};

extern LgD3DImmediateState LgD3DImmediate;

// The vertices and indices stored after a record.
LgIm3DScreenVertex* LgD3DRecordVertices(LgD3DPrimitiveRecord* record);
uint16_t* LgD3DRecordIndices(LgD3DPrimitiveRecord* record);

// Replay of a primitive record: a fan is drawn at once, any other primitive adds one sort
// entry per line or triangle.
void LgD3DReplayPrimitive(void* record);
// Makes room for `count` indices in the merge buffer (and 20 more); false without memory.
bool LgD3DReserveIndexBuffer(size_t count);
