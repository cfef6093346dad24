// The sun's lens flare: a chain of additively blended squares along the line from the sun's
// screen position through the screen centre, and a white flash that grows as the sun moves
// away from the screen edges. Program-wide state, driven by the landscape.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/result_codes.h"

#include <cstdint>

inline constexpr int32_t kTvLensFlareMaxParts = 20;

// The module state, exposed for the landscape's drawing and the tests.
struct TvLensFlareState {
    int32_t parts = 0;
    int32_t width = 640, height = 480;
    int32_t sun_x = -1, sun_y = -1;
    float offsets[kTvLensFlareMaxParts] = {};
    float scales[kTvLensFlareMaxParts] = {};
    LgRaster* glow = nullptr;
    LgRaster* ring = nullptr;
    LgIm3DScreenVertex quads[kTvLensFlareMaxParts][4] = {};
    LgIm3DScreenVertex flash[4] = {};
};
const TvLensFlareState& TvLensFlare();

// Reads "objects\particles\lensflare.ini": part count 0 and the screen 640 x 480 first; a
// failure to read the file or its "flare" "parts" value returns that failure with no parts.
OmResult TvLoadLensFlare();
// Both at least 1, else OM_E_FAIL; rebuilds the flash quad over the screen.
OmResult TvSetLensFlareScreenSize(int32_t width, int32_t height);
void TvSetLensFlareGlowTexture(LgRaster* raster);
void TvSetLensFlareRingTexture(LgRaster* raster);
// A coordinate outside the screen is stored as -1 (the sun is then off screen).
void TvSetLensFlareSunPosition(int32_t x, int32_t y);
void TvUpdateLensFlare();
void TvUpdateLensFlareFlash();
// Both draw only while the sun position is valid.
void TvRenderLensFlare();
void TvRenderLensFlareFlash();
