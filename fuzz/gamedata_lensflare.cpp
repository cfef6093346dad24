// Fuzzes lensflare.ini: TvLoadLensFlare reads the part count, offsets and scales from the
// storage in memory; the parts are then laid out for a screen and a sun position of the
// input's choosing and the edge flash is set.
// Checks: the part count is 1..20 after a load that succeeds and 0 after one that fails;
// every corner of every part and of the flash is a finite number of at most a few million
// pixels (the rasteriser converts them to integers); blocks balance.
//
// Input: a byte for the screen (bit 0-1: 320x240, 640x480, 1024x768 or 2048x1536), a byte for
// each of the sun's x and y (scaled over the screen, 255 off the screen), then as the rest
// lensflare.ini.
#include "fuzz/data_harness.h"
#include "game/world/tv_lens_flare.h"

#include <cmath>

using fuzzing::require;

namespace {

void check_corners(const LgIm3DScreenVertex* quad) {
    for (int i = 0; i < 4; ++i)
        require(std::isfinite(quad[i].x) && std::isfinite(quad[i].y) &&
                    std::fabs(quad[i].x) <= 4e6f && std::fabs(quad[i].y) <= 4e6f,
                "a flare corner is a finite pixel position");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_data_framework();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_data_framework();
    fuzzing::FuzzInput input(data, size);
    static const int32_t screens[4][2] = {{320, 240}, {640, 480}, {1024, 768}, {2048, 1536}};
    const int32_t* screen = screens[input.byte() & 3];
    const uint8_t sun_x = input.byte(), sun_y = input.byte();
    auto& files = fuzzing::shared_files();
    files.reset();
    files.put("objects/particles/lensflare.ini", input.rest());
    fuzzing::FrameworkBlocksBalanced balanced;
    const OmResult r = TvLoadLensFlare();
    const TvLensFlareState& state = TvLensFlare();
    if (r < 0) {
        require(state.parts == 0, "a failed load leaves no part");
    } else {
        require(state.parts >= 1 && state.parts <= kTvLensFlareMaxParts, "1..20 parts");
    }
    require(TvSetLensFlareScreenSize(screen[0], screen[1]) >= 0, "a screen size is taken");
    TvSetLensFlareSunPosition(sun_x == 255 ? -1 : sun_x * screen[0] / 254,
                              sun_y == 255 ? -1 : sun_y * screen[1] / 254);
    TvUpdateLensFlare();
    TvUpdateLensFlareFlash();
    for (int32_t i = 0; i < state.parts; ++i) check_corners(state.quads[i]);
    check_corners(state.flash);
    files.reset();
    return 0;
}
