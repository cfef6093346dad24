// Triangle and line set-up of the software rasteriser: snaps vertices to 1/16 pixel, walks the
// edges with exact integer steps (top-left fill rule) and hands each row to the span function
// chosen for the current target and state.
#pragma once

#include "platform/graphics/d3d_types.h"
#include "platform/graphics/raster_types.h"

namespace platform {

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
};

} // namespace platform
