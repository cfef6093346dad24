// Explosions and smoke columns: camera-facing sprites in one texture ("smoke.bmp" with its
// mask), computed by the update into a per-frame sprite list and drawn by the render in two
// blended batches. Smoke particles are never stored: each frame a column's particles are
// regenerated from its clock and its own random seed, within a budget shared by distance.
// A program-wide module with fixed pools (50 columns, 40 explosions, 1000 sprites a frame).
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/result_codes.h"

struct ITvBSPLandscape;

inline constexpr int32_t kTvSmokeColumnCount = 50;
inline constexpr int32_t kTvExplosionCount = 40;
inline constexpr int32_t kTvExplosionPuffCount = 30;
inline constexpr int32_t kTvExplosionJetCount = 7;
inline constexpr int32_t kTvSpriteVertexCapacity = 3000; // three vertices a sprite
// The smoke budget per unit of the effects detail setting.
inline constexpr float kTvSmokeBudgetPerDetail = 0.4f;

// Engine blend values.
inline constexpr int32_t kTvBlendOne = 2;
inline constexpr int32_t kTvBlendSourceAlpha = 5;
inline constexpr int32_t kTvBlendInverseSourceAlpha = 6;

struct TvBlendPair {
    int32_t source;
    int32_t destination;
};
inline constexpr TvBlendPair kTvBlendAdditive = {kTvBlendSourceAlpha, kTvBlendOne};
inline constexpr TvBlendPair kTvBlendAlpha = {kTvBlendSourceAlpha, kTvBlendInverseSourceAlpha};

struct TvSmokeColumn {
    uint32_t seed; // seeds the engine generator for this column every frame
    float clock;   // starts at -rise time
    LgVector source;
    float rise_time;
    float inverse_rise_time;
    float height;
    float alpha;
    float spread; // sideways and vertical scatter at the top
    float growth; // sprite size at the top
    float grey;
    float grey_fall;
    int32_t count; // 0 once the column has faded
    float weight;  // share of the smoke budget, this frame
    TvSmokeColumn* link;
};

struct TvExplosionPuff {
    LgVector position; // spawn point: the puff moves out along the anchor's line through it
    float birth;
    float fade_in_end;
    float growth;
    float fade_slope;
    float fade_in_rate;
    float interval;
    float maximum_size;
    float time_at_maximum;
    uint32_t alive;
    float chain_start;
    float minimum_size;
    float size_scale;
    LgVector anchor;
    float chain_duration;
    TvBlendPair blend;
};

struct TvExplosion {
    LgVector position;
    float life;
    float age;
    TvExplosionPuff* puffs; // kTvExplosionPuffCount, owned
    LgVector* jets;         // kTvExplosionJetCount, owned
    uint32_t seen;
    float size; // 1..2
    int32_t puff_slots;
    TvExplosion* link;
};

// Smoke budget := 0.4 x effects detail; reads the smoke texture from ".\objects\particles\"
// (image path restored); empties both pools; keeps the landscape (no reference). 0.
OmResult TvInitExplosions(int32_t effects_detail, ITvBSPLandscape* landscape);
// Frees what the module holds (texture reference, explosions' arrays); the pools are empty.
void TvReleaseExplosions();
// Starts a smoke column (size 1.0 from every caller; the word is unused). 0, or OM_E_FAIL
// with nothing started for a size that is not above 0.
OmResult TvSpawnSmokeColumn(const LgVector* position, float size, uint32_t word);
// Starts an explosion of size 1..2 (clamped). 0, or OM_E_OUTOFMEMORY with nothing started.
OmResult TvStartExplosion(const LgVector* position, float size, uint32_t word);
// Advances every effect relative to the camera and fills the frame's sprite list.
void TvUpdateExplosions(LgCamera* camera, float dt);
// Draws the frame's sprites: additive ones first, then the alpha-blended ones.
void TvRenderExplosions(LgCamera* camera);

// What the last update produced, for the drawing and for inspection.
int32_t TvExplosionSpriteVertexCount();
const LgIm3DVertex* TvExplosionSpriteVertices();
const TvBlendPair* TvExplosionSpriteBlends();
float TvExplosionSmokeBudget();
LgTexture* TvExplosionSmokeTexture();
// The live lists' heads (list order).
const TvSmokeColumn* TvLiveSmokeColumns();
const TvExplosion* TvLiveExplosions();
