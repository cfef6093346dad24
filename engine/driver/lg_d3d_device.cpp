// The device's start (full screen or windowed), its release, exclusive mode and the free
// texture memory.
#include "engine/driver/lg_d3d_device.h"

#include "engine/driver/lg_d3d_render_state_init.h"
#include "engine/driver/lg_d3d_texture_chain.h"
#include "engine/driver/lg_d3d_texture_formats.h"

#include <cstring>

using namespace platform;

namespace {

constexpr uint32_t normalLevel = DDSCL_NORMAL | DDSCL_FPUSETUP;
constexpr uint32_t exclusiveLevel =
    DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_FPUSETUP;
constexpr uint32_t flipChainCaps =
    DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE;
constexpr uint32_t probeSide = 100;

LgD3DSubSystem& subsystem() {
    return LgD3DDriver.subSystems[LgD3DDriver.currentSubSystem];
}

const LgVideoMode& mode() {
    return LgD3DDriver.modes[LgD3DDriver.currentMode];
}

uint32_t memory_caps(uint32_t video, uint32_t system) {
    return subsystem().hardware ? video : system;
}

DDSURFACEDESC2 describe(IDirectDrawSurface4* surface) {
    DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof(desc);
    surface->GetSurfaceDesc(&desc);
    return desc;
}

IDirectDrawSurface4* create_surface(DDSURFACEDESC2 desc) {
    IDirectDrawSurface4* surface = nullptr;
    if (failed(LgD3DDriver.directDraw->CreateSurface(&desc, &surface, nullptr))) return nullptr;
    return surface;
}

// Fails the start with a recorded message: everything made so far is released.
int32_t fail(const char* message) {
    if (message != nullptr) LgD3DRaiseDriverError(message);
    LgD3DFreeTextureFormats();
    LgD3DReleaseDevice();
    return 0;
}

int32_t open_full_screen() {
    LgD3DDriverState& d = LgD3DDriver;
    LgD3DRenderTarget& t = d.fullScreenTarget;
    if (failed(d.directDraw->SetCooperativeLevel(d.window, exclusiveLevel)))
        return fail("Failed to set Direct Draw Cooperative Level");
    d.cooperativeChanged = true;
    const LgVideoMode& m = mode();
    if (failed(d.directDraw->SetDisplayMode(static_cast<uint32_t>(m.width),
                                            static_cast<uint32_t>(m.height),
                                            static_cast<uint32_t>(m.depth), 0, 0)))
        return fail("Failed to set Display Mode");
    d.displayModeChanged = true;

    DDSURFACEDESC2 primary{};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    primary.ddsCaps.dwCaps = flipChainCaps;
    primary.dwBackBufferCount = 1;
    d.primary = create_surface(primary);
    if (d.primary == nullptr) return fail("Failed to create Primary Surface");
    DDSCAPS2 backCaps{};
    backCaps.dwCaps = DDSCAPS_BACKBUFFER;
    if (failed(d.primary->GetAttachedSurface(&backCaps, &t.colour)))
        return fail("Failed to create Primary Surface");
    d.primaryDesc = describe(d.primary);

    if (!d.noZBuffer) {
        DDSURFACEDESC2 z{};
        z.dwSize = sizeof(z);
        z.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
        z.dwWidth = d.primaryDesc.dwWidth;
        z.dwHeight = d.primaryDesc.dwHeight;
        z.ddpfPixelFormat = subsystem().zBufferFormat;
        z.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_3DDEVICE |
                           memory_caps(DDSCAPS_VIDEOMEMORY, DDSCAPS_SYSTEMMEMORY);
        t.zBuffer = create_surface(z);
        if (t.zBuffer == nullptr) return fail("Failed to create Z buffer Surface");
        d.zBufferDesc = describe(t.zBuffer);
        if (failed(t.colour->AddAttachedSurface(t.zBuffer)))
            return fail("Failed to attach Z buffer surface");
    }

    if (failed(d.direct3D->CreateDevice(*LgD3DChooseDeviceGuid(&subsystem()), t.colour, &t.device,
                                        nullptr)))
        return fail("Failed to create D3D3 Device");
    const char* failure = nullptr;
    t.viewport =
        LgD3DCreateViewport(t.device, d.primaryDesc.dwWidth, d.primaryDesc.dwHeight, &failure);
    if (t.viewport == nullptr) return fail(failure);

    if (failed(d.direct3D->CreateMaterial(&t.material, nullptr)))
        return fail("Failed to create background material");
    if (!LgD3DSetBackgroundMaterial(t.material, 0, 0, 0) ||
        failed(t.material->GetHandle(t.device, &d.backgroundHandle)))
        return fail("Failed to create background material");
    if (failed(t.viewport->SetBackground(d.backgroundHandle)))
        return fail("Failed to set Background");
    std::memset(t.background, 0, sizeof(t.background));
    t.nextInRing = &t;
    t.raster = nullptr;

    if (!LgD3DEnumTextureFormats(t.device, t.colour)) return fail(nullptr);
    return 1;
}

int32_t open_windowed() {
    LgD3DDriverState& d = LgD3DDriver;
    if (failed(d.directDraw->SetCooperativeLevel(d.window, normalLevel)))
        return fail("Failed to set cooperative level");
    DDSURFACEDESC2 primary{};
    primary.dwSize = sizeof(primary);
    primary.dwFlags = DDSD_CAPS;
    primary.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    d.primary = create_surface(primary);
    if (d.primary == nullptr) return fail("Failed to create Primary Surface");
    d.primaryDesc = describe(d.primary);
    if (failed(d.directDraw->CreateClipper(0, &d.clipper, nullptr)))
        return fail("Failed to create Direct Draw clipper");
    d.primary->SetClipper(d.clipper);

    // A throw-away device, only to learn the texture formats: each camera raster gets its own.
    DDSURFACEDESC2 probe{};
    probe.dwSize = sizeof(probe);
    probe.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    probe.dwWidth = probe.dwHeight = probeSide;
    probe.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE |
                           memory_caps(DDSCAPS_VIDEOMEMORY, DDSCAPS_SYSTEMMEMORY);
    IDirectDrawSurface4* surface = create_surface(probe);
    IDirect3DDevice3* device = nullptr;
    IDirect3DViewport3* viewport = nullptr;
    bool ok = surface != nullptr &&
              succeeded(d.direct3D->CreateDevice(*LgD3DChooseDeviceGuid(&subsystem()), surface,
                                                 &device, nullptr));
    const char* ignored = nullptr;
    if (ok) viewport = LgD3DCreateViewport(device, probeSide, probeSide, &ignored);
    ok = ok && viewport != nullptr && LgD3DEnumTextureFormats(device, surface);
    LgD3DReleaseField(viewport);
    LgD3DReleaseField(device);
    LgD3DReleaseField(surface);
    return ok ? 1 : fail(nullptr);
}

} // namespace

