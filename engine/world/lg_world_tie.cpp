// The world-tie plug-in: its module of tie free lists, the camera, atomic, clump and light
// slices with their callbacks, the ties each atomic and local light keeps with the sectors it
// overlaps, and joining objects to worlds and removing them again.
#include "engine/world/lg_world_tie.h"

#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_phase_timing.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world_render.h"
#include "engine/world/lg_world_walk.h"

#include <initializer_list>

namespace {

LgModule tieModule;
int32_t cameraOffset = -1;
int32_t atomicOffset = -1;
int32_t clumpOffset = -1;
int32_t lightOffset = -1;

constexpr int32_t atomicTiesPerBlock = 100;
constexpr int32_t lightTiesPerBlock = 20;

template <typename T>
T* slice_at(void* object, int32_t offset) {
    return reinterpret_cast<T*>(static_cast<char*>(object) + offset);
}

LgWorldTieSlice* tie_slice() {
    return tieModule.slice<LgWorldTieSlice>();
}

LgAtomic* atomic_of_link(LgLink* link) {
    return reinterpret_cast<LgAtomic*>(reinterpret_cast<char*>(link) -
                                       offsetof(LgAtomic, inClumpLink));
}

uint16_t& frame_stamp() {
    return LgEngineInstancePtr->stamps[LgStampFrame];
}

void unlink_tie(LgSectorTie* tie) {
    LgLinkRemove(&tie->inSector);
    LgLinkRemove(&tie->inObject);
}

void free_object_ties(LgLink* head, bool atomic) {
    for (LgLink* l = head->next; l != head;) {
        LgLink* next = l->next;
        LgSectorTie* tie = LgTieOfObjectLink(l);
        if (atomic)
            LgTieDestroyLinked(tie);
        else
            LgTieDestroy(tie);
        l = next;
    }
}

// Ties the object to every sector its box reaches. A free list that runs dry stops the walk
// with an out-of-memory error; the ties made so far stay.
void tie_box(LgWorld* world, const LgVector& inf, const LgVector& sup, void* object,
             LgLink* objectTies, LgLink* (*sectorList)(LgAtomicSector*, void*), LgFreeList* list) {
    LgWorldWalkBox(world, inf, sup, [&](LgAtomicSector* sector) {
        auto* tie = static_cast<LgSectorTie*>(LgFreeListTake(list));
        if (tie == nullptr) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
            return false;
        }
        tie->object = object;
        tie->sector = sector;
        LgLinkAddAtHead(sectorList(sector, object), &tie->inSector);
        LgLinkAddAtHead(objectTies, &tie->inObject);
        return true;
    });
}

LgLink* atomic_sector_list(LgAtomicSector* sector, void* object) {
    const auto* atomic = static_cast<const LgAtomic*>(object);
    return (atomic->object.header.flags & LgAtomicCollisionTest) != 0
               ? &sector->collAtomicsInWorldSector
               : &sector->noCollAtomicsInWorldSector;
}

LgLink* light_sector_list(LgAtomicSector* sector, void*) {
    return &sector->lightsInWorldSector;
}

// --- Module -------------------------------------------------------------------------------

void* tie_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgWorldTieSlice>(instance, offset);
    s->atomicTies = LgFreeListCreate(sizeof(LgSectorTie), atomicTiesPerBlock, 0);
    s->lightTies = LgFreeListCreate(sizeof(LgSectorTie), lightTiesPerBlock, 0);
    if (s->atomicTies == nullptr || s->lightTies == nullptr) {
        if (s->atomicTies != nullptr) LgFreeListDestroy(s->atomicTies);
        if (s->lightTies != nullptr) LgFreeListDestroy(s->lightTies);
        *s = {};
        return nullptr;
    }
    static_cast<LgEngineInstance*>(instance)->stamps[LgStampFrame] = 1;
    tieModule.offset = offset;
    ++tieModule.openCount;
    return instance;
}

void* tie_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgWorldTieSlice>(instance, offset);
    if (s->atomicTies != nullptr) LgFreeListDestroy(s->atomicTies);
    if (s->lightTies != nullptr) LgFreeListDestroy(s->lightTies);
    *s = {};
    if (tieModule.openCount > 0) --tieModule.openCount;
    return instance;
}

// --- Cameras ------------------------------------------------------------------------------

