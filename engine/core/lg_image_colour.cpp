// Image colour work: copies between depths, masks and gamma correction.
#include "engine/core/lg_error.h"
#include "engine/core/lg_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

int32_t palette_entries(int32_t depth) {
    return depth == 4 ? 16 : depth == 8 ? 256 : 0;
}

// A palette index as stored in a pixel; depth 4 only has 16 entries to look up.
uint8_t index_of(const LgImage* image, uint8_t stored) {
    return image->depth == 4 ? static_cast<uint8_t>(stored & 0x0f) : stored;
}

bool palettised(const LgImage* image) {
    return image->depth == 4 || image->depth == 8;
}

uint8_t brightest(const LgRGBA& c) {
    return std::max({c.red, c.green, c.blue});
}

bool fail(int32_t code) {
    LgErrorRaise(LgErrorGroupCore, code);
    return false;
}

bool copy_pixels(LgImage* dst, const LgImage* src) {
    const int32_t width = std::min(dst->width, src->width);
    const int32_t height = std::min(dst->height, src->height);
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = src->pixels + static_cast<size_t>(y) * src->stride;
        uint8_t* out = dst->pixels + static_cast<size_t>(y) * dst->stride;
        if (src->depth == dst->depth || (src->depth == 4 && dst->depth == 8)) {
            std::memcpy(out, in, static_cast<size_t>((src->depth + 7) / 8) * width);
            continue;
        }
        auto* rgba = reinterpret_cast<LgRGBA*>(out);
        for (int32_t x = 0; x < width; ++x) rgba[x] = src->palette[index_of(src, in[x])];
    }
    return true;
}

// Replaces a palettised image's block by a 32-bit one holding the same colours.
bool convert_to_rgba(LgImage* image) {
    LgImage* original = LgImageCreate(image->width, image->height, image->depth);
    if (original == nullptr) return false;
    LgImageSetPixels(original, image->pixels);
    LgImageSetPalette(original, image->palette);
    original->stride = image->stride;
    const uint32_t owned = image->flags & LgImageOwnsPixels;
    // Detach the old block from the image so allocating the new one does not free it.
    image->flags &= ~LgImageOwnsPixels;
    image->depth = 32;
    if (LgImageAllocatePixels(image) == nullptr) {
        image->depth = original->depth;
        image->flags |= owned;
        LgImageDestroy(original);
        return false;
    }
    copy_pixels(image, original);
    if (owned != 0) original->flags |= LgImageOwnsPixels;
    LgImageDestroy(original);
    return true;
}

} // namespace

LgImage* LgImageCopy(LgImage* destination, const LgImage* source) {
    if (destination == nullptr || source == nullptr || destination->pixels == nullptr ||
        source->pixels == nullptr) {
        fail(LgErrNullArgument);
        return nullptr;
    }
    const bool same = source->depth == destination->depth;
    const bool widen = palettised(source) && (destination->depth == 32 ||
                                              (source->depth == 4 && destination->depth == 8));
    if (!same && !widen) {
        fail(LgErrBadImage);
        return nullptr;
    }
    if (palettised(source) && destination->depth == 32 && source->palette == nullptr) {
        fail(LgErrNullArgument);
        return nullptr;
    }
    if (same && palettised(source) && source->palette != nullptr && destination->palette != nullptr)
        std::memcpy(destination->palette, source->palette,
                    sizeof(LgRGBA) * palette_entries(source->depth));
    if (source->depth == 4 && destination->depth == 8 && source->palette != nullptr &&
        destination->palette != nullptr)
        std::memcpy(destination->palette, source->palette, sizeof(LgRGBA) * 16);
    copy_pixels(destination, source);
    return destination;
}

