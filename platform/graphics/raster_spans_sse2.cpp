// The vector span loops on the x86-64 baseline: four pixels a step in SSE2 registers.
#include "platform/graphics/raster_simd.h"

#if defined(__SSE2__)
#define RASTER_VECTOR_LANES 4
#include "platform/graphics/raster_span_vector.h"
#endif

namespace platform {

SpanFunction select_span_sse2(const RenderTarget& target, const PixelState& state) {
#if defined(__SSE2__)
    return select_vector_span(target, state);
#else
    (void)target;
    (void)state;
    return nullptr;
#endif
}

} // namespace platform
