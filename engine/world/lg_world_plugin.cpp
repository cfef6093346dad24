// The world plug-in's modules in registration order: they open in this order at start and
// close in the reverse order at stop. The world ties come last, through their own attach.
#include "engine/world/lg_world_plugin.h"

#include "engine/world/lg_clump.h"
#include "engine/world/lg_geometry.h"
#include "engine/world/lg_light.h"
#include "engine/world/lg_material.h"
#include "engine/world/lg_mesh.h"
#include "engine/world/lg_world.h"
#include "engine/world/lg_world_tie.h"

#include <cstdint>

namespace {

using ModuleRegister = int32_t (*)();

int32_t register_counter_c() {
    return LgWorldCounterModulesRegister(LgModuleWorldCounterC);
}
int32_t register_counter_a() {
    return LgWorldCounterModulesRegister(LgModuleWorldCounterA);
}
int32_t register_counter_b() {
    return LgWorldCounterModulesRegister(LgModuleWorldCounterB);
}

const ModuleRegister worldModules[] = {
    LgMaterialModuleRegister,          // 0x501
    LgMeshModuleRegister,              // 0x502
    LgGeometryModuleRegister,          // 0x503
    LgClumpModuleRegister,             // 0x504
    LgLightModuleRegister,             // 0x505
    LgMaterialStatelessModuleRegister, // 0x506
    register_counter_c,                // 0x50c
    register_counter_a,                // 0x50a
    LgWorldModuleRegister,             // 0x507
    register_counter_b,                // 0x50b
};

} // namespace

bool LgWorldPluginAttach() {
    bool ok = true;
    for (ModuleRegister add : worldModules) ok = add() >= 0 && ok;
    return LgWorldTiePluginAttach() && ok;
}
