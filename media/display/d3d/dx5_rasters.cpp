// The Direct3D renderer's rasters: the render-target viewport, the texture (device texture and
// optional system-memory copy, mip levels filled from any raster) and the raster over one
// DirectDraw surface that the texture's blit converts into.
#include "framework/core/com_ref.h"
#include "media/display/d3d/dx5_renderer.h"
#include "media/display/d3d/pixel_format_id.h"
#include "media/display/displays/display_modes.h"

#include <cstring>

namespace dx5 = platform::dx5;
using dx5::IDirectDrawSurface3;

namespace {

constexpr OmResult kNoInterface = int32_t(0x80004002u);

platform::DDSURFACEDESC2 empty_desc() {
    platform::DDSURFACEDESC2 d{};
    d.dwSize = sizeof d;
    return d;
}

// Turns a description into one of a system-memory surface.
void make_system_memory(platform::DDSURFACEDESC2& d) {
    d.dwFlags |= platform::DDSD_CAPS | platform::DDSD_WIDTH | platform::DDSD_HEIGHT;
    d.ddsCaps.dwCaps &= ~(platform::DDSCAPS_VIDEOMEMORY | platform::DDSCAPS_LOCALVIDMEM |
                          platform::DDSCAPS_NONLOCALVIDMEM);
    d.ddsCaps.dwCaps |= platform::DDSCAPS_SYSTEMMEMORY;
}

// The operations of the texture and surface rasters on their drawing surface.
OmResult surface_lock(IDirectDrawSurface3* surface, uint32_t mode, void** pixels, int32_t* stride) {
    if (!surface || !pixels || !stride) return OM_E_FAIL;
    platform::DDSURFACEDESC2 d = empty_desc();
    int32_t r = surface->Lock(nullptr, &d, om_surface_lock_flags(mode), nullptr);
    if (platform::failed(r)) return r;
    *pixels = d.lpSurface;
    *stride = d.lPitch;
    return OM_S_OK;
}

OmResult surface_blit(IDirectDrawSurface3* surface, const OmRect* dest_rect, IRaster* source,
                      const OmRect* source_rect) {
    if (!surface || !source) return OM_E_FAIL;
    ComRef<IDx5Surface> from;
    OmResult r = source->QueryInterface(IID_IDx5Surface, from.put_void());
    if (r < 0) return r;
    const auto rect = [](const OmRect* in, platform::GfxRect* out) {
        if (!in) return static_cast<platform::GfxRect*>(nullptr);
        *out = {in->x, in->y, in->x + in->width, in->y + in->height};
        return out;
    };
    platform::GfxRect d, s;
    return surface->Blt(rect(dest_rect, &d), from->Surface(), rect(source_rect, &s),
                        platform::DDBLT_WAIT, nullptr);
}

OmResult surface_fill(IDirectDrawSurface3* surface, uint32_t format, uint32_t width,
                      uint32_t height, const OmRect* rect, const uint32_t* colour) {
    if (!surface || !colour) return OM_E_FAIL;
    uint32_t value = 0;
    OmResult r = om_convert_colour(format, om_colour_of(*colour), &value);
    if (r < 0) return r;
    platform::GfxRect area{0, 0, int32_t(width), int32_t(height)};
    if (rect) area = {rect->x, rect->y, rect->x + rect->width, rect->y + rect->height};
    platform::DDBLTFX fx{};
    fx.dwSize = 100;
    fx.dwFillColor = value;
    return surface->Blt(&area, nullptr, nullptr, platform::DDBLT_COLORFILL | platform::DDBLT_WAIT,
                        &fx);
}

OmResult surface_restore(IDirectDrawSurface3* surface) {
    if (surface && surface->IsLost() == platform::DDERR_SURFACELOST) return surface->Restore();
    return OM_S_OK;
}

// QueryInterface of the renderer's rasters: unknown ids give 0x80004002 and a null pointer.
OmResult raster_query(const GUID& iid, void** out, IRaster* raster, IDx5Surface* surface) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown || iid == IID_IRaster)
        found = raster;
    else if (surface && iid == IID_IDx5Surface)
        found = surface;
    if (!found) return kNoInterface;
    found->AddRef();
    *out = found;
    return OM_S_OK;
}

} // namespace

