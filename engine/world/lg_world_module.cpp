// The world module (engine module 0x507): the default sector pipeline, the block records that
// trace a pointer back to its world, and the three modules that only count their opens.
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_pipeline.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_render.h"

#include <cstddef>

namespace {

LgModule worldModule;
int32_t counterOpens = 0;

constexpr int32_t blocksPerBlock = 3;

LgWorldBlock* block_of_link(LgLink* link) {
    return reinterpret_cast<LgWorldBlock*>(reinterpret_cast<char*>(link) -
                                           offsetof(LgWorldBlock, link));
}

void* world_open(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgWorldSlice>(instance, offset);
    s->defaultSectorPipeline = LgPipelineCreate();
    if (s->defaultSectorPipeline == nullptr) return nullptr;
    s->blockList = LgFreeListCreate(sizeof(LgWorldBlock), blocksPerBlock, 0);
    if (s->blockList == nullptr) {
        LgPipelineDestroy(s->defaultSectorPipeline);
        s->defaultSectorPipeline = nullptr;
        return nullptr;
    }
    LgLinkInitialise(&s->blocks);
    LgWorldGetPipelineTable()->sectorPipelineSetup(s->defaultSectorPipeline);
    s->defaultSectorPipeline->stage4 = LgWorldLightingStage;
    worldModule.offset = offset;
    ++worldModule.openCount;
    return instance;
}

void* world_close(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgWorldSlice>(instance, offset);
    if (s->blockList != nullptr) LgFreeListDestroy(s->blockList);
    if (s->defaultSectorPipeline != nullptr) LgPipelineDestroy(s->defaultSectorPipeline);
    *s = {};
    LgWorldReleaseRenderScratch();
    if (worldModule.openCount > 0) --worldModule.openCount;
    return instance;
}

void* counter_open(void* instance, int32_t, int32_t) {
    ++counterOpens;
    return instance;
}

void* counter_close(void* instance, int32_t, int32_t) {
    --counterOpens;
    return instance;
}

} // namespace

LgWorldSlice* LgWorldModuleSlice() {
    return worldModule.slice<LgWorldSlice>();
}

int32_t LgWorldModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgWorldSlice), LgModuleWorld, world_open, world_close);
}

int32_t LgWorldCounterModulesRegister(uint32_t moduleId) {
    return LgEngineRegisterPlugin(0, moduleId, counter_open, counter_close);
}

LgPipeline* LgWorldGetDefaultSectorPipeline() {
    const LgWorldSlice* s = LgWorldModuleSlice();
    return s != nullptr ? s->defaultSectorPipeline : nullptr;
}

// A world is still made when no record is left; it then cannot be found by pointer.
void LgWorldBlockAdd(LgWorld* world, size_t size) {
    LgWorldSlice* s = LgWorldModuleSlice();
    if (s == nullptr) return;
    auto* block = static_cast<LgWorldBlock*>(LgFreeListTake(s->blockList));
    if (block == nullptr) return;
    block->world = world;
    block->size = size;
    LgLinkAddAtHead(&s->blocks, &block->link);
}

void LgWorldBlockRemove(const LgWorld* world) {
    LgWorldSlice* s = LgWorldModuleSlice();
    if (s == nullptr) return;
    for (LgLink* l = s->blocks.next; l != &s->blocks; l = l->next) {
        LgWorldBlock* block = block_of_link(l);
        if (block->world != world) continue;
        LgLinkRemove(l);
        LgFreeListGive(s->blockList, block);
        return;
    }
}

namespace {

struct SectorSearch {
    const void* pointer;
    bool found;
};

LgAtomicSector* match_sector(LgAtomicSector* sector, void* data) {
    auto* search = static_cast<SectorSearch*>(data);
    if (sector != search->pointer) return sector;
    search->found = true;
    return nullptr;
}

} // namespace

LgWorld* LgWorldFindBySector(const void* pointer) {
    LgWorldSlice* s = LgWorldModuleSlice();
    if (s == nullptr || pointer == nullptr) return nullptr;
    const auto* p = static_cast<const char*>(pointer);
    for (LgLink* l = s->blocks.next; l != &s->blocks; l = l->next) {
        LgWorldBlock* block = block_of_link(l);
        LgWorld* world = block->world;
        if ((world->header.privateFlags & LgWorldSingleBlock) != 0) {
            const auto* start = reinterpret_cast<const char*>(world);
            if (p >= start && p < start + block->size) return world;
            continue;
        }
        SectorSearch search = {pointer, false};
        LgWorldForAllAtomicSectors(world, match_sector, &search);
        if (search.found) return world;
    }
    return nullptr;
}
