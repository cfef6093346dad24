// Fresh random GUIDs, in the memory layout of a Windows GUID.
#pragma once

#include <cstdint>

namespace platform {

// Fills 16 bytes with a new version-4 GUID laid out as {uint32 Data1, uint16 Data2,
// uint16 Data3, uint8 Data4[8]} in little-endian memory. Returns 0 on success, -1 when no
// random source could be read.
int new_guid(uint8_t out[16]);

} // namespace platform
