// The driver's fog tables: fog amount by depth index, linear and exponential, and the table
// the device reads (the fog factor in the alpha byte of each vertex's specular colour).
#pragma once

#include "engine/driver/lg_d3d_state.h"

// Rebuilds the exponential and exponential-squared tables for the far distance and the
// current fog density.
void LgD3DBuildFogTables(float farDistance);
// Copies a fog table into the current one and rebuilds the device table from it.
void LgD3DSetCurrentFogTable(const uint8_t table[256]);
// The linear table (entry i = i).
const uint8_t* LgD3DLinearFogTable();
