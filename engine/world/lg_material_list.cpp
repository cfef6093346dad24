// Material lists: growth by 20 entries, one counted reference per entry, and the list chunk
// whose entries either bring a new material chunk or share an earlier entry.
#include "engine/world/lg_material_list.h"

#include "engine/core/lg_error.h"
#include "engine/core/lg_stream.h"

#include <algorithm>
#include <cstring>

namespace {

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

// The temporary entry array, from the engine's memory functions so a file's count meets an
// out-of-memory result rather than an exception. It grows with the entries actually read: the
// chunk length that bounds the count is the file's word too, so it proves nothing about how
// many entries the stream holds.
class EntryArray {
public:
    EntryArray() = default;
    ~EntryArray() {
        if (data_ != nullptr) memory().free(data_);
    }
    EntryArray(const EntryArray&) = delete;
    EntryArray& operator=(const EntryArray&) = delete;

    // Reads `count` more entries from the stream.
    bool read(LgStream* stream, uint32_t count) {
        const uint32_t size = count_ + count;
        if (size > capacity_) {
            const uint32_t capacity = std::max(size, capacity_ * 2);
            void* grown = data_ != nullptr
                              ? memory().realloc(data_, static_cast<size_t>(capacity) * 4)
                              : memory().alloc(static_cast<size_t>(capacity) * 4);
            if (grown == nullptr) {
                LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
                return false;
            }
            data_ = static_cast<int32_t*>(grown);
            capacity_ = capacity;
        }
        if (LgStreamReadInt32s(stream, data_ + count_, count * 4) == nullptr) return false;
        count_ = size;
        return true;
    }
    uint32_t size() const { return count_; }
    int32_t operator[](uint32_t i) const { return data_[i]; }

private:
    int32_t* data_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

// Entries read at a time.
constexpr uint32_t entryRun = 1024;

// The entry count and entries of the list's struct chunk; the count is checked against the
// chunk's length so a hostile count cannot ask for more than the chunk holds.
bool read_entries(LgStream* stream, EntryArray& entries) {
    uint32_t length = 0;
    if (!LgStreamFindChunk(stream, LgChunkStruct, &length, nullptr)) return false;
    uint32_t count = 0;
    if (length < 4 || LgStreamReadInt32s(stream, &count, 4) == nullptr) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
        return false;
    }
    if (count > (length - 4) / 4) {
        LgErrorRaise(LgErrorGroupGeneric, LgErrShortRead);
        return false;
    }
    while (entries.size() < count)
        if (!entries.read(stream, std::min(count - entries.size(), entryRun))) return false;
    return LgStreamSkip(stream, length - 4 - count * 4) != nullptr;
}

} // namespace

LgMaterialList* LgMaterialListInit(LgMaterialList* list) {
    if (list != nullptr) *list = {nullptr, 0, 0};
    return list;
}

LgMaterialList* LgMaterialListDeinit(LgMaterialList* list) {
    if (list == nullptr) return nullptr;
    for (int32_t i = 0; i < list->numMaterials; ++i) LgMaterialRelease(list->materials[i]);
    if (list->materials != nullptr) memory().free(list->materials);
    return LgMaterialListInit(list);
}

int32_t LgMaterialListAppend(LgMaterialList* list, LgMaterial* material) {
    if (list == nullptr || material == nullptr) return -1;
    if (list->numMaterials >= list->space) {
        const auto bytes =
            static_cast<size_t>(list->space + LgMaterialListGrowth) * sizeof(LgMaterial*);
        void* grown = list->materials != nullptr ? memory().realloc(list->materials, bytes)
                                                 : memory().alloc(bytes);
        if (grown == nullptr) {
            LgErrorRaise(LgErrorGroupGeneric, LgErrOutOfMemory);
            return -1;
        }
        list->materials = static_cast<LgMaterial**>(grown);
        list->space += LgMaterialListGrowth;
    }
    list->materials[list->numMaterials] = LgMaterialAddRef(material);
    return list->numMaterials++;
}

int32_t LgMaterialListFind(const LgMaterialList* list, const LgMaterial* material) {
    if (list == nullptr) return -1;
    for (int32_t i = list->numMaterials - 1; i >= 0; --i)
        if (list->materials[i] == material) return i;
    return -1;
}

int32_t LgMaterialListFindFirst(const LgMaterialList* list, const LgMaterial* material) {
    if (list == nullptr) return -1;
    for (int32_t i = 0; i < list->numMaterials; ++i)
        if (list->materials[i] == material) return i;
    return -1;
}

LgMaterialList* LgMaterialListStreamRead(LgStream* stream, LgMaterialList* list) {
    if (stream == nullptr || list == nullptr) return nullptr;
    LgMaterialListDeinit(list);
    EntryArray entries;
    if (!read_entries(stream, entries)) return nullptr;
    for (uint32_t i = 0; i < entries.size(); ++i) {
        LgMaterial* material = nullptr;
        if (entries[i] < 0) {
            if (LgStreamFindChunk(stream, LgChunkMaterial, nullptr, nullptr))
                material = LgMaterialStreamRead(stream);
        } else if (static_cast<uint32_t>(entries[i]) < i) {
            // Only an earlier entry can be shared: a later one does not exist yet.
            material = LgMaterialAddRef(list->materials[entries[i]]);
        } else {
            LgErrorRaise(LgErrorGroupWorld, LgErrInvalidArgument);
        }
        const bool appended = material != nullptr && LgMaterialListAppend(list, material) >= 0;
        LgMaterialRelease(material);
        if (!appended) {
            LgMaterialListDeinit(list);
            return nullptr;
        }
    }
    return list;
}
