// The immediate-mode renderer's state for a started device: the deferred-call buffer that
// holds translucent geometry until camera end update, and the fog set-up it starts with.
#include "engine/driver/lg_d3d_camera.h"
#include "engine/driver/lg_d3d_device.h"
#include "engine/driver/lg_d3d_fog.h"

int32_t LgD3DImmediateOpen() {
    LgD3DDriverState& d = LgD3DDriver;
    if (d.deferred == nullptr) d.deferred = LgDeferredBufferCreate();
    if (d.deferred == nullptr) return 0;
    LgD3DSetCurrentFogTable(LgD3DLinearFogTable());
    d.fogStart = 0.0f;
    d.fogScale = 0.0f;
    LgD3DBuildFogTables(1.0f);
    return 1;
}

void LgD3DImmediateClose() {
    LgDeferredBufferDestroy(LgD3DDriver.deferred);
    LgD3DDriver.deferred = nullptr;
}

void LgD3DFlushDeferred() {
    LgDeferredBuffer* buffer = LgD3DDriver.deferred;
    if (buffer == nullptr) return;
    if (buffer->count > 0) LgDeferredBufferReplay(buffer, LgD3DDriver.replayOrder);
    LgDeferredBufferReset(buffer);
}
