// The allocator service interface, its memory pools and the program-wide allocator pointer.
#pragma once

#include "framework/core/unknown.h"

#include <cstddef>

inline constexpr GUID CLSID_StdCMemory = om_guid("DED6F32C-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IMemory = om_guid("DD761724-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IMemoryPool = om_guid("DD715270-C84F-11D4-871E-00C04F7963BA");
// The platform-neutral memory id; start-up redirects it to StdCMemory.
inline constexpr GUID CLSID_Memory = om_guid("DD67C908-C84F-11D4-871E-00C04F7963BA");

// Fixed-size elements handed out and taken back without a heap call per element.
struct IMemoryPool : IUnknown {
    // An element, or null when memory runs out. Fresh blocks hand out ascending addresses.
    virtual void* Get() = 0;
    // Takes an element back for reuse (last in, first out); returns the stack slot holding it,
    // or null when the element is not one of this pool's elements in use.
    virtual void** Put(void* element) = 0;
};

struct IMemory : IUnknown {
    // A block of `size` bytes, or null.
    virtual void* Alloc(size_t size) = 0;
    // Returns a block from Alloc, Realloc or AllocZeroed; null is accepted. 0.
    virtual OmResult Free(void* block) = 0;
    // Resizes a block (null allocates); null when it cannot, the old block staying valid.
    virtual void* Realloc(void* block, size_t size) = 0;
    // A zero-filled block of count x size bytes, or null (also when the product overflows).
    virtual void* AllocZeroed(size_t count, size_t size) = 0;
    // A pool of `per_block` elements of `element_size` bytes per heap block.
    // OM_E_OUTOFMEMORY or OM_E_FAIL (zero sizes).
    virtual OmResult CreatePool(uint32_t element_size, uint32_t per_block, IMemoryPool** out) = 0;
};

// Installs the program-wide allocator, taking over the caller's reference. A second non-null
// value while one is set is refused with OM_E_FAIL; null releases and clears it.
OmResult OmSetAllocator(IMemory* allocator);
// The program-wide allocator, no reference added; null before start-up.
IMemory* OmGetAllocator();
// A block from the program-wide allocator, or null (also when none is set).
void* OmAllocMemory(size_t size);
// Returns a block from OmAllocMemory; null does nothing.
void OmFreeMemory(void* block);
// A pool from the program-wide allocator. OM_E_NOMANAGER when none is set.
OmResult OmCreateMemoryPool(uint32_t element_size, uint32_t per_block, IMemoryPool** out);
