// Win32DirectDrawDisplay and Win32Dx5Display.
#include "media/display/displays/direct_draw_display.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "media/display/d3d/pixel_format_id.h"
#include "media/display/displays/display_classes.h"
#include "media/raster/shared_blitter.h"
#include "platform/graphics/pixel_format.h"

#include <algorithm>
#include <cstring>

namespace dx5 = platform::dx5;
using platform::dx5::IDirectDrawSurface3;

namespace {

constexpr uint32_t kPcNoCollapse = 4;
constexpr size_t kDriverDescriptionLimit = 79;

struct FoundDriver {
    bool has_guid;
    platform::GUID guid;
    std::string description;
    std::string name;
};

int32_t collect_driver(platform::GUID* guid, char* description, char* name, void* context) {
    auto* list = static_cast<std::vector<FoundDriver>*>(context);
    list->push_back({guid != nullptr, guid ? *guid : platform::GUID{},
                     description ? description : "", name ? name : ""});
    return platform::DDENUMRET_OK;
}

struct DeviceCheck {
    bool suitable = false;
};

int32_t check_device(platform::GUID*, char*, char*, platform::D3DDEVICEDESC* hal,
                     platform::D3DDEVICEDESC*, void* context) {
    auto* check = static_cast<DeviceCheck*>(context);
    if (hal && (hal->dcmColorModel & platform::D3DCOLOR_RGB) &&
        (hal->dpcTriCaps.dwTextureCaps & platform::D3DPTEXTURECAPS_PERSPECTIVE))
        check->suitable = true;
    return platform::D3DENUMRET_OK;
}

platform::DDSURFACEDESC2 surface_desc(uint32_t flags, uint32_t caps) {
    platform::DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = flags;
    d.ddsCaps.dwCaps = caps;
    return d;
}

} // namespace

