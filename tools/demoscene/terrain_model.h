// The demo scene's ground: a rolling patchwork of meadows and ploughed fields, about 20,000
// textured, pre-lit triangles, built into a world of about 64 sectors by the world writer's
// builder.
#pragma once

#include "tools/modelwriter/world.h"

#include <optional>

namespace demoscene {

struct Terrain {
    modelwriter::World world;
    // What the builder added to every position: scene positions move by the same amount.
    modelwriter::Vec3 shift;
};

// Nullopt when the builder cannot split the ground.
std::optional<Terrain> terrain_world();

} // namespace demoscene
