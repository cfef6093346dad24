// Per-class plug-in registries: slices appended to objects, with constructors, destructors,
// copy and stream functions run over them.
#pragma once

#include "engine/core/lg_types.h"

using LgPluginObjectConstructor = void* (*)(void* object, int32_t offset, int32_t size);
using LgPluginObjectDestructor = void* (*)(void* object, int32_t offset, int32_t size);
using LgPluginObjectCopy = void* (*)(void* dst, const void* src, int32_t offset, int32_t size);
using LgPluginDataChunkReadCallBack = LgStream* (*)(LgStream* stream, int32_t length, void* object,
                                                    int32_t offset, int32_t size);
using LgPluginDataChunkWriteCallBack = LgStream* (*)(LgStream* stream, int32_t length,
                                                     const void* object, int32_t offset,
                                                     int32_t size);
using LgPluginDataChunkGetSizeCallBack = int32_t (*)(const void* object, int32_t offset,
                                                     int32_t size);

struct LgPluginRegistry;

struct LgPluginEntry {
    int32_t offset; // of the slice inside the object
    int32_t size;   // as asked, not rounded
    uint32_t pluginId;
    LgPluginDataChunkReadCallBack readCallBack;
    LgPluginDataChunkWriteCallBack writeCallBack;
    LgPluginDataChunkGetSizeCallBack getSizeCallBack;
    LgPluginObjectConstructor constructor;
    LgPluginObjectDestructor destructor;
    LgPluginObjectCopy copy;
    uintptr_t reserved;
    LgPluginEntry* next;
    LgPluginEntry* prev;
    LgPluginRegistry* registry;
};

struct LgPluginRegistry {
    int32_t sizeOfStruct;     // object size including every slice
    int32_t origSizeOfStruct; // restored when the engine terminates
    int32_t maxSizeOfStruct;  // 0 for no limit
    LgPluginEntry* firstEntry;
    LgPluginEntry* lastEntry;
    LgPluginRegistry* nextWithPlugins; // chain of registries that hold entries
};

// Slices and registry base sizes are kept 8-aligned so slices can hold pointers.
constexpr int32_t LgPluginAlign(size_t size) {
    return static_cast<int32_t>((size + 7) & ~size_t{7});
}

// A registry for objects of `baseSize` bytes (limit 0: none).
constexpr LgPluginRegistry LgPluginRegistryMake(size_t baseSize, int32_t limit = 0) {
    return {LgPluginAlign(baseSize), LgPluginAlign(baseSize), limit, nullptr, nullptr, nullptr};
}

// Appends a slice; returns its offset, the existing offset when the id is already there, or
// -1 (engine not initialised, an instance open ({1, 0x80000017}), limit exceeded, no memory).
int32_t LgPluginRegistryAddPlugin(LgPluginRegistry* registry, int32_t size, uint32_t pluginId,
                                  LgPluginObjectConstructor constructor,
                                  LgPluginObjectDestructor destructor, LgPluginObjectCopy copy);
int32_t LgPluginRegistryGetOffset(const LgPluginRegistry* registry, uint32_t pluginId);
// Runs the constructors in order; when one fails, the earlier ones' destructors run in reverse
// and the result is null.
const LgPluginRegistry* LgPluginRegistryInitObject(const LgPluginRegistry* registry, void* object);
const LgPluginRegistry* LgPluginRegistryDeinitObject(const LgPluginRegistry* registry,
                                                     void* object);
const LgPluginRegistry* LgPluginRegistryCopyObject(const LgPluginRegistry* registry, void* dst,
                                                   const void* src);

// Stores the stream functions of a registered plug-in; returns its offset or -1.
int32_t LgPluginRegistryAddStreamFunctions(LgPluginRegistry* registry, uint32_t pluginId,
                                           LgPluginDataChunkReadCallBack read,
                                           LgPluginDataChunkWriteCallBack write,
                                           LgPluginDataChunkGetSizeCallBack getSize);
// Reads the object's extension chunk (type 3), handing each sub-chunk to its plug-in.
const LgPluginRegistry* LgPluginRegistryStreamReadExtension(const LgPluginRegistry* registry,
                                                            LgStream* stream, void* object);
// Skips an extension chunk sub-chunk by sub-chunk; returns the object or null.
void* LgPluginRegistryStreamSkipExtension(void* object, LgStream* stream);

// The plug-in entry free list and the registries' reset, driven by engine init and term.
bool LgPluginEntryListCreate();
void LgPluginEntryListDestroy();
