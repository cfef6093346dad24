// DirectDraw surface stand-in: a block of memory in an exact pixel format and pitch, with its
// attachments (back buffer, z-buffer, mip levels), palette, clipper and colour keys. Texture
// surfaces also answer as IDirect3DTexture2 and keep an ARGB copy of their texels for the
// rasteriser.
#pragma once

#include "platform/graphics/clipper.h"
#include "platform/graphics/d3d.h"
#include "platform/graphics/palette.h"

#include <memory>
#include <vector>

namespace platform {

struct DeviceProfile;

// What a DirectDraw object tells the surfaces it creates.
struct SurfaceContext {
    const DeviceProfile* profile = nullptr;
    DDPIXELFORMAT display_format{}; // primary format (current mode, else the desktop)
    uint32_t display_width = 0;
    uint32_t display_height = 0;
    bool fullscreen = false; // exclusive full-screen cooperative level
    GfxWindow window = nullptr;
};

// Texels of one mip level as 0xAARRGGBB, rebuilt when the surface or its palette changed.
// In the keyed form a texel whose raw value equals the source colour key is 0 and any other
// texel is non-zero (a transparent black texel becomes 0x00000001).
struct TexelCache {
    uint32_t version = 0;
    uint32_t palette_version = 0;
    const Palette* palette = nullptr;
    uint32_t key = 0;
    bool valid = false;
    std::vector<uint32_t> argb;
};

// Bytes of video memory held by surfaces of every DirectDraw object.
uint64_t gfx_video_memory_in_use();

class Surface final : public IDirectDrawSurface4, public IDirect3DTexture2 {
public:
    // Surface kinds by caps: primary (windowed, or full screen with FLIP|COMPLEX and a back
    // buffer count), z-buffer, texture (optionally MIPMAP|COMPLEX), anything else plain.
    static int32_t create(const SurfaceContext& ctx, const DDSURFACEDESC2& desc, Surface** out);

    int32_t QueryInterface(const GUID& iid, void** out) override;
    uint32_t AddRef() override { return refs_.add_ref(); }
    uint32_t Release() override;

    int32_t AddAttachedSurface(IDirectDrawSurface4* surface) override;
    int32_t DeleteAttachedSurface(uint32_t flags, IDirectDrawSurface4* surface) override;
    int32_t Blt(GfxRect* dst_rect, IDirectDrawSurface4* src, GfxRect* src_rect, uint32_t flags,
                DDBLTFX* fx) override;
    int32_t Flip(IDirectDrawSurface4* target, uint32_t flags) override;
    int32_t GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface4** out) override;
    int32_t GetFlipStatus(uint32_t flags) override;
    int32_t GetCaps(DDSCAPS2* caps) override;
    int32_t GetClipper(IDirectDrawClipper** out) override;
    int32_t GetColorKey(uint32_t flags, DDCOLORKEY* key) override;
    int32_t GetPalette(IDirectDrawPalette** out) override;
    int32_t GetPixelFormat(DDPIXELFORMAT* format) override;
    int32_t GetSurfaceDesc(DDSURFACEDESC2* desc) override;
    int32_t IsLost() override { return DD_OK; }
    int32_t Lock(GfxRect* rect, DDSURFACEDESC2* desc, uint32_t flags, void* event) override;
    int32_t Restore() override { return DD_OK; }
    int32_t SetClipper(IDirectDrawClipper* clipper) override;
    int32_t SetColorKey(uint32_t flags, DDCOLORKEY* key) override;
    int32_t SetPalette(IDirectDrawPalette* palette) override;
    int32_t Unlock(GfxRect* rect) override;

    int32_t PaletteChanged(uint32_t start, uint32_t count) override;
    int32_t Load(IDirect3DTexture2* source) override;

    // For the rasteriser and the blitter.
    uint32_t width() const { return desc_.dwWidth; }
    uint32_t height() const { return desc_.dwHeight; }
    int32_t pitch() const { return desc_.lPitch; }
    uint8_t* pixels() { return store_.get(); }
    const uint8_t* pixels() const { return store_.get(); }
    const DDPIXELFORMAT& format() const { return desc_.ddpfPixelFormat; }
    uint32_t caps() const { return desc_.ddsCaps.dwCaps; }
    bool has_src_key() const { return (desc_.dwFlags & DDSD_CKSRCBLT) != 0; }
    uint32_t src_key() const { return desc_.ddckCKSrcBlt.dwColorSpaceLowValue; }
    Palette* palette() const { return palette_.get(); }
    bool locked() const { return lock_count_ > 0; }
    // The attached z-buffer, or null.
    Surface* z_buffer() const;
    // The next smaller mip level, or null.
    Surface* next_mip() const;
    // Notes that the pixels changed (texel caches rebuild).
    void touch() { ++version_; }
    uint32_t version() const { return version_; }
    const uint32_t* texels(bool keyed);

    // Accepts IDirectDrawSurface4 and IDirect3DTexture2 pointers of this stand-in.
    static Surface* from(IDirectDrawSurface4* s) { return static_cast<Surface*>(s); }
    static Surface* from(IDirect3DTexture2* t) { return static_cast<Surface*>(t); }

private:
    Surface() = default;
    ~Surface();
    template <class Object>
    friend uint32_t release_and_delete(Object*, RefCounted&);
    static int32_t make_one(const DDSURFACEDESC2& desc, Surface** out);
    void present_region(const GfxRect& r, bool vsync);
    int32_t fill(const GfxRect& r, uint32_t value);

    RefCounted refs_;
    DDSURFACEDESC2 desc_{};
    std::unique_ptr<uint8_t[]> store_;
    size_t store_bytes_ = 0;
    size_t video_bytes_ = 0;
    uint32_t version_ = 1;
    int lock_count_ = 0;
    bool write_locked_ = false;
    GfxWindow window_ = nullptr;
    ComPtr<Palette> palette_;
    ComPtr<Clipper> clipper_;
    std::vector<Surface*> attached_; // one reference each
    TexelCache plain_cache_, keyed_cache_;
};

} // namespace platform
