// DirectDraw surface stand-in: creation of the surface kinds, attachments, locks, colour keys,
// flips and the texel caches (blits are in surface_blt.cpp).
#include "platform/graphics/surface.h"

#include "platform/graphics/device_profile.h"
#include "platform/graphics/pixel_format.h"
#include "platform/graphics/presenter.h"
#include "platform/graphics/raster_queue.h"

#include <atomic>
#include <bit>
#include <cstring>
#include <new>

namespace platform {
namespace {

// Video memory is one resource of the machine, shared by every DirectDraw object.
std::atomic<uint64_t> video_in_use{0};

bool is_render_format(const DDPIXELFORMAT& f) {
    return same_format(f, format_565()) || same_format(f, format_555()) ||
           same_format(f, format_x888()) || same_format(f, format_8888());
}

bool listed(const std::vector<DDPIXELFORMAT>& list, const DDPIXELFORMAT& f) {
    for (const auto& l : list)
        if (same_format(l, f)) return true;
    return false;
}

uint32_t full_mip_count(uint32_t w, uint32_t h) {
    uint32_t m = w < h ? w : h;
    return static_cast<uint32_t>(std::bit_width(m)); // floor(log2(m)) + 1
}

} // namespace

uint64_t gfx_video_memory_in_use() {
    return video_in_use.load();
}

Surface::~Surface() {
    flush_raster_queues();
    for (Surface* s : attached_) s->Release();
    video_in_use -= video_bytes_;
}

int32_t Surface::make_one(const DDSURFACEDESC2& desc, Surface** out) {
    const DDPIXELFORMAT& f = desc.ddpfPixelFormat;
    if (desc.dwWidth == 0 || desc.dwHeight == 0 || desc.dwWidth > 16384 || desc.dwHeight > 16384 ||
        format_bits(f) == 0 || format_bits(f) > 32)
        return DDERR_INVALIDPARAMS;
    auto* s = new (std::nothrow) Surface;
    if (!s) return DDERR_OUTOFMEMORY;
    s->desc_ = desc;
    s->desc_.dwSize = sizeof(DDSURFACEDESC2);
    s->desc_.lpSurface = nullptr;
    uint32_t pitch = (row_bytes(f, desc.dwWidth) + 3) & ~3u;
    s->desc_.lPitch = static_cast<int32_t>(pitch);
    s->desc_.dwFlags = (desc.dwFlags & (DDSD_CKSRCBLT | DDSD_CKDESTBLT | DDSD_MIPMAPCOUNT)) |
                       DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PITCH | DDSD_PIXELFORMAT;
    s->store_bytes_ = size_t(pitch) * desc.dwHeight;
    s->store_.reset(new (std::nothrow) uint8_t[s->store_bytes_ + 16]());
    if (!s->store_) {
        delete s;
        return DDERR_OUTOFMEMORY;
    }
    *out = s;
    return DD_OK;
}

int32_t Surface::create(const SurfaceContext& ctx, const DDSURFACEDESC2& in, Surface** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!ctx.profile || (in.dwSize != sizeof(DDSURFACEDESC2) && in.dwSize != kSurfaceDescWireSize))
        return DDERR_INVALIDPARAMS;
    if (!(in.dwFlags & DDSD_CAPS)) return DDERR_INVALIDCAPS;
    const DeviceProfile& profile = *ctx.profile;
    DDSURFACEDESC2 d = in;
    uint32_t caps = d.ddsCaps.dwCaps;
    const bool sized = (d.dwFlags & DDSD_WIDTH) && (d.dwFlags & DDSD_HEIGHT);
    const bool has_format = (d.dwFlags & DDSD_PIXELFORMAT) != 0;
    const bool nonlocal = (caps & DDSCAPS_NONLOCALVIDMEM) != 0;
    const bool managed = (d.ddsCaps.dwCaps2 & DDSCAPS2_TEXTUREMANAGE) != 0;

