// The driver's slice of every camera (plug-in id 0x40c): its constructor and destructor.
#pragma once

#include <cstdint>

// Camera plug-in constructor: an empty render target with its own background material;
// null when no device is started.
void* LgD3DCameraConstruct(void* camera, int32_t offset, int32_t size);
// Releases the camera's DirectX objects and detaches it from its raster.
void* LgD3DCameraDestruct(void* camera, int32_t offset, int32_t size);

// Replays the translucent geometry deferred during the camera update and empties the buffer.
void LgD3DFlushDeferred();
