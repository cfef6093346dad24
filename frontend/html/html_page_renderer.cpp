// The page renderer of HTMLBrowser: walks a laid-out document and draws its backgrounds,
// glyphs and pictures as screen quads through the renderer.
#include "frontend/html/html_page_renderer.h"

#include "framework/core/com_ref.h"
#include "frontend/html/html_page_walk.h"

namespace {

// Render state cleared before every background quad.
constexpr uint32_t state_background_42 = 42;
// Texture addressing states saved, set to 3 and restored around a page in texturemode 2.
constexpr uint32_t texturemode_wrap = 2;
constexpr uintptr_t address_clamp = 3;
constexpr uint32_t flat_shading = 1;
constexpr uint32_t glyph_filter = 1;
constexpr float glyph_texel = 1.0f / float(HTML_GLYPH_PAGE_SIDE);
constexpr uint32_t opaque = 0xFF000000u;
constexpr uint32_t white = 0xFFFFFFFFu;

class PageDrawer : HtmlPageWalk<PageDrawer> {
public:
    PageDrawer(const HtmlRenderOutput& output, IObjHash* root)
        : out_(output), root_(root),
          offset_((output.texture_mode & HTML_TEXTUREMODE_HALF_PIXEL) ? -0.5f : 0.0f) {
        initHtmlQuad(&quad_, output.renderer);
    }

    void page(IObjHash* cell, float x, float y, const HtmlRect& clip) {
        const float width = float(cell->GetInt("_totalwidth", 0));
        const float height = float(cell->GetInt("_totalheight", 0));
        HtmlRect page_box{x, y, x + width, y + height};
        if (!clipHtmlRect(clip, &page_box)) return;
        IRenderer* r = out_.renderer;
        uintptr_t saved_u = 0, saved_v = 0;
        const bool wrap = out_.texture_mode == int32_t(texturemode_wrap);
        if (wrap) {
            r->GetRenderState(OM_RS_TEXTURE_ADDRESS_U, &saved_u);
            r->GetRenderState(OM_RS_TEXTURE_ADDRESS_V, &saved_v);
            r->SetRenderState(OM_RS_TEXTURE_ADDRESS_U, address_clamp);
            r->SetRenderState(OM_RS_TEXTURE_ADDRESS_V, address_clamp);
        }
        page_background(page_box, {x, y, x + width, y + height});
        walk(cell, page_box, x, y);
        if (wrap) {
            r->SetRenderState(OM_RS_TEXTURE_ADDRESS_U, saved_u);
            r->SetRenderState(OM_RS_TEXTURE_ADDRESS_V, saved_v);
        }
    }

private:
    friend class HtmlPageWalk<PageDrawer>;

    // The drawing offset and the scale, then one quad.
    void emit(HtmlRect r, const HtmlRect* texture, uint32_t colour) {
        r.left = (r.left + offset_) * out_.scale_x;
        r.right = (r.right + offset_) * out_.scale_x;
        r.top = (r.top + offset_) * out_.scale_y;
        r.bottom = (r.bottom + offset_) * out_.scale_y;
        setHtmlQuadColour(&quad_, colour);
        if (texture)
            drawHtmlQuadTextured(&quad_, r, *texture);
        else
            drawHtmlQuad(&quad_, r);
    }

    void background_states(IRaster* texture) {
        out_.renderer->SetRenderState(OM_RS_SHADE_MODE, flat_shading);
        out_.renderer->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(texture));
        out_.renderer->SetRenderState(state_background_42, 0);
    }

    // "background" repeats the picture at its own size from the page origin, else
    // "backgroundstretch" stretches one copy, else "bgcolor" fills.
    void page_background(const HtmlRect& page_box, const HtmlRect& page) {
        if (root_->Has("background")) {
            IObjHash* node = htmlNodeAt(root_, "background");
            IRaster* raster = htmlNodeRaster(node);
            if (!raster) return;
            float iw = float(node->GetInt("width", 1));
            float ih = float(node->GetInt("height", 1));
            if (iw <= 0) iw = 1;
            if (ih <= 0) ih = 1;
            const float w = page.right - page.left, h = page.bottom - page.top;
            HtmlRect r = page;
            HtmlRect t{0, 0, w / iw, h / ih};
            if (!clipHtmlRectTextured(page_box, &r, &t)) return;
            background_states(raster);
            emit(r, &t, white);
            return;
        }
        if (IRaster* raster = htmlNodeRaster(htmlNodeAt(root_, "backgroundstretch"))) {
            HtmlRect r = page;
            HtmlRect t{0, 0, 1, 1};
            if (!clipHtmlRectTextured(page_box, &r, &t)) return;
            background_states(raster);
            emit(r, &t, white);
            return;
        }
        if (root_->Has("bgcolor")) {
            HtmlRect r = page;
            if (!clipHtmlRect(page_box, &r)) return;
            background_states(nullptr);
            emit(r, nullptr, opaque | (uint32_t(root_->GetInt("bgcolor", 0)) & 0xFFFFFF));
        }
    }

