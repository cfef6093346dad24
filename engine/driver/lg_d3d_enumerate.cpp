// Sub-system enumeration (a software and a hardware pass over each DirectDraw driver) and the
// video-mode list.
#include "engine/driver/lg_d3d_enumerate.h"

#include <cstdio>
#include <cstring>

using namespace platform;

namespace {

// Sub-systems examined by a driver callback may add two records; from this many on, a driver
// is skipped so that the table never overflows.
constexpr int32_t skipDriverAt = LgD3DMaxSubSystems - 1;
constexpr uint32_t assumedVideoMemory = 0x1000000;
constexpr uint32_t totalMemoryCaps =
    DDSCAPS_PRIMARYSURFACE | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
constexpr char referenceRasterizer[] = "Reference Rasterizer";

struct DeviceSearch {
    bool software;
    bool found;
    bool zTaken;
    int32_t noZ;
    DDPIXELFORMAT zFormat;
    IDirect3D3* direct3D;
    D3DDEVICEDESC desc;
};

int32_t z_format_callback(DDPIXELFORMAT* format, void* context) {
    auto* search = static_cast<DeviceSearch*>(context);
    const uint32_t kept = search->zFormat.dwZBufferBitDepth;
    const uint32_t offered = format->dwZBufferBitDepth;
    // The smallest depth of at least 16 bits, or the first format when none reaches 16.
    if (!search->zTaken || (kept < 16 && offered >= 16) ||
        (kept >= 16 && offered >= 16 && offered < kept)) {
        search->zFormat = *format;
        search->zTaken = true;
    }
    return D3DENUMRET_OK;
}

bool suitable(const D3DDEVICEDESC& desc) {
    return (desc.dcmColorModel & D3DCOLOR_RGB) != 0 &&
           (desc.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE) != 0;
}

int32_t device_callback(GUID* guid, char*, char* name, D3DDEVICEDESC* hal, D3DDEVICEDESC* hel,
                        void* context) {
    auto* search = static_cast<DeviceSearch*>(context);
    const D3DDEVICEDESC* desc = search->software ? hel : hal;
    if (desc == nullptr || guid == nullptr) return D3DENUMRET_OK;
    const bool reference =
        search->software && name != nullptr && std::strcmp(name, referenceRasterizer) == 0;
    if (!reference && (search->found || !suitable(*desc))) return D3DENUMRET_OK;
    std::memcpy(&search->desc, desc, sizeof(D3DDEVICEDESC));
    if ((desc->dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ZBUFFERLESSHSR) != 0) {
        search->noZ = 1;
        search->found = true;
        return D3DENUMRET_OK;
    }
    search->noZ = 0;
    search->zTaken = false;
    search->zFormat = DDPIXELFORMAT{};
    search->direct3D->EnumZBufferFormats(*guid, z_format_callback, search);
    search->found = search->zTaken;
    return D3DENUMRET_OK;
}

void add_record(const DeviceSearch& search, const GUID* guid, const char* description,
                const char* name, const DDCAPS& caps, uint32_t videoMemory) {
    LgD3DSubSystem& s = LgD3DDriver.subSystems[LgD3DDriver.subSystemCount++];
    std::memset(&s, 0, sizeof(s));
    s.deviceDesc = search.desc;
    s.zBufferFormat = search.zFormat;
    s.noZBuffer = search.noZ;
    if (guid != nullptr) {
        s.guid = *guid;
        s.guidPointer = &s.guid;
    }
    s.ddCaps = caps.dwCaps;
    s.ddFxCaps = caps.dwFXCaps;
    s.hardware = search.software ? 0 : 1;
    s.videoMemory = videoMemory;
    const char* kind = search.software ? "S/W" : "H/W";
    if (name != nullptr && name[0] != '\0')
        std::snprintf(s.name, sizeof(s.name), "%s (%s) %s", description, name, kind);
    else
        std::snprintf(s.name, sizeof(s.name), "%s %s", description, kind);
}

bool search_pass(IDirectDraw4* dd, DeviceSearch& search) {
    IDirect3D3* d3d = nullptr;
    if (failed(dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d)))) return false;
    search.direct3D = d3d;
    d3d->EnumDevices(device_callback, &search);
    d3d->Release();
    search.direct3D = nullptr;
    return search.found;
}

IDirectDraw4* create_direct_draw(const GUID* guid) {
    IUnknown* first = nullptr;
    if (failed(DirectDrawCreate(guid, &first, nullptr)) || first == nullptr) return nullptr;
    IDirectDraw4* dd = nullptr;
    if (failed(first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd))))
        dd = nullptr;
    first->Release();
    return dd;
}

uint32_t bytes_per_pixel(uint32_t depth) {
    return (depth + 7) / 8;
}

uint32_t render_depth_bit(uint32_t depth) {
    switch (depth) {
    case 8: return DDBD_8;
    case 16: return DDBD_16;
    case 24: return DDBD_24;
    case 32: return DDBD_32;
    default: return 0;
    }
}

