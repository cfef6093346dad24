// The memory functions and plug-in slot functions the game hands to the 3D engine.
#pragma once

#include <cstddef>
#include <cstdint>

// Forward to the program-wide allocator service; null (or a failure code) when none is set.
void* TvEngineMemAlloc(size_t size);
int32_t TvEngineMemFree(void* block);
void* TvEngineMemRealloc(void* block, size_t size);
void* TvEngineMemCalloc(size_t count, size_t size);

// Constructor, destructor and copy function of the game's pointer-sized plug-in slots on
// clumps and atomics (the owning game object, the owning object record). The slot is as wide
// as a pointer on this machine; slots narrower than 4 bytes are left alone.
void* TvExtensionInit(void* object, int32_t offset, int32_t size);
void* TvExtensionDestroy(void* object, int32_t offset, int32_t size);
void* TvExtensionCopy(void* destination, const void* source, int32_t offset, int32_t size);
