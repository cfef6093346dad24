// The page renderer of HTMLBlitBrowser: the same walk as the quad renderer, with raster
// copies and fills in place of quads.
#include "frontend/html/html_blit_renderer.h"

#include "framework/core/com_ref.h"
#include "frontend/html/html_page_walk.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr uint32_t opaque = 0xFF000000u;
constexpr uint32_t copy_mode = OM_BLIT_CONVERT; // the source's colour key applied

// The clipped rectangle in whole pixels, {x, y, width, height}.
OmRect pixel_rect(const HtmlRect& r) {
    const int32_t left = int32_t(std::floor(r.left)), top = int32_t(std::floor(r.top));
    return {left, top, int32_t(std::floor(r.right)) - left, int32_t(std::floor(r.bottom)) - top};
}

class PageBlitter : HtmlPageWalk<PageBlitter> {
public:
    PageBlitter(const HtmlBlitOutput& output, IObjHash* root) : out_(output), root_(root) {}

    void page(IObjHash* cell, float x, float y, HtmlRect clip) {
        // The target's own bounds also limit every fill and copy.
        const HtmlRect bounds{0, 0, float(out_.target->GetWidth()),
                              float(out_.target->GetHeight())};
        if (!clipHtmlRect(bounds, &clip)) return;
        const HtmlRect page{x, y, x + float(cell->GetInt("_totalwidth", 0)),
                            y + float(cell->GetInt("_totalheight", 0))};
        HtmlRect page_box = page;
        if (!clipHtmlRect(clip, &page_box)) return;
        IObjHash* picture = picture_node(root_);
        if (picture) {
            tile(picture, page.left, page.top, page, page_box);
        } else if (root_->Has("bgcolor")) {
            fill(page_box, opaque | (uint32_t(root_->GetInt("bgcolor", 0)) & 0xFFFFFF));
        }
        walk(cell, page_box, x, y);
    }

private:
    friend class HtmlPageWalk<PageBlitter>;

    // "backgroundstretch" before "background"; null when the node has neither.
    static IObjHash* picture_node(IObjHash* node) {
        if (IObjHash* stretch = htmlNodeAt(node, "backgroundstretch")) return stretch;
        return htmlNodeAt(node, "background");
    }

    void fill(const HtmlRect& r, uint32_t colour) {
        const OmRect rect = pixel_rect(r);
        if (rect.width > 0 && rect.height > 0) out_.target->FillRect(&rect, &colour);
    }

    // Copies the source rectangle of the raster to (screen rectangle), both cut to the clip.
    void copy(IRaster* raster, HtmlRect screen, HtmlRect source, const HtmlRect& clip) {
        if (!clipHtmlRectTextured(clip, &screen, &source)) return;
        const OmRect dest = pixel_rect(screen);
        const OmRect from = pixel_rect(source);
        if (dest.width <= 0 || dest.height <= 0) return;
        out_.target->BlitConvert(&dest, raster, &from, copy_mode);
    }

    // The node's picture repeated at its "width" x "height" from (x0, y0) over the area,
    // each tile cut to the clip.
    void tile(IObjHash* node, float x0, float y0, const HtmlRect& area, const HtmlRect& clip) {
        IRaster* raster = htmlNodeRaster(node);
        if (!raster) return;
        const int32_t tw = std::max(1, node->GetInt("width", 1));
        const int32_t th = std::max(1, node->GetInt("height", 1));
        HtmlRect visible = area;
        if (!clipHtmlRect(clip, &visible)) return;
        // Start at the first tile that reaches the visible part.
        const float first_x = x0 + std::floor((visible.left - x0) / float(tw)) * float(tw);
        const float first_y = y0 + std::floor((visible.top - y0) / float(th)) * float(th);
        for (float ty = first_y; ty < visible.bottom; ty += float(th)) {
            for (float tx = first_x; tx < visible.right; tx += float(tw)) {
                copy(raster, {tx, ty, tx + float(tw), ty + float(th)}, {0, 0, float(tw), float(th)},
                     visible);
            }
        }
    }

