// The software renderers: scene and render-state handling, the triangle-routine tables, the
// texture factory that keeps textures at what the routines address, and the 8-bit palette.
#include "media/display/software_renderer.h"

#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"
#include "framework/platform/display_interface.h"
#include "media/display/sw_rasteriser.h"
#include "media/display/sw_texture_factory.h"
#include "media/raster/image_processor.h"
#include "media/raster/pixel_format.h"

#include <cmath>
#include <cstring>
#include <memory>

void sw8_build_palette(uint32_t colours[OM_PALETTE_ENTRIES]) {
    std::memset(colours, 0, OM_PALETTE_ENTRIES * sizeof(uint32_t));
    for (uint32_t k = 0; k < 235; ++k) {
        uint32_t q = uint32_t(uint64_t(k) * 0x200000u / 235u);
        uint32_t blue = ((q >> 14) & 0x7F) * 2, green = ((q >> 7) & 0x7F) * 2, red = (q & 0x7F) * 2;
        colours[10 + k] = 0xFF000000u | (red << 16) | (green << 8) | blue;
    }
}

namespace {

uint8_t nearest(const OmPaletteMatcher& m, uint32_t red, uint32_t green, uint32_t blue) {
    return om_palette_matcher_nearest(&m, uint8_t(red), uint8_t(green), uint8_t(blue));
}

} // namespace

void sw8_build_tables(const uint32_t colours[OM_PALETTE_ENTRIES], Sw8ColourTables* tables) {
    om_palette_matcher_build(&tables->matcher, colours, OM_PALETTE_ENTRIES);
    const OmPaletteMatcher& m = tables->matcher;
    for (uint32_t k = 0; k < 16; ++k) {
        float level = float(k) * (1.0f / 15.0f);
        for (uint32_t p = 0; p < 256; ++p) {
            uint32_t c = colours[p];
            auto scaled = [level](uint32_t channel) {
                return uint32_t(float(channel & 0xFF) * level + 0.5f);
            };
            tables->shade[k * 256 + p] = nearest(m, scaled(c >> 16), scaled(c >> 8), scaled(c));
        }
    }
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t ci = colours[i];
        for (uint32_t j = i; j < 256; ++j) {
            uint32_t cj = colours[j];
            auto product = [ci, cj](int shift) {
                return (((ci >> shift) & 0xFF) * ((cj >> shift) & 0xFF)) >> 8;
            };
            uint8_t index = nearest(m, product(16), product(8), product(0));
            tables->modulation[i * 256 + j] = index;
            tables->modulation[j * 256 + i] = index;
        }
    }
}

namespace {

template <class T>
void release(T*& held) {
    if (held) held->Release();
    held = nullptr;
}

constexpr uint8_t state_unknown = 255;
constexpr uint8_t state_special = 254;

// Mode flags of the triangle-routine tables.
constexpr uint32_t mode_textured = 1;
constexpr uint32_t mode_flat = 2;
constexpr uint32_t mode_blend = 4;
constexpr uint32_t mode_keyed = 8; // the texture has its colour key enabled

// What differs between the two renderers.
struct Sw16Traits {
    static constexpr bool eight = false;
    static constexpr uint32_t format = OM_FORMAT_RGB565;
    static constexpr uint32_t bytes = 2;
    static SwTargetState& state() { return sw16_state; }
    static SwTriangleRoutine routine(uint32_t mode) {
        return mode & mode_textured ? sw16_textured_triangle : sw16_flat_triangle;
    }
};

struct Sw8Traits {
    static constexpr bool eight = true;
    static constexpr uint32_t format = OM_FORMAT_PALETTE8;
    static constexpr uint32_t bytes = 1;
    static SwTargetState& state() { return sw8_state; }
    static SwTriangleRoutine routine(uint32_t mode) {
        if (!(mode & mode_textured)) return sw8_untextured_triangle;
        if (mode & mode_flat) return sw8_textured_flat_triangle;
        if (mode & mode_keyed) return sw8_textured_keyed_triangle;
        return sw8_textured_smooth_triangle;
    }
};

template <class Traits>
class SoftwareRenderer final : public OmObject<SoftwareRenderer<Traits>, IRenderer> {
public:
    SoftwareRenderer() {
        std::memset(cache_, state_unknown, sizeof cache_);
        cache_[1] = state_special;
        cache_[24] = state_special;
        const std::pair<uint32_t, uint8_t> initial[] = {{2, 0},  {3, 1},  {4, 1},  {5, 0},  {6, 0},
                                                        {7, 1},  {9, 2},  {14, 1}, {23, 2}, {28, 0},
                                                        {29, 0}, {44, 1}, {45, 1}};
        for (auto [state, value] : initial) cache_[state] = value;
        context_.set_viewport(1, 1, 638, 478);
        context_.set_interpolation_mode(9);
        for (uint32_t mode = 0; mode < 16; ++mode) table_[mode] = Traits::routine(mode);
    }
    ~SoftwareRenderer() {
        if (in_scene_ && target_) target_->Unlock();
        if (texture_) {
            texture_->Unlock();
            release(texture_);
        }
        release(target_);
        release(images_);
        release(display_);
        release(palette_);
        // The program-wide drawing state must not point into what this renderer held.
        if (in_scene_) Traits::state() = {};
        if (tables_ && sw8_tables.matcher == &tables_->matcher) sw8_tables = {};
    }

