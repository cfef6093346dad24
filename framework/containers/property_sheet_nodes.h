// The records of the property sheet (sections and keys share one layout) and the index that
// finds a section by name or a key by section and name without walking the lists.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

struct SheetLink {
    SheetLink* previous;
    SheetLink* next;
};

struct SheetNode {
    SheetLink link;     // in the parent's list; first, so that a link is its node
    char* name;         // NUL-terminated copy from the allocator
    char* value;        // keys only; null when missing
    SheetLink children; // a section's keys, in creation order
    SheetNode* owner;   // the section of a key; null for a section
    SheetNode* hash_next;
    uint32_t hash;
    uint32_t indexed; // sections of a repeated name: only the first in list order is indexed
};

inline SheetNode* sheet_node(SheetLink* link) {
    return reinterpret_cast<SheetNode*>(link);
}

inline void sheet_list_init(SheetLink* head) {
    head->previous = head->next = head;
}

inline void sheet_list_append(SheetLink* head, SheetLink* link) {
    link->previous = head->previous;
    link->next = head;
    head->previous->next = link;
    head->previous = link;
}

inline void sheet_list_unlink(SheetLink* link) {
    link->previous->next = link->next;
    link->next->previous = link->previous;
}

// Chained hash over (owner, name). Nodes are linked in, never copied.
class SheetIndex {
public:
    SheetIndex() = default;
    ~SheetIndex();
    SheetIndex(const SheetIndex&) = delete;
    SheetIndex& operator=(const SheetIndex&) = delete;

    // The first bucket array. OM_E_OUTOFMEMORY.
    OmResult init();
    static uint32_t hash_of(const SheetNode* owner, const char* name);
    SheetNode* find(const SheetNode* owner, const char* name) const;
    // Links a node whose owner, name and hash are set. Never fails: when the buckets cannot
    // grow the chains just get longer.
    void insert(SheetNode* node);
    void remove(SheetNode* node);
    void remove_all();

private:
    void grow();

    SheetNode** buckets_ = nullptr;
    uint32_t mask_ = 0;
    uint32_t count_ = 0;
};
