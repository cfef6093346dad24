// BMP files as the engine's image reader takes them: 24-bit colour and 8-bit grey (for masks).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace demoscene {

// A picture of 0xRRGGBB words (or grey levels), rows top to bottom.
struct Picture {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
    uint32_t& at(int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; }
};

// Writes the picture as a bottom-up 24-bit BMP; false when the file cannot be written.
bool write_bmp_24(const std::string& path, const Picture& picture);
// Writes the low byte of each pixel as an 8-bit BMP with a grey palette (0 black, 255 white).
bool write_bmp_grey(const std::string& path, const Picture& picture);

} // namespace demoscene
