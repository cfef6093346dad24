// The engine as the image, texture, model and world harnesses run it: the game's set-up on the
// Direct3D driver over the headless software device (palettised textures offered), the world
// plug-in and the game's clump and atomic slots attached, free lists on, BMP registered and the
// image path at a directory of small BMPs that texture names resolve to. Free-list entries are
// counted and poisoned while free, so an object an input's run does not give back, one given
// back twice or one used after it went back stops the fuzzer like a leaked block does.
#pragma once

#include "engine/core/lg_engine.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/world/lg_clump.h"
#include "engine/world/lg_world_plugin.h"
#include "framework/core/engine_memory.h"
#include "fuzz/engine_harness.h"
#include "platform/graphics/device_profile.h"
#include "platform/headless.h"
#include "tests/engine/core/engine_test_support.h"
#include "tests/engine/core/image_test_support.h"

#include <sanitizer/asan_interface.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

namespace fuzzing {

// The game's plug-in slots (owner of a clump, owner record of an atomic).
constexpr uint32_t kClumpOwnerSlot = 0x601;
constexpr uint32_t kAtomicOwnerSlot = 0x602;

// --- Texture sources -----------------------------------------------------------------------

// The BMPs along the image path, by name without extension: a 24-bit texture with its mask,
// the mip level files of both (levels 1 to 3 of an 8 x 8 texture), and palettised ones.
inline std::vector<std::pair<std::string, std::string>> texture_files() {
    using enginetest::bmp_rows;
    using enginetest::BmpFile;
    auto solid = [](int32_t side, uint16_t bits, uint32_t value, std::vector<uint32_t> palette) {
        BmpFile bmp;
        bmp.width = side;
        bmp.height = side;
        bmp.bits = bits;
        bmp.palette = std::move(palette);
        std::vector<std::vector<uint32_t>> rows(static_cast<size_t>(side));
        for (int32_t y = 0; y < side; ++y)
            for (int32_t x = 0; x < side; ++x)
                rows[static_cast<size_t>(y)].push_back(
                    bits <= 8 ? (value + x + y) % 4 : value * static_cast<uint32_t>(1 + x + 7 * y));
        bmp.data = bmp_rows(bits, rows);
        return bmp.bytes();
    };
    const std::vector<uint32_t> four = {0x000000, 0xff0000, 0x00ff00, 0xffffff};
    std::vector<std::pair<std::string, std::string>> files = {
        {"planks", solid(8, 24, 0x102030, {})},
        {"planksa", solid(8, 24, 0x7f7f7f, {})},
        {"pal8", solid(4, 8, 1, four)},
        {"pal4", solid(4, 4, 2, four)},
    };
    for (const char* level : {"m1", "m2", "m3"}) {
        files.emplace_back(std::string("planks") + level, solid(4, 24, 0x050505, {}));
        files.emplace_back(std::string("planksa") + level, solid(2, 24, 0x404040, {}));
    }
    return files;
}

// The directory of texture_files(), written once and shared by every run: each file is
// written under a temporary name and renamed, so harnesses starting together never see half
// a file.
inline const std::string& texture_directory() {
    static const std::string dir = [] {
        std::error_code error;
        const auto path = std::filesystem::temp_directory_path(error) / "corvel-fuzz-textures";
        std::filesystem::create_directories(path, error);
        for (const auto& [name, bytes] : texture_files()) {
            const auto target = path / (name + ".bmp");
            const auto partial = path / (name + ".bmp." + std::to_string(::getpid()));
            {
                std::ofstream out(partial, std::ios::binary);
                out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            }
            std::filesystem::rename(partial, target, error);
            require(!error, "the texture files are written");
        }
        return path.string() + "/";
    }();
    return dir;
}

// --- Free-list accounting --------------------------------------------------------------------

struct FreeListCounts {
    static inline long taken = 0;
    static inline long given = 0;
    // Blocks of entries the lists hold: each growth keeps one (its larger stack replaces the
    // old one), until the list is destroyed.
    static inline long grown = 0;
    static inline std::unordered_set<void*> blocks;
};

inline void poison_free_entries(const LgFreeList* list) {
    for (size_t i = 0; i < list->freeCount; ++i)
        ASAN_POISON_MEMORY_REGION(list->stack[i], list->entrySize);
}

inline void* counting_take(LgFreeList* list) {
    const size_t capacity = list != nullptr ? list->capacity : 0;
    void* entry = LgFreeListAlloc(list);
    if (list == nullptr) return entry;
    if (list->capacity != capacity) {
        ++FreeListCounts::grown;
        FreeListCounts::blocks.insert(list->firstBlock);
        poison_free_entries(list);
    }
    if (entry != nullptr) {
        ++FreeListCounts::taken;
        ASAN_UNPOISON_MEMORY_REGION(entry, list->entrySize);
    }
    return entry;
}

inline LgFreeList* counting_give(LgFreeList* list, void* entry) {
    if (list != nullptr && entry != nullptr) {
        require(!__asan_address_is_poisoned(entry), "a free-list entry is given back once");
        ++FreeListCounts::given;
        ASAN_POISON_MEMORY_REGION(entry, list->entrySize);
    }
    return LgFreeListFree(list, entry);
}

// The engine's free: a list destroyed during a run (as the palette quantiser's) gives its
// blocks back.
inline int32_t counting_free(void* block) {
    if (block != nullptr && FreeListCounts::blocks.erase(block) != 0) --FreeListCounts::grown;
    return enginetest::CountingMemory::free(block);
}

// --- The engine ------------------------------------------------------------------------------

namespace detail {

inline bool attach_game_plugins() {
    return LgWorldPluginAttach() &&
           LgClumpRegisterPlugin(4, kClumpOwnerSlot, TvExtensionInit, TvExtensionDestroy,
                                 TvExtensionCopy) >= 0 &&
           LgAtomicRegisterPlugin(4, kAtomicOwnerSlot, TvExtensionInit, TvExtensionDestroy,
                                  TvExtensionCopy) >= 0;
}

// The first full-screen 640 x 480 x 16 mode, as the game's default settings pick.
inline int32_t game_mode() {
    LgVideoMode m{};
    for (int32_t i = 0; i < LgEngineGetNumVideoModes(); ++i)
        if (LgEngineGetVideoModeInfo(&m, i) != nullptr && m.width == 640 && m.height == 480 &&
            m.depth == 16 && (m.flags & LgVideoModeFullScreen) != 0)
            return i;
    return -1;
}

class DriverEngine {
public:
    DriverEngine() {
        platform::set_headless(true);
        platform::set_device_profile(platform::palettised_profile());
        enginetest::CountingMemory::reset();
        LgEngineSetDeviceEntry(LgD3DGetDevice);
        ok = LgEngineInit(enginetest::CountingMemory::functions(), 0) == 1 &&
             attach_game_plugins() && LgEngineOpen(&window_) == 1;
        const int32_t mode = ok ? game_mode() : -1;
        ok = ok && mode >= 0 && LgEngineSetVideoMode(mode) == 1 && LgEngineStart() == 1 &&
             LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr) == 1 &&
             LgImageSetPath(texture_directory().c_str()) != nullptr;
        if (!ok) return;
        dictionary = LgTexDictionaryCreate();
        ok = dictionary != nullptr && LgTexDictionarySetCurrent(dictionary) != nullptr;
        LgEngineInstancePtr->freeListAlloc = counting_take;
        LgEngineInstancePtr->freeListFree = counting_give;
        LgEngineInstancePtr->memoryFunctions.free = counting_free;
    }
    ~DriverEngine() {
        if (LgEngineInstancePtr != nullptr && LgEngineInstancePtr->state == LgEngineStateStarted)
            LgEngineStop();
        if (LgEngineGetOpenCount() != 0) LgEngineClose();
        LgEngineTerm();
        LgEngineSetDeviceEntry(nullptr);
    }
    DriverEngine(const DriverEngine&) = delete;
    DriverEngine& operator=(const DriverEngine&) = delete;

