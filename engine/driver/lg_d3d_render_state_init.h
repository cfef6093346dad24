// The render states every new device starts with, and that every camera clear restores.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// The description of the open sub-system's Direct3D device (capabilities as the driver keeps
// them, with the texture-memory bits the start-up probe may have cleared).
const platform::D3DDEVICEDESC& LgD3DCurrentDeviceDesc();

// Sends the initial states to the device and makes the render-state cache match them.
void LgD3DSetInitialRenderStates(platform::IDirect3DDevice3* device);
