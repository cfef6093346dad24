// The program-wide immediate-mode 3D state: its vertex buffers and the stack of open
// transform contexts.
#include "engine/core/lg_im3d.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"

#include <algorithm>

LgIm3DState LgIm3DGlobal{};

namespace {

// Grows one buffer to `entries` entries of `size` bytes; false (buffer unchanged) on failure.
template <typename T>
bool grow(T*& buffer, int32_t entries, size_t size) {
    void* grown = LgEngineInstancePtr->memoryFunctions.realloc(buffer, entries * size);
    if (grown == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return false;
    }
    buffer = static_cast<T*>(grown);
    return true;
}

// Far beyond any vertex batch the engine draws, and small enough that sizes cannot overflow.
constexpr int32_t maxVertices = 1 << 24;

} // namespace

int32_t LgIm3DReserveVertices(int32_t count) {
    LgIm3DState& s = LgIm3DGlobal;
    if (count < 0 || count > maxVertices - s.inUse) return 0;
    const int32_t needed = std::max(s.inUse + count, LgIm3DMinVertices);
    if (s.capacity >= needed) return 1;
    // Each buffer that grew keeps its new size; the capacity is what both can hold.
    if (!grow(s.cameraVertices, needed, sizeof(LgIm3DCameraVertex))) return 0;
    if (!grow(s.screenVertices, needed, sizeof(LgIm3DScreenVertex))) return 0;
    if (!grow(s.vertexMarks, (needed + 31) / 8, 1)) return 0;
    s.capacity = needed;
    return 1;
}

int32_t LgIm3DPushContext(LgPipeline*) {
    LgIm3DState& s = LgIm3DGlobal;
    if (s.depth == LgIm3DContextStackSize) return 0;
    LgIm3DContext& c = s.contexts[s.depth++];
    c.first = s.inUse;
    c.count = 0;
    c.nextFree = s.inUse;
    // Nothing is drawn until a transform has filled the context.
    c.nothingToDraw = ~0u;
    c.anyClipped = 0;
    c.perVertex = nullptr;
    s.current = &c;
    return 1;
}

int32_t LgIm3DPopContext() {
    LgIm3DState& s = LgIm3DGlobal;
    if (s.depth == 0) return 0;
    s.inUse = s.contexts[--s.depth].first;
    s.current = s.depth > 0 ? &s.contexts[s.depth - 1] : nullptr;
    return 1;
}
