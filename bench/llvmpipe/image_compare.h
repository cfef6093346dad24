// Two 565 frames with their 16-bit depth buffers compared pixel by pixel: which pixels each
// side covered (depth written) and how far the colours of pixels both covered lie apart.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rasterbench {

struct ImageCheck {
    uint64_t ours = 0, peer = 0, only_one = 0; // covered pixels (depth written)
    double colour_delta = 0;                   // mean |difference| per channel, 8-bit units
};

ImageCheck compare_images(const std::vector<uint16_t>& ours_colour,
                          const std::vector<uint16_t>& ours_depth,
                          const std::vector<uint16_t>& peer_colour,
                          const std::vector<uint16_t>& peer_depth);

// "ours/llvmpipe (differ, percent), mean |dRGB|"
std::string describe(const ImageCheck& k);

void write_ppm(const std::string& path, const std::vector<uint16_t>& pixels, uint32_t w,
               uint32_t h);

} // namespace rasterbench