IDirect3DViewport3* LgD3DCreateViewport(IDirect3DDevice3* device, uint32_t width, uint32_t height,
                                        const char** failure) {
    IDirect3DViewport3* viewport = nullptr;
    if (failed(LgD3DDriver.direct3D->CreateViewport(&viewport, nullptr))) {
        *failure = "Failed to create viewport";
        return nullptr;
    }
    const char* message = nullptr;
    if (failed(device->AddViewport(viewport)))
        message = "Failed to add viewport";
    else if (!LgD3DSetViewport(viewport, width, height) ||
             failed(device->SetCurrentViewport(viewport)))
        message = "Failed to set the viewport";
    if (message != nullptr) {
        *failure = message;
        viewport->Release();
        return nullptr;
    }
    return viewport;
}

int32_t LgD3DSetViewport(IDirect3DViewport3* viewport, uint32_t width, uint32_t height) {
    const float aspect = width != 0 ? static_cast<float>(height) / static_cast<float>(width) : 1.0f;
    D3DVIEWPORT2 v{};
    v.dwSize = sizeof(v);
    v.dwX = 0;
    v.dwY = 0;
    v.dwWidth = width;
    v.dwHeight = height;
    v.dvClipX = -1.0f;
    v.dvClipY = aspect;
    v.dvClipWidth = 2.0f;
    v.dvClipHeight = 2.0f * aspect;
    v.dvMinZ = 0.0f;
    v.dvMaxZ = 1.0f;
    return succeeded(viewport->SetViewport2(&v)) ? 1 : 0;
}

int32_t LgD3DSetBackgroundMaterial(IDirect3DMaterial3* material, uint8_t red, uint8_t green,
                                   uint8_t blue) {
    D3DMATERIAL m{};
    m.dwSize = sizeof(m);
    m.diffuse = {red / 255.0f, green / 255.0f, blue / 255.0f, 0.0f};
    m.dwRampSize = 1;
    return succeeded(material->SetMaterial(&m)) ? 1 : 0;
}

