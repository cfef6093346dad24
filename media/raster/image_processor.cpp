// ImageProcessor: area resampling in 16.16 fixed point, halving, and the alpha-channel
// operations on 32-bit rasters.
#include "media/raster/image_processor.h"

#include "media/raster/image_processor_internal.h"
#include "media/raster/pixel_channels.h"
#include "media/raster/raster_access.h"

#include <algorithm>
#include <vector>

namespace {

bool is_argb(IRaster* raster) {
    return raster->GetFormat() == OM_FORMAT_ARGB8888;
}

// The source pixels one destination pixel covers along an axis, with their weights.
struct AxisSpan {
    uint32_t first;
    std::vector<double> weights; // one per source pixel from `first`, summing to the box length
};

// Box of destination index i: from i x step to i x step + step - 1 in 16.16 units. The first
// source pixel weighs what of it the box covers, whole pixels 1, the last pixel up to and
// including the box's last unit; the weights are divided by the box length. A box inside one
// source pixel takes that pixel as it is.
std::vector<AxisSpan> axis_spans(uint32_t source_size, uint32_t dest_size) {
    auto step = uint64_t(double(source_size) / double(dest_size) * 65536.0);
    std::vector<AxisSpan> spans(dest_size);
    double length = double(step) / 65536.0;
    for (uint32_t i = 0; i < dest_size; ++i) {
        uint64_t start = i * step, end = start + step - 1;
        auto first = uint32_t(start >> 16), last = uint32_t(end >> 16);
        last = std::min(last, source_size - 1);
        AxisSpan& span = spans[i];
        span.first = first;
        if (first >= last) {
            span.weights = {1.0};
            continue;
        }
        span.weights.push_back(double(65536 - (start & 0xFFFF)) / 65536.0 / length);
        for (uint32_t k = first + 1; k < last; ++k) span.weights.push_back(1.0 / length);
        span.weights.push_back(double((end & 0xFFFF) + 1) / 65536.0 / length);
    }
    return spans;
}

// The conversion of a direct-colour source without alpha leaves alpha 0, which would make the
// resampled picture wholly transparent: such a picture is made opaque, except for the pixels
// equal to its enabled colour key.
OmResult make_opaque(IRaster* argb, IRaster* source) {
    uint32_t format = source->GetFormat();
    if (!(format & OM_PIXEL_DIRECT) || om_pixel_has_alpha(format)) return OM_S_OK;
    uint32_t bytes = om_pixel_bits(format) / 8;
    OmColourKey key = om_raster_colour_key(source);
    OmRasterLock d(argb, OM_LOCK_READ_WRITE);
    if (d.result() < 0) return d.result();
    OmRasterLock s(source, OM_LOCK_READ);
    if (s.result() < 0) return s.result();
    for (uint32_t y = 0; y < argb->GetHeight(); ++y) {
        uint8_t* out = d.row(y);
        const uint8_t* in = s.row(y);
        for (uint32_t x = 0; x < argb->GetWidth(); ++x, in += bytes)
            out[4 * x + 3] = key.enabled && om_read_pixel(in, bytes) == key.value ? 0 : 0xFF;
    }
    return OM_S_OK;
}

class ImageProcessor final : public OmObject<ImageProcessor, IImageProcessor> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IImageProcessor, this}});
    }
    OmResult Resample(IRaster* dest, IRaster* source) override { return om_resample(dest, source); }
    OmResult ResampleToSize(IRaster* source, uint32_t width, uint32_t height,
                            IRaster** out) override {
        return om_resample_to_size(source, width, height, out);
    }

    OmResult Halve(IRaster* dest, IRaster* source) override {
        if (!dest || !source) return OM_E_FAIL;
        uint32_t side = source->GetWidth();
        if (om_pixel_bits(source->GetFormat()) != 32 || om_pixel_bits(dest->GetFormat()) != 32 ||
            source->GetHeight() != side || side < 2 || (side & (side - 1)) ||
            dest->GetWidth() != side / 2 || dest->GetHeight() != side / 2)
            return OM_E_FAIL;
        OmRasterLock d(dest, OM_LOCK_WRITE);
        if (d.result() < 0) return d.result();
        OmRasterLock s(source, OM_LOCK_READ);
        if (s.result() < 0) return s.result();
        for (uint32_t y = 0; y < side / 2; ++y) {
            auto* out = reinterpret_cast<uint32_t*>(d.row(y));
            auto* in = reinterpret_cast<const uint32_t*>(s.row(2 * int64_t(y)));
            for (uint32_t x = 0; x < side / 2; ++x) out[x] = in[2 * x];
        }
        return OM_S_OK;
    }

    OmResult CombineMask(IRaster* image, IRaster* mask, IRaster** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!image || !mask) return OM_E_FAIL;
        IRaster* picture;
        OmResult r = om_resample_to_size(image, image->GetWidth(), image->GetHeight(), &picture);
        if (r < 0) return r;
        IRaster* alpha;
        r = om_resample_to_size(mask, image->GetWidth(), image->GetHeight(), &alpha);
        if (r >= 0) {
            r = AlphaFromBrightness(alpha);
            if (r >= 0) r = CopyAlpha(picture, alpha);
            alpha->Release();
        }
        if (r < 0) {
            picture->Release();
            return r;
        }
        *out = picture;
        return OM_S_OK;
    }

    OmResult AlphaFromBrightness(IRaster* raster) override {
        if (!raster || !is_argb(raster)) return OM_E_FAIL;
        OmRasterLock lock(raster, OM_LOCK_READ_WRITE);
        if (lock.result() < 0) return lock.result();
        for (uint32_t y = 0; y < raster->GetHeight(); ++y) {
            uint8_t* p = lock.row(y);
            for (uint32_t x = 0; x < raster->GetWidth(); ++x, p += 4)
                p[3] = std::max({p[0], p[1], p[2]});
        }
        return OM_S_OK;
    }

    OmResult CopyAlpha(IRaster* dest, IRaster* source) override {
        if (!dest || !source || !is_argb(dest) || !is_argb(source) ||
            dest->GetWidth() != source->GetWidth() || dest->GetHeight() != source->GetHeight())
            return OM_E_FAIL;
        bool same = dest == source;
        OmRasterLock d(dest, same ? OM_LOCK_READ_WRITE : OM_LOCK_WRITE);
        if (d.result() < 0) return d.result();
        OmRasterLock s(source, OM_LOCK_READ);
        if (s.result() < 0) return s.result();
        for (uint32_t y = 0; y < dest->GetHeight(); ++y) {
            uint8_t* out = d.row(y);
            const uint8_t* in = s.row(y);
            for (uint32_t x = 0; x < dest->GetWidth(); ++x) out[4 * x + 3] = in[4 * x + 3];
        }
        return OM_S_OK;
    }
};

