// The map "demo": a 4000 x 4000 BSP world of hills, an airstrip and a lake, its ground
// textures, sky faces, the radar "map", the "mapwater" mask and the "detail" texture.
#pragma once

#include "tools/demodata/output_tree.h"

namespace demodata {

// The world's layout, in world units (the file's coordinates). Missions place their
// objects from these.
namespace demomap {
inline constexpr float origin = 100.0f; // the lower corner in x, y and z
inline constexpr float size = 4000.0f;  // extent in x and z
inline constexpr float lowest = 100.0f; // ground height range
inline constexpr float highest = 800.0f;
inline constexpr float stripX = 2115.0f; // airstrip centre line (the plane's start x)
inline constexpr float stripZ0 = 1750.0f, stripZ1 = 2750.0f;
inline constexpr float stripHalfWidth = 60.0f;
inline constexpr float stripHeight = 220.0f;
inline constexpr float lakeX = 1100.0f, lakeZ = 3000.0f, lakeRadius = 450.0f;
// The climb-out north of the strip: a valley no higher than the strip, this half width at its
// floor with shoulders this wide, from the strip's far end to the low ground at z climbOutZ.
inline constexpr float climbOutHalfWidth = 120.0f;
inline constexpr float climbOutShoulder = 200.0f;
inline constexpr float climbOutZ = 3400.0f;
} // namespace demomap

// The ground height at a world position (x, z).
float demo_ground_height(float x, float z);

bool write_demo_map(OutputTree& out);

} // namespace demodata
