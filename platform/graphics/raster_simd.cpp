// The rasteriser's instruction-set choice.
#include "platform/graphics/raster_simd.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace platform {
namespace {

SimdLevel detect() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) return SimdLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
#endif
    return SimdLevel::Scalar;
}

// The default, or the level CORVEL_SIMD names, capped to what the processor has.
SimdLevel from_environment(SimdLevel fallback) {
    const SimdLevel supported = supported_simd_level();
    const char* env = std::getenv("CORVEL_SIMD");
    if (!env) return fallback;
    SimdLevel wanted = fallback;
    if (std::strcmp(env, "scalar") == 0)
        wanted = SimdLevel::Scalar;
    else if (std::strcmp(env, "sse2") == 0)
        wanted = SimdLevel::Sse2;
    else if (std::strcmp(env, "avx2") == 0)
        wanted = SimdLevel::Avx2;
    return wanted < supported ? wanted : supported;
}

// Without AVX2 the scalar loops are the default: the four-lane SSE2 loops have neither
// gathers nor a 32-bit multiply and measure slower than the scalar loops, so they are drawn
// only when asked for (CORVEL_SIMD=sse2, or forced).
SimdLevel default_level() {
    const SimdLevel supported = supported_simd_level();
    return supported == SimdLevel::Avx2 ? SimdLevel::Avx2 : SimdLevel::Scalar;
}

std::atomic<int>& current() {
    static std::atomic<int> level{int(from_environment(default_level()))};
    return level;
}

} // namespace

SimdLevel supported_simd_level() {
    static const SimdLevel level = detect();
    return level;
}

SimdLevel simd_level() {
    return SimdLevel(current().load(std::memory_order_relaxed));
}

SimdLevel set_simd_level(SimdLevel level) {
    const SimdLevel supported = supported_simd_level();
    const SimdLevel in_effect = level < supported ? level : supported;
    current().store(int(in_effect), std::memory_order_relaxed);
    return in_effect;
}

const char* simd_level_name(SimdLevel level) {
    switch (level) {
    case SimdLevel::Avx2: return "avx2";
    case SimdLevel::Sse2: return "sse2";
    default: return "scalar";
    }
}

} // namespace platform
