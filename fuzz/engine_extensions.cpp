// Fuzzes the engine's extension chunks (type 3): plug-in sub-chunks read into an object's
// slices through a registry of plug-ins like the game's and the engine's own, and the same
// extensions skipped; both must agree on where an extension ends.
//
// Input: the stream's bytes (extension chunks, possibly after other chunks).
#include "fuzz/engine_harness.h"

#include <cstring>
#include <memory>

namespace {

// The plug-in ids the registry holds; seeds use them.
constexpr uint32_t kOwnerSlot = 0x601;   // 4 bytes, read raw (the game's owner slot)
constexpr uint32_t kNumbers = 0x503;     // 16 bytes of 32-bit numbers
constexpr uint32_t kChecked = 0x504;     // 8 bytes, refused when the first byte is 0xff
constexpr uint32_t kWithoutRead = 0x509; // 8 bytes, no stream read: always skipped

LgPluginRegistry registry = LgPluginRegistryMake(24);

LgStream* read_raw(LgStream* stream, int32_t length, void* object, int32_t offset, int32_t size) {
    fuzzing::require(length >= 0 && length <= size, "a plug-in gets at most its slice");
    auto* slice = static_cast<uint8_t*>(object) + offset;
    const auto n = static_cast<uint32_t>(length);
    return LgStreamRead(stream, slice, n) == n ? stream : nullptr;
}

LgStream* read_numbers(LgStream* stream, int32_t length, void* object, int32_t offset,
                       int32_t size) {
    fuzzing::require(length >= 0 && length <= size, "a plug-in gets at most its slice");
    return LgStreamReadInt32s(stream, static_cast<uint8_t*>(object) + offset,
                              static_cast<uint32_t>(length));
}

LgStream* read_checked(LgStream* stream, int32_t length, void* object, int32_t offset,
                       int32_t size) {
    if (read_raw(stream, length, object, offset, size) == nullptr) return nullptr;
    return length > 0 && static_cast<uint8_t*>(object)[offset] == 0xff ? nullptr : stream;
}

void attach_plugins() {
    LgPluginRegistryAddPlugin(&registry, 4, kOwnerSlot, nullptr, nullptr, nullptr);
    LgPluginRegistryAddPlugin(&registry, 16, kNumbers, nullptr, nullptr, nullptr);
    LgPluginRegistryAddPlugin(&registry, 8, kChecked, nullptr, nullptr, nullptr);
    LgPluginRegistryAddPlugin(&registry, 8, kWithoutRead, nullptr, nullptr, nullptr);
    LgPluginRegistryAddStreamFunctions(&registry, kOwnerSlot, read_raw, nullptr, nullptr);
    LgPluginRegistryAddStreamFunctions(&registry, kNumbers, read_numbers, nullptr, nullptr);
    LgPluginRegistryAddStreamFunctions(&registry, kChecked, read_checked, nullptr, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_engine(attach_plugins);
    fuzzing::EngineBlocksBalanced balanced;
    // Exactly the object's size, so a slice written past its end is caught.
    const auto objectSize = static_cast<size_t>(registry.sizeOfStruct);
    auto object = std::make_unique<uint8_t[]>(objectSize);
    fuzzing::require(LgPluginRegistryInitObject(&registry, object.get()) == &registry,
                     "the object's slices construct");
    fuzzing::MemoryReadStream reading(data, size);
    fuzzing::MemoryReadStream skipping(data, size);
    for (;;) {
        const bool read =
            LgPluginRegistryStreamReadExtension(&registry, reading.get(), object.get()) != nullptr;
        const bool skipped =
            LgPluginRegistryStreamSkipExtension(object.get(), skipping.get()) != nullptr;
        if (!read) break;
        fuzzing::require(skipped, "an extension that reads also skips");
        fuzzing::require(reading.get()->kind.memory.position ==
                             skipping.get()->kind.memory.position,
                         "reading and skipping end at the same place");
    }
    LgPluginRegistryDeinitObject(&registry, object.get());
    return 0;
}