LgCamera* camera_begin_update(LgCamera* camera) {
    LgCameraTieSlice* s = LgCameraTies(camera);
    LgEngineInstancePtr->currentWorld = s->world;
    ++frame_stamp();
    return s->beginUpdate != nullptr ? s->beginUpdate(camera) : camera;
}

LgCamera* camera_end_update(LgCamera* camera) {
    LgCameraTieSlice* s = LgCameraTies(camera);
    LgEngineInstancePtr->currentWorld = nullptr;
    return s->endUpdate != nullptr ? s->endUpdate(camera) : camera;
}

constexpr int32_t visibleGrowth = 50;

bool append_visible(LgCameraTieSlice* s, LgAtomicSector* sector) {
    if (s->count == s->capacity) {
        const int32_t capacity = s->capacity + visibleGrowth;
        void* grown = LgEngineInstancePtr->memoryFunctions.realloc(
            s->sectors, static_cast<size_t>(capacity) * sizeof(LgAtomicSector*));
        if (grown == nullptr) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
            return false;
        }
        s->sectors = static_cast<LgAtomicSector**>(grown);
        s->capacity = capacity;
    }
    s->sectors[s->count++] = sector;
    return true;
}

// The box corner farthest inside each plane decides: a sector wholly outside one plane is
// out of view.
bool sector_in_frustum(const LgCamera* camera, const LgAtomicSector* sector) {
    const LgBBox& b = sector->boundingBox;
    for (const LgFrustumPlane& p : camera->frustumPlanes) {
        const LgVector c = {p.closestX ? b.inf.x : b.sup.x, p.closestY ? b.inf.y : b.sup.y,
                            p.closestZ ? b.inf.z : b.sup.z};
        if (c.x * p.normal.x + c.y * p.normal.y + c.z * p.normal.z - p.distance > 0.0f)
            return false;
    }
    return true;
}

void find_visible_sectors(LgCamera* camera, LgCameraTieSlice* s) {
    LgPhaseScope phase(LgPhaseVisibility);
    s->count = 0;
    const LgWorld* world = s->world;
    LgFrame* frame = camera->object.header.parent;
    const LgVector eye = frame != nullptr ? LgFrameGetWorldMatrix(frame)->pos : LgVector{};
    const LgBBox& box = camera->frustumBoundBox;
    const bool backToFront = world->renderOrder == LgWorldRenderBackToFront;
    LgBspStack<LgWorldSector*> stack;
    LgWorldSector* sector = world->rootSector;
    while (sector != nullptr) {
        if (sector->type == LgSectorAtomic) {
            auto* atomic = reinterpret_cast<LgAtomicSector*>(sector);
            if (sector_in_frustum(camera, atomic) && !append_visible(s, atomic)) break;
            if (!stack.pop(sector)) break;
            continue;
        }
        const auto* p = reinterpret_cast<const LgPlaneSector*>(sector);
        const int32_t type = p->type;
        if (LgFloatBits(LgVectorAxis(box.inf, type)) >= LgFloatBits(p->leftValue)) {
            sector = p->rightSubTree;
        } else if (LgFloatBits(p->rightValue) >= LgFloatBits(LgVectorAxis(box.sup, type))) {
            sector = p->leftSubTree;
        } else {
            const bool eyeRight = LgFloatBits(LgVectorAxis(eye, type)) > LgFloatBits(p->value);
            const bool leftFirst = backToFront ? eyeRight : !eyeRight;
            stack.push(leftFirst ? p->rightSubTree : p->leftSubTree);
            sector = leftFirst ? p->leftSubTree : p->rightSubTree;
        }
    }
    LgStandardFunc order = LgEngineInstancePtr->standardFunctions.slot[LgStdTranslucentReplayOrder];
    if (order != nullptr)
        order(nullptr, nullptr, world->renderOrder == LgWorldRenderFrontToBack ? 1 : 0);
}

void* camera_sync(void* object) {
    auto* camera = static_cast<LgCamera*>(object);
    LgCameraTieSlice* s = LgCameraTies(camera);
    if (s->sync != nullptr && s->sync(camera) == nullptr) return nullptr;
    if (s->world != nullptr) find_visible_sectors(camera, s);
    return camera;
}

void* camera_construct(void* object, int32_t offset, int32_t) {
    auto* camera = static_cast<LgCamera*>(object);
    auto* s = slice_at<LgCameraTieSlice>(object, offset);
    *s = {nullptr, 0, 0, nullptr, camera->beginUpdate, camera->endUpdate, camera->object.sync};
    camera->beginUpdate = camera_begin_update;
    camera->endUpdate = camera_end_update;
    camera->object.sync = camera_sync;
    return object;
}

