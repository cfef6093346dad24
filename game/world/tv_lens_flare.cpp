// The sun's lens flare: lensflare.ini, the part layout along the flare line, the edge flash
// and their drawing in screen space.
#include "game/world/tv_lens_flare.h"

#include "framework/core/com_ref.h"
#include "game/world/tv_ini_sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr const char* kLensFlareFile = "objects\\particles\\lensflare.ini";
// Part sizes are authored for a screen 640 pixels wide.
constexpr float kAuthoredWidth = 640.0f;
constexpr int32_t kPartSizeStep = 5;
constexpr uint32_t kFlareColour = 0x40ffffff;

constexpr int32_t kStateTexture = 1;
constexpr int32_t kStateZTest = 4;
constexpr int32_t kStateSourceBlend = 9;
constexpr int32_t kStateDestinationBlend = 10;
constexpr int32_t kStateVertexAlpha = 11;
constexpr uintptr_t kBlendOne = 2, kBlendSourceAlpha = 5, kBlendInverseSourceAlpha = 6;
constexpr int32_t kPrimitiveFan = 5;
constexpr float kLargestValue = 100.0f;
constexpr float kLargestPixel = 1.0e6f;

TvLensFlareState state;

void set_state(int32_t s, uintptr_t value) {
    LgRenderStateSet(s, reinterpret_cast<void*>(value));
}

void set_vertex(LgIm3DScreenVertex& v, float x, float y, float u, float t, uint32_t colour) {
    v = {};
    v.x = x;
    v.y = y;
    v.z = 1.0f;
    v.recipZ = 1.0f;
    v.colour = colour;
    v.u = u;
    v.v = t;
}

// Corners (x, y), (x, y + h), (x + w, y + h), (x + w, y) with the texture's corners.
void set_quad(LgIm3DScreenVertex* q, float x, float y, float w, float h, uint32_t colour) {
    set_vertex(q[0], x, y, 0.0f, 0.0f, colour);
    set_vertex(q[1], x, y + h, 0.0f, 1.0f, colour);
    set_vertex(q[2], x + w, y + h, 1.0f, 1.0f, colour);
    set_vertex(q[3], x + w, y, 1.0f, 0.0f, colour);
}

// Reads "<key>1", "<key>2", ... of the section until the first missing key.
void read_series(IPropertySheet* sheet, const char* section, const char* key, float* values) {
    if (sheet->SetSection(section) < 0) return;
    for (int32_t n = 1; n <= state.parts; ++n) {
        char name[kTvIniValueSize];
        std::snprintf(name, sizeof name, "%s%d", key, n);
        char value[kTvIniValueSize];
        if (!TvIniString(sheet, name, value)) return;
        // A value that is no finite number is 0; the rest are kept to +-kLargestValue (a part
        // that many screens away or across is off the screen anyway).
        const float read = static_cast<float>(std::atof(value));
        values[n - 1] =
            std::isfinite(read) ? std::clamp(read, -kLargestValue, kLargestValue) : 0.0f;
    }
}

// A pixel position or size as the rasteriser takes it: saturated, so that no layout of a
// hostile file or screen size leaves the range of an int.
int32_t to_pixels(float value) {
    if (!(value == value)) return 0;
    return static_cast<int32_t>(std::clamp(value, -kLargestPixel, kLargestPixel));
}

bool sun_on_screen() {
    return state.sun_x >= 0 && state.sun_y >= 0;
}

} // namespace

const TvLensFlareState& TvLensFlare() {
    return state;
}

OmResult TvLoadLensFlare() {
    state.parts = 0;
    state.width = 640;
    state.height = 480;
    ComRef<IPropertySheet> sheet;
    OmResult r = TvLoadIniSheet(kLensFlareFile, sheet.put());
    if (r < 0) return r;
    r = sheet->SetSection("flare");
    if (r < 0) return r;
    char value[kTvIniValueSize];
    r = sheet->GetString("parts", value, sizeof value);
    if (r < 0) return r;
    int32_t parts = static_cast<int32_t>(std::strtol(value, nullptr, 10));
    if (parts < 1 || parts > kTvLensFlareMaxParts) parts = kTvLensFlareMaxParts;
    state.parts = parts;
    state.sun_x = 0;
    state.sun_y = 0;
    for (int32_t i = 0; i < kTvLensFlareMaxParts; ++i) state.offsets[i] = state.scales[i] = 0.0f;
    read_series(sheet.get(), "offsets", "offset", state.offsets);
    read_series(sheet.get(), "scales", "scale", state.scales);
    return OM_S_OK;
}

