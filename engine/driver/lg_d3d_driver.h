// The engine's Direct3D device driver: its entry for the engine (device record and request
// function), the rendering sub-systems it finds, and the settings it reads.
#pragma once

#include "engine/core/lg_types.h"
#include "platform/graphics/d3d.h"

// At most this many sub-systems are kept (one software and one hardware entry per driver).
constexpr int32_t LgD3DMaxSubSystems = 10;

// One rendering sub-system: a DirectDraw driver with the Direct3D device chosen for it.
struct LgD3DSubSystem {
    platform::GUID* guidPointer; // null for the primary display driver, else &guid
    platform::GUID guid;         // zero for the primary display driver
    uint32_t ddCaps;             // emulation caps (software entry) or driver caps (hardware)
    uint32_t ddFxCaps;
    char name[80];
    platform::DDPIXELFORMAT zBufferFormat;
    int32_t noZBuffer; // 1: the device removes hidden surfaces without a z-buffer
    int32_t hardware;  // 1 hardware entry, 0 software entry
    platform::D3DDEVICEDESC deviceDesc;
    uint32_t videoMemory; // total video memory in bytes
};

// The driver's entry: the address of its static device record (the engine copies it).
LgDeviceRecord* LgD3DGetDevice();

// The request function (device record word 1): 1 on success, 0 on failure.
int32_t LgD3DSystem(int32_t request, void* out, void* in, int32_t number);

// Fills `count` slots of the engine's standard-function table with the driver's functions.
int32_t LgD3DFillStandardFunctions(LgStandardFunctions* table, int32_t count);

// The sub-systems found by the last open (request 0), for inspection.
int32_t LgD3DGetSubSystemCount();
const LgD3DSubSystem* LgD3DGetSubSystem(int32_t index);

// The message of the driver's last recorded error (the engine keeps only its code); empty when
// none was recorded since the driver started.
const char* LgD3DGetLastErrorMessage();

// --- Choice of the Direct3D device and the "RefRast" setting ------------------------------

// The Direct3D device id to create for the sub-system: HAL for hardware sub-systems, else
// the RGB device, or the reference device when "RefRast" is non-zero.
const platform::GUID* LgD3DChooseDeviceGuid(const LgD3DSubSystem* subsystem);

// Reads a value under HKEY_LOCAL_MACHINE `key` (created when missing). With data null it
// answers only the value's size in *size; else it copies at most *size bytes. Returns 1 on
// success, 0 when the key or value is not available.
using LgD3DRegistryReader = int32_t (*)(const char* key, const char* value, void* data,
                                        uint32_t* size);

// Points the driver at the registry; null means no registry (every read is "not available").
// Returns the previous reader.
LgD3DRegistryReader LgD3DSetRegistryReader(LgD3DRegistryReader reader);

// The "RefRast" number of "Software\Ostrel\Lumagon": 0 when missing or not 4 bytes long.
uint32_t LgD3DReadRefRast();