void Dx5RasterBase::link() {
    if (linked || !owner_) return;
    Dx5RasterBase*& head = owner_->listeners();
    next = head;
    previous = nullptr;
    if (head) head->previous = this;
    head = this;
    linked = true;
}

void Dx5RasterBase::unlink() {
    if (!linked) return;
    if (previous)
        previous->next = next;
    else
        owner_->listeners() = next;
    if (next) next->previous = previous;
    next = previous = nullptr;
    linked = false;
}

OmResult Dx5RasterBase::event(uint32_t id) {
    switch (id) {
    case OM_DX5_EVENT_RESTORE: return RestoreSurface();
    case OM_DX5_EVENT_RELEASE: return ReleaseDeviceObjects();
    case OM_DX5_EVENT_CREATE: return CreateDeviceObjects();
    default: return OM_E_FAIL;
    }
}

OmResult Dx5RasterBase::common_property(uint32_t id, intptr_t* value) {
    if (!value) return OM_E_FAIL;
    switch (id) {
    case OM_RASTER_KIND: *value = kind_; return OM_S_OK;
    case OM_RASTER_WIDTH: *value = GetWidth(); return OM_S_OK;
    case OM_RASTER_HEIGHT: *value = GetHeight(); return OM_S_OK;
    case OM_RASTER_FORMAT: *value = format_; return OM_S_OK;
    case OM_RASTER_FLAG5: *value = flag5_; return OM_S_OK;
    default: return OM_E_FAIL;
    }
}

namespace {

// Holds the owning renderer for the raster's lifetime.
void take_owner(Dx5Renderer*& field, Dx5Renderer* renderer) {
    if (field == renderer) return;
    static_cast<IRenderer*>(renderer)->AddRef();
    if (field) static_cast<IRenderer*>(field)->Release();
    field = renderer;
}

void drop_owner(Dx5Renderer* renderer) {
    if (renderer) static_cast<IRenderer*>(renderer)->Release();
}

class ViewportRaster final : public OmObject<ViewportRaster, Dx5RasterBase> {
public:
    ~ViewportRaster() {
        if (owner_ && owner_->GetTarget() == static_cast<IRaster*>(this))
            owner_->set_target(nullptr);
        ReleaseDeviceObjects();
        unlink();
        drop_owner(owner_);
    }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return raster_query(iid, out, this, nullptr);
    }
    uint32_t GetWidth() override { return viewport_.dwWidth; }
    uint32_t GetHeight() override { return viewport_.dwHeight; }
    uint32_t GetFormat() override { return format_; }
    OmResult Lock(uint32_t, void**, int32_t*) override { return OM_E_FAIL; }
    OmResult Unlock() override { return OM_S_OK; }
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override;
    OmResult Blit(const OmRect*, IRaster*, const OmRect*) override { return OM_E_FAIL; }
    OmResult SetProperty(uint32_t id, intptr_t) override { return event(id); }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return common_property(id, value);
    }
    OmResult BlitConvert(const OmRect*, IRaster*, const OmRect*, uint32_t) override {
        return OM_E_FAIL;
    }

    OmResult ReleaseDeviceObjects() override {
        material_.reset();
        if (d3d_viewport_ && owner_ && owner_->device())
            owner_->device()->DeleteViewport(d3d_viewport_.get());
        d3d_viewport_.reset();
        material_handle_ = 0;
        return OM_S_OK;
    }
    OmResult CreateDeviceObjects() override;
    OmResult RestoreSurface() override { return OM_S_OK; }
    OmResult SetUp(const Dx5Description& d) override;
    OmResult MakeCurrent() override {
        if (!d3d_viewport_ || !owner_->device()) return OM_E_FAIL;
        int32_t r = owner_->device()->SetCurrentViewport(d3d_viewport_.get());
        if (platform::failed(r)) return r;
        owner_->set_target(this);
        return OM_S_OK;
    }

