// Pixel arithmetic of the page layout. Sizes come from the page's attributes, which may be
// anything a 32-bit integer holds, so positions and sums saturate at the 32-bit limits
// instead of wrapping round to the other side of the page.
#pragma once

#include <algorithm>
#include <cstdint>

inline int32_t htmlPixels(int64_t value) {
    return int32_t(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

inline int32_t htmlAddPixels(int32_t a, int32_t b) {
    return htmlPixels(int64_t(a) + b);
}
