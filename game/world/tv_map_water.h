// The water test over the map's "mapwater" picture: whether a point of the map, given by its
// texture coordinates, lies over water.
#pragma once

#include <cstdint>

// 1 over water, 0 over land. (u, v) run over the map picture 0..1 and wrap outside; the pixel
// at column (int)(u x (width - 1)) and row (int)(v x (height - 1)) is read through the engine
// whatever its depth, and any colour but black is water (opaque black that a colour-keyed
// format stores as its darkest visible pixel is black). Without a "mapwater" texture in the
// current texture dictionary (or without its raster) everything is land.
int32_t TvMapWaterAt(float u, float v);
