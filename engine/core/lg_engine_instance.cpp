// The engine instance: static and open copies of the head, the life cycle and the device
// request path with its defaults.
#include "engine/core/lg_engine_instance.h"

#include "engine/core/lg_core_modules.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_os_functions.h"

#include <cstdlib>
#include <cstring>

LgEngineInstance* LgEngineInstancePtr = nullptr;
LgPluginRegistry LgEngineRegistry = LgPluginRegistryMake(sizeof(LgEngineInstance));

namespace {

LgEngineInstance staticInstance{};
int32_t openCount = 0;
LgDeviceEntryFunc deviceEntry = nullptr;

constexpr char onlySubSystemName[] = "Only rendering sub system";

void* c_alloc(size_t size) {
    return std::malloc(size);
}
int32_t c_free(void* block) {
    std::free(block);
    return 1;
}
void* c_realloc(void* block, size_t size) {
    return std::realloc(block, size);
}
void* c_calloc(size_t count, size_t size) {
    return std::calloc(count, size);
}

constexpr LgMemoryFunctions cLibraryMemory = {c_alloc, c_free, c_realloc, c_calloc};

int32_t not_supported(void*, void*, int32_t) {
    return 0;
}

LgEngineInstance* instance() {
    if (LgEngineInstancePtr == nullptr) LgEngineInstancePtr = &staticInstance;
    return LgEngineInstancePtr;
}

// The dirty-frame list only ever holds frames of a started engine; a head that moved between
// the static and the open copy must not keep pointing into the other one.
void empty_dirty_list(LgEngineInstance* head) {
    head->dirtyFrames.next = head->dirtyFrames.prev = &head->dirtyFrames;
}

void copy_head(LgEngineInstance* to, const LgEngineInstance* from) {
    std::memcpy(static_cast<void*>(to), from, sizeof(LgEngineInstance));
    empty_dirty_list(to);
}

int32_t request(int32_t code, void* out = nullptr, void* in = nullptr, int32_t number = 0) {
    return LgEngineDeviceRequest(&instance()->device, code, out, in, number);
}

} // namespace

LgDeviceEntryFunc LgEngineSetDeviceEntry(LgDeviceEntryFunc entry) {
    LgDeviceEntryFunc previous = deviceEntry;
    deviceEntry = entry;
    return previous;
}

int32_t LgEngineInit(const LgMemoryFunctions* memory, uint32_t flags) {
    // Re-pointing the global while an instance is open would lose it.
    if (openCount != 0) return 0;
    LgEngineInstancePtr = &staticInstance;
    if (staticInstance.state != LgEngineStateNone) return 0;
    // Set only now: switching the entry functions under live plug-in entries would hand
    // free-list entries to the plain free and the reverse.
    if ((flags & LgEngineInitNoFreeLists) != 0) {
        staticInstance.freeListAlloc = LgFreeListAllocSingle;
        staticInstance.freeListFree = LgFreeListFreeSingle;
    } else {
        staticInstance.freeListAlloc = LgFreeListAlloc;
        staticInstance.freeListFree = LgFreeListFree;
    }
    LgErrorResetUnstarted();
    empty_dirty_list(&staticInstance);
    if (!LgD3DInstallStringFunctions(&staticInstance.stringFunctions)) return 0;
    const LgMemoryFunctions& chosen = memory != nullptr ? *memory : cLibraryMemory;
    if (chosen.alloc == nullptr || chosen.free == nullptr || chosen.realloc == nullptr ||
        chosen.calloc == nullptr)
        return 0;
    staticInstance.memoryFunctions = chosen;
    if (!LgD3DInstallFileFunctions(&staticInstance.fileFunctions)) return 0;
    if (!LgPluginEntryListCreate()) return 0;
    if (LgEngineRegisterCoreModules() < 0) {
        LgPluginEntryListDestroy();
        return 0;
    }
    staticInstance.state = LgEngineStateInitialised;
    return 1;
}

int32_t LgEngineOpen(void* parameter) {
    LgEngineInstance* head = instance();
    if (head->state != LgEngineStateInitialised) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return 0;
    }
    if (parameter == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrNullArgument);
        return 0;
    }
    LgDeviceRecord* device = deviceEntry != nullptr ? deviceEntry() : nullptr;
    if (device == nullptr) return 0;
    const size_t size = static_cast<size_t>(LgEngineRegistry.sizeOfStruct);
    auto* opened = static_cast<LgEngineInstance*>(staticInstance.memoryFunctions.alloc(size));
    if (opened == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return 0;
    }
    std::memset(static_cast<void*>(opened), 0, size);
    copy_head(opened, &staticInstance);
    LgEngineInstancePtr = opened;
    for (LgStandardFunc& slot : opened->standardFunctions.slot) slot = not_supported;
    if (LgEngineDeviceRequest(device, LgDeviceRequestGetDevice, &opened->device,
                              &opened->memoryFunctions, 0) &&
        request(LgDeviceRequestOpen, nullptr, parameter)) {
        request(LgDeviceRequestStandardFunctions, &opened->standardFunctions, nullptr,
                LgStandardFunctionCount);
        ++openCount;
        opened->state = LgEngineStateOpened;
        return 1;
    }
    LgEngineInstancePtr = &staticInstance;
    copy_head(&staticInstance, opened);
    staticInstance.memoryFunctions.free(opened);
    return 0;
}

