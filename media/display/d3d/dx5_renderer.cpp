// Win32Dx5Renderer: device creation over the display's surfaces, the texture-format list and
// its scoring, the render-state cache and the draw calls.
#include "media/display/d3d/dx5_renderer.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/display_interface.h"
#include "media/display/d3d/pixel_format_id.h"
#include "media/display/displays/display_classes.h"

#include <algorithm>
#include <bit>

namespace dx5 = platform::dx5;

namespace {

constexpr uint8_t kUnknown = 255;
constexpr uint8_t kNotCached = 254;

int32_t collect_format(platform::DDPIXELFORMAT* format, void* context) {
    auto* list = static_cast<std::vector<Dx5Renderer::TextureFormat>*>(context);
    const uint32_t code = om_identify_pixel_format(*format);
    if (code != 0) list->push_back({*format, code});
    return platform::D3DENUMRET_OK;
}

} // namespace

OmResult Dx5Renderer::init() {
    reset_cache();
    return OmCreate(CLSID_ImageProc, IID_IImageProc, &image_proc_);
}

void Dx5Renderer::reset_cache() {
    std::fill(std::begin(cache_), std::end(cache_), kUnknown);
    cache_[OM_RS_TEXTURE] = kNotCached;
    cache_[OM_RS_ALPHA_REF] = kNotCached;
    cache_[OM_RS_FOG_COLOUR] = kNotCached;
    const uint8_t initial[][2] = {{2, 0},  {3, 1},  {4, 1},  {5, 0},  {6, 0},
                                  {7, 1},  {8, 3},  {9, 2},  {14, 1}, {22, 3},
                                  {23, 2}, {28, 0}, {29, 0}, {44, 1}, {45, 1}};
    for (const auto& [state, value] : initial) cache_[state] = value;
}

Dx5Renderer::~Dx5Renderer() {
    if (device_) ReleaseDevice();
    if (registration_) registration_->UnregisterRenderer(static_cast<IRenderer*>(this));
    if (display_) display_->Release();
    if (registration_) registration_->Release();
    if (image_proc_) image_proc_->Release();
    formats_.clear();
}

OmResult Dx5Renderer::Init(IRaster* display) {
    if (initialised_) return OM_E_FAIL;
    if (display) {
        display->AddRef();
        display_ = display;
    } else {
        ComRef<IDisplay> own;
        OmResult r = OmCreate(CLSID_Win32Dx5Display, IID_IDisplay, own.put());
        if (r < 0) return r;
        r = own->SetMode(nullptr);
        if (r < 0) return r;
        r = own->QueryInterface(IID_IRaster, reinterpret_cast<void**>(&display_));
        if (r < 0) return r;
    }
    OmResult r = display_->QueryInterface(IID_IOmRendererRegistration,
                                          reinterpret_cast<void**>(&registration_));
    if (r < 0) {
        display_->Release();
        display_ = nullptr;
        return r;
    }
    initialised_ = true;
    r = registration_->RegisterRenderer(static_cast<IRenderer*>(this));
    if (r < 0) {
        registration_->Release();
        registration_ = nullptr;
        display_->Release();
        display_ = nullptr;
        initialised_ = false;
        return r;
    }
    return OM_S_OK;
}

OmResult Dx5Renderer::CreateTextureFactory(IRasterCreate** out) {
    if (!out) return OM_E_FAIL;
    return om_new_dx5_texture_factory(this, out);
}

OmResult Dx5Renderer::SetTarget(IRaster* target) {
    if (!target) {
        target_ = nullptr;
        return OM_S_OK;
    }
    // Only the renderer's own viewport rasters can become the target.
    ComRef<IDx5Surface> surface;
    for (Dx5RasterBase* r = listeners_; r; r = r->next)
        if (static_cast<IRaster*>(r) == target) return r->MakeCurrent();
    return OM_E_FAIL;
}

