// The pipeline module: pipeline records from a free list, the pipeline stack and execution.
#include "engine/core/lg_pipeline.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_phase_timing.h"

namespace {

LgModule pipelineModule;

constexpr int32_t pipelinesPerBlock = 5;
constexpr int32_t pipelineAlignment = 4;

int32_t refuse_open(LgPipeline*) {
    return 0;
}
int32_t refuse_close() {
    return 0;
}

LgPipelineSlice* slice() {
    return pipelineModule.slice<LgPipelineSlice>();
}

} // namespace

void* LgPipelineStageNone(void*) {
    return nullptr;
}

void LgPipelineStageEmpty(void*) {}

void LgPipelineStageEmptyWithParameter(void*, void*) {}

LgPipeline* LgPipelineCreate() {
    LgPipelineSlice* s = slice();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return nullptr;
    }
    auto* pipeline = static_cast<LgPipeline*>(LgFreeListTake(s->pipelineList));
    if (pipeline == nullptr) return nullptr;
    pipeline->stage0 = LgPipelineStageNone;
    pipeline->stage1 = LgPipelineStageEmpty;
    pipeline->stage2 = LgPipelineStageEmpty;
    pipeline->parameter = reinterpret_cast<void*>(&LgPipelineStageEmpty);
    pipeline->stage4 = LgPipelineStageEmptyWithParameter;
    pipeline->stage5 = LgPipelineStageEmpty;
    pipeline->stage6 = LgPipelineStageEmpty;
    if (!LgEngineDeviceRequest(&LgEngineInstancePtr->device, LgDeviceRequestPipeline, nullptr,
                               pipeline, 0)) {
        LgFreeListGive(s->pipelineList, pipeline);
        return nullptr;
    }
    return pipeline;
}

int32_t LgPipelineDestroy(LgPipeline* pipeline) {
    if (pipeline == nullptr) return 0;
    LgFreeListGive(slice()->pipelineList, pipeline);
    return 1;
}

LgPipeline* LgPipelinePush(LgPipeline* pipeline) {
    LgPipelineSlice* s = slice();
    if (s->depth == LgPipelineStackSize) {
        ++s->overflow;
        return nullptr;
    }
    s->stack[s->depth++] = pipeline;
    return s->open(pipeline) > 0 ? pipeline : nullptr;
}

void* LgPipelineExecute(void* object) {
    LgPipelineSlice* s = slice();
    if (s->depth == 0 || s->overflow != 0) return object;
    LgPipeline* p = s->stack[s->depth - 1];
    void* work;
    {
        LgPhaseScope phase(LgPhaseInstancing);
        work = p->stage0(object);
    }
    if (work == nullptr) return object;
    {
        LgPhaseScope phase(LgPhaseTransformClip);
        p->stage1(work);
    }
    {
        LgPhaseScope phase(LgPhaseLighting);
        p->stage2(work);
        p->stage4(work, p->parameter);
        p->stage5(work);
    }
    // The render stage clips and submits; the device's filling is charged to its own phase.
    LgPhaseScope phase(LgPhaseTransformClip);
    p->stage6(work);
    return object;
}

LgPipeline* LgPipelinePop() {
    LgPipelineSlice* s = slice();
    if (s->overflow != 0) {
        --s->overflow;
        return nullptr;
    }
    if (s->depth == 0) return nullptr;
    if (s->close() == 0) return nullptr;
    return s->stack[--s->depth];
}

int32_t LgPipelineSetOpenClose(LgPipelineOpenFunc open, LgPipelineCloseFunc close) {
    LgPipelineSlice* s = slice();
    if (s == nullptr) return 0;
    s->open = open != nullptr ? open : refuse_open;
    s->close = close != nullptr ? close : refuse_close;
    return 1;
}

int32_t LgPipelineGetDepth() {
    const LgPipelineSlice* s = slice();
    return s != nullptr ? static_cast<int32_t>(s->depth) : 0;
}

void* LgPipelineModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgPipelineSlice>(instance, offset);
    s->pipelineList = LgFreeListCreate(sizeof(LgPipeline), pipelinesPerBlock, pipelineAlignment);
    if (s->pipelineList == nullptr) return nullptr;
    s->open = refuse_open;
    s->close = refuse_close;
    s->depth = 0;
    s->overflow = 0;
    pipelineModule.offset = offset;
    ++pipelineModule.openCount;
    return instance;
}

void* LgPipelineModuleClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgPipelineSlice>(instance, offset);
    LgFreeListDestroy(s->pipelineList);
    s->pipelineList = nullptr;
    if (pipelineModule.openCount > 0) --pipelineModule.openCount;
    return instance;
}
