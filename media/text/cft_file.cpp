// font.cft reading and row decoding. Every count and length is checked against the file, so
// a damaged file is refused instead of read past.
#include "media/text/cft_file.h"

#include <cstring>

namespace {

// Bytes of a file held in memory, read as little-endian words.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool word(uint32_t* out) {
        if (size_ - position_ < 4) return false;
        const uint8_t* p = data_ + position_;
        *out = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
        position_ += 4;
        return true;
    }
    bool skip(uint32_t count) {
        if (size_ - position_ < count) return false;
        position_ += count;
        return true;
    }
    size_t position() const { return position_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

constexpr uint8_t literal_last = 0x7F;
constexpr uint8_t repeat_last = 0xBF;

} // namespace

OmResult om_read_cft(IByteStream* stream, OmCftFont* out) {
    if (!stream || !out) return OM_E_FAIL;
    uint32_t size = 0;
    OmResult r = stream->Seek(0, OM_SEEK_END, &size);
    if (r < 0) return r;
    if ((r = stream->Seek(0, OM_SEEK_START, nullptr)) < 0) return r;
    if (size > OM_CFT_MAX_FILE_SIZE) return OM_E_FAIL;
    std::vector<uint8_t> file(size);
    if (size && (r = stream->Read(file.data(), size, nullptr)) < 0) return r;

    ByteReader reader(file.data(), file.size());
    uint32_t magic, unused, table_size, count, height, kept;
    if (!reader.word(&magic)) return OM_E_ENDOFSTREAM;
    if (magic != OM_CFT_MAGIC) return OM_E_FAIL;
    if (!reader.word(&unused) || !reader.word(&table_size) || !reader.word(&count) ||
        !reader.word(&height) || !reader.word(&kept))
        return OM_E_ENDOFSTREAM;

    OmCftFont font;
    font.height = height;
    uint64_t needed = 0; // the table and records the original block layout would take
    for (uint32_t code = 0; code < count; ++code) {
        uint32_t present;
        if (!reader.word(&present)) return OM_E_ENDOFSTREAM;
        needed += 4;
        if (!present) {
            font.glyph_of_code.push_back(-1);
            continue;
        }
        OmCftGlyph glyph{};
        if (!reader.word(&glyph.width) || !reader.word(&glyph.length)) return OM_E_ENDOFSTREAM;
        glyph.offset = uint32_t(reader.position());
        if (!reader.skip(glyph.length)) return OM_E_ENDOFSTREAM;
        needed += 8 + uint64_t(glyph.length);
        font.glyph_of_code.push_back(int32_t(font.glyphs.size()));
        font.glyphs.push_back(glyph);
    }
    if (uint64_t(table_size) + 8 < needed) return OM_E_FAIL;
    font.data = std::move(file);
    *out = std::move(font);
    return OM_S_OK;
}

void om_decode_cft_glyph(const uint8_t* data, uint32_t length, uint32_t width, uint32_t height,
                         uint32_t colour, uint8_t* pixels, int32_t stride) {
    uint16_t rgb =
        uint16_t(((colour >> 20) & 0xF) << 8 | ((colour >> 12) & 0xF) << 4 | ((colour >> 4) & 0xF));
    const uint8_t* end = data + length;
    const uint8_t* p = data;
    for (uint32_t y = 0; y < height && p < end; ++y) {
        auto* row = reinterpret_cast<uint16_t*>(pixels + int64_t(y) * stride);
        uint32_t x = 0;
        auto put = [&](uint32_t alpha) {
            if (x < width) row[x] = uint16_t(alpha << 12 | rgb);
            ++x;
        };
        while (p < end) {
            uint8_t packet = *p++;
            if (packet <= literal_last) {
                uint32_t run = packet + 1u;
                for (uint32_t i = 0; i < run; ++i) {
                    const uint8_t* byte = p + i / 2;
                    if (byte >= end) break;
                    put(i % 2 == 0 ? *byte >> 4 : *byte & 0xF);
                }
                p += (run + 1) / 2;
                if (p > end) p = end;
            } else if (packet <= repeat_last) {
                if (p >= end) break;
                uint32_t run = *p++ + 1u;
                for (uint32_t i = 0; i < run && x < width; ++i) put(packet & 0xF);
            } else {
                break; // end of the row
            }
        }
    }
}
