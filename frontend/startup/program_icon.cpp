// The program's icon: each pixel is sampled 4 x 4 times, so the ring edges blend into their
// neighbours and the outer edge into the transparent ground.
#include "frontend/startup/program_icon.h"

#include <algorithm>

namespace {

struct Ring {
    float radius; // outer radius as a fraction of the icon's half size
    uint32_t rgb;
};

// Outside in; a sample belongs to the innermost ring that still contains it.
constexpr Ring rings[] = {{1.00f, 0x1f3f8f}, {0.66f, 0xf4f4ee}, {0.34f, 0xc8241c}};

constexpr int samples = 4;

} // namespace

std::vector<uint32_t> TvProgramIcon(int size) {
    std::vector<uint32_t> pixels(static_cast<size_t>(std::max(size, 0)) * std::max(size, 0));
    const float half = size / 2.0f;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            float r = 0, g = 0, b = 0, covered = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const float px = (x + (sx + 0.5f) / samples - half) / half;
                    const float py = (y + (sy + 0.5f) / samples - half) / half;
                    const float d2 = px * px + py * py;
                    const Ring* inside = nullptr;
                    for (const Ring& ring : rings)
                        if (d2 <= ring.radius * ring.radius) inside = &ring;
                    if (!inside) continue;
                    r += (inside->rgb >> 16) & 0xff;
                    g += (inside->rgb >> 8) & 0xff;
                    b += inside->rgb & 0xff;
                    covered += 1;
                }
            }
            if (covered == 0) continue;
            const auto channel = [covered](float sum) {
                return static_cast<uint32_t>(sum / covered + 0.5f);
            };
            const auto alpha = static_cast<uint32_t>(covered * 255.0f / (samples * samples) + 0.5f);
            pixels[static_cast<size_t>(y) * size + x] =
                alpha << 24 | channel(r) << 16 | channel(g) << 8 | channel(b);
        }
    }
    return pixels;
}
