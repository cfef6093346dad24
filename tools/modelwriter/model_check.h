// Checks that a model description makes a file the engine will read: counts, indices and
// names within the limits of the chunk formats.
#pragma once

#include "tools/modelwriter/model.h"

#include <string>

namespace modelwriter {

// An empty message means the description is sound.
std::string check_material_list(const std::vector<MaterialEntry>& materials);
std::string check_geometry(const Geometry& geometry);
std::string check_clump(const Clump& clump);

} // namespace modelwriter
