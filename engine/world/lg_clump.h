// Clumps and atomics: frame hierarchies of placed geometries (engine module 0x504), their
// plug-in registries, bounding spheres, deep copies, rendering and the clump chunk readers.
#pragma once

#include "engine/core/lg_objects.h"
#include "engine/core/lg_plugin_registry.h"

constexpr uint32_t LgModuleClump = 0x504;

// Atomic flags: bit 0x01 takes part in collision, 0x04 is drawn.
constexpr uint8_t LgAtomicCollisionTest = 0x01;
constexpr uint8_t LgAtomicRender = 0x04;
// Atomic private flag: the world bounding sphere is stale.
constexpr uint8_t LgAtomicWorldSphereStale = 0x01;
// Interpolator flag: the local sphere must be recomputed from the morph targets.
constexpr uint32_t LgInterpolatorDirty = 0x02;
// LgAtomicSetGeometry flag: keep the atomic's bounding sphere.
constexpr uint32_t LgAtomicSameBoundingSphere = 0x01;

// Error code of a cloned atomic without a frame.
constexpr int32_t LgErrAtomicWithoutFrame = 5;

struct LgPipeline;

struct LgClumpSlice {
    LgPipeline* atomicPipeline;
    LgFreeList* atomicList;
    LgFreeList* clumpList;
};

// Temporary arrays of the clump reader.
struct LgFrameList {
    LgFrame** frames;
    int32_t numFrames;
};
struct LgGeometryList {
    LgGeometry** geometries;
    int32_t numGeometries;
};

extern LgPluginRegistry LgAtomicRegistry;
extern LgPluginRegistry LgClumpRegistry;
int32_t LgClumpRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgAtomicRegisterPlugin(int32_t size, uint32_t pluginId,
                               LgPluginObjectConstructor constructor,
                               LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgClumpGetPluginOffset(uint32_t pluginId);
int32_t LgAtomicGetPluginOffset(uint32_t pluginId);

LgAtomic* LgAtomicCreate();
// Does not unlink the atomic from its clump: atomics die through their clump. 1.
int32_t LgAtomicDestroy(LgAtomic* atomic);
LgAtomic* LgAtomicSetGeometry(LgAtomic* atomic, LgGeometry* geometry, uint32_t flags);
LgAtomic* LgAtomicSetFrame(LgAtomic* atomic, LgFrame* frame);
inline LgFrame* LgAtomicGetFrame(const LgAtomic* atomic) {
    return atomic->object.header.parent;
}
LgAtomic* LgAtomicUpdateBoundingSphere(LgAtomic* atomic);
LgSphere* LgAtomicGetWorldBoundingSphere(LgAtomic* atomic);
LgAtomic* LgAtomicDefaultSync(LgAtomic* atomic);
// Runs the clump module's atomic pipeline on the atomic; null when it cannot.
LgAtomic* LgAtomicDefaultRender(LgAtomic* atomic);
// Frees the atomic's render data in the resources arena, if any.
void LgAtomicDestroyInstancedResource(LgAtomic* atomic);

LgClump* LgClumpCreate();
// Destroys the clump, its atomics and its whole frame hierarchy. 1.
int32_t LgClumpDestroy(LgClump* clump);
// Links the atomic at the head of the clump's list.
LgClump* LgClumpAddAtomic(LgClump* clump, LgAtomic* atomic);
// A deep copy sharing the geometries; its atomic list runs in the reverse order.
LgClump* LgClumpClone(LgClump* clump);
using LgAtomicCallBack = LgAtomic* (*)(LgAtomic* atomic, void* data);
LgClump* LgClumpForAllAtomics(LgClump* clump, LgAtomicCallBack callBack, void* data);
inline LgFrame* LgClumpGetFrame(const LgClump* clump) {
    return clump->header.parent;
}
int32_t LgClumpGetNumAtomics(const LgClump* clump);
// Calls the render callback of each atomic flagged for rendering, its frame synchronised first.
LgClump* LgClumpRender(LgClump* clump);

// Readers: each stream is positioned after its chunk's header.
LgClump* LgClumpStreamRead(LgStream* stream);
LgFrameList* LgFrameListStreamRead(LgStream* stream, LgFrameList* list);
LgFrameList* LgFrameListDeinit(LgFrameList* list);
LgAtomic* LgAtomicStreamRead(LgStream* stream, const LgFrameList* frames,
                             const LgGeometryList* geometries);

int32_t LgClumpModuleRegister();
// The open module's slice, or null while it is closed.
LgClumpSlice* LgClumpModuleSlice();