    OmResult init() {
        OmCreate(CLSID_ImageProc, IID_IImageProc, &images_);
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IRenderer, this}});
    }

    OmResult Init(IRaster* display) override {
        release(display_);
        release(palette_);
        if (display) {
            display->AddRef();
            display_ = display;
        } else {
            IDisplay* created = nullptr;
            OmResult r = OmCreate(CLSID_Display, IID_IDisplay, &created);
            if (r < 0) return r;
            r = created->SetMode(nullptr);
            if (r >= 0)
                r = created->QueryInterface(IID_IRaster, reinterpret_cast<void**>(&display_));
            created->Release();
            if (r < 0) {
                display_ = nullptr;
                return r;
            }
        }
        if constexpr (Traits::eight) {
            intptr_t value = 0;
            OmResult r = display_->GetProperty(OM_RASTER_PALETTE, &value);
            if (r >= 0 && !value) r = OM_E_FAIL;
            if (r < 0) {
                release(display_);
                return r;
            }
            palette_ = reinterpret_cast<IRaster*>(value);
            palette_->AddRef();
            if ((display_->GetFormat() & OM_PIXEL_DEPTH_MASK) != 8) {
                release(display_);
                release(palette_);
                return OM_E_FAIL;
            }
            if (!tables_) tables_ = std::make_unique<Sw8ColourTables>();
            uint32_t colours[OM_PALETTE_ENTRIES];
            sw8_build_palette(colours);
            write_palette(colours);
            sw8_build_tables(colours, tables_.get());
        } else {
            if (display_->GetFormat() != OM_FORMAT_RGB565) {
                release(display_);
                return OM_E_FAIL;
            }
        }
        initialised_ = true;
        select_routine();
        return OM_S_OK;
    }

    IRaster* GetDisplay() override { return display_; }

    OmResult CreateTextureFactory(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        return sw_create_texture_factory(Traits::format, out);
    }

    OmResult SetTarget(IRaster* target) override {
        if (in_scene_) return OM_E_FAIL;
        if (target) target->AddRef();
        release(target_);
        target_ = target;
        if (target_) context_.set_viewport(0, 0, target_->GetWidth(), target_->GetHeight());
        return OM_S_OK;
    }

    IRaster* GetTarget() override { return target_; }

    OmResult BeginScene() override {
        if (in_scene_ || !target_) return OM_E_FAIL;
        // The routines write pixels of the renderer's own depth.
        if ((target_->GetFormat() & OM_PIXEL_DEPTH_MASK) != Traits::bytes * 8) return OM_E_FAIL;
        void* pixels = nullptr;
        int32_t pitch = 0;
        OmResult r = target_->Lock(OM_LOCK_WRITE, &pixels, &pitch);
        if (r < 0) return r;
        in_scene_ = true;
        SwTargetState& state = Traits::state();
        state.base = static_cast<uint8_t*>(pixels);
        state.pitch = pitch;
        state.width = int32_t(target_->GetWidth());
        state.height = int32_t(target_->GetHeight());
        state.texture = texels_;
        if constexpr (Traits::eight) {
            if (tables_) sw8_tables = {&tables_->matcher, tables_->shade, tables_->modulation};
        }
        select_routine();
        return r;
    }

    OmResult EndScene() override {
        if (!in_scene_) return OM_E_FAIL;
        in_scene_ = false;
        target_->Unlock();
        Traits::state().base = nullptr;
        select_routine();
        return OM_S_OK;
    }

    OmResult SetRenderState(uint32_t state, uintptr_t value) override {
        if (state >= OM_RENDER_STATE_COUNT) return OM_E_FAIL;
        if (state == OM_RS_TEXTURE) return set_texture(reinterpret_cast<IRaster*>(value));
        if (cache_[state] == state_special) return OM_S_OK;
        uint8_t byte = uint8_t(value);
        if (cache_[state] == byte) return OM_S_OK;
        cache_[state] = byte;
        if (state == OM_RS_SHADE_MODE) {
            mode_ = byte == 1 ? mode_ | mode_flat : mode_ & ~mode_flat;
        } else if (state == OM_RS_ALPHA_BLEND_ENABLE) {
            mode_ = byte ? mode_ | mode_blend : mode_ & ~mode_blend;
        } else {
            return OM_E_FAIL;
        }
        select_routine();
        return OM_S_OK;
    }

    OmResult GetRenderState(uint32_t state, uintptr_t* value) override {
        if (state >= OM_RENDER_STATE_COUNT || !value) return OM_E_FAIL;
        if (state == OM_RS_TEXTURE) {
            *value = reinterpret_cast<uintptr_t>(texture_);
            return OM_S_OK;
        }
        uint8_t byte = cache_[state];
        if (byte != state_special && byte != state_unknown) *value = byte;
        return OM_S_OK;
    }

    OmResult DrawIndexedPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                                  const uint16_t* indices, uint32_t index_count,
                                  uint32_t flags) override {
        if (!is_triangles(type)) return OM_S_OK;
        if ((count && !vertices) || (index_count && !indices)) return OM_E_FAIL;
        for (uint32_t k = 0; k < index_count; ++k)
            if (indices[k] >= count) return OM_E_FAIL;
        if (!(flags & OM_DRAW_DONOTCLIP)) {
            int test = context_.clip_test(vertices, count);
            if (test == SW_CLIP_OUTSIDE) return OM_S_OK;
            if (test == SW_CLIP_PARTLY)
                return draw_clipped(
                    context_.clip_indexed_primitive(type, vertices, count, indices, index_count));
        }
        draw(type, vertices, indices, index_count);
        return OM_S_OK;
    }

    OmResult DrawPrimitive(uint32_t type, const OmTLVertex* vertices, uint32_t count,
                           uint32_t flags) override {
        if (!is_triangles(type)) return OM_S_OK;
        if (count && !vertices) return OM_E_FAIL;
        if (!(flags & OM_DRAW_DONOTCLIP)) {
            int test = context_.clip_test(vertices, count);
            if (test == SW_CLIP_OUTSIDE) return OM_S_OK;
            if (test == SW_CLIP_PARTLY)
                return draw_clipped(context_.clip_primitive(type, vertices, count));
        }
        draw(type, vertices, nullptr, count);
        return OM_S_OK;
    }

