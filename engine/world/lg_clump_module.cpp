// The clump and atomic module (engine module 0x504): its free lists and, at close, the
// clumps and atomics still alive.
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_pipeline.h"
#include "engine/world/lg_clump.h"

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
    // The device fills the pipeline with its atomic stages.
    if (s->atomicList != nullptr && s->clumpList != nullptr) s->atomicPipeline = LgPipelineCreate();
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

LgClumpSlice* LgClumpModuleSlice() {
    return clumpModule.slice<LgClumpSlice>();
}

int32_t LgClumpModuleRegister() {
    return LgEngineRegisterPlugin(sizeof(LgClumpSlice), LgModuleClump, clump_open, clump_close);
}
