// Clocks: the wrapping millisecond clock, the high-resolution counter and Sleep, real or virtual.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32.
uint32_t timeGetTime();

// High-resolution counter and its ticks per second. Both return nonzero on success.
int QueryPerformanceCounter(int64_t* count);
int QueryPerformanceFrequency(int64_t* frequency);

// Suspends the calling thread for the given milliseconds (0 yields).
void Sleep(uint32_t milliseconds);

// The virtual clock: time moves only when Sleep is called, a frame is shown, the test advances
// it, or a time query finds that nothing else has moved it since the previous query (then the
// query itself moves it by 1 ms, so loops that only sample still progress).
void use_virtual_clock(bool on);
bool virtual_clock_active();
// Sets the virtual time in milliseconds (its low 32 bits are what timeGetTime reports).
void set_virtual_time(uint64_t milliseconds);
void advance_virtual_clock(uint64_t milliseconds);
// The same in microseconds, for the high-resolution counter's sub-millisecond steps.
void advance_virtual_clock_us(uint64_t microseconds);
// How far a shown frame moves the virtual clock (16 ms unless changed).
void set_virtual_frame_step(uint32_t milliseconds);
// Called by the display stand-ins whenever a frame is presented: moves the virtual clock and
// then calls the frame-shown hook, if any.
void note_frame_shown();
// A function called at every frame shown, after the clock moved (null: none). The audio
// capture (platform/audio/capture.h) mixes up to the clock's time there.
void set_frame_shown_hook(void (*hook)());
// More functions called at every frame shown, after the hook above (test hooks that act at
// given frames). At most four at a time; false when full. Adding one twice adds it once.
bool add_frame_shown_listener(void (*listener)());
void remove_frame_shown_listener(void (*listener)());

} // namespace platform
