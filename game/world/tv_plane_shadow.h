// The plane's ground shadow is drawn by the projected-shadow module; it installs its drawer
// here at start-up, and until then planes cast no shadow.
#pragma once

#include "engine/core/lg_engine.h"

struct LgTexture;

// Projects the texture onto the world's triangles inside the box that hangs from the matrix
// along its at row: half-width w across right and up, length L along at; fade non-zero fades
// the shadow with the distance from the matrix position.
using TvPlaneShadowDrawer = void (*)(const LgMatrix* matrix, LgWorld* world, LgTexture* texture,
                                     float half_width, float length, int32_t fade);

// Installs the drawer (null removes it).
void TvSetPlaneShadowDrawer(TvPlaneShadowDrawer drawer);
// The installed drawer, or null.
TvPlaneShadowDrawer TvGetPlaneShadowDrawer();
