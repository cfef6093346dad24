// The time-sync state machine and the clock correction, in modular 32-bit arithmetic.
#include "net/messages/time_sync.h"

namespace {

// Sums and differences of network values wrap instead of overflowing.
int32_t wrap_add(int32_t a, int32_t b) {
    return int32_t(uint32_t(a) + uint32_t(b));
}

} // namespace

TvClockSetting TvTimeSync::start(int32_t server_time, uint32_t now_ms) {
    running_ = true;
    hits_ = 0;
    window_ = 1;
    offset_ = 0;
    last_sample_ = now_ms;
    finished_.reset();
    return TvClockSetting{uint32_t(server_time), 0};
}

std::optional<int32_t> TvTimeSync::pass(uint32_t now_ms, uint32_t game_time_ms) {
    if (!running_) return std::nullopt;
    std::optional<int32_t> estimate;
    if (now_ms - last_sample_ > sample_interval_ms) {
        last_sample_ = now_ms;
        estimate = wrap_add(int32_t(game_time_ms), offset_);
        ++window_;
    }
    if (window_ > max_window) {
        running_ = false;
        finished_ = TvClockSetting{game_time_ms, offset_};
    }
    return estimate;
}

void TvTimeSync::answer(int32_t server_time, int32_t difference) {
    if (!running_) return;
    if (-window_ < difference && difference < window_) {
        offset_ = wrap_add(offset_, difference / 4);
        if (++hits_ >= required_hits) {
            running_ = false;
            finished_ = TvClockSetting{uint32_t(server_time), offset_};
        }
    } else {
        hits_ = 0;
        offset_ = wrap_add(offset_, difference);
    }
}

int32_t TvCorrectClock(int32_t server_time, uint32_t game_clock, int32_t offset,
                       int32_t adjustment) {
    uint32_t expected = game_clock + uint32_t(offset) + uint32_t(adjustment);
    int32_t d = int32_t(uint32_t(server_time) - expected);
    return wrap_add(adjustment, d / 8);
}
