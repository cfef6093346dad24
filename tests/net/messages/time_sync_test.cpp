// Time sync after a respawn and the clock correction: hits, misses, the window's end, and
// values at the ends of the 32-bit range.
#include "net/messages/time_sync.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(TimeSync, SixHitsEndTheSyncWithAQuarterOfEachDifference) {
    TvTimeSync sync;
    TvClockSetting set = sync.start(5000, 100);
    EXPECT_EQ(set.time, 5000u);
    EXPECT_EQ(set.offset, 0);
    // Widen the window so the differences count as hits.
    uint32_t now = 100;
    for (int i = 0; i < 20; ++i) {
        now += 101;
        ASSERT_TRUE(sync.pass(now, 5000 + now));
    }
    EXPECT_EQ(sync.window(), 21);
    const int32_t d[6] = {20, -20, 7, -7, 3, 13};
    int32_t expected = 0;
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(sync.running());
        sync.answer(9000 + i, d[i]);
        expected += d[i] / 4; // toward zero: -7 / 4 = -1
    }
    EXPECT_FALSE(sync.running());
    ASSERT_TRUE(sync.finished());
    EXPECT_EQ(sync.finished()->time, 9005u);
    EXPECT_EQ(sync.finished()->offset, expected);
    EXPECT_EQ(expected, 5 - 5 + 1 - 1 + 0 + 3);
}

TEST(TimeSync, AMissResetsTheHitsAndTakesTheWholeDifference) {
    TvTimeSync sync;
    sync.start(0, 0);
    sync.pass(101, 101); // window 2
    sync.answer(1, 1);   // a hit: 1 / 4 = 0
    EXPECT_EQ(sync.hits(), 1);
    sync.answer(1, -2); // outside -2 < d < 2
    EXPECT_EQ(sync.hits(), 0);
    EXPECT_EQ(sync.offset(), -2);
    // Values from the network at the ends of the range wrap instead of overflowing.
    sync.answer(1, INT_MIN);
    sync.answer(1, INT_MIN);
    EXPECT_EQ(sync.offset(), -2);
    sync.answer(1, INT_MAX);
    EXPECT_TRUE(sync.running());
}

TEST(TimeSync, AWindowAbove100EndsTheSyncAtTheSampleTime) {
    TvTimeSync sync;
    sync.start(0, 0);
    sync.answer(0, 50); // a miss: offset 50
    uint32_t now = 0;
    int sent = 0;
    while (sync.running()) {
        now += 50; // a sample every other pass
        if (auto estimate = sync.pass(now, now + 7)) {
            EXPECT_EQ(*estimate, int32_t(now + 7 + 50));
            ++sent;
        }
    }
    EXPECT_EQ(sent, 100);
    EXPECT_EQ(sync.window(), 101);
    EXPECT_EQ(sync.finished()->time, now + 7);
    EXPECT_EQ(sync.finished()->offset, 50);
    EXPECT_FALSE(sync.pass(now + 1000, 0));
}

TEST(ClockCorrection, MovesTheAdjustmentByAnEighthTowardZero) {
    struct Case {
        int32_t time;
        uint32_t clock;
        int32_t offset, adjustment, expected;
    } cases[] = {
        {1080, 1000, 0, 0, 10},
        {1000, 1000, 0, 0, 0},
        {993, 1000, 0, 0, 0}, // -7 / 8 = 0
        {984, 1000, 0, 0, -2},
        {1000, 900, 50, 10, 15}, // d = 40
        {INT_MIN, 0, 0, 0, INT_MIN / 8},
        {INT_MAX, 0, 0, 0, INT_MAX / 8},
        {0, 0x80000000u, 0, 0, INT_MIN / 8}, // d = -2^31 after the wrap
    };
    for (const Case& c : cases)
        EXPECT_EQ(TvCorrectClock(c.time, c.clock, c.offset, c.adjustment), c.expected)
            << c.time << " " << c.clock;
}

} // namespace
