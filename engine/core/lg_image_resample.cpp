// Box-filter resampling of 32-bit images: each destination pixel is the area-weighted mean
// of the source pixels it covers, the source stepped in 16.16 fixed point.
#include "engine/core/lg_error.h"
#include "engine/core/lg_image.h"

#include <algorithm>
#include <vector>

namespace {

// The source pixels one destination pixel covers along an axis, with their weights.
struct Span {
    int32_t first;
    int32_t count;
    size_t weights; // index of the first weight
};

struct AxisFilter {
    std::vector<Span> spans;
    std::vector<float> weights;
};

AxisFilter make_filter(int32_t source, int32_t destination) {
    AxisFilter f;
    f.spans.reserve(static_cast<size_t>(destination));
    const int64_t whole = int64_t{source} << 16;
    const int64_t step = whole / destination;
    for (int32_t i = 0; i < destination; ++i) {
        const int64_t start = step * i;
        // The last pixel reaches the source's far edge that the truncated step falls short of.
        const int64_t end = i == destination - 1 ? whole : step * (i + 1);
        const auto length = static_cast<float>(end - start);
        const auto first = static_cast<int32_t>(start >> 16);
        const auto last = static_cast<int32_t>((end - 1) >> 16);
        f.spans.push_back({first, last - first + 1, f.weights.size()});
        for (int32_t j = first; j <= last; ++j) {
            const int64_t lo = std::max(start, int64_t{j} << 16);
            const int64_t hi = std::min(end, int64_t{j + 1} << 16);
            f.weights.push_back(static_cast<float>(hi - lo) / length);
        }
    }
    return f;
}

uint8_t to_byte(float value) {
    const float scaled = value * 255.0f + 0.5f;
    return scaled <= 0.0f ? 0 : scaled >= 255.0f ? 255 : static_cast<uint8_t>(scaled);
}

} // namespace

LgImage* LgImageResample(LgImage* destination, const LgImage* source) {
    if (destination == nullptr || source == nullptr || destination->pixels == nullptr ||
        source->pixels == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrNullArgument);
        return nullptr;
    }
    if (destination->depth != 32 || source->depth != 32 || destination->width <= 0 ||
        destination->height <= 0 || source->width <= 0 || source->height <= 0) {
        LgErrorRaise(LgErrorGroupCore, LgErrBadImage);
        return nullptr;
    }
    const AxisFilter across = make_filter(source->width, destination->width);
    const AxisFilter down = make_filter(source->height, destination->height);
    const int32_t width = destination->width;
    // Rows filtered across, as channel values / 255.
    std::vector<float> rows(static_cast<size_t>(source->height) * width * 4);
    constexpr float unit = 1.0f / 255.0f;
    for (int32_t y = 0; y < source->height; ++y) {
        const auto* in = reinterpret_cast<const LgRGBA*>(source->pixels +
                                                         static_cast<size_t>(y) * source->stride);
        float* out = rows.data() + static_cast<size_t>(y) * width * 4;
        for (int32_t x = 0; x < width; ++x, out += 4) {
            const Span& s = across.spans[static_cast<size_t>(x)];
            float r = 0, g = 0, b = 0, a = 0;
            for (int32_t k = 0; k < s.count; ++k) {
                const float w = across.weights[s.weights + k] * unit;
                const LgRGBA& c = in[s.first + k];
                r += w * c.red;
                g += w * c.green;
                b += w * c.blue;
                a += w * c.alpha;
            }
            out[0] = r;
            out[1] = g;
            out[2] = b;
            out[3] = a;
        }
    }
    std::vector<float> sum(static_cast<size_t>(width) * 4);
    for (int32_t y = 0; y < destination->height; ++y) {
        const Span& s = down.spans[static_cast<size_t>(y)];
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int32_t k = 0; k < s.count; ++k) {
            const float w = down.weights[s.weights + k];
            const float* in = rows.data() + static_cast<size_t>(s.first + k) * width * 4;
            for (size_t i = 0; i < sum.size(); ++i) sum[i] += w * in[i];
        }
        auto* out = reinterpret_cast<LgRGBA*>(destination->pixels +
                                              static_cast<size_t>(y) * destination->stride);
        for (int32_t x = 0; x < width; ++x)
            out[x] = {to_byte(sum[4 * x]), to_byte(sum[4 * x + 1]), to_byte(sum[4 * x + 2]),
                      to_byte(sum[4 * x + 3])};
    }
    destination->flags =
        (destination->flags & ~LgImageGammaCorrected) | (source->flags & LgImageGammaCorrected);
    return destination;
}

LgImage* LgImageCreateResampled(const LgImage* image, int32_t width, int32_t height) {
    if (image == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrNullArgument);
        return nullptr;
    }
    const LgImage* source = image;
    LgImage* widened = nullptr;
    if (image->depth != 32) {
        widened = LgImageCreate(image->width, image->height, 32);
        if (widened == nullptr || LgImageAllocatePixels(widened) == nullptr ||
            LgImageCopy(widened, image) == nullptr) {
            LgImageDestroy(widened);
            return nullptr;
        }
        widened->flags |= image->flags & LgImageGammaCorrected;
        source = widened;
    }
    LgImage* result = LgImageCreate(width, height, 32);
    if (result == nullptr || LgImageAllocatePixels(result) == nullptr ||
        LgImageResample(result, source) == nullptr) {
        LgImageDestroy(result);
        result = nullptr;
    }
    LgImageDestroy(widened);
    return result;
}
