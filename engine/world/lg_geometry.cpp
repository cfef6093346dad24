// Geometries: creation with their vertex arrays, morph targets, reference counts, lock and
// unlock around edits (the unlock rebuilds the mesh header) and destruction.
#include "engine/world/lg_geometry.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"
#include "engine/world/lg_mesh.h"

#include <cstring>

LgPluginRegistry LgGeometryRegistry = LgPluginRegistryMake(sizeof(LgGeometry));

namespace {

LgModule geometryModule;

constexpr int32_t geometriesPerBlock = 20;
constexpr int32_t maxVertices = 65536; // triangles name vertices with 16-bit indices
constexpr LgSurfaceProperties defaultSurface = {1.0f, 1.0f, 1.0f};

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

void* allocate(size_t bytes) {
    void* block = memory().alloc(bytes);
    if (block == nullptr) LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
    return block;
}

void free_block(void* block) {
    if (block != nullptr) memory().free(block);
}

// Frees everything a geometry owns, whether or not its construction finished.
void destroy_contents(LgGeometry* g) {
    free_block(g->preLitLum);
    free_block(g->texCoords);
    for (int32_t i = g->numMorphTargets - 1; i >= 0; --i) free_block(g->morphTarget[i].verts);
    free_block(g->morphTarget);
    if (g->triangles != nullptr) {
        for (int32_t i = 0; i < g->numTriangles; ++i) {
            LgTriangle& t = g->triangles[i];
            if (t.matIndex != LgTriangleNoMaterial && t.matIndex < g->matList.numMaterials) {
                LgMaterialRelease(LgMaterialListGet(&g->matList, t.matIndex));
                t.matIndex = LgTriangleNoMaterial;
            }
        }
        free_block(g->triangles);
    }
    LgMaterialListDeinit(&g->matList);
}

void give_back(LgGeometry* g) {
    LgFreeListGive(geometryModule.slice<LgGeometrySlice>()->geometryList, g);
}

// The module is closing, so no holder will release a geometry left behind: its memory goes
// whatever its count.
void release_leftover(void* entry, void*) {
    auto* g = static_cast<LgGeometry*>(entry);
    g->refCount = 1;
    LgGeometryRelease(g);
}

void* geometry_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgGeometrySlice>(instance, offset);
    s->geometryList = LgFreeListCreate(LgGeometryRegistry.sizeOfStruct, geometriesPerBlock, 0);
    if (s->geometryList == nullptr) return nullptr;
    geometryModule.offset = offset;
    ++geometryModule.openCount;
    return instance;
}

void* geometry_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgGeometrySlice>(instance, offset);
    if (s->geometryList != nullptr) {
        LgFreeListForAllUsed(s->geometryList, release_leftover, nullptr);
        LgFreeListDestroy(s->geometryList);
    }
    s->geometryList = nullptr;
    if (geometryModule.openCount > 0) --geometryModule.openCount;
    return instance;
}

} // namespace

