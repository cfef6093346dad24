// The chained hash table under the framework's keyed tables (string keys, name hashes and
// byte keys): circular bucket lists, nodes from a memory pool, keys up to 12 bytes inside
// the node, values of a fixed size inside the node.
#pragma once

#include "framework/core/memory.h"

struct OmHashLink {
    OmHashLink* next;
    OmHashLink* previous;
};

inline constexpr uint32_t OM_HASH_INLINE_KEY = 12;

struct OmHashNode {
    OmHashLink link; // first, so a link is its node
    const uint8_t* key;
    uint32_t key_length;
    uint8_t inline_key[OM_HASH_INLINE_KEY];
    // the value follows, at om_hash_value()
};

// Fields shared by every keyed table; embedded by its owner.
struct OmKeyHashTable {
    OmHashLink* buckets;
    uint32_t bucket_count; // a power of two
    IMemoryPool* pool;
    uint32_t load_factor;
    uint32_t count;
    uint32_t mask; // bucket_count - 1
    uint32_t value_size;
};

inline constexpr uint32_t OM_HASH_DEFAULT_LOAD_FACTOR = 5;

// h := h + (c << s) + (c >> (8 - s)), s cycling 0..7, over every byte of the key.
uint32_t om_hash_bytes(const void* key, uint32_t length);

inline constexpr size_t OM_HASH_VALUE_OFFSET =
    (sizeof(OmHashNode) + alignof(void*) - 1) & ~(alignof(void*) - 1);

inline void* om_hash_value(OmHashNode* node) {
    return reinterpret_cast<uint8_t*>(node) + OM_HASH_VALUE_OFFSET;
}

// One bucket, the node pool made; a load factor of 0 means 5. OM_E_OUTOFMEMORY or the pool's
// failure, with nothing left allocated.
OmResult om_hash_init(OmKeyHashTable* table, uint32_t load_factor, uint32_t value_size);
// Removes every entry, releases the pool and frees the buckets; safe on a destroyed table.
void om_hash_destroy(OmKeyHashTable* table);
uint32_t om_hash_bucket_of(const OmKeyHashTable* table, const void* key, uint32_t length);
OmHashNode* om_hash_find_in_bucket(OmHashLink* head, const void* key, uint32_t length);
OmHashNode* om_hash_find(const OmKeyHashTable* table, const void* key, uint32_t length);
// The existing node of the key, or a new one (value not initialised; *created set), or null
// when memory runs out. The buckets double first when count > load factor x buckets; a
// failed growth changes nothing.
OmHashNode* om_hash_insert(OmKeyHashTable* table, const void* key, uint32_t length, bool* created);
// Unlinks and frees the node; the caller has dealt with its value.
void om_hash_remove_node(OmKeyHashTable* table, OmHashNode* node);
// OM_E_FAIL when absent.
OmResult om_hash_remove(OmKeyHashTable* table, const void* key, uint32_t length);
// Buckets in index order, each list from its front; the next node is read before the
// callback runs, so it may remove the node it is given. A negative result stops the walk.
OmResult om_hash_for_each(const OmKeyHashTable* table, OmResult (*callback)(OmHashNode*, void*),
                          void* context);
// The node after `node` in walk order (null: the first node), or null at the end.
OmHashNode* om_hash_next(const OmKeyHashTable* table, const OmHashNode* node);
// Removes every entry; the buckets stay.
void om_hash_remove_all(OmKeyHashTable* table);
