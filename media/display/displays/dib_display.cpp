// Win32DIBDisplay: a bottom-up 16-bit 5-6-5 bitmap in memory, shown in the window (or full
// screen through DirectDraw) at every present.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "media/display/displays/display_classes.h"
#include "media/display/displays/display_modes.h"
#include "media/raster/blitter.h"
#include "media/raster/raster.h"
#include "media/raster/shared_blitter.h"
#include "platform/graphics/pixel_format.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dx5 = platform::dx5;

namespace {

class DIBDisplay final : public OmObject<DIBDisplay, IDisplay, IRaster> {
public:
    OmResult init();
    ~DIBDisplay();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IDisplay, static_cast<IDisplay*>(this)},
                                   {&IID_IRaster, static_cast<IRaster*>(this)}});
    }

    uint32_t GetModeCount() override { return uint32_t(modes_.size()); }
    OmResult GetMode(uint32_t index, OmDisplayMode* mode) override {
        if (!mode || mode->size != OM_DISPLAY_MODE_SIZE || index >= modes_.size()) return OM_E_FAIL;
        mode->width = modes_[index].width;
        mode->height = modes_[index].height;
        mode->format = modes_[index].format;
        mode->windowed = 0;
        return OM_S_OK;
    }
    OmResult SetMode(const OmDisplayMode* mode) override;
    OmResult GetCurrentMode(OmDisplayMode* mode) override {
        if (!mode || !applied_) return OM_E_FAIL;
        *mode = mode_;
        return OM_S_OK;
    }
    OmResult Present(void* reserved) override;

    uint32_t GetWidth() override { return mode_.width; }
    uint32_t GetHeight() override { return mode_.height; }
    uint32_t GetFormat() override { return mode_.format; }
    OmResult Lock(uint32_t, void** pixels, int32_t* stride) override {
        if (!pixels || !stride || !applied_) return OM_E_FAIL;
        const uint32_t pitch = mode_.width * 2;
        *pixels = dib_.data() + size_t(mode_.height - 1) * mode_.width;
        *stride = -int32_t(pitch);
        return OM_S_OK;
    }
    OmResult Unlock() override { return applied_ ? OM_S_OK : OM_E_FAIL; }
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override {
        if (!applied_) return OM_E_FAIL;
        return blitter_->FillRect(this, rect, colour);
    }
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override {
        if (!applied_) return OM_E_FAIL;
        return blitter_->Blit(this, dest_rect, source, source_rect);
    }
    OmResult SetProperty(uint32_t, intptr_t) override { return OM_E_FAIL; }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (!value) return OM_E_FAIL;
        switch (id) {
        case OM_RASTER_KIND: *value = 1; return OM_S_OK;
        case OM_RASTER_WIDTH: *value = mode_.width; return OM_S_OK;
        case OM_RASTER_HEIGHT: *value = mode_.height; return OM_S_OK;
        case OM_RASTER_FORMAT: *value = mode_.format; return OM_S_OK;
        default: return OM_E_FAIL;
        }
    }
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t flags) override {
        if (!applied_) return OM_E_FAIL;
        return blitter_->BlitConvert(this, dest_rect, source, source_rect, flags);
    }

private:
    OmResult apply(const OmDisplayMode& mode);
    void free_mode();
    platform::GfxWindow window_handle() const {
        return static_cast<platform::GfxWindow>(window_->GetHandle());
    }

    IOmWindow* window_ = nullptr;
    IOmOS* os_ = nullptr;
    platform::ComPtr<dx5::IDirectDraw2> dd_;
    OmDisplayMode mode_{};
    bool applied_ = false;
    bool fullscreen_ = false;
    std::vector<OmListedMode> modes_;
    // The bitmap, rows bottom to top; its top-down copy on a surface for showing it.
    std::vector<uint16_t> dib_;
    platform::ComPtr<dx5::IDirectDrawSurface3> primary_, staging_;
    platform::ComPtr<platform::IDirectDrawClipper> clipper_;
    IBlitter* blitter_ = nullptr;
};

OmResult DIBDisplay::init() {
    mode_ = OmDisplayMode{};
    OmResult r = om_acquire_shared_blitter(&blitter_);
    if (r < 0) return r;
    r = OmCreate(CLSID_Win32OS, IID_IOmWindow, &window_);
    if (r < 0) return r;
    r = window_->QueryInterface(IID_IOmOS, reinterpret_cast<void**>(&os_));
    if (r < 0) return r;
    int32_t d = dx5::DirectDrawCreate(nullptr, dd_.put());
    if (platform::failed(d)) return d;
    dd_->SetCooperativeLevel(window_handle(), platform::DDSCL_NORMAL);
    return om_read_display_modes(dd_.get(), &modes_);
}

DIBDisplay::~DIBDisplay() {
    free_mode();
    dd_.reset();
    if (blitter_) om_release_shared_blitter(blitter_);
    if (os_) os_->Release();
    if (window_) window_->Release();
}