OmResult Dx5Renderer::BeginScene() {
    if (!device_) return OM_E_FAIL;
    int32_t r = device_->BeginScene();
    return platform::failed(r) ? r : OM_S_OK;
}

OmResult Dx5Renderer::EndScene() {
    if (!device_) return OM_E_FAIL;
    device_->EndScene();
    return OM_S_OK;
}

OmResult Dx5Renderer::device_state(uint32_t state, uint32_t value) {
    if (!device_) return OM_E_FAIL;
    return device_->SetRenderState(state, value);
}

OmResult Dx5Renderer::SetRenderState(uint32_t state, uintptr_t value) {
    if (state >= OM_RENDER_STATE_COUNT) return OM_E_FAIL;
    const uint8_t c = cache_[state];
    if (c != kNotCached) {
        if (c == uint8_t(value)) return OM_S_OK;
        OmResult r = device_state(state, uint32_t(value));
        if (r >= 0) cache_[state] = uint8_t(value);
        return r;
    }
    if (state == OM_RS_TEXTURE) {
        auto* texture = reinterpret_cast<IRaster*>(value);
        if (texture == texture_) return OM_S_OK;
        texture_ = texture;
        return apply_texture();
    }
    if (state == OM_RS_FOG_COLOUR) {
        const auto* colour = reinterpret_cast<const OmColour*>(value);
        if (!colour) return OM_E_FAIL;
        return device_state(state, 0xFF000000u | uint32_t(colour->red) << 16 |
                                       uint32_t(colour->green) << 8 | colour->blue);
    }
    return device_state(state, uint32_t(value));
}

OmResult Dx5Renderer::GetRenderState(uint32_t state, uintptr_t* value) {
    if (state >= OM_RENDER_STATE_COUNT || !value) return OM_E_FAIL;
    const uint8_t c = cache_[state];
    if (c < kNotCached) {
        *value = c;
        return OM_S_OK;
    }
    if (state == OM_RS_TEXTURE && c == kNotCached) {
        *value = reinterpret_cast<uintptr_t>(texture_);
        return OM_S_OK;
    }
    if (!device_) return OM_E_FAIL;
    uint32_t answer = 0;
    int32_t r = device_->GetRenderState(state, &answer);
    if (platform::failed(r)) return r;
    if (c == kUnknown) cache_[state] = uint8_t(answer);
    if (state == OM_RS_FOG_COLOUR && c == kNotCached) {
        // The fog colour goes back as a colour record in the value's bytes.
        const OmColour colour{uint8_t(answer), uint8_t(answer >> 8), uint8_t(answer >> 16), 255};
        *value = om_colour_word(colour);
        return OM_S_OK;
    }
    *value = c == kUnknown ? uint8_t(answer) : answer;
    return OM_S_OK;
}

OmResult Dx5Renderer::apply_texture() {
    if (!device_) return OM_S_OK;
    if (!texture_) {
        device_state(OM_RS_ALPHA_BLEND_ENABLE, 0);
        return device_state(OM_RS_TEXTURE, 0);
    }
    device_state(OM_RS_ALPHA_BLEND_ENABLE, (texture_->GetFormat() & OM_PIXEL_ALPHA) ? 1 : 0);
    ComRef<IDx5Surface> surface;
    uint32_t handle = 0;
    if (texture_->QueryInterface(IID_IDx5Surface, surface.put_void()) >= 0)
        handle = surface->TextureHandle();
    return device_state(OM_RS_TEXTURE, handle);
}

OmResult Dx5Renderer::DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices,
                                           uint32_t count, const uint16_t* indices,
                                           uint32_t index_count, uint32_t flags) {
    if (!device_) return OM_E_FAIL;
    return device_->DrawIndexedPrimitive(type, dx5::D3DVT_TLVERTEX,
                                         const_cast<OmTLVertex*>(vertices), count,
                                         const_cast<uint16_t*>(indices), index_count, flags);
}

