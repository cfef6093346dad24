// Per-test framework start-up and shutdown: every singleton and static table starts fresh,
// and a test that leaves heap blocks of the framework behind fails.
#pragma once

#include "framework/core/framework_startup.h"
#include "framework/core/static_state.h"
#include "framework/core/std_c_memory.h"
#include "platform/fault_injection.h"

#include <gtest/gtest.h>

namespace testsupport {

// Starts the framework (allocator, object manager, default redirections) for its lifetime
// and shuts it down again. Module registration is left to each test.
class FrameworkScope {
public:
    FrameworkScope() {
        platform::reset_allocation_faults();
        OmResetStaticState();
        live_at_start_ = OmLiveHeapBlocks();
        started_ = OmStartup();
    }
    ~FrameworkScope() { shutdown(); }
    // Releases the manager (and everything registered in it) and the allocator; idempotent.
    void shutdown() {
        platform::reset_allocation_faults();
        OmShutdown();
        OmResetStaticState();
    }
    FrameworkScope(const FrameworkScope&) = delete;
    FrameworkScope& operator=(const FrameworkScope&) = delete;

    // Framework heap blocks allocated since before start-up and not yet freed.
    int64_t leaked_blocks() const { return OmLiveHeapBlocks() - live_at_start_; }
    // The result of OmStartup.
    OmResult started() const { return started_; }

private:
    int64_t live_at_start_ = 0;
    OmResult started_ = OM_S_OK;
};

// A test fixture that runs each case inside a FrameworkScope, shuts the framework down at the
// end and fails the case when framework heap blocks are left behind.
class FrameworkTest : public ::testing::Test {
protected:
    void TearDown() override {
        framework_.shutdown();
        EXPECT_EQ(framework_.leaked_blocks(), 0) << "framework heap blocks leaked";
    }
    FrameworkScope framework_;
};

} // namespace testsupport
