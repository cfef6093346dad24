// BMP writing: file and info headers, rows bottom-up padded to four bytes.
#include "tools/demoscene/bmp_file.h"

#include <cstdio>

namespace demoscene {
namespace {

constexpr uint32_t fileHeaderSize = 14;
constexpr uint32_t infoHeaderSize = 40;

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The whole file: headers, `palette` entries (0 for none) and the padded rows.
bool write_bmp(const std::string& path, const Picture& p, uint32_t bits,
               const std::vector<uint32_t>& palette) {
    if (p.width <= 0 || p.height <= 0 || p.pixels.size() != size_t(p.width) * p.height)
        return false;
    const uint32_t rowBytes = (uint32_t(p.width) * bits / 8 + 3) & ~3u;
    const uint32_t dataOffset = fileHeaderSize + infoHeaderSize + uint32_t(palette.size()) * 4;
    std::vector<uint8_t> out;
    out.reserve(dataOffset + rowBytes * uint32_t(p.height));
    out.push_back('B');
    out.push_back('M');
    put32(out, dataOffset + rowBytes * uint32_t(p.height));
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, infoHeaderSize);
    put32(out, uint32_t(p.width));
    put32(out, uint32_t(p.height));
    put16(out, 1);
    put16(out, bits);
    put32(out, 0); // uncompressed
    put32(out, rowBytes * uint32_t(p.height));
    put32(out, 2835); // 72 dpi
    put32(out, 2835);
    put32(out, uint32_t(palette.size()));
    put32(out, 0);
    for (uint32_t c : palette) put32(out, c);
    for (int32_t y = p.height - 1; y >= 0; --y) {
        const size_t start = out.size();
        for (int32_t x = 0; x < p.width; ++x) {
            const uint32_t c = p.pixels[size_t(y) * p.width + x];
            if (bits == 8) {
                out.push_back(uint8_t(c));
            } else {
                out.push_back(uint8_t(c));
                out.push_back(uint8_t(c >> 8));
                out.push_back(uint8_t(c >> 16));
            }
        }
        out.resize(start + rowBytes, 0);
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    // A full disk may only show when the buffered bytes are flushed at close.
    return std::fclose(file) == 0 && written;
}

} // namespace

bool write_bmp_24(const std::string& path, const Picture& picture) {
    return write_bmp(path, picture, 24, {});
}

bool write_bmp_grey(const std::string& path, const Picture& picture) {
    std::vector<uint32_t> grey(256);
    for (uint32_t i = 0; i < 256; ++i) grey[i] = i << 16 | i << 8 | i;
    return write_bmp(path, picture, 8, grey);
}

} // namespace demoscene
