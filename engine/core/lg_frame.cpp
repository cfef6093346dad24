// Frame hierarchies, the dirty-frame list and the lazy and full synchronisation of world
// matrices.
#include "engine/core/lg_frame.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_matrix.h"
#include "engine/core/lg_module.h"
#include "engine/core/lg_phase_timing.h"

#include <cstddef>

LgPluginRegistry LgFrameRegistry = LgPluginRegistryMake(sizeof(LgFrame));

namespace {

LgModule frameModule;

constexpr int32_t framesPerBlock = 50;
constexpr int32_t frameAlignment = 4;

LgLink* dirty_list() {
    return &LgEngineInstancePtr->dirtyFrames;
}

LgFrame* frame_of_dirty_link(LgLink* link) {
    return reinterpret_cast<LgFrame*>(reinterpret_cast<char*>(link) -
                                      offsetof(LgFrame, inDirtyListLink));
}

LgFrameObject* object_of_link(LgLink* link) {
    return reinterpret_cast<LgFrameObject*>(reinterpret_cast<char*>(link) -
                                            offsetof(LgFrameObject, frameLink));
}

void list_root(LgFrame* root) {
    if ((root->header.privateFlags & LgFrameDirtyRoot) == 0)
        LgLinkAddAtHead(dirty_list(), &root->inDirtyListLink);
    root->header.privateFlags |= LgFrameDirtyRoot;
}

void unlist_root(LgFrame* root) {
    if ((root->header.privateFlags & LgFrameDirtyRoot) != 0) LgLinkRemove(&root->inDirtyListLink);
    root->header.privateFlags &= static_cast<uint8_t>(~LgFrameDirtyRoot);
}

void set_subtree_root(LgFrame* frame, LgFrame* root) {
    frame->root = root;
    for (LgFrame* c = frame->child; c != nullptr; c = c->next) set_subtree_root(c, root);
}

// Takes the child out of its parent's list and makes it the root of its subtree; both the
// child and the old root are marked, as both trees changed.
void detach_from_parent(LgFrame* child) {
    LgFrame* parent = child->header.parent;
    LgFrame* oldRoot = child->root;
    set_subtree_root(child, child);
    LgFrameMarkDirty(child);
    if (parent->child == child) {
        parent->child = child->next;
    } else {
        for (LgFrame* s = parent->child; s != nullptr; s = s->next)
            if (s->next == child) {
                s->next = child->next;
                break;
            }
    }
    child->header.parent = nullptr;
    child->next = nullptr;
    LgFrameMarkDirty(oldRoot);
}

bool is_ancestor_or_self(const LgFrame* candidate, const LgFrame* frame) {
    for (const LgFrame* f = frame; f != nullptr; f = f->header.parent)
        if (f == candidate) return true;
    return false;
}

void notify_objects(LgFrame* frame) {
    LgLink* head = &frame->objectList;
    for (LgLink* link = head->next; link != head;) {
        LgLink* next = link->next;
        LgFrameObject* object = object_of_link(link);
        if (object->sync != nullptr) object->sync(object);
        link = next;
    }
}

void sync_world(LgFrame* frame) {
    LgMatrixMultiply(&frame->ltm, &frame->modelling, &frame->header.parent->ltm);
}

void lazy_sync(LgFrame* frame, bool parentChanged) {
    const bool changed = parentChanged || (frame->header.privateFlags & LgFrameSubtreeSyncLTM) != 0;
    if (changed) {
        sync_world(frame);
        frame->header.privateFlags &= static_cast<uint8_t>(~LgFrameSubtreeSyncLTM);
    }
    for (LgFrame* c = frame->child; c != nullptr; c = c->next) lazy_sync(c, changed);
}

void full_sync(LgFrame* frame, uint8_t inherited) {
    const uint8_t dirty = (frame->header.privateFlags & LgFrameDirtySubtree) | inherited;
    if (dirty != 0) {
        if ((dirty & LgFrameSubtreeSyncLTM) != 0) sync_world(frame);
        frame->header.privateFlags = 0;
        notify_objects(frame);
    }
    for (LgFrame* c = frame->child; c != nullptr; c = c->next) full_sync(c, dirty);
}

LgFrame* take_frame() {
    const LgFrameSlice* s = frameModule.slice<LgFrameSlice>();
    if (s == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return nullptr;
    }
    return static_cast<LgFrame*>(LgFreeListTake(s->frameList));
}

void give_frame(LgFrame* frame) {
    LgFreeListGive(frameModule.slice<LgFrameSlice>()->frameList, frame);
}

// A frame record with no relations: empty object list, its own root, not listed.
void reset_frame(LgFrame* frame) {
    frame->header = {LgObjectTypeFrame, 0, 0, 0, nullptr};
    frame->inDirtyListLink.next = frame->inDirtyListLink.prev = &frame->inDirtyListLink;
    frame->objectList.next = frame->objectList.prev = &frame->objectList;
    frame->child = nullptr;
    frame->next = nullptr;
    frame->root = frame;
}

// Destroys a clone's already finished children (used when cloning fails part way).
void destroy_partial_children(LgFrame* clone) {
    while (LgFrame* c = clone->child) {
        clone->child = c->next;
        c->header.parent = nullptr;
        c->next = nullptr;
        set_subtree_root(c, c);
        LgFrameDestroyHierarchy(c);
    }
}

LgFrame* clone_subtree(LgFrame* source, LgFrame* top) {
    LgFrame* clone = take_frame();
    if (clone == nullptr) return nullptr;
    reset_frame(clone);
    clone->header.type = source->header.type;
    clone->header.subType = source->header.subType;
    clone->header.flags = source->header.flags;
    // A source root's list bits describe its own list membership, not the clone's.
    clone->header.privateFlags =
        static_cast<uint8_t>(source->header.privateFlags & ~LgFrameDirtyRoot);
    clone->modelling = source->modelling;
    clone->ltm = source->ltm;
    if (top == nullptr) top = clone;
    clone->root = top;
    source->root = clone;
    for (LgFrame* c = source->child; c != nullptr; c = c->next) {
        LgFrame* childClone = clone_subtree(c, top);
        if (childClone == nullptr) {
            destroy_partial_children(clone);
            give_frame(clone);
            return nullptr;
        }
        childClone->header.parent = clone;
        childClone->next = clone->child;
        clone->child = childClone;
    }
    if (LgPluginRegistryInitObject(&LgFrameRegistry, clone) == nullptr) {
        destroy_partial_children(clone);
        give_frame(clone);
        return nullptr;
    }
    LgPluginRegistryCopyObject(&LgFrameRegistry, clone, source);
    return clone;
}

} // namespace

