// Frame shots of whole-program test runs.
#include "frontend/startup/frame_shots.h"

#include "platform/graphics/presenter.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

std::string shot_dir;
std::vector<uint64_t> shot_serials;

void observe(const platform::PresentedFrame& frame) {
    if (std::find(shot_serials.begin(), shot_serials.end(), frame.serial) == shot_serials.end())
        return;
    TvWritePpm(shot_dir + "/frame-" + std::to_string(frame.serial) + ".ppm", frame.width,
               frame.height, frame.pixels, frame.serial);
}

} // namespace

bool TvWritePpm(const std::string& path, uint32_t width, uint32_t height,
                const std::vector<uint32_t>& pixels, uint64_t serial) {
    if (pixels.size() < size_t(width) * height) return false;
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!file) return false;
    std::fprintf(file.get(), "P6\n# frame %llu\n%u %u\n255\n",
                 static_cast<unsigned long long>(serial), width, height);
    std::vector<uint8_t> row(size_t(width) * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t p = pixels[size_t(y) * width + x];
            row[x * 3] = uint8_t(p >> 16);
            row[x * 3 + 1] = uint8_t(p >> 8);
            row[x * 3 + 2] = uint8_t(p);
        }
        if (std::fwrite(row.data(), 1, row.size(), file.get()) != row.size()) return false;
    }
    return true;
}

void TvStartFrameShots(const std::string& dir, const std::vector<uint64_t>& serials) {
    shot_dir = dir;
    shot_serials = serials;
    if (!shot_dir.empty()) platform::set_present_observer(observe);
}

void TvFinishFrameShots() {
    if (shot_dir.empty()) return;
    platform::set_present_observer(nullptr);
    const platform::PresentedFrame& last = platform::last_presented_frame();
    if (last.serial != 0) TvWritePpm(shot_dir + "/last.ppm", last.width, last.height, last.pixels,
                                    last.serial);
    shot_dir.clear();
}
