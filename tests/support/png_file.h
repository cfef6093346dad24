// PNG files of 0xAARRGGBB pixels for tests: written for inspection and golden images, read back
// for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint32_t> pixels; // 0xAARRGGBB, rows top to bottom
};

// Writes an RGBA PNG; false on any failure.
bool write_png(const std::string& path, const Image& image);
// Reads an 8-bit RGB or RGBA PNG; false on any failure.
bool read_png(const std::string& path, Image* image);
// Writes the graphics layer's last presented frame.
bool write_last_frame_png(const std::string& path);

} // namespace testsupport
