// The error log's two line formats, its truncation per run, its silence while closed, and the
// stage timer's stamps.
#include "frontend/startup/error_log.h"
#include "frontend/startup/stage_timer.h"
#include "platform/message_box.h"
#include "tests/support/temp_dir.h"
#include "tests/support/virtual_clock.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

TEST(ErrorLog, WritesBothLineFormatsFlushedAndNothingWhileClosed) {
    testsupport::TempDir dir;
    const std::string path = dir / TV_ERROR_LOG_NAME;
    TvLogError("before the log opened");
    EXPECT_FALSE(std::filesystem::exists(path));

    ASSERT_EQ(TvOpenErrorLog(path.c_str()), 1);
    TvWriteErrorLine("tvdivideo", 42, "Couldn't initialize Lumagon.");
    // Flushed at once: the line is in the file while the log is still open.
    EXPECT_EQ(dir.read_file(TV_ERROR_LOG_NAME),
              "tvdivideo line 42: Couldn't initialize Lumagon.\n");
    TvWriteErrorLine2("tvopplane", 7, "Couldn't open clump file", "objects/camel.dff");
    TvCloseErrorLog();
    TvLogError("after the log closed");
    EXPECT_EQ(dir.read_file(TV_ERROR_LOG_NAME),
              "tvdivideo line 42: Couldn't initialize Lumagon.\n"
              "tvopplane line 7: Couldn't open clump file objects/camel.dff\n");
}

TEST(ErrorLog, ASecondRunTruncatesAndMessageBoxesLandInIt) {
    testsupport::TempDir dir;
    dir.write_file(TV_ERROR_LOG_NAME, "tverror line 1: from the last run\n");
    ASSERT_EQ(TvOpenErrorLog((dir / TV_ERROR_LOG_NAME).c_str()), 1);
    TvRouteMessageBoxesToErrorLog();
    platform::message_box("Aerovant Error", "Could not start");
    platform::set_message_sink({});
    TvCloseErrorLog();
    const std::string log = dir.read_file(TV_ERROR_LOG_NAME);
    EXPECT_EQ(log.find("from the last run"), std::string::npos);
    EXPECT_NE(log.find("tverror line "), std::string::npos);
    EXPECT_NE(log.find(": Aerovant Error Could not start\n"), std::string::npos);
}

TEST(ErrorLog, AnUnwritablePathLeavesTheLogClosed) {
    EXPECT_EQ(TvOpenErrorLog("/nonexistent-dir/TavrinErrorLog.txt"), 0);
    EXPECT_FALSE(TvIsErrorLogOpen());
}

TEST(StageTimer, MarkSkipsStagesWithZeroStampsAndStopsAtTheLastStamp) {
    testsupport::VirtualClockScope clock;
    ASSERT_EQ(TvStageTimerInit(), OM_S_OK);
    TvStageTimes times{};
    TvStageTimerBegin(&times);
    platform::advance_virtual_clock(10);
    TvStageTimerMark(5);
    EXPECT_EQ(times.count, 6u);
    for (uint32_t i = 1; i < 5; ++i) EXPECT_EQ(times.stamps[i], 0) << i;
    EXPECT_GT(times.stamps[5], times.stamps[0]);
    TvStageTimerEnd();
    EXPECT_NEAR(times.seconds[5], 0.010, 0.002);
    EXPECT_NEAR(times.total, 0.010, 0.002);

    // Past the record's end the last stamp is overwritten and the count stays at 31.
    TvStageTimerBegin(&times);
    for (uint32_t stage = 1; stage < 40; ++stage) {
        platform::advance_virtual_clock(1);
        TvStageTimerMark(stage);
    }
    EXPECT_EQ(times.count, TV_STAGE_TIMER_STAMPS - 1);
    TvStageTimerEnd();
    EXPECT_NEAR(times.total, 0.039, 0.003);
    EXPECT_EQ(TvStageTimerClose(), OM_S_OK);
}

} // namespace
