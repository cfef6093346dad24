// Shrapnel: small debris models from "OBJECTS\GROUND\SHRAPNEL\", cloned at random vertices of
// a destroyed ground object's model, flying ballistically with spin for ten seconds. The
// models are found in sorted name order (at most 32: the order fixes the bits of the model
// masks ground objects keep); SHRAPNEL.INI gives each a size. A program-wide module with a
// fixed pool of 50 pieces, timed by the platform's millisecond clock.
#pragma once

#include "engine/core/lg_engine.h"
#include "framework/core/result_codes.h"

inline constexpr int32_t kTvShrapnelModelCapacity = 32;
inline constexpr int32_t kTvShrapnelPieceCount = 50;
inline constexpr uint32_t kTvShrapnelLifeMs = 10000;

struct TvShrapnelPiece {
    uint32_t expiry; // platform milliseconds
    LgVector velocity;
    LgVector spin_axis; // unit
    float spin_rate;    // degrees per second / 10
    LgClump* model;     // a clone owned by the piece, or null
    TvShrapnelPiece* previous;
    TvShrapnelPiece* next;
};

// A ground object's choice of pieces.
struct TvShrapnelSelection {
    uint32_t mask; // bit i: model i
    int32_t count; // matching words (a repeated word counts again)
};

// Loads the models (textures from "objects\ground\textures\", image path restored) and the
// sizes, and empties the pool; what an earlier load held is released first. 1.
OmResult TvInitShrapnel();
// Whitespace-separated words (at most 32, each up to 31 characters) against the model names,
// ignoring case: the first matching model's bit is set and the count grows by one.
void TvShrapnelMaskFromNames(const char* text, uint32_t* mask, int32_t* count);
// Throws 2 x max(5, trunc(R / 10)) pieces (R the first atomic's bounding radius) from random
// vertices of the source's first atomic, while the pool lasts. Mask 0 throws nothing.
void TvSpawnShrapnel(LgClump* source, uint32_t mask, int32_t count);
// Moves and spins every live piece by the time since the last update; expired ones go.
void TvUpdateShrapnel();
// Every live piece goes back to the pool, its clone removed from its world and destroyed.
void TvClearShrapnelPieces();
// Clears, then destroys the loaded models.
void TvReleaseShrapnel();

// What is loaded and live, for inspection.
int32_t TvShrapnelModelCount();
LgClump* TvShrapnelModel(int32_t index);
const char* TvShrapnelModelName(int32_t index);
float TvShrapnelModelScale(int32_t index);
const TvShrapnelPiece* TvShrapnelLivePieces(); // front first, through next
int32_t TvShrapnelLiveCount();