    // The character's raster in the colour, made and kept in the font node on first use.
    IRaster* character(IObjHash* font_node, IFont* font, const char* font_name, uint32_t colour,
                       unsigned char code) {
        IObjHash* table = htmlNodeAt(font_node, "_charcolors");
        if (!table) return nullptr;
        const std::string key = htmlCharacterKey(colour, code, font_name);
        if (IRaster* known = htmlBorrow<IRaster>(table->Get(key.c_str()), IID_IRaster))
            return known;
        int32_t width = 0;
        intptr_t height = 0;
        if (font->GetGlyphWidth(code, nullptr, &width) < 0 ||
            font->GetProperty(OM_FONT_SIZE, &height) < 0 || width <= 0 || height <= 0)
            return nullptr;
        out_.factory->SetProperty(OM_RASTER_WIDTH, width);
        out_.factory->SetProperty(OM_RASTER_HEIGHT, height);
        ComRef<IRaster> raster;
        if (out_.factory->CreateRaster(raster.put()) < 0 || !raster) return nullptr;
        raster->SetProperty(OM_RASTER_COLOUR_KEY, 0);
        raster->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
        // The key colour behind the glyph, whatever the new raster's memory held.
        const uint32_t key_colour = 0;
        raster->FillRect(nullptr, &key_colour);
        font->SetProperty(OM_FONT_COLOUR, colour);
        const OmRect rect{0, 0, width, int32_t(height)};
        if (font->DrawGlyph(code, raster.get(), &rect) < 0) return nullptr;
        if (setHtmlObject(table, key.c_str(), raster.get()) < 0) return nullptr;
        return raster.get(); // the table keeps it
    }

    void text(IObjHash* text, const HtmlRect& clip, float x, float y) {
        IFont* font = htmlTextFont(text);
        ICOMArray* frags = htmlArrayAt(text, "_frags");
        IObjHash* font_node = htmlNodeAt(text, "font");
        if (!font || !frags || !font_node) return;
        const uint32_t colour = htmlTextColour(root_, text);
        const char* font_name = text->GetString("_fontname", "");
        const int32_t count = frags->Count();
        for (int32_t i = 0; i < count; ++i) {
            IObjHash* frag = htmlArrayNode(frags, i);
            if (!frag) continue;
            float pen_x = x + float(frag->GetInt("_x", 0));
            const float pen_y = y + float(frag->GetInt("_y", 0));
            for (const char* c = frag->GetString("_string", ""); *c; ++c) {
                unsigned char code = static_cast<unsigned char>(*c);
                if (code == 0x7F) code = ' ';
                IRaster* raster = character(font_node, font, font_name, colour, code);
                if (!raster) continue; // skipped without advancing
                const float w = float(raster->GetWidth()), h = float(raster->GetHeight());
                copy(raster, {pen_x, pen_y, pen_x + w, pen_y + h}, {0, 0, w, h}, clip);
                pen_x += w;
            }
        }
    }

    void image(IObjHash* image, const HtmlRect& clip, float x, float y) {
        if (!image->Has("_x")) return;
        IRaster* raster = htmlNodeRaster(htmlImageSource(image));
        if (!raster) return;
        const float w = float(image->GetInt("_width", 0)), h = float(image->GetInt("_height", 0));
        copy(raster, htmlBoxAt(image, x, y), {0, 0, w, h}, clip);
    }

    void cell_backgrounds(IObjHash* cell, const HtmlRect& rect, const HtmlRect& clip) {
        if (cell->Has("bgcolor")) fill(rect, uint32_t(cell->GetInt("bgcolor", 0)));
        if (IObjHash* picture = picture_node(cell)) tile(picture, rect.left, rect.top, rect, clip);
    }

    const HtmlBlitOutput& out_;
    IObjHash* root_;
};

} // namespace

std::string htmlCharacterKey(uint32_t colour, unsigned char code, const char* font_name) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "%06X", colour & 0xFFFFFF);
    std::string key = hex;
    key += char(code);
    key += '|';
    key += font_name;
    return key;
}

OmResult blitHtmlPage(const HtmlBlitOutput& output, IObjHash* root, int32_t x, int32_t y,
                      const OmRect& clip) {
    IObjHash* cell = htmlNodeAt(root, "cell");
    if (!cell || !output.target || !output.factory) return OM_S_OK;
    PageBlitter blitter(output, root);
    blitter.page(
        cell, float(x), float(y),
        {float(clip.x), float(clip.y), float(clip.x + clip.width), float(clip.y + clip.height)});
    return OM_S_OK;
}

OmResult HtmlBlitPictureMaker::make(IRaster* picture, IRaster** out) {
    *out = nullptr;
    factory_->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PICTURE);
    factory_->SetProperty(OM_RASTER_WIDTH, picture->GetWidth());
    factory_->SetProperty(OM_RASTER_HEIGHT, picture->GetHeight());
    ComRef<IRaster> raster;
    OmResult r = factory_->CreateRaster(raster.put());
    if (r < 0) return r;
    if ((r = raster->BlitConvert(nullptr, picture, nullptr, OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT)) <
        0)
        return r;
    intptr_t keyed = 0, key = 0;
    if (picture->GetProperty(OM_RASTER_COLOUR_KEY_ENABLED, &keyed) >= 0 && keyed &&
        picture->GetProperty(OM_RASTER_COLOUR_KEY, &key) >= 0) {
        raster->SetProperty(OM_RASTER_COLOUR_KEY, key);
        raster->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
    }
    *out = raster.detach();
    return OM_S_OK;
}
