// SunRaster: reader and writer of Sun raster files (big-endian header, optional colour map,
// rows top first, optionally byte-encoded).
#include "media/raster/codec_support.h"
#include "media/raster/image_codecs.h"
#include "media/raster/raster_access.h"

#include <cstring>
#include <vector>

namespace {

constexpr uint32_t sun_magic = 0x59A66A95;
constexpr uint32_t header_size = 32;
constexpr uint8_t run_marker = 0x80;

enum SunType : uint32_t { type_old = 0, type_standard = 1, type_byte_encoded = 2, type_rgb = 3 };
enum SunMapType : uint32_t { map_none = 0, map_rgb_planes = 1, map_raw = 2 };

struct SunHeader {
    uint32_t width, height, depth, length, type, map_type, map_length;
};

OmResult read_header(IByteStream* stream, SunHeader* h) {
    uint8_t bytes[header_size];
    OmResult r = om_read_exact(stream, bytes, header_size);
    if (r < 0) return r;
    if (om_be32(bytes) != sun_magic) return OM_E_FAIL;
    h->width = om_be32(bytes + 4);
    h->height = om_be32(bytes + 8);
    h->depth = om_be32(bytes + 12);
    h->length = om_be32(bytes + 16);
    h->type = om_be32(bytes + 20);
    h->map_type = om_be32(bytes + 24);
    h->map_length = om_be32(bytes + 28);
    return OM_S_OK;
}

uint32_t format_of_depth(uint32_t depth) {
    switch (depth) {
    case 1:
    case 4:
    case 8: return OM_FORMAT_PALETTE8;
    case 24:
    case 32: return OM_FORMAT_ARGB8888;
    default: return 0;
    }
}

// Bytes of one file row: the packed pixels plus one, rounded down to even.
uint64_t sun_row_bytes(uint32_t width, uint32_t depth) {
    return ((uint64_t(width) * depth + 7) / 8 + 1) & ~uint64_t(1);
}

// The rows of a byte-encoded image: 0x80 0 is one 0x80, 0x80 n v is n + 1 copies of v, any
// other byte itself. A run reaching past the image is cut at its end.
class RunExpander {
public:
    explicit RunExpander(OmStreamReader& reader) : reader_(reader) {}
    OmResult read(uint8_t* out, uint64_t count) {
        while (count) {
            if (pending_) {
                uint64_t take = pending_ < count ? pending_ : count;
                std::memset(out, value_, size_t(take));
                out += take;
                count -= take;
                pending_ -= uint32_t(take);
                continue;
            }
            uint8_t b;
            OmResult r = reader_.byte(&b);
            if (r < 0) return r;
            if (b != run_marker) {
                *out++ = b;
                --count;
                continue;
            }
            uint8_t n;
            if ((r = reader_.byte(&n)) < 0) return r;
            if (n == 0) {
                *out++ = run_marker;
                --count;
                continue;
            }
            if ((r = reader_.byte(&value_)) < 0) return r;
            pending_ = uint32_t(n) + 1;
        }
        return OM_S_OK;
    }

private:
    OmStreamReader& reader_;
    uint32_t pending_ = 0;
    uint8_t value_ = 0;
};

struct DecodeJob {
    IByteStream* stream;
};

OmResult decode_sun(void* context, IRasterCreate* description, IRaster** out) {
    IByteStream* stream = static_cast<DecodeJob*>(context)->stream;
    SunHeader h;
    OmResult r = read_header(stream, &h);
    if (r < 0) return r;
    uint32_t format = format_of_depth(h.depth);
    if (!format) return OM_E_FAIL;
    if (h.type > type_rgb) return OM_E_FAIL;
    bool indexed = format == OM_FORMAT_PALETTE8;

    // The colour map, bounded by the palette's 256 entries.
    bool has_map = h.map_type != map_none && h.map_length != 0;
    uint32_t colours[256] = {};
    uint32_t colour_count = 0;
    OmStreamReader reader(stream);
    if (has_map && indexed) {
        uint32_t entries = h.map_type == map_rgb_planes ? h.map_length / 3 : h.map_length;
        if (entries > 256) return OM_E_FAIL;
        std::vector<uint8_t> map(h.map_length);
        if ((r = reader.read(map.data(), map.size())) < 0) return r;
        if (h.map_type == map_rgb_planes) {
            for (uint32_t i = 0; i < entries; ++i)
                colours[i] = 0xFF000000u | uint32_t(map[i]) << 16 |
                             uint32_t(map[entries + i]) << 8 | map[2 * entries + i];
        } else if (h.map_type == map_raw) {
            for (uint32_t i = 0; i < entries; ++i) colours[i] = 0xFF000000u | map[i] * 0x010101u;
        }
        colour_count = h.map_type == map_rgb_planes || h.map_type == map_raw ? entries : 0;
    } else if (has_map) {
        if ((r = reader.skip(h.map_length)) < 0) return r; // read and ignored
    } else if (h.depth == 1) {
        colours[0] = 0xFF000000u;
        colours[1] = 0xFFFFFFFFu;
        colour_count = 2;
    } else if (h.depth == 8) {
        for (uint32_t i = 0; i < 256; ++i) colours[i] = 0xFF000000u | i * 0x010101u;
        colour_count = 256;
    }

    IRaster* raster;
    if ((r = om_make_decoded_raster(description, h.width, h.height, format, &raster)) < 0) return r;
    if (indexed && (r = om_attach_palette(description, raster, colours, colour_count)) < 0) {
        raster->Release();
        return r;
    }

    uint64_t row_bytes = sun_row_bytes(h.width, h.depth);
    std::vector<uint8_t> row(static_cast<size_t>(row_bytes));
    RunExpander expander(reader);
    {
        OmRasterLock lock(raster, OM_LOCK_WRITE);
        r = lock.result();
        for (uint32_t y = 0; r >= 0 && y < h.height; ++y) {
            r = h.type == type_byte_encoded ? expander.read(row.data(), row_bytes)
                                            : reader.read(row.data(), row_bytes);
            if (r < 0) break;
            uint8_t* out_row = lock.row(y);
            const uint8_t* in = row.data();
            for (uint32_t x = 0; x < h.width; ++x) {
                switch (h.depth) {
                case 1: {
                    uint32_t bit = (in[x >> 3] >> (7 - (x & 7))) & 1;
                    // Without a colour map a set bit is black.
                    out_row[x] = uint8_t(has_map ? bit : 1 - bit);
                    break;
                }
                case 4: out_row[x] = uint8_t(x & 1 ? in[x >> 1] & 0x0F : in[x >> 1] >> 4); break;
                case 8: out_row[x] = in[x]; break;
                case 24: {
                    const uint8_t* p = in + 3 * size_t(x);
                    uint8_t* o = out_row + 4 * size_t(x);
                    bool rgb = h.type == type_rgb;
                    o[0] = rgb ? p[2] : p[0];
                    o[1] = p[1];
                    o[2] = rgb ? p[0] : p[2];
                    o[3] = 0xFF;
                    break;
                }
                default: { // 32: red, green, blue, ignored
                    const uint8_t* p = in + 4 * size_t(x);
                    uint8_t* o = out_row + 4 * size_t(x);
                    o[0] = p[2];
                    o[1] = p[1];
                    o[2] = p[0];
                    o[3] = 0xFF;
                    break;
                }
                }
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

OmResult write_sun(IByteStream* stream, IRaster* raster) {
    uint32_t bits = om_pixel_bits(raster->GetFormat());
    if (bits != 8 && bits != 32) return OM_E_FAIL;
    uint32_t width = raster->GetWidth(), height = raster->GetHeight();
    uint32_t depth = bits == 8 ? 8 : 24;
    uint64_t row_bytes = sun_row_bytes(width, depth);
    uint64_t length = row_bytes * height;
    if (length > 0xFFFFFFFFu) return OM_E_FAIL;

    OmPaletteWords palette = {};
    if (bits == 8) {
        IRaster* p = om_raster_palette(raster);
        if (!p) return OM_E_FAIL;
        OmResult r = om_read_palette(p, &palette);
        if (r < 0) return r;
    }
    uint8_t header[header_size];
    const uint32_t fields[] = {
        sun_magic,        width,         height,         depth,
        uint32_t(length), type_standard, map_rgb_planes, bits == 8 ? 768u : 0u};
    for (size_t i = 0; i < 8; ++i) om_put_be32(header + 4 * i, fields[i]);
    OmResult r = stream->Write(header, header_size, nullptr);
    if (r < 0) return r;
    if (bits == 8) {
        // 256 red, 256 green, 256 blue; entries past a shorter palette are black.
        uint8_t map[768];
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = palette.words[i];
            map[i] = uint8_t(c >> 16);
            map[256 + i] = uint8_t(c >> 8);
            map[512 + i] = uint8_t(c);
        }
        if ((r = stream->Write(map, sizeof(map), nullptr)) < 0) return r;
    }
    OmRasterLock lock(raster, OM_LOCK_READ);
    if (lock.result() < 0) return lock.result();
    std::vector<uint8_t> row(size_t(row_bytes), 0); // padding bytes are 0
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = lock.row(y);
        if (bits == 8) {
            std::memcpy(row.data(), in, width);
        } else {
            for (uint32_t x = 0; x < width; ++x) {
                row[3 * size_t(x)] = in[4 * size_t(x)];
                row[3 * size_t(x) + 1] = in[4 * size_t(x) + 1];
                row[3 * size_t(x) + 2] = in[4 * size_t(x) + 2];
            }
        }
        if ((r = stream->Write(row.data(), uint32_t(row_bytes), nullptr)) < 0) return r;
    }
    return OM_S_OK;
}

class SunRaster final : public ObjectRWBase<SunRaster> {
public:
    SunRaster() { extensions_ = "ras"; }
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }
    OmResult ReadStream(IByteStream* stream, const char*, IUnknown* context, const GUID& iid,
                        void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!stream) return OM_E_FAIL;
        DecodeJob job{stream};
        IRaster* raster;
        OmResult r = om_deliver_picture(options_[OM_IMAGE_OPTION_CONVERT], context, &job,
                                        decode_sun, &raster);
        if (r < 0) return r;
        r = raster->QueryInterface(iid, out);
        raster->Release();
        return r;
    }
    OmResult WriteStream(IByteStream* stream, const char*, IUnknown* object) override {
        IRaster* raster = om_object_raster(object);
        if (!raster || !stream) {
            if (raster) raster->Release();
            return OM_E_FAIL;
        }
        OmResult r = write_sun(stream, raster);
        raster->Release();
        return r;
    }
    OmResult ReadInfoStream(IByteStream* stream, const char*, IUnknown* info, uint32_t) override {
        if (!stream) return OM_E_FAIL;
        SunHeader h;
        OmResult r = read_header(stream, &h);
        if (r < 0) return r;
        uint32_t format = h.depth == 8                     ? OM_FORMAT_PALETTE8
                          : h.depth == 24 || h.depth == 32 ? OM_FORMAT_ARGB8888
                                                           : 0;
        if (!format) return OM_E_FAIL;
        return om_describe(info, h.width, h.height, format);
    }
};

const GUID* const categories[] = {&CATID_RasterObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_SunRaster, categories, nullptr, OmCreateComponent<SunRaster>, "SunRaster"},
};

} // namespace

OM_DEFINE_MODULE(SunRaster, classes)
