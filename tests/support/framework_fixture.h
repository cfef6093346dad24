// Per-test framework start-up and shutdown: every singleton and static table starts fresh,
// and a test that leaves heap blocks of the framework behind fails.
#pragma once

#include "framework/core/memory.h"
#include "framework/core/static_state.h"
#include "framework/core/std_c_memory.h"
#include "platform/fault_injection.h"

#include <gtest/gtest.h>

namespace testsupport {

// Starts the framework's program-wide services for its lifetime and shuts them down again.
class FrameworkScope {
public:
    FrameworkScope() {
        platform::reset_allocation_faults();
        OmResetStaticState();
        live_at_start_ = OmLiveHeapBlocks();
        IUnknown* memory = nullptr;
        StdCMemory::Create(nullptr, &memory);
        OmSetAllocator(static_cast<IMemory*>(static_cast<StdCMemory*>(memory)));
    }
    ~FrameworkScope() {
        platform::reset_allocation_faults();
        OmSetAllocator(nullptr);
        OmResetStaticState();
    }
    FrameworkScope(const FrameworkScope&) = delete;
    FrameworkScope& operator=(const FrameworkScope&) = delete;

    // Framework heap blocks allocated since start-up and not yet freed.
    int64_t leaked_blocks() const { return OmLiveHeapBlocks() - live_at_start_; }

private:
    int64_t live_at_start_ = 0;
};

// A test fixture that runs each case inside a FrameworkScope and checks for leaks at the end.
class FrameworkTest : public ::testing::Test {
protected:
    void TearDown() override {
        platform::reset_allocation_faults();
        EXPECT_EQ(framework_.leaked_blocks(), 0) << "framework heap blocks leaked";
    }
    FrameworkScope framework_;
};

} // namespace testsupport