OmResult Dx5Renderer::DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                    uint32_t flags) {
    if (!device_) return OM_E_FAIL;
    return device_->DrawPrimitive(type, dx5::D3DVT_TLVERTEX, const_cast<OmTLVertex*>(vertices),
                                  count, flags);
}

OmResult Dx5Renderer::SetProperty(uint32_t id, void* value) {
    if (id == OM_DX5_PROPERTY_DIRECTDRAW) {
        auto* draw = static_cast<dx5::IDirectDraw2*>(value);
        if (draw) draw->AddRef();
        if (dd_) surface_.reset();
        dd_.reset(draw);
        return OM_S_OK;
    }
    if (id == OM_DX5_PROPERTY_RENDER_TARGET) {
        auto* surface = static_cast<dx5::IDirectDrawSurface3*>(value);
        if (surface) surface->AddRef();
        surface_.reset(surface);
        return OM_S_OK;
    }
    return OM_E_FAIL;
}

OmResult Dx5Renderer::GetProperty(uint32_t id, void** value) {
    if (!value) return OM_E_FAIL;
    if (id == OM_DX5_PROPERTY_DIRECTDRAW) {
        *value = dd_.get();
        return OM_S_OK;
    }
    if (id == OM_DX5_PROPERTY_RENDER_TARGET) {
        *value = surface_.get();
        return OM_S_OK;
    }
    return OM_E_FAIL;
}

void Dx5Renderer::send_event(uint32_t id) {
    for (Dx5RasterBase* r = listeners_; r;) {
        Dx5RasterBase* next = r->next;
        r->SetProperty(id, 0);
        r = next;
    }
}

void Dx5Renderer::free_device() {
    formats_.clear();
    send_event(OM_DX5_EVENT_RELEASE);
    device_.reset();
    d3d_.reset();
    surface_.reset();
    dd_.reset();
}

OmResult Dx5Renderer::ReleaseDevice() {
    if (!device_) return OM_E_FAIL;
    free_device();
    device_created_ = 0;
    return OM_S_OK;
}

void Dx5Renderer::set_default_states(bool straight) {
    const platform::D3DPRIMCAPS& tri = hal_.dpcTriCaps;
    auto set = [&](uint32_t state, uint32_t value) {
        if (straight)
            device_state(state, value);
        else
            SetRenderState(state, value);
    };
    set(OM_RS_ALPHA_REF, 0);
    if (tri.dwAlphaCmpCaps & (platform::D3DPCMPCAPS_GREATER | platform::D3DPCMPCAPS_NOTEQUAL)) {
        set(OM_RS_ALPHA_TEST_ENABLE, 1);
        set(OM_RS_ALPHA_FUNC, (tri.dwAlphaCmpCaps & platform::D3DPCMPCAPS_GREATER) ? 5 : 6);
    } else {
        set(OM_RS_ALPHA_TEST_ENABLE, 0);
        set(OM_RS_ALPHA_FUNC, 8);
    }
    set(OM_RS_SRC_BLEND, OM_BLEND_SRC_ALPHA);
    set(OM_RS_DEST_BLEND, OM_BLEND_INV_SRC_ALPHA);
    set(OM_RS_TEXTURE_MAP_BLEND,
        (tri.dwTextureBlendCaps & platform::D3DPTBLENDCAPS_MODULATEALPHA) ? 4 : 2);
}

