// Screen quads and rectangle clipping.
#include "frontend/html/html_quad.h"

namespace {

void set_positions(HtmlQuad* quad, const HtmlRect& rect) {
    OmTLVertex* v = quad->vertices;
    v[0].sx = rect.left, v[0].sy = rect.top;
    v[1].sx = rect.right, v[1].sy = rect.top;
    v[2].sx = rect.right, v[2].sy = rect.bottom;
    v[3].sx = rect.left, v[3].sy = rect.bottom;
}

OmResult draw(HtmlQuad* quad) {
    if (!quad->renderer) return OM_S_OK;
    return quad->renderer->DrawPrimitive(OM_PRIMITIVE_TRIANGLE_FAN, quad->vertices, 4,
                                         OM_DRAW_DONOTCLIP);
}

bool overlaps(const HtmlRect& clip, const HtmlRect& rect) {
    return rect.left <= clip.right && clip.left <= rect.right && rect.top <= clip.bottom &&
           clip.top <= rect.bottom;
}

} // namespace

OmResult initHtmlQuad(HtmlQuad* quad, IRenderer* renderer) {
    for (OmTLVertex& v : quad->vertices) {
        v = OmTLVertex{0, 0, HTML_QUAD_DEPTH, 1.0f, 0xFFFFFFFFu, 0xFFFFFFFFu, 0, 0};
    }
    quad->renderer = renderer;
    return OM_S_OK;
}

void setHtmlQuadDepth(HtmlQuad* quad, float z) {
    for (OmTLVertex& v : quad->vertices) v.sz = z;
}

void setHtmlQuadColour(HtmlQuad* quad, uint32_t colour) {
    for (OmTLVertex& v : quad->vertices) v.diffuse = colour;
}

OmResult drawHtmlQuadTextured(HtmlQuad* quad, const HtmlRect& rect, const HtmlRect& texture) {
    set_positions(quad, rect);
    OmTLVertex* v = quad->vertices;
    v[0].tu = texture.left, v[0].tv = texture.top;
    v[1].tu = texture.right, v[1].tv = texture.top;
    v[2].tu = texture.right, v[2].tv = texture.bottom;
    v[3].tu = texture.left, v[3].tv = texture.bottom;
    return draw(quad);
}

OmResult drawHtmlQuad(HtmlQuad* quad, const HtmlRect& rect) {
    set_positions(quad, rect);
    return draw(quad);
}

int32_t clipHtmlRect(const HtmlRect& clip, HtmlRect* rect) {
    if (!overlaps(clip, *rect)) return 0;
    if (rect->left < clip.left) rect->left = clip.left;
    if (rect->right > clip.right) rect->right = clip.right;
    if (rect->top < clip.top) rect->top = clip.top;
    if (rect->bottom > clip.bottom) rect->bottom = clip.bottom;
    return 1;
}

int32_t clipHtmlRectTextured(const HtmlRect& clip, HtmlRect* rect, HtmlRect* texture) {
    if (!overlaps(clip, *rect)) return 0;
    HtmlRect& r = *rect;
    HtmlRect& t = *texture;
    // Each cut works from the values already cut; an overlap guarantees a non-zero extent
    // wherever an edge is cut.
    if (r.left < clip.left) {
        t.left = t.left + (t.right - t.left) * (clip.left - r.left) / (r.right - r.left);
        r.left = clip.left;
    }
    if (r.right > clip.right) {
        t.right = t.left + (t.right - t.left) * (clip.right - r.left) / (r.right - r.left);
        r.right = clip.right;
    }
    if (r.top < clip.top) {
        t.top = t.top + (t.bottom - t.top) * (clip.top - r.top) / (r.bottom - r.top);
        r.top = clip.top;
    }
    if (r.bottom > clip.bottom) {
        t.bottom = t.top + (t.bottom - t.top) * (clip.bottom - r.top) / (r.bottom - r.top);
        r.bottom = clip.bottom;
    }
    return 1;
}
