// Pictures of the generated set and the files they are written as: BMP through the demo
// scene's writer (24-bit colour, 8-bit grey masks), PNG through libpng and JPEG through libjpeg.
#pragma once

#include "tools/demodata/output_tree.h"
#include "tools/demoscene/bmp_file.h"

#include <cstdint>
#include <string>

namespace demodata {

using demoscene::Picture;

// A picture of one colour (0xRRGGBB).
Picture solid(int32_t width, int32_t height, uint32_t colour);
// Deterministic value noise in 0..1 at integer lattice spacing `cell`, seeded.
float noise(int32_t x, int32_t y, int32_t cell, uint32_t seed);
// The same noise at any real point, the lattice a unit apart: continuous everywhere, so
// pictures that sample it along a shared edge agree there.
float smooth_noise(float x, float y, uint32_t seed);
// Colour arithmetic on 0xRRGGBB words.
uint32_t rgb(int r, int g, int b);
uint32_t shade(uint32_t colour, float factor);
uint32_t mix(uint32_t a, uint32_t b, float t);

bool write_bmp(OutputTree& out, const std::string& relative, const Picture& picture);
// The low byte of each pixel as grey: 0 transparent, 255 opaque.
bool write_mask(OutputTree& out, const std::string& relative, const Picture& picture);
// PNG with full alpha: pixels are 0xAARRGGBB words.
bool write_png(OutputTree& out, const std::string& relative, const Picture& picture);
bool write_jpeg(OutputTree& out, const std::string& relative, const Picture& picture);

// A texture and its mask "<name>.bmp" and "<name>m.bmp" (or the mask name given).
bool write_masked(OutputTree& out, const std::string& directory, const std::string& name,
                  const Picture& colour, const Picture& mask, const std::string& maskName = "");

} // namespace demodata
