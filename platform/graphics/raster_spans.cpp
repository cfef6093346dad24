// The rasteriser's inner loops: one span function per combination of target format, depth
// format, texture sampling kind, blend kind and "extras" (fog, colour key, alpha test, other
// colour operations), so the per-pixel loop carries no state lookups or indirect calls. The
// scalar loops are the reference; where the processor has them, vector loops that draw the
// same pixels take the combinations they cover.
#include "platform/graphics/raster_simd.h"
#include "platform/graphics/raster_span_setup.h"

namespace platform {
namespace {

template <class CF, class ZF, TexKind TK, BlendKind BK>
SpanFunction pick_extra(ExtraKind extra) {
    switch (extra) {
    case ExtraKind::None: return &span<CF, ZF, TK, BK, ExtraKind::None>;
    case ExtraKind::Fog: return &span<CF, ZF, TK, BK, ExtraKind::Fog>;
    default: return &span<CF, ZF, TK, BK, ExtraKind::Any>;
    }
}

template <class CF, class ZF, TexKind TK>
SpanFunction pick_blend(BlendKind bk, ExtraKind extra) {
    switch (bk) {
    case BlendKind::None: return pick_extra<CF, ZF, TK, BlendKind::None>(extra);
    case BlendKind::AlphaInvAlpha: return pick_extra<CF, ZF, TK, BlendKind::AlphaInvAlpha>(extra);
    default: return pick_extra<CF, ZF, TK, BlendKind::Generic>(extra);
    }
}

template <class CF, class ZF>
SpanFunction pick_texture(TexKind tk, BlendKind bk, ExtraKind extra) {
    switch (tk) {
    case TexKind::None: return pick_blend<CF, ZF, TexKind::None>(bk, extra);
    case TexKind::PointWrap: return pick_blend<CF, ZF, TexKind::PointWrap>(bk, extra);
    case TexKind::LinearWrap: return pick_blend<CF, ZF, TexKind::LinearWrap>(bk, extra);
    default: return pick_blend<CF, ZF, TexKind::Generic>(bk, extra);
    }
}

template <class CF>
SpanFunction pick_depth(DepthFormat zf, TexKind tk, BlendKind bk, ExtraKind extra) {
    switch (zf) {
    case DepthFormat::None: return pick_texture<CF, ZNone>(tk, bk, extra);
    case DepthFormat::Z16: return pick_texture<CF, Z16>(tk, bk, extra);
    default: return pick_texture<CF, Z32>(tk, bk, extra);
    }
}

} // namespace

SpanFunction select_scalar_span(const RenderTarget& target, const PixelState& s) {
    const SpanKinds k = classify(target, s);
    switch (target.color_format) {
    case ColorFormat::R5G6B5: return pick_depth<CF565>(k.depth, k.texture, k.blend, k.extra);
    case ColorFormat::X1R5G5B5: return pick_depth<CF555>(k.depth, k.texture, k.blend, k.extra);
    default: return pick_depth<CF8888>(k.depth, k.texture, k.blend, k.extra);
    }
}

SpanFunction select_narrow_span_function(const RenderTarget& target, const PixelState& s) {
    return select_scalar_span(target, s);
}

SpanFunction select_span_function(const RenderTarget& target, const PixelState& s) {
    SpanFunction f = nullptr;
    switch (simd_level()) {
    case SimdLevel::Avx2: f = select_span_avx2(target, s); break;
    case SimdLevel::Sse2: f = select_span_sse2(target, s); break;
    default: break;
    }
    return f ? f : select_scalar_span(target, s);
}

} // namespace platform
