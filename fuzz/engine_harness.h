// The engine as the chunk harnesses run it: started once on the scripted test device, with
// every engine object a single counted allocation, so a stream or buffer that an input's run
// does not give back shows up in the live-block count and stops the fuzzer.
#pragma once

#include "fuzz/fuzz_support.h"
#include "tests/engine/core/engine_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace fuzzing {

// Starts the engine on first use; `attach` runs between init and open, where plug-ins register
// (only the first call's `attach` counts).
inline void start_engine(const std::function<void()>& attach = {}) {
    static enginetest::StartedEngine engine(LgEngineInitNoFreeLists, attach);
    require(engine.ok, "the engine starts");
}

// Aborts when the engine holds more or fewer blocks at scope end than at its start.
class EngineBlocksBalanced {
public:
    EngineBlocksBalanced() : live_(enginetest::CountingMemory::live) {}
    ~EngineBlocksBalanced() {
        if (enginetest::CountingMemory::live != live_) {
            std::fprintf(stderr, "fuzz: engine blocks leaked: %ld before, %ld after\n", live_,
                         enginetest::CountingMemory::live);
            std::abort();
        }
    }
    EngineBlocksBalanced(const EngineBlocksBalanced&) = delete;
    EngineBlocksBalanced& operator=(const EngineBlocksBalanced&) = delete;

private:
    long live_;
};

// A memory read stream over the input, closed at scope end.
class MemoryReadStream {
public:
    MemoryReadStream(const uint8_t* data, size_t size) {
        // Read streams never write through the buffer pointer.
        LgStreamMemory memory = {const_cast<uint8_t*>(data), static_cast<uint32_t>(size)};
        stream_ = LgStreamOpen(LgStreamTypeMemory, LgStreamAccessRead, &memory);
        require(stream_ != nullptr, "a memory read stream opens");
    }
    ~MemoryReadStream() { LgStreamClose(stream_, nullptr); }
    MemoryReadStream(const MemoryReadStream&) = delete;
    MemoryReadStream& operator=(const MemoryReadStream&) = delete;

    LgStream* get() const { return stream_; }

private:
    LgStream* stream_;
};

// A memory write stream whose bytes are taken at the end (closed at scope end otherwise).
class MemoryWriteStream {
public:
    MemoryWriteStream() : stream_(LgStreamOpen(LgStreamTypeMemory, LgStreamAccessWrite, nullptr)) {
        require(stream_ != nullptr, "a memory write stream opens");
    }
    ~MemoryWriteStream() {
        if (stream_ != nullptr) LgStreamClose(stream_, nullptr);
    }
    MemoryWriteStream(const MemoryWriteStream&) = delete;
    MemoryWriteStream& operator=(const MemoryWriteStream&) = delete;

    LgStream* get() const { return stream_; }
    // Closes the stream and hands over what was written.
    std::vector<uint8_t> take() {
        LgStreamMemory written = {nullptr, 0};
        LgStreamClose(stream_, &written);
        stream_ = nullptr;
        std::vector<uint8_t> bytes(written.start, written.start + written.length);
        LgEngineInstancePtr->memoryFunctions.free(written.start);
        return bytes;
    }

private:
    LgStream* stream_;
};

} // namespace fuzzing
