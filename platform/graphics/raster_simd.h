// Which instruction set the rasteriser's span loops use: chosen once from what the processor
// offers (AVX2 where present, else the scalar loops; the SSE2 loops of the x86-64 baseline are
// slower than the scalar ones and run only when asked for), set by CORVEL_SIMD ("avx2",
// "sse2" or "scalar", capped to what the processor has), and forced by tests. Every level
// draws the same pixels.
#pragma once

#include "platform/graphics/raster_types.h"

namespace platform {

enum class SimdLevel : uint8_t { Scalar, Sse2, Avx2 };

// The best level this processor and build offer.
SimdLevel supported_simd_level();
// The level span functions are chosen for: AVX2 when supported, else scalar; CORVEL_SIMD
// names another (capped to the supported one).
SimdLevel simd_level();
// Forces the level (capped to the supported one) for span functions chosen from now on;
// returns the level in effect.
SimdLevel set_simd_level(SimdLevel level);
const char* simd_level_name(SimdLevel level);

// Span functions of one instruction set; null where that set has no loop for the combination.
SpanFunction select_span_avx2(const RenderTarget& target, const PixelState& state);
SpanFunction select_span_sse2(const RenderTarget& target, const PixelState& state);
// The scalar reference loops, for every combination.
SpanFunction select_scalar_span(const RenderTarget& target, const PixelState& state);

} // namespace platform
