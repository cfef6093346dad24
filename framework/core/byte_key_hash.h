// OmByteKeyHash: an embedded hash table from byte strings (ids, tags, pointers) to one
// pointer-sized value.
#pragma once

#include "framework/core/key_hash.h"

// Embedded by its owner; initialise with OmByteKeyHashInit before use.
struct OmByteKeyHash : OmKeyHashTable {};

using OmByteKeyHashCallback = OmResult (*)(const void* key, uint32_t length, uintptr_t value,
                                           void* context);

// A load factor of 0 means 5. OM_E_OUTOFMEMORY or the pool's failure.
OmResult OmByteKeyHashInit(OmByteKeyHash* hash, uint32_t load_factor);
void OmByteKeyHashDestroy(OmByteKeyHash* hash);
// Stores or replaces a value. OM_E_OUTOFMEMORY with the table unchanged.
OmResult OmByteKeyHashSet(OmByteKeyHash* hash, const void* key, uint32_t length, uintptr_t value);
// The value, or 0 when absent.
uintptr_t OmByteKeyHashGet(const OmByteKeyHash* hash, const void* key, uint32_t length);
// 1 when present, else 0.
int32_t OmByteKeyHashHas(const OmByteKeyHash* hash, const void* key, uint32_t length);
// OM_E_FAIL when absent.
OmResult OmByteKeyHashRemove(OmByteKeyHash* hash, const void* key, uint32_t length);
// Every entry in bucket order; a negative callback result stops the walk and is returned.
OmResult OmByteKeyHashForEach(const OmByteKeyHash* hash, OmByteKeyHashCallback callback,
                              void* context);
void OmByteKeyHashRemoveAll(OmByteKeyHash* hash);