private:
    platform::ComPtr<dx5::IDirect3DViewport2> d3d_viewport_;
    platform::D3DVIEWPORT2 viewport_{44, 0, 0, 640, 480, -1.0f, 0.75f, 2.0f, 1.5f, 0.0f, 1.0f};
    platform::ComPtr<dx5::IDirect3DMaterial2> material_;
    platform::D3DMATERIALHANDLE material_handle_ = 0;
    OmColour background_{};
    uint32_t follows_display_ = 0;
};

platform::D3DMATERIAL background_material(float red, float green, float blue) {
    platform::D3DMATERIAL m{};
    m.dwSize = sizeof m;
    m.diffuse = {red, green, blue, 1.0f};
    m.dwRampSize = 1;
    return m;
}

OmResult ViewportRaster::SetUp(const Dx5Description& d) {
    take_owner(owner_, d.renderer);
    format_ = d.format;
    kind_ = d.kind;
    flag5_ = d.flag5;
    if (d.width != 0 && d.height != 0) {
        viewport_.dwWidth = d.width;
        viewport_.dwHeight = d.height;
        follows_display_ = 0;
    } else {
        follows_display_ = 1;
    }
    viewport_.dvClipHeight = 2.0f * float(viewport_.dwHeight) / float(viewport_.dwWidth);
    viewport_.dvClipY = viewport_.dvClipHeight * 0.5f;
    OmResult r = CreateDeviceObjects();
    if (r < 0) return r;
    link();
    return OM_S_OK;
}

OmResult ViewportRaster::CreateDeviceObjects() {
    if (d3d_viewport_) return OM_S_OK;
    dx5::IDirect3D2* d3d = owner_->direct3d();
    dx5::IDirect3DDevice2* device = owner_->device();
    if (!d3d || !device) return OM_E_FAIL;
    int32_t r = d3d->CreateViewport(d3d_viewport_.put(), nullptr);
    if (platform::succeeded(r)) r = device->AddViewport(d3d_viewport_.get());
    if (platform::failed(r)) {
        d3d_viewport_.reset();
        return r;
    }
    if (follows_display_ && owner_->GetDisplay()) {
        viewport_.dwWidth = owner_->GetDisplay()->GetWidth();
        viewport_.dwHeight = owner_->GetDisplay()->GetHeight();
    }
    r = d3d_viewport_->SetViewport2(&viewport_);
    if (platform::succeeded(r)) r = d3d->CreateMaterial(material_.put(), nullptr);
    if (platform::succeeded(r)) r = material_->GetHandle(device, &material_handle_);
    if (platform::succeeded(r)) {
        platform::D3DMATERIAL m = background_material(1.0f, 0.0f, 0.0f);
        r = material_->SetMaterial(&m);
    }
    if (platform::succeeded(r)) {
        background_ = {0, 0, 255, 255};
        r = d3d_viewport_->SetBackground(material_handle_);
    }
    if (platform::failed(r)) {
        ReleaseDeviceObjects();
        return r;
    }
    return OM_S_OK;
}

OmResult ViewportRaster::FillRect(const OmRect* rect, const uint32_t* colour) {
    if (!d3d_viewport_ || !colour) return OM_E_FAIL;
    platform::D3DRECT area{0, 0, int32_t(viewport_.dwWidth), int32_t(viewport_.dwHeight)};
    if (rect) area = {rect->x, rect->y, rect->x + rect->width, rect->y + rect->height};
    const OmColour c = om_colour_of(*colour);
    if (std::memcmp(&c, &background_, sizeof c) != 0) {
        platform::D3DMATERIAL m =
            background_material(c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f);
        material_->SetMaterial(&m);
        background_ = c;
    }
    return d3d_viewport_->Clear(1, &area, platform::D3DCLEAR_TARGET | platform::D3DCLEAR_ZBUFFER);
}

