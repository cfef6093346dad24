// Mesa's llvmpipe driven through OpenGL offscreen (EGL without a window system, a framebuffer
// object in 565 with a 16-bit depth buffer), set up to draw the rasteriser benchmarks'
// workloads with the same vertices, textures and states as our device: the yardstick the
// software rasteriser's speed is measured against.
#pragma once

#include "bench/platform/raster_workload.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rasterbench {

class LlvmpipePeer {
public:
    // A context on llvmpipe with LP_NUM_THREADS = threads (threads < 0: llvmpipe's default).
    // Only one peer may exist at a time; null with `error` set when no context can be made.
    static std::unique_ptr<LlvmpipePeer> open(int threads, std::string& error);
    ~LlvmpipePeer();
    LlvmpipePeer(const LlvmpipePeer&) = delete;
    LlvmpipePeer& operator=(const LlvmpipePeer&) = delete;

    int requested_threads() const { return requested_; }
    // Rasteriser threads llvmpipe actually started in this process.
    int worker_threads() const { return workers_; }
    const std::string& renderer() const { return renderer_; }

    // Renders into a w x h 565 colour buffer with a 16-bit depth buffer; false if refused.
    bool set_target(uint32_t w, uint32_t h);
    void set_mode(Mode m);
    // The vertices go to the GPU-side buffer once; draw() then sends them all as one call.
    void upload(const std::vector<D3DTLVERTEX>& v);
    void draw();
    void clear();       // colour 0, depth 1
    void clear_depth(); // depth 1
    void finish();
    // Rows top to bottom, as our surfaces hold them.
    void read(std::vector<uint16_t>& colour, std::vector<uint16_t>& depth);

private:
    struct Gl;
    LlvmpipePeer() = default;

    std::unique_ptr<Gl> gl_;
    int requested_ = -1;
    int workers_ = 0;
    std::string renderer_;
};

} // namespace rasterbench
