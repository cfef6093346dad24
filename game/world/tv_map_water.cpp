// The water test over the map's "mapwater" picture in the current texture dictionary.
#include "game/world/tv_map_water.h"

#include "engine/core/lg_engine.h"

#include <cmath>

namespace {

constexpr const char* kWaterTexture = "mapwater";

// The coordinate's pixel along a side of n pixels, wrapped into 0..n - 1 (in double, so a
// coordinate far off the map cannot overflow the conversion).
int32_t pixel_along(float t, int32_t n) {
    double p = std::fmod(std::trunc(double(t) * double(n - 1)), double(n));
    if (p < 0.0) p += n;
    return static_cast<int32_t>(p);
}

} // namespace

int32_t TvMapWaterAt(float u, float v) {
    LgTexDictionary* dictionary = LgTexDictionaryGetCurrent();
    const LgTexture* water = dictionary != nullptr
                                 ? LgTexDictionaryFindNamedTexture(dictionary, kWaterTexture)
                                 : nullptr;
    LgRaster* raster = water != nullptr ? LgTextureGetRaster(water) : nullptr;
    if (raster == nullptr) return 0;
    const int32_t w = LgRasterGetWidth(raster), h = LgRasterGetHeight(raster);
    if (w < 1 || h < 1 || !std::isfinite(u) || !std::isfinite(v)) return 0;
    LgRGBA pixel{};
    if (LgRasterReadPixel(&pixel, raster, pixel_along(u, w), pixel_along(v, h)) == nullptr)
        return 0;
    if (pixel.red == 0 && pixel.green == 0 && pixel.blue == 0) return 0;
    // A colour-keyed format keeps 0 for transparent and stores opaque black as its darkest
    // visible pixel, which reads back as a faint colour: that pixel is land as well.
    const int32_t format = LgRasterGetFormat(raster);
    const LgRGBA black{0, 0, 0, 255};
    const uint32_t stored_black = LgRGBAToPixel(&black, format);
    pixel.alpha = 255;
    return stored_black != 0 && LgRGBAToPixel(&pixel, format) == stored_black ? 0 : 1;
}