    uint32_t backbuffers = 0;
    uint32_t mip_levels = 1;
    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (caps & DDSCAPS_FLIP) {
            if (!ctx.fullscreen) return DDERR_NOEXCLUSIVEMODE;
            if (!(d.dwFlags & DDSD_BACKBUFFERCOUNT) || d.dwBackBufferCount == 0 ||
                !(caps & DDSCAPS_COMPLEX))
                return DDERR_INVALIDPARAMS;
            backbuffers = d.dwBackBufferCount;
            caps |= DDSCAPS_FRONTBUFFER;
        }
        d.dwWidth = ctx.display_width;
        d.dwHeight = ctx.display_height;
        d.ddpfPixelFormat = ctx.display_format;
        caps |= DDSCAPS_VISIBLE;
    } else {
        if (!sized) return DDERR_INVALIDPARAMS;
        if (caps & DDSCAPS_ZBUFFER) {
            if (!has_format || !(d.ddpfPixelFormat.dwFlags & DDPF_ZBUFFER) ||
                !listed(profile.z_formats, d.ddpfPixelFormat))
                return DDERR_INVALIDPIXELFORMAT;
            d.ddpfPixelFormat = make_z_format(d.ddpfPixelFormat.dwZBufferBitDepth);
        } else if (caps & DDSCAPS_TEXTURE) {
            if (!has_format) d.ddpfPixelFormat = ctx.display_format;
            if (!listed(profile.texture_formats, d.ddpfPixelFormat))
                return DDERR_INVALIDPIXELFORMAT;
            if (nonlocal && !profile.nonlocal_textures) return DDERR_UNSUPPORTED;
            const D3DDEVICEDESC& dev = profile.device;
            if (d.dwWidth < dev.dwMinTextureWidth || d.dwHeight < dev.dwMinTextureHeight ||
                d.dwWidth > dev.dwMaxTextureWidth || d.dwHeight > dev.dwMaxTextureHeight)
                return DDERR_INVALIDPARAMS;
            // The rasteriser addresses texels with masks: every texture is a power of two.
            if (!std::has_single_bit(d.dwWidth) || !std::has_single_bit(d.dwHeight))
                return DDERR_INVALIDPARAMS;
            if (caps & DDSCAPS_MIPMAP) {
                uint32_t full = full_mip_count(d.dwWidth, d.dwHeight);
                mip_levels = (d.dwFlags & DDSD_MIPMAPCOUNT) ? d.dwMipMapCount : full;
                if (mip_levels == 0 || mip_levels > full) return DDERR_INVALIDPARAMS;
                if (mip_levels > 1 && !(caps & DDSCAPS_COMPLEX)) return DDERR_INVALIDCAPS;
            }
        } else if (!has_format) {
            d.ddpfPixelFormat = ctx.display_format;
        }
        if ((caps & DDSCAPS_3DDEVICE) && !(caps & DDSCAPS_ZBUFFER) &&
            !is_render_format(d.ddpfPixelFormat))
            return DDERR_INVALIDPIXELFORMAT;
    }
    if (!(caps & (DDSCAPS_SYSTEMMEMORY | DDSCAPS_VIDEOMEMORY)))
        caps |= managed ? DDSCAPS_SYSTEMMEMORY : DDSCAPS_VIDEOMEMORY | DDSCAPS_LOCALVIDMEM;
    if ((caps & DDSCAPS_VIDEOMEMORY) && !nonlocal) caps |= DDSCAPS_LOCALVIDMEM;

    // Video memory is accounted against the profile's total; managed textures are not.
    const bool counts_video = (caps & DDSCAPS_VIDEOMEMORY) && !managed;
    uint64_t need = 0;
    {
        uint32_t w = d.dwWidth, h = d.dwHeight;
        for (uint32_t i = 0; i < mip_levels; ++i) {
            need += uint64_t((row_bytes(d.ddpfPixelFormat, w) + 3) & ~3u) * h;
            w = w > 1 ? w / 2 : 1;
            h = h > 1 ? h / 2 : 1;
        }
        need *= backbuffers + 1;
    }
    if (counts_video && video_in_use.load() + need > profile.video_memory)
        return DDERR_OUTOFVIDEOMEMORY;

    d.ddsCaps.dwCaps = caps;
    if (mip_levels > 1 || (caps & DDSCAPS_MIPMAP)) {
        d.dwFlags |= DDSD_MIPMAPCOUNT;
        d.dwMipMapCount = mip_levels;
    } else {
        d.dwFlags &= ~DDSD_MIPMAPCOUNT;
        d.dwMipMapCount = 0;
    }

    Surface* root = nullptr;
    int32_t r = make_one(d, &root);
    if (failed(r)) return r;
    root->window_ = ctx.window;
    if (counts_video) {
        root->video_bytes_ = need;
        video_in_use += need;
    }
    if (backbuffers) {
        root->desc_.dwFlags |= DDSD_BACKBUFFERCOUNT;
        root->desc_.dwBackBufferCount = backbuffers;
        Surface* prev = root;
        for (uint32_t i = 0; i < backbuffers; ++i) {
            DDSURFACEDESC2 bd = root->desc_;
            bd.ddsCaps.dwCaps =
                (caps & ~(DDSCAPS_PRIMARYSURFACE | DDSCAPS_FRONTBUFFER | DDSCAPS_VISIBLE)) |
                (i == 0 ? DDSCAPS_BACKBUFFER : 0);
            bd.dwFlags &= ~DDSD_BACKBUFFERCOUNT;
            bd.dwBackBufferCount = 0;
            Surface* b = nullptr;
            r = make_one(bd, &b);
            if (failed(r)) {
                root->Release();
                return r;
            }
            b->window_ = ctx.window;
            prev->attached_.push_back(b);
            prev = b;
        }
    }
    Surface* prev = root;
    uint32_t w = d.dwWidth, h = d.dwHeight;
    for (uint32_t i = 1; i < mip_levels; ++i) {
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
        DDSURFACEDESC2 md = root->desc_;
        md.dwWidth = w;
        md.dwHeight = h;
        md.dwMipMapCount = mip_levels - i;
        Surface* m = nullptr;
        r = make_one(md, &m);
        if (failed(r)) {
            root->Release();
            return r;
        }
        m->desc_.dwMipMapCount = mip_levels - i;
        prev->attached_.push_back(m);
        prev = m;
    }
    *out = root;
    return DD_OK;
}

