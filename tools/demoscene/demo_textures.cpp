// Procedural pictures of the demo textures. Every value comes from integer arithmetic and a
// fixed hash, so the files (and the frames drawn with them) are the same on every run.
#include "tools/demoscene/demo_textures.h"

#include "tools/demoscene/bmp_file.h"

#include <algorithm>
#include <cmath>

namespace demoscene {
namespace {

constexpr int32_t textureSize = 64;

uint32_t rgb(int32_t r, int32_t g, int32_t b) {
    auto c = [](int32_t v) { return uint32_t(std::clamp(v, 0, 255)); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

// A repeatable value noise in 0..255 for a pixel and a seed.
int32_t grain(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return int32_t((h ^ (h >> 16)) & 0xFF);
}

Picture blank() {
    Picture p;
    p.width = p.height = textureSize;
    p.pixels.assign(size_t(textureSize) * textureSize, 0);
    return p;
}

// Doped linen with rib tapes every 8 texels and a roundel (blue, white, red) at each end.
Picture wing_fabric() {
    Picture p = blank();
    for (int32_t y = 0; y < textureSize; ++y)
        for (int32_t x = 0; x < textureSize; ++x) {
            const int32_t n = grain(x, y, 1) / 16 - 8;
            const bool rib = x % 8 == 0;
            int32_t r = 128 + n, g = 122 + n, b = 78 + n;
            if (rib) r -= 24, g -= 24, b -= 20;
            for (int32_t cx : {12, 51}) {
                const int32_t dx = x - cx, dy = y - 32;
                const int32_t d2 = dx * dx + dy * dy;
                if (d2 < 100) r = 40, g = 60, b = 170;
                if (d2 < 49) r = g = b = 235;
                if (d2 < 16) r = 190, g = 30, b = 30;
            }
            p.at(x, y) = rgb(r, g, b);
        }
    return p;
}

// Olive paint with a pale band and darker seams along the length.
Picture fuselage_paint() {
    Picture p = blank();
    for (int32_t y = 0; y < textureSize; ++y)
        for (int32_t x = 0; x < textureSize; ++x) {
            const int32_t n = grain(x, y, 2) / 20 - 6;
            int32_t r = 96 + n, g = 104 + n, b = 60 + n;
            if (y >= 40 && y < 46) r = 220, g = 214, b = 190;
            if (x % 16 == 0) r -= 30, g -= 30, b -= 25;
            p.at(x, y) = rgb(r, g, b);
        }
    return p;
}

// Meadow: green with blades of lighter and darker noise.
Picture grass() {
    Picture p = blank();
    for (int32_t y = 0; y < textureSize; ++y)
        for (int32_t x = 0; x < textureSize; ++x) {
            const int32_t n = (grain(x, y, 3) + grain(x / 2, y / 4, 4)) / 8 - 32;
            p.at(x, y) = rgb(70 + n / 2, 130 + n, 50 + n / 3);
        }
    return p;
}

// Ploughed fields: brown furrows crossing a yellow crop strip.
Picture fields() {
    Picture p = blank();
    for (int32_t y = 0; y < textureSize; ++y)
        for (int32_t x = 0; x < textureSize; ++x) {
            const int32_t n = grain(x, y, 5) / 16 - 8;
            const bool furrow = (y / 3) % 2 == 0;
            int32_t r = furrow ? 120 : 150, g = furrow ? 84 : 110, b = furrow ? 50 : 70;
            if (x >= 40) r = 200, g = 180, b = 80;
            p.at(x, y) = rgb(r + n, g + n, b + n);
        }
    return p;
}

Picture smoke_colour() {
    Picture p = blank();
    for (int32_t y = 0; y < textureSize; ++y)
        for (int32_t x = 0; x < textureSize; ++x) {
            const int32_t v = 200 + grain(x / 4, y / 4, 6) / 5;
            p.at(x, y) = rgb(v, v, v);
        }
    return p;
}

// Opaque at the centre, fading to nothing at the rim, with a lumpy edge.
Picture smoke_alpha() {
    Picture p = blank();
    const float half = textureSize / 2.0f;
    for (int32_t y = 0; y < textureSize; ++y)
        for (int32_t x = 0; x < textureSize; ++x) {
            const float dx = (float(x) + 0.5f - half) / half, dy = (float(y) + 0.5f - half) / half;
            const float d = std::sqrt(dx * dx + dy * dy) + float(grain(x / 8, y / 8, 7)) / 2048.0f;
            const float a = std::clamp(1.0f - d, 0.0f, 1.0f);
            p.at(x, y) = uint32_t(std::lround(255.0f * a * a * (3.0f - 2.0f * a)));
        }
    return p;
}

} // namespace

bool write_demo_textures(const std::string& directory) {
    auto path = [&](const char* name) { return directory + "/" + name + ".bmp"; };
    return write_bmp_24(path(wingTexture), wing_fabric()) &&
           write_bmp_24(path(fuselageTexture), fuselage_paint()) &&
           write_bmp_24(path(grassTexture), grass()) &&
           write_bmp_24(path(fieldsTexture), fields()) &&
           write_bmp_24(path(smokeTexture), smoke_colour()) &&
           write_bmp_grey(path(smokeMask), smoke_alpha());
}

} // namespace demoscene