OmResult DIBDisplay::SetMode(const OmDisplayMode* mode) {
    OmDisplayMode wanted = mode_;
    if (mode) {
        if (mode->size != OM_DISPLAY_MODE_SIZE) return OM_E_FAIL;
        wanted = *mode;
    } else if (!applied_ && wanted.width == 0) {
        // No mode yet: 640 x 480 in a window (else the first 5-6-5 mode listed).
        wanted = {OM_DISPLAY_MODE_SIZE, 640, 480, OM_FORMAT_RGB565, 1};
    }
    if (wanted.format != OM_FORMAT_RGB565 || wanted.width == 0 || wanted.height == 0 ||
        wanted.width > OM_RASTER_MAX_SIDE || wanted.height > OM_RASTER_MAX_SIDE)
        return OM_E_FAIL;
    const OmDisplayMode previous = mode_;
    const bool had_mode = applied_;
    free_mode();
    OmResult r = apply(wanted);
    if (r < 0) {
        if (had_mode) apply(previous);
        return r;
    }
    return OM_S_OK;
}

OmResult DIBDisplay::apply(const OmDisplayMode& mode) {
    const platform::GfxWindow window = window_handle();
    int32_t r;
    if (!mode.windowed) {
        r = dd_->SetCooperativeLevel(window,
                                     platform::DDSCL_EXCLUSIVE | platform::DDSCL_FULLSCREEN);
        if (platform::succeeded(r)) r = dd_->SetDisplayMode(mode.width, mode.height, 16, 0, 0);
        if (platform::failed(r)) {
            dd_->RestoreDisplayMode();
            dd_->SetCooperativeLevel(window, platform::DDSCL_NORMAL);
            return r;
        }
        fullscreen_ = true;
    } else {
        r = dd_->SetCooperativeLevel(window, platform::DDSCL_NORMAL);
        if (platform::failed(r)) return r;
    }
    platform::DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    d.dwFlags = platform::DDSD_CAPS;
    d.ddsCaps.dwCaps = platform::DDSCAPS_PRIMARYSURFACE;
    r = dd_->CreateSurface(&d, primary_.put());
    if (platform::succeeded(r) && mode.windowed) {
        r = dd_->CreateClipper(0, clipper_.put());
        if (platform::succeeded(r)) r = clipper_->SetHWnd(0, window);
        if (platform::succeeded(r)) r = primary_->SetClipper(clipper_.get());
    }
    if (platform::succeeded(r)) {
        platform::DDSURFACEDESC2 s{};
        s.dwSize = sizeof s;
        s.dwFlags = platform::DDSD_CAPS | platform::DDSD_WIDTH | platform::DDSD_HEIGHT |
                    platform::DDSD_PIXELFORMAT;
        s.ddsCaps.dwCaps = platform::DDSCAPS_SYSTEMMEMORY;
        s.dwWidth = mode.width;
        s.dwHeight = mode.height;
        s.ddpfPixelFormat = platform::format_565();
        r = dd_->CreateSurface(&s, staging_.put());
    }
    if (platform::failed(r)) {
        free_mode();
        return r;
    }
    dib_.assign(size_t(mode.width) * mode.height, 0);
    mode_ = mode;
    applied_ = true;
    window_->SetWindowed(mode.windowed ? 1 : 0);
    window_->SetClientSize(mode.width, mode.height);
    return OM_S_OK;
}

void DIBDisplay::free_mode() {
    dib_.clear();
    dib_.shrink_to_fit();
    if (clipper_) {
        clipper_.reset();
        if (primary_) primary_->SetClipper(nullptr);
    }
    staging_.reset();
    primary_.reset();
    if (fullscreen_) {
        dd_->RestoreDisplayMode();
        dd_->SetCooperativeLevel(window_handle(), platform::DDSCL_NORMAL);
        fullscreen_ = false;
    }
    applied_ = false;
}

OmResult DIBDisplay::Present(void*) {
    if (!applied_) return OM_E_FAIL;
    if (primary_->IsLost() == platform::DDERR_SURFACELOST) primary_->Restore();
    // The bitmap's rows go onto the staging surface top-down, as a device-context copy does.
    platform::DDSURFACEDESC2 desc{};
    desc.dwSize = sizeof desc;
    int32_t r =
        staging_->Lock(nullptr, &desc, platform::DDLOCK_WAIT | platform::DDLOCK_WRITEONLY, nullptr);
    if (platform::failed(r)) return r;
    const size_t row = size_t(mode_.width) * 2;
    for (uint32_t y = 0; y < mode_.height; ++y)
        std::memcpy(static_cast<uint8_t*>(desc.lpSurface) + size_t(y) * desc.lPitch,
                    dib_.data() + size_t(mode_.height - 1 - y) * mode_.width, row);
    staging_->Unlock(nullptr);
    if (!mode_.windowed)
        return primary_->Blt(nullptr, staging_.get(), nullptr, platform::DDBLT_WAIT, nullptr);
    uint32_t cw = 0, ch = 0;
    window_->GetClientSize(&cw, &ch);
    platform::GfxRect source, dest;
    if (!om_windowed_copy_rects(window_handle(), cw, ch, mode_.width, mode_.height, &source, &dest))
        return OM_E_FAIL;
    if (source.right == 0 || source.bottom == 0) return OM_S_OK;
    return primary_->Blt(&dest, staging_.get(), &source, platform::DDBLT_WAIT, nullptr);
}

const OmClassRecord classes[] = {
    {&CLSID_Win32DIBDisplay, nullptr, nullptr, OmCreateComponent<DIBDisplay>, "Win32DIBDisplay"},
};

} // namespace

OM_DEFINE_MODULE(Win32DIBDisplay, classes)