int32_t Surface::QueryInterface(const GUID& iid, void** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    if (iid == IID_IDirectDrawSurface4) {
        AddRef();
        *out = static_cast<IDirectDrawSurface4*>(this);
        return S_OK;
    }
    if (iid == IID_IDirect3DTexture2 && (caps() & DDSCAPS_TEXTURE)) {
        AddRef();
        *out = static_cast<IDirect3DTexture2*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

uint32_t Surface::Release() {
    return release_and_delete(this, refs_);
}

Surface* Surface::z_buffer() const {
    for (Surface* s : attached_)
        if (s->caps() & DDSCAPS_ZBUFFER) return s;
    return nullptr;
}

Surface* Surface::next_mip() const {
    for (Surface* s : attached_)
        if ((s->caps() & DDSCAPS_MIPMAP) && (s->caps() & DDSCAPS_TEXTURE)) return s;
    return nullptr;
}

int32_t Surface::AddAttachedSurface(IDirectDrawSurface4* surface) {
    if (!surface || surface == this) return DDERR_INVALIDPARAMS;
    flush_raster_queues();
    Surface* z = from(surface);
    if (!(z->caps() & DDSCAPS_ZBUFFER) || (caps() & DDSCAPS_ZBUFFER)) return DDERR_INVALIDCAPS;
    for (Surface* s : attached_)
        if (s == z) return DDERR_SURFACEALREADYATTACHED;
    if (z_buffer()) return DDERR_SURFACEALREADYATTACHED;
    if (z->width() < width() || z->height() < height()) return DDERR_INVALIDPARAMS;
    z->AddRef();
    attached_.push_back(z);
    return DD_OK;
}

int32_t Surface::DeleteAttachedSurface(uint32_t, IDirectDrawSurface4* surface) {
    flush_raster_queues(); // queued work may draw into the z-buffer
    for (size_t i = 0; i < attached_.size(); ++i) {
        Surface* s = attached_[i];
        if ((surface && s != from(surface)) || !(s->caps() & DDSCAPS_ZBUFFER)) continue;
        attached_.erase(attached_.begin() + ptrdiff_t(i));
        s->Release();
        return DD_OK;
    }
    return DDERR_NOTFOUND;
}

int32_t Surface::GetAttachedSurface(DDSCAPS2* wanted, IDirectDrawSurface4** out) {
    if (!wanted || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    for (Surface* s : attached_) {
        if ((s->caps() & wanted->dwCaps) == wanted->dwCaps) {
            s->AddRef();
            *out = s;
            return DD_OK;
        }
    }
    return DDERR_NOTFOUND;
}

int32_t Surface::Flip(IDirectDrawSurface4*, uint32_t flags) {
    if (!(caps() & DDSCAPS_FRONTBUFFER) || attached_.empty()) return DDERR_NOTFLIPPABLE;
    flush_raster_queues(); // the back buffer is shown as drawn so far
    if (locked()) return DDERR_SURFACEBUSY;
    // Walk the chain front -> back -> ...: each buffer takes the memory of the next one, the
    // last takes the old front's.
    std::vector<Surface*> chain{this};
    for (Surface* s = this;;) {
        Surface* next = nullptr;
        for (Surface* a : s->attached_)
            if ((a->caps() & DDSCAPS_FLIP) && !(a->caps() & DDSCAPS_ZBUFFER)) next = a;
        if (!next) break;
        if (next->locked()) return DDERR_SURFACEBUSY;
        chain.push_back(next);
        s = next;
    }
    for (size_t i = 0; i + 1 < chain.size(); ++i) std::swap(chain[i]->store_, chain[i + 1]->store_);
    for (Surface* s : chain) s->touch();
    present_region(GfxRect{0, 0, int32_t(width()), int32_t(height())},
                   (flags & DDFLIP_NOVSYNC) == 0);
    return DD_OK;
}

int32_t Surface::GetFlipStatus(uint32_t flags) {
    if (!(flags & (DDGFS_ISFLIPDONE | DDGFS_CANFLIP))) return DDERR_INVALIDPARAMS;
    return DD_OK; // flips complete before Flip returns
}

int32_t Surface::GetCaps(DDSCAPS2* caps) {
    if (!caps) return DDERR_INVALIDPARAMS;
    *caps = desc_.ddsCaps;
    return DD_OK;
}

int32_t Surface::GetClipper(IDirectDrawClipper** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = clipper_.get();
    if (!*out) return DDERR_NOCLIPPERATTACHED;
    clipper_->AddRef();
    return DD_OK;
}

int32_t Surface::GetColorKey(uint32_t flags, DDCOLORKEY* key) {
    if (!key) return DDERR_INVALIDPARAMS;
    if (flags & DDCKEY_SRCBLT) {
        if (!has_src_key()) return DDERR_NOCOLORKEY;
        *key = desc_.ddckCKSrcBlt;
        return DD_OK;
    }
    if (flags & DDCKEY_DESTBLT) {
        if (!(desc_.dwFlags & DDSD_CKDESTBLT)) return DDERR_NOCOLORKEY;
        *key = desc_.ddckCKDestBlt;
        return DD_OK;
    }
    return DDERR_INVALIDPARAMS;
}

int32_t Surface::SetColorKey(uint32_t flags, DDCOLORKEY* key) {
    uint32_t bit;
    DDCOLORKEY* slot;
    if (flags & DDCKEY_SRCBLT) {
        bit = DDSD_CKSRCBLT;
        slot = &desc_.ddckCKSrcBlt;
    } else if (flags & DDCKEY_DESTBLT) {
        bit = DDSD_CKDESTBLT;
        slot = &desc_.ddckCKDestBlt;
    } else {
        return DDERR_INVALIDPARAMS;
    }
    if (key) {
        *slot = *key;
        desc_.dwFlags |= bit;
    } else {
        *slot = {};
        desc_.dwFlags &= ~bit;
    }
    touch();
    return DD_OK;
}

int32_t Surface::GetPalette(IDirectDrawPalette** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = palette_.get();
    if (!*out) return DDERR_NOPALETTEATTACHED;
    palette_->AddRef();
    return DD_OK;
}

int32_t Surface::SetPalette(IDirectDrawPalette* palette) {
    if (palette && !palette_index_bits(format())) return DDERR_INVALIDPIXELFORMAT;
    palette_.share(static_cast<Palette*>(palette));
    touch();
    return DD_OK;
}

int32_t Surface::SetClipper(IDirectDrawClipper* clipper) {
    clipper_.share(static_cast<Clipper*>(clipper));
    return DD_OK;
}

int32_t Surface::GetPixelFormat(DDPIXELFORMAT* format) {
    if (!format) return DDERR_INVALIDPARAMS;
    *format = desc_.ddpfPixelFormat;
    return DD_OK;
}

int32_t Surface::GetSurfaceDesc(DDSURFACEDESC2* desc) {
    if (!desc) return DDERR_INVALIDPARAMS;
    *desc = desc_;
    desc->lpSurface = nullptr;
    return DD_OK;
}

int32_t Surface::Lock(GfxRect* rect, DDSURFACEDESC2* desc, uint32_t flags, void*) {
    if (!desc) return DDERR_INVALIDPARAMS;
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->left >= rect->right ||
            rect->top >= rect->bottom || uint32_t(rect->right) > width() ||
            uint32_t(rect->bottom) > height())
            return DDERR_INVALIDRECT;
        offset =
            size_t(rect->top) * size_t(pitch()) + size_t(rect->left) * format_bits(format()) / 8;
    }
    if (lock_count_ > 0 && !rect) return DDERR_SURFACEBUSY;
    flush_raster_queues(); // the caller sees every pixel drawn before the lock
    ++lock_count_;
    if (!(flags & DDLOCK_READONLY)) write_locked_ = true;
    *desc = desc_;
    desc->lpSurface = store_.get() + offset;
    desc->dwFlags |= DDSD_LPSURFACE | DDSD_PITCH;
    return DD_OK;
}

int32_t Surface::Unlock(GfxRect*) {
    if (lock_count_ == 0) return DDERR_NOTLOCKED;
    if (--lock_count_ == 0 && write_locked_) {
        write_locked_ = false;
        touch();
    }
    return DD_OK;
}

int32_t Surface::PaletteChanged(uint32_t, uint32_t) {
    touch();
    return D3D_OK;
}

int32_t Surface::Load(IDirect3DTexture2* source) {
    if (!source) return DDERR_INVALIDPARAMS;
    flush_raster_queues();
    Surface* src = from(source);
    Surface* d = this;
    for (Surface* s = src; s && d; s = s->next_mip(), d = d->next_mip()) {
        if (s->width() != d->width() || s->height() != d->height() ||
            !same_format(s->format(), d->format()))
            return DDERR_INVALIDPARAMS;
        std::memcpy(d->store_.get(), s->store_.get(), d->store_bytes_);
        d->touch();
    }
    if (src->palette_ && palette_) {
        PALETTEENTRY e[256];
        src->palette_->GetEntries(0, 0, src->palette_->size(), e);
        palette_->SetEntries(
            0, 0,
            palette_->size() < src->palette_->size() ? palette_->size() : src->palette_->size(), e);
    }
    return D3D_OK;
}

const uint32_t* Surface::texels(bool keyed) {
    keyed = keyed && has_src_key();
    TexelCache& c = keyed ? keyed_cache_ : plain_cache_;
    const Palette* pal = palette_.get();
    const uint32_t pal_version = pal ? pal->version() : 0;
    if (c.valid && c.version == version_ && c.palette == pal && c.palette_version == pal_version &&
        c.key == src_key())
        return c.argb.data();
    flush_raster_queues(); // queued work may still sample the cache about to be rebuilt
    const uint32_t w = width(), h = height();
    c.argb.resize(size_t(w) * h);
    const uint32_t pal_bits = palette_index_bits(format());
    const uint32_t bytes = (format_bits(format()) + 7) / 8;
    const PixelCodec codec(format());
    const uint32_t key = src_key();
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* row = store_.get() + size_t(y) * size_t(pitch());
        uint32_t* out = c.argb.data() + size_t(y) * w;
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t raw, argb;
            if (pal_bits) {
                uint32_t bit = x * pal_bits;
                raw = (row[bit / 8] >> (bit % 8)) & ((1u << pal_bits) - 1);
                argb = pal ? pal->argb()[raw] : 0xFF000000u;
            } else {
                raw = load_pixel(row + x * bytes, bytes);
                argb = codec.decode(raw);
            }
            if (keyed) argb = raw == key ? 0u : (argb ? argb : 1u);
            out[x] = argb;
        }
    }
    c.valid = true;
    c.version = version_;
    c.palette = pal;
    c.palette_version = pal_version;
    c.key = key;
    return c.argb.data();
}

