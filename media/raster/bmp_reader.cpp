// Bmp: the reader of Windows bitmaps (1, 4, 8 and 24 bits, 8-bit run-length data), stored
// bottom row first with rows padded to 4 bytes.
#include "media/raster/codec_support.h"
#include "media/raster/image_codecs.h"
#include "media/raster/raster_access.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint16_t bmp_signature = 0x4D42; // "BM"
constexpr uint32_t file_header_size = 14;
constexpr uint32_t core_header_size = 12;
constexpr uint32_t info_header_size = 40;
// Larger info headers (later versions of the format) are read in their first 40 bytes.
constexpr uint32_t max_info_header_size = 1024;

constexpr uint32_t compression_none = 0;
constexpr uint32_t compression_rle8 = 1;

struct BmpHeader {
    uint32_t data_offset;
    uint32_t info_size;
    int32_t width, height;
    uint32_t bit_count;
    uint32_t compression;
    uint32_t colours_used;
};

// Reads the file header and the info header (the stream then stands after the info header).
OmResult read_headers(OmStreamReader& reader, BmpHeader* h) {
    uint8_t file[file_header_size];
    OmResult r = reader.read(file, sizeof(file));
    if (r < 0) return r;
    if (om_le16(file) != bmp_signature) return OM_E_FAIL;
    h->data_offset = om_le32(file + 10);
    uint8_t info[info_header_size] = {};
    if ((r = reader.read(info, 4)) < 0) return r;
    h->info_size = om_le32(info);
    if (h->info_size == core_header_size) {
        if ((r = reader.read(info + 4, core_header_size - 4)) < 0) return r;
        h->width = int16_t(om_le16(info + 4));
        h->height = int16_t(om_le16(info + 6));
        h->bit_count = om_le16(info + 10);
        h->compression = compression_none;
        h->colours_used = 0;
        return OM_S_OK;
    }
    if (h->info_size < info_header_size || h->info_size > max_info_header_size) return OM_E_FAIL;
    if ((r = reader.read(info + 4, info_header_size - 4)) < 0) return r;
    if ((r = reader.skip(h->info_size - info_header_size)) < 0) return r;
    h->width = int32_t(om_le32(info + 4));
    h->height = int32_t(om_le32(info + 8));
    h->bit_count = om_le16(info + 14);
    h->compression = om_le32(info + 16);
    h->colours_used = om_le32(info + 32);
    return OM_S_OK;
}

// 8-bit run-length rows into the raster, bottom row first. Runs are bounded by the stored
// row, padding included: encoders fill the padding of rows whose width is not a multiple of 4
// with the run in hand, so only a run or absolute block past the padded row, and delta
// escapes, are refused. Only the picture's width is placed.
OmResult decode_rle8(OmStreamReader& reader, const OmRasterLock& lock, uint32_t width,
                     uint32_t height) {
    const uint32_t stored = uint32_t((uint64_t(width) + 3) & ~uint64_t(3));
    std::vector<uint8_t> line(stored, 0);
    uint32_t x = 0, r_row = 0;
    auto place = [&] {
        std::memcpy(lock.row(height - 1 - r_row), line.data(), width);
        std::fill(line.begin(), line.end(), 0);
        x = 0;
        ++r_row;
    };
    while (r_row < height) {
        uint8_t pair[2];
        OmResult r = reader.read(pair, 2);
        if (r < 0) return r;
        uint32_t count = pair[0], value = pair[1];
        if (count) {
            if (count > stored - x) return OM_E_FAIL;
            std::memset(line.data() + x, int(value), count);
            x += count;
            continue;
        }
        switch (value) {
        case 0: place(); break;          // end of line
        case 1: place(); return OM_S_OK; // end of picture: the line in hand at its own row
        case 2: return OM_E_FAIL;        // delta
        default: {
            if (value > stored - x) return OM_E_FAIL;
            if ((r = reader.read(line.data() + x, value)) < 0) return r;
            x += value;
            if ((value & 1) && (r = reader.skip(1)) < 0) return r;
            break;
        }
        }
    }
    return OM_S_OK;
}