int32_t LgFrameRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    return LgPluginRegistryAddPlugin(&LgFrameRegistry, size, pluginId, constructor, destructor,
                                     copy);
}

int32_t LgFrameGetPluginOffset(uint32_t pluginId) {
    return LgPluginRegistryGetOffset(&LgFrameRegistry, pluginId);
}

LgFrame* LgFrameCreate() {
    LgFrame* frame = take_frame();
    if (frame == nullptr) return nullptr;
    reset_frame(frame);
    LgMatrixSetIdentity(&frame->modelling);
    LgMatrixSetIdentity(&frame->ltm);
    frame->ltm.flags = LgMatrixFlagOrthonormal;
    if (LgPluginRegistryInitObject(&LgFrameRegistry, frame) == nullptr) {
        give_frame(frame);
        return nullptr;
    }
    return frame;
}

int32_t LgFrameDestroy(LgFrame* frame) {
    if (frame == nullptr) return 0;
    LgPluginRegistryDeinitObject(&LgFrameRegistry, frame);
    if (frame->header.parent != nullptr) detach_from_parent(frame);
    unlist_root(frame);
    for (LgFrame* c = frame->child; c != nullptr;) {
        LgFrame* next = c->next;
        c->header.parent = nullptr;
        c->next = nullptr;
        set_subtree_root(c, c);
        // Its world matrix was relative to the destroyed parent; as a root it becomes its
        // local matrix at the next synchronisation.
        LgFrameMarkDirty(c);
        c = next;
    }
    frame->child = nullptr;
    give_frame(frame);
    return 1;
}

int32_t LgFrameDestroyHierarchy(LgFrame* frame) {
    if (frame == nullptr) return 1;
    for (LgFrame* c = frame->child; c != nullptr;) {
        LgFrame* next = c->next;
        LgFrameDestroyHierarchy(c);
        c = next;
    }
    return LgFrameDestroy(frame);
}

LgFrame* LgFrameAddChild(LgFrame* parent, LgFrame* child) {
    if (parent == nullptr || child == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrNullArgument);
        return nullptr;
    }
    // A frame under itself would make every walk of the tree endless.
    if (is_ancestor_or_self(child, parent)) {
        LgErrorRaise(LgErrorGroupCore, LgErrInvalidArgument);
        return nullptr;
    }
    if (child->header.parent != nullptr) detach_from_parent(child);
    child->next = parent->child;
    parent->child = child;
    child->header.parent = parent;
    if ((child->header.privateFlags & LgFrameDirtyRoot) != 0) {
        LgLinkRemove(&child->inDirtyListLink);
        child->header.privateFlags = 0;
    }
    set_subtree_root(child, parent->root);
    LgFrameMarkDirty(child);
    return parent;
}

LgFrame* LgFrameForAllChildren(LgFrame* frame, LgFrameCallBack callBack, void* data) {
    for (LgFrame* c = frame->child; c != nullptr;) {
        LgFrame* next = c->next;
        if (callBack(c, data) == nullptr) break;
        c = next;
    }
    return frame;
}

LgFrame* LgFrameForAllObjects(LgFrame* frame, LgObjectCallBack callBack, void* data) {
    LgLink* head = &frame->objectList;
    for (LgLink* link = head->next; link != head;) {
        LgLink* next = link->next;
        if (callBack(object_of_link(link), data) == nullptr) break;
        link = next;
    }
    return frame;
}

