// Extension chunks: each plug-in's per-object data as a sub-chunk named by its plug-in id.
#include "engine/core/lg_error.h"
#include "engine/core/lg_plugin_registry.h"
#include "engine/core/lg_stream.h"

namespace {

const LgPluginEntry* find_entry(const LgPluginRegistry* registry, uint32_t pluginId) {
    for (const LgPluginEntry* e = registry->firstEntry; e != nullptr; e = e->next)
        if (e->pluginId == pluginId) return e;
    return nullptr;
}

// Reads the next sub-chunk header of an extension with `left` bytes still to come. A
// sub-chunk that claims more than is left is refused rather than trusted.
bool next_sub_chunk(LgStream* stream, uint32_t left, uint32_t* type, uint32_t* length) {
    if (left < LgChunkHeaderSize) return false;
    if (!LgStreamReadChunkHeader(stream, type, length, nullptr)) return false;
    return *length <= left - LgChunkHeaderSize;
}

} // namespace

const LgPluginRegistry* LgPluginRegistryStreamReadExtension(const LgPluginRegistry* registry,
                                                            LgStream* stream, void* object) {
    if (registry == nullptr || stream == nullptr) return nullptr;
    uint32_t left = 0;
    if (!LgStreamFindChunk(stream, LgChunkExtension, &left, nullptr)) return nullptr;
    while (left != 0) {
        uint32_t type = 0, length = 0;
        if (!next_sub_chunk(stream, left, &type, &length)) return nullptr;
        const LgPluginEntry* entry = find_entry(registry, type);
        uint32_t unread = length;
        if (entry != nullptr && entry->readCallBack != nullptr) {
            // The plug-in never gets more than its slice holds; the rest is skipped.
            const auto size = static_cast<uint32_t>(entry->size);
            const uint32_t given = length < size ? length : size;
            if (entry->readCallBack(stream, static_cast<int32_t>(given), object, entry->offset,
                                    entry->size) == nullptr)
                return nullptr;
            unread = length - given;
        }
        if (LgStreamSkip(stream, unread) == nullptr) return nullptr;
        left -= LgChunkHeaderSize + length;
    }
    return registry;
}

void* LgPluginRegistryStreamSkipExtension(void* object, LgStream* stream) {
    if (stream == nullptr) return nullptr;
    uint32_t type = 0, left = 0;
    do {
        if (!LgStreamReadChunkHeader(stream, &type, &left, nullptr)) return nullptr;
        if (type != LgChunkExtension && LgStreamSkip(stream, left) == nullptr) return nullptr;
    } while (type != LgChunkExtension);
    while (left != 0) {
        uint32_t length = 0;
        if (!next_sub_chunk(stream, left, &type, &length)) return nullptr;
        if (LgStreamSkip(stream, length) == nullptr) return nullptr;
        left -= LgChunkHeaderSize + length;
    }
    return object;
}
