// The game's stages in the engine's default world-sector pipeline: the landscape is drawn at
// full brightness, without the engine's lighting.
#pragma once

#include <cstdint>

// The colour every instanced sector vertex is drawn with (alpha 254).
inline constexpr uint32_t TV_SECTOR_VERTEX_COLOUR = 0xFEFFFFFF;

// Puts the game's stages into the started engine's default world-sector pipeline: the
// pre-light and lighting stages do nothing, and the instancing stage becomes
// TvSectorInstanceStage. Does nothing before the world module has started.
void TvInstallSectorStages();
// The engine's instancing of the sector, then TV_SECTOR_VERTEX_COLOUR in every vertex of the
// sector in the current vertex buffer and in its colour accumulators (which the post-light
// stage packs). Returns the engine's work record (null: nothing drawn).
void* TvSectorInstanceStage(void* sector);
