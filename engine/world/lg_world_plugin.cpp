// The world plug-in's modules in registration order: they open in this order at start and
// close in the reverse order at stop.
#include "engine/world/lg_world_plugin.h"

#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_material.h"
#include "engine/world/lg_mesh.h"

#include <cstdint>

namespace {

using ModuleRegister = int32_t (*)();

// Lights (0x505), the counters 0x50c and 0x50a, worlds (0x507), 0x50b and the world ties
// (0x509) take their places in this order as they are built.
const ModuleRegister worldModules[] = {
    LgMaterialModuleRegister,          // 0x501
    LgMeshModuleRegister,              // 0x502
    LgGeometryModuleRegister,          // 0x503
    LgClumpModuleRegister,             // 0x504
    LgMaterialStatelessModuleRegister, // 0x506
};

} // namespace

bool LgWorldPluginAttach() {
    bool ok = true;
    for (ModuleRegister add : worldModules) ok = add() >= 0 && ok;
    // Mesh headers travel in geometry extension chunks.
    return LgGeometryMeshHeaderPluginAttach() >= 0 && ok;
}
