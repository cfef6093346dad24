// Triangle and line set-up of the software rasteriser: snaps vertices to 1/16 pixel, walks the
// edges with exact integer steps (top-left fill rule) and hands each row to the span function
// chosen for the current target and state.
#pragma once

#include "platform/graphics/d3d_types.h"
#include "platform/graphics/raster_types.h"

namespace platform {

// A triangle's edges after set-up, in 1/16 pixels, top, middle and bottom vertex, with the rows
// it covers within the scissor. Any band of those rows can be drawn on its own: the edge walk
// starts exactly on any row, and every row's span depends only on the row and the triangle's
// planes, so drawing the bands in any order or on any thread gives the same pixels.
struct TriangleEdges {
    int32_t xt = 0, yt = 0, xm = 0, ym = 0, xb = 0, yb = 0;
    int32_t first = 0, mid = 0, last = 0; // rows first <= y < last; the lower part from mid
    bool long_left = false;               // the long edge (top to bottom) bounds the left side
};

// Sets up a pre-transformed, lit triangle for `target` and `state`; false when it draws
// nothing (culled, degenerate, non-finite or outside the scissor). Flat shading takes the
// colour of `a`.
bool setup_triangle(const RenderTarget& target, const PixelState& state, uint32_t cull_mode,
                    const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c,
                    Primitive& planes, TriangleEdges& edges);

// The rows first <= y < last a triangle covers within the scissor, as setup_triangle finds
// them, without setting up its planes; false exactly where setup_triangle is false.
bool triangle_rows(const RenderTarget& target, uint32_t cull_mode, const D3DTLVERTEX& a,
                   const D3DTLVERTEX& b, const D3DTLVERTEX& c, int32_t& first, int32_t& last);

// Draws rows y0 <= y < y1 of a set-up triangle; ctx.prim must hold the triangle's planes.
void draw_triangle_rows(const SpanContext& ctx, SpanFunction span, const TriangleEdges& t,
                        int32_t y0, int32_t y1);

// Draws the pixels of a line without its last pixel that fall on rows y0 <= y < y1; flat
// shading takes the colour of `a`. ctx.prim is overwritten.
void draw_line_rows(SpanContext& ctx, SpanFunction span, const D3DTLVERTEX& a, const D3DTLVERTEX& b,
                    int32_t y0, int32_t y1);

class Rasterizer {
public:
    // Target, state and texture must stay valid until the next prepare().
    void prepare(const RenderTarget& target, const PixelState& state, const TextureView* texture,
                 uint32_t cull_mode);

    // Draws a pre-transformed, lit triangle; flat shading takes the colour of `a`.
    void triangle(const D3DTLVERTEX& a, const D3DTLVERTEX& b, const D3DTLVERTEX& c);
    // Draws a line without its last pixel; flat shading takes the colour of `a`.
    void line(const D3DTLVERTEX& a, const D3DTLVERTEX& b);

private:
    SpanContext ctx_;
    SpanFunction span_ = nullptr;
    uint32_t cull_ = D3DCULL_NONE;
    TriangleEdges edges_;
};

} // namespace platform
