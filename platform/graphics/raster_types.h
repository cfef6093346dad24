// What the software rasteriser works on: the render target, the bound texture's levels, the
// resolved per-draw pixel state and the attribute planes of one primitive.
#pragma once

#include <cstdint>

namespace platform {

enum class ColorFormat : uint8_t { R5G6B5, X1R5G5B5, A8R8G8B8 };
// Z32 keeps 24 bits of precision in 32-bit words.
enum class DepthFormat : uint8_t { None, Z16, Z32 };
enum class TexFilter : uint8_t { Point, Linear };
enum class MipFilter : uint8_t { None, Point, Linear };
enum class TexAddress : uint8_t { Wrap = 1, Mirror, Clamp, Border };
enum class ColorOp : uint8_t { Modulate, SelectTexture, SelectDiffuse };

struct RenderTarget {
    uint8_t* color = nullptr;
    int32_t pitch = 0;
    ColorFormat color_format = ColorFormat::R5G6B5;
    uint8_t* depth = nullptr;
    int32_t depth_pitch = 0;
    DepthFormat depth_format = DepthFormat::None;
    // Scissor: pixels x0 <= x < x1, y0 <= y < y1 (viewport within the surfaces).
    int32_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool operator==(const RenderTarget&) const = default;
};

struct TexLevel {
    const uint32_t* texels = nullptr; // 0xAARRGGBB, rows of w
    uint32_t w = 0, h = 0;
    uint32_t wshift = 0; // log2(w)

    bool operator==(const TexLevel&) const = default;
};

struct TextureView {
    static constexpr int kMaxLevels = 16;
    TexLevel level[kMaxLevels];
    int levels = 0;
};

// The device's render and stage states, resolved once per draw call.
struct PixelState {
    bool z_enabled = false;  // a z-buffer exists and ZENABLE is on
    uint8_t z_func_mask = 0; // bit 0: pass when less, bit 1: equal, bit 2: greater
    bool z_write = true;

    bool textured = false;
    ColorOp color_op = ColorOp::SelectDiffuse;
    ColorOp alpha_op = ColorOp::SelectDiffuse;
    TexFilter mag = TexFilter::Point, min = TexFilter::Point;
    MipFilter mip = MipFilter::None;
    TexAddress address_u = TexAddress::Wrap, address_v = TexAddress::Wrap;
    uint32_t border = 0;
    float lod_bias = 0.0f;
    bool perspective = true;
    bool color_key = false;

    bool alpha_test = false;
    uint8_t alpha_func_mask = 7;
    uint32_t alpha_ref = 0;

    bool blend = false;
    uint32_t src_blend = 5, dst_blend = 6;

    bool fog = false;
    uint32_t fog_color = 0; // 0xRRGGBB

    bool flat = false;

    bool operator==(const PixelState&) const = default;
};

// Attribute planes of one primitive: value(x, y) = base + ddx * (x - ox) + ddy * (y - oy),
// with x, y at pixel centres.
struct Plane {
    float base = 0, ddx = 0, ddy = 0;
};

struct Primitive {
    float ox = 0, oy = 0;
    Plane z;
    Plane r, g, b, a; // 0..255
    Plane fog;        // 0..255, 255 = no fog
    Plane uw, vw, q;  // u/w, v/w, 1/w (q = 1 without perspective)
};

// Draws pixels x0 <= x < x1 of row y (already scissored).
struct SpanContext;
using SpanFunction = void (*)(const SpanContext& c, int32_t y, int32_t x0, int32_t x1);

struct SpanContext {
    const RenderTarget* target = nullptr;
    const PixelState* state = nullptr;
    const TextureView* texture = nullptr;
    // The scalar loop for the same target and state, which the vector loops hand spans
    // narrower than one vector step (null: they draw every span themselves).
    SpanFunction narrow = nullptr;
    Primitive prim;
};

// The inner loop specialised for this target and state, and the scalar loop for spans
// narrower than one vector step (the same pixels).
SpanFunction select_span_function(const RenderTarget& target, const PixelState& state);
SpanFunction select_narrow_span_function(const RenderTarget& target, const PixelState& state);

} // namespace platform
