// The clump and atomic module (engine module 0x504): its free lists, the atomic pipeline with
// its lighting stage and, at close, the clumps and atomics still alive.
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_pipeline.h"
#include "engine/core/lg_vector.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_world_render.h"
#include "engine/world/lg_world_tie.h"

namespace {

LgModule clumpModule;

constexpr int32_t atomicsPerBlock = 20;
constexpr int32_t clumpsPerBlock = 10;

void destroy_clump(void* entry, void*) {
    LgClumpDestroy(static_cast<LgClump*>(entry));
}

void destroy_atomic(void* entry, void*) {
    LgAtomicDestroy(static_cast<LgAtomic*>(entry));
}

void* clump_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgClumpSlice>(instance, offset);
    *s = {nullptr, nullptr, nullptr};
    s->atomicList = LgFreeListCreate(LgAtomicRegistry.sizeOfStruct, atomicsPerBlock, 0);
    s->clumpList = LgFreeListCreate(LgClumpRegistry.sizeOfStruct, clumpsPerBlock, 0);
    // The device fills the pipeline with its transform stage, the world pipelines with theirs.
    if (s->atomicList != nullptr && s->clumpList != nullptr) s->atomicPipeline = LgPipelineCreate();
    if (s->atomicPipeline != nullptr) {
        LgWorldGetPipelineTable()->atomicPipelineSetup(s->atomicPipeline);
        s->atomicPipeline->stage4 = LgAtomicApplyLights;
    }
    if (s->atomicPipeline == nullptr) {
        if (s->atomicList != nullptr) LgFreeListDestroy(s->atomicList);
        if (s->clumpList != nullptr) LgFreeListDestroy(s->clumpList);
        *s = {nullptr, nullptr, nullptr};
        return nullptr;
    }
    clumpModule.offset = offset;
    ++clumpModule.openCount;
    return instance;
}

void* clump_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgClumpSlice>(instance, offset);
    if (s->atomicPipeline != nullptr) LgPipelineDestroy(s->atomicPipeline);
    // Clumps first: they take their atomics with them.
    if (s->clumpList != nullptr) LgFreeListForAllUsed(s->clumpList, destroy_clump, nullptr);
    if (s->atomicList != nullptr) LgFreeListForAllUsed(s->atomicList, destroy_atomic, nullptr);
    if (s->clumpList != nullptr) LgFreeListDestroy(s->clumpList);
    if (s->atomicList != nullptr) LgFreeListDestroy(s->atomicList);
    *s = {nullptr, nullptr, nullptr};
    if (clumpModule.openCount > 0) --clumpModule.openCount;
    return instance;
}

} // namespace

void LgAtomicApplyLights(void* work, void* apply) {
    auto* w = static_cast<LgWorldRenderWork*>(work);
    auto* world = static_cast<LgWorld*>(LgEngineInstancePtr->currentWorld);
    auto* atomic = static_cast<LgAtomic*>(w->object);
    const LgGeometry* g = atomic->geometry;
    if (world == nullptr || g == nullptr || (g->header.flags & LgGeometryLight) == 0) return;
    const auto applyOne = reinterpret_cast<LgLightApplyFunc>(apply);
    // Lights are in world space; the vertices in the atomic's.
    LgMatrix inverse;
    const LgMatrix* transform = nullptr;
    float scale = 1.0f;
    if (LgFrame* frame = LgAtomicGetFrame(atomic)) {
        LgMatrixInvert(&inverse, LgFrameGetWorldMatrix(frame));
        transform = &inverse;
        scale = LgSqrt(LgVectorDotProduct(&inverse.at, &inverse.at));
    }
    const uint16_t stamp = ++LgEngineInstancePtr->stamps[LgStampLight];
    const LgSurfaceProperties* surface = &g->surfaceProps;
    for (LgLink* l = world->globalLightList.next; l != &world->globalLightList; l = l->next) {
        LgLight* light = LgLightOfWorldLink(l);
        if ((light->object.header.flags & LgLightLightAtomics) != 0)
            applyOne(w, light, transform, scale, surface);
    }
    // A local light reaching the atomic through several sectors is applied once.
    for (LgLink* t = atomic->sectorTies.next; t != &atomic->sectorTies; t = t->next) {
        LgAtomicSector* sector = LgTieOfObjectLink(t)->sector;
        for (LgLink* l = sector->lightsInWorldSector.next; l != &sector->lightsInWorldSector;
             l = l->next) {
            auto* light = static_cast<LgLight*>(LgTieOfSectorLink(l)->object);
            if (light->lightFrame == stamp) continue;
            if ((light->object.header.flags & LgLightLightAtomics) != 0)
                applyOne(w, light, transform, scale, surface);
            light->lightFrame = stamp;
        }
    }
}

LgClumpSlice* LgClumpModuleSlice() {
    return clumpModule.slice<LgClumpSlice>();
}

int32_t LgClumpModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgClumpSlice), LgModuleClump, clump_open, clump_close);
}