void Surface::present_region(const GfxRect& r, bool vsync) {
    const uint32_t bytes_bits = format_bits(format());
    const uint8_t* p =
        store_.get() + size_t(r.top) * size_t(pitch()) + size_t(r.left) * bytes_bits / 8;
    GfxWindow w = clipper_ ? clipper_->window() : window_;
    if (!w) w = window_;
    present_frame(w, p, pitch(), uint32_t(r.right - r.left), uint32_t(r.bottom - r.top), format(),
                  palette_ ? palette_->argb().data() : nullptr, vsync);
}

void surface_desc_to_wire(const DDSURFACEDESC2& d, uint32_t surface_word,
                          uint8_t out[kSurfaceDescWireSize]) {
    uint32_t words[31];
    words[0] = kSurfaceDescWireSize;
    words[1] = d.dwFlags;
    words[2] = d.dwHeight;
    words[3] = d.dwWidth;
    words[4] = d.dwLinearSize;
    words[5] = d.dwBackBufferCount;
    words[6] = d.dwMipMapCount;
    words[7] = d.dwAlphaBitDepth;
    words[8] = d.dwReserved;
    words[9] = surface_word;
    std::memcpy(&words[10], &d.ddckCKDestOverlay, 8);
    std::memcpy(&words[12], &d.ddckCKDestBlt, 8);
    std::memcpy(&words[14], &d.ddckCKSrcOverlay, 8);
    std::memcpy(&words[16], &d.ddckCKSrcBlt, 8);
    std::memcpy(&words[18], &d.ddpfPixelFormat, 32);
    std::memcpy(&words[26], &d.ddsCaps, 16);
    words[30] = d.dwTextureStage;
    for (int i = 0; i < 31; ++i)
        for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<uint8_t>(words[i] >> (8 * b));
}

