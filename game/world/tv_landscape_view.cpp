// The landscape's per-frame side: the sun's screen place for the lens flare, ambient volumes
// by altitude, the sky box around the camera, the fog table and colour, and the fog colour
// sampled from the sky.
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tv_camera.h"
#include "game/world/tv_lens_flare.h"
#include "game/world/tv_object.h"

#include <cmath>

namespace {

// The sun is placed this far from the camera, against the direction of the sunlight.
constexpr float kSunDistance = 6000.0f;
constexpr float kSkyHalfSize = 100.0f;

constexpr int32_t kStateTexture = 1;
constexpr int32_t kStateTextureAddress = 2;
constexpr int32_t kStateTexturePerspective = 3;
constexpr int32_t kStateZTest = 4;
constexpr int32_t kStateShadeMode = 5;
constexpr int32_t kStateZWrite = 6;
constexpr int32_t kStateTextureFilter = 7;
constexpr int32_t kStateVertexAlpha = 11;
constexpr int32_t kStateFog = 13;
constexpr int32_t kStateFogColour = 14;
constexpr int32_t kStateFogTable = 17;

// Fog stays off up to this table entry, then thickens by 4 every third entry.
constexpr int32_t kFogClearEntries = 64;

void set_state(int32_t state, uintptr_t value) {
    LgRenderStateSet(state, reinterpret_cast<void*>(value));
}

// A volume between 0 and 1; not a number counts as 0.
float limit_volume(float t) {
    if (!(t >= 0.0f)) return 0.0f;
    return t > 1.0f ? 1.0f : t;
}

// Sky-box corners per face as (x, y, z) signs of the half size; (u, v) per corner below.
constexpr int8_t kSkyCorners[kTvSkyFaces][4][3] = {
    {{-1, +1, +1}, {-1, +1, -1}, {-1, -1, -1}, {-1, -1, +1}}, // front
    {{-1, +1, -1}, {+1, +1, -1}, {+1, -1, -1}, {-1, -1, -1}}, // left
    {{+1, +1, -1}, {+1, +1, +1}, {+1, -1, +1}, {+1, -1, -1}}, // back
    {{+1, +1, +1}, {-1, +1, +1}, {-1, -1, +1}, {+1, -1, +1}}, // right
    {{+1, +1, +1}, {+1, +1, -1}, {-1, +1, -1}, {-1, +1, +1}}, // up
};
constexpr float kSkyU[4] = {1.0f, 0.0f, 0.0f, 1.0f};
constexpr float kSkyV[4] = {0.0f, 0.0f, 1.0f, 1.0f};

LgCamera* engine_camera_of(ITvObject* camera) {
    uintptr_t value = 0;
    if (camera == nullptr || camera->GetProperty(kTvCamPropEngineCamera, &value) < 0)
        return nullptr;
    return reinterpret_cast<LgCamera*>(value);
}

LgMatrix* camera_matrix(LgCamera* camera) {
    LgFrame* frame = camera != nullptr ? LgCameraGetFrame(camera) : nullptr;
    return frame != nullptr ? LgFrameGetMatrix(frame) : nullptr;
}

} // namespace

void TvBuildFogTable(uint8_t table[256]) {
    for (int32_t k = 0; k < 256; ++k)
        table[k] =
            k < kFogClearEntries ? 0 : static_cast<uint8_t>(4 * ((k - kFogClearEntries) / 3));
}

uint32_t TvFogColourWord(const LgRGBA& c) {
    return uint32_t{c.alpha} << 24 | uint32_t{c.red} << 16 | uint32_t{c.green} << 8 | c.blue;
}