    void text(IObjHash* text, const HtmlRect& clip, float x, float y) {
        IFont* font = htmlTextFont(text);
        ICOMArray* frags = htmlArrayAt(text, "_frags");
        if (!font || !frags || !out_.font_cache) return;
        const uint32_t colour = htmlTextColour(root_, text);
        IRenderer* r = out_.renderer;
        uintptr_t saved_filter = 0;
        r->GetRenderState(OM_RS_TEXTURE_MAG, &saved_filter);
        r->SetRenderState(OM_RS_TEXTURE_MAG, glyph_filter);
        const int32_t count = frags->Count();
        for (int32_t i = 0; i < count; ++i) {
            IObjHash* frag = htmlArrayNode(frags, i);
            if (!frag) continue;
            float pen_x = x + float(frag->GetInt("_x", 0));
            const float pen_y = y + float(frag->GetInt("_y", 0));
            IRaster* current = nullptr;
            for (const char* c = frag->GetString("_string", ""); *c; ++c) {
                // Bytes are Windows-1252 codes: zero-extended, so letters above 0x7F keep
                // their code; 0x7F (the non-breaking space) is drawn as a blank.
                uint16_t code = static_cast<unsigned char>(*c);
                if (code == 0x7F) code = ' ';
                IRaster* page = nullptr;
                OmRect cell{};
                if (out_.font_cache->GetGlyph(font, code, &page, &cell) < 0) continue;
                HtmlRect screen{pen_x, pen_y, pen_x + float(cell.width),
                                pen_y + float(cell.height)};
                HtmlRect texture{float(cell.x) * glyph_texel, float(cell.y) * glyph_texel,
                                 float(cell.x + cell.width) * glyph_texel,
                                 float(cell.y + cell.height) * glyph_texel};
                if (clipHtmlRectTextured(clip, &screen, &texture)) {
                    if (page != current) {
                        r->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(page));
                        current = page;
                    }
                    emit(screen, &texture, colour);
                }
                pen_x += float(cell.width);
            }
        }
        r->SetRenderState(OM_RS_TEXTURE_MAG, saved_filter);
    }

    void image(IObjHash* image, const HtmlRect& clip, float x, float y) {
        if (!image->Has("_x")) return;
        IRaster* raster = htmlNodeRaster(htmlImageSource(image));
        if (!raster) return;
        const float raster_width = float(raster->GetWidth());
        float inset = 0;
        if (raster_width > 0) {
            if (out_.texture_mode == 0)
                inset = 0.5f / raster_width;
            else if (out_.texture_mode == 1)
                inset = 1.0f / raster_width;
        }
        out_.renderer->SetRenderState(OM_RS_TEXTURE, reinterpret_cast<uintptr_t>(raster));
        HtmlRect screen = htmlBoxAt(image, x, y);
        HtmlRect texture{inset, inset, 1 - inset, 1 - inset};
        if (clipHtmlRectTextured(clip, &screen, &texture)) emit(screen, &texture, white);
    }

    void cell_backgrounds(IObjHash* cell, const HtmlRect& rect, const HtmlRect&) {
        if (cell->Has("bgcolor")) {
            background_states(nullptr);
            emit(rect, nullptr, uint32_t(cell->GetInt("bgcolor", 0)));
        }
        if (IRaster* raster = htmlNodeRaster(htmlNodeAt(cell, "background"))) {
            background_states(raster);
            const float w = rect.right - rect.left, h = rect.bottom - rect.top;
            const float rw = float(raster->GetWidth()), rh = float(raster->GetHeight());
            HtmlRect texture{0, 0, rw > 0 ? w / rw : 1, rh > 0 ? h / rh : 1};
            if (w > rw) {
                texture.right *= 0.5f;
                texture.bottom *= 0.5f;
            }
            emit(rect, &texture, white);
        }
        if (IRaster* raster = htmlNodeRaster(htmlNodeAt(cell, "backgroundstretch"))) {
            background_states(raster);
            const HtmlRect texture{0, 0, 1, 1};
            emit(rect, &texture, white);
        }
    }

    const HtmlRenderOutput& out_;
    IObjHash* root_;
    HtmlQuad quad_;
    float offset_;
};

} // namespace

