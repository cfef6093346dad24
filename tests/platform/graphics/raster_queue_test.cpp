// The binned, threaded rasteriser and the vector span loops against the scalar rasteriser
// drawing each primitive at once: a table of target formats and states, a few hundred seeded
// triangles and lines each, drawn with every instruction set the processor has and 1, 2 and
// 8 threads, must give the same colour and depth bytes everywhere.
#include "platform/graphics/raster_queue.h"
#include "platform/graphics/raster_simd.h"
#include "platform/graphics/raster_workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sched.h>
#endif

namespace {

using namespace platform;

constexpr int32_t kW = 203, kH = 157; // not multiples of the band height
constexpr uint32_t kTex = 32;

struct Textures {
    std::vector<std::vector<uint32_t>> levels;
    TextureView view;
    explicit Textures(bool keyed) {
        for (uint32_t size = kTex; size >= 1; size /= 2) {
            std::vector<uint32_t> t(size * size);
            for (uint32_t y = 0; y < size; ++y)
                for (uint32_t x = 0; x < size; ++x) {
                    const uint32_t v = (x * 37 + y * 91 + size * 13) & 255;
                    // Single keyed texels and, at the top level, keyed blocks wide enough
                    // that whole vector steps of a magnified span are keyed out.
                    const bool key =
                        ((x ^ y) & 3) == 0 || (size == kTex && ((x / 8 + y / 8) % 3) == 0);
                    t[y * size + x] =
                        keyed && key ? 0u : (v << 24 | (255 - v) << 16 | (v * 3 & 255) << 8 | 77);
                }
            levels.push_back(std::move(t));
        }
        for (size_t i = 0; i < levels.size(); ++i) {
            TexLevel& l = view.level[i];
            l.texels = levels[i].data();
            l.w = l.h = kTex >> i;
            l.wshift = uint32_t(std::countr_zero(l.w));
        }
        view.levels = int(levels.size());
    }
};

struct Case {
    std::string name;
    ColorFormat colour;
    DepthFormat depth;
    PixelState state;
};

std::vector<Case> cases() {
    std::vector<Case> out;
    auto add = [&](std::string name, ColorFormat c, DepthFormat d, auto&& edit) {
        PixelState s;
        s.z_enabled = d != DepthFormat::None;
        s.z_func_mask = 3;
        edit(s);
        out.push_back({std::move(name), c, d, s});
    };
    add("flat_565_z16", ColorFormat::R5G6B5, DepthFormat::Z16,
        [](PixelState& s) { s.flat = true; });
    add("gouraud_555_nodepth", ColorFormat::X1R5G5B5, DepthFormat::None, [](PixelState&) {});
    add("point_wrap_565_z16", ColorFormat::R5G6B5, DepthFormat::Z16, [](PixelState& s) {
        s.textured = true;
        s.color_op = ColorOp::Modulate;
    });
    add("bilinear_mip_8888_z32", ColorFormat::A8R8G8B8, DepthFormat::Z32, [](PixelState& s) {
        s.textured = true;
        s.color_op = s.alpha_op = ColorOp::Modulate;
        s.mag = s.min = TexFilter::Linear;
        s.mip = MipFilter::Linear;
    });
    add("blend_fog_clamp_565_z16_nowrite", ColorFormat::R5G6B5, DepthFormat::Z16,
        [](PixelState& s) {
            s.textured = true;
            s.color_op = s.alpha_op = ColorOp::Modulate;
            s.mag = s.min = TexFilter::Linear;
            s.address_u = s.address_v = TexAddress::Clamp;
            s.alpha_test = true;
            s.alpha_func_mask = 4;
            s.alpha_ref = 8;
            s.blend = true;
            s.fog = true;
            s.fog_color = 0x5080A0;
            s.z_write = false;
        });
    add("keyed_clamp_bilinear_mip_blend_8888_z32", ColorFormat::A8R8G8B8, DepthFormat::Z32,
        [](PixelState& s) {
            s.textured = true;
            s.color_key = true;
            s.color_op = s.alpha_op = ColorOp::Modulate;
            s.mag = s.min = TexFilter::Linear;
            s.mip = MipFilter::Linear;
            s.address_u = s.address_v = TexAddress::Clamp;
            s.blend = true;
        });
    add("keyed_mirror_point_mip_565_z16", ColorFormat::R5G6B5, DepthFormat::Z16, [](PixelState& s) {
        s.textured = true;
        s.color_key = true;
        s.color_op = ColorOp::SelectTexture;
        s.alpha_op = ColorOp::SelectTexture;
        s.address_u = TexAddress::Mirror;
        s.address_v = TexAddress::Border;
        s.border = 0xFF102030;
        s.mip = MipFilter::Point;
    });
    add("keyed_point_wrap_565_z16", ColorFormat::R5G6B5, DepthFormat::Z16, [](PixelState& s) {
        s.textured = true;
        s.color_key = true;
        s.color_op = s.alpha_op = ColorOp::Modulate;
    });
    add("keyed_point_wrap_alpha_test_8888_nodepth", ColorFormat::A8R8G8B8, DepthFormat::None,
        [](PixelState& s) {
            s.textured = true;
            s.color_key = true;
            s.color_op = s.alpha_op = ColorOp::Modulate;
            s.alpha_test = true;
            s.alpha_func_mask = 6;
            s.alpha_ref = 40;
        });
    add("keyed_bilinear_wrap_point_mip_565_z16", ColorFormat::R5G6B5, DepthFormat::Z16,
        [](PixelState& s) {
            s.textured = true;
            s.color_key = true;
            s.color_op = ColorOp::Modulate;
            s.mag = s.min = TexFilter::Linear;
            s.mip = MipFilter::Point;
        });
    add("keyed_clamp_point_linear_mip_555_z32_less", ColorFormat::X1R5G5B5, DepthFormat::Z32,
        [](PixelState& s) {
            s.textured = true;
            s.color_key = true;
            s.color_op = ColorOp::Modulate;
            s.address_u = s.address_v = TexAddress::Clamp;
            s.mip = MipFilter::Linear;
            s.z_func_mask = 1;
        });
    add("keyed_clamp_point_565_nodepth", ColorFormat::R5G6B5, DepthFormat::None, [](PixelState& s) {
        s.textured = true;
        s.color_key = true;
        s.color_op = ColorOp::Modulate;
        s.address_u = s.address_v = TexAddress::Clamp;
    });
    add("keyed_mirror_bilinear_565_z16", ColorFormat::R5G6B5, DepthFormat::Z16, [](PixelState& s) {
        s.textured = true;
        s.color_key = true;
        s.color_op = ColorOp::Modulate;
        s.mag = s.min = TexFilter::Linear;
        s.address_u = s.address_v = TexAddress::Mirror;
    });
    add("generic_blend_greater_8888_z16", ColorFormat::A8R8G8B8, DepthFormat::Z16,
        [](PixelState& s) {
            s.textured = true;
            s.color_op = s.alpha_op = ColorOp::Modulate;
            s.mag = TexFilter::Linear;
            s.blend = true;
            s.src_blend = 9; // destination colour
            s.dst_blend = 2; // one
            s.z_func_mask = 6;
            s.perspective = false;
        });
    add("fog_point_wrap_555_z32", ColorFormat::X1R5G5B5, DepthFormat::Z32, [](PixelState& s) {
        s.textured = true;
        s.color_op = ColorOp::Modulate;
        s.fog = true;
        s.fog_color = 0xC0C0C0;
    });
    return out;
}

struct Frame {
    std::vector<uint8_t> colour, depth;
    RenderTarget target;
    Frame(ColorFormat c, DepthFormat d) {
        const int32_t cb = c == ColorFormat::A8R8G8B8 ? 4 : 2;
        const int32_t db = d == DepthFormat::Z32 ? 4 : 2;
        colour.assign(size_t(kW) * kH * cb, 0x35);
        depth.assign(size_t(kW) * kH * db, 0xC0);
        target.color = colour.data();
        target.pitch = kW * cb;
        target.color_format = c;
        if (d != DepthFormat::None) {
            target.depth = depth.data();
            target.depth_pitch = kW * db;
            target.depth_format = d;
        }
        target.x0 = 3;
        target.y0 = 5;
        target.x1 = kW - 2;
        target.y1 = kH - 1;
    }
};

// Triangles and lines over and beyond the target, large and small, with every attribute
// varying; each primitive kind is drawn under each cull mode in turn.
struct Primitives {
    std::vector<D3DTLVERTEX> triangles, lines;
    Primitives() {
        std::mt19937 rng(2024);
        auto uniform = [&](float lo, float hi) {
            return std::uniform_real_distribution<float>(lo, hi)(rng);
        };
        auto vertex = [&](float cx, float cy, float spread) {
            const float rhw = uniform(0.2f, 2.0f);
            const uint32_t colour = rng(), fog = rng() & 0xFF000000u;
            return D3DTLVERTEX{cx + uniform(-spread, spread),
                               cy + uniform(-spread, spread),
                               uniform(0.0f, 1.0f),
                               rhw,
                               colour,
                               fog,
                               uniform(-2.0f, 3.0f),
                               uniform(-2.0f, 3.0f)};
        };
        for (int i = 0; i < 240; ++i) {
            const float spread = i % 10 == 0 ? 150.0f : (i % 3 == 0 ? 30.0f : 6.0f);
            const float cx = uniform(-10, kW + 10), cy = uniform(-10, kH + 10);
            for (int k = 0; k < 3; ++k) triangles.push_back(vertex(cx, cy, spread));
        }
        for (int i = 0; i < 40; ++i) {
            const float cx = uniform(0, kW), cy = uniform(0, kH);
            lines.push_back(vertex(cx, cy, 60));
            lines.push_back(vertex(cx, cy, 60));
        }
    }
};

template <class Drawer>
void draw_all(Drawer& d, const Primitives& p) {
    for (size_t i = 0; i + 2 < p.triangles.size(); i += 3)
        d.triangle(p.triangles[i], p.triangles[i + 1], p.triangles[i + 2]);
    for (size_t i = 0; i + 1 < p.lines.size(); i += 2) d.line(p.lines[i], p.lines[i + 1]);
}

// Restores the instruction set in use when a test ends.
struct SimdGuard {
    SimdLevel saved = simd_level();
    ~SimdGuard() { set_simd_level(saved); }
};

TEST(RasterQueue, AnyThreadCountAndInstructionSetDrawTheSamePixelsAsTheScalarRasteriser) {
    SimdGuard guard;
    const Textures plain(false), keyed(true);
    const Primitives prims;
    for (const Case& c : cases()) {
        const TextureView* view = c.state.color_key ? &keyed.view : &plain.view;
        Frame want(c.colour, c.depth);
        set_simd_level(SimdLevel::Scalar);
        Rasterizer r;
        for (uint32_t cull : {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW}) {
            r.prepare(want.target, c.state, view, cull);
            draw_all(r, prims);
        }
        for (SimdLevel level : {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2}) {
            if (set_simd_level(level) != level) continue; // not on this processor
            for (uint32_t threads : {1u, 2u, 8u}) {
                Frame got(c.colour, c.depth);
                {
                    RasterQueue q(threads);
                    for (uint32_t cull : {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW}) {
                        q.prepare(got.target, c.state, view, cull);
                        draw_all(q, prims);
                    }
                    EXPECT_EQ(q.pending(), threads > 1) << "one thread draws at once";
                    q.flush();
                    EXPECT_FALSE(q.pending());
                }
                const std::string where = c.name + ", " + simd_level_name(level) + ", " +
                                          std::to_string(threads) + " threads";
                EXPECT_TRUE(got.colour == want.colour) << where;
                EXPECT_TRUE(got.depth == want.depth) << where;
            }
        }
    }
}

TEST(SimdLevel, ForcingALevelIsCappedToWhatTheProcessorHas) {
    SimdGuard guard;
    const SimdLevel best = supported_simd_level();
    EXPECT_EQ(set_simd_level(SimdLevel::Scalar), SimdLevel::Scalar);
    EXPECT_EQ(simd_level(), SimdLevel::Scalar);
    EXPECT_EQ(set_simd_level(SimdLevel::Avx2), best);
#if defined(__x86_64__)
    EXPECT_GE(best, SimdLevel::Sse2) << "SSE2 is the x86-64 baseline";
    EXPECT_EQ(set_simd_level(SimdLevel::Sse2), SimdLevel::Sse2);
    EXPECT_EQ(__builtin_cpu_supports("avx2") != 0, best == SimdLevel::Avx2);
#endif
    // Every level has loops for the common states, the scalar reference for all of them.
    RenderTarget t;
    t.color_format = ColorFormat::R5G6B5;
    t.depth_format = DepthFormat::Z16;
    PixelState s;
    s.z_enabled = true;
    s.textured = true;
    s.color_op = ColorOp::Modulate;
    EXPECT_NE(select_scalar_span(t, s), nullptr);
    if (best >= SimdLevel::Sse2) {
        EXPECT_NE(select_span_sse2(t, s), nullptr);
    }
    if (best >= SimdLevel::Avx2) {
        EXPECT_NE(select_span_avx2(t, s), nullptr);
    }
    s.blend = true;
    s.src_blend = 9;
    EXPECT_EQ(select_span_sse2(t, s), nullptr) << "other blend factors stay scalar";
}

#if defined(__linux__)
// A process pinned to some cores rasterises with as many threads as it has cores.
TEST(RasterWorkers, DefaultThreadsAreTheCoresTheThreadMayRunOn) {
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof(saved), &saved), 0);
    int first = 0;
    while (first < CPU_SETSIZE && !CPU_ISSET(first, &saved)) ++first;
    ASSERT_LT(first, CPU_SETSIZE);
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(first, &one);
    ASSERT_EQ(sched_setaffinity(0, sizeof(one), &one), 0);
    EXPECT_EQ(default_raster_threads(), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof(saved), &saved), 0);
    EXPECT_EQ(default_raster_threads(),
              std::min<uint32_t>(uint32_t(CPU_COUNT(&saved)), kMaxRasterThreads));
}
#endif

