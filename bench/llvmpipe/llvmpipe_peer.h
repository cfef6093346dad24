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

// A general drawing state, for replaying captured frames whose states are not one of the
// benchmark modes. Blend factors and compare functions take the device's values.
struct PeerState {
    bool flat = false;
    uint32_t texture = 0;        // from add_texture(); 0 untextured
    bool modulate_alpha = false; // alpha = texture alpha x diffuse alpha, else diffuse alpha
    bool linear_mag = false, linear_min = false;
    int mip = 0;                           // 0 none, 1 nearest level, 2 between levels
    uint32_t address_u = 1, address_v = 1; // D3DTADDRESS_*
    bool keyed = false;                    // texels of alpha 0 are not drawn
    bool alpha_test = false;
    uint32_t alpha_func = 8; // D3DCMP_*
    uint32_t alpha_ref = 0;
    bool blend = false;
    uint32_t src_blend = 5, dst_blend = 6; // D3DBLEND_*
    bool z_test = true, z_write = true;
    uint32_t z_func = 4; // D3DCMP_*
    bool fog = false;
    uint32_t fog_colour = 0; // 0xRRGGBB
    uint32_t cull = 1;       // D3DCULL_*, on screen-space winding (y down)
};

// One mip level of a texture: 0xAARRGGBB texels, rows of w.
struct PeerTextureLevel {
    uint32_t w = 0, h = 0;
    const uint32_t* texels = nullptr;
};

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
    // A texture of the given levels (largest first); returns its id for PeerState.
    uint32_t add_texture(const std::vector<PeerTextureLevel>& levels);
    void set_state(const PeerState& s);
    // Textures made by add_texture so far (their ids are 1 to this).
    uint32_t texture_count() const;
    // The vertices go to the GPU-side buffer once; draw() then sends them all as one call.
    void upload(const std::vector<D3DTLVERTEX>& v);
    void draw();
    // Triangles of uploaded vertices [first, first + count).
    void draw_range(uint32_t first, uint32_t count);
    void clear(); // colour 0, depth 1
    // Drawing and clearing keep to pixels x0 <= x < x1, y0 <= y < y1 (rows from the top).
    void set_scissor(int32_t x0, int32_t y0, int32_t x1, int32_t y1);
    // Clears within the scissor: colour to a 565 value and/or depth to z (0..1).
    void clear_rect(bool colour, uint16_t rgb565, bool depth, float z);
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
