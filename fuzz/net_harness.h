// What the network harnesses share: the framework started with the system, network and web
// modules besides the framework harnesses' own, and the platform clock made virtual, so no
// harness waits on the wall clock.
#pragma once

#include "framework/core/object_manager.h"
#include "fuzz/framework_harness.h"
#include "platform/clock.h"
#include "program/module_groups.h"

#include <algorithm>
#include <span>
#include <string>

namespace fuzzing {

// Starts the framework once with the network's module groups and a virtual clock.
inline void start_network() {
    start_framework();
    static const bool registered = [] {
        IObjectManager* manager = OmGetObjectManager();
        require(OmRegisterSystemModules(manager) >= 0, "the system modules register");
        require(OmRegisterNetworkModules(manager) >= 0, "the network modules register");
        require(OmRegisterWebModules(manager) >= 0, "the web modules register");
        platform::use_virtual_clock(true);
        platform::set_virtual_time(1000);
        return true;
    }();
    (void)registered;
}

// The input framing of fuzz_support.h (bytes and length-prefixed parts from the front) that
// also tells when the input is used up, for harnesses that run steps until then.
class StepInput {
public:
    StepInput(const uint8_t* data, size_t size) : bytes_(data, size) {}
    bool empty() const { return bytes_.empty(); }
    uint8_t byte() {
        if (bytes_.empty()) return 0;
        const uint8_t b = bytes_[0];
        bytes_ = bytes_.subspan(1);
        return b;
    }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(byte()) << (8 * i);
        return v;
    }
    std::span<const uint8_t> part() {
        const size_t low = byte();
        const size_t length = std::min(low | size_t{byte()} << 8, bytes_.size());
        const auto out = bytes_.first(length);
        bytes_ = bytes_.subspan(length);
        return out;
    }

private:
    std::span<const uint8_t> bytes_;
};

// A C string of a part: an inner zero ends it, as it would for the parsers taking C strings.
inline std::string c_text(std::span<const uint8_t> bytes) {
    std::string text(as_text(bytes));
    const size_t zero = text.find('\0');
    if (zero != std::string::npos) text.resize(zero);
    return text;
}

} // namespace fuzzing