const OmClassRecord classes[] = {
    {&CLSID_ImageProcessor, nullptr, nullptr, OmCreateComponent<ImageProcessor>, "ImageProcessor"},
};

} // namespace

OM_DEFINE_MODULE(ImageProcessor, classes)

OmResult om_resample(IRaster* dest, IRaster* source) {
    if (!dest || !source || om_pixel_bits(dest->GetFormat()) != 32 ||
        om_pixel_bits(source->GetFormat()) != 32)
        return OM_E_FAIL;
    uint32_t dw = dest->GetWidth(), dh = dest->GetHeight();
    uint32_t sw = source->GetWidth(), sh = source->GetHeight();
    if (!dw || !dh) return OM_S_OK;
    if (!sw || !sh) return OM_E_FAIL;
    std::vector<AxisSpan> columns = axis_spans(sw, dw), rows = axis_spans(sh, dh);
    OmRasterLock d(dest, OM_LOCK_WRITE);
    if (d.result() < 0) return d.result();
    OmRasterLock s(source, OM_LOCK_READ);
    if (s.result() < 0) return s.result();
    for (uint32_t y = 0; y < dh; ++y) {
        const AxisSpan& row = rows[y];
        uint8_t* out = d.row(y);
        for (uint32_t x = 0; x < dw; ++x, out += 4) {
            const AxisSpan& column = columns[x];
            double sum[4] = {};
            for (size_t j = 0; j < row.weights.size(); ++j) {
                const uint8_t* in = s.row(row.first + j) + 4 * size_t(column.first);
                for (size_t i = 0; i < column.weights.size(); ++i, in += 4) {
                    double w = row.weights[j] * column.weights[i];
                    for (int c = 0; c < 4; ++c) sum[c] += w * (in[c] / 255.0);
                }
            }
            for (int c = 0; c < 4; ++c) out[c] = uint8_t(sum[c] * 255.0 + 1.0 / 512.0);
        }
    }
    return OM_S_OK;
}

OmResult om_resample_to_size(IRaster* source, uint32_t width, uint32_t height, IRaster** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!source || !width || !height) return OM_E_FAIL;
    IRaster* argb;
    if (is_argb(source)) {
        source->AddRef();
        argb = source;
    } else {
        OmResult r =
            OmNewMemoryRaster(source->GetWidth(), source->GetHeight(), OM_FORMAT_ARGB8888, &argb);
        if (r < 0) return r;
        r = OmGetSharedBlitter()->Convert(argb, source);
        if (r >= 0) r = make_opaque(argb, source);
        if (r < 0) {
            argb->Release();
            return r;
        }
    }
    if (argb->GetWidth() == width && argb->GetHeight() == height) {
        *out = argb;
        return OM_S_OK;
    }
    IRaster* resized;
    OmResult r = OmNewMemoryRaster(width, height, OM_FORMAT_ARGB8888, &resized);
    if (r >= 0) {
        r = om_resample(resized, argb);
        if (r < 0) resized->Release();
    }
    argb->Release();
    if (r < 0) return r;
    *out = resized;
    return OM_S_OK;
}
