// Frame shots for whole-program test runs: the frames the program shows, written as binary
// PPM pictures. Set by the test hooks CORVEL_FRAME_SHOTS=DIR (the last frame shown is written
// to DIR/last.ppm when the program ends) and CORVEL_FRAME_SHOT_AT=N,M,... (the N-th, M-th ...
// frame shown, counted from 1, to DIR/frame-N.ppm as it is shown).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Starts watching the frames shown when `dir` is not empty.
void TvStartFrameShots(const std::string& dir, const std::vector<uint64_t>& serials);
// Writes the last frame shown (if any) and stops watching.
void TvFinishFrameShots();
// Writes 0xFFRRGGBB pixels as a binary PPM with the frame's number in a "# frame N" comment;
// false when the file cannot be written.
bool TvWritePpm(const std::string& path, uint32_t width, uint32_t height,
                const std::vector<uint32_t>& pixels, uint64_t serial);
