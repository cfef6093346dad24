// Test doubles for the engine: a scripted fake device, counting malloc-based memory functions
// and a scope that runs the engine from init to start and back.
#pragma once

#include "engine/core/lg_engine.h"

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace enginetest {

// Memory functions over malloc that count live blocks, so tests can see that the engine
// returns everything it took. A call budget makes the Nth allocation from now fail.
struct CountingMemory {
    static inline long live = 0;
    static inline long allocations = 0;
    static inline long failAt = 0; // 0: never

    static bool should_fail() {
        ++allocations;
        return failAt != 0 && allocations == failAt;
    }
    static void* alloc(size_t size) {
        if (should_fail()) return nullptr;
        void* p = std::malloc(size == 0 ? 1 : size);
        if (p != nullptr) ++live;
        return p;
    }
    static int32_t free(void* block) {
        if (block != nullptr) --live;
        std::free(block);
        return 1;
    }
    static void* realloc(void* block, size_t size) {
        if (should_fail()) return nullptr;
        void* p = std::realloc(block, size);
        if (block == nullptr && p != nullptr) ++live;
        return p;
    }
    static void* calloc(size_t count, size_t size) {
        if (should_fail()) return nullptr;
        void* p = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
        if (p != nullptr) ++live;
        return p;
    }
    static const LgMemoryFunctions* functions() {
        static const LgMemoryFunctions table = {alloc, free, realloc, calloc};
        return &table;
    }
    static void reset() { live = allocations = failAt = 0; }
    // Makes the nth allocation from now fail.
    static void fail_in(long n) { failAt = allocations + n; }
};

// A device whose answers to each request are scripted. By default it accepts open, close,
// start, stop, get-device, standard functions and pipeline set-up, and refuses everything
// else, as a minimal driver would.
class FakeDevice {
public:
    using Answer = std::function<int32_t(void* out, void* in, int32_t number)>;

    FakeDevice() {
        std::memset(static_cast<void*>(&record), 0, sizeof(record));
        record.gamma = 1.0f;
        record.system = &FakeDevice::system;
        record.zBufferNear = 0.0f;
        record.zBufferFar = 0.9999f;
        for (int32_t r :
             {LgDeviceRequestOpen, LgDeviceRequestClose, LgDeviceRequestStart, LgDeviceRequestStop,
              LgDeviceRequestStandardFunctions, LgDeviceRequestPipeline})
            accept(r);
        answers[LgDeviceRequestGetDevice] = [this](void* out, void*, int32_t) {
            std::memcpy(out, &record, sizeof(record));
            return 1;
        };
        current() = this;
        LgEngineSetDeviceEntry(&FakeDevice::entry);
    }
    ~FakeDevice() {
        current() = nullptr;
        LgEngineSetDeviceEntry(nullptr);
    }
    FakeDevice(const FakeDevice&) = delete;
    FakeDevice& operator=(const FakeDevice&) = delete;

    void accept(int32_t request) {
        answers[request] = [](void*, void*, int32_t) { return 1; };
    }
    void refuse(int32_t request) {
        answers[request] = [](void*, void*, int32_t) { return 0; };
    }
    // Answers with `value` written to the out word.
    void answer_number(int32_t request, int32_t value) {
        answers[request] = [value](void* out, void*, int32_t) {
            *static_cast<int32_t*>(out) = value;
            return 1;
        };
    }
    int count(int32_t request) const {
        int n = 0;
        for (int32_t r : requests)
            if (r == request) ++n;
        return n;
    }

    LgDeviceRecord record;
    std::map<int32_t, Answer> answers;
    std::vector<int32_t> requests;

private:
    static FakeDevice*& current() {
        static FakeDevice* device = nullptr;
        return device;
    }
    static LgDeviceRecord* entry() { return current() != nullptr ? &current()->record : nullptr; }
    static int32_t system(int32_t request, void* out, void* in, int32_t number) {
        FakeDevice* self = current();
        if (self == nullptr) return 0;
        self->requests.push_back(request);
        auto it = self->answers.find(request);
        return it != self->answers.end() ? it->second(out, in, number) : 0;
    }
};

// Runs init -> open -> start on a fake device and undoes it at scope end. `attach` runs between
// init and open, where plug-ins register.
class StartedEngine {
public:
    explicit StartedEngine(uint32_t flags = 0, const std::function<void()>& attach = {}) {
        CountingMemory::reset();
        ok = LgEngineInit(CountingMemory::functions(), flags) == 1;
        if (ok && attach) attach();
        ok = ok && LgEngineOpen(&window) == 1 && LgEngineStart() == 1;
    }
    ~StartedEngine() {
        if (LgEngineInstancePtr != nullptr && LgEngineInstancePtr->state == LgEngineStateStarted)
            LgEngineStop();
        if (LgEngineGetOpenCount() != 0) LgEngineClose();
        LgEngineTerm();
    }
    StartedEngine(const StartedEngine&) = delete;
    StartedEngine& operator=(const StartedEngine&) = delete;

    FakeDevice device;
    bool ok = false;

private:
    uintptr_t window = 0x1234;
};

// Bytes of a chunk header and of whole chunks, as an engine file holds them.
inline std::vector<uint8_t> chunk_header(uint32_t type, uint32_t length, uint32_t version = 0x304) {
    std::vector<uint8_t> out;
    for (uint32_t v : {type, length, version})
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return out;
}

inline std::vector<uint8_t> chunk_bytes(uint32_t type, const std::string& body,
                                        uint32_t version = 0x304) {
    auto out = chunk_header(type, static_cast<uint32_t>(body.size()), version);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline LgError recorded_error() {
    LgError e;
    LgErrorGet(&e);
    return e;
}

} // namespace enginetest

inline void PrintTo(const LgError& e, std::ostream* os) {
    *os << "{" << e.pluginId << ", 0x" << std::hex << static_cast<uint32_t>(e.code) << std::dec
        << "}";
}
