// The engine instance's life cycle (init, open, start, stop, close, term), engine plug-ins
// and the device requests.
#pragma once

#include "engine/core/lg_plugin_registry.h"
#include "engine/core/lg_types.h"

// Engine module and plug-in ids.
constexpr uint32_t LgModuleVector = 0x401;
constexpr uint32_t LgModuleMatrix = 0x402;
constexpr uint32_t LgModuleFrame = 0x403;
constexpr uint32_t LgModuleStream = 0x404;
constexpr uint32_t LgModuleCamera = 0x405;
constexpr uint32_t LgModuleImage = 0x406;
constexpr uint32_t LgModuleRaster = 0x407;
constexpr uint32_t LgModuleTexture = 0x408;
constexpr uint32_t LgModulePipeline = 0x409;
constexpr uint32_t LgModuleIm3DPipeline = 0x40a;
constexpr uint32_t LgModuleResources = 0x40b;
constexpr uint32_t LgModuleDriverSlice = 0x40c;
constexpr uint32_t LgModuleDriver = 0x40d;
constexpr uint32_t LgModuleImmediate = 0x40e;
constexpr uint32_t LgModuleError = 0x40f;
constexpr uint32_t LgModuleRandom = 0x10c;

// Init flags bit 0: every engine object is allocated singly through the memory functions.
constexpr uint32_t LgEngineInitNoFreeLists = 0x1;

// Open and close of a module: (instance, slice offset, slice size) -> instance or null.
using LgModuleOpenFunc = void* (*)(void* instance, int32_t offset, int32_t size);
using LgModuleCloseFunc = void* (*)(void* instance, int32_t offset, int32_t size);

// The driver's entry that hands the engine its device record at open.
using LgDeviceEntryFunc = LgDeviceRecord* (*)();

// Installs the driver entry LgEngineOpen asks for the device record; returns the previous one.
// The video start-up installs the Direct3D driver's; tests install a device of their own.
LgDeviceEntryFunc LgEngineSetDeviceEntry(LgDeviceEntryFunc entry);

// memory: the caller's four functions, or null for the C library's. flags: LgEngineInit...
int32_t LgEngineInit(const LgMemoryFunctions* memory, uint32_t flags);
// parameter: points at a word holding the output window handle.
int32_t LgEngineOpen(void* parameter);
int32_t LgEngineStart();
int32_t LgEngineStop();
int32_t LgEngineClose();
int32_t LgEngineTerm();
int32_t LgEngineGetOpenCount();

// Adds an engine module; its slice exists from start to stop. Returns the slice offset or -1
// (and {1, 0x80000017} while an instance is open).
int32_t LgEngineRegisterPlugin(int32_t size, uint32_t pluginId, LgModuleOpenFunc open,
                               LgModuleCloseFunc close);
int32_t LgEngineGetPluginOffset(uint32_t pluginId);

// The single path from the engine to the device, with the engine's defaults for refusals.
int32_t LgEngineDeviceRequest(LgDeviceRecord* device, int32_t request, void* out, void* in,
                              int32_t number);

int32_t LgEngineGetNumSubSystems();
LgSubSystemInfo* LgEngineGetSubSystemInfo(LgSubSystemInfo* info, int32_t index);
int32_t LgEngineGetCurrentSubSystem();
int32_t LgEngineSetSubSystem(int32_t index);
int32_t LgEngineGetNumVideoModes();
LgVideoMode* LgEngineGetVideoModeInfo(LgVideoMode* mode, int32_t index);
int32_t LgEngineSetVideoMode(int32_t index);
// The free texture memory the device reports, -1 on failure.
int32_t LgEngineRequest0CGet();
int32_t LgEngineGetMaxTextureSize();
int32_t LgEngineSetExclusiveMode(int32_t on);

// The engine registry (the instance's own plug-in registry).
extern LgPluginRegistry LgEngineRegistry;