// The raster over one DirectDraw surface (a texture's level while the texture blit fills it).
class SurfaceRaster final : public OmObject<SurfaceRaster, Dx5RasterBase, IDx5Surface> {
public:
    ~SurfaceRaster() {
        surface_.reset();
        unlink();
        drop_owner(owner_);
    }
    OmResult attach(Dx5Renderer* renderer, IDirectDrawSurface3* surface) {
        platform::DDSURFACEDESC2 d = empty_desc();
        int32_t r = surface->GetSurfaceDesc(&d);
        if (platform::failed(r)) return r;
        desc_ = d;
        take_owner(owner_, renderer);
        surface->AddRef();
        surface_.reset(surface);
        format_ = om_identify_surface_format(desc_);
        link();
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return raster_query(iid, out, this, this);
    }
    uint32_t GetWidth() override { return desc_.dwWidth; }
    uint32_t GetHeight() override { return desc_.dwHeight; }
    uint32_t GetFormat() override { return format_; }
    OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) override {
        return surface_lock(surface_.get(), mode, pixels, stride);
    }
    OmResult Unlock() override { return surface_ ? surface_->Unlock(nullptr) : OM_E_FAIL; }
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override {
        return surface_fill(surface_.get(), format_, desc_.dwWidth, desc_.dwHeight, rect, colour);
    }
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override {
        return surface_blit(surface_.get(), dest_rect, source, source_rect);
    }
    OmResult SetProperty(uint32_t id, intptr_t) override { return event(id); }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return common_property(id, value);
    }
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t) override {
        return Blit(dest_rect, source, source_rect);
    }
    OmResult ReleaseDeviceObjects() override {
        surface_.reset();
        return OM_S_OK;
    }
    OmResult CreateDeviceObjects() override {
        if (surface_) return OM_S_OK;
        return owner_->create_surface(&desc_, surface_.put());
    }
    OmResult RestoreSurface() override { return surface_restore(surface_.get()); }
    OmResult SetUp(const Dx5Description&) override {
        link();
        return OM_S_OK;
    }
    OmResult MakeCurrent() override { return OM_E_FAIL; }

    IDirectDrawSurface3* Surface() override { return surface_.get(); }
    uint32_t TextureHandle() override { return 0; }

private:
    platform::ComPtr<IDirectDrawSurface3> surface_;
    platform::DDSURFACEDESC2 desc_{};
};

class TextureRaster final : public OmObject<TextureRaster, Dx5RasterBase, IDx5Surface> {
public:
    ~TextureRaster() {
        if (owner_) {
            uintptr_t current = 0;
            if (owner_->GetRenderState(OM_RS_TEXTURE, &current) >= 0 &&
                current == reinterpret_cast<uintptr_t>(static_cast<IRaster*>(this)))
                owner_->SetRenderState(OM_RS_TEXTURE, 0);
        }
        copy_.reset();
        texture_.reset();
        unlink();
        drop_owner(owner_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return raster_query(iid, out, this, this);
    }
    uint32_t GetWidth() override { return desc_.dwWidth; }
    uint32_t GetHeight() override { return desc_.dwHeight; }
    uint32_t GetFormat() override { return format_; }
    OmResult Lock(uint32_t mode, void** pixels, int32_t* stride) override {
        return surface_lock(drawing_, mode, pixels, stride);
    }
    OmResult Unlock() override {
        if (!drawing_) return OM_E_FAIL;
        int32_t r = drawing_->Unlock(nullptr);
        if (copy_ && texture_) return load_copy();
        return r;
    }
    OmResult FillRect(const OmRect* rect, const uint32_t* colour) override {
        OmResult r = surface_fill(drawing_, format_, desc_.dwWidth, desc_.dwHeight, rect, colour);
        if (r >= 0 && copy_ && texture_) return load_copy();
        return r;
    }
    OmResult Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) override;
    OmResult SetProperty(uint32_t id, intptr_t value) override;
    OmResult GetProperty(uint32_t id, intptr_t* value) override;
    OmResult BlitConvert(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect,
                         uint32_t) override {
        return Blit(dest_rect, source, source_rect);
    }

    OmResult ReleaseDeviceObjects() override {
        if (texture_) {
            desc_ = empty_desc();
            texture_->GetSurfaceDesc(&desc_);
            texture_.reset();
        }
        handle_ = 0;
        drawing_ = copy_.get();
        return OM_S_OK;
    }
    OmResult CreateDeviceObjects() override;
    OmResult RestoreSurface() override { return surface_restore(drawing_); }
    OmResult SetUp(const Dx5Description& d) override;
    OmResult MakeCurrent() override { return OM_E_FAIL; }

