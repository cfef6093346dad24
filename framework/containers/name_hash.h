// OmNameHash: an embedded hash table from C-string names to one pointer each.
#pragma once

#include "framework/core/key_hash.h"

// Embedded by its owner; initialise with OmNameHashInit before use.
struct OmNameHash : OmKeyHashTable {};

using OmNameHashCallback = OmResult (*)(const char* name, void* value, void* context);

// A load factor of 0 means 5. OM_E_OUTOFMEMORY or the pool's failure.
OmResult OmNameHashInit(OmNameHash* hash, uint32_t load_factor);
// Removes every entry, releases the pool, frees the buckets.
void OmNameHashDestroy(OmNameHash* hash);
// Stores or replaces the value under a name. OM_E_OUTOFMEMORY with the table unchanged.
OmResult OmNameHashSet(OmNameHash* hash, const char* name, void* value);
// The value, or null when absent.
void* OmNameHashGet(const OmNameHash* hash, const char* name);
// 1 when present, else 0.
int32_t OmNameHashHas(const OmNameHash* hash, const char* name);
// OM_E_FAIL when absent.
OmResult OmNameHashRemove(OmNameHash* hash, const char* name);
// Every entry in bucket order; the callback may remove the entry it is given; a negative
// result stops the walk and is returned.
OmResult OmNameHashForEach(const OmNameHash* hash, OmNameHashCallback callback, void* context);
// Removes every entry; the buckets stay.
void OmNameHashClear(OmNameHash* hash);
