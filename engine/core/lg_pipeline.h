// Render pipelines (engine module 0x409): stage records, the engine-wide pipeline stack and
// running the top pipeline on an object.
#pragma once

#include "engine/core/lg_objects.h"

// Called on every push; the push succeeds when it returns a positive value.
using LgPipelineOpenFunc = int32_t (*)(LgPipeline* pipeline);
// Called on every pop; the pop happens only when it returns non-zero.
using LgPipelineCloseFunc = int32_t (*)();

constexpr int32_t LgPipelineStackSize = 10;

struct LgPipelineSlice {
    LgFreeList* pipelineList;
    LgPipelineOpenFunc open;
    LgPipelineCloseFunc close;
    uint32_t depth;
    LgPipeline* stack[LgPipelineStackSize];
    // Pushes refused because the stack was full; their pops are refused in turn, so the
    // pushes and pops of the callers stay paired.
    uint32_t overflow;
};

// A new pipeline with empty stages, filled by the device (request 9); null when the device
// refuses or no record is left.
LgPipeline* LgPipelineCreate();
int32_t LgPipelineDestroy(LgPipeline* pipeline);
// Stacks the pipeline and calls the module's open function: the pipeline when it answered
// positive, else null (the pipeline stays stacked and must be popped). A full stack refuses
// the push (null) without stacking.
LgPipeline* LgPipelinePush(LgPipeline* pipeline);
// Runs the top pipeline's stages on the object; returns the object.
void* LgPipelineExecute(void* object);
// The popped pipeline, or null when the close function refused or nothing was stacked.
LgPipeline* LgPipelinePop();
int32_t LgPipelineSetOpenClose(LgPipelineOpenFunc open, LgPipelineCloseFunc close);
int32_t LgPipelineGetDepth();

// The stage functions of a new pipeline.
void* LgPipelineStageNone(void* object);
void LgPipelineStageEmpty(void* work);
void LgPipelineStageEmptyWithParameter(void* work, void* parameter);

void* LgPipelineModuleOpen(void* instance, int32_t offset, int32_t size);
void* LgPipelineModuleClose(void* instance, int32_t offset, int32_t size);
