// One demo-scene frame's device work, captured through the device's draw recorder: every
// draw as triangles with the states the rasteriser resolved for it, copies of the textures
// it sampled and the clears, so the same frame can be replayed on our rasteriser alone and
// on a peer.
#pragma once

#include "platform/graphics/draw_recorder.h"
#include "platform/graphics/raster_queue.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rasterbench {

struct CapturedTexture {
    std::vector<std::vector<uint32_t>> texels; // per level, 0xAARRGGBB rows
    platform::TextureView view;                // over `texels`
};

struct CapturedStep {
    bool is_clear = false;
    platform::RecordedClear clear;
    platform::PixelState state;
    uint32_t cull = 0;
    int texture = -1;                       // index into CapturedFrame::textures
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0; // scissor
    uint32_t first = 0, count = 0;          // vertices of CapturedFrame::triangles
};

struct CapturedFrame {
    uint32_t w = 0, h = 0;
    platform::ColorFormat colour_format = platform::ColorFormat::R5G6B5;
    platform::DepthFormat depth_format = platform::DepthFormat::None;
    std::vector<platform::D3DTLVERTEX> triangles; // triangle lists, in the device's vertex order
    std::vector<CapturedStep> steps;
    std::vector<CapturedTexture> textures;
    uint64_t draws = 0, lines = 0; // lines are counted but not replayed
};

// Builds the benchmark demo scene, draws one warm-up frame and captures the next; false
// with `error` set when the scene cannot be drawn.
bool capture_demo_frame(CapturedFrame& frame, std::string& error);

// Our rasteriser alone on its own colour and depth buffers of the captured formats.
class OurReplay {
public:
    // threads: rasteriser threads (0: the device's default).
    explicit OurReplay(const CapturedFrame& frame, uint32_t threads = 1);
    // Draws the frame; the pixels are in place when it returns.
    void run();
    // 565 colour and 16-bit depth, rows top to bottom (other formats are narrowed).
    void read(std::vector<uint16_t>& colour, std::vector<uint16_t>& depth) const;

private:
    const CapturedFrame& frame_;
    std::vector<uint8_t> colour_, depth_;
    platform::RenderTarget target_;
    platform::RasterQueue queue_;
};

} // namespace rasterbench