LgMatrix* LgFrameGetMatrix(LgFrame* frame) {
    return &frame->modelling;
}

LgMatrix* LgFrameGetWorldMatrix(LgFrame* frame) {
    LgFrame* root = frame->root;
    if ((root->header.privateFlags & LgFrameHierarchySyncLTM) != 0) {
        const bool rootChanged = (root->header.privateFlags & LgFrameSubtreeSyncLTM) != 0;
        // The list bit and the notify bit stay: the full synchronisation still owes the
        // attached objects their callbacks.
        root->header.privateFlags &=
            static_cast<uint8_t>(~(LgFrameHierarchySyncLTM | LgFrameSubtreeSyncLTM));
        if (rootChanged) root->ltm = root->modelling;
        for (LgFrame* c = root->child; c != nullptr; c = c->next) lazy_sync(c, rootChanged);
    }
    return &frame->ltm;
}

LgFrame* LgFrameMarkDirty(LgFrame* frame) {
    frame->header.privateFlags |= LgFrameDirtySubtree;
    list_root(frame->root);
    return frame;
}

LgFrame* LgFrameRotate(LgFrame* frame, const LgVector* axis, float angle, int32_t combine) {
    if (LgMatrixRotate(&frame->modelling, axis, angle, combine) == nullptr) return nullptr;
    return LgFrameMarkDirty(frame);
}

LgFrame* LgFrameSetIdentity(LgFrame* frame) {
    LgMatrixSetIdentity(&frame->modelling);
    return LgFrameMarkDirty(frame);
}

int32_t LgFrameDirty(const LgFrame* frame) {
    return (frame->root->header.privateFlags & LgFrameDirtyRoot) != 0;
}

LgFrame* LgFrameClone(LgFrame* frame) {
    if (frame == nullptr) return nullptr;
    LgFrame* top = clone_subtree(frame, nullptr);
    if (top == nullptr) {
        LgFrameRestoreRoots(frame);
        return nullptr;
    }
    top->header.privateFlags = LgFrameDirtySubtree;
    list_root(top);
    return top;
}

void LgFrameRestoreRoots(LgFrame* frame) {
    frame->root = frame->header.parent != nullptr ? frame->header.parent->root : frame;
    for (LgFrame* c = frame->child; c != nullptr; c = c->next) LgFrameRestoreRoots(c);
}

int32_t LgFrameSyncAllDirty() {
    LgLink* head = dirty_list();
    if (head->next == head) return 1;
    LgPhaseScope phase(LgPhaseFrameSync);
    // Work on a detached copy of the list: a sync callback that marks a frame again lists its
    // root in the emptied list for the next pass instead of being lost with this one.
    LgLink pending = {head->next, head->prev};
    pending.next->prev = &pending;
    pending.prev->next = &pending;
    head->next = head->prev = head;
    while (pending.next != &pending) {
        LgLink* link = pending.next;
        LgLinkRemove(link);
        LgFrame* root = frame_of_dirty_link(link);
        const uint8_t flags = root->header.privateFlags;
        root->header.privateFlags = 0;
        if ((flags & LgFrameDirtySubtree) != 0) {
            if ((flags & LgFrameSubtreeSyncLTM) != 0) root->ltm = root->modelling;
            notify_objects(root);
        }
        const uint8_t inherited = flags & LgFrameDirtySubtree;
        for (LgFrame* c = root->child; c != nullptr; c = c->next) full_sync(c, inherited);
    }
    return 1;
}

void* LgObjectSetFrame(void* object, LgFrame* frame) {
    auto* o = static_cast<LgFrameObject*>(object);
    if (o->header.parent != nullptr) LgLinkRemove(&o->frameLink);
    o->header.parent = frame;
    if (frame != nullptr) {
        LgLinkAddAtHead(&frame->objectList, &o->frameLink);
        LgFrameMarkDirty(frame);
    }
    return object;
}

void* LgObjectRemoveFrame(void* object) {
    auto* o = static_cast<LgFrameObject*>(object);
    if (o->header.parent != nullptr) LgLinkRemove(&o->frameLink);
    return object;
}

void* LgFrameOpen(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgFrameSlice>(instance, offset);
    s->frameList = LgFreeListCreate(LgFrameRegistry.sizeOfStruct, framesPerBlock, frameAlignment);
    if (s->frameList == nullptr) return nullptr;
    LgLink* head = &static_cast<LgEngineInstance*>(instance)->dirtyFrames;
    head->next = head->prev = head;
    frameModule.offset = offset;
    ++frameModule.openCount;
    return instance;
}

void* LgFrameClose(void* instance, int32_t offset, int32_t) {
    auto* s = LgModule::slice_of<LgFrameSlice>(instance, offset);
    LgFreeListDestroy(s->frameList);
    s->frameList = nullptr;
    LgLink* head = &static_cast<LgEngineInstance*>(instance)->dirtyFrames;
    head->next = head->prev = head;
    if (frameModule.openCount > 0) --frameModule.openCount;
    return instance;
}