void* camera_destruct(void* object, int32_t offset, int32_t) {
    auto* camera = static_cast<LgCamera*>(object);
    auto* s = slice_at<LgCameraTieSlice>(object, offset);
    if (s->sectors != nullptr) LgEngineInstancePtr->memoryFunctions.free(s->sectors);
    camera->beginUpdate = s->beginUpdate;
    camera->endUpdate = s->endUpdate;
    camera->object.sync = s->sync;
    *s = {};
    return object;
}

void* camera_copy(void* dst, const void* src, int32_t offset, int32_t) {
    auto* d = slice_at<LgCameraTieSlice>(dst, offset);
    const auto* from = slice_at<const LgCameraTieSlice>(const_cast<void*>(src), offset);
    d->sectors = nullptr;
    d->capacity = d->count = 0;
    if (from->world != nullptr) LgWorldAddCamera(from->world, static_cast<LgCamera*>(dst));
    return dst;
}

// --- Atomics ------------------------------------------------------------------------------

void* atomic_sync(void* object) {
    auto* atomic = static_cast<LgAtomic*>(object);
    LgAtomicTieSlice* s = LgAtomicTies(atomic);
    if (s->sync != nullptr && s->sync(atomic) == nullptr) return nullptr;
    if (s->world == nullptr) return atomic;
    free_object_ties(&atomic->sectorTies, true);
    const LgSphere* sphere = LgAtomicGetWorldBoundingSphere(atomic);
    const LgVector& c = sphere->center;
    const float r = sphere->radius;
    const LgVector inf = {c.x - r, c.y - r, c.z - r}, sup = {c.x + r, c.y + r, c.z + r};
    // Worlds are authored in positive space: an atomic reaching below zero stays untied.
    if (LgFloatBits(inf.x) < 0 || LgFloatBits(inf.y) < 0 || LgFloatBits(inf.z) < 0) return atomic;
    tie_box(s->world, inf, sup, atomic, &atomic->sectorTies, atomic_sector_list,
            tie_slice()->atomicTies);
    return atomic;
}

void* atomic_construct(void* object, int32_t offset, int32_t) {
    auto* atomic = static_cast<LgAtomic*>(object);
    auto* s = slice_at<LgAtomicTieSlice>(object, offset);
    *s = {nullptr, atomic->object.sync};
    atomic->renderFrame = static_cast<uint16_t>(frame_stamp() - 1);
    atomic->object.sync = atomic_sync;
    return object;
}

void* atomic_destruct(void* object, int32_t offset, int32_t) {
    auto* atomic = static_cast<LgAtomic*>(object);
    auto* s = slice_at<LgAtomicTieSlice>(object, offset);
    free_object_ties(&atomic->sectorTies, true);
    atomic->object.sync = s->sync;
    return object;
}

void* atomic_copy(void* dst, const void*, int32_t, int32_t) {
    return dst;
}

// --- Clumps -------------------------------------------------------------------------------

void* clump_construct(void* object, int32_t offset, int32_t) {
    slice_at<LgClumpTieSlice>(object, offset)->world = nullptr;
    return object;
}

// A clump destroyed while still in a world leaves it first, so the world's list never holds
// freed memory.
void* clump_destruct(void* object, int32_t offset, int32_t) {
    auto* clump = static_cast<LgClump*>(object);
    if (LgWorld* world = slice_at<LgClumpTieSlice>(object, offset)->world)
        LgWorldRemoveClump(world, clump);
    return object;
}

void* clump_copy(void* dst, const void* src, int32_t offset, int32_t) {
    LgWorld* world = slice_at<LgClumpTieSlice>(const_cast<void*>(src), offset)->world;
    if (world != nullptr) LgWorldAddClump(world, static_cast<LgClump*>(dst));
    return dst;
}

// --- Lights -------------------------------------------------------------------------------

