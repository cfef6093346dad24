// Fixed-size free lists from which engine objects are allocated.
#pragma once

#include "engine/core/lg_types.h"

struct LgFreeList {
    void** stack;     // pointers to free entries
    size_t freeCount; // entries on the stack
    void* firstBlock; // blocks are chained through their first word
    size_t blockSize; // alignMask + entriesPerBlock x entrySize + header
    size_t entrySize; // rounded up to the alignment
    size_t alignMask; // alignment - 1
    size_t entriesPerBlock;
    size_t capacity;  // entries in all blocks
    LgFreeList* next; // ring of every free list
    LgFreeList* prev;
};

LgFreeList* LgFreeListCreate(int32_t entrySize, int32_t entriesPerBlock, int32_t alignment);
int32_t LgFreeListDestroy(LgFreeList* list);
void* LgFreeListAlloc(LgFreeList* list);
LgFreeList* LgFreeListFree(LgFreeList* list, void* entry);
using LgFreeListCallBack = void (*)(void* entry, void* data);
LgFreeList* LgFreeListForAllUsed(LgFreeList* list, LgFreeListCallBack callBack, void* data);

// Engine objects come through the instance's two entry functions, which are the free list
// or, with init flags bit 0, single allocations of the list's entry size.
inline void* LgFreeListTake(LgFreeList* list) {
    return LgEngineInstancePtr->freeListAlloc(list);
}
inline void LgFreeListGive(LgFreeList* list, void* entry) {
    LgEngineInstancePtr->freeListFree(list, entry);
}

// The plain-allocation variants installed by init flags bit 0.
void* LgFreeListAllocSingle(LgFreeList* list);
LgFreeList* LgFreeListFreeSingle(LgFreeList* list, void* entry);
