// World render pipelines: the world plug-in's pipeline table, the stages of the world-sector
// and atomic pipelines (instancing, pre-light, post-light, render), the lighting models of
// each light subtype and the world and atomic lighting stages.
#pragma once

#include "engine/core/lg_im3d.h"
#include "engine/world/lg_light.h"
#include "engine/world/lg_world.h"

struct LgPipeline;

// The world plug-in's pipeline table.
struct LgWorldPipelineTable {
    int32_t (*pluginInit)(); // run at the end of the tie attach; 1
    int32_t (*atomicPipelineSetup)(LgPipeline* pipeline);
    int32_t (*sectorPipelineSetup)(LgPipeline* pipeline);
    int32_t (*lightSetup)(LgLight* light); // installs the subtype's lighting model
};
const LgWorldPipelineTable* LgWorldGetPipelineTable();

// Instanced render data of a sector or an atomic (the body of a resources-arena entry); the
// vertices and the index triples follow it.
struct LgInstancedData {
    uint16_t serialNum; // of the mesh header it was built from
    uint32_t objectFlags;
    int32_t numVertices;
    int32_t vertexStride;
    uint8_t* vertices;
    int32_t numTriangles;
    int32_t indexStride;
    int32_t indexOffset;
    uint16_t* indices;
    uint16_t instancingMode;
    uint16_t lightingFlags;
    LgMeshHeader* mesh;
};

// The lighting context's flag: a light has been applied in this pass.
constexpr uint16_t LgLightingLit = 0x1;

// The work record the world pipelines' stages share. It starts with immediate mode's record,
// which the device's transform stage reads.
struct LgWorldRenderWork {
    LgIm3DWork im3d;
    void* object; // the atomic sector or the atomic
    LgInstancedData* data;
    uint32_t objectFlags;
    uint16_t lightingFlags;
    float (*accumulators)[4]; // R, G, B, A a vertex
    int32_t numVertices;
};

// The light set-up: installs the lighting model of the light's subtype (none for others). 1.
int32_t LgWorldLightSetup(LgLight* light);
// Stage 3, the apply-one-light parameter: sets the lit bit and runs the light's model.
void LgWorldApplyOneLight(void* context, LgLight* light, const LgMatrix* transform, float scale,
                          const LgSurfaceProperties* surface);
// Stage 4 of the world-sector pipeline: the world's global lights then the sector's local
// lights, those flagged to light the world, when the world is lit.
void LgWorldLightingStage(void* work, void* apply);
// Stage 4 of the atomic pipeline: global lights then each local light tied to the atomic's
// sectors once, those flagged to light atomics, when the geometry is lit.
void LgAtomicApplyLights(void* work, void* apply);

// Frees the render stages' scratch buffers (module close).
void LgWorldReleaseRenderScratch();
