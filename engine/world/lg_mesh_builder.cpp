// The mesh module: header serial numbers, the mesh builder that collects triangles, the
// material order of meshes, and the header block with its empty stand-in.
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"
#include "engine/world/lg_mesh.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace {

LgModule meshModule;
// Builders are module-wide: made by the first open, destroyed by the last close.
LgFreeList* builderList = nullptr;
LgMeshHeader emptyHeader = {0, 0, 0, 0, 0};

constexpr int32_t buildersPerBlock = 50;

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

void fail_memory() {
    LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
}

void* mesh_open(void* instance, int32_t offset, int32_t) {
    if (meshModule.openCount == 0) {
        builderList = LgFreeListCreate(sizeof(LgMeshBuilder), buildersPerBlock, 0);
        if (builderList == nullptr) return nullptr;
    }
    LgModule::slice_of<LgMeshSlice>(instance, offset)->nextSerialNum = 1;
    meshModule.offset = offset;
    ++meshModule.openCount;
    return instance;
}

void* mesh_close(void* instance, int32_t, int32_t) {
    if (meshModule.openCount > 0 && --meshModule.openCount == 0 && builderList != nullptr) {
        LgFreeListDestroy(builderList);
        builderList = nullptr;
    }
    return instance;
}

// Meshes come opaque first, then transparent; within each class in the order of the
// materials' first entries in the owner's list, so the output does not depend on where
// materials happen to live in memory. Materials the list lacks follow in order of first use.
struct OrderKey {
    bool transparent;
    uint32_t rank;
    bool operator<(const OrderKey& o) const {
        return transparent != o.transparent ? !transparent : rank < o.rank;
    }
};

std::vector<OrderKey> order_keys(const LgMeshBuilder* builder, const LgMaterialList* order) {
    const uint32_t listed = order != nullptr ? static_cast<uint32_t>(order->numMaterials) : 0;
    std::vector<const LgMaterial*> unlisted;
    std::vector<OrderKey> keys(builder->numTriangles);
    for (uint32_t i = 0; i < builder->numTriangles; ++i) {
        const LgMaterial* m = builder->triangles[i].material;
        const int32_t index = m != nullptr ? LgMaterialListFindFirst(order, m) : -1;
        uint32_t rank;
        if (index >= 0) {
            rank = static_cast<uint32_t>(index);
        } else {
            auto it = std::find(unlisted.begin(), unlisted.end(), m);
            rank = listed + static_cast<uint32_t>(it - unlisted.begin());
            if (it == unlisted.end()) unlisted.push_back(m);
        }
        keys[i] = {LgMaterialIsTransparent(m), rank};
    }
    return keys;
}

