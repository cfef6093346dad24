// A listener told about every draw and clear the software device performs, with the states,
// texture and target resolved exactly as the rasteriser receives them: lets a benchmark
// capture one frame's device work and replay it elsewhere. Nothing is installed by default,
// so the device pays one pointer test per call; the listener is process-wide and not
// thread-safe (install it only around single-threaded capture).
#pragma once

#include "platform/graphics/d3d_types.h"
#include "platform/graphics/raster_types.h"

#include <cstdint>
#include <vector>

namespace platform {

struct RecordedDraw {
    uint32_t type = 0; // D3DPT_*
    uint32_t cull = 0; // D3DCULL_*
    const RenderTarget* target = nullptr;
    const PixelState* state = nullptr;
    const TextureView* texture = nullptr; // null when the draw is not textured
    // The vertices in the order the primitive type reads them (indexed draws expanded).
    const std::vector<D3DTLVERTEX>* vertices = nullptr;
};

struct RecordedClear {
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; // pixels x0 <= x < x1, y0 <= y < y1
    bool colour = false, depth = false;
    uint32_t colour_value = 0; // encoded in the target's pixel format
    uint32_t depth_value = 0;  // in the z-buffer's units
};

class DrawRecorder {
public:
    virtual void on_draw(const RecordedDraw& draw) = 0;
    virtual void on_clear(const RecordedClear& clear) = 0;

protected:
    ~DrawRecorder() = default;
};

// Installs `recorder` (null uninstalls); returns the one installed before.
DrawRecorder* set_draw_recorder(DrawRecorder* recorder);
DrawRecorder* draw_recorder();

} // namespace platform