int32_t LgEngineStart() {
    LgEngineInstance* head = instance();
    // Starting twice would open every module a second time.
    if (head->state != LgEngineStateOpened) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return 0;
    }
    if (!request(LgDeviceRequestStart)) return 0;
    if (LgPluginRegistryInitObject(&LgEngineRegistry, head) == nullptr) {
        request(LgDeviceRequestStop);
        return 0;
    }
    LgImageSetGamma(head->device.gamma);
    request(LgDeviceRequestAfterStart);
    head->state = LgEngineStateStarted;
    return 1;
}

int32_t LgEngineStop() {
    LgEngineInstance* head = instance();
    // Stopping an engine that is not started would close modules that never opened.
    if (head->state != LgEngineStateStarted) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return 0;
    }
    request(LgDeviceRequestBeforeStop);
    LgPluginRegistryDeinitObject(&LgEngineRegistry, head);
    const int32_t stopped = request(LgDeviceRequestStop);
    // The modules are closed whatever the device says: the engine is no longer started.
    head->state = LgEngineStateOpened;
    return stopped;
}

int32_t LgEngineClose() {
    LgEngineInstance* head = instance();
    // Closing a started engine would free the instance under its open modules.
    if (head->state != LgEngineStateOpened || head == &staticInstance) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadState);
        return 0;
    }
    const int32_t closed = request(LgDeviceRequestClose);
    if (!closed) return 0;
    copy_head(&staticInstance, head);
    LgEngineInstancePtr = &staticInstance;
    staticInstance.memoryFunctions.free(head);
    --openCount;
    staticInstance.state = LgEngineStateInitialised;
    return closed;
}

int32_t LgEngineTerm() {
    if (openCount != 0) return 0;
    LgEngineInstancePtr = &staticInstance;
    LgPluginEntryListDestroy();
    staticInstance.state = LgEngineStateNone;
    return 1;
}

int32_t LgEngineGetOpenCount() {
    return openCount;
}

int32_t LgEngineRegisterPlugin(int32_t size, uint32_t pluginId, LgModuleOpenFunc open,
                               LgModuleCloseFunc close) {
    return LgPluginRegistryAddPlugin(&LgEngineRegistry, size, pluginId, open, close, nullptr);
}

int32_t LgEngineGetPluginOffset(uint32_t pluginId) {
    return LgPluginRegistryGetOffset(&LgEngineRegistry, pluginId);
}

int32_t LgEngineDeviceRequest(LgDeviceRecord* device, int32_t code, void* out, void* in,
                              int32_t number) {
    if (device != nullptr && device->system != nullptr &&
        device->system(code, out, in, number) != 0)
        return 1;
    switch (code) {
    case LgDeviceRequestNumSubSystems:
        if (out == nullptr) break;
        *static_cast<int32_t*>(out) = 1;
        return 1;
    case LgDeviceRequestSubSystemInfo:
        if (number != 0 || out == nullptr) break;
        std::memcpy(static_cast<LgSubSystemInfo*>(out)->name, onlySubSystemName,
                    sizeof(onlySubSystemName));
        return 1;
    case LgDeviceRequestCurrentSubSystem:
        if (out == nullptr) break;
        *static_cast<int32_t*>(out) = 0;
        return 1;
    case LgDeviceRequestSetSubSystem:
        if (number != 0) break;
        return 1;
    case LgDeviceRequestAfterStart:
    case LgDeviceRequestBeforeStop: return 1;
    default: break;
    }
    LgErrorRaise(LgErrorGroupCore, LgErrRequestRefused);
    return 0;
}

namespace {

// A query answering a number: the out word starts at `initial`; -1 when refused.
int32_t query_number(int32_t code, int32_t initial, int32_t number = 0) {
    int32_t value = initial;
    return request(code, &value, nullptr, number) ? value : -1;
}

} // namespace

int32_t LgEngineGetNumSubSystems() {
    int32_t count = 1;
    request(LgDeviceRequestNumSubSystems, &count);
    return count;
}

LgSubSystemInfo* LgEngineGetSubSystemInfo(LgSubSystemInfo* info, int32_t index) {
    if (info == nullptr) return nullptr;
    return request(LgDeviceRequestSubSystemInfo, info, nullptr, index) ? info : nullptr;
}

int32_t LgEngineGetCurrentSubSystem() {
    return query_number(LgDeviceRequestCurrentSubSystem, 0);
}

int32_t LgEngineSetSubSystem(int32_t index) {
    return request(LgDeviceRequestSetSubSystem, nullptr, nullptr, index);
}

int32_t LgEngineGetNumVideoModes() {
    return query_number(LgDeviceRequestNumVideoModes, 0);
}

LgVideoMode* LgEngineGetVideoModeInfo(LgVideoMode* mode, int32_t index) {
    if (mode == nullptr) return nullptr;
    return request(LgDeviceRequestVideoModeInfo, mode, nullptr, index) ? mode : nullptr;
}

int32_t LgEngineSetVideoMode(int32_t index) {
    return request(LgDeviceRequestSetVideoMode, nullptr, nullptr, index);
}

int32_t LgEngineRequest0CGet() {
    return query_number(LgDeviceRequestFreeTextureMemory, 0);
}

int32_t LgEngineGetMaxTextureSize() {
    return query_number(LgDeviceRequestMaxTextureSize, 0);
}

int32_t LgEngineSetExclusiveMode(int32_t on) {
    return request(LgDeviceRequestExclusiveMode, nullptr, nullptr, on);
}