OmResult drawHtmlPage(const HtmlRenderOutput& output, IObjHash* root, int32_t x, int32_t y,
                      const OmRect& clip) {
    IObjHash* cell = htmlNodeAt(root, "cell");
    if (!cell || !output.renderer) return OM_S_OK;
    PageDrawer drawer(output, root);
    const HtmlRect clip_box{float(clip.x), float(clip.y), float(clip.x + clip.width),
                            float(clip.y + clip.height)};
    drawer.page(cell, float(x), float(y), clip_box);
    return OM_S_OK;
}

OmResult HtmlTextureMaker::make(IRaster* picture, IRaster** out) {
    *out = nullptr;
    ComRef<IRasterCreate> factory;
    OmResult r = renderer_->CreateTextureFactory(factory.put());
    if (r < 0) return r;
    const uint32_t picture_width = picture->GetWidth(), picture_height = picture->GetHeight();
    const uint32_t format = picture->GetFormat();
    const bool bordered = texture_mode_ == 1;
    const uint32_t border = bordered ? 2 : 0;
    factory->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE);
    factory->SetProperty(OM_RASTER_WIDTH, picture_width + border);
    factory->SetProperty(OM_RASTER_HEIGHT, picture_height + border);
    factory->SetProperty(10, 1);
    factory->SetProperty(OM_RASTER_FORMAT, format);
    ComRef<IRaster> texture;
    if ((r = factory->CreateRaster(texture.put())) < 0) return r;
    const int32_t tw = int32_t(texture->GetWidth()), th = int32_t(texture->GetHeight());
    constexpr uint32_t copy_mode = OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT;
    if (bordered) {
        if (tw < 3 || th < 3) return OM_E_FAIL;
        ComRef<IRaster> inner;
        r = image_proc_->ResampleToSize(picture, uint32_t(tw - 2), uint32_t(th - 2), inner.put());
        if (r < 0) return r;
        ComRef<IRasterCreate> description;
        r = image_proc_->CreateRasterDescription(nullptr, IID_IRasterCreate,
                                                 description.put_void());
        if (r < 0) return r;
        description->SetProperty(OM_RASTER_WIDTH, tw);
        description->SetProperty(OM_RASTER_HEIGHT, th);
        description->SetProperty(OM_RASTER_FORMAT, format);
        ComRef<IRaster> framed;
        if ((r = description->CreateRaster(framed.put())) < 0) return r;
        const int32_t w = tw - 2, h = th - 2;
        const OmRect centre{1, 1, w, h};
        if ((r = framed->BlitConvert(&centre, inner.get(), nullptr, copy_mode)) < 0) return r;
        // The outermost columns, rows and corners once more into the one-pixel border, so
        // filtering at the picture's edge repeats the edge instead of fetching black.
        const struct {
            OmRect dest, source;
        } edges[] = {
            {{0, 1, 1, h}, {0, 0, 1, h}},          {{tw - 1, 1, 1, h}, {w - 1, 0, 1, h}},
            {{1, 0, w, 1}, {0, 0, w, 1}},          {{1, th - 1, w, 1}, {0, h - 1, w, 1}},
            {{0, 0, 1, 1}, {0, 0, 1, 1}},          {{tw - 1, 0, 1, 1}, {w - 1, 0, 1, 1}},
            {{0, th - 1, 1, 1}, {0, h - 1, 1, 1}}, {{tw - 1, th - 1, 1, 1}, {w - 1, h - 1, 1, 1}},
        };
        for (const auto& e : edges) framed->BlitConvert(&e.dest, inner.get(), &e.source, copy_mode);
        r = texture->BlitConvert(nullptr, framed.get(), nullptr, copy_mode);
    } else if (uint32_t(tw) == picture_width && uint32_t(th) == picture_height) {
        r = texture->BlitConvert(nullptr, picture, nullptr, copy_mode);
    } else {
        ComRef<IRaster> resized;
        r = image_proc_->ResampleToSize(picture, uint32_t(tw), uint32_t(th), resized.put());
        if (r >= 0) r = texture->BlitConvert(nullptr, resized.get(), nullptr, copy_mode);
    }
    if (r < 0) return r;
    *out = texture.detach();
    return OM_S_OK;
}
