// Worlds: creation of an empty world, destruction of created and read worlds, the sector
// set-up that builds mesh headers, and the walks over clumps, sectors and lights.
#include "engine/world/lg_world.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_resources.h"
#include "engine/core/lg_vector.h"
#include "engine/world/lg_light.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world_tie.h"
#include "engine/world/lg_world_walk.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

LgPluginRegistry LgWorldRegistry = LgPluginRegistryMake(sizeof(LgWorld));
LgPluginRegistry LgWorldSectorRegistry = LgPluginRegistryMake(sizeof(LgAtomicSector));

namespace {

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

LgClump* clump_of_link(LgLink* link) {
    return reinterpret_cast<LgClump*>(reinterpret_cast<char*>(link) -
                                      offsetof(LgClump, inWorldLink));
}

// Visits every sector of the tree depth first, left before right: plane sectors after both
// their children (so a free can follow), atomic sectors in leaf order.
template <typename AtomicVisit, typename PlaneVisit>
void walk_all(LgWorldSector* root, AtomicVisit&& atomic, PlaneVisit&& plane) {
    struct Pending {
        LgWorldSector* sector;
        bool childrenDone;
    };
    // Each level keeps its plane sector and its right child pending.
    LgBspStack<Pending, 2 * LgWorldMaxBspDepth + 4> stack;
    if (root == nullptr) return;
    stack.push({root, false});
    Pending p;
    while (stack.pop(p)) {
        if (p.sector->type == LgSectorAtomic) {
            if (!atomic(reinterpret_cast<LgAtomicSector*>(p.sector))) return;
            continue;
        }
        auto* ps = reinterpret_cast<LgPlaneSector*>(p.sector);
        if (p.childrenDone) {
            plane(ps);
            continue;
        }
        // A tree deeper than the stack never comes from the reader; the walk stops safely.
        if (!stack.push({p.sector, true}) || !stack.push({ps->rightSubTree, false}) ||
            !stack.push({ps->leftSubTree, false}))
            return;
    }
}

void init_sector(LgAtomicSector* sector) {
    sector->type = LgSectorAtomic;
    LgLinkInitialise(&sector->collAtomicsInWorldSector);
    LgLinkInitialise(&sector->noCollAtomicsInWorldSector);
    LgLinkInitialise(&sector->lightsInWorldSector);
}

void release_sector_contents(LgAtomicSector* sector) {
    if (sector->instancedResource != nullptr) LgResourcesFreeEntry(sector->instancedResource);
    LgWorldSectorFreeTies(sector);
    LgPluginRegistryDeinitObject(&LgWorldSectorRegistry, sector);
}

void free_sector_arrays(LgAtomicSector* sector) {
    const LgMemFreeFunc release = memory().free;
    for (void* p :
         {static_cast<void*>(sector->triangles), static_cast<void*>(sector->vertices),
          static_cast<void*>(sector->normals), static_cast<void*>(sector->texCoords),
          static_cast<void*>(sector->preLitLum), static_cast<void*>(sector->collisionTree)})
        if (p != nullptr) release(p);
}

void free_mesh_headers(LgWorld* world) {
    walk_all(
        world->rootSector,
        [](LgAtomicSector* s) {
            if (s->mesh != nullptr) LgMeshHeaderDestroy(s->mesh);
            s->mesh = nullptr;
            return true;
        },
        [](LgPlaneSector*) {});
}

} // namespace

int32_t LgWorldRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgWorldRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

int32_t LgWorldSectorRegisterPlugin(int32_t size, uint32_t pluginId,
                                    LgPluginObjectConstructor constructor,
                                    LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgWorldSectorRegistry, size, pluginId, constructor,
                                     destructor, copy);
}

int32_t LgWorldSectorRegisterPluginStream(uint32_t pluginId, LgPluginDataChunkReadCallBack read,
                                          LgPluginDataChunkWriteCallBack write,
                                          LgPluginDataChunkGetSizeCallBack getSize) {
    return LgPluginRegistryAddStreamFunctions(&LgWorldSectorRegistry, pluginId, read, write,
                                              getSize);
}

bool LgWorldSetupSectors(LgWorld* world) {
    bool ok = true;
    const bool strips = (world->header.flags & LgWorldTriStrip) != 0;
    walk_all(
        world->rootSector,
        [&](LgAtomicSector* s) {
            if (s->mesh != nullptr) return true;
            LgMeshBuilder* builder = LgMeshBuilderCreate(s->numTriangles);
            if (builder == nullptr) return ok = false;
            for (uint32_t i = 0; i < s->numTriangles; ++i) {
                const LgWorldTriangle& t = s->triangles[i];
                LgMaterial* m =
                    LgMaterialListGet(&world->matList, s->matListWindowBase + t.matIndex);
                if (LgMeshBuilderAddTriangle(builder, m, t.vertIndex[0], t.vertIndex[1],
                                             t.vertIndex[2]) == nullptr) {
                    LgMeshBuilderDestroy(builder);
                    return ok = false;
                }
            }
            s->mesh =
                LgMeshBuilderFinish(builder, strips ? LgMeshHeaderTriStrip : 0, &world->matList);
            if (s->mesh == nullptr) {
                LgMeshBuilderDestroy(builder);
                return ok = false;
            }
            return true;
        },
        [](LgPlaneSector*) {});
    return ok;
}

