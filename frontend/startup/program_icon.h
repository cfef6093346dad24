// The program's icon, drawn by code: a roundel of blue, white and red rings on a clear ground.
#pragma once

#include <cstdint>
#include <vector>

// size x size pixels, 0xAARRGGBB row by row; the rings' edges are smoothed.
std::vector<uint32_t> TvProgramIcon(int size);

inline constexpr int TV_PROGRAM_ICON_SIZE = 32;
