// The framework as the framework harnesses run it: started once with the module groups whose
// parsers they drive, memory streams over an input's bytes, and the check that an input's run
// gives back every framework heap block it took.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/framework_startup.h"
#include "framework/core/memory.h"
#include "framework/core/object_manager.h"
#include "framework/core/static_state.h"
#include "framework/core/std_c_memory.h"
#include "framework/io/memory_stream.h"
#include "framework/io/stream_helpers.h"
#include "fuzz/fuzz_support.h"
#include "program/module_groups.h"

#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

namespace fuzzing {

// The framework started for the object's lifetime with the container, storage, text, maths
// and crypto modules. The debug-message service is left unregistered: reports of bad input
// then cost nothing and write no log file beside the harness.
class FrameworkRun {
public:
    FrameworkRun() {
        OmResetStaticState();
        ok_ = OmStartup() >= 0;
        if (!ok_) return;
        IObjectManager* manager = OmGetObjectManager();
        OmRegisterContainerModules(manager);
        OmRegisterStorageModules(manager);
        OmRegisterTextModules(manager);
        OmRegisterMathsModules(manager);
        OmRegisterCryptoModules(manager);
    }
    ~FrameworkRun() {
        OmShutdown();
        OmResetStaticState();
    }
    FrameworkRun(const FrameworkRun&) = delete;
    FrameworkRun& operator=(const FrameworkRun&) = delete;

    bool ok() const { return ok_; }

private:
    bool ok_ = false;
};

// Starts the framework on first use; it stays up until the harness exits.
inline void start_framework() {
    static FrameworkRun framework;
    if (!framework.ok()) {
        std::fprintf(stderr, "fuzz: the framework did not start\n");
        std::abort();
    }
}

// Aborts when the framework holds more or fewer heap blocks at scope end than at its start.
class FrameworkBlocksBalanced {
public:
    FrameworkBlocksBalanced() : live_(OmLiveHeapBlocks()) {}
    ~FrameworkBlocksBalanced() {
        const int64_t now = OmLiveHeapBlocks();
        if (now != live_) {
            std::fprintf(stderr, "fuzz: framework blocks leaked: %lld before, %lld after\n",
                         static_cast<long long>(live_), static_cast<long long>(now));
            std::abort();
        }
    }
    FrameworkBlocksBalanced(const FrameworkBlocksBalanced&) = delete;
    FrameworkBlocksBalanced& operator=(const FrameworkBlocksBalanced&) = delete;

private:
    int64_t live_;
};

// A memory stream holding the bytes, positioned at its start.
inline ComRef<IByteStream> stream_of(std::span<const uint8_t> bytes) {
    ComRef<IByteStream> stream;
    require(OmNewMemoryStream(stream.put()) >= 0, "a memory stream opens");
    if (!bytes.empty())
        require(stream->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr) >= 0,
                "a memory stream takes the input");
    require(stream->Seek(0, OM_SEEK_START, nullptr) >= 0, "a memory stream rewinds");
    return stream;
}
inline ComRef<IByteStream> stream_of(std::string_view text) {
    return stream_of({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// Everything the stream holds, NUL bytes included (its position is kept).
inline std::string bytes_of(IByteStream* stream) {
    uint32_t here = 0, size = 0;
    require(stream->Seek(0, OM_SEEK_CURRENT, &here) >= 0 &&
                stream->Seek(0, OM_SEEK_END, &size) >= 0 &&
                stream->Seek(static_cast<int32_t>(here), OM_SEEK_START, nullptr) >= 0,
            "a memory stream seeks");
    char* all = nullptr;
    require(OmStreamReadAll(stream, &all) >= 0, "a memory stream reads whole");
    std::string bytes(all, size);
    OmFreeMemory(all);
    return bytes;
}

// A NUL-terminated copy of a part (the parsers take C strings; an inner NUL ends the text).
inline std::string text_of(std::span<const uint8_t> bytes) {
    return std::string(as_text(bytes));
}

} // namespace fuzzing
