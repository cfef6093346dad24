// The phase ledger: time goes to the innermost open phase only, and nothing is charged without
// a ledger.
#include "engine/core/lg_phase_timing.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

namespace {

constexpr int64_t us = 1000; // counter ticks (nanoseconds) per microsecond

class PhaseTiming : public ::testing::Test {
protected:
    ~PhaseTiming() override { LgPhaseLedgerInstall(nullptr); }
    testsupport::VirtualClockScope clock;
    LgPhaseLedger ledger{};
};

TEST_F(PhaseTiming, NestedPhasesChargeOnlyTheInnermost) {
    LgPhaseLedgerInstall(&ledger);
    platform::advance_virtual_clock_us(100);
    {
        LgPhaseScope render(LgPhaseTransformClip);
        platform::advance_virtual_clock_us(50);
        {
            LgPhaseScope fill(LgPhaseRasterisation);
            platform::advance_virtual_clock_us(10);
        }
        platform::advance_virtual_clock_us(5);
    }
    platform::advance_virtual_clock_us(1);
    LgPhaseEnter(LgPhasePresent); // closes the unattributed stretch
    EXPECT_EQ(ledger.ticks[LgPhaseTransformClip], 55 * us);
    EXPECT_EQ(ledger.ticks[LgPhaseRasterisation], 10 * us);
    EXPECT_EQ(ledger.unattributed, 101 * us);
    EXPECT_EQ(ledger.ticks[LgPhaseLighting], 0);
}

TEST_F(PhaseTiming, WithoutALedgerScopesChargeNothing) {
    {
        LgPhaseScope before(LgPhaseLighting);
        // Installed inside an open scope: that scope's end must not touch the new ledger.
        LgPhaseLedgerInstall(&ledger);
        platform::advance_virtual_clock_us(7);
    }
    EXPECT_EQ(ledger.current, -1);
    EXPECT_EQ(ledger.ticks[LgPhaseLighting], 0);
    LgPhaseLedgerInstall(nullptr);
    EXPECT_EQ(LgPhaseEnter(LgPhaseLighting), -1);
}

} // namespace
