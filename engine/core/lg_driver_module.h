// Engine module 0x40d of the device driver: its open and close only count.
#pragma once

#include <cstdint>

void* LgD3DDriverOpen(void* instance, int32_t offset, int32_t size);
void* LgD3DDriverClose(void* instance, int32_t offset, int32_t size);
// How often the driver module is open (0 or 1).
int32_t LgD3DDriverOpenCount();
