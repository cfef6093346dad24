// Pools of fixed-size elements: one heap block per batch of elements, O(1) Get and Put.
#pragma once

#include "framework/core/memory.h"

// Makes a pool (reference count 1). OM_E_FAIL for a zero size or count, OM_E_OUTOFMEMORY.
OmResult om_create_memory_pool(uint32_t element_size, uint32_t per_block, IMemoryPool** out);
