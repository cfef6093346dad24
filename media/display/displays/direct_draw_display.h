// Win32DirectDrawDisplay and Win32Dx5Display: one display over DirectDraw surfaces, the second
// with the Direct3D flag (a 3D drawing surface with a z-buffer, or a flipping chain, handed to
// the registered Direct3D renderers).
#pragma once

#include "framework/platform/display_interface.h"
#include "framework/platform/os_service.h"
#include "media/display/displays/display_modes.h"
#include "media/display/displays/renderer_registration.h"
#include "media/raster/blitter.h"
#include "media/raster/raster.h"

#include <string>
#include <vector>

class DisplayPalette;

class DirectDrawDisplay final
    : public OmObject<DirectDrawDisplay, IDisplay, IRaster, IOmRendererRegistration> {
public:
    // Lists drivers and modes; the default mode becomes current (not applied).
    OmResult construct(bool direct3d);
    ~DirectDrawDisplay();

    OmResult QueryInterface(const GUID& iid, void** out) override;

    // IDisplay
    uint32_t GetModeCount() override { return uint32_t(modes_.size()); }
    OmResult GetMode(uint32_t index, OmDisplayMode* mode) override;
    OmResult SetMode(const OmDisplayMode* mode) override;
    OmResult GetCurrentMode(OmDisplayMode* mode) override;
    OmResult Present(void* reserved) override;

    // IRaster
    uint32_t GetWidth() override { return mode_.width; }
    uint32_t GetHeight() override { return mode_.height; }
    uint32_t GetFormat() override { return mode_.format; }
    OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) override;
    OmResult Unlock() override;
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override;
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override;
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t flags) override;

    // IOmRendererRegistration
    OmResult RegisterRenderer(IUnknown* renderer) override;
    OmResult UnregisterRenderer(IUnknown* renderer) override;

    struct Driver {
        platform::GUID id;
        bool is_default;
        std::string description; // at most 79 characters
        platform::DDCAPS hal, hel;
    };
    const std::vector<Driver>& drivers() const { return drivers_; }

private:
    struct Mode {
        uint32_t windowed;
        uint32_t width;
        uint32_t height;
        uint32_t format;
    };

    OmResult list_drivers();
    OmResult open_driver();
    OmResult make_surfaces();
    void free_surfaces();
    OmResult attach(IUnknown* renderer);
    void detach(IUnknown* renderer);
    void push_palette();
    platform::GfxWindow window_handle() const;

    platform::ComPtr<platform::dx5::IDirectDraw2> dd_;
    platform::ComPtr<platform::dx5::IDirect3D2> d3d_;
    platform::ComPtr<platform::dx5::IDirectDrawSurface3> primary_, back_, zbuffer_, drawing_;
    platform::ComPtr<platform::IDirectDrawClipper> clipper_;
    platform::ComPtr<platform::IDirectDrawPalette> dd_palette_;
    bool applied_ = false;
    bool fullscreen_applied_ = false;
    Mode mode_{};
    bool direct3d_ = false;
    std::vector<Driver> drivers_;
    std::vector<OmListedMode> modes_;
    std::vector<IUnknown*> renderers_; // not referenced: a renderer unregisters as it goes
    IOmWindow* window_ = nullptr;
    IOmOS* os_ = nullptr;
    DisplayPalette* palette_ = nullptr;
    IBlitter* blitter_ = nullptr;
};

// The 256-entry palette of an 8-bit display, offered as a 256 x 1 raster of colour records;
// unlocking it asks for a push to DirectDraw at the next present.
class DisplayPalette final : public OmObject<DisplayPalette, IRaster> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRaster, this}});
    }
    uint32_t GetWidth() override { return 256; }
    uint32_t GetHeight() override { return 1; }
    uint32_t GetFormat() override { return OM_FORMAT_ARGB8888; }
    OmResult Lock(uint32_t, void** pixels, int32_t* stride) override {
        if (!pixels || !stride) return OM_E_FAIL;
        *pixels = colours;
        *stride = 0;
        return OM_S_OK;
    }
    OmResult Unlock() override {
        refresh = 1;
        return OM_S_OK;
    }
    OmResult FillRect(const OmRect*, const uint32_t*) override { return OM_E_FAIL; }
    OmResult Blit(const OmRect*, IRaster*, const OmRect*) override { return OM_E_FAIL; }
    OmResult SetProperty(uint32_t, intptr_t) override { return OM_E_FAIL; }
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult BlitConvert(const OmRect*, IRaster*, const OmRect*, uint32_t) override {
        return OM_E_FAIL;
    }

    OmColour colours[256];
    uint32_t refresh; // presents that still push the palette
};
