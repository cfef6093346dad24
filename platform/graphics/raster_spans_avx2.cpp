// The vector span loops built for AVX2 (this file alone is compiled with -mavx2; the
// processor is asked before any of it runs).
#include "platform/graphics/raster_simd.h"

#if defined(__AVX2__)
#define RASTER_VECTOR_LANES 8
#include "platform/graphics/raster_span_vector.h"
#endif

namespace platform {

SpanFunction select_span_avx2(const RenderTarget& target, const PixelState& state) {
#if defined(__AVX2__)
    return select_vector_span(target, state);
#else
    (void)target;
    (void)state;
    return nullptr;
#endif
}

} // namespace platform
