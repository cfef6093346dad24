// The stage timer over the platform's high-resolution counter.
#include "frontend/startup/stage_timer.h"

#include "platform/clock.h"

namespace {

int64_t frequency = 1;
TvStageTimes* current = nullptr;
// The stamp written last: once the record is full it is stamp 31, past the count.
uint32_t last_stamp = 0;

int64_t now() {
    int64_t count = 0;
    platform::QueryPerformanceCounter(&count);
    return count;
}

} // namespace

OmResult TvStageTimerInit() {
    int64_t f = 0;
    if (!platform::QueryPerformanceFrequency(&f) || f <= 0) {
        frequency = 1;
        return OM_E_FAIL;
    }
    frequency = f;
    return OM_S_OK;
}

OmResult TvStageTimerClose() {
    return OM_S_OK;
}

void TvStageTimerBegin(TvStageTimes* record) {
    current = record;
    if (!record) return;
    record->stamps[0] = now();
    record->count = 1;
    last_stamp = 0;
}

void TvStageTimerMark(uint32_t stage) {
    TvStageTimes* r = current;
    if (!r) return;
    // Stages are numbered into the record: a stage past its end marks the last stamp.
    const uint32_t target = stage < TV_STAGE_TIMER_STAMPS ? stage : TV_STAGE_TIMER_STAMPS - 1;
    while (r->count < target) r->stamps[r->count++] = 0;
    r->stamps[r->count] = now();
    last_stamp = r->count;
    if (r->count < TV_STAGE_TIMER_STAMPS - 1) ++r->count;
}

void TvStageTimerEnd() {
    TvStageTimes* r = current;
    if (!r || r->count == 0) return;
    const double scale = 1.0 / double(frequency);
    r->total = double(r->stamps[last_stamp] - r->stamps[0]) / double(frequency);
    for (uint32_t i = 0; i < r->count; ++i)
        r->seconds[i] = double(r->stamps[i] - r->stamps[0]) * scale;
}
