// Win32Dx5Renderer: the renderer interface over a Direct3D device (older interface) on the
// DirectDraw surfaces of a Direct3D display, with its texture factory and its own rasters
// (render-target viewports, textures, and rasters over single surfaces).
#pragma once

#include "framework/core/class_factory.h"
#include "media/display/displays/renderer_registration.h"
#include "media/display/renderer.h"
#include "media/raster/image_processor.h"
#include "platform/ddraw/dx5.h"

#include <vector>

inline constexpr GUID CLSID_Win32Dx5Renderer = om_guid("DEFF7B26-C84F-11D4-871E-00C04F7963BA");
// Answered by the renderer's texture and surface rasters.
inline constexpr GUID IID_IDx5Surface = om_guid("DF06A234-C84F-11D4-871E-00C04F7963BA");

// Device events sent to the renderer's rasters through SetProperty.
inline constexpr uint32_t OM_DX5_EVENT_RESTORE = 4097;
inline constexpr uint32_t OM_DX5_EVENT_RELEASE = 4098;
inline constexpr uint32_t OM_DX5_EVENT_CREATE = 4099;

// Texture raster properties.
inline constexpr uint32_t OM_DX5_TEXTURE_COPY = 10;   // keep a system-memory copy (0/1)
inline constexpr uint32_t OM_DX5_TEXTURE_LOAD = 11;   // load the copy into the device texture
inline constexpr uint32_t OM_DX5_TEXTURE_BUDGET = 14; // u32* memory budget, or null

struct IDx5Surface : IUnknown {
    // The DirectDraw surface the raster wraps (no reference added; null while it has none).
    virtual platform::dx5::IDirectDrawSurface3* Surface() = 0;
    // The device texture handle (0 for rasters that are no textures or have no texture).
    virtual uint32_t TextureHandle() = 0;
};

class Dx5Renderer;

// The description the texture factory completes and hands to a new raster.
struct Dx5Description {
    Dx5Renderer* renderer;
    uint32_t width, height, format, stride;
    uint8_t kind, flag5, mip_levels, byte16;
    uint8_t byte15, byte17; // three-state: 0, 1, 2 = not set
    int32_t word_cleared;
    uint8_t keep_copy; // three-state (property 10)
    uint8_t alpha_depth;
    uint8_t byte21, byte22, exact_size; // three-state
    uint32_t system_memory_only;
};

// Base of the renderer's rasters: the common fields, the listener link and the device events.
class Dx5RasterBase : public IRaster {
public:
    virtual OmResult ReleaseDeviceObjects() = 0;
    virtual OmResult CreateDeviceObjects() = 0;
    virtual OmResult RestoreSurface() = 0;
    virtual OmResult SetUp(const Dx5Description& description) = 0;
    virtual OmResult MakeCurrent() = 0;

    Dx5RasterBase* next = nullptr;
    Dx5RasterBase* previous = nullptr;
    bool linked = false;

protected:
    // Events and the common property reads; OM_E_FAIL for other ids.
    OmResult event(uint32_t id);
    OmResult common_property(uint32_t id, intptr_t* value);
    void link();
    void unlink();

    uint32_t format_ = 0;
    uint8_t kind_ = 0;
    uint8_t flag5_ = 0;
    Dx5Renderer* owner_ = nullptr;
};

class Dx5Renderer final : public OmObject<Dx5Renderer, IRenderer, IDx5RendererDevice> {
public:
    OmResult init();
    ~Dx5Renderer();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(
            iid, out,
            {{&IID_IRenderer, static_cast<IRenderer*>(this)},
             {&IID_IDx5RendererDevice, static_cast<IDx5RendererDevice*>(this)}});
    }

    // IRenderer
    OmResult Init(IRaster* display) override;
    IRaster* GetDisplay() override { return display_; }
    OmResult CreateTextureFactory(IRasterCreate** out) override;
    OmResult SetTarget(IRaster* target) override;
    IRaster* GetTarget() override { return target_; }
    OmResult BeginScene() override;
    OmResult EndScene() override;
    OmResult SetRenderState(uint32_t state, uintptr_t value) override;
    OmResult GetRenderState(uint32_t state, uintptr_t* value) override;
    OmResult DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                  const uint16_t* indices, uint32_t index_count,
                                  uint32_t flags) override;
    OmResult DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                           uint32_t flags) override;

    // IDx5RendererDevice
    OmResult ReleaseDevice() override;
    OmResult SetProperty(uint32_t id, void* value) override;
    OmResult GetProperty(uint32_t id, void** value) override;
    OmResult CreateDevice() override;

    // For the texture factory and the rasters.
    struct TextureFormat {
        platform::DDPIXELFORMAT pixel_format;
        uint32_t code;
    };
    const std::vector<TextureFormat>& texture_formats() const { return formats_; }
    // The best texture format for a request (0 = any) and an alpha depth; 0 when none fits.
    uint32_t choose_texture_format(uint32_t format, uint32_t alpha_depth) const;
    uint32_t smallest_side() const { return smallest_side_; }
    uint32_t largest_side() const { return largest_side_; }
    const platform::D3DDEVICEDESC& device_caps() const { return hal_; }
    platform::dx5::IDirect3DDevice2* device() const { return device_.get(); }
    platform::dx5::IDirect3D2* direct3d() const { return d3d_.get(); }
    IImageProc* image_proc() const { return image_proc_; }
    // Makes a surface (asked for the kept interface). DirectDraw's failure, OM_E_FAIL without
    // a DirectDraw object.
    OmResult create_surface(platform::DDSURFACEDESC2* desc,
                            platform::dx5::IDirectDrawSurface3** out);
    void set_target(IRaster* target) { target_ = target; }
    Dx5RasterBase*& listeners() { return listeners_; }
    uint8_t cached_state(uint32_t state) const { return cache_[state]; }

private:
    void reset_cache();
    void free_device();
    void send_event(uint32_t id);
    OmResult apply_texture();
    OmResult device_state(uint32_t state, uint32_t value);
    void set_default_states(bool straight);

    platform::ComPtr<platform::dx5::IDirectDraw2> dd_;
    platform::ComPtr<platform::dx5::IDirect3D2> d3d_;
    platform::ComPtr<platform::dx5::IDirectDrawSurface3> surface_;
    bool initialised_ = false;
    std::vector<TextureFormat> formats_;
    Dx5RasterBase* listeners_ = nullptr;
    platform::ComPtr<platform::dx5::IDirect3DDevice2> device_;
    platform::D3DDEVICEDESC hal_{};
    uint32_t smallest_side_ = 0;
    uint32_t largest_side_ = 0;
    uint32_t colour_key_textures_ = 0;
    uint32_t alpha_textures_ = 0;
    IRaster* texture_ = nullptr; // not referenced: a texture clears it as it goes
    IRaster* target_ = nullptr;  // not referenced: a viewport clears it as it goes
    IImageProc* image_proc_ = nullptr;
    uint32_t device_created_ = 0;
    IOmRendererRegistration* registration_ = nullptr;
    IRaster* display_ = nullptr;
    uint8_t cache_[OM_RENDER_STATE_COUNT];
};

// Makes the renderer's texture factory (bound to the renderer, referenced).
OmResult om_new_dx5_texture_factory(Dx5Renderer* renderer, IRasterCreate** out);
// Makes a viewport raster (kind 1) or a texture raster (kinds 3 and 6), not yet set up.
OmResult om_new_dx5_raster(uint8_t kind, Dx5RasterBase** out);

OM_DECLARE_MODULE(Win32Dx5Renderer);
