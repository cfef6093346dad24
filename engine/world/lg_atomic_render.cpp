// Rendering atomics through the clump module's atomic pipeline, and their render data in the
// resources arena.
#include "engine/core/lg_pipeline.h"
#include "engine/core/lg_resources.h"
#include "engine/world/lg_clump.h"

LgAtomic* LgAtomicDefaultRender(LgAtomic* atomic) {
    LgClumpSlice* s = LgClumpModuleSlice();
    if (atomic == nullptr || s == nullptr || s->atomicPipeline == nullptr) return nullptr;
    if (LgPipelinePush(s->atomicPipeline) == nullptr) {
        // A refused open still stacks the pipeline; a full stack stacks nothing but counts
        // the refusal. Either way the pop keeps the stack paired.
        LgPipelinePop();
        return nullptr;
    }
    LgPipelineExecute(atomic);
    LgPipelinePop();
    return atomic;
}

void LgAtomicDestroyInstancedResource(LgAtomic* atomic) {
    if (atomic->instancedResource != nullptr)
        LgResourcesFreeEntry(static_cast<LgResEntry*>(atomic->instancedResource));
    atomic->instancedResource = nullptr;
}
