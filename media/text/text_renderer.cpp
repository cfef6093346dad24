// TextRenderer: lines of text as textured quads through a renderer, one draw per run of
// glyphs on the same cache page.
#include "media/text/text_renderer.h"

#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "media/text/shared_os_reference.h"
#include "media/text/text_font_binding.h"

#include <array>

namespace {

constexpr uint32_t max_quads = 128;
constexpr int32_t page_side = 128;
constexpr uint32_t default_page_limit = 30;
constexpr float default_pen = 50.0f;
constexpr uint32_t opaque = 0xFF000000u;
constexpr uint32_t white = 0xFFFFFFFFu;
constexpr uint32_t black = 0xFF000000u;
constexpr float glyph_z = 0.5f;
constexpr float background_z = 0.6f;
constexpr float pixel_centre = 0.5f;
// Texture coordinates pulled inside the glyph so that filtering does not reach neighbours.
constexpr float inset_left = 0.6f;
constexpr float inset = 0.65f;
constexpr uint32_t shade_flat = 1;
// Page description properties the renderer's texture factory takes.
constexpr uint32_t factory_keep_copy = 10;

// Two triangles per quad over vertices 4i .. 4i + 3, shared by every instance.
const std::array<uint16_t, max_quads * 6>& quad_indices() {
    static const std::array<uint16_t, max_quads* 6> table = [] {
        std::array<uint16_t, max_quads * 6> t{};
        for (uint32_t i = 0; i < max_quads; ++i) {
            uint16_t v = uint16_t(4 * i);
            uint16_t quad[6] = {uint16_t(v + 1), uint16_t(v + 3), v, v,
                                uint16_t(v + 3), uint16_t(v + 2)};
            for (int k = 0; k < 6; ++k) t[6 * i + k] = quad[k];
        }
        return t;
    }();
    return table;
}

class TextRenderer final : public OmObject<TextRenderer, ITextRenderer>, OmTextFontHolder {
public:
    OmResult init() {
        quad_indices();
        Reset();
        return OM_S_OK;
    }
    ~TextRenderer() {
        release_font_and_cache();
        if (factory_) factory_->Release();
        if (renderer_) renderer_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITextRenderer, this}});
    }

    OmResult Reset() override {
        pen_x_ = pen_y_ = default_pen;
        colour_ = white;
        background_ = black;
        in_batch_ = false;
        draw_spaces_ = false;
        background_box_ = false;
        return OM_S_OK;
    }

    OmResult SetFont(IFont* font) override { return set_text_font(font, in_batch_); }
    OmResult GetFont(IFont** out) override { return get_text_font(out); }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        switch (id) {
        case OM_TEXT_COLOUR: colour_ = uint32_t(value) | opaque; break;
        case OM_TEXT_BACKGROUND: background_ = uint32_t(value) | opaque; break;
        case OM_TEXT_TEXEL_INSET: texel_inset_ = int32_t(value); break;
        case OM_TEXT_SLANT: slant_ = int32_t(value); break;
        case OM_TEXT_BACKGROUND_BOX: background_box_ = int32_t(value); break;
        case OM_TEXT_DRAW_SPACES: draw_spaces_ = int32_t(value); break;
        case OM_TEXT_PAGE_PROPERTY: page_property_ = int32_t(value); break;
        case OM_TEXT_PEN_X: pen_x_ = om_text_value_float(value); break;
        case OM_TEXT_PEN_Y: pen_y_ = om_text_value_float(value); break;
        case OM_TEXT_RENDERER: return SetRenderer(reinterpret_cast<IRenderer*>(value));
        case OM_TEXT_CACHE: return set_cache(reinterpret_cast<IFontCache*>(value));
        default: return OM_E_FAIL;
        }
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (!value) return OM_E_FAIL;
        switch (id) {
        case OM_TEXT_COLOUR: *value = colour_; break;
        case OM_TEXT_BACKGROUND: *value = background_; break;
        case OM_TEXT_TEXEL_INSET: *value = texel_inset_; break;
        case OM_TEXT_SLANT: *value = slant_; break;
        case OM_TEXT_BACKGROUND_BOX: *value = background_box_; break;
        case OM_TEXT_DRAW_SPACES: *value = draw_spaces_; break;
        case OM_TEXT_PAGE_PROPERTY: *value = page_property_; break;
        case OM_TEXT_PEN_X: *value = om_text_float_value(pen_x_); break;
        case OM_TEXT_PEN_Y: *value = om_text_float_value(pen_y_); break;
        case OM_TEXT_RENDERER: *value = reinterpret_cast<intptr_t>(renderer_); break;
        default: return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult DrawText(const uint16_t* text) override {
        if (!renderer_ || !cache_ || !text) return OM_E_FAIL;
        intptr_t size = 0;
        if (const OmResult r = ready_text_font(&size); r < 0) return r;
        IRaster* page;
        OmRect rect;
        if (!in_batch_) {
            for (const uint16_t* c = text; *c; ++c) cache_->GetGlyph(font_, *c, &page, &rect);
            return OM_S_OK;
        }
        Line line{};
        line.top = pen_y_;
        line.bottom = pen_y_ + float(size);
        line.slant = slant_ ? float(size) / 3.0f : 0.0f;
        uintptr_t saved_shade = 0;
        renderer_->GetRenderState(OM_RS_SHADE_MODE, &saved_shade);
        renderer_->SetRenderState(OM_RS_SHADE_MODE, shade_flat);
        float start_x = pen_x_;
        OmResult result = OM_S_OK;
        for (const uint16_t* c = text; *c && line.quads < max_quads; ++c) {
            OmResult r = cache_->GetGlyph(font_, *c, &page, &rect);
            if (r == OM_E_FONT_CACHE_FULL) {
                cache_full_ = true;
                pen_x_ += float(rect.width);
                continue;
            }
            if (r < 0) {
                result = r;
                break;
            }
            if (*c == ' ' && !draw_spaces_) {
                pen_x_ += float(rect.width);
                continue;
            }
            if (line.quads && page != line.page) flush(line);
            line.page = page;
            add_quad(line, rect);
        }
        flush(line);
        if (background_box_ && pen_x_ > start_x) draw_background(start_x, line);
        renderer_->SetRenderState(OM_RS_SHADE_MODE, saved_shade);
        return result;
    }

    OmResult Empty(intptr_t) override { return OM_S_OK; }

    OmResult Begin() override {
        in_batch_ = true;
        if (!cache_) return OM_S_OK;
        cache_->BeginBatch();
        if (cache_full_ && previous_full_) cache_->Clear();
        previous_full_ = cache_full_;
        cache_full_ = false;
        return OM_S_OK;
    }
    OmResult End() override {
        in_batch_ = false;
        if (cache_) cache_->EndBatch();
        return OM_S_OK;
    }

    OmResult SetRenderer(IRenderer* renderer) override {
        if (!renderer) return OM_E_FAIL;
        renderer->AddRef();
        if (renderer_) renderer_->Release();
        renderer_ = renderer;
        IRasterCreate* factory = nullptr;
        OmResult r = renderer_->CreateTextureFactory(&factory);
        if (r < 0) return r;
        factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
        factory->SetProperty(factory_keep_copy, 1);
        factory->SetProperty(OM_RASTER_MIP_LEVELS, 1);
        factory->SetProperty(OM_RASTER_WIDTH, page_side);
        factory->SetProperty(OM_RASTER_HEIGHT, page_side);
        factory->SetProperty(OM_RASTER_FORMAT_PREFERENCE, page_property_);
        if (factory_) factory_->Release();
        factory_ = factory;
        if (!cache_) {
            if ((r = OmCreate(CLSID_SimpleFontCache, IID_IFontCache, &cache_)) < 0) return r;
            cache_->SetProperty(OM_FONT_CACHE_PAGE_LIMIT, default_page_limit);
        }
        r = cache_->SetTarget(factory_);
        return r < 0 ? r : OM_S_OK;
    }

private:
    // The quads of one line waiting to be drawn.
    struct Line {
        float top;
        float bottom;
        float slant;
        IRaster* page;
        uint32_t quads;
    };

    OmResult set_cache(IFontCache* cache) {
        if (!cache) return OM_E_FAIL;
        hold_text_cache(cache);
        IRasterCreate* target = nullptr;
        if (factory_ && (cache_->GetTarget(&target) < 0 || !target)) cache_->SetTarget(factory_);
        return OM_S_OK;
    }

    void add_quad(Line& line, const OmRect& rect) {
        float u0, u1, v0, v1;
        if (texel_inset_) {
            u0 = (float(rect.x) + inset_left) / page_side;
            u1 = (float(rect.x + rect.width) - inset) / page_side;
            v0 = (float(rect.y) + inset) / page_side;
            v1 = (float(rect.y + rect.height) - inset) / page_side;
        } else {
            u0 = float(rect.x) / page_side;
            u1 = float(rect.x + rect.width) / page_side;
            v0 = float(rect.y) / page_side;
            v1 = float(rect.y + rect.height) / page_side;
        }
        OmTLVertex* v = &vertices_[4 * line.quads];
        v[0] = vertex(pen_x_, line.bottom, glyph_z, colour_, u0, v1);
        v[1] = vertex(pen_x_ + line.slant, line.top, glyph_z, colour_, u0, v0);
        pen_x_ += float(rect.width);
        v[2] = vertex(pen_x_, line.bottom, glyph_z, colour_, u1, v1);
        v[3] = vertex(pen_x_ + line.slant, line.top, glyph_z, colour_, u1, v0);
        ++line.quads;
    }

    void flush(Line& line) {
        if (!line.quads) return;
        renderer_->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(line.page));
        renderer_->DrawIndexedPrimitive(OM_PRIMITIVE_TRIANGLE_LIST, vertices_.data(),
                                        4 * line.quads, quad_indices().data(), 6 * line.quads, 0);
        line.quads = 0;
    }

    void draw_background(float start_x, const Line& line) {
        OmTLVertex box[4] = {
            vertex(start_x, line.bottom, background_z, background_, 0, 0),
            vertex(start_x, line.top, background_z, background_, 0, 0),
            vertex(pen_x_, line.bottom, background_z, background_, 0, 0),
            vertex(pen_x_, line.top, background_z, background_, 0, 0),
        };
        renderer_->SetRenderState(OM_RS_TEXTURE, 0);
        renderer_->DrawIndexedPrimitive(OM_PRIMITIVE_TRIANGLE_LIST, box, 4, quad_indices().data(),
                                        6, 0);
    }

    static OmTLVertex vertex(float x, float y, float z, uint32_t colour, float u, float v) {
        return {x - pixel_centre, y - pixel_centre, z, 1.0f, colour, 0, u, v};
    }

    OmSharedOSReference os_;
    bool in_batch_ = false;
    bool cache_full_ = false;
    bool previous_full_ = false;
    int32_t draw_spaces_ = 0;
    int32_t background_box_ = 0;
    IRenderer* renderer_ = nullptr;
    float pen_x_ = default_pen;
    float pen_y_ = default_pen;
    uint32_t colour_ = white;
    uint32_t background_ = black;
    int32_t texel_inset_ = 0;
    int32_t slant_ = 0;
    int32_t page_property_ = 1;
    IRasterCreate* factory_ = nullptr;
    std::array<OmTLVertex, 4 * max_quads> vertices_{};
};

const OmClassRecord classes[] = {
    {&CLSID_TextRenderer, nullptr, nullptr, OmCreateComponent<TextRenderer>, "TextRenderer"},
};

} // namespace

OM_DEFINE_MODULE(TextRenderer, classes)
