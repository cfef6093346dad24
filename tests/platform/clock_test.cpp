// The virtual clock: wrap-around, Sleep, sampling and the high-resolution counter.
#include "platform/clock.h"
#include "tests/support/virtual_clock.h"

#include <gtest/gtest.h>

namespace {

using testsupport::VirtualClockScope;

TEST(VirtualClock, SleepMovesTimeExactly) {
    VirtualClockScope scope(1000);
    uint32_t t0 = platform::timeGetTime();
    platform::Sleep(250);
    EXPECT_EQ(platform::timeGetTime() - t0, 250u);
}

TEST(VirtualClock, MillisecondValueWrapsAt32Bits) {
    VirtualClockScope scope(0xFFFFFFF0ull);
    uint32_t t0 = platform::timeGetTime();
    EXPECT_EQ(t0, 0xFFFFFFF0u);
    platform::Sleep(0x20);
    uint32_t t1 = platform::timeGetTime();
    EXPECT_EQ(t1, 0x10u);
    EXPECT_EQ(t1 - t0, 0x20u); // unsigned difference survives the wrap
}

TEST(VirtualClock, SamplingAloneStillProgresses) {
    VirtualClockScope scope;
    uint32_t t0 = platform::timeGetTime();
    uint32_t t1 = platform::timeGetTime();
    uint32_t t2 = platform::timeGetTime();
    EXPECT_EQ(t1, t0 + 1);
    EXPECT_EQ(t2, t1 + 1);
}

TEST(VirtualClock, HighResolutionCounterFollowsIt) {
    VirtualClockScope scope(5000);
    int64_t freq = 0, c0 = 0, c1 = 0;
    ASSERT_TRUE(platform::QueryPerformanceFrequency(&freq));
    ASSERT_TRUE(platform::QueryPerformanceCounter(&c0));
    platform::Sleep(40);
    ASSERT_TRUE(platform::QueryPerformanceCounter(&c1));
    EXPECT_EQ((c1 - c0) * 1000 / freq, 40);
    EXPECT_EQ(c0 * 1000 / freq, 5000);
}

TEST(VirtualClock, ShownFramesAndTestsAdvanceIt) {
    VirtualClockScope scope;
    platform::set_virtual_frame_step(20);
    uint32_t t0 = platform::timeGetTime();
    platform::note_frame_shown();
    platform::advance_virtual_clock(5);
    EXPECT_EQ(platform::timeGetTime() - t0, 25u);
    platform::set_virtual_frame_step(16);
}

TEST(RealClock, MovesForwardAcrossSleep) {
    ASSERT_FALSE(platform::virtual_clock_active());
    uint32_t t0 = platform::timeGetTime();
    platform::Sleep(5);
    EXPECT_GE(platform::timeGetTime() - t0, 5u);
}

} // namespace