OmResult decode_bmp(IByteStream* stream, IRasterCreate* description, IRaster** out) {
    OmStreamReader reader(stream);
    BmpHeader h;
    OmResult r = read_headers(reader, &h);
    if (r < 0) return r;
    uint32_t bits = h.bit_count;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return OM_E_FAIL;
    bool rle = h.compression == compression_rle8 && bits == 8;
    if (h.compression != compression_none && !rle) return OM_E_FAIL;
    // Top-down bitmaps (negative height) are not read.
    if (h.width <= 0 || h.height <= 0) return OM_E_FAIL;
    auto width = uint32_t(h.width), height = uint32_t(h.height);
    bool indexed = bits != 24;
    if (indexed && h.info_size != core_header_size && h.info_size != info_header_size)
        return OM_E_FAIL;

    uint32_t colours[256] = {};
    uint32_t count = 0;
    if (indexed) {
        uint32_t full = 1u << bits;
        count = h.colours_used > 0 && h.colours_used <= full ? h.colours_used : full;
        uint32_t entry_size = h.info_size == core_header_size ? 3 : 4;
        for (uint32_t i = 0; i < count; ++i) {
            uint8_t e[4];
            if ((r = reader.read(e, entry_size)) < 0) return r;
            colours[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        }
    }
    // The pixel data may not start inside what has been read.
    if (h.data_offset < reader.consumed()) return OM_E_FAIL;

    IRaster* raster;
    uint32_t format = indexed ? OM_FORMAT_PALETTE8 : OM_FORMAT_ARGB8888;
    if ((r = om_make_decoded_raster(description, width, height, format, &raster)) < 0) return r;
    if (indexed && (r = om_attach_palette(description, raster, colours, count)) < 0) {
        raster->Release();
        return r;
    }
    r = reader.skip(h.data_offset - reader.consumed());
    if (r >= 0) {
        OmRasterLock lock(raster, OM_LOCK_WRITE);
        r = lock.result();
        if (r >= 0 && rle) {
            r = decode_rle8(reader, lock, width, height);
        } else if (r >= 0) {
            uint64_t row_bytes = ((uint64_t(bits) * width + 7) / 8 + 3) & ~uint64_t(3);
            std::vector<uint8_t> row(static_cast<size_t>(row_bytes));
            for (uint32_t y = 0; y < height && r >= 0; ++y) {
                r = reader.read(row.data(), row_bytes);
                if (r < 0) break;
                if (indexed)
                    om_place_indices(lock.row(height - 1 - y), row.data(), width, bits);
                else
                    om_place_rgb24(lock.row(height - 1 - y), row.data(), width, true);
            }
        }
    }
    if (r < 0) {
        raster->Release();
        return r;
    }
    *out = raster;
    return OM_S_OK;
}

class Bmp final : public OmPictureRW<Bmp> {
public:
    Bmp() { extensions_ = "bmp"; }
    // Only rasters of files named ".bmp".
    OmResult ReadStream(IByteStream* stream, const char* extension, IUnknown* context,
                        const GUID& iid, void** out) override {
        if (out) *out = nullptr;
        if (!(iid == IID_IRaster) || !extension || std::strcmp(extension, "bmp") != 0)
            return OM_E_FAIL;
        return om_read_picture_stream(options_[OM_IMAGE_OPTION_CONVERT], stream, context, iid,
                                      decode_bmp, out);
    }
    OmResult ReadInfoStream(IByteStream* stream, const char*, IUnknown* info, uint32_t) override {
        if (!stream) return OM_E_FAIL;
        OmStreamReader reader(stream);
        BmpHeader h;
        OmResult r = read_headers(reader, &h);
        if (r >= 0) {
            if (h.bit_count == 24)
                r = om_describe(info, uint32_t(h.width), uint32_t(h.height), OM_FORMAT_ARGB8888);
            else if (h.info_size == core_header_size || h.info_size == info_header_size)
                r = om_describe(info, uint32_t(h.width), uint32_t(h.height), OM_FORMAT_PALETTE8);
            else
                r = OM_E_FAIL;
        }
        stream->Seek(0, OM_SEEK_START, nullptr);
        return r;
    }
};

const GUID* const categories[] = {&CATID_RasterObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_Bmp, categories, nullptr, OmCreateComponent<Bmp>, "Bmp"},
};

} // namespace

OM_DEFINE_MODULE(Bmp, classes)