LgWorld* LgWorldCreate(const LgBBox* box) {
    if (box == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return nullptr;
    }
    auto* world = static_cast<LgWorld*>(memory().alloc(LgWorldRegistry.sizeOfStruct));
    if (world == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
        return nullptr;
    }
    std::memset(static_cast<void*>(world), 0, LgWorldRegistry.sizeOfStruct);
    auto* sector = static_cast<LgAtomicSector*>(memory().alloc(LgWorldSectorRegistry.sizeOfStruct));
    if (sector == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
        memory().free(world);
        return nullptr;
    }
    std::memset(static_cast<void*>(sector), 0, LgWorldSectorRegistry.sizeOfStruct);
    world->header = {LgObjectTypeWorld, 0, 0, 0, nullptr};
    LgMaterialListInit(&world->matList);
    world->renderOrder = LgWorldRenderBackToFront;
    world->rootSector = reinterpret_cast<LgWorldSector*>(sector);
    init_sector(sector);

    LgVector extent;
    LgVectorSub(&extent, &box->sup, &box->inf);
    const float l = LgVectorLength(&extent);
    world->worldOrigin = {l - box->inf.x, l - box->inf.y, l - box->inf.z};
    LgVectorAdd(&sector->boundingBox.sup, &box->sup, &world->worldOrigin);
    LgVectorAdd(&sector->boundingBox.inf, &box->inf, &world->worldOrigin);
    world->boundingBox = sector->boundingBox;

    world->currentClumpLink = nullptr;
    LgLinkInitialise(&world->clumpList);
    LgLinkInitialise(&world->localLightList);
    LgLinkInitialise(&world->globalLightList);
    world->surfaceProps = {0.0f, 0.0f, 0.0f};
    world->renderCallBack = LgWorldSectorRenderDefault;
    LgWorldBlockAdd(world, static_cast<size_t>(LgWorldRegistry.sizeOfStruct));

    LgPluginRegistryInitObject(&LgWorldRegistry, world);
    LgPluginRegistryInitObject(&LgWorldSectorRegistry, sector);
    if (!LgWorldSetupSectors(world)) {
        LgWorldBlockRemove(world);
        free_mesh_headers(world);
        LgMaterialListDeinit(&world->matList);
        LgPluginRegistryDeinitObject(&LgWorldSectorRegistry, sector);
        memory().free(sector);
        LgPluginRegistryDeinitObject(&LgWorldRegistry, world);
        memory().free(world);
        return nullptr;
    }
    return world;
}

int32_t LgWorldDestroy(LgWorld* world) {
    if (world == nullptr) return 0;
    LgWorldBlockRemove(world);
    free_mesh_headers(world);
    LgMaterialListDeinit(&world->matList);
    const bool oneBlock = (world->header.privateFlags & LgWorldSingleBlock) != 0;
    walk_all(
        world->rootSector,
        [oneBlock](LgAtomicSector* s) {
            release_sector_contents(s);
            if (!oneBlock) {
                free_sector_arrays(s);
                memory().free(s);
            }
            return true;
        },
        [oneBlock](LgPlaneSector* p) {
            if (!oneBlock) memory().free(p);
        });
    LgPluginRegistryDeinitObject(&LgWorldRegistry, world);
    memory().free(world);
    return 1;
}

LgWorld* LgWorldForAllClumps(LgWorld* world, LgClumpCallBack callBack, void* data) {
    // The cursor moves on before each call, so a callback may remove its own clump; a nested
    // walk keeps the outer walk's place.
    LgLink* saved = world->currentClumpLink;
    LgLink* l = world->clumpList.next;
    while (l != &world->clumpList) {
        world->currentClumpLink = l->next;
        if (callBack(clump_of_link(l), data) == nullptr) break;
        l = world->currentClumpLink;
    }
    world->currentClumpLink = saved;
    return world;
}

LgWorld* LgWorldForAllAtomicSectors(LgWorld* world, LgWorldSectorCallBack callBack, void* data) {
    walk_all(
        world->rootSector, [&](LgAtomicSector* s) { return callBack(s, data) != nullptr; },
        [](LgPlaneSector*) {});
    return world;
}

int32_t LgWorldForAllLights(LgLightCallBack callBack, void* data) {
    auto* world = static_cast<LgWorld*>(LgEngineInstancePtr->currentWorld);
    if (world == nullptr) return 1;
    for (LgLink* l = world->globalLightList.next; l != &world->globalLightList;) {
        LgLink* next = l->next;
        if (callBack(LgLightOfWorldLink(l), data) == nullptr) break;
        l = next;
    }
    return 1;
}

LgAtomicSector* LgWorldSectorForAllLights(LgAtomicSector* sector, LgLightCallBack callBack,
                                          void* data) {
    for (LgLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector;) {
        LgLink* next = l->next;
        if (callBack(static_cast<LgLight*>(LgTieOfSectorLink(l)->object), data) == nullptr) break;
        l = next;
    }
    return sector;
}