OmResult DisplayPalette::GetProperty(uint32_t id, intptr_t* value) {
    if (!value) return OM_E_FAIL;
    switch (id) {
    case OM_RASTER_KIND: *value = OM_RASTER_KIND_PALETTE; return OM_S_OK;
    case OM_RASTER_WIDTH: *value = 256; return OM_S_OK;
    case OM_RASTER_HEIGHT: *value = 1; return OM_S_OK;
    case OM_RASTER_FORMAT: *value = OM_FORMAT_ARGB8888; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult DirectDrawDisplay::QueryInterface(const GUID& iid, void** out) {
    return om_query_interface(
        iid, out,
        {{&IID_IDisplay, static_cast<IDisplay*>(this)},
         {&IID_IRaster, static_cast<IRaster*>(this)},
         {&IID_IOmRendererRegistration, static_cast<IOmRendererRegistration*>(this)},
         {&IID_IOmRendererRegistrationOld, static_cast<IOmRendererRegistration*>(this)}});
}

OmResult DirectDrawDisplay::construct(bool direct3d) {
    if (!drivers_.empty() || !modes_.empty()) return OM_E_FAIL;
    direct3d_ = direct3d;
    OmResult r = OmCreate(CLSID_Win32OSWindow, IID_IOmWindow, &window_);
    if (r < 0) return r;
    r = window_->QueryInterface(IID_IOmOS, reinterpret_cast<void**>(&os_));
    if (r < 0) return r;
    r = om_acquire_shared_blitter(&blitter_);
    if (r < 0) return r;
    r = om_new_component(&palette_);
    if (r < 0) return r;
    r = list_drivers();
    if (r < 0) return r;
    r = open_driver();
    if (r < 0) return r;
    // The default mode: 640 x 480 at 16 bits (Direct3D) or 8 bits, else the first listed.
    const uint32_t bits = direct3d_ ? 16 : 8;
    const OmListedMode* pick = &modes_.front();
    for (const OmListedMode& m : modes_) {
        if (m.width == 640 && m.height == 480 && (m.format & 0xFF) == bits) {
            pick = &m;
            break;
        }
    }
    mode_ = {0, pick->width, pick->height, pick->format};
    return OM_S_OK;
}

OmResult DirectDrawDisplay::list_drivers() {
    if (!direct3d_) {
        Driver d{};
        d.is_default = true;
        d.description = "DirectDrawSurface";
        drivers_.push_back(d);
        return OM_S_OK;
    }
    std::vector<FoundDriver> found;
    if (platform::failed(dx5::DirectDrawEnumerateA(collect_driver, &found))) return OM_E_FAIL;
    for (const FoundDriver& f : found) {
        platform::ComPtr<dx5::IDirectDraw2> draw;
        if (platform::failed(dx5::DirectDrawCreate(f.has_guid ? &f.guid : nullptr, draw.put())))
            continue;
        platform::ComPtr<dx5::IDirect3D2> d3d;
        if (platform::failed(
                draw->QueryInterface(dx5::IID_IDirect3D2, reinterpret_cast<void**>(d3d.put()))))
            continue;
        DeviceCheck check;
        d3d->EnumDevices(check_device, &check);
        if (!check.suitable) continue;
        Driver d{};
        d.id = f.guid;
        d.is_default = !f.has_guid;
        d.hal.dwSize = d.hel.dwSize = sizeof(platform::DDCAPS);
        draw->GetCaps(&d.hal, &d.hel);
        d.description = f.description.empty() ? f.name : f.description + " (" + f.name + ")";
        if (d.description.size() > kDriverDescriptionLimit)
            d.description.resize(kDriverDescriptionLimit);
        drivers_.push_back(d);
    }
    return drivers_.empty() ? OM_E_FAIL : OM_S_OK;
}

OmResult DirectDrawDisplay::open_driver() {
    int32_t r = dx5::CreateDirectDraw(dd_.put());
    if (platform::failed(r)) return r;
    const Driver& driver = drivers_.front();
    r = dd_->Initialize(driver.is_default ? nullptr : &driver.id);
    if (platform::failed(r)) return r;
    if (direct3d_ && platform::failed(dd_->QueryInterface(dx5::IID_IDirect3D2,
                                                          reinterpret_cast<void**>(d3d_.put()))))
        return OM_E_FAIL;
    r = om_read_display_modes(dd_.get(), &modes_);
    if (r < 0) return r;
    return modes_.empty() ? OM_E_FAIL : OM_S_OK;
}

DirectDrawDisplay::~DirectDrawDisplay() {
    free_surfaces();
    renderers_.clear();
    if (palette_) palette_->Release();
    if (blitter_) om_release_shared_blitter(blitter_);
    d3d_.reset();
    dd_.reset();
    if (os_) os_->Release();
    if (window_) window_->Release();
}

platform::GfxWindow DirectDrawDisplay::window_handle() const {
    return window_ ? static_cast<platform::GfxWindow>(window_->GetHandle()) : nullptr;
}

OmResult DirectDrawDisplay::GetMode(uint32_t index, OmDisplayMode* mode) {
    if (!mode || mode->size != OM_DISPLAY_MODE_SIZE || index >= modes_.size()) return OM_E_FAIL;
    const OmListedMode& m = modes_[index];
    mode->width = m.width;
    mode->height = m.height;
    mode->format = m.format;
    mode->windowed = 0;
    return OM_S_OK;
}

OmResult DirectDrawDisplay::GetCurrentMode(OmDisplayMode* mode) {
    if (!mode || !applied_) return OM_E_FAIL;
    mode->width = mode_.width;
    mode->height = mode_.height;
    mode->format = mode_.format;
    mode->windowed = mode_.windowed;
    return OM_S_OK;
}

OmResult DirectDrawDisplay::SetMode(const OmDisplayMode* mode) {
    if (mode && mode->size != OM_DISPLAY_MODE_SIZE) return OM_E_FAIL;
    const Mode previous = mode_;
    const bool had_mode = applied_;
    if (mode) mode_ = {mode->windowed ? 1u : 0u, mode->width, mode->height, mode->format};
    free_surfaces();
    window_->SetWindowed(mode_.windowed);
    window_->SetClientSize(mode_.width, mode_.height);
    OmResult r = make_surfaces();
    if (r < 0) {
        // Back to the mode that was showing, when there was one and it still can be made.
        mode_ = previous;
        if (had_mode) {
            window_->SetWindowed(mode_.windowed);
            window_->SetClientSize(mode_.width, mode_.height);
            if (make_surfaces() >= 0) return r;
        }
        window_->SetWindowed(1);
        window_->SetClientSize(0, 0);
        return r;
    }
    platform::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    if (platform::succeeded(drawing_->GetSurfaceDesc(&desc))) {
        const uint32_t format = om_identify_surface_format(desc);
        if (format) mode_.format = format;
    }
    return OM_S_OK;
}

OmResult DirectDrawDisplay::make_surfaces() {
    const platform::GfxWindow window = window_handle();
    const uint32_t bits = mode_.format & 0xFF;
    int32_t r;
    if (!mode_.windowed) {
        r = dd_->SetCooperativeLevel(window, platform::DDSCL_EXCLUSIVE |
                                                 platform::DDSCL_FULLSCREEN |
                                                 platform::DDSCL_ALLOWREBOOT);
        if (platform::succeeded(r)) r = dd_->SetDisplayMode(mode_.width, mode_.height, bits, 0, 0);
        if (platform::failed(r)) {
            dd_->RestoreDisplayMode();
            dd_->SetCooperativeLevel(window, platform::DDSCL_NORMAL);
            return r;
        }
        fullscreen_applied_ = true;
        if (direct3d_) {
            platform::DDSURFACEDESC2 d =
                surface_desc(platform::DDSD_CAPS | platform::DDSD_BACKBUFFERCOUNT, 0x2218);
            d.dwBackBufferCount = 1;
            r = dd_->CreateSurface(&d, primary_.put());
            if (platform::succeeded(r)) {
                platform::DDSCAPS caps{platform::DDSCAPS_BACKBUFFER};
                r = primary_->GetAttachedSurface(&caps, back_.put());
            }
            if (platform::succeeded(r)) drawing_ = back_;
        } else {
            platform::DDSURFACEDESC2 d =
                surface_desc(platform::DDSD_CAPS, platform::DDSCAPS_PRIMARYSURFACE);
            r = dd_->CreateSurface(&d, primary_.put());
            platform::DDSURFACEDESC2 shown{};
            shown.dwSize = sizeof shown;
            if (platform::succeeded(r)) r = dd_->GetDisplayMode(&shown);
            if (platform::succeeded(r)) {
                platform::DDSURFACEDESC2 s =
                    surface_desc(platform::DDSD_CAPS | platform::DDSD_WIDTH |
                                     platform::DDSD_HEIGHT | platform::DDSD_PIXELFORMAT,
                                 platform::DDSCAPS_SYSTEMMEMORY);
                s.dwWidth = mode_.width;
                s.dwHeight = mode_.height;
                s.ddpfPixelFormat = shown.ddpfPixelFormat;
                r = dd_->CreateSurface(&s, drawing_.put());
            }
        }
    } else {
        r = dd_->SetCooperativeLevel(window, platform::DDSCL_NORMAL);
        platform::DDSURFACEDESC2 d =
            surface_desc(platform::DDSD_CAPS, platform::DDSCAPS_PRIMARYSURFACE);
        if (platform::succeeded(r)) r = dd_->CreateSurface(&d, primary_.put());
        if (platform::succeeded(r) && !direct3d_) {
            platform::DDSURFACEDESC2 shown{};
            shown.dwSize = sizeof shown;
            r = dd_->GetDisplayMode(&shown);
            platform::DDSURFACEDESC2 s = surface_desc(0x1007, platform::DDSCAPS_SYSTEMMEMORY);
            s.dwWidth = mode_.width;
            s.dwHeight = mode_.height;
            s.ddpfPixelFormat = shown.ddpfPixelFormat;
            if (platform::succeeded(r)) r = dd_->CreateSurface(&s, drawing_.put());
        } else if (platform::succeeded(r)) {
            platform::DDSURFACEDESC2 s = surface_desc(
                platform::DDSD_CAPS | platform::DDSD_WIDTH | platform::DDSD_HEIGHT, 0x6040);
            s.dwWidth = mode_.width;
            s.dwHeight = mode_.height;
            r = dd_->CreateSurface(&s, drawing_.put());
            if (platform::succeeded(r)) {
                platform::DDSURFACEDESC2 z = surface_desc(0x47, 0x26000);
                z.dwWidth = mode_.width;
                z.dwHeight = mode_.height;
                z.dwMipMapCount = 16; // the z depth
                r = dd_->CreateSurface(&z, zbuffer_.put());
                if (platform::succeeded(r)) r = drawing_->AddAttachedSurface(zbuffer_.get());
            }
        }
        if (platform::succeeded(r)) r = dd_->CreateClipper(0, clipper_.put());
        if (platform::succeeded(r)) r = clipper_->SetHWnd(0, window);
        if (platform::succeeded(r)) r = primary_->SetClipper(clipper_.get());
    }
    if (platform::succeeded(r) && bits <= 8) {
        platform::PALETTEENTRY entries[256] = {};
        for (int i = 10; i <= 245; ++i) entries[i].peFlags = kPcNoCollapse;
        r = dd_->CreatePalette(platform::DDPCAPS_8BIT | platform::DDPCAPS_ALLOW256, entries,
                               dd_palette_.put());
        if (platform::succeeded(r)) {
            // A windowed 8-bit mode on a direct-colour desktop keeps its palette for drawing
            // only; the primary refuses it.
            int32_t attached = primary_->SetPalette(dd_palette_.get());
            if (!mode_.windowed) r = attached;
            if (platform::succeeded(r) && drawing_.get() != primary_.get())
                drawing_->SetPalette(dd_palette_.get());
        }
        if (platform::succeeded(r)) push_palette();
    }
    if (platform::failed(r)) {
        free_surfaces();
        return r;
    }
    applied_ = true;
    for (IUnknown* renderer : renderers_) {
        OmResult a = attach(renderer);
        if (a < 0) {
            free_surfaces();
            return a;
        }
    }
    return OM_S_OK;
}

void DirectDrawDisplay::free_surfaces() {
    if (applied_)
        for (IUnknown* renderer : renderers_) detach(renderer);
    if (clipper_) {
        clipper_.reset();
        if (primary_) primary_->SetClipper(nullptr);
    }
    dd_palette_.reset();
    zbuffer_.reset();
    drawing_.reset();
    back_.reset();
    primary_.reset();
    if (fullscreen_applied_ && dd_) {
        dd_->RestoreDisplayMode();
        dd_->SetCooperativeLevel(window_handle(), platform::DDSCL_NORMAL);
        fullscreen_applied_ = false;
    }
    applied_ = false;
}

void DirectDrawDisplay::push_palette() {
    if (!dd_palette_) return;
    platform::PALETTEENTRY entries[256];
    for (int i = 0; i < 256; ++i) {
        const OmColour& c = palette_->colours[i];
        entries[i] = {c.red, c.green, c.blue, uint8_t(kPcNoCollapse)};
        if (mode_.windowed && c.alpha <= 128) entries[i].peFlags = 0;
    }
    dd_palette_->SetEntries(0, 0, 256, entries);
}

OmResult DirectDrawDisplay::attach(IUnknown* renderer) {
    ComRef<IDx5RendererDevice> device;
    OmResult r = renderer->QueryInterface(IID_IDx5RendererDevice, device.put_void());
    if (r < 0) return r;
    IDirectDrawSurface3* surface = nullptr;
    r = drawing_->QueryInterface(dx5::IID_IDirectDrawSurface3, reinterpret_cast<void**>(&surface));
    if (platform::failed(r)) return r;
    device->SetProperty(OM_DX5_PROPERTY_DIRECTDRAW, dd_.get());
    device->SetProperty(OM_DX5_PROPERTY_RENDER_TARGET, surface);
    surface->Release();
    return device->CreateDevice();
}

void DirectDrawDisplay::detach(IUnknown* renderer) {
    ComRef<IDx5RendererDevice> device;
    if (renderer->QueryInterface(IID_IDx5RendererDevice, device.put_void()) < 0) return;
    device->ReleaseDevice();
}

OmResult DirectDrawDisplay::Present(void*) {
    if (!applied_) return OM_E_FAIL;
    const uint32_t windowed = window_->IsWindowed() ? 1 : 0;
    if (windowed != mode_.windowed) {
        const uint32_t old = mode_.windowed;
        free_surfaces();
        mode_.windowed = windowed;
        OmResult r = make_surfaces();
        if (r < 0) {
            mode_.windowed = old;
            return make_surfaces();
        }
        return OM_S_OK;
    }
    if (palette_->refresh > 0) {
        --palette_->refresh;
        push_palette();
    }
    if (mode_.windowed) {
        uint32_t cw = 0, ch = 0;
        window_->GetClientSize(&cw, &ch);
        platform::GfxRect source, dest;
        if (!om_windowed_copy_rects(window_handle(), cw, ch, mode_.width, mode_.height, &source,
                                    &dest))
            return OM_E_FAIL;
        if (primary_->IsLost() == platform::DDERR_SURFACELOST) primary_->Restore();
        if (drawing_->IsLost() == platform::DDERR_SURFACELOST) drawing_->Restore();
        clipper_->SetHWnd(0, window_handle());
        if (source.right == 0 || source.bottom == 0) return OM_S_OK;
        return primary_->Blt(&dest, drawing_.get(), &source, platform::DDBLT_WAIT, nullptr);
    }
    if (primary_->IsLost() == platform::DDERR_SURFACELOST) primary_->Restore();
    if (direct3d_) return primary_->Flip(nullptr, platform::DDFLIP_WAIT);
    if (drawing_->IsLost() == platform::DDERR_SURFACELOST) drawing_->Restore();
    return primary_->Blt(nullptr, drawing_.get(), nullptr, platform::DDBLT_WAIT, nullptr);
}

OmResult DirectDrawDisplay::Lock(uint32_t mode, void** pixels, int32_t* stride) {
    if (!pixels || !stride || !applied_) return OM_E_FAIL;
    platform::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    int32_t r = drawing_->Lock(nullptr, &desc, om_surface_lock_flags(mode), nullptr);
    if (platform::failed(r)) return r;
    *pixels = desc.lpSurface;
    *stride = desc.lPitch;
    return OM_S_OK;
}

OmResult DirectDrawDisplay::Unlock() {
    if (!applied_) return OM_E_FAIL;
    return drawing_->Unlock(nullptr);
}

OmResult DirectDrawDisplay::FillRect(const OmRect* rect, const uint32_t* colour) {
    if (!applied_ || !colour) return OM_E_FAIL;
    uint32_t value = 0;
    OmResult r = om_convert_colour(mode_.format, om_colour_of(*colour), &value);
    if (r < 0) return r;
    platform::GfxRect area{0, 0, int32_t(mode_.width), int32_t(mode_.height)};
    if (rect) area = {rect->x, rect->y, rect->x + rect->width, rect->y + rect->height};
    platform::DDBLTFX fx{};
    fx.dwSize = sizeof fx;
    fx.dwFillColor = value;
    return drawing_->Blt(&area, nullptr, nullptr, platform::DDBLT_COLORFILL | platform::DDBLT_WAIT,
                         &fx);
}

OmResult DirectDrawDisplay::Blit(const OmRect* dest_rect, IRaster* source,
                                 const OmRect* source_rect) {
    if (!applied_) return OM_E_FAIL;
    return blitter_->Blit(this, dest_rect, source, source_rect);
}

OmResult DirectDrawDisplay::BlitConvert(const OmRect* dest_rect, IRaster* source,
                                        const OmRect* source_rect, uint32_t flags) {
    if (!applied_) return OM_E_FAIL;
    return blitter_->BlitConvert(this, dest_rect, source, source_rect, flags);
}

OmResult DirectDrawDisplay::SetProperty(uint32_t id, intptr_t value) {
    if (id != OM_RASTER_PALETTE || reinterpret_cast<IRaster*>(value) != palette_) return OM_E_FAIL;
    push_palette();
    return OM_S_OK;
}

OmResult DirectDrawDisplay::GetProperty(uint32_t id, intptr_t* value) {
    if (!value) return OM_E_FAIL;
    switch (id) {
    case OM_RASTER_KIND: *value = 4; return OM_S_OK;
    case OM_RASTER_WIDTH: *value = mode_.width; return OM_S_OK;
    case OM_RASTER_HEIGHT: *value = mode_.height; return OM_S_OK;
    case OM_RASTER_FORMAT: *value = mode_.format; return OM_S_OK;
    case OM_RASTER_PALETTE:
        if (!dd_palette_) return OM_E_FAIL;
        *value = reinterpret_cast<intptr_t>(static_cast<IRaster*>(palette_));
        return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

OmResult DirectDrawDisplay::RegisterRenderer(IUnknown* renderer) {
    if (!renderer) return OM_E_FAIL;
    if (std::find(renderers_.begin(), renderers_.end(), renderer) != renderers_.end())
        return OM_S_OK;
    renderers_.push_back(renderer);
    if (!applied_) return OM_S_OK;
    OmResult r = attach(renderer);
    if (r < 0) renderers_.pop_back();
    return r;
}

OmResult DirectDrawDisplay::UnregisterRenderer(IUnknown* renderer) {
    auto it = std::find(renderers_.begin(), renderers_.end(), renderer);
    if (it == renderers_.end()) return OM_E_FAIL;
    if (applied_) detach(renderer);
    renderers_.erase(it);
    return OM_S_OK;
}

namespace {

template <bool Direct3D>
OmResult create_display(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    DirectDrawDisplay* display;
    OmResult r = om_new_component(&display);
    if (r < 0) return r;
    r = display->construct(Direct3D);
    if (r < 0) {
        display->Release();
        return r;
    }
    *out = display->identity();
    return OM_S_OK;
}

const OmClassRecord direct_draw_classes[] = {
    {&CLSID_Win32DirectDrawDisplay, nullptr, nullptr, create_display<false>,
     "Win32DirectDrawDisplay"},
};
const OmClassRecord dx5_classes[] = {
    {&CLSID_Win32Dx5Display, nullptr, nullptr, create_display<true>, "Win32Dx5Display"},
};

} // namespace

OM_DEFINE_MODULE(Win32DirectDrawDisplay, direct_draw_classes)
OM_DEFINE_MODULE(Win32Dx5Display, dx5_classes)
