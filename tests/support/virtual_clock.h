// Switches the platform clocks to the virtual clock for the lifetime of a test.
#pragma once

#include "platform/clock.h"

namespace testsupport {

class VirtualClockScope {
public:
    explicit VirtualClockScope(uint64_t start_ms = 0) {
        platform::use_virtual_clock(true);
        platform::set_virtual_time(start_ms);
    }
    ~VirtualClockScope() { platform::use_virtual_clock(false); }
    VirtualClockScope(const VirtualClockScope&) = delete;
    VirtualClockScope& operator=(const VirtualClockScope&) = delete;
};

} // namespace testsupport
