// The resources arena: two lists of entries, the current frame's and the older ones, aged
// at each show; eviction takes the oldest entries first.
#include "engine/core/lg_resources.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_link.h"
#include "engine/core/lg_module.h"

#include <cstddef>

namespace {

LgModule resourcesModule;

LgResourcesSlice* arena() {
    return resourcesModule.slice<LgResourcesSlice>();
}

LgResEntry* entry_of(LgLink* link) {
    return reinterpret_cast<LgResEntry*>(reinterpret_cast<char*>(link) -
                                         offsetof(LgResEntry, link));
}

void free_entry(LgResourcesSlice* a, LgResEntry* entry) {
    if (entry->destroyNotify != nullptr) entry->destroyNotify(entry);
    LgLinkRemove(&entry->link);
    if (entry->ownerRef != nullptr) *entry->ownerRef = nullptr;
    a->used -= entry->size;
    LgEngineInstancePtr->memoryFunctions.free(entry);
}

// Frees the oldest entry: the older list's tail, else the current list's (whose bytes then
// count as evicted this frame). False when the arena is empty.
bool evict_one(LgResourcesSlice* a) {
    if (!LgLinkIsEmpty(a->older)) {
        free_entry(a, entry_of(a->older->prev));
        return true;
    }
    if (!LgLinkIsEmpty(a->current)) {
        LgResEntry* victim = entry_of(a->current->prev);
        a->evicted += victim->size;
        free_entry(a, victim);
        return true;
    }
    return false;
}

void free_list(LgResourcesSlice* a, LgLink* head) {
    while (!LgLinkIsEmpty(head)) free_entry(a, entry_of(head->next));
}

} // namespace

LgResEntry* LgResourcesAllocateEntry(void* owner, LgResEntry** ownerRef, int32_t size,
                                     LgResEntryDestroyNotify destroyNotify) {
    LgResourcesSlice* a = arena();
    if (a == nullptr || size < 0) {
        if (ownerRef != nullptr) *ownerRef = nullptr;
        LgErrorRaise(LgErrorGroupCore, a == nullptr ? LgErrBadState : LgErrInvalidArgument);
        return nullptr;
    }
    LgResEntry* entry = nullptr;
    for (;;) {
        if (int64_t{a->used} + size <= a->sizeLimit) {
            entry = static_cast<LgResEntry*>(LgEngineInstancePtr->memoryFunctions.alloc(
                sizeof(LgResEntry) + static_cast<size_t>(size)));
            if (entry != nullptr) break;
            LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        }
        if (!evict_one(a)) {
            if (ownerRef != nullptr) *ownerRef = nullptr;
            LgErrorRaise(LgErrorGroupCore, LgErrResources);
            return nullptr;
        }
    }
    LgLinkAddAtHead(a->current, &entry->link);
    entry->size = size;
    entry->owner = owner;
    entry->ownerRef = ownerRef;
    entry->destroyNotify = destroyNotify;
    a->used += size;
    if (ownerRef != nullptr) *ownerRef = entry;
    return entry;
}

LgResEntry* LgResourcesUseEntry(LgResEntry* entry) {
    LgResourcesSlice* a = arena();
    if (a == nullptr || entry == nullptr) return entry;
    LgLinkRemove(&entry->link);
    LgLinkAddAtHead(a->current, &entry->link);
    return entry;
}

int32_t LgResourcesFreeEntry(LgResEntry* entry) {
    LgResourcesSlice* a = arena();
    if (a == nullptr || entry == nullptr) return 0;
    free_entry(a, entry);
    return 1;
}

void LgResourcesAge() {
    LgResourcesSlice* a = arena();
    if (a == nullptr) return;
    // The older entries go behind this frame's, so they stay first in line for eviction.
    LgLink* older = a->older;
    LgLink* current = a->current;
    if (!LgLinkIsEmpty(older)) {
        older->next->prev = current->prev;
        current->prev->next = older->next;
        older->prev->next = current;
        current->prev = older->prev;
        LgLinkInitialise(older);
    }
    a->older = current;
    a->current = older;
    a->evicted = 0;
}

int32_t LgResourcesSetArenaSize(int32_t limit) {
    LgResourcesSlice* a = arena();
    if (a == nullptr) return 0;
    a->sizeLimit = limit;
    while (a->used > a->sizeLimit)
        if (!evict_one(a)) return 0;
    return 1;
}

int32_t LgResourcesGetArenaUsed() {
    LgResourcesSlice* a = arena();
    if (a == nullptr) return 0;
    int32_t total = a->evicted;
    for (LgLink* l = a->current->next; l != a->current; l = l->next) total += entry_of(l)->size;
    return total;
}

int32_t LgResourcesEmptyArena() {
    LgResourcesSlice* a = arena();
    if (a == nullptr) return 0;
    free_list(a, &a->listA);
    free_list(a, &a->listB);
    a->evicted = 0;
    return 1;
}

void* LgResourcesOpen(void* instance, int32_t offset, int32_t) {
    auto* a = LgModule::slice_of<LgResourcesSlice>(instance, offset);
    a->sizeLimit = LgResourcesDefaultArenaSize;
    a->used = 0;
    a->evicted = 0;
    LgLinkInitialise(&a->listA);
    LgLinkInitialise(&a->listB);
    a->current = &a->listA;
    a->older = &a->listB;
    resourcesModule.offset = offset;
    ++resourcesModule.openCount;
    return instance;
}

void* LgResourcesClose(void* instance, int32_t, int32_t) {
    LgResourcesEmptyArena();
    if (resourcesModule.openCount > 0) --resourcesModule.openCount;
    return instance;
}
