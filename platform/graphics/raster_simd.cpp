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

SimdLevel from_environment(SimdLevel supported) {
    const char* env = std::getenv("CORVEL_SIMD");
    if (!env) return supported;
    SimdLevel wanted = supported;
    if (std::strcmp(env, "scalar") == 0)
        wanted = SimdLevel::Scalar;
    else if (std::strcmp(env, "sse2") == 0)
        wanted = SimdLevel::Sse2;
    else if (std::strcmp(env, "avx2") == 0)
        wanted = SimdLevel::Avx2;
    return wanted < supported ? wanted : supported;
}

std::atomic<int>& current() {
    static std::atomic<int> level{int(from_environment(supported_simd_level()))};
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