OmResult Dx5Renderer::CreateDevice() {
    if (device_created_) return OM_S_OK;
    if (!surface_ || !dd_) return OM_E_FAIL;
    int32_t r = dd_->QueryInterface(dx5::IID_IDirect3D2, reinterpret_cast<void**>(d3d_.put()));
    if (platform::failed(r)) {
        surface_.reset();
        dd_.reset();
        return r;
    }
    platform::ComPtr<dx5::IDirectDrawSurface3> target;
    r = surface_->QueryInterface(dx5::IID_IDirectDrawSurface,
                                 reinterpret_cast<void**>(target.put()));
    if (platform::failed(r)) return r;
    r = d3d_->CreateDevice(platform::IID_IDirect3DHALDevice, target.get(), device_.put());
    if (platform::failed(r))
        r = d3d_->CreateDevice(platform::IID_IDirect3DRGBDevice, target.get(), device_.put());
    if (platform::failed(r)) return r;

    platform::D3DDEVICEDESC hal{}, hel{};
    hal.dwSize = hel.dwSize = sizeof(platform::D3DDEVICEDESC);
    r = device_->GetCaps(&hal, &hel);
    if (platform::failed(r)) {
        device_.reset();
        return r;
    }
    hal_ = hal;
    smallest_side_ = std::max({hal.dwMinTextureWidth, hal.dwMinTextureHeight, 2u});
    largest_side_ = std::min(hal.dwMaxTextureWidth, hal.dwMaxTextureHeight);
    if (largest_side_ < smallest_side_) {
        device_.reset();
        return OM_E_FAIL;
    }
    formats_.clear();
    device_->EnumTextureFormats(collect_format, &formats_);
    colour_key_textures_ =
        (hal.dpcTriCaps.dwTextureCaps & platform::D3DPTEXTURECAPS_TRANSPARENCY) ? 1 : 0;
    alpha_textures_ =
        (hal.dpcTriCaps.dwTextureCaps & platform::D3DPTEXTURECAPS_ALPHA) &&
                (hal.dpcTriCaps.dwTextureBlendCaps & platform::D3DPTBLENDCAPS_MODULATEALPHA)
            ? 1
            : 0;
    if (!alpha_textures_)
        std::erase_if(formats_, [](const TextureFormat& f) { return f.code & OM_PIXEL_ALPHA; });
    if (formats_.empty()) {
        device_.reset();
        return OM_E_FAIL;
    }

    set_default_states(false);
    for (uint32_t state = 0; state < OM_RENDER_STATE_COUNT; ++state)
        if (cache_[state] < kNotCached) device_state(state, cache_[state]);
    set_default_states(true);
    send_event(OM_DX5_EVENT_CREATE);
    if (target_) SetTarget(target_);
    apply_texture();
    device_created_ = 1;
    return OM_S_OK;
}

uint32_t Dx5Renderer::choose_texture_format(uint32_t format, uint32_t alpha_depth) const {
    const uint32_t display_bits = display_ ? (display_->GetFormat() & 0xFF) : 0;
    int best_score = 0;
    uint32_t best = 0;
    for (const TextureFormat& f : formats_) {
        if (format != 0 && (f.code & 0xFF) != (format & 0xFF)) continue;
        int score = (f.code & 0xFF) == display_bits ? 2 : 1;
        const bool has_alpha = (f.code & OM_PIXEL_ALPHA) != 0;
        if (alpha_depth == 0 && !has_alpha) score += 16;
        if (alpha_depth != 0 && has_alpha) {
            score += 16;
            if (alpha_depth >= 2 && std::popcount(f.pixel_format.dwRGBAlphaBitMask) > 1)
                score += 16;
        }
        if (score > best_score) {
            best_score = score;
            best = f.code;
        }
    }
    return best;
}

OmResult Dx5Renderer::create_surface(platform::DDSURFACEDESC2* desc,
                                     dx5::IDirectDrawSurface3** out) {
    if (!dd_) return OM_E_FAIL;
    platform::ComPtr<dx5::IDirectDrawSurface3> made;
    int32_t r = dd_->CreateSurface(desc, made.put());
    if (platform::failed(r)) return r;
    return made->QueryInterface(dx5::IID_IDirectDrawSurface3, reinterpret_cast<void**>(out));
}

namespace {

const GUID* const renderer_categories[] = {&CATID_OrmicRenderer, nullptr};

const OmClassRecord classes[] = {
    {&CLSID_Win32Dx5Renderer, renderer_categories, nullptr, OmCreateComponent<Dx5Renderer>,
     "Win32Dx5Renderer"},
};

} // namespace

OM_DEFINE_MODULE(Win32Dx5Renderer, classes)
