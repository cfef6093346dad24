// The demo scene's aircraft: a two-bay biplane of about 550 textured, pre-lit triangles, as a
// model description for the writer.
#pragma once

#include "tools/modelwriter/model.h"

namespace demoscene {

// One frame, one atomic, one geometry with four materials (wing fabric, fuselage paint,
// wood, metal). Nose along +z, top along +y, span along x; about 10 units of wingspan.
modelwriter::Clump biplane_clump();

} // namespace demoscene