int32_t LgGeometryRegisterPlugin(int32_t size, uint32_t pluginId,
                                 LgPluginObjectConstructor constructor,
                                 LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgGeometryRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

int32_t LgGeometrySetStreamFunctions(uint32_t pluginId, LgPluginDataChunkReadCallBack read,
                                     LgPluginDataChunkWriteCallBack write,
                                     LgPluginDataChunkGetSizeCallBack getSize) {
    return LgPluginRegistryAddStreamFunctions(&LgGeometryRegistry, pluginId, read, write, getSize);
}

LgGeometry* LgGeometryCreate(int32_t numVertices, int32_t numTriangles, uint32_t flags) {
    const LgGeometrySlice* s = geometryModule.slice<LgGeometrySlice>();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    if (numVertices < 0 || numVertices > maxVertices || numTriangles < 0) {
        LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
        return nullptr;
    }
    auto* g = static_cast<LgGeometry*>(LgFreeListTake(s->geometryList));
    if (g == nullptr) return nullptr;
    std::memset(static_cast<void*>(g), 0, sizeof(LgGeometry));
    g->header.type = LgObjectTypeGeometry;
    g->header.flags = static_cast<uint8_t>(flags);
    g->refCount = 1;
    g->numVertices = numVertices;
    g->numTriangles = numTriangles;
    g->surfaceProps = defaultSurface;
    const auto v = static_cast<size_t>(numVertices);
    const auto t = static_cast<size_t>(numTriangles);
    bool ok = true;
    if ((flags & LgGeometryPrelit) != 0 && v > 0)
        ok = (g->preLitLum = static_cast<LgRGBA*>(allocate(v * sizeof(LgRGBA)))) != nullptr;
    if (ok && (flags & LgGeometryTextured) != 0 && v > 0)
        ok = (g->texCoords = static_cast<LgTexCoords*>(allocate(v * sizeof(LgTexCoords)))) !=
             nullptr;
    if (ok && t > 0) {
        g->triangles = static_cast<LgTriangle*>(allocate(t * sizeof(LgTriangle)));
        ok = g->triangles != nullptr;
        for (size_t i = 0; ok && i < t; ++i) g->triangles[i] = {{0, 0, 0}, LgTriangleNoMaterial};
    }
    if (!ok || LgGeometryAddMorphTarget(g) < 0) {
        destroy_contents(g);
        give_back(g);
        return nullptr;
    }
    if (LgPluginRegistryInitObject(&LgGeometryRegistry, g) == nullptr) {
        destroy_contents(g);
        give_back(g);
        return nullptr;
    }
    return g;
}

LgGeometry* LgGeometryAddRef(LgGeometry* geometry) {
    if (geometry != nullptr) ++geometry->refCount;
    return geometry;
}

int32_t LgGeometryRelease(LgGeometry* geometry) {
    if (geometry == nullptr || geometryModule.slice<LgGeometrySlice>() == nullptr) return 0;
    if (--geometry->refCount > 0) return 1;
    geometry->lockFlags = LgGeometryLockAll;
    if (geometry->mesh != nullptr) LgMeshHeaderDestroy(geometry->mesh);
    geometry->mesh = nullptr;
    LgPluginRegistryDeinitObject(&LgGeometryRegistry, geometry);
    destroy_contents(geometry);
    give_back(geometry);
    return 1;
}

int32_t LgGeometryAddMorphTarget(LgGeometry* geometry) {
    if (geometry == nullptr) return -1;
    const auto count = static_cast<size_t>(geometry->numMorphTargets);
    const size_t bytes = (count + 1) * sizeof(LgMorphTarget);
    void* grown = geometry->morphTarget != nullptr ? memory().realloc(geometry->morphTarget, bytes)
                                                   : memory().alloc(bytes);
    if (grown == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
        return -1;
    }
    geometry->morphTarget = static_cast<LgMorphTarget*>(grown);
    LgMorphTarget& target = geometry->morphTarget[count];
    target = {geometry, {{0.0f, 0.0f, 0.0f}, 0.0f}, nullptr, nullptr};
    const auto v = static_cast<size_t>(geometry->numVertices);
    if (v > 0) {
        const bool normals = (geometry->header.flags & LgGeometryNormals) != 0;
        target.verts = static_cast<LgVector*>(allocate(v * sizeof(LgVector) * (normals ? 2 : 1)));
        if (target.verts == nullptr) return -1;
        if (normals) target.normals = target.verts + v;
    }
    return geometry->numMorphTargets++;
}

LgGeometry* LgGeometryRemoveMorphTarget(LgGeometry* geometry, int32_t index) {
    if (geometry == nullptr || index < 0 || index >= geometry->numMorphTargets) return nullptr;
    free_block(geometry->morphTarget[index].verts);
    for (int32_t i = index + 1; i < geometry->numMorphTargets; ++i)
        geometry->morphTarget[i - 1] = geometry->morphTarget[i];
    --geometry->numMorphTargets;
    return geometry;
}

LgMaterial* LgGeometryGetTriangleMaterial(const LgGeometry* geometry, const LgTriangle* triangle) {
    if (geometry == nullptr || triangle == nullptr) return nullptr;
    const int32_t index = triangle->matIndex;
    if (index == LgTriangleNoMaterial || index >= geometry->matList.numMaterials) return nullptr;
    return LgMaterialListGet(&geometry->matList, index);
}

LgGeometry* LgGeometryForAllMaterials(LgGeometry* geometry, LgMaterialCallBack callBack,
                                      void* data) {
    if (geometry == nullptr || callBack == nullptr) return geometry;
    for (int32_t i = 0; i < geometry->matList.numMaterials; ++i)
        if (callBack(LgMaterialListGet(&geometry->matList, i), data) == nullptr) break;
    return geometry;
}

LgGeometry* LgGeometryLock(LgGeometry* geometry, uint16_t lockFlags) {
    if (geometry == nullptr) return nullptr;
    geometry->lockFlags |= lockFlags;
    if ((lockFlags & LgGeometryLockTriangles) != 0 && geometry->mesh != nullptr) {
        LgMeshHeaderDestroy(geometry->mesh);
        geometry->mesh = nullptr;
    }
    return geometry;
}

LgGeometry* LgGeometryUnlock(LgGeometry* geometry) {
    if (geometry == nullptr) return nullptr;
    if (geometry->mesh != nullptr) return geometry;
    LgMeshBuilder* builder = LgMeshBuilderCreate(static_cast<uint32_t>(geometry->numTriangles));
    if (builder == nullptr) return nullptr;
    for (int32_t i = 0; i < geometry->numTriangles; ++i) {
        const LgTriangle& t = geometry->triangles[i];
        if (LgMeshBuilderAddTriangle(builder, LgGeometryGetTriangleMaterial(geometry, &t),
                                     t.vertIndex[0], t.vertIndex[1], t.vertIndex[2]) == nullptr) {
            LgMeshBuilderDestroy(builder);
            return nullptr;
        }
    }
    LgMeshHeader* header = LgMeshBuilderFinish(
        builder, (geometry->header.flags & LgGeometryTriStrip) != 0 ? LgMeshHeaderTriStrip : 0,
        &geometry->matList);
    if (header == nullptr) {
        LgMeshBuilderDestroy(builder);
        return nullptr;
    }
    geometry->mesh = header;
    return geometry;
}

LgGeometry* LgGeometrySetSurfaceProperties(LgGeometry* geometry,
                                           const LgSurfaceProperties* properties) {
    if (geometry != nullptr && properties != nullptr) geometry->surfaceProps = *properties;
    return geometry;
}

int32_t LgGeometryModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgGeometrySlice), LgModuleGeometry, geometry_open,
                                  geometry_close);
}