    bool ok = false;
    LgTexDictionary* dictionary = nullptr;

private:
    uintptr_t window_ = 0x5a17;
};

} // namespace detail

// Starts the engine on first use; the dictionary that textures read by name go to.
inline LgTexDictionary* start_model_engine() {
    static detail::DriverEngine engine;
    if (!engine.ok) {
        std::fprintf(stderr, "fuzz: the engine did not start on the driver\n");
        std::abort();
    }
    return engine.dictionary;
}

inline int count_textures(LgTexDictionary* dictionary) {
    int n = 0;
    LgTexDictionaryForAllTextures(
        dictionary,
        [](LgTexture* t, void* data) {
            ++*static_cast<int*>(data);
            return t;
        },
        &n);
    return n;
}

// Aborts when, at scope end, an object taken from a free list was not given back, a block
// other than a free list's growth is still held, or a texture is left in the dictionary.
class ModelRunBalanced {
public:
    explicit ModelRunBalanced(LgTexDictionary* dictionary)
        : dictionary_(dictionary), live_(enginetest::CountingMemory::live),
          taken_(FreeListCounts::taken), given_(FreeListCounts::given),
          grown_(FreeListCounts::grown) {}
    ~ModelRunBalanced() {
        const long entries = (FreeListCounts::taken - taken_) - (FreeListCounts::given - given_);
        const long blocks =
            (enginetest::CountingMemory::live - live_) - (FreeListCounts::grown - grown_);
        if (entries != 0 || blocks != 0) {
            std::fprintf(stderr, "fuzz: engine objects leaked: %ld entries, %ld blocks\n", entries,
                         blocks);
            std::abort();
        }
        require(count_textures(dictionary_) == 0, "no texture is left in the dictionary");
    }
    ModelRunBalanced(const ModelRunBalanced&) = delete;
    ModelRunBalanced& operator=(const ModelRunBalanced&) = delete;

private:
    LgTexDictionary* dictionary_;
    long live_, taken_, given_, grown_;
};

// The objects `read` makes from the chunks of `type` in the stream, at most `most` of them.
template <typename T, typename Read>
std::vector<T*> read_each_chunk(LgStream* stream, uint32_t type, size_t most, Read read) {
    std::vector<T*> objects;
    while (objects.size() < most && LgStreamFindChunk(stream, type, nullptr, nullptr) == 1) {
        T* object = read(stream);
        if (object != nullptr) objects.push_back(object);
    }
    return objects;
}

} // namespace fuzzing