uint32_t surface_desc_from_wire(const uint8_t in[kSurfaceDescWireSize], DDSURFACEDESC2* d) {
    uint32_t words[31];
    for (int i = 0; i < 31; ++i)
        words[i] = uint32_t(in[i * 4]) | uint32_t(in[i * 4 + 1]) << 8 |
                   uint32_t(in[i * 4 + 2]) << 16 | uint32_t(in[i * 4 + 3]) << 24;
    *d = DDSURFACEDESC2{};
    d->dwSize = sizeof(DDSURFACEDESC2);
    d->dwFlags = words[1];
    d->dwHeight = words[2];
    d->dwWidth = words[3];
    d->dwLinearSize = words[4];
    d->dwBackBufferCount = words[5];
    d->dwMipMapCount = words[6];
    d->dwAlphaBitDepth = words[7];
    d->dwReserved = words[8];
    std::memcpy(&d->ddckCKDestOverlay, &words[10], 8);
    std::memcpy(&d->ddckCKDestBlt, &words[12], 8);
    std::memcpy(&d->ddckCKSrcOverlay, &words[14], 8);
    std::memcpy(&d->ddckCKSrcBlt, &words[16], 8);
    std::memcpy(&d->ddpfPixelFormat, &words[18], 32);
    std::memcpy(&d->ddsCaps, &words[26], 16);
    d->dwTextureStage = words[30];
    return words[9];
}

} // namespace platform