private:
    static bool is_triangles(uint32_t type) {
        return type == OM_PRIMITIVE_TRIANGLE_LIST || type == OM_PRIMITIVE_TRIANGLE_STRIP ||
               type == OM_PRIMITIVE_TRIANGLE_FAN;
    }

    OmResult draw_clipped(OmResult clipped) {
        if (clipped < 0) return clipped;
        if (clipped != OM_S_OK) return OM_S_OK; // nothing left inside
        uint32_t type, vertex_count, index_count;
        const OmTLVertex* vertices;
        const uint16_t* indices;
        context_.clipped_output(&type, &vertices, &vertex_count, &indices, &index_count);
        draw(type, vertices, indices, index_count);
        return OM_S_OK;
    }

    // Hands each triangle to the current routine in the drawing order of the primitive type.
    void draw(uint32_t type, const OmTLVertex* v, const uint16_t* indices, uint32_t count) {
        auto at = [v, indices](uint32_t k) { return v + (indices ? indices[k] : k); };
        SwTriangleRoutine routine = routine_;
        switch (type) {
        case OM_PRIMITIVE_TRIANGLE_LIST:
            for (uint32_t k = 0; k + 3 <= count; k += 3) routine(at(k), at(k + 2), at(k + 1));
            break;
        case OM_PRIMITIVE_TRIANGLE_STRIP:
            for (uint32_t k = 0; k + 2 < count; ++k) {
                if (k % 2 == 0)
                    routine(at(k), at(k + 2), at(k + 1));
                else
                    routine(at(k), at(k + 1), at(k + 2));
            }
            break;
        case OM_PRIMITIVE_TRIANGLE_FAN:
            for (uint32_t k = 1; k + 1 < count; ++k) routine(at(0), at(k + 1), at(k));
            break;
        default: break;
        }
    }

    void select_routine() {
        routine_ = in_scene_ && target_ && initialised_ ? table_[mode_] : sw_draw_nothing;
    }

    // The routines address 128 x 128 texels of the renderer's format, rows 128 texels apart;
    // any other raster is refused and the current texture kept.
    OmResult set_texture(IRaster* texture) {
        if (texture == texture_) return OM_S_OK;
        void* pixels = nullptr;
        if (texture) {
            if (texture->GetWidth() != SW_TEXTURE_SIDE || texture->GetHeight() != SW_TEXTURE_SIDE ||
                texture->GetFormat() != Traits::format)
                return OM_E_FAIL;
            int32_t stride = 0;
            OmResult r = texture->Lock(OM_LOCK_READ, &pixels, &stride);
            if (r < 0) return r;
            if (stride != int32_t(SW_TEXTURE_SIDE * Traits::bytes) || !pixels) {
                texture->Unlock();
                return OM_E_FAIL;
            }
            texture->AddRef();
        }
        if (texture_) {
            texture_->Unlock();
            release(texture_);
        }
        texture_ = texture;
        texels_ = pixels;
        if (texture) {
            intptr_t keyed = 0;
            mode_ |= mode_textured;
            if (texture->GetProperty(OM_RASTER_COLOUR_KEY_ENABLED, &keyed) >= 0 && keyed)
                mode_ |= mode_keyed;
            else
                mode_ &= ~mode_keyed;
        } else {
            mode_ &= ~(mode_textured | mode_keyed);
        }
        if (in_scene_) Traits::state().texture = texels_;
        select_routine();
        return OM_S_OK;
    }

    // Copies the colours into the display's palette object.
    void write_palette(const uint32_t* colours) {
        void* pixels = nullptr;
        int32_t stride = 0;
        if (palette_->Lock(OM_LOCK_READ_WRITE, &pixels, &stride) < 0) return;
        uint32_t count = std::min<uint32_t>(palette_->GetWidth(), OM_PALETTE_ENTRIES);
        if (pixels && (palette_->GetFormat() & OM_PIXEL_DEPTH_MASK) == 32)
            std::memcpy(pixels, colours, count * sizeof(uint32_t));
        palette_->Unlock();
    }

    uint8_t cache_[OM_RENDER_STATE_COUNT];
    SwTriangleRoutine table_[16];
    SwTriangleRoutine routine_ = sw_draw_nothing;
    uint32_t mode_ = 0;
    bool in_scene_ = false;
    bool initialised_ = false;
    IRaster* texture_ = nullptr;
    const void* texels_ = nullptr;
    IRaster* target_ = nullptr;
    IImageProc* images_ = nullptr;
    IRaster* display_ = nullptr;
    IRaster* palette_ = nullptr;
    SwRasteriserContext context_;
    std::unique_ptr<Sw8ColourTables> tables_;
};

const GUID* const categories[] = {&CATID_OrmicRenderer, nullptr};

const OmClassRecord sw16_classes[] = {
    {&CLSID_Sw16Renderer, categories, nullptr, OmCreateComponent<SoftwareRenderer<Sw16Traits>>,
     "Sw16Renderer"},
};
const OmClassRecord sw8_classes[] = {
    {&CLSID_Sw8Renderer, categories, nullptr, OmCreateComponent<SoftwareRenderer<Sw8Traits>>,
     "Sw8Renderer"},
};

} // namespace

OM_DEFINE_MODULE(Sw16Renderer, sw16_classes)
OM_DEFINE_MODULE(Sw8Renderer, sw8_classes)