LgImage* LgImageMakeMask(LgImage* image) {
    if (image == nullptr) return nullptr;
    if (palettised(image)) {
        if (image->palette == nullptr) return image;
        for (int32_t i = 0; i < palette_entries(image->depth); ++i)
            image->palette[i].alpha = brightest(image->palette[i]);
    } else if (image->depth == 32 && image->pixels != nullptr) {
        for (int32_t y = 0; y < image->height; ++y) {
            auto* row =
                reinterpret_cast<LgRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride);
            for (int32_t x = 0; x < image->width; ++x) row[x].alpha = brightest(row[x]);
        }
    }
    return image;
}

LgImage* LgImageApplyMask(LgImage* image, const LgImage* mask) {
    if (image == nullptr || mask == nullptr || image->pixels == nullptr ||
        mask->pixels == nullptr) {
        fail(LgErrNullArgument);
        return nullptr;
    }
    const bool maskUsable = mask->depth == 32 || (palettised(mask) && mask->palette != nullptr);
    if (!(palettised(image) || image->depth == 32) || !maskUsable) {
        fail(LgErrBadImage);
        return nullptr;
    }
    if (palettised(image) && (image->palette == nullptr || !convert_to_rgba(image))) return nullptr;
    const int32_t width = std::min(image->width, mask->width);
    const int32_t height = std::min(image->height, mask->height);
    for (int32_t y = 0; y < height; ++y) {
        auto* out =
            reinterpret_cast<LgRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride);
        const uint8_t* in = mask->pixels + static_cast<size_t>(y) * mask->stride;
        for (int32_t x = 0; x < width; ++x)
            out[x].alpha = mask->depth == 32 ? reinterpret_cast<const LgRGBA*>(in)[x].alpha
                                             : mask->palette[index_of(mask, in[x])].alpha;
    }
    return image;
}

int32_t LgImageSetGamma(float gamma) {
    LgImageSlice* s = LgImageModuleSlice();
    // A gamma of zero or below has no power curve; the tables keep their last values.
    if (s == nullptr || !(gamma > 0.0f) || !std::isfinite(gamma)) return 0;
    s->gamma = gamma;
    s->forwardGamma[0] = s->inverseGamma[0] = 0;
    const double g = gamma;
    for (int i = 1; i < 256; ++i) {
        const double x = i * (1.0 / 255.0);
        s->forwardGamma[i] = static_cast<uint8_t>(255.0 * std::pow(x, 1.0 / g) + 0.5);
        s->inverseGamma[i] = static_cast<uint8_t>(255.0 * std::pow(x, g) + 0.5);
    }
    return 1;
}

float LgImageGetGamma() {
    const LgImageSlice* s = LgImageModuleSlice();
    return s != nullptr ? s->gamma : 1.0f;
}

const uint8_t* LgImageGetGammaTable() {
    const LgImageSlice* s = LgImageModuleSlice();
    return s != nullptr ? s->forwardGamma : nullptr;
}

const uint8_t* LgImageGetInverseGammaTable() {
    const LgImageSlice* s = LgImageModuleSlice();
    return s != nullptr ? s->inverseGamma : nullptr;
}

LgImage* LgImageGammaCorrect(LgImage* image) {
    const LgImageSlice* s = LgImageModuleSlice();
    if (image == nullptr || s == nullptr) return nullptr;
    const uint8_t* table = s->forwardGamma;
    auto correct = [table](LgRGBA& c) {
        c.red = table[c.red];
        c.green = table[c.green];
        c.blue = table[c.blue];
    };
    if (palettised(image)) {
        if (image->palette == nullptr) {
            fail(LgErrNullArgument);
            return nullptr;
        }
        for (int32_t i = 0; i < palette_entries(image->depth); ++i) correct(image->palette[i]);
    } else if (image->depth == 32) {
        if (image->pixels == nullptr) {
            fail(LgErrNullArgument);
            return nullptr;
        }
        for (int32_t y = 0; y < image->height; ++y) {
            auto* row =
                reinterpret_cast<LgRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride);
            for (int32_t x = 0; x < image->width; ++x) correct(row[x]);
        }
    } else {
        fail(LgErrImageDepth);
        return nullptr;
    }
    image->flags |= LgImageGammaCorrected;
    return image;
}