    IDirectDrawSurface3* Surface() override { return drawing_; }
    uint32_t TextureHandle() override { return handle_; }

private:
    OmResult load_copy();
    OmResult make_copy();
    OmResult fetch_handle();

    IDirectDrawSurface3* drawing_ = nullptr; // the copy when there is one, else the texture
    platform::DDSURFACEDESC2 desc_{};
    uint32_t handle_ = 0;
    uint32_t system_memory_only_ = 0;
    platform::ComPtr<IDirectDrawSurface3> copy_;
    platform::ComPtr<IDirectDrawSurface3> texture_;
};

OmResult TextureRaster::SetUp(const Dx5Description& d) {
    take_owner(owner_, d.renderer);
    link();
    format_ = d.format;
    kind_ = d.kind;
    flag5_ = d.flag5;
    const Dx5Renderer::TextureFormat* record = nullptr;
    for (const auto& f : owner_->texture_formats())
        if (f.code == format_) record = &f;
    if (!record) return OM_E_FAIL;
    desc_ = empty_desc();
    desc_.dwFlags = 0x1007;
    desc_.ddpfPixelFormat = record->pixel_format;
    desc_.dwWidth = d.width;
    desc_.dwHeight = d.height;
    desc_.ddsCaps.dwCaps = platform::DDSCAPS_TEXTURE | platform::DDSCAPS_VIDEOMEMORY;
    if (d.mip_levels > 1) {
        desc_.dwFlags = 0x21007;
        desc_.ddsCaps.dwCaps = 0x405008;
        desc_.dwMipMapCount = d.mip_levels;
    }
    system_memory_only_ = d.system_memory_only;
    OmResult r = CreateDeviceObjects();
    if (r < 0) return r;
    drawing_ = system_memory_only_ ? copy_.get() : texture_.get();
    if (d.keep_copy == 1) return SetProperty(OM_DX5_TEXTURE_COPY, 1);
    return OM_S_OK;
}

OmResult TextureRaster::fetch_handle() {
    platform::ComPtr<dx5::IDirect3DTexture2> texture;
    int32_t r = texture_->QueryInterface(dx5::IID_IDirect3DTexture2,
                                         reinterpret_cast<void**>(texture.put()));
    if (platform::failed(r)) return r;
    return texture->GetHandle(owner_->device(), &handle_);
}

OmResult TextureRaster::CreateDeviceObjects() {
    if (system_memory_only_) {
        if (!copy_) {
            platform::DDSURFACEDESC2 d = desc_;
            make_system_memory(d);
            OmResult r = owner_->create_surface(&d, copy_.put());
            if (r < 0) return r;
        }
        drawing_ = copy_.get();
        return OM_S_OK;
    }
    if (!owner_->device()) return OM_E_FAIL;
    if (!texture_) {
        OmResult r = owner_->create_surface(&desc_, texture_.put());
        if (r < 0) return r;
        if (!(desc_.ddpfPixelFormat.dwFlags & platform::DDPF_ALPHAPIXELS)) {
            platform::DDCOLORKEY key{0, 0};
            texture_->SetColorKey(platform::DDCKEY_SRCBLT, &key);
        }
    } else {
        surface_restore(texture_.get());
    }
    if (copy_) {
        const bool locked = platform::succeeded(copy_->PageLock(0));
        texture_->Blt(nullptr, copy_.get(), nullptr, platform::DDBLT_WAIT, nullptr);
        if (locked) copy_->PageUnlock(0);
    }
    int32_t r = fetch_handle();
    if (platform::failed(r)) return r;
    desc_ = empty_desc();
    texture_->GetSurfaceDesc(&desc_);
    drawing_ = copy_ ? copy_.get() : texture_.get();
    return OM_S_OK;
}

OmResult TextureRaster::load_copy() {
    if (!copy_ || !texture_) return OM_E_FAIL;
    copy_->PageLock(0);
    int32_t r = texture_->Blt(nullptr, copy_.get(), nullptr, platform::DDBLT_WAIT, nullptr);
    copy_->PageUnlock(0);
    return r;
}

