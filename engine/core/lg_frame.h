// Frames: the transform hierarchy with lazily synchronised world matrices (engine module
// 0x403) and the attachment of frame objects.
#pragma once

#include "engine/core/lg_plugin_registry.h"
#include "engine/core/lg_types.h"

// Private flag bits of a frame.
constexpr uint8_t LgFrameHierarchySyncLTM = 0x01; // roots: matrices need a sync before reads
constexpr uint8_t LgFrameHierarchyListed = 0x02;  // roots: in the dirty-frame list
constexpr uint8_t LgFrameSubtreeSyncLTM = 0x04;   // local changed: world here and below stale
constexpr uint8_t LgFrameSubtreeSyncObj = 0x08;   // world changed: attached objects to notify
constexpr uint8_t LgFrameDirtyRoot = LgFrameHierarchySyncLTM | LgFrameHierarchyListed;
constexpr uint8_t LgFrameDirtySubtree = LgFrameSubtreeSyncLTM | LgFrameSubtreeSyncObj;

struct LgFrame {
    LgObjectHeader header; // type LgObjectTypeFrame; header.parent is the parent frame
    LgMatrix modelling;    // local, relative to the parent
    LgMatrix ltm;          // world
    LgLink inDirtyListLink;
    LgLink objectList; // attached LgFrameObjects, through their frameLink
    LgFrame* child;
    LgFrame* next; // sibling
    LgFrame* root;
};

struct LgFrameSlice {
    LgFreeList* frameList;
};

// The frame registry: plug-ins add slices to every frame before the engine opens.
extern LgPluginRegistry LgFrameRegistry;
int32_t LgFrameRegisterPlugin(int32_t size, uint32_t pluginId,
                              LgPluginObjectConstructor constructor,
                              LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgFrameGetPluginOffset(uint32_t pluginId);

LgFrame* LgFrameCreate();
// Children lose their parent and become roots of their own subtrees.
int32_t LgFrameDestroy(LgFrame* frame);
// Destroys every descendant depth first, then the frame.
int32_t LgFrameDestroyHierarchy(LgFrame* frame);
// Null (and {1, 0x80000003}) when the child is the parent or one of its ancestors.
LgFrame* LgFrameAddChild(LgFrame* parent, LgFrame* child);
using LgFrameCallBack = LgFrame* (*)(LgFrame* frame, void* data);
LgFrame* LgFrameForAllChildren(LgFrame* frame, LgFrameCallBack callBack, void* data);
using LgObjectCallBack = void* (*)(void* object, void* data);
LgFrame* LgFrameForAllObjects(LgFrame* frame, LgObjectCallBack callBack, void* data);
LgMatrix* LgFrameGetMatrix(LgFrame* frame);
// Brings the frame's tree up to date first when it is marked.
LgMatrix* LgFrameGetWorldMatrix(LgFrame* frame);
LgFrame* LgFrameMarkDirty(LgFrame* frame);
LgFrame* LgFrameRotate(LgFrame* frame, const LgVector* axis, float angle, int32_t combine);
LgFrame* LgFrameSetIdentity(LgFrame* frame);
// Nonzero when the frame's root is in the dirty-frame list.
int32_t LgFrameDirty(const LgFrame* frame);
// Clones the subtree; the clone's children come out in reverse order. Each source frame's
// root field then points at its clone (callers map frames this way) until
// LgFrameRestoreRoots(source) is called; a failed clone restores them itself.
LgFrame* LgFrameClone(LgFrame* frame);
void LgFrameRestoreRoots(LgFrame* frame);
// Brings every listed tree up to date and notifies the objects of changed frames.
int32_t LgFrameSyncAllDirty();

inline LgFrame* LgFrameGetParent(const LgFrame* frame) {
    return frame->header.parent;
}

// Attaches a frame object (camera, light, atomic) to a frame, or detaches it with null.
void* LgObjectSetFrame(void* object, LgFrame* frame);
// Unlinks the object from its frame's object list; its frame field stays.
void* LgObjectRemoveFrame(void* object);

void* LgFrameOpen(void* instance, int32_t offset, int32_t size);
void* LgFrameClose(void* instance, int32_t offset, int32_t size);