OmResult TavrinBSPLandscape::UpdateView(LgCamera* camera) {
    const LgMatrix* place = camera_matrix(camera);
    if (place == nullptr || world == nullptr) return OM_S_OK;
    if (sun_frame != nullptr) {
        const LgVector& light = LgFrameGetMatrix(sun_frame)->at;
        const LgVector sun = {light.x * -kSunDistance + place->pos.x,
                              light.y * -kSunDistance + place->pos.y,
                              light.z * -kSunDistance + place->pos.z};
        LgVector p;
        LgVectorTransformPoints(&p, &sun, 1, LgCameraGetViewMatrix(camera));
        const float sx = p.x / p.z, sy = p.y / p.z;
        if (sx > 0.0f && sx < 1.0f && sy > 0.0f && sy < 1.0f && p.z > 0.0f) {
            TvSetLensFlareSunPosition(static_cast<int32_t>(sx * float(TvGetScreenWidth())),
                                      static_cast<int32_t>(sy * float(TvGetScreenHeight())));
            TvUpdateLensFlare();
            TvUpdateLensFlareFlash();
            flare_visible = 1;
        } else {
            flare_visible = 0;
        }
    }
    const float altitude = place->pos.y - LgWorldGetOrigin(world)->y;
    const float volumes[3] = {
        limit_volume((altitude - wind.low) / (wind.high - wind.low)),
        limit_volume(1.0f - (altitude - forest.low) / (forest.high - forest.low)),
        limit_volume(1.0f - (altitude - third.low) / (third.high - third.low)),
    };
    const TvAmbientSound* sounds[3] = {&wind, &forest, &third};
    for (int i = 0; i < 3; ++i)
        if (sounds[i]->sound != nullptr)
            TvSoundSetReal(sounds[i]->sound, kTvSoundRealVolume, volumes[i]);
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::RenderSky(ITvObject* camera) {
    const LgMatrix* place = camera_matrix(engine_camera_of(camera));
    if (place == nullptr) return OM_S_OK;
    const LgVector centre = {place->pos.x, place->pos.y + height_adjust, place->pos.z};
    set_state(kStateFog, 0);
    set_state(kStateZWrite, 0);
    set_state(kStateZTest, 0);
    LgIm3DVertex vertices[kTvSkyFaces * 4] = {};
    for (int32_t face = 0; face < kTvSkyFaces; ++face)
        for (int32_t corner = 0; corner < 4; ++corner) {
            LgIm3DVertex& v = vertices[face * 4 + corner];
            const int8_t* sign = kSkyCorners[face][corner];
            v.position = {centre.x + sign[0] * kSkyHalfSize, centre.y + sign[1] * kSkyHalfSize,
                          centre.z + sign[2] * kSkyHalfSize};
            v.color = {255, 255, 255, 255};
            v.u = kSkyU[corner];
            v.v = kSkyV[corner];
        }
    set_state(kStateShadeMode, 1);
    set_state(kStateVertexAlpha, 1);
    set_state(kStateTextureFilter, 2);
    set_state(kStateTexturePerspective, 1);
    set_state(kStateTextureAddress, 3);
    if (LgIm3DTransform(vertices, kTvSkyFaces * 4, nullptr, 1) != nullptr) {
        for (int32_t face = 0; face < kTvSkyFaces; ++face) {
            // A face the map gives no texture is left out: the clear colour shows there.
            if (sky[face] == nullptr) continue;
            LgRenderStateSet(kStateTexture, LgTextureGetRaster(sky[face]));
            const int32_t f = face * 4;
            LgIm3DRenderTriangle(f + 2, f + 1, f + 0);
            LgIm3DRenderTriangle(f + 0, f + 3, f + 2);
        }
        LgIm3DEnd();
    }
    set_state(kStateZTest, 1);
    set_state(kStateZWrite, 1);
    set_state(kStateFog, 1);
    // The state keeps the table's address past this call (the game reads it back in its
    // deferred pass), so the table must outlive the frame.
    static uint8_t table[256];
    TvBuildFogTable(table);
    LgRenderStateSet(kStateFogTable, table);
    set_state(kStateFogColour, TvFogColourWord(fog_colour));
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::RenderLensFlare(ITvObject*) {
    if (flare_visible != 1) return OM_S_OK;
    TvRenderLensFlare();
    TvRenderLensFlareFlash();
    return OM_S_OK;
}

OmResult TavrinBSPLandscape::SetFogColourFromSky(const LgVector* direction) {
    LgRaster* raster = sky[kTvSkyFront] != nullptr ? LgTextureGetRaster(sky[kTvSkyFront]) : nullptr;
    if (direction == nullptr || raster == nullptr) return OM_S_OK;
    LgVector d;
    LgVectorNormalize(&d, direction);
    const int32_t w = LgRasterGetWidth(raster), h = LgRasterGetHeight(raster);
    int32_t k = static_cast<int32_t>(float(h) * d.y);
    if (k > 0) k = 0;
    if (-k > h / 2) k = -(h / 2);
    int32_t row = h / 2 - k;
    if (row > h - 1) row = h - 1;
    LgRGBA pixel;
    if (LgRasterReadPixel(&pixel, raster, w / 2, row) == nullptr) return OM_S_OK;
    fog_colour = pixel;
    set_state(kStateFogColour, TvFogColourWord(fog_colour));
    return OM_S_OK;
}