void* light_sync(void* object) {
    auto* light = static_cast<LgLight*>(object);
    LgLightTieSlice* s = LgLightTies(light);
    if (s->sync != nullptr && s->sync(light) == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrNullArgument);
        return light;
    }
    LgFrame* frame = LgLightGetFrame(light);
    if (LgLightGetType(light) < LgLightLocal || s->world == nullptr || frame == nullptr)
        return light;
    free_object_ties(&light->tieList, false);
    const LgVector& p = LgFrameGetWorldMatrix(frame)->pos;
    const float r = light->radius;
    LgVector inf = {p.x - r, p.y - r, p.z - r};
    const LgVector sup = {p.x + r, p.y + r, p.z + r};
    if (LgFloatBits(sup.x) < 0 || LgFloatBits(sup.y) < 0 || LgFloatBits(sup.z) < 0) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBoxBelowZero);
        return nullptr;
    }
    for (float* v : {&inf.x, &inf.y, &inf.z})
        if (LgFloatBits(*v) < 0) *v = 0.0f;
    tie_box(s->world, inf, sup, light, &light->tieList, light_sector_list, tie_slice()->lightTies);
    return light;
}

void* light_construct(void* object, int32_t offset, int32_t) {
    auto* light = static_cast<LgLight*>(object);
    *slice_at<LgLightTieSlice>(object, offset) = {nullptr, light->object.sync};
    light->object.sync = light_sync;
    return object;
}

// A light destroyed while in a world also leaves the world's list.
void* light_destruct(void* object, int32_t offset, int32_t) {
    auto* light = static_cast<LgLight*>(object);
    if (LgWorld* world = slice_at<LgLightTieSlice>(object, offset)->world)
        LgWorldRemoveLight(world, light);
    free_object_ties(&light->tieList, false);
    return object;
}

void* light_copy(void* dst, const void* src, int32_t offset, int32_t) {
    LgWorld* world = slice_at<LgLightTieSlice>(const_cast<void*>(src), offset)->world;
    if (world != nullptr) LgWorldAddLight(world, static_cast<LgLight*>(dst));
    return dst;
}

} // namespace

LgCameraTieSlice* LgCameraTies(LgCamera* camera) {
    return slice_at<LgCameraTieSlice>(camera, cameraOffset);
}
LgAtomicTieSlice* LgAtomicTies(LgAtomic* atomic) {
    return slice_at<LgAtomicTieSlice>(atomic, atomicOffset);
}
LgClumpTieSlice* LgClumpTies(LgClump* clump) {
    return slice_at<LgClumpTieSlice>(clump, clumpOffset);
}
LgLightTieSlice* LgLightTies(LgLight* light) {
    return slice_at<LgLightTieSlice>(light, lightOffset);
}

int32_t LgTieDestroy(LgSectorTie* tie) {
    unlink_tie(tie);
    if (LgWorldTieSlice* s = tie_slice()) LgFreeListGive(s->lightTies, tie);
    return 1;
}

int32_t LgTieDestroyLinked(LgSectorTie* tie) {
    if (tie->object == nullptr || tie->sector == nullptr) return 1;
    unlink_tie(tie);
    if (LgWorldTieSlice* s = tie_slice()) LgFreeListGive(s->atomicTies, tie);
    return 1;
}

void LgWorldSectorFreeTies(LgAtomicSector* sector) {
    for (LgLink* head : {&sector->collAtomicsInWorldSector, &sector->noCollAtomicsInWorldSector})
        for (LgLink* l = head->next; l != head;) {
            LgLink* next = l->next;
            LgTieDestroyLinked(LgTieOfSectorLink(l));
            l = next;
        }
    LgLink* lights = &sector->lightsInWorldSector;
    for (LgLink* l = lights->next; l != lights;) {
        LgLink* next = l->next;
        LgTieDestroy(LgTieOfSectorLink(l));
        l = next;
    }
}

void LgWorldAddCamera(LgWorld* world, LgCamera* camera) {
    if (LgFrame* frame = camera->object.header.parent) LgFrameMarkDirty(frame);
    LgCameraTies(camera)->world = world;
}

LgWorld* LgWorldRemoveCamera(LgWorld* world, LgCamera* camera) {
    LgCameraTieSlice* s = LgCameraTies(camera);
    if (s->world == nullptr) return nullptr;
    if (s->sectors != nullptr) LgEngineInstancePtr->memoryFunctions.free(s->sectors);
    s->sectors = nullptr;
    s->capacity = s->count = 0;
    s->world = nullptr;
    return world;
}

LgWorld* LgCameraGetWorld(LgCamera* camera) {
    return LgCameraTies(camera)->world;
}

LgCamera* LgCameraForAllSectorsInView(LgCamera* camera, LgWorldSectorInViewCallBack callBack,
                                      void* data) {
    const LgCameraTieSlice* s = LgCameraTies(camera);
    for (int32_t i = 0; i < s->count; ++i)
        if (callBack(s->sectors[i], data) == nullptr) break;
    return camera;
}

