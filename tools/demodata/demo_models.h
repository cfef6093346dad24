// The set's models: the three planes, the ground kinds, the ordnance, the shrapnel pieces and
// the shared pickup crate, written as engine clump files, with the textures they name.
#pragma once

#include "tools/demodata/output_tree.h"

namespace demodata {

// Plane directories (the plane table's ids) and their models and textures.
bool write_plane_models(OutputTree& out);
// objects/ground/<kind>/ models, objects/ground/textures/ and the shrapnel pieces.
bool write_ground_models(OutputTree& out);
// objects/ordinance/ models and pictures.
bool write_ordnance_models(OutputTree& out);

} // namespace demodata
