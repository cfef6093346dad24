// Finding the machine's rendering sub-systems and the video modes of one of them.
#pragma once

#include "engine/driver/lg_d3d_state.h"

// DirectDrawEnumerateA callback: adds up to two sub-systems (software, hardware) per driver.
int32_t LgD3DEnumDriverCallback(platform::GUID* guid, char* description, char* name, void* context);
// Rebuilds the video-mode list of sub-system `index`; the current mode becomes the first.
void LgD3DBuildVideoModes(int32_t index);
// Adds a mode when the sub-system can render it; 1 when added.
int32_t LgD3DAddVideoMode(const LgD3DSubSystem* subsystem, const platform::DDSURFACEDESC2* desc,
                          uint32_t flags);
void LgD3DFreeVideoModes();
