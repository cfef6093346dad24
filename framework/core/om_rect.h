// OmRect: the rectangle record shared by the rectangle packer, rasters and fonts.
#pragma once

#include <cstdint>

// x, y, width, height. Wherever a raster operation takes one, null means the whole raster.
struct OmRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

inline bool operator==(const OmRect& a, const OmRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}