int32_t display_mode_callback(DDSURFACEDESC2* desc, void* context) {
    LgD3DAddVideoMode(static_cast<const LgD3DSubSystem*>(context), desc, LgVideoModeFullScreen);
    return DDENUMRET_OK;
}

} // namespace

int32_t LgD3DEnumDriverCallback(GUID* guid, char* description, char* name, void*) {
    if (LgD3DDriver.subSystemCount >= skipDriverAt) return DDENUMRET_OK;
    IDirectDraw4* dd = create_direct_draw(guid);
    if (dd == nullptr) return DDENUMRET_OK;
    DDCAPS driverCaps{}, emulationCaps{};
    driverCaps.dwSize = emulationCaps.dwSize = sizeof(DDCAPS);
    if (failed(dd->GetCaps(&driverCaps, &emulationCaps))) {
        dd->Release();
        return DDENUMRET_OK;
    }
    DDSCAPS2 memoryCaps{};
    memoryCaps.dwCaps = totalMemoryCaps;
    uint32_t total = 0, free = 0;
    if (failed(dd->GetAvailableVidMem(&memoryCaps, &total, &free))) total = assumedVideoMemory;
    const char* text = description != nullptr ? description : "";
    DeviceSearch search{};
    search.software = true;
    if (search_pass(dd, search)) add_record(search, guid, text, name, emulationCaps, total);
    search = DeviceSearch{};
    search.software = false;
    if (search_pass(dd, search)) add_record(search, guid, text, name, driverCaps, total);
    dd->Release();
    return DDENUMRET_OK;
}

void LgD3DFreeVideoModes() {
    LgD3DFree(LgD3DDriver.modes);
    LgD3DDriver.modes = nullptr;
    LgD3DDriver.modeCount = 0;
    LgD3DDriver.currentMode = -1;
}

int32_t LgD3DAddVideoMode(const LgD3DSubSystem* subsystem, const DDSURFACEDESC2* desc,
                          uint32_t flags) {
    const DDPIXELFORMAT& format = desc->ddpfPixelFormat;
    if ((format.dwFlags & DDPF_RGB) == 0 || (format.dwFlags & DDPF_ANY_PALETTE) != 0) return 0;
    const uint32_t depth = format.dwRGBBitCount;
    const uint32_t depthBit = render_depth_bit(depth);
    if (depthBit == 0 || (subsystem->deviceDesc.dwDeviceRenderBitDepth & depthBit) == 0) return 0;
    if ((flags & LgVideoModeFullScreen) != 0 &&
        uint64_t{3} * desc->dwWidth * desc->dwHeight * bytes_per_pixel(depth) >
            subsystem->videoMemory)
        return 0;
    const size_t bytes = (static_cast<size_t>(LgD3DDriver.modeCount) + 1) * sizeof(LgVideoMode);
    auto* grown = static_cast<LgVideoMode*>(
        LgD3DDriver.modes == nullptr ? LgD3DAlloc(bytes) : LgD3DRealloc(LgD3DDriver.modes, bytes));
    if (grown == nullptr) return 0;
    LgD3DDriver.modes = grown;
    grown[LgD3DDriver.modeCount++] = {static_cast<int32_t>(desc->dwWidth),
                                      static_cast<int32_t>(desc->dwHeight),
                                      static_cast<int32_t>(depth), flags};
    return 1;
}

void LgD3DBuildVideoModes(int32_t index) {
    LgD3DFreeVideoModes();
    if (index < 0 || index >= LgD3DDriver.subSystemCount) return;
    const LgD3DSubSystem& subsystem = LgD3DDriver.subSystems[index];
    IDirectDraw4* dd = create_direct_draw(subsystem.guidPointer);
    if (dd == nullptr) return;
    // Only the primary display driver shows on the desktop: it alone offers a windowed mode.
    if (subsystem.guidPointer == nullptr &&
        succeeded(dd->SetCooperativeLevel(LgD3DDriver.window, DDSCL_NORMAL | DDSCL_FPUSETUP))) {
        DDSURFACEDESC2 primaryDesc{};
        primaryDesc.dwSize = sizeof(primaryDesc);
        primaryDesc.dwFlags = DDSD_CAPS;
        primaryDesc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
        IDirectDrawSurface4* primary = nullptr;
        if (succeeded(dd->CreateSurface(&primaryDesc, &primary, nullptr))) {
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof(desc);
            if (succeeded(primary->GetSurfaceDesc(&desc))) LgD3DAddVideoMode(&subsystem, &desc, 0);
            primary->Release();
        }
    }
    dd->EnumDisplayModes(0, nullptr, const_cast<LgD3DSubSystem*>(&subsystem),
                         display_mode_callback);
    dd->Release();
    // An empty list has no current mode: index 0 would point past it.
    LgD3DDriver.currentMode = LgD3DDriver.modeCount > 0 ? 0 : -1;
}
