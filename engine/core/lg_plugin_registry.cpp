// Plug-in registries: slice bookkeeping and the constructor/destructor/copy passes.
#include "engine/core/lg_plugin_registry.h"

#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"

namespace {

constexpr int32_t entriesPerBlock = 20;

LgFreeList* pluginEntryList = nullptr;
// Every registry that received a plug-in since init, so term can reset each one (free-list
// bypass mode included, where the entry list cannot enumerate its entries).
LgPluginRegistry* registriesWithPlugins = nullptr;

void* keep_object(void* object, int32_t, int32_t) {
    return object;
}
void* keep_destination(void* dst, const void*, int32_t, int32_t) {
    return dst;
}

bool is_chained(const LgPluginRegistry* registry) {
    for (const LgPluginRegistry* r = registriesWithPlugins; r != nullptr; r = r->nextWithPlugins)
        if (r == registry) return true;
    return false;
}

LgPluginEntry* find_entry(const LgPluginRegistry* registry, uint32_t pluginId) {
    for (LgPluginEntry* e = registry->firstEntry; e != nullptr; e = e->next)
        if (e->pluginId == pluginId) return e;
    return nullptr;
}

} // namespace

bool LgPluginEntryListCreate() {
    if (pluginEntryList != nullptr) return true;
    pluginEntryList = LgFreeListCreate(sizeof(LgPluginEntry), entriesPerBlock, 0);
    return pluginEntryList != nullptr;
}

void LgPluginEntryListDestroy() {
    if (pluginEntryList == nullptr) return;
    while (LgPluginRegistry* registry = registriesWithPlugins) {
        for (LgPluginEntry* e = registry->firstEntry; e != nullptr;) {
            LgPluginEntry* next = e->next;
            LgFreeListGive(pluginEntryList, e);
            e = next;
        }
        registry->sizeOfStruct = registry->origSizeOfStruct;
        registry->firstEntry = registry->lastEntry = nullptr;
        registriesWithPlugins = registry->nextWithPlugins;
        registry->nextWithPlugins = nullptr;
    }
    LgFreeListDestroy(pluginEntryList);
    pluginEntryList = nullptr;
}

int32_t LgPluginRegistryAddPlugin(LgPluginRegistry* registry, int32_t size, uint32_t pluginId,
                                  LgPluginObjectConstructor constructor,
                                  LgPluginObjectDestructor destructor, LgPluginObjectCopy copy) {
    if (pluginEntryList == nullptr || registry == nullptr) return -1;
    if (LgEngineGetOpenCount() != 0) {
        LgErrorRaise(LgErrorGroupCore, LgErrPluginWhileOpen);
        return -1;
    }
    if (const LgPluginEntry* existing = find_entry(registry, pluginId)) return existing->offset;
    if (size < 0) return -1;
    const int32_t rounded = LgPluginAlign(static_cast<size_t>(size));
    if (registry->maxSizeOfStruct != 0 &&
        static_cast<int64_t>(registry->sizeOfStruct) + rounded > registry->maxSizeOfStruct)
        return -1;
    auto* entry = static_cast<LgPluginEntry*>(LgFreeListTake(pluginEntryList));
    if (entry == nullptr) return -1;
    entry->offset = registry->sizeOfStruct;
    entry->size = size;
    entry->pluginId = pluginId;
    entry->readCallBack = nullptr;
    entry->writeCallBack = nullptr;
    entry->getSizeCallBack = nullptr;
    entry->constructor = constructor != nullptr ? constructor : keep_object;
    entry->destructor = destructor != nullptr ? destructor : keep_object;
    entry->copy = copy != nullptr ? copy : keep_destination;
    entry->reserved = 0;
    entry->next = nullptr;
    entry->prev = registry->lastEntry;
    entry->registry = registry;
    if (registry->lastEntry != nullptr)
        registry->lastEntry->next = entry;
    else
        registry->firstEntry = entry;
    registry->lastEntry = entry;
    registry->sizeOfStruct += rounded;
    if (!is_chained(registry)) {
        registry->nextWithPlugins = registriesWithPlugins;
        registriesWithPlugins = registry;
    }
    return entry->offset;
}

int32_t LgPluginRegistryGetOffset(const LgPluginRegistry* registry, uint32_t pluginId) {
    if (registry == nullptr) return -1;
    const LgPluginEntry* entry = find_entry(registry, pluginId);
    return entry != nullptr ? entry->offset : -1;
}

const LgPluginRegistry* LgPluginRegistryInitObject(const LgPluginRegistry* registry, void* object) {
    for (LgPluginEntry* e = registry->firstEntry; e != nullptr; e = e->next) {
        if (e->constructor(object, e->offset, e->size) != nullptr) continue;
        for (LgPluginEntry* undo = e->prev; undo != nullptr; undo = undo->prev)
            undo->destructor(object, undo->offset, undo->size);
        return nullptr;
    }
    return registry;
}

const LgPluginRegistry* LgPluginRegistryDeinitObject(const LgPluginRegistry* registry,
                                                     void* object) {
    for (LgPluginEntry* e = registry->lastEntry; e != nullptr; e = e->prev)
        e->destructor(object, e->offset, e->size);
    return registry;
}

const LgPluginRegistry* LgPluginRegistryCopyObject(const LgPluginRegistry* registry, void* dst,
                                                   const void* src) {
    for (LgPluginEntry* e = registry->firstEntry; e != nullptr; e = e->next)
        e->copy(dst, src, e->offset, e->size);
    return registry;
}

int32_t LgPluginRegistryAddStreamFunctions(LgPluginRegistry* registry, uint32_t pluginId,
                                           LgPluginDataChunkReadCallBack read,
                                           LgPluginDataChunkWriteCallBack write,
                                           LgPluginDataChunkGetSizeCallBack getSize) {
    if (registry == nullptr) return -1;
    LgPluginEntry* entry = find_entry(registry, pluginId);
    if (entry == nullptr) return -1;
    entry->readCallBack = read;
    entry->writeCallBack = write;
    entry->getSizeCallBack = getSize;
    return entry->offset;
}
