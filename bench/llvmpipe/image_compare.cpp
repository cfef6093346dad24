// Pixel-by-pixel comparison of our frames with the peer's, and PPM dumps of both.
#include "bench/llvmpipe/image_compare.h"

#include <cstdio>
#include <cstdlib>

namespace rasterbench {
namespace {

void channels(uint16_t p, int out[3]) {
    out[0] = (p >> 11) << 3;
    out[1] = ((p >> 5) & 63) << 2;
    out[2] = (p & 31) << 3;
}

} // namespace

ImageCheck compare_images(const std::vector<uint16_t>& oc, const std::vector<uint16_t>& oz,
                          const std::vector<uint16_t>& pc, const std::vector<uint16_t>& pz) {
    ImageCheck k;
    double delta = 0;
    uint64_t both = 0;
    const size_t n = std::min(std::min(oc.size(), oz.size()), std::min(pc.size(), pz.size()));
    for (size_t i = 0; i < n; ++i) {
        const bool in_ours = oz[i] != 0xFFFF, in_peer = pz[i] != 0xFFFF;
        k.ours += in_ours;
        k.peer += in_peer;
        k.only_one += in_ours != in_peer;
        if (in_ours && in_peer) {
            int a[3], p[3];
            channels(oc[i], a);
            channels(pc[i], p);
            delta += std::abs(a[0] - p[0]) + std::abs(a[1] - p[1]) + std::abs(a[2] - p[2]);
            ++both;
        }
    }
    k.colour_delta = both ? delta / (3.0 * double(both)) : 0;
    return k;
}

std::string describe(const ImageCheck& k) {
    char buf[96];
    std::snprintf(buf, sizeof(buf), "%llu/%llu (%llu, %.3f%%), %.1f", (unsigned long long)k.ours,
                  (unsigned long long)k.peer, (unsigned long long)k.only_one,
                  k.ours ? 100.0 * double(k.only_one) / double(k.ours) : 0.0, k.colour_delta);
    return buf;
}

void write_ppm(const std::string& path, const std::vector<uint16_t>& pixels, uint32_t w,
               uint32_t h) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "P6\n%u %u\n255\n", w, h);
    for (uint16_t p : pixels) {
        const uint8_t rgb[3] = {uint8_t((p >> 11) << 3), uint8_t(((p >> 5) & 63) << 2),
                                uint8_t((p & 31) << 3)};
        std::fwrite(rgb, 1, 3, f);
    }
    std::fclose(f);
}

} // namespace rasterbench
