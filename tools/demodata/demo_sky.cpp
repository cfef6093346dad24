// The demo map's sky box. Each texel is coloured from the direction it is seen in from the
// box's centre: the sky's gradient by elevation, clouds on a layer above the viewer and hazy
// land below the horizon, each a function of that direction alone. Neighbouring faces see the
// same directions along their shared edge, so their edge texels are the same colour.
#include "tools/demodata/demo_sky.h"

#include <algorithm>
#include <cmath>

namespace demodata {
namespace {

// The map's fog colour (maps/demo/map.ini "fogcolour"): distant ground fades to it, so the
// sky meets the ground there.
const uint32_t horizon = rgb(170, 190, 215);
const uint32_t zenith = rgb(80, 125, 200);
const uint32_t cloudWhite = rgb(248, 248, 250);
const uint32_t distantLand = rgb(112, 130, 104);
constexpr float cloudScale = 2.2f; // noise cells per unit of height of the cloud layer
constexpr float landScale = 3.0f;
constexpr uint32_t cloudSeed = 200, landSeed = 210;

struct Direction {
    float x, y, z;
};

// The landscape draws each face as a square of the box with these corners, at texture
// coordinates (1, 0), (0, 0), (0, 1), (1, 1): the point at (u, v) is
// c1 + u (c0 - c1) + v (c2 - c1).
constexpr float faceCorners[skyFaceCount][3][3] = {
    {{-1, 1, 1}, {-1, 1, -1}, {-1, -1, -1}}, // front
    {{-1, 1, -1}, {1, 1, -1}, {1, -1, -1}},  // left
    {{1, 1, -1}, {1, 1, 1}, {1, -1, 1}},     // back
    {{1, 1, 1}, {-1, 1, 1}, {-1, -1, 1}},    // right
    {{1, 1, 1}, {1, 1, -1}, {-1, 1, -1}},    // up
};

Direction direction_of(int face, float u, float v) {
    const auto& c = faceCorners[face];
    float p[3];
    for (int k = 0; k < 3; ++k) p[k] = c[1][k] + u * (c[0][k] - c[1][k]) + v * (c[2][k] - c[1][k]);
    const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
    return {p[0] / length, p[1] / length, p[2] / length};
}

float smoothstep(float e0, float e1, float x) {
    const float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Two octaves of noise on a horizontal plane a unit from the viewer along `d`.
float plane_noise(const Direction& d, float scale, uint32_t seed) {
    const float reach = 1.0f / std::fabs(d.y);
    const float x = d.x * reach * scale, z = d.z * reach * scale;
    return 0.65f * smooth_noise(x, z, seed) + 0.35f * smooth_noise(2.3f * x, 2.3f * z, seed + 1);
}

uint32_t sky_colour(const Direction& d) {
    if (d.y >= 0.0f) {
        const uint32_t sky = mix(horizon, zenith, std::pow(d.y, 0.8f));
        if (d.y < 1e-3f) return sky;
        // Clouds thin out towards the horizon, where the layer's projection crowds them.
        const float cover = smoothstep(0.52f, 0.78f, plane_noise(d, cloudScale, cloudSeed)) *
                            smoothstep(0.07f, 0.35f, d.y);
        return mix(sky, cloudWhite, 0.85f * cover);
    }
    // Below the horizon: the fog colour where the map's own ground would be fogged away,
    // hazy fields further down, as seen past the map's edge.
    const float depth = smoothstep(0.04f, 0.45f, -d.y);
    const uint32_t land = shade(distantLand, 0.9f + 0.2f * plane_noise(d, landScale, landSeed));
    return mix(horizon, land, 0.7f * depth);
}

} // namespace

Picture sky_face(int face) {
    Picture p = solid(skyFaceSize, skyFaceSize, 0);
    // The outermost texels sit exactly on the face's edges (u and v 0 and 1).
    const float step = 1.0f / float(skyFaceSize - 1);
    for (int y = 0; y < skyFaceSize; ++y)
        for (int x = 0; x < skyFaceSize; ++x)
            p.at(x, y) = sky_colour(direction_of(face, float(x) * step, float(y) * step));
    return p;
}

} // namespace demodata
