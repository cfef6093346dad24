// Projected blob shadows: a shadow texture laid over the static world triangles inside an
// oriented box hanging from an object along its matrix's at axis. Planes fade their shadow
// per vertex with distance; ground objects give the whole shadow one opacity.
#pragma once

#include "engine/core/lg_engine.h"
#include "engine/world/lg_world.h"

// The most world triangles one shadow covers (the first ones in the engine's walk order).
inline constexpr int32_t kTvShadowTriangleCapacity = 128;
// Clipped polygons are lifted this far above the ground they lie on.
inline constexpr float kTvShadowClipLift = 0.5f;

// Outcode bits of a vertex against the box faces, and the order they are clipped in.
enum TvShadowOutcode : uint32_t {
    kTvShadowBeyondUp = 0x01,    // beyond the +w face across up
    kTvShadowBeforeRight = 0x02, // beyond the -w face across right
    kTvShadowBeforeUp = 0x04,    // beyond the -w face across up
    kTvShadowBeyondRight = 0x08, // beyond the +w face across right
    kTvShadowBeyondEnd = 0x10,   // beyond the far end at L
    kTvShadowBeforeStart = 0x20, // before the start at 0
};
inline constexpr uint32_t kTvShadowClipOrder[6] = {kTvShadowBeforeRight, kTvShadowBeyondRight,
                                                   kTvShadowBeyondUp,    kTvShadowBeforeUp,
                                                   kTvShadowBeyondEnd,   kTvShadowBeforeStart};

// How the shadow's alpha is chosen.
struct TvShadowStyle {
    bool plane;    // the plane variant (fade by distance), else the ground variant
    int32_t fade;  // plane: clipped polygons fade too when non-zero, else alpha 254
    float opacity; // ground: 0..1 for the whole shadow
};

// One piece of shadow ready for immediate mode: a whole triangle (3 vertices, drawn as one
// triangle) or a clipped polygon (3..9 vertices, drawn as a fan).
using TvShadowSink = void (*)(const LgIm3DVertex* vertices, int32_t count, bool clipped,
                              void* context);

// Gathers, clips and textures the shadow pieces of the box (matrix rows right, up, at,
// position; half-width w; length L) over the world and hands each to the sink. Nothing for
// a null world, w or L not above 0, or a box outside the world.
void TvProjectShadow(const LgMatrix* matrix, LgWorld* world, float half_width, float length,
                     const TvShadowStyle& style, TvShadowSink sink, void* context);

// Both draw into the current camera: texture state := the shadow texture's raster, then each
// piece transformed (no matrix, flags 1), drawn and ended. The other render states are the
// caller's.
void TvDrawPlaneShadow(const LgMatrix* matrix, LgWorld* world, LgTexture* texture, float half_width,
                       float length, int32_t fade);
void TvDrawGroundShadow(const LgMatrix* matrix, LgWorld* world, LgTexture* texture,
                        float half_width, float length, float opacity);