LgWorld* LgWorldAddClump(LgWorld* world, LgClump* clump) {
    LgClumpTieSlice* s = LgClumpTies(clump);
    if (s->world != nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrClumpInWorld);
        return nullptr;
    }
    LgLinkAddAtHead(&world->clumpList, &clump->inWorldLink);
    ++world->numClumpsInWorld;
    s->world = world;
    for (LgLink* l = clump->atomics.next; l != &clump->atomics; l = l->next) {
        LgAtomic* atomic = atomic_of_link(l);
        if (LgFrame* frame = LgAtomicGetFrame(atomic)) LgFrameMarkDirty(frame);
        LgAtomicTies(atomic)->world = world;
    }
    if (LgFrame* frame = LgClumpGetFrame(clump)) {
        frame->modelling.flags &= ~(LgMatrixFlagIdentity | LgMatrixFlagOrthonormal);
        LgFrameMarkDirty(frame);
    }
    return world;
}

LgWorld* LgWorldRemoveClump(LgWorld* world, LgClump* clump) {
    LgClumpTieSlice* s = LgClumpTies(clump);
    LgWorld* home = s->world;
    if (home == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrClumpNotInWorld);
        return nullptr;
    }
    --home->numClumpsInWorld;
    if (home->currentClumpLink == &clump->inWorldLink)
        home->currentClumpLink = clump->inWorldLink.next;
    LgLinkRemove(&clump->inWorldLink);
    clump->inWorldLink = {nullptr, nullptr};
    for (LgLink* l = clump->atomics.next; l != &clump->atomics; l = l->next) {
        LgAtomic* atomic = atomic_of_link(l);
        LgAtomicDestroyInstancedResource(atomic);
        free_object_ties(&atomic->sectorTies, true);
        LgAtomicTies(atomic)->world = nullptr;
    }
    s->world = nullptr;
    return world;
}

LgWorld* LgClumpGetWorld(LgClump* clump) {
    return LgClumpTies(clump)->world;
}

LgWorld* LgAtomicGetWorld(LgAtomic* atomic) {
    return LgAtomicTies(atomic)->world;
}

LgWorld* LgWorldAddLight(LgWorld* world, LgLight* light) {
    LgLightTieSlice* s = LgLightTies(light);
    // A light sits in one world list at a time.
    if (s->world != nullptr) LgWorldRemoveLight(s->world, light);
    s->world = world;
    if (LgLightGetType(light) >= LgLightLocal) {
        if (LgFrame* frame = LgLightGetFrame(light)) LgFrameMarkDirty(frame);
        LgLinkAddAtHead(&world->localLightList, &light->inWorld);
    } else {
        LgLinkAddAtHead(&world->globalLightList, &light->inWorld);
    }
    return world;
}

LgWorld* LgWorldRemoveLight(LgWorld* world, LgLight* light) {
    LgLightTieSlice* s = LgLightTies(light);
    s->world = nullptr;
    free_object_ties(&light->tieList, false);
    if (light->inWorld.next != nullptr) LgLinkRemove(&light->inWorld);
    return world;
}

bool LgWorldTiePluginAttach() {
    bool ok =
        LgEngineRegisterPlugin(sizeof(LgWorldTieSlice), LgPluginWorldTie, tie_open, tie_close) >= 0;
    cameraOffset = LgCameraRegisterPlugin(sizeof(LgCameraTieSlice), LgPluginWorldTie,
                                          camera_construct, camera_destruct, camera_copy);
    atomicOffset = LgAtomicRegisterPlugin(sizeof(LgAtomicTieSlice), LgPluginWorldTie,
                                          atomic_construct, atomic_destruct, atomic_copy);
    clumpOffset = LgClumpRegisterPlugin(sizeof(LgClumpTieSlice), LgPluginWorldTie, clump_construct,
                                        clump_destruct, clump_copy);
    lightOffset = LgLightRegisterPlugin(sizeof(LgLightTieSlice), LgPluginWorldTie, light_construct,
                                        light_destruct, light_copy);
    ok = ok && cameraOffset >= 0 && atomicOffset >= 0 && clumpOffset >= 0 && lightOffset >= 0;
    ok = LgGeometryMeshHeaderPluginAttach() >= 0 && ok;
    ok = LgWorldSectorMeshHeaderPluginAttach() >= 0 && ok;
    return LgWorldGetPipelineTable()->pluginInit() > 0 && ok;
}
