// Clumps: creation, destruction with their atomics and frames, the atomic list, deep copies
// that share geometries, and rendering.
#include "engine/world/lg_clump.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_frame.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"

#include <cstddef>
#include <cstring>

LgPluginRegistry LgClumpRegistry = LgPluginRegistryMake(sizeof(LgClump));

namespace {

LgClump* identity_callback(LgClump* clump, void*) {
    return clump;
}

LgAtomic* atomic_of_link(LgLink* link) {
    return reinterpret_cast<LgAtomic*>(reinterpret_cast<char*>(link) -
                                       offsetof(LgAtomic, inClumpLink));
}

// The copy of a source frame while LgFrameClone's mapping is in place: a frame of the cloned
// hierarchy points at its clone, whose root is the copy's root. A frame outside the hierarchy
// is not copied, so the copy shares it.
LgFrame* mapped_frame(LgFrame* source, const LgFrame* rootCopy) {
    LgFrame* mapped = source->root;
    return mapped != nullptr && mapped->root == rootCopy && rootCopy != nullptr ? mapped : source;
}

bool copy_atomics(LgClump* copy, LgClump* source) {
    const LgFrame* rootCopy = LgClumpGetFrame(copy);
    for (LgLink* l = source->atomics.next; l != &source->atomics; l = l->next) {
        LgAtomic* from = atomic_of_link(l);
        LgAtomic* atomic = LgAtomicCreate();
        if (atomic == nullptr) return false;
        atomic->object.header.type = from->object.header.type;
        atomic->object.header.subType = from->object.header.subType;
        atomic->object.header.flags = from->object.header.flags;
        atomic->object.header.privateFlags = from->object.header.privateFlags;
        LgAtomicSetFrame(atomic, nullptr);
        LgAtomicSetGeometry(atomic, from->geometry, 0);
        atomic->boundingSphere = from->boundingSphere;
        atomic->renderCallBack = from->renderCallBack;
        atomic->interpolator = from->interpolator;
        LgPluginRegistryCopyObject(&LgAtomicRegistry, atomic, from);
        LgFrame* frame = LgAtomicGetFrame(from);
        if (frame == nullptr) {
            LgAtomicDestroy(atomic);
            LgErrorRaise(LgErrorGroupWorld, LgErrAtomicWithoutFrame);
            return false;
        }
        LgAtomicSetFrame(atomic, mapped_frame(frame, rootCopy));
        LgClumpAddAtomic(copy, atomic);
    }
    return true;
}

} // namespace

int32_t LgClumpRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgClumpRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

int32_t LgClumpGetPluginOffset(uint32_t pluginId) {
    return LgPluginRegistryGetOffset(&LgClumpRegistry, pluginId);
}

LgClump* LgClumpCreate() {
    LgClumpSlice* s = LgClumpModuleSlice();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
        return nullptr;
    }
    auto* clump = static_cast<LgClump*>(LgFreeListTake(s->clumpList));
    if (clump == nullptr) return nullptr;
    std::memset(static_cast<void*>(clump), 0, sizeof(LgClump));
    clump->header.type = LgObjectTypeClump;
    LgLinkInitialise(&clump->atomics);
    clump->callBack = identity_callback;
    if (LgPluginRegistryInitObject(&LgClumpRegistry, clump) == nullptr) {
        LgFreeListGive(s->clumpList, clump);
        return nullptr;
    }
    return clump;
}

int32_t LgClumpDestroy(LgClump* clump) {
    LgClumpSlice* s = LgClumpModuleSlice();
    if (clump == nullptr || s == nullptr) return 0;
    LgPluginRegistryDeinitObject(&LgClumpRegistry, clump);
    for (LgLink* l = clump->atomics.next; l != &clump->atomics;) {
        LgLink* next = l->next;
        LgAtomicDestroy(atomic_of_link(l));
        l = next;
    }
    if (LgFrame* root = LgClumpGetFrame(clump)) LgFrameDestroyHierarchy(root);
    LgFreeListGive(s->clumpList, clump);
    return 1;
}

LgClump* LgClumpAddAtomic(LgClump* clump, LgAtomic* atomic) {
    if (clump == nullptr || atomic == nullptr) return nullptr;
    LgLinkAddAtHead(&clump->atomics, &atomic->inClumpLink);
    atomic->clump = clump;
    return clump;
}

LgClump* LgClumpClone(LgClump* source) {
    if (source == nullptr) return nullptr;
    LgClump* copy = LgClumpCreate();
    if (copy == nullptr) return nullptr;
    LgFrame* sourceRoot = LgClumpGetFrame(source);
    if (sourceRoot != nullptr) {
        copy->header.parent = LgFrameClone(sourceRoot);
        if (copy->header.parent == nullptr) {
            LgClumpDestroy(copy);
            return nullptr;
        }
    }
    const bool copied = copy_atomics(copy, source);
    if (sourceRoot != nullptr) LgFrameRestoreRoots(sourceRoot);
    if (!copied) {
        LgClumpDestroy(copy);
        return nullptr;
    }
    copy->callBack = source->callBack;
    LgPluginRegistryCopyObject(&LgClumpRegistry, copy, source);
    return copy;
}

LgClump* LgClumpForAllAtomics(LgClump* clump, LgAtomicCallBack callBack, void* data) {
    if (clump == nullptr || callBack == nullptr) return clump;
    for (LgLink* l = clump->atomics.next; l != &clump->atomics;) {
        LgLink* next = l->next; // the callback may destroy the atomic
        if (callBack(atomic_of_link(l), data) == nullptr) break;
        l = next;
    }
    return clump;
}

int32_t LgClumpGetNumAtomics(const LgClump* clump) {
    int32_t n = 0;
    for (const LgLink* l = clump->atomics.next; l != &clump->atomics; l = l->next) ++n;
    return n;
}

LgClump* LgClumpRender(LgClump* clump) {
    if (clump == nullptr) return nullptr;
    for (LgLink* l = clump->atomics.next; l != &clump->atomics; l = l->next) {
        LgAtomic* atomic = atomic_of_link(l);
        if ((atomic->object.header.flags & LgAtomicRender) == 0) continue;
        if (LgFrame* frame = LgAtomicGetFrame(atomic)) LgFrameGetWorldMatrix(frame);
        atomic->renderCallBack(atomic);
    }
    return clump;
}
