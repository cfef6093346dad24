// The stage timer: performance-counter stamps of the numbered stages of a frame.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>

inline constexpr uint32_t TV_STAGE_TIMER_STAMPS = 32;

// Owned by the caller and handed in at begin.
struct TvStageTimes {
    int64_t stamps[TV_STAGE_TIMER_STAMPS]; // counter values
    double seconds[TV_STAGE_TIMER_STAMPS]; // from stamp 0, filled by end
    uint32_t count;                        // stamps taken
    double total;                          // seconds from stamp 0 to the last stamp
};

// Reads the counter frequency; OM_E_FAIL (frequency 1) when there is no counter, else 0.
OmResult TvStageTimerInit();
// 0.
OmResult TvStageTimerClose();
// Remembers the record and stamps stage 0.
void TvStageTimerBegin(TvStageTimes* record);
// Zeroes the stamps skipped up to `stage`, then stamps the next one; the last of the 32 is
// overwritten once the record is full.
void TvStageTimerMark(uint32_t stage);
// Turns the stamps into seconds from stamp 0, and the total.
void TvStageTimerEnd();
