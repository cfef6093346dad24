// Time synchronisation with the server after a respawn (messages 27, 29, 30) and the clock
// correction of message 42. Every value may come from the network, so the arithmetic is
// 32-bit modular: nothing overflows whatever the server sends.
#pragma once

#include <cstdint>
#include <optional>

// What the game clock is set to when the sync ends: (time, offset).
struct TvClockSetting {
    uint32_t time = 0;
    int32_t offset = 0;
};

class TvTimeSync {
public:
    static constexpr int32_t required_hits = 6;
    static constexpr int32_t max_window = 100;
    static constexpr uint32_t sample_interval_ms = 100;

    // Message 27 (server time T): the clock is set to (T, 0) and sampling starts at `now`.
    TvClockSetting start(int32_t server_time, uint32_t now_ms);
    // One lobby pass at `now_ms` with the game clock reading `game_time_ms`: the estimate to
    // send as message 29 when more than 100 ms passed since the last sample. When the window
    // grows past 100 the sync ends with the clock set to (game time, offset).
    std::optional<int32_t> pass(uint32_t now_ms, uint32_t game_time_ms);
    // Message 30 (T, d): within the window a hit moves the offset by d / 4 (rounded toward
    // zero) and the sixth hit ends the sync with the clock set to (T, offset); outside it the
    // hits start again and the offset takes d whole.
    void answer(int32_t server_time, int32_t difference);

    bool running() const { return running_; }
    // Set once when the sync ends: the clock setting to apply.
    std::optional<TvClockSetting> finished() const { return finished_; }
    int32_t offset() const { return offset_; }
    int32_t hits() const { return hits_; }
    int32_t window() const { return window_; }

private:
    bool running_ = false;
    int32_t hits_ = 0;
    int32_t window_ = 1;
    int32_t offset_ = 0;
    uint32_t last_sample_ = 0;
    std::optional<TvClockSetting> finished_;
};

// Message 42: d = server time - (game clock + clock offset + adjustment); the new adjustment
// is adjustment + d / 8 (rounded toward zero).
int32_t TvCorrectClock(int32_t server_time, uint32_t game_clock, int32_t offset,
                       int32_t adjustment);
