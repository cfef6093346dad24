// The capture backend: the manual backend's mixing clocked by the platform clock. At every
// shown frame the output of the newest manual sound object is mixed up to the clock's time
// (render() pumps the device and music service ticks every 100 ms of mixed audio) and
// appended to a WAV file, 16-bit stereo at 22050 Hz, whose header is right after every frame.
// Before a sound object exists, and while none does, the file gets silence, so its length
// always follows the clock. Beside it, "<path>.frames" gets one line per shown frame: the
// number of frames captured once that frame was shown, so a check can find a frame's audio.
#pragma once

#include <cstdint>
#include <string>

namespace platform::audio {

inline constexpr uint32_t capture_rate = 22050;

// Selects the manual backend and starts a capture into `path` from the clock's time now.
// false (and no capture) when the file cannot be created.
bool start_capture(const std::string& path);
// Closes the file; the capture ends. Also done at process exit.
void stop_capture();
bool capture_active();
// Mixes and appends the audio up to the clock's time now. The display stand-ins call it for
// every frame shown; nothing happens without a capture.
void capture_to_now();
// Frames written to the file so far.
uint64_t captured_frames();

} // namespace platform::audio
