// The world-sector stages the game puts into the engine: full-bright landscape sectors.
#include "frontend/video/sector_stages.h"

#include "engine/core/lg_im3d.h"
#include "engine/core/lg_objects.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_render.h"

namespace {

// The engine's own instancing stage, kept for the game's stage to run first.
void* (*engine_instance_stage)(void*) = nullptr;

void skip_stage(void*) {}
void skip_lighting_stage(void*, void*) {}

} // namespace

void* TvSectorInstanceStage(void* sector) {
    if (!engine_instance_stage) return nullptr;
    auto* work = static_cast<LgWorldRenderWork*>(engine_instance_stage(sector));
    // Every vertex of an instanced sector is filled. The context's nothing-to-draw word is no
    // guide here: the transform stage decides it after this stage, and until then it reads
    // "nothing to draw". With the pre-light stage switched off, a vertex left unfilled would
    // be packed from whatever the accumulators last held.
    if (!work || !LgIm3DGlobal.current) return work;
    LgIm3DScreenVertex* vertices = LgIm3DGlobal.screenVertices + work->im3d.first;
    for (int32_t i = 0; i < work->numVertices; ++i) {
        vertices[i].colour = TV_SECTOR_VERTEX_COLOUR;
        // The post-light stage packs these into the same colour; material modulation starts
        // from them too.
        float* a = work->accumulators[i];
        a[0] = a[1] = a[2] = 255.0f;
        a[3] = float(TV_SECTOR_VERTEX_COLOUR >> 24);
    }
    return work;
}

void TvInstallSectorStages() {
    LgPipeline* pipeline = LgWorldGetDefaultSectorPipeline();
    if (!pipeline) return;
    // Each start of the engine makes a new default pipeline with the engine's own stages.
    if (pipeline->stage0 != TvSectorInstanceStage) engine_instance_stage = pipeline->stage0;
    pipeline->stage0 = TvSectorInstanceStage;
    pipeline->stage2 = skip_stage;
    pipeline->stage4 = skip_lighting_stage;
}
