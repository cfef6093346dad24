// Atomics: creation and destruction through the clump module's free list, geometry and frame
// attachment, and the local and world bounding spheres that follow the morph targets.
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_vector.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"

#include <algorithm>
#include <cstring>

LgPluginRegistry LgAtomicRegistry = LgPluginRegistryMake(sizeof(LgAtomic));

namespace {

constexpr LgInterpolator initialInterpolator = {0x3, 0, 0, 1.0f, 1.0f, 0.0f};

void* sync_atomic(void* object) {
    return LgAtomicDefaultSync(static_cast<LgAtomic*>(object));
}

} // namespace

int32_t LgAtomicRegisterPlugin(int32_t size, uint32_t pluginId,
                               LgPluginObjectConstructor constructor,
                               LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgAtomicRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

int32_t LgAtomicGetPluginOffset(uint32_t pluginId) {
    return LgPluginRegistryGetOffset(&LgAtomicRegistry, pluginId);
}

LgAtomic* LgAtomicCreate() {
    LgClumpSlice* s = LgClumpModuleSlice();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    auto* atomic = static_cast<LgAtomic*>(LgFreeListTake(s->atomicList));
    if (atomic == nullptr) return nullptr;
    std::memset(static_cast<void*>(atomic), 0, sizeof(LgAtomic));
    atomic->object.header = {LgObjectTypeAtomic, 0, LgAtomicCollisionTest | LgAtomicRender,
                             LgAtomicWorldSphereStale, nullptr};
    LgLinkInitialise(&atomic->object.frameLink);
    atomic->object.sync = sync_atomic;
    LgLinkInitialise(&atomic->inClumpLink);
    atomic->renderCallBack = LgAtomicDefaultRender;
    atomic->interpolator = initialInterpolator;
    LgLinkInitialise(&atomic->sectorTies);
    if (LgPluginRegistryInitObject(&LgAtomicRegistry, atomic) == nullptr) {
        LgFreeListGive(s->atomicList, atomic);
        return nullptr;
    }
    return atomic;
}

int32_t LgAtomicDestroy(LgAtomic* atomic) {
    LgClumpSlice* s = LgClumpModuleSlice();
    if (atomic == nullptr || s == nullptr) return 0;
    LgPluginRegistryDeinitObject(&LgAtomicRegistry, atomic);
    LgAtomicDestroyInstancedResource(atomic);
    LgFrame* frame = LgAtomicGetFrame(atomic);
    if (atomic->geometry != nullptr) {
        LgGeometryRelease(atomic->geometry);
        atomic->geometry = nullptr;
        if (frame != nullptr) LgFrameMarkDirty(frame);
    }
    LgObjectRemoveFrame(atomic);
    LgFreeListGive(s->atomicList, atomic);
    return 1;
}

LgAtomic* LgAtomicSetGeometry(LgAtomic* atomic, LgGeometry* geometry, uint32_t flags) {
    if (atomic == nullptr || atomic->geometry == geometry) return atomic;
    LgGeometryAddRef(geometry);
    if (atomic->geometry != nullptr) LgGeometryRelease(atomic->geometry);
    atomic->geometry = geometry;
    if ((flags & LgAtomicSameBoundingSphere) == 0) {
        if (geometry != nullptr) atomic->boundingSphere = geometry->morphTarget[0].boundingSphere;
        if (LgFrame* frame = LgAtomicGetFrame(atomic)) LgFrameMarkDirty(frame);
    }
    return atomic;
}

LgAtomic* LgAtomicSetFrame(LgAtomic* atomic, LgFrame* frame) {
    if (atomic == nullptr) return nullptr;
    LgObjectSetFrame(atomic, frame);
    atomic->object.header.privateFlags |= LgAtomicWorldSphereStale;
    return atomic;
}

LgAtomic* LgAtomicUpdateBoundingSphere(LgAtomic* atomic) {
    if (atomic == nullptr || atomic->geometry == nullptr) return atomic;
    const LgGeometry* g = atomic->geometry;
    const int32_t n = g->numMorphTargets;
    const int32_t start = atomic->interpolator.startMorphTarget;
    const int32_t end = atomic->interpolator.endMorphTarget;
    const bool startValid = start >= 0 && start < n, endValid = end >= 0 && end < n;
    if (start == end || !startValid || !endValid) {
        atomic->boundingSphere = g->morphTarget[startValid && endValid ? start : 0].boundingSphere;
    } else {
        const LgSphere& a = g->morphTarget[start].boundingSphere;
        const LgSphere& b = g->morphTarget[end].boundingSphere;
        const float t = atomic->interpolator.position * atomic->interpolator.recipTime;
        atomic->boundingSphere = {{a.center.x + (b.center.x - a.center.x) * t,
                                   a.center.y + (b.center.y - a.center.y) * t,
                                   a.center.z + (b.center.z - a.center.z) * t},
                                  a.radius + (b.radius - a.radius) * t};
    }
    atomic->interpolator.flags &= ~LgInterpolatorDirty;
    atomic->object.header.privateFlags |= LgAtomicWorldSphereStale;
    return atomic;
}

LgSphere* LgAtomicGetWorldBoundingSphere(LgAtomic* atomic) {
    if (atomic == nullptr) return nullptr;
    if ((atomic->interpolator.flags & LgInterpolatorDirty) != 0)
        LgAtomicUpdateBoundingSphere(atomic);
    LgFrame* frame = LgAtomicGetFrame(atomic);
    // Without a frame there is no world placement: the local sphere stands for it.
    if (frame == nullptr) {
        atomic->worldBoundingSphere = atomic->boundingSphere;
        return &atomic->worldBoundingSphere;
    }
    const bool rootPending = (frame->root->header.privateFlags & LgFrameDirtyRoot) != 0;
    if (!rootPending && (atomic->object.header.privateFlags & LgAtomicWorldSphereStale) == 0)
        return &atomic->worldBoundingSphere;
    const LgMatrix* world = LgFrameGetWorldMatrix(frame);
    LgVectorTransformPoints(&atomic->worldBoundingSphere.center, &atomic->boundingSphere.center, 1,
                            world);
    const float s2 = std::max({LgVectorDotProduct(&world->right, &world->right),
                               LgVectorDotProduct(&world->up, &world->up),
                               LgVectorDotProduct(&world->at, &world->at)});
    atomic->worldBoundingSphere.radius = atomic->boundingSphere.radius * LgSqrt(s2);
    atomic->object.header.privateFlags &= static_cast<uint8_t>(~LgAtomicWorldSphereStale);
    return &atomic->worldBoundingSphere;
}

LgAtomic* LgAtomicDefaultSync(LgAtomic* atomic) {
    if ((atomic->interpolator.flags & LgInterpolatorDirty) != 0)
        LgAtomicUpdateBoundingSphere(atomic);
    atomic->object.header.privateFlags |= LgAtomicWorldSphereStale;
    return atomic;
}