OmResult TvSetLensFlareScreenSize(int32_t width, int32_t height) {
    if (width < 1 || height < 1) return OM_E_FAIL;
    state.width = width;
    state.height = height;
    set_quad(state.flash, 0.0f, 0.0f, float(width), float(height), 0x00ffffff);
    return OM_S_OK;
}

void TvSetLensFlareGlowTexture(LgRaster* raster) {
    state.glow = raster;
}

void TvSetLensFlareRingTexture(LgRaster* raster) {
    state.ring = raster;
}

void TvSetLensFlareSunPosition(int32_t x, int32_t y) {
    state.sun_x = x < 0 || x > state.width ? -1 : x;
    state.sun_y = y < 0 || y > state.height ? -1 : y;
}

void TvUpdateLensFlare() {
    const int32_t n = state.parts;
    if (n <= 0) return;
    const float k = float(state.width) / kAuthoredWidth;
    const float sx = float(state.sun_x), sy = float(state.sun_y);
    const float step_x = ((float(state.width) - sx) - sx) / float(n);
    const float step_y = ((float(state.height) - sy) - sy) / float(n);
    float px = sx, py = sy;
    for (int32_t i = 0; i < n; ++i) {
        // The glow at the sun is sized by the whole chain, the rings by their place in it.
        const int32_t m = (i == 0 ? n : i + 1) * kPartSizeStep;
        const int32_t s = to_pixels(float(to_pixels(float(m) * state.scales[i])) * k);
        const int32_t x = to_pixels(px - float(s / 2));
        const int32_t y = to_pixels(py - float(s / 2));
        set_quad(state.quads[i], float(x), float(y), float(s), float(s), kFlareColour);
        px += step_x * state.offsets[i];
        py += step_y * state.offsets[i];
    }
}

void TvUpdateLensFlareFlash() {
    const int32_t dx = state.sun_x < state.width / 2 ? state.sun_x : state.width - state.sun_x;
    const int32_t dy = state.sun_y < state.height / 2 ? state.sun_y : state.height - state.sun_y;
    // Saturated, so a screen over about 2000 pixels does not wrap the alpha byte.
    const int32_t a = (dx + dy) / 8;
    const auto alpha = static_cast<uint32_t>(a < 0 ? 0 : (a > 255 ? 255 : a));
    for (LgIm3DScreenVertex& v : state.flash) v.colour = alpha << 24 | 0xffffff;
}

void TvRenderLensFlare() {
    if (!sun_on_screen()) return;
    uintptr_t source = 0, destination = 0;
    LgRenderStateGet(kStateSourceBlend, &source);
    LgRenderStateGet(kStateDestinationBlend, &destination);
    set_state(kStateZTest, 0);
    set_state(kStateSourceBlend, kBlendOne);
    set_state(kStateDestinationBlend, kBlendOne);
    for (int32_t i = 0; i < state.parts; ++i) {
        LgRenderStateSet(kStateTexture, i == 0 ? state.glow : state.ring);
        LgIm2DRenderPrimitive(kPrimitiveFan, state.quads[i], 4);
    }
    set_state(kStateSourceBlend, source);
    set_state(kStateDestinationBlend, destination);
    set_state(kStateZTest, 1);
}

void TvRenderLensFlareFlash() {
    if (!sun_on_screen()) return;
    set_state(kStateSourceBlend, kBlendSourceAlpha);
    set_state(kStateDestinationBlend, kBlendInverseSourceAlpha);
    set_state(kStateTexture, 0);
    set_state(kStateVertexAlpha, 1);
    set_state(kStateZTest, 0);
    LgIm2DRenderPrimitive(kPrimitiveFan, state.flash, 4);
    set_state(kStateZTest, 1);
}