LgMeshHeader* build(LgMeshBuilder* builder, uint32_t flags, const LgMaterialList* order) {
    const std::vector<OrderKey> keys = order_keys(builder, order);
    std::vector<uint32_t> position(builder->numTriangles);
    for (uint32_t i = 0; i < builder->numTriangles; ++i) position[i] = i;
    std::stable_sort(position.begin(), position.end(),
                     [&keys](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
    std::vector<const LgMeshBuilderTriangle*> sorted(builder->numTriangles);
    std::vector<uint32_t> groupEnds;
    for (uint32_t i = 0; i < builder->numTriangles; ++i) {
        sorted[i] = &builder->triangles[position[i]];
        if (i > 0 && sorted[i]->material != sorted[i - 1]->material) groupEnds.push_back(i);
    }
    groupEnds.push_back(builder->numTriangles);
    const auto groups = static_cast<uint32_t>(groupEnds.size());
    return (flags & LgMeshHeaderTriStrip) != 0
               ? LgMeshBuildStrips(sorted.data(), builder->numTriangles, groupEnds.data(), groups)
               : LgMeshBuildLists(sorted.data(), builder->numTriangles, groupEnds.data(), groups);
}

} // namespace

LgMeshHeader* LgMeshHeaderEmpty() {
    return &emptyHeader;
}

LgMeshBuilder* LgMeshBuilderCreate(uint32_t expectedTriangles) {
    if (meshModule.slice<LgMeshSlice>() == nullptr || builderList == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    auto* builder = static_cast<LgMeshBuilder*>(LgFreeListTake(builderList));
    if (builder == nullptr) {
        fail_memory();
        return nullptr;
    }
    *builder = {expectedTriangles, 0, nullptr};
    if (expectedTriangles > 0) {
        builder->triangles = static_cast<LgMeshBuilderTriangle*>(
            memory().alloc(static_cast<size_t>(expectedTriangles) * sizeof(LgMeshBuilderTriangle)));
        if (builder->triangles == nullptr) {
            LgFreeListGive(builderList, builder);
            fail_memory();
            return nullptr;
        }
    }
    return builder;
}

LgMeshBuilder* LgMeshBuilderAddTriangle(LgMeshBuilder* builder, LgMaterial* material, uint16_t a,
                                        uint16_t b, uint16_t c) {
    if (builder == nullptr) return nullptr;
    if (builder->numTriangles == builder->capacity) {
        const size_t bytes =
            (static_cast<size_t>(builder->capacity) + 1) * sizeof(LgMeshBuilderTriangle);
        void* grown = builder->triangles != nullptr ? memory().realloc(builder->triangles, bytes)
                                                    : memory().alloc(bytes);
        if (grown == nullptr) {
            fail_memory();
            return nullptr;
        }
        builder->triangles = static_cast<LgMeshBuilderTriangle*>(grown);
        ++builder->capacity;
    }
    builder->triangles[builder->numTriangles++] = {{a, b, c}, material};
    return builder;
}

LgMeshHeader* LgMeshBuilderFinish(LgMeshBuilder* builder, uint32_t flags,
                                  const LgMaterialList* order) {
    if (builder == nullptr) return nullptr;
    LgMeshHeader* header = nullptr;
    if (builder->numTriangles == 0) {
        header = &emptyHeader;
    } else {
        try {
            header = build(builder, flags, order);
        } catch (const std::bad_alloc&) {
            fail_memory();
            return nullptr;
        }
    }
    if (header != nullptr) LgMeshBuilderDestroy(builder);
    return header;
}

int32_t LgMeshBuilderDestroy(LgMeshBuilder* builder) {
    if (builder == nullptr || builderList == nullptr) return 0;
    if (builder->triangles != nullptr) memory().free(builder->triangles);
    LgFreeListGive(builderList, builder);
    return 1;
}

LgMeshHeader* LgMeshHeaderAllocate(uint32_t flags, uint32_t numMeshes, uint32_t totalIndices) {
    LgMeshSlice* s = meshModule.slice<LgMeshSlice>();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    if (numMeshes > 0xffff) {
        LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
        return nullptr;
    }
    const size_t bytes = sizeof(LgMeshHeader) + numMeshes * sizeof(LgMesh) +
                         static_cast<size_t>(totalIndices) * sizeof(uint16_t);
    auto* header = static_cast<LgMeshHeader*>(memory().alloc(bytes));
    if (header == nullptr) {
        fail_memory();
        return nullptr;
    }
    *header = {flags, static_cast<uint16_t>(numMeshes), s->nextSerialNum++, totalIndices, 0};
    LgMesh* meshes = LgMeshHeaderGetMeshes(header);
    std::memset(static_cast<void*>(meshes), 0, numMeshes * sizeof(LgMesh));
    if (numMeshes > 0) meshes[0].indices = reinterpret_cast<uint16_t*>(meshes + numMeshes);
    return header;
}

int32_t LgMeshHeaderDestroy(LgMeshHeader* header) {
    if (header != nullptr && header != &emptyHeader) memory().free(header);
    return 1;
}

LgMeshHeader* LgMeshHeaderForAllMeshes(LgMeshHeader* header, LgMeshCallBack callBack, void* data) {
    if (header == nullptr || callBack == nullptr) return header;
    LgMesh* meshes = LgMeshHeaderGetMeshes(header);
    for (uint32_t i = 0; i < header->numMeshes; ++i)
        if (callBack(&meshes[i], header, data) == nullptr) break;
    return header;
}

int32_t LgMeshModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgMeshSlice), LgModuleMesh, mesh_open, mesh_close);
}
