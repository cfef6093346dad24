// The clump chunk and its children: the frame list, the geometry list and the atomics, with
// every count and index checked before it is used.
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_stream.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"

#include <cstring>

namespace {

constexpr uint32_t frameRecordSize = 56;
constexpr uint32_t atomicStructSize = 16;    // frame, geometry, flags, reserved
constexpr uint32_t oldAtomicStructSize = 12; // frame, flags, reserved
constexpr float orthonormalTolerance = 0.01f;
constexpr float minimumDeterminant = 0.99f;

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

void fail_short() {
    LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
}

void fail_bad_data() {
    LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
}

// Reads a struct chunk's leading words; a longer struct has the rest skipped.
bool read_struct(LgStream* stream, void* record, uint32_t size, uint32_t* version = nullptr) {
    uint32_t length = 0, found = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, &found)) return false;
    if (version != nullptr) *version = found;
    if (length < size) {
        fail_short();
        return false;
    }
    return LgStreamReadInt32s(stream, record, size) != nullptr &&
           LgStreamSkip(stream, length - size) != nullptr;
}

void set_matrix(LgMatrix* m, const float* rows) {
    m->right = {rows[0], rows[1], rows[2]};
    m->up = {rows[3], rows[4], rows[5]};
    m->at = {rows[6], rows[7], rows[8]};
    m->pos = {rows[9], rows[10], rows[11]};
    const bool orthonormal = LgMatrixNormalError(m) <= orthonormalTolerance &&
                             LgMatrixOrthogonalError(m) <= orthonormalTolerance &&
                             LgMatrixDeterminant(m) >= minimumDeterminant;
    m->flags = orthonormal ? LgMatrixFlagOrthonormal : 0;
}

// Frames only ever hang below earlier ones, so frame 0's hierarchy holds them all.
void destroy_frames(LgFrameList* list) {
    if (list->numFrames > 0) LgFrameDestroyHierarchy(list->frames[0]);
    LgFrameListDeinit(list);
}

bool read_frames(LgStream* stream, LgFrameList* list, uint32_t count) {
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t record[frameRecordSize / 4];
        if (LgStreamReadInt32s(stream, record, frameRecordSize) == nullptr) return false;
        const auto parent = static_cast<int32_t>(record[12]);
        // Every frame but the root names an earlier frame as its parent; a second root would
        // fall outside the clump's hierarchy.
        if (k == 0 ? parent >= 0 : parent < 0 || static_cast<uint32_t>(parent) >= k) {
            fail_bad_data();
            return false;
        }
        LgFrame* frame = LgFrameCreate();
        if (frame == nullptr) return false;
        float rows[12];
        std::memcpy(rows, record, sizeof(rows));
        set_matrix(&frame->modelling, rows);
        LgFrameMarkDirty(frame);
        list->frames[list->numFrames++] = frame;
        if (k > 0 && LgFrameAddChild(list->frames[parent], frame) == nullptr) return false;
    }
    return true;
}

bool read_geometry_list(LgStream* stream, LgGeometryList* list) {
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkGeometryList, &length, nullptr)) return false;
    int32_t count = 0;
    if (!read_struct(stream, &count, 4)) return false;
    // Each geometry needs at least a chunk header, so the list's length bounds the count.
    if (count < 0 || static_cast<uint64_t>(count) * LgChunkHeaderSize > length) {
        fail_bad_data();
        return false;
    }
    if (count == 0) return true;
    list->geometries =
        static_cast<LgGeometry**>(memory().alloc(static_cast<size_t>(count) * sizeof(LgGeometry*)));
    if (list->geometries == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        LgGeometry* g = LgStreamFindChunk(stream, LgChunkGeometry, nullptr, nullptr)
                            ? LgGeometryStreamRead(stream)
                            : nullptr;
        if (g == nullptr) {
            fail_short();
            return false;
        }
        list->geometries[list->numGeometries++] = g;
    }
    return true;
}

void release_geometries(LgGeometryList* list) {
    for (int32_t i = 0; i < list->numGeometries; ++i) LgGeometryRelease(list->geometries[i]);
    if (list->geometries != nullptr) memory().free(list->geometries);
    *list = {nullptr, 0};
}

LgGeometry* read_inline_geometry(LgStream* stream) {
    LgGeometry* g = LgStreamFindChunk(stream, LgChunkGeometry, nullptr, nullptr)
                        ? LgGeometryStreamRead(stream)
                        : nullptr;
    if (g == nullptr) fail_short();
    return g;
}

bool read_atomics(LgStream* stream, LgClump* clump, int32_t count, const LgFrameList* frames,
                  const LgGeometryList* geometries) {
    for (int32_t i = 0; i < count; ++i) {
        LgAtomic* atomic = LgStreamFindChunk(stream, LgChunkAtomic, nullptr, nullptr)
                               ? LgAtomicStreamRead(stream, frames, geometries)
                               : nullptr;
        if (atomic == nullptr) {
            fail_short();
            return false;
        }
        LgClumpAddAtomic(clump, atomic);
    }
    return true;
}

} // namespace

