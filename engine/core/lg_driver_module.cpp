// Engine module 0x40d of the device driver (no slice; open and close only count).
#include "engine/core/lg_driver_module.h"

namespace {
int32_t driverOpenCount = 0;
}

void* LgD3DDriverOpen(void* instance, int32_t, int32_t) {
    ++driverOpenCount;
    return instance;
}

void* LgD3DDriverClose(void* instance, int32_t, int32_t) {
    if (driverOpenCount > 0) --driverOpenCount;
    return instance;
}

int32_t LgD3DDriverOpenCount() {
    return driverOpenCount;
}