OmResult TextureRaster::make_copy() {
    if (copy_) return OM_S_OK;
    if (!texture_) return OM_E_FAIL;
    platform::DDSURFACEDESC2 d = empty_desc();
    int32_t r = texture_->GetSurfaceDesc(&d);
    if (platform::failed(r)) return r;
    make_system_memory(d);
    OmResult made = owner_->create_surface(&d, copy_.put());
    if (made < 0) return made;
    drawing_ = copy_.get();
    desc_ = d;
    return OM_S_OK;
}

OmResult TextureRaster::SetProperty(uint32_t id, intptr_t value) {
    switch (id) {
    case OM_DX5_TEXTURE_COPY:
        if (value) return make_copy();
        if (copy_) {
            copy_.reset();
            drawing_ = texture_.get();
            if (texture_) {
                desc_ = empty_desc();
                texture_->GetSurfaceDesc(&desc_);
            }
        }
        return OM_S_OK;
    case OM_DX5_TEXTURE_LOAD: return load_copy();
    case OM_DX5_TEXTURE_BUDGET: {
        if (!copy_) return OM_E_FAIL;
        const auto* budget = reinterpret_cast<const uint32_t*>(value);
        if (!budget) {
            texture_.reset();
            handle_ = 0;
            drawing_ = copy_.get();
            return OM_S_OK;
        }
        platform::DDSURFACEDESC2 d = empty_desc();
        int32_t r = copy_->GetSurfaceDesc(&d);
        if (platform::failed(r)) return r;
        desc_ = d;
        d.ddsCaps.dwCaps =
            (d.ddsCaps.dwCaps & ~platform::DDSCAPS_SYSTEMMEMORY) | platform::DDSCAPS_VIDEOMEMORY;
        const uint64_t bits = d.ddpfPixelFormat.dwRGBBitCount;
        while (d.dwWidth > 8 && d.dwHeight > 8 &&
               uint64_t(d.dwWidth) * d.dwHeight * bits / 8 > *budget) {
            d.dwWidth /= 2;
            d.dwHeight /= 2;
        }
        if (d.dwFlags & platform::DDSD_MIPMAPCOUNT) {
            // Fewer levels fit a smaller texture.
            uint32_t levels = 1;
            for (uint32_t s = std::min(d.dwWidth, d.dwHeight); s > 1; s /= 2) ++levels;
            d.dwMipMapCount = std::min(d.dwMipMapCount, levels);
        }
        if (texture_) return OM_E_FAIL;
        if (!owner_->device()) return OM_E_FAIL;
        d.dwFlags &= ~platform::DDSD_PITCH;
        OmResult made = owner_->create_surface(&d, texture_.put());
        if (made < 0) return made;
        if (!(d.ddpfPixelFormat.dwFlags & platform::DDPF_ALPHAPIXELS)) {
            platform::DDCOLORKEY key{0, 0};
            texture_->SetColorKey(platform::DDCKEY_SRCBLT, &key);
        }
        copy_->PageLock(0);
        texture_->Blt(nullptr, copy_.get(), nullptr, platform::DDBLT_WAIT, nullptr);
        copy_->PageUnlock(0);
        drawing_ = copy_.get();
        return fetch_handle();
    }
    default: return event(uint32_t(id));
    }
}

OmResult TextureRaster::GetProperty(uint32_t id, intptr_t* value) {
    if (!value) return OM_E_FAIL;
    switch (id) {
    case OM_DX5_TEXTURE_COPY: *value = copy_ ? 1 : 0; return OM_S_OK;
    case OM_RASTER_SYSTEM_MEMORY: *value = system_memory_only_; return OM_S_OK;
    case OM_DX5_TEXTURE_BUDGET: {
        if (!copy_) return OM_E_FAIL;
        platform::DDSURFACEDESC2 d = empty_desc();
        int32_t r = copy_->GetSurfaceDesc(&d);
        if (platform::failed(r)) return r;
        if (texture_) {
            platform::DDSURFACEDESC2 t = empty_desc();
            r = texture_->GetSurfaceDesc(&t);
            if (platform::failed(r)) return r;
            *value = 0;
            return OM_S_OK;
        }
        *value = intptr_t(uint64_t(d.dwWidth) * d.dwHeight * d.ddpfPixelFormat.dwRGBBitCount / 8);
        return OM_S_OK;
    }
    default: return common_property(id, value);
    }
}

