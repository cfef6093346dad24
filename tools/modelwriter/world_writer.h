// Writes world descriptions as the engine's world chunk (0xb) with its material list and the
// plane (0xa) and atomic (9) sector chunks, the struct's totals computed from the contents.
#pragma once

#include "tools/modelwriter/model_writer.h"
#include "tools/modelwriter/world.h"

namespace modelwriter {

// What the engine's world reader refuses; empty when the description is sound.
std::string check_world(const World& world);
// Checked: nothing is written when the check fails.
WriteResult write_world(const World& world, std::vector<uint8_t>& out);

// Unchecked writers, for composing deliberately bad files.
void put_world(ChunkWriter& w, const World& world);
void put_world_sector(ChunkWriter& w, const World& world, const WorldSector& sector);
// The used part of a stored collision tree, in bytes.
uint32_t collision_tree_size(const CollisionTree& tree);

} // namespace modelwriter
