// Direct3D device stand-in over the software rasteriser.
#include "platform/graphics/d3d_device.h"

#include "platform/graphics/direct_draw.h"
#include "platform/graphics/draw_recorder.h"
#include "platform/graphics/pixel_format.h"
#include "platform/graphics/raster_workers.h"
#include "platform/graphics/surface.h"
#include "platform/graphics/viewport.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>

namespace platform {
namespace {

// Comparison function (1..8) -> mask of the outcomes that pass (1 less, 2 equal, 4 greater).
uint8_t compare_mask(uint32_t func) {
    static constexpr uint8_t masks[9] = {0, 0, 1, 2, 3, 4, 5, 6, 7};
    return func <= 8 ? masks[func] : 7;
}

bool color_format_of(const DDPIXELFORMAT& f, ColorFormat& out) {
    if (same_format(f, format_565()))
        out = ColorFormat::R5G6B5;
    else if (same_format(f, format_555()))
        out = ColorFormat::X1R5G5B5;
    else if (same_format(f, format_8888()) || same_format(f, format_x888()))
        out = ColorFormat::A8R8G8B8;
    else
        return false;
    return true;
}

ColorOp stage_argument(uint32_t arg) {
    return (arg & 0xF) == D3DTA_TEXTURE ? ColorOp::SelectTexture : ColorOp::SelectDiffuse;
}

ColorOp stage_operation(uint32_t op, uint32_t arg1, uint32_t arg2) {
    switch (op) {
    case D3DTOP_DISABLE: return ColorOp::SelectDiffuse;
    case D3DTOP_SELECTARG1: return stage_argument(arg1);
    case D3DTOP_SELECTARG2: return stage_argument(arg2);
    default: return ColorOp::Modulate;
    }
}

bool valid_state_value(uint32_t state, uint32_t value) {
    switch (state) {
    case D3DRENDERSTATE_SRCBLEND:
    case D3DRENDERSTATE_DESTBLEND: return value >= 1 && value <= 13;
    case D3DRENDERSTATE_ZFUNC:
    case D3DRENDERSTATE_ALPHAFUNC:
    case D3DRENDERSTATE_STENCILFUNC: return value >= 1 && value <= 8;
    case D3DRENDERSTATE_SHADEMODE: return value >= 1 && value <= 3;
    case D3DRENDERSTATE_FILLMODE: return value >= 1 && value <= 3;
    case D3DRENDERSTATE_CULLMODE: return value >= 1 && value <= 3;
    case D3DRENDERSTATE_FOGTABLEMODE: return value <= 3;
    default: return true;
    }
}

} // namespace

int32_t Device::create(DirectDraw* owner, Surface* target, Device** out) {
    if (!owner || !target || !out) return DDERR_INVALIDPARAMS;
    *out = nullptr;
    if (!(target->caps() & DDSCAPS_3DDEVICE)) return DDERR_INVALIDCAPS;
    ColorFormat cf;
    if (!color_format_of(target->format(), cf)) return DDERR_INVALIDPIXELFORMAT;
    auto* d = new (std::nothrow) Device;
    if (!d) return DDERR_OUTOFMEMORY;
    static_cast<IDirect3D3*>(owner)->AddRef();
    d->owner_ = owner;
    target->AddRef();
    d->target_ = target;
    d->caps_ = owner->profile().device;
    d->queue_.set_threads(raster_threads_for(owner->profile().raster_threads));
    d->texture_formats_ = owner->profile().texture_formats;
    d->set_defaults();
    *out = d;
    return D3D_OK;
}

Device::~Device() {
    queue_.flush();
    for (Viewport* v : viewports_) {
        v->attach(nullptr);
        v->Release();
    }
    if (texture_) static_cast<IDirect3DTexture2*>(texture_)->Release();
    if (target_) target_->Release();
    if (owner_) static_cast<IDirect3D3*>(owner_)->Release();
}

void Device::set_defaults() {
    uint32_t* rs = rs_;
    rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] = 1;
    rs[D3DRENDERSTATE_ZENABLE] = target_->z_buffer() ? 1 : 0;
    rs[D3DRENDERSTATE_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRENDERSTATE_SHADEMODE] = D3DSHADE_GOURAUD;
    rs[D3DRENDERSTATE_ZWRITEENABLE] = 1;
    rs[D3DRENDERSTATE_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRENDERSTATE_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRENDERSTATE_CULLMODE] = D3DCULL_CCW;
    rs[D3DRENDERSTATE_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRENDERSTATE_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRENDERSTATE_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRENDERSTATE_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRENDERSTATE_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRENDERSTATE_STENCILMASK] = 0xFFFFFFFFu;
    rs[D3DRENDERSTATE_STENCILWRITEMASK] = 0xFFFFFFFFu;
    tss_[D3DTSS_COLOROP] = D3DTOP_MODULATE;
    tss_[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
    tss_[D3DTSS_COLORARG2] = D3DTA_CURRENT;
    tss_[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
    tss_[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
    tss_[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
    tss_[D3DTSS_ADDRESS] = tss_[D3DTSS_ADDRESSU] = tss_[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    tss_[D3DTSS_MAGFILTER] = D3DTFG_POINT;
    tss_[D3DTSS_MINFILTER] = D3DTFN_POINT;
    tss_[D3DTSS_MIPFILTER] = D3DTFP_NONE;
    ls_[D3DLIGHTSTATE_FOGMODE] = D3DFOG_NONE;
    states_dirty_ = true;
}

int32_t Device::QueryInterface(const GUID& iid, void** out) {
    return query_single<IDirect3DDevice3>(this, IID_IDirect3DDevice3, iid, out);
}

uint32_t Device::Release() {
    return release_and_delete(this, refs_);
}

int32_t Device::GetCaps(D3DDEVICEDESC* hal, D3DDEVICEDESC* hel) {
    if (!hal && !hel) return DDERR_INVALIDPARAMS;
    if (hal) *hal = caps_;
    if (hel) {
        std::memset(hel, 0, sizeof(D3DDEVICEDESC));
        hel->dwSize = sizeof(D3DDEVICEDESC);
    }
    return D3D_OK;
}

int32_t Device::AddViewport(IDirect3DViewport3* viewport) {
    if (!viewport) return DDERR_INVALIDPARAMS;
    auto* v = static_cast<Viewport*>(viewport);
    if (std::find(viewports_.begin(), viewports_.end(), v) != viewports_.end())
        return DDERR_INVALIDPARAMS;
    if (v->device()) return DDERR_INVALIDPARAMS; // belongs to another device
    v->AddRef();
    v->attach(this);
    viewports_.push_back(v);
    return D3D_OK;
}

int32_t Device::DeleteViewport(IDirect3DViewport3* viewport) {
    auto it = std::find(viewports_.begin(), viewports_.end(), static_cast<Viewport*>(viewport));
    if (it == viewports_.end()) return DDERR_INVALIDPARAMS;
    Viewport* v = *it;
    viewports_.erase(it);
    if (current_ == v) current_ = nullptr;
    v->attach(nullptr);
    v->Release();
    return D3D_OK;
}

int32_t Device::EnumTextureFormats(LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    if (!callback) return DDERR_INVALIDPARAMS;
    for (DDPIXELFORMAT f : texture_formats_)
        if (callback(&f, context) == D3DENUMRET_CANCEL) break;
    return D3D_OK;
}

int32_t Device::BeginScene() {
    if (in_scene_) return D3DERR_SCENE_IN_SCENE;
    in_scene_ = true;
    return D3D_OK;
}

int32_t Device::EndScene() {
    if (!in_scene_) return D3DERR_SCENE_NOT_IN_SCENE;
    in_scene_ = false;
    queue_.flush();
    return D3D_OK;
}

int32_t Device::GetDirect3D(IDirect3D3** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = owner_;
    owner_->AddRef();
    return D3D_OK;
}

int32_t Device::SetCurrentViewport(IDirect3DViewport3* viewport) {
    auto* v = static_cast<Viewport*>(viewport);
    if (!v || std::find(viewports_.begin(), viewports_.end(), v) == viewports_.end())
        return DDERR_INVALIDPARAMS;
    current_ = v;
    return D3D_OK;
}

int32_t Device::GetCurrentViewport(IDirect3DViewport3** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = current_;
    if (!current_) return DDERR_NOTFOUND;
    current_->AddRef();
    return D3D_OK;
}

int32_t Device::GetRenderTarget(IDirectDrawSurface4** out) {
    if (!out) return DDERR_INVALIDPARAMS;
    *out = target_;
    target_->AddRef();
    return D3D_OK;
}

int32_t Device::SetRenderState(uint32_t state, uint32_t value) {
    if (state == 0 || state >= kRenderStates || !valid_state_value(state, value))
        return DDERR_INVALIDPARAMS;
    if (state >= D3DRENDERSTATE_STENCILENABLE && state <= D3DRENDERSTATE_STENCILWRITEMASK &&
        caps_.dwStencilCaps == 0)
        return D3DERR_UNSUPPORTEDSTATE;
    rs_[state] = value;
    states_dirty_ = true;
    return D3D_OK;
}

int32_t Device::GetRenderState(uint32_t state, uint32_t* value) {
    if (!value || state == 0 || state >= kRenderStates) return DDERR_INVALIDPARAMS;
    *value = rs_[state];
    return D3D_OK;
}

int32_t Device::SetLightState(uint32_t state, uint32_t value) {
    if (state == 0 || state >= kLightStates) return DDERR_INVALIDPARAMS;
    ls_[state] = value;
    return D3D_OK;
}

int32_t Device::GetLightState(uint32_t state, uint32_t* value) {
    if (!value || state == 0 || state >= kLightStates) return DDERR_INVALIDPARAMS;
    *value = ls_[state];
    return D3D_OK;
}

int32_t Device::GetTexture(uint32_t stage, IDirect3DTexture2** out) {
    if (!out || stage != 0) return DDERR_INVALIDPARAMS;
    *out = texture_;
    if (texture_) static_cast<IDirect3DTexture2*>(texture_)->AddRef();
    return D3D_OK;
}

int32_t Device::SetTexture(uint32_t stage, IDirect3DTexture2* texture) {
    if (stage != 0) return DDERR_INVALIDPARAMS;
    if (texture) texture->AddRef();
    if (texture_) static_cast<IDirect3DTexture2*>(texture_)->Release();
    texture_ = texture ? Surface::from(texture) : nullptr;
    states_dirty_ = true;
    return D3D_OK;
}

int32_t Device::GetTextureStageState(uint32_t stage, uint32_t state, uint32_t* value) {
    if (!value || stage != 0 || state == 0 || state >= kStageStates) return DDERR_INVALIDPARAMS;
    *value = tss_[state];
    return D3D_OK;
}

int32_t Device::SetTextureStageState(uint32_t stage, uint32_t state, uint32_t value) {
    if (stage != 0 || state == 0 || state >= kStageStates) return DDERR_INVALIDPARAMS;
    tss_[state] = value;
    if (state == D3DTSS_ADDRESS) tss_[D3DTSS_ADDRESSU] = tss_[D3DTSS_ADDRESSV] = value;
    states_dirty_ = true;
    return D3D_OK;
}

void Device::viewport_changed(Viewport*) {
    states_dirty_ = true;
}

bool Device::prepare_draw() {
    RenderTarget& rt = raster_target_;
    if (!color_format_of(target_->format(), rt.color_format)) return false;
    rt.color = target_->pixels();
    rt.pitch = target_->pitch();
    Surface* z = target_->z_buffer();
    int32_t w = int32_t(target_->width()), h = int32_t(target_->height());
    rt.depth = nullptr;
    rt.depth_format = DepthFormat::None;
    if (z) {
        rt.depth = z->pixels();
        rt.depth_pitch = z->pitch();
        rt.depth_format = format_bits(z->format()) == 16 ? DepthFormat::Z16 : DepthFormat::Z32;
    }
    rt.x0 = rt.y0 = 0;
    rt.x1 = w;
    rt.y1 = h;
    if (current_ && current_->has_rect()) {
        const D3DVIEWPORT2& v = current_->rect();
        rt.x0 = int32_t(std::min<uint32_t>(v.dwX, uint32_t(w)));
        rt.y0 = int32_t(std::min<uint32_t>(v.dwY, uint32_t(h)));
        rt.x1 = int32_t(std::min<uint64_t>(uint64_t(v.dwX) + v.dwWidth, uint64_t(w)));
        rt.y1 = int32_t(std::min<uint64_t>(uint64_t(v.dwY) + v.dwHeight, uint64_t(h)));
    }
    if (rt.x0 >= rt.x1 || rt.y0 >= rt.y1) return false;

    PixelState& ps = pixel_state_;
    if (states_dirty_) {
        const uint32_t* rs = rs_;
        ps = PixelState{};
        ps.z_enabled = rs[D3DRENDERSTATE_ZENABLE] != 0;
        ps.z_func_mask = compare_mask(rs[D3DRENDERSTATE_ZFUNC]);
        ps.z_write = rs[D3DRENDERSTATE_ZWRITEENABLE] != 0;
        ps.color_op =
            stage_operation(tss_[D3DTSS_COLOROP], tss_[D3DTSS_COLORARG1], tss_[D3DTSS_COLORARG2]);
        ps.alpha_op = tss_[D3DTSS_COLOROP] == D3DTOP_DISABLE
                          ? ColorOp::SelectDiffuse
                          : stage_operation(tss_[D3DTSS_ALPHAOP], tss_[D3DTSS_ALPHAARG1],
                                            tss_[D3DTSS_ALPHAARG2]);
        ps.textured = texture_ != nullptr && (ps.color_op != ColorOp::SelectDiffuse ||
                                              ps.alpha_op != ColorOp::SelectDiffuse);
        ps.mag = tss_[D3DTSS_MAGFILTER] == D3DTFG_POINT ? TexFilter::Point : TexFilter::Linear;
        ps.min = tss_[D3DTSS_MINFILTER] == D3DTFN_POINT ? TexFilter::Point : TexFilter::Linear;
        switch (tss_[D3DTSS_MIPFILTER]) {
        case D3DTFP_POINT: ps.mip = MipFilter::Point; break;
        case D3DTFP_LINEAR: ps.mip = MipFilter::Linear; break;
        default: ps.mip = MipFilter::None; break;
        }
        auto address = [](uint32_t v) {
            return (v >= D3DTADDRESS_WRAP && v <= D3DTADDRESS_BORDER) ? TexAddress(v)
                                                                      : TexAddress::Wrap;
        };
        ps.address_u = address(tss_[D3DTSS_ADDRESSU]);
        ps.address_v = address(tss_[D3DTSS_ADDRESSV]);
        ps.border = tss_[D3DTSS_BORDERCOLOR];
        float stage_bias;
        std::memcpy(&stage_bias, &tss_[D3DTSS_MIPMAPLODBIAS], 4);
        ps.lod_bias = float(int32_t(rs[D3DRENDERSTATE_MIPMAPLODBIAS])) +
                      (std::isfinite(stage_bias) ? stage_bias : 0.0f);
        ps.perspective = rs[D3DRENDERSTATE_TEXTUREPERSPECTIVE] != 0;
        ps.color_key =
            ps.textured && rs[D3DRENDERSTATE_COLORKEYENABLE] != 0 && texture_->has_src_key();
        ps.alpha_test = rs[D3DRENDERSTATE_ALPHATESTENABLE] != 0 &&
                        rs[D3DRENDERSTATE_ALPHAFUNC] != D3DCMP_ALWAYS;
        ps.alpha_func_mask = compare_mask(rs[D3DRENDERSTATE_ALPHAFUNC]);
        ps.alpha_ref = rs[D3DRENDERSTATE_ALPHAREF] & 255;
        ps.blend = rs[D3DRENDERSTATE_ALPHABLENDENABLE] != 0;
        ps.src_blend = rs[D3DRENDERSTATE_SRCBLEND];
        ps.dst_blend = rs[D3DRENDERSTATE_DESTBLEND];
        if (ps.blend && ps.src_blend == D3DBLEND_ONE && ps.dst_blend == D3DBLEND_ZERO)
            ps.blend = false;
        ps.fog = rs[D3DRENDERSTATE_FOGENABLE] != 0;
        ps.fog_color = rs[D3DRENDERSTATE_FOGCOLOR] & 0xFFFFFF;
        ps.flat = rs[D3DRENDERSTATE_SHADEMODE] == D3DSHADE_FLAT;
    }
    if (!z) ps.z_enabled = false;

    if (ps.textured) {
        TextureView& tv = texture_view_;
        tv.levels = 0;
        const bool mips = ps.mip != MipFilter::None;
        for (Surface* s = texture_; s && tv.levels < TextureView::kMaxLevels;
             s = mips ? s->next_mip() : nullptr) {
            TexLevel& l = tv.level[tv.levels++];
            l.texels = s->texels(ps.color_key);
            l.w = s->width();
            l.h = s->height();
            l.wshift = uint32_t(std::countr_zero(l.w));
        }
        if (tv.levels == 1) ps.mip = MipFilter::None;
    }
    // Textures may have been rebuilt and the target flipped: prepare every draw (the queue
    // starts a new batch only when something changed). Queued work samples the texture until
    // the next flush, so the queue keeps it alive.
    if (ps.textured) queue_.hold(static_cast<IDirect3DTexture2*>(texture_));
    queue_.prepare(rt, ps, ps.textured ? &texture_view_ : nullptr, rs_[D3DRENDERSTATE_CULLMODE]);
    states_dirty_ = false;
    return true;
}

template <class Fetch>
int32_t Device::draw(uint32_t type, uint32_t count, Fetch vertex) {
    if (!prepare_draw()) return D3D_OK;
    if (DrawRecorder* recorder = draw_recorder()) {
        std::vector<D3DTLVERTEX> copy;
        copy.reserve(count);
        for (uint32_t i = 0; i < count; ++i) copy.push_back(vertex(i));
        recorder->on_draw({type, rs_[D3DRENDERSTATE_CULLMODE], &raster_target_, &pixel_state_,
                           pixel_state_.textured ? &texture_view_ : nullptr, &copy});
    }
    switch (type) {
    case D3DPT_LINELIST:
        for (uint32_t i = 0; i + 1 < count; i += 2) queue_.line(vertex(i), vertex(i + 1));
        break;
    case D3DPT_LINESTRIP:
        for (uint32_t i = 0; i + 1 < count; ++i) queue_.line(vertex(i), vertex(i + 1));
        break;
    case D3DPT_TRIANGLELIST:
        for (uint32_t i = 0; i + 2 < count; i += 3)
            queue_.triangle(vertex(i), vertex(i + 1), vertex(i + 2));
        break;
    case D3DPT_TRIANGLESTRIP:
        // Odd triangles swap their last two vertices: the winding stays the same and the
        // first vertex (flat colour) is still the triangle's first.
        for (uint32_t i = 0; i + 2 < count; ++i) {
            if (i & 1)
                queue_.triangle(vertex(i), vertex(i + 2), vertex(i + 1));
            else
                queue_.triangle(vertex(i), vertex(i + 1), vertex(i + 2));
        }
        break;
    case D3DPT_TRIANGLEFAN:
        for (uint32_t i = 1; i + 1 < count; ++i)
            queue_.triangle(vertex(0), vertex(i), vertex(i + 1));
        break;
    default: return D3DERR_INVALIDPRIMITIVETYPE;
    }
    return D3D_OK;
}

int32_t Device::DrawPrimitive(uint32_t type, uint32_t fvf, void* vertices, uint32_t count,
                              uint32_t) {
    if (fvf != D3DFVF_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
    if (type < D3DPT_LINELIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    if (!vertices || count > 65535) return DDERR_INVALIDPARAMS;
    const auto* v = static_cast<const D3DTLVERTEX*>(vertices);
    return draw(type, count, [v](uint32_t i) -> const D3DTLVERTEX& { return v[i]; });
}

int32_t Device::DrawIndexedPrimitive(uint32_t type, uint32_t fvf, void* vertices,
                                     uint32_t vertex_count, uint16_t* indices, uint32_t index_count,
                                     uint32_t) {
    if (fvf != D3DFVF_TLVERTEX) return D3DERR_INVALIDVERTEXTYPE;
    if (type < D3DPT_LINELIST || type > D3DPT_TRIANGLEFAN) return D3DERR_INVALIDPRIMITIVETYPE;
    if (!vertices || !indices || vertex_count > 65536) return DDERR_INVALIDPARAMS;
    for (uint32_t i = 0; i < index_count; ++i)
        if (indices[i] >= vertex_count) return DDERR_INVALIDPARAMS;
    const auto* v = static_cast<const D3DTLVERTEX*>(vertices);
    return draw(type, index_count,
                [v, indices](uint32_t i) -> const D3DTLVERTEX& { return v[indices[i]]; });
}

int32_t Device::clear(const Viewport& viewport, uint32_t count, const D3DRECT* rects,
                      uint32_t flags, uint32_t argb, float z, uint32_t) {
    if (!viewport.has_rect()) return DDERR_INVALIDPARAMS;
    if (count > 0 && !rects) return DDERR_INVALIDPARAMS;
    if (flags & D3DCLEAR_STENCIL) return D3DERR_STENCILBUFFER_NOTPRESENT;
    const D3DVIEWPORT2& v = viewport.rect();
    const int64_t vx0 = v.dwX, vy0 = v.dwY, vx1 = vx0 + v.dwWidth, vy1 = vy0 + v.dwHeight;
    Surface* zs = target_->z_buffer();
    const uint32_t color = PixelCodec(target_->format()).encode(argb);
    const float zc = std::isfinite(z) ? std::clamp(z, 0.0f, 1.0f) : 1.0f;
    uint32_t depth = 0;
    if (zs) {
        const double scale = format_bits(zs->format()) == 16 ? 65535.0 : 16777215.0;
        depth = uint32_t(std::lround(double(zc) * scale));
    }
    for (uint32_t i = 0; i < count; ++i) {
        const D3DRECT& r = rects[i];
        GfxRect g{int32_t(std::max<int64_t>(r.x1, vx0)), int32_t(std::max<int64_t>(r.y1, vy0)),
                  int32_t(std::min<int64_t>(r.x2, vx1)), int32_t(std::min<int64_t>(r.y2, vy1))};
        if (g.left >= g.right || g.top >= g.bottom) continue;
        if (DrawRecorder* recorder = draw_recorder())
            recorder->on_clear({g.left, g.top, g.right, g.bottom, (flags & D3DCLEAR_TARGET) != 0,
                                (flags & D3DCLEAR_ZBUFFER) != 0 && zs != nullptr, color, depth});
        DDBLTFX fx{};
        fx.dwSize = sizeof(fx);
        if (flags & D3DCLEAR_TARGET) {
            fx.dwFillColor = color;
            int32_t res = target_->Blt(&g, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
            if (failed(res) && res != DDERR_INVALIDRECT) return res;
        }
        if ((flags & D3DCLEAR_ZBUFFER) && zs) {
            fx.dwFillDepth = depth;
            int32_t res = zs->Blt(&g, nullptr, nullptr, DDBLT_DEPTHFILL | DDBLT_WAIT, &fx);
            if (failed(res) && res != DDERR_INVALIDRECT) return res;
        }
    }
    return D3D_OK;
}

} // namespace platform
