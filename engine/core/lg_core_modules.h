// The table of core engine modules that init registers, in their fixed order.
#pragma once

#include <cstdint>

// Registers every core module; the OR of the registration results (negative when any failed).
int32_t LgEngineRegisterCoreModules();
