// Screen quads and rectangle clipping for the page renderers: every filled or textured
// rectangle is one four-vertex fan drawn through the renderer, cut to the visible area first.
#pragma once

#include "media/display/renderer.h"

#include <cstdint>

// left, top, right, bottom; texture rectangles likewise as u left, v top, u right, v bottom.
struct HtmlRect {
    float left = 0;
    float top = 0;
    float right = 0;
    float bottom = 0;
};

// Four screen vertices (0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left) and the
// renderer they are drawn through (not owned; may be null, then nothing is drawn).
struct HtmlQuad {
    OmTLVertex vertices[4];
    IRenderer* renderer;
};

inline constexpr float HTML_QUAD_DEPTH = 0.00001f;

// White, opaque vertices at depth 0.00001 with rhw 1; stores the renderer. 0.
OmResult initHtmlQuad(HtmlQuad* quad, IRenderer* renderer);
void setHtmlQuadDepth(HtmlQuad* quad, float z);
// The diffuse colour (0xAARRGGBB) of all four vertices.
void setHtmlQuadColour(HtmlQuad* quad, uint32_t colour);
// Positions and texture coordinates from the rectangles, then one fan of four vertices;
// the renderer's result, or 0 without a renderer.
OmResult drawHtmlQuadTextured(HtmlQuad* quad, const HtmlRect& rect, const HtmlRect& texture);
// As drawHtmlQuadTextured, leaving the texture coordinates as they are.
OmResult drawHtmlQuad(HtmlQuad* quad, const HtmlRect& rect);

// Cuts the rectangle to the clip when they overlap (touching edges count) and returns 1;
// else 0 with the rectangle unchanged.
int32_t clipHtmlRect(const HtmlRect& clip, HtmlRect* rect);
// As clipHtmlRect, moving each cut edge's texture coordinate in proportion.
int32_t clipHtmlRectTextured(const HtmlRect& clip, HtmlRect* rect, HtmlRect* texture);