LgFrameList* LgFrameListDeinit(LgFrameList* list) {
    if (list == nullptr) return nullptr;
    if (list->frames != nullptr) memory().free(list->frames);
    *list = {nullptr, 0};
    return list;
}

LgFrameList* LgFrameListStreamRead(LgStream* stream, LgFrameList* list) {
    if (stream == nullptr || list == nullptr) return nullptr;
    *list = {nullptr, 0};
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return nullptr;
    int32_t count = 0;
    if (length < 4 || LgStreamReadInt32s(stream, &count, 4) == nullptr) {
        fail_short();
        return nullptr;
    }
    if (count < 0 || static_cast<uint64_t>(count) * frameRecordSize > length - 4) {
        fail_bad_data();
        return nullptr;
    }
    if (count > 0) {
        list->frames =
            static_cast<LgFrame**>(memory().alloc(static_cast<size_t>(count) * sizeof(LgFrame*)));
        if (list->frames == nullptr) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
            return nullptr;
        }
    }
    const auto n = static_cast<uint32_t>(count);
    bool ok = read_frames(stream, list, n) &&
              LgStreamSkip(stream, length - 4 - n * frameRecordSize) != nullptr;
    for (int32_t k = 0; ok && k < list->numFrames; ++k)
        ok = LgPluginRegistryStreamReadExtension(&LgFrameRegistry, stream, list->frames[k]) !=
             nullptr;
    if (!ok) {
        destroy_frames(list);
        return nullptr;
    }
    return list;
}

LgAtomic* LgAtomicStreamRead(LgStream* stream, const LgFrameList* frames,
                             const LgGeometryList* geometries) {
    if (stream == nullptr || frames == nullptr) return nullptr;
    uint32_t length = 0, version = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, &version)) return nullptr;
    const bool withGeometryIndex = version == LgChunkVersion;
    const uint32_t size = withGeometryIndex ? atomicStructSize : oldAtomicStructSize;
    uint32_t record[4] = {0, 0, 0, 0};
    if (length < size) {
        fail_short();
        return nullptr;
    }
    if (LgStreamReadInt32s(stream, record, size) == nullptr ||
        LgStreamSkip(stream, length - size) == nullptr)
        return nullptr;
    const uint32_t frameIndex = record[0];
    const uint32_t geometryIndex = withGeometryIndex ? record[1] : 0;
    const uint32_t flags = withGeometryIndex ? record[2] : record[1];
    const bool fromList =
        withGeometryIndex && geometries != nullptr && geometries->numGeometries > 0;
    if ((frames->numFrames > 0 && frameIndex >= static_cast<uint32_t>(frames->numFrames)) ||
        (fromList && geometryIndex >= static_cast<uint32_t>(geometries->numGeometries))) {
        fail_bad_data();
        return nullptr;
    }
    LgAtomic* atomic = LgAtomicCreate();
    if (atomic == nullptr) return nullptr;
    atomic->object.header.flags = static_cast<uint8_t>(flags);
    if (frames->numFrames > 0) LgAtomicSetFrame(atomic, frames->frames[frameIndex]);
    if (fromList) {
        LgAtomicSetGeometry(atomic, geometries->geometries[geometryIndex], 0);
    } else {
        LgGeometry* g = read_inline_geometry(stream);
        if (g == nullptr) {
            LgAtomicDestroy(atomic);
            return nullptr;
        }
        LgAtomicSetGeometry(atomic, g, 0);
        LgGeometryRelease(g); // the atomic holds the only reference
    }
    if (LgPluginRegistryStreamReadExtension(&LgAtomicRegistry, stream, atomic) == nullptr) {
        fail_short();
        LgAtomicDestroy(atomic);
        return nullptr;
    }
    return atomic;
}

LgClump* LgClumpStreamRead(LgStream* stream) {
    if (stream == nullptr) return nullptr;
    int32_t numAtomics = 0;
    uint32_t version = 0;
    if (!read_struct(stream, &numAtomics, 4, &version)) return nullptr;
    if (numAtomics < 0) {
        fail_bad_data();
        return nullptr;
    }
    LgFrameList frames = {nullptr, 0};
    if (!LgStreamFindChunk(stream, LgChunkFrameList, nullptr, nullptr) ||
        LgFrameListStreamRead(stream, &frames) == nullptr) {
        fail_short();
        return nullptr;
    }
    LgGeometryList geometries = {nullptr, 0};
    if (version == LgChunkVersion && !read_geometry_list(stream, &geometries)) {
        release_geometries(&geometries);
        destroy_frames(&frames);
        return nullptr;
    }
    LgClump* clump = LgClumpCreate();
    if (clump == nullptr) {
        release_geometries(&geometries);
        destroy_frames(&frames);
        return nullptr;
    }
    clump->header.parent = frames.numFrames > 0 ? frames.frames[0] : nullptr;
    const bool ok = read_atomics(stream, clump, numAtomics, &frames, &geometries);
    release_geometries(&geometries);
    LgFrameListDeinit(&frames);
    if (!ok || LgPluginRegistryStreamReadExtension(&LgClumpRegistry, stream, clump) == nullptr) {
        fail_short();
        LgClumpDestroy(clump);
        return nullptr;
    }
    return clump;
}
