// The resources arena (engine module 0x40b): a size-bounded cache of data the renderer can
// rebuild, evicting the least recently used entries. Recency is counted in shown frames.
#pragma once

#include "engine/core/lg_types.h"

struct LgResEntry;
// Called before an entry is freed, whether by its owner or by eviction.
using LgResEntryDestroyNotify = void (*)(LgResEntry* entry);

// An entry's header; its data follows at LgResourcesEntryData.
struct LgResEntry {
    LgLink link; // in the current or the older list
    int32_t size;
    void* owner;
    // The owner's field that points at this entry; nulled when the entry is freed, so the
    // owner must not move while the entry exists.
    LgResEntry** ownerRef;
    LgResEntryDestroyNotify destroyNotify;
};

struct LgResourcesSlice {
    int32_t sizeLimit;
    int32_t used;    // sum of the entry sizes
    int32_t evicted; // bytes evicted from the current list since the last ageing
    LgLink listA;
    LgLink listB;
    LgLink* older;   // entries not used since the last show
    LgLink* current; // entries used since then
};

constexpr int32_t LgResourcesDefaultArenaSize = 0x800000;

inline void* LgResourcesEntryData(LgResEntry* entry) {
    return entry + 1;
}

// A new entry of `size` data bytes, stored in *ownerRef as well; evicts older entries to
// make room. Null (and *ownerRef null, {1, 11}) when even an empty arena cannot hold it.
LgResEntry* LgResourcesAllocateEntry(void* owner, LgResEntry** ownerRef, int32_t size,
                                     LgResEntryDestroyNotify destroyNotify);
// Marks the entry used in the current frame.
LgResEntry* LgResourcesUseEntry(LgResEntry* entry);
int32_t LgResourcesFreeEntry(LgResEntry* entry);
// Starts a new frame of recency (raster show calls it).
void LgResourcesAge();
// 1 when what is in use fits the new limit after evicting, else 0.
int32_t LgResourcesSetArenaSize(int32_t limit);
// Bytes used in the current frame: entries used since the last show plus those evicted
// from them.
int32_t LgResourcesGetArenaUsed();
int32_t LgResourcesEmptyArena();

void* LgResourcesOpen(void* instance, int32_t offset, int32_t size);
void* LgResourcesClose(void* instance, int32_t offset, int32_t size);