TEST(RasterQueue, FlushOfAllQueuesDrawsEveryPendingQueue) {
    const Primitives prims;
    Frame a(ColorFormat::R5G6B5, DepthFormat::Z16), b(ColorFormat::R5G6B5, DepthFormat::Z16);
    const std::vector<uint8_t> untouched = a.colour;
    PixelState s;
    s.z_enabled = true;
    s.z_func_mask = 3;
    RasterQueue qa(4), qb(1);
    qa.prepare(a.target, s, nullptr, D3DCULL_NONE);
    qb.prepare(b.target, s, nullptr, D3DCULL_NONE);
    draw_all(qa, prims);
    draw_all(qb, prims);
    EXPECT_TRUE(a.colour == untouched) << "queued work waits for a flush";
    flush_raster_queues();
    EXPECT_FALSE(qa.pending());
    EXPECT_FALSE(qb.pending());
    EXPECT_TRUE(a.colour == b.colour);
    EXPECT_FALSE(a.colour == untouched);
}

TEST(RasterQueue, AnotherThreadsFlushLeavesThisThreadsWorkQueued) {
    const Primitives prims;
    Frame a(ColorFormat::R5G6B5, DepthFormat::None);
    PixelState s;
    RasterQueue q(2);
    q.prepare(a.target, s, nullptr, D3DCULL_NONE);
    draw_all(q, prims);
    std::thread other([] { flush_raster_queues(); });
    other.join();
    EXPECT_TRUE(q.pending()) << "another thread must not reach into this thread's queue";
    flush_raster_queues();
    EXPECT_FALSE(q.pending());
}

} // namespace