// A 0xC0120 memory raster of the given size from the image-processing object's description.
OmResult make_argb_raster(IImageProc* proc, uint32_t width, uint32_t height, IRaster** out) {
    ComRef<IRasterCreate> description;
    OmResult r = proc->CreateRasterDescription(nullptr, IID_IRasterCreate, description.put_void());
    if (r < 0) return r;
    description->SetProperty(OM_RASTER_WIDTH, width);
    description->SetProperty(OM_RASTER_HEIGHT, height);
    description->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_ARGB8888);
    return description->CreateRaster(out);
}

OmResult TextureRaster::Blit(const OmRect* dest_rect, IRaster* source, const OmRect* source_rect) {
    if (!source) return OM_E_FAIL;
    {
        ComRef<IDx5Surface> probe;
        if (source->QueryInterface(IID_IDx5Surface, probe.put_void()) >= 0) {
            probe.reset();
            OmResult r = surface_blit(drawing_, dest_rect, source, source_rect);
            if (r >= 0 && copy_ && texture_) return load_copy();
            return r;
        }
    }
    if (dest_rect || source_rect || source->GetWidth() != desc_.dwWidth ||
        source->GetHeight() != desc_.dwHeight || !drawing_)
        return OM_E_FAIL;
    IImageProc* proc = owner_->image_proc();
    ComRef<IRaster> level_source;
    const uint32_t mip_count =
        (desc_.dwFlags & platform::DDSD_MIPMAPCOUNT) ? desc_.dwMipMapCount : 1;
    if (mip_count > 1 && (source->GetFormat() & 0xFF) != 32) {
        OmResult r =
            make_argb_raster(proc, source->GetWidth(), source->GetHeight(), level_source.put());
        if (r >= 0) r = proc->Convert(level_source.get(), source);
        if (r < 0) return r;
    } else {
        level_source = ComRef<IRaster>::share(source);
    }
    platform::ComPtr<IDirectDrawSurface3> level;
    drawing_->AddRef();
    level.reset(drawing_);
    for (;;) {
        SurfaceRaster* surface;
        OmResult r = om_new_component(&surface);
        if (r < 0) return r;
        ComRef<SurfaceRaster> held = ComRef<SurfaceRaster>::adopt(surface);
        r = surface->attach(owner_, level.get());
        if (r < 0) return r;
        r = proc->Convert(surface, level_source.get());
        if (r < 0) return r;
        held.reset();

        platform::DDSCAPS caps{platform::DDSCAPS_TEXTURE | platform::DDSCAPS_MIPMAP};
        platform::ComPtr<IDirectDrawSurface3> next;
        if (platform::failed(level->GetAttachedSurface(&caps, next.put()))) break;
        ComRef<IRaster> half;
        r = make_argb_raster(proc, std::max(1u, level_source->GetWidth() / 2),
                             std::max(1u, level_source->GetHeight() / 2), half.put());
        if (r >= 0) r = proc->Halve(half.get(), level_source.get());
        if (r < 0) return r;
        level_source = half;
        level = next;
    }
    // A copy without a device texture (system memory only) has nothing to load into.
    if (copy_ && texture_) return load_copy();
    return OM_S_OK;
}

} // namespace

OmResult om_new_dx5_raster(uint8_t kind, Dx5RasterBase** out) {
    *out = nullptr;
    if (kind == OM_RASTER_KIND_CAMERA) {
        ViewportRaster* raster;
        OmResult r = om_new_component(&raster);
        if (r < 0) return r;
        *out = raster;
        return OM_S_OK;
    }
    if (kind == OM_RASTER_KIND_TEXTURE || kind == OM_RASTER_KIND_PICTURE) {
        TextureRaster* raster;
        OmResult r = om_new_component(&raster);
        if (r < 0) return r;
        *out = raster;
        return OM_S_OK;
    }
    return OM_E_FAIL;
}