int32_t LgD3DOpenDevice() {
    LgD3DDriverState& d = LgD3DDriver;
    if (d.started) return 0;
    if (d.currentSubSystem < 0 || d.currentSubSystem >= d.subSystemCount || d.currentMode < 0 ||
        d.currentMode >= d.modeCount)
        return 0;
    d.directDraw = nullptr;
    d.direct3D = nullptr;
    d.primary = nullptr;
    d.clipper = nullptr;
    d.fullScreenTarget = LgD3DRenderTarget{};
    d.cooperativeChanged = d.displayModeChanged = false;
    d.currentTarget = nullptr;
    d.currentCamera = nullptr;
    d.flipPending = false;
    d.lastError[0] = '\0';
    d.noZBuffer = subsystem().noZBuffer;
    d.fullScreen = (mode().flags & LgVideoModeFullScreen) != 0;

    IUnknown* first = nullptr;
    if (failed(DirectDrawCreate(subsystem().guidPointer, &first, nullptr)) || first == nullptr)
        return fail("Failed to create Direct Draw");
    const bool ddOk =
        succeeded(first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&d.directDraw)));
    first->Release();
    if (!ddOk) {
        d.directDraw = nullptr;
        return fail("Failed to create Direct Draw4");
    }
    if (failed(
            d.directDraw->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d.direct3D)))) {
        d.direct3D = nullptr;
        return fail("Failed to create D3D3");
    }
    if (!(d.fullScreen ? open_full_screen() : open_windowed())) return 0;

    LgTexChainReset();
    if (!LgD3DImmediateOpen()) return fail(nullptr);
    if (d.fullScreen) LgD3DSetInitialRenderStates(d.fullScreenTarget.device);
    d.replayOrder = LgDeferredReplayReverse;
    d.started = true;
    return 1;
}

void LgD3DReleaseDevice() {
    LgD3DDriverState& d = LgD3DDriver;
    LgD3DRenderTarget& t = d.fullScreenTarget;
    LgD3DReleaseField(t.material);
    LgD3DReleaseField(t.viewport);
    LgD3DReleaseField(t.device);
    LgD3DReleaseField(t.zBuffer);
    LgD3DReleaseField(t.colour);
    LgD3DReleaseField(d.clipper);
    LgD3DReleaseField(d.primary);
    if (d.directDraw != nullptr) {
        if (d.displayModeChanged) d.directDraw->RestoreDisplayMode();
        if (d.cooperativeChanged) d.directDraw->SetCooperativeLevel(d.window, normalLevel);
    }
    d.displayModeChanged = d.cooperativeChanged = false;
    d.backgroundHandle = 0;
    LgD3DReleaseField(d.direct3D);
    LgD3DReleaseField(d.directDraw);
    d.currentTarget = nullptr;
    d.started = false;
}

int32_t LgD3DSetExclusiveMode(int32_t on) {
    LgD3DDriverState& d = LgD3DDriver;
    if (!d.started) return 0;
    if (!d.fullScreen) return 1;
    if (on == 1 && !d.displayModeChanged) {
        const LgVideoMode& m = mode();
        if (failed(d.directDraw->SetCooperativeLevel(d.window, exclusiveLevel)) ||
            failed(d.directDraw->SetDisplayMode(static_cast<uint32_t>(m.width),
                                                static_cast<uint32_t>(m.height),
                                                static_cast<uint32_t>(m.depth), 0, 0)))
            return 0;
        d.cooperativeChanged = d.displayModeChanged = true;
        d.directDraw->RestoreAllSurfaces();
        LgD3DEvictManagedTextures();
    } else if (on == 0 && d.displayModeChanged) {
        if (failed(d.directDraw->RestoreDisplayMode()) ||
            failed(d.directDraw->SetCooperativeLevel(d.window, normalLevel)))
            return 0;
        d.cooperativeChanged = d.displayModeChanged = false;
    }
    return 1;
}

int32_t LgD3DGetFreeTextureMemory(uint32_t* out) {
    LgD3DDriverState& d = LgD3DDriver;
    if (out == nullptr || d.directDraw == nullptr || d.formats.first == nullptr) return 0;
    IDirectDraw2* dd2 = nullptr;
    if (failed(d.directDraw->QueryInterface(IID_IDirectDraw2, reinterpret_cast<void**>(&dd2))))
        return 0;
    DDSCAPS caps{};
    caps.dwCaps =
        d.formats.first->desc.ddsCaps.dwCaps |
        memory_caps(DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY, DDSCAPS_TEXTURE | DDSCAPS_SYSTEMMEMORY);
    uint32_t total = 0, free = 0;
    const bool ok = succeeded(dd2->GetAvailableVidMem(&caps, &total, &free));
    dd2->Release();
    if (!ok) return 0;
    *out = free;
    return 1;
}
