// The demo scene's frame rasterised by us and by llvmpipe: the frame is drawn once through the
// device with its draw recorder installed, then the captured draws and clears are replayed on
// our rasteriser alone and through OpenGL on llvmpipe (LP_NUM_THREADS=1 and the default),
// timed to glFinish. Prints ours / llvmpipe for the same frame, a coverage and colour
// comparison of the two images, and which captured states llvmpipe's replay approximates.
// CORVEL_LLVMPIPE_IMAGES=<folder> also writes both frames there (PPM).
#include "bench/llvmpipe/llvmpipe_demo_frame_bench.h"
#include "bench/llvmpipe/demo_frame_capture.h"
#include "bench/llvmpipe/image_compare.h"

#include "platform/graphics/raster_workers.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>

namespace rasterbench {
namespace {

using namespace platform;

struct DemoFrame {
    bool tried = false;
    bool ok = false;
    std::string error;
    CapturedFrame frame;
    std::vector<PeerState> states;          // one per step, for llvmpipe
    std::map<std::string, uint64_t> approx; // captured states llvmpipe cannot take, by draws
    std::optional<ImageCheck> check;
};
DemoFrame g_demo;

// The device's state as llvmpipe's; what the shader or GL cannot say is noted.
PeerState peer_state_of(const CapturedStep& s, DemoFrame& d) {
    const PixelState& p = s.state;
    PeerState q;
    q.flat = p.flat;
    q.cull = s.cull;
    q.z_test = p.z_enabled;
    q.z_write = p.z_write;
    q.z_func = uint32_t(p.z_func_mask) + 1; // D3DCMP_NEVER + the less/equal/greater mask
    q.alpha_test = p.alpha_test;
    q.alpha_func = uint32_t(p.alpha_func_mask) + 1;
    q.alpha_ref = p.alpha_ref;
    q.blend = p.blend;
    q.src_blend = p.src_blend;
    q.dst_blend = p.dst_blend;
    q.fog = p.fog;
    q.fog_colour = p.fog_color;
    if (s.texture >= 0) {
        q.texture = uint32_t(s.texture) + 1;
        q.keyed = p.color_key;
        q.linear_mag = p.mag == TexFilter::Linear;
        q.linear_min = p.min == TexFilter::Linear;
        q.mip = p.mip == MipFilter::None ? 0 : p.mip == MipFilter::Point ? 1 : 2;
        q.address_u = uint32_t(p.address_u);
        q.address_v = uint32_t(p.address_v);
        q.modulate_alpha = p.alpha_op != ColorOp::SelectDiffuse;
        if (p.color_op == ColorOp::SelectTexture)
            ++d.approx["colour op select-texture as modulate"];
        if (p.color_op == ColorOp::SelectDiffuse)
            ++d.approx["colour op select-diffuse as modulate"];
        if (p.alpha_op == ColorOp::SelectTexture) ++d.approx["alpha op select-texture as modulate"];
        if (p.lod_bias != 0) ++d.approx["mip level bias ignored"];
        if (!p.perspective) ++d.approx["affine texturing drawn perspective-correct"];
        if (p.address_u == TexAddress::Border || p.address_v == TexAddress::Border)
            ++d.approx["border colour as GL's default (transparent black)"];
    }
    if (p.blend && (p.src_blend > 13 || p.dst_blend > 13))
        ++d.approx["unknown blend factor as one"];
    return q;
}

DemoFrame& demo() {
    if (g_demo.tried) return g_demo;
    g_demo.tried = true;
    g_demo.ok = capture_demo_frame(g_demo.frame, g_demo.error);
    if (g_demo.ok)
        for (const CapturedStep& s : g_demo.frame.steps)
            g_demo.states.push_back(s.is_clear ? PeerState{} : peer_state_of(s, g_demo));
    return g_demo;
}

void replay_on_peer(LlvmpipePeer& peer, const DemoFrame& d) {
    const CapturedFrame& f = d.frame;
    const float depth_scale = f.depth_format == DepthFormat::Z32 ? 16777215.0f : 65535.0f;
    for (size_t i = 0; i < f.steps.size(); ++i) {
        const CapturedStep& s = f.steps[i];
        if (s.is_clear) {
            const RecordedClear& c = s.clear;
            peer.set_scissor(c.x0, c.y0, c.x1, c.y1);
            uint16_t rgb = uint16_t(c.colour_value);
            if (f.colour_format == ColorFormat::A8R8G8B8)
                rgb = uint16_t(((c.colour_value >> 8) & 0xF800) | ((c.colour_value >> 5) & 0x7E0) |
                               ((c.colour_value >> 3) & 31));
            else if (f.colour_format == ColorFormat::X1R5G5B5)
                rgb = uint16_t(((rgb & 0x7FE0) << 1) | (rgb & 31));
            peer.clear_rect(c.colour, rgb, c.depth, float(c.depth_value) / depth_scale);
            continue;
        }
        peer.set_scissor(s.x0, s.y0, s.x1, s.y1);
        peer.set_state(d.states[i]);
        peer.draw_range(s.first, s.count);
    }
}

// Uploads the frame's vertices and textures to the peer (once per peer).
bool prepare_peer(LlvmpipePeer& peer, const DemoFrame& d) {
    const CapturedFrame& f = d.frame;
    if (!peer.set_target(f.w, f.h)) return false;
    peer.upload(f.triangles);
    if (peer.texture_count() == 0)
        for (const CapturedTexture& t : f.textures) {
            std::vector<PeerTextureLevel> levels;
            for (int i = 0; i < t.view.levels; ++i)
                levels.push_back({t.view.level[i].w, t.view.level[i].h, t.view.level[i].texels});
            peer.add_texture(levels);
        }
    return true;
}

void check_frame(LlvmpipePeer& peer, DemoFrame& d) {
    OurReplay ours(d.frame);
    ours.run();
    std::vector<uint16_t> oc, oz, pc, pz;
    ours.read(oc, oz);
    peer.clear();
    replay_on_peer(peer, d);
    peer.finish();
    peer.read(pc, pz);
    if (const char* folder = std::getenv("CORVEL_LLVMPIPE_IMAGES")) {
        write_ppm(std::string(folder) + "/demo_frame_ours.ppm", oc, d.frame.w, d.frame.h);
        write_ppm(std::string(folder) + "/demo_frame_llvmpipe.ppm", pc, d.frame.w, d.frame.h);
    }
    d.check = compare_images(oc, oz, pc, pz);
}

void run_ours(benchmark::State& state, uint32_t threads) {
    DemoFrame& d = demo();
    if (!d.ok) {
        state.SkipWithError(("demo frame: " + d.error).c_str());
        return;
    }
    OurReplay replay(d.frame, threads);
    replay.run(); // builds nothing lazily, but warms the caches as the peer's first run does
    for (auto _ : state) replay.run();
    state.counters["draws"] = double(d.frame.draws);
    state.counters["tris"] = double(d.frame.triangles.size() / 3);
}

void run_peer(benchmark::State& state, int threads) {
    DemoFrame& d = demo();
    if (!d.ok) {
        state.SkipWithError(("demo frame: " + d.error).c_str());
        return;
    }
    std::string error;
    LlvmpipePeer* peer = peer_for(threads, error);
    if (!peer) {
        state.SkipWithError(("llvmpipe: " + error).c_str());
        return;
    }
    if (!prepare_peer(*peer, d)) {
        state.SkipWithError("llvmpipe refuses a 565 target with a 16-bit depth buffer");
        return;
    }
    if (threads == 1 && !d.check) check_frame(*peer, d);
    replay_on_peer(*peer, d); // compiles the shader variants of the frame's states
    peer->finish();
    for (auto _ : state) {
        replay_on_peer(*peer, d);
        peer->finish();
    }
}

constexpr const char* kOurs1 = "demo_frame/ours_1t";
constexpr const char* kOursDefault = "demo_frame/ours_default";
constexpr const char* kPeer1 = "demo_frame/llvmpipe_1t";
constexpr const char* kPeerDefault = "demo_frame/llvmpipe_default";

} // namespace

void register_demo_frame_benchmarks() {
    benchmark::RegisterBenchmark(kOurs1, run_ours, 1u)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(0.5);
    benchmark::RegisterBenchmark(kOursDefault, run_ours, 0u)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(0.5);
    benchmark::RegisterBenchmark(kPeer1, run_peer, 1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(0.5);
    benchmark::RegisterBenchmark(kPeerDefault, run_peer, -1)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(0.5);
}

void print_demo_frame_table(const std::function<double(const std::string&)>& ms) {
    if (!g_demo.tried) return;
    std::printf("\ndemo scene frame, rasterisation only (captured draws replayed; llvmpipe timed "
                "to glFinish)\n");
    if (!g_demo.ok) {
        std::printf("  not captured: %s\n", g_demo.error.c_str());
        return;
    }
    const CapturedFrame& f = g_demo.frame;
    std::printf("  %ux%u, %llu draws, %zu triangles, %zu textures\n", f.w, f.h,
                (unsigned long long)f.draws, f.triangles.size() / 3, f.textures.size());
    const double one = ms(kPeer1), def = ms(kPeerDefault);
    std::printf("  ours with %u rasteriser threads by default\n", raster_threads_for(0));
    auto line = [](const char* name, double ours, double peer) {
        if (ours < 0 || peer <= 0)
            std::printf("  %-44s %s\n", name, "did not run");
        else
            std::printf("  %-44s ours %.3f ms, llvmpipe %.3f ms, ratio ours/llvmpipe %.2f\n", name,
                        ours, peer, ours / peer);
    };
    line("ours 1 thread, LP_NUM_THREADS=1:", ms(kOurs1), one);
    line("ours 1 thread, LP_NUM_THREADS default:", ms(kOurs1), def);
    line("ours default threads, LP_NUM_THREADS=1:", ms(kOursDefault), one);
    line("ours default threads, LP_NUM_THREADS default:", ms(kOursDefault), def);
    if (g_demo.check)
        std::printf("  coverage ours/llvmpipe (differ), mean |dRGB|: %s\n",
                    describe(*g_demo.check).c_str());
    if (f.lines) std::printf("  not replayed: %llu line draws\n", (unsigned long long)f.lines);
    if (f.colour_format != ColorFormat::R5G6B5 || f.depth_format != DepthFormat::Z16)
        std::printf("  llvmpipe draws into 565 with 16-bit depth; the frame's target differs\n");
    if (g_demo.approx.empty()) std::printf("  every captured state replayed as is on llvmpipe\n");
    for (auto& [what, draws] : g_demo.approx)
        std::printf("  approximated on llvmpipe: %s (%llu draws)\n", what.c_str(),
                    (unsigned long long)draws);
}

} // namespace rasterbench
