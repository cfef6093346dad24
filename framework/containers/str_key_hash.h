// OmStrKeyHash: a hash table keyed by C strings whose fixed-size values live in the nodes.
#pragma once

#include "framework/core/key_hash.h"

// Embedded by its owner; initialise with OmStrKeyHashInit before use.
struct OmStrKeyHash : OmKeyHashTable {};

using OmStrKeyHashCallback = OmResult (*)(const char* key, void* value, void* context);

// A load factor of 0 means 5. OM_E_OUTOFMEMORY or the pool's failure.
OmResult OmStrKeyHashInit(OmStrKeyHash* hash, uint32_t load_factor, uint32_t value_size);
void OmStrKeyHashDestroy(OmStrKeyHash* hash);
// The bucket index of a key.
uint32_t OmStrKeyHashHash(const OmStrKeyHash* hash, const char* key);
// The node of a key within one bucket list, or null (exact, case-sensitive comparison).
OmHashNode* OmStrKeyHashFindInBucket(OmHashLink* head, const char* key);
// The address of the value stored under a key, or null.
void* OmStrKeyHashFind(const OmStrKeyHash* hash, const char* key);
// The address of the key's value, creating the entry (value not initialised) when absent;
// null when memory runs out.
void* OmStrKeyHashInsert(OmStrKeyHash* hash, const char* key);
// OM_E_FAIL when absent.
OmResult OmStrKeyHashRemove(OmStrKeyHash* hash, const char* key);
// Every entry in bucket order; the callback may remove the entry it is given; a negative
// result stops the walk and is returned.
OmResult OmStrKeyHashForEach(OmStrKeyHash* hash, OmStrKeyHashCallback callback, void* context);
void OmStrKeyHashRemoveAll(OmStrKeyHash* hash);
