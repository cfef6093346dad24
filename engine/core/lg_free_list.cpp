// Fixed-size free lists: blocks of entries handed out through a stack of free pointers.
#include "engine/core/lg_free_list.h"

#include "engine/core/lg_error.h"

#include <cstring>

namespace {

// Ring of every free list; the sentinel points at itself while there is none.
LgFreeList ring = {nullptr, 0, nullptr, 0, 0, 0, 0, 0, &ring, &ring};

constexpr size_t blockHeader = sizeof(void*);
// Entries hold pointers, so no list hands out less than pointer-aligned memory.
constexpr size_t minimumAlignment = alignof(void*);

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

void* allocate(size_t size) {
    if (LgEngineInstancePtr == nullptr || memory().alloc == nullptr) return nullptr;
    return memory().alloc(size);
}

void release(void* block) {
    if (block != nullptr) memory().free(block);
}

// The lowest entry of a block; the others follow it an entry size apart. Entries are placed
// from the block's end down, the highest one aligned down.
char* lowest_entry(const LgFreeList* list, void* block) {
    const uintptr_t end = reinterpret_cast<uintptr_t>(block) + list->blockSize - list->entrySize;
    const uintptr_t highest = end & ~static_cast<uintptr_t>(list->alignMask);
    return reinterpret_cast<char*>(highest - (list->entriesPerBlock - 1) * list->entrySize);
}

bool is_free(const LgFreeList* list, const void* entry) {
    for (size_t i = 0; i < list->freeCount; ++i)
        if (list->stack[i] == entry) return true;
    return false;
}

} // namespace

LgFreeList* LgFreeListCreate(int32_t entrySize, int32_t entriesPerBlock, int32_t alignment) {
    if (entrySize <= 0 || entriesPerBlock <= 0 || alignment < 0 ||
        (alignment & (alignment - 1)) != 0) {
        LgErrorRaise(LgErrorGroupCore, LgErrInvalidArgument);
        return nullptr;
    }
    auto* list = static_cast<LgFreeList*>(allocate(sizeof(LgFreeList)));
    if (list == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return nullptr;
    }
    size_t align = alignment == 0 ? 1 : static_cast<size_t>(alignment);
    if (align < minimumAlignment) align = minimumAlignment;
    list->alignMask = align - 1;
    list->entrySize = (static_cast<size_t>(entrySize) + list->alignMask) & ~list->alignMask;
    list->entriesPerBlock = static_cast<size_t>(entriesPerBlock);
    list->blockSize = list->alignMask + list->entriesPerBlock * list->entrySize + blockHeader;
    list->stack = static_cast<void**>(allocate(sizeof(void*)));
    if (list->stack == nullptr) {
        release(list);
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return nullptr;
    }
    list->freeCount = 0;
    list->firstBlock = nullptr;
    list->capacity = 0;
    list->next = ring.next;
    list->prev = &ring;
    ring.next->prev = list;
    ring.next = list;
    return list;
}

int32_t LgFreeListDestroy(LgFreeList* list) {
    if (list == nullptr) return 1;
    release(list->stack);
    for (void* block = list->firstBlock; block != nullptr;) {
        void* next = *static_cast<void**>(block);
        release(block);
        block = next;
    }
    list->prev->next = list->next;
    list->next->prev = list->prev;
    release(list);
    return 1;
}

void* LgFreeListAlloc(LgFreeList* list) {
    if (list == nullptr) return nullptr;
    if (list->freeCount == 0) {
        void* block = allocate(list->blockSize);
        if (block == nullptr) {
            LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
            return nullptr;
        }
        auto* stack =
            static_cast<void**>(allocate((list->capacity + list->entriesPerBlock) * sizeof(void*)));
        if (stack == nullptr) {
            release(block);
            LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
            return nullptr;
        }
        release(list->stack);
        list->stack = stack;
        list->capacity += list->entriesPerBlock;
        *static_cast<void**>(block) = list->firstBlock;
        list->firstBlock = block;
        // Highest entry pushed first, so the lowest comes out first.
        char* lowest = lowest_entry(list, block);
        for (size_t i = list->entriesPerBlock; i-- > 0;)
            list->stack[list->freeCount++] = lowest + i * list->entrySize;
    }
    return list->stack[--list->freeCount];
}

LgFreeList* LgFreeListFree(LgFreeList* list, void* entry) {
    if (list == nullptr || entry == nullptr) return list;
    // A full stack means the entry was already free (or never ours): pushing it would write
    // past the stack.
    if (list->freeCount < list->capacity) list->stack[list->freeCount++] = entry;
    return list;
}

LgFreeList* LgFreeListForAllUsed(LgFreeList* list, LgFreeListCallBack callBack, void* data) {
    if (list == nullptr || callBack == nullptr) return list;
    for (void* block = list->firstBlock; block != nullptr; block = *static_cast<void**>(block)) {
        char* entry = lowest_entry(list, block);
        for (size_t i = 0; i < list->entriesPerBlock; ++i, entry += list->entrySize)
            if (!is_free(list, entry)) callBack(entry, data);
    }
    return list;
}

void* LgFreeListAllocSingle(LgFreeList* list) {
    if (list == nullptr) return nullptr;
    void* entry = allocate(list->entrySize);
    if (entry == nullptr) LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
    return entry;
}

LgFreeList* LgFreeListFreeSingle(LgFreeList* list, void* entry) {
    release(entry);
    return list;
}
