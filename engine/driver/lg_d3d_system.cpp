// The driver's device record and request function: the engine's one door to the device.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_im3d.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_camera.h"
#include "engine/driver/lg_d3d_device.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/driver/lg_d3d_enumerate.h"
#include "engine/driver/lg_d3d_render_states.h"
#include "engine/driver/lg_d3d_texture_formats.h"
#include "engine/driver/lg_d3d_transform.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

// The depth the engine writes for its far plane: just below 1.0, which a z clear writes.
constexpr float zBufferFar = std::bit_cast<float>(0x3F7FF972u);

// Screen-space drawing before the immediate-mode renderer is installed draws nothing.
int32_t no_line(void*, int32_t, int32_t) {
    return 0;
}
int32_t no_triangle(void*, int32_t, int32_t, int32_t) {
    return 0;
}
int32_t no_primitive(int32_t, void*, int32_t) {
    return 0;
}
int32_t no_indexed_primitive(int32_t, void*, int32_t, const uint16_t*, int32_t) {
    return 0;
}

LgDeviceRecord deviceRecord = {
    1.0f,
    LgD3DSystem,
    0.0f,
    zBufferFar,
    LgD3DSetRenderState,
    LgD3DGetRenderState,
    no_line,
    no_triangle,
    no_primitive,
    no_indexed_primitive,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

bool valid_subsystem(int32_t index) {
    return index >= 0 && index < LgD3DDriver.subSystemCount;
}

template <class T>
T* as(void* p) {
    return static_cast<T*>(p);
}

int32_t open(void* in) {
    LgD3DDriverState& d = LgD3DDriver;
    if (in == nullptr) return 0;
    d.window = *as<void*>(in);
    d.subSystemCount = 0;
    if (platform::failed(platform::DirectDrawEnumerateA(LgD3DEnumDriverCallback, nullptr)) ||
        d.subSystemCount == 0)
        return 0;
    d.currentSubSystem = d.subSystemCount - 1;
    LgD3DBuildVideoModes(d.currentSubSystem);
    return 1;
}

int32_t stop() {
    LgD3DImmediateClose();
    LgD3DFreeTextureFormats();
    LgD3DReleaseDevice();
    return 1;
}

int32_t get_device(void* out, void* in) {
    LgD3DDriverState& d = LgD3DDriver;
    if (out == nullptr || in == nullptr) return 0;
    std::memcpy(out, &deviceRecord, sizeof(LgDeviceRecord));
    d.engineRecord = as<LgDeviceRecord>(out);
    const auto* memory = as<LgMemoryFunctions>(in);
    d.alloc = memory->alloc;
    d.free = memory->free;
    d.realloc = memory->realloc;
    d.rasterSliceOffset = LgRasterRegisterPlugin(sizeof(LgD3DRasterSlice), LgModuleDriverSlice,
                                                 nullptr, nullptr, nullptr);
    d.cameraSliceOffset =
        LgCameraRegisterPlugin(sizeof(LgD3DRenderTarget), LgModuleDriverSlice, LgD3DCameraConstruct,
                               LgD3DCameraDestruct, nullptr);
    return d.rasterSliceOffset >= 0 && d.cameraSliceOffset >= 0 ? 1 : 0;
}

int32_t subsystem_info(void* out, int32_t number) {
    if (!valid_subsystem(number)) {
        LgD3DRaiseDriverError("Invalid subsystem number");
        return 0;
    }
    if (out == nullptr) return 0;
    LgEngineInstancePtr->stringFunctions.copy(as<LgSubSystemInfo>(out)->name,
                                              LgD3DDriver.subSystems[number].name);
    return 1;
}

int32_t set_subsystem(int32_t number) {
    if (!valid_subsystem(number)) {
        LgD3DRaiseDriverError("Invalid Subsystem number");
        return 0;
    }
    // The started device belongs to the current sub-system; switching under it would make
    // the stop release another sub-system's objects.
    if (LgD3DDriver.started) return 0;
    LgD3DDriver.currentSubSystem = number;
    LgD3DBuildVideoModes(number);
    return 1;
}

int32_t write_number(void* out, int32_t value) {
    if (out == nullptr) return 0;
    *as<int32_t>(out) = value;
    return 1;
}

} // namespace

LgDeviceRecord* LgD3DGetDevice() {
    return &deviceRecord;
}

int32_t LgD3DGetSubSystemCount() {
    return LgD3DDriver.subSystemCount;
}

const LgD3DSubSystem* LgD3DGetSubSystem(int32_t index) {
    return valid_subsystem(index) ? &LgD3DDriver.subSystems[index] : nullptr;
}

int32_t LgD3DSystem(int32_t request, void* out, void* in, int32_t number) {
    LgD3DDriverState& d = LgD3DDriver;
    switch (request) {
    case LgDeviceRequestOpen: return open(in);
    case LgDeviceRequestClose: LgD3DFreeVideoModes(); return 1;
    case LgDeviceRequestStart: return LgD3DOpenDevice();
    case LgDeviceRequestStop: return stop();
    case LgDeviceRequestGetDevice: return get_device(out, in);
    case LgDeviceRequestNumVideoModes: return write_number(out, d.modeCount);
    case LgDeviceRequestVideoModeInfo:
        if (out == nullptr || number < 0 || number >= d.modeCount) return 0;
        *as<LgVideoMode>(out) = d.modes[number];
        return 1;
    case LgDeviceRequestSetVideoMode:
        if (d.started || number < 0 || number >= d.modeCount) return 0;
        d.currentMode = number;
        return 1;
    case LgDeviceRequestExclusiveMode: return LgD3DSetExclusiveMode(number);
    case LgDeviceRequestPipeline:
        if (in == nullptr) return 0;
        as<LgPipeline>(in)->stage1 = LgD3DTransformStage;
        return 1;
    case LgDeviceRequestCurrentVideoMode: return write_number(out, d.currentMode);
    case LgDeviceRequestStandardFunctions:
        return LgD3DFillStandardFunctions(as<LgStandardFunctions>(out), number);
    case LgDeviceRequestFreeTextureMemory: return LgD3DGetFreeTextureMemory(as<uint32_t>(out));
    case LgDeviceRequestNumSubSystems: return write_number(out, d.subSystemCount);
    case LgDeviceRequestSubSystemInfo: return subsystem_info(out, number);
    case LgDeviceRequestCurrentSubSystem: return write_number(out, d.currentSubSystem);
    case LgDeviceRequestSetSubSystem: return set_subsystem(number);
    case LgDeviceRequestMaxTextureSize: {
        if (!valid_subsystem(d.currentSubSystem)) return 0;
        const platform::D3DDEVICEDESC& desc = d.subSystems[d.currentSubSystem].deviceDesc;
        return write_number(
            out, static_cast<int32_t>(std::min(desc.dwMaxTextureWidth, desc.dwMaxTextureHeight)));
    }
    default: return 0;
    }
}
