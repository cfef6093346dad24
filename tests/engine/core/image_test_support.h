// Image test helpers: BMP files built byte by byte, and images filled from colour lists.
#pragma once

#include "engine/core/lg_engine.h"

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace enginetest {

inline void put_le(std::string& out, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

// A BMP file: headers, palette (given as 0xRRGGBB) and the stored pixel data.
struct BmpFile {
    int32_t width = 1;
    int32_t height = 1; // negative: top-down
    uint16_t bits = 24;
    uint32_t compression = 0;
    bool coreHeader = false;
    std::vector<uint32_t> palette;
    uint32_t colourCount = 0; // the header's count (0: every entry of 2^bits)
    std::string data;         // as stored in the file
    int64_t dataOffset = -1;  // -1: right after the palette

    std::string bytes() const {
        const uint32_t infoSize = coreHeader ? 12 : 40;
        const uint32_t entrySize = coreHeader ? 3 : 4;
        const auto paletteBytes = static_cast<uint32_t>(palette.size() * entrySize);
        const uint32_t offset =
            dataOffset >= 0 ? static_cast<uint32_t>(dataOffset) : 14 + infoSize + paletteBytes;
        std::string out = "BM";
        put_le(out, offset + static_cast<uint32_t>(data.size()), 4);
        put_le(out, 0, 4);
        put_le(out, offset, 4);
        put_le(out, infoSize, 4);
        if (coreHeader) {
            put_le(out, static_cast<uint32_t>(width), 2);
            put_le(out, static_cast<uint32_t>(height), 2);
            put_le(out, 1, 2);
            put_le(out, bits, 2);
        } else {
            put_le(out, static_cast<uint32_t>(width), 4);
            put_le(out, static_cast<uint32_t>(height), 4);
            put_le(out, 1, 2);
            put_le(out, bits, 2);
            put_le(out, compression, 4);
            put_le(out, static_cast<uint32_t>(data.size()), 4);
            put_le(out, 2835, 4);
            put_le(out, 2835, 4);
            put_le(out, colourCount, 4);
            put_le(out, 0, 4);
        }
        for (uint32_t c : palette) put_le(out, c, entrySize); // B, G, R(, 0) little-endian
        while (out.size() < offset) out.push_back('\0');
        return out + data;
    }
};

// Stored rows (bottom row first unless topDown) of `values`, given top row first: indices
// for 1-8 bits, the 16-bit word for 15 and 16 bits, 0xRRGGBB for 24 and 32 bits.
inline std::string bmp_rows(uint16_t bits, const std::vector<std::vector<uint32_t>>& rows,
                            bool topDown = false) {
    std::string out;
    for (size_t i = 0; i < rows.size(); ++i) {
        const auto& row = rows[topDown ? i : rows.size() - 1 - i];
        std::string packed;
        uint32_t acc = 0;
        int accBits = 0;
        for (uint32_t v : row) {
            if (bits < 8) {
                acc = (acc << bits) | v;
                accBits += bits;
                if (accBits == 8) {
                    packed.push_back(static_cast<char>(acc));
                    acc = 0;
                    accBits = 0;
                }
            } else {
                put_le(packed, v, bits == 15 ? 2 : bits / 8);
            }
        }
        if (accBits > 0) packed.push_back(static_cast<char>(acc << (8 - accBits)));
        while (packed.size() % 4 != 0) packed.push_back('\0');
        out += packed;
    }
    return out;
}

inline LgRGBA rgba(uint32_t rgb, uint8_t alpha = 255) {
    return {static_cast<uint8_t>(rgb >> 16), static_cast<uint8_t>(rgb >> 8),
            static_cast<uint8_t>(rgb), alpha};
}

inline LgRGBA& pixel32(const LgImage* image, int32_t x, int32_t y) {
    return reinterpret_cast<LgRGBA*>(image->pixels + static_cast<size_t>(y) * image->stride)[x];
}

inline uint8_t& index8(const LgImage* image, int32_t x, int32_t y) {
    return image->pixels[static_cast<size_t>(y) * image->stride + x];
}

// A 32-bit image with owned pixels, filled row by row from `colours`.
inline LgImage* rgba_image(int32_t width, int32_t height, const std::vector<LgRGBA>& colours) {
    LgImage* image = LgImageCreate(width, height, 32);
    if (image == nullptr || LgImageAllocatePixels(image) == nullptr) return nullptr;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            pixel32(image, x, y) = colours[static_cast<size_t>(y * width + x) % colours.size()];
    return image;
}

} // namespace enginetest

inline bool operator==(const LgRGBA& a, const LgRGBA& b) {
    return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

inline void PrintTo(const LgRGBA& c, std::ostream* os) {
    *os << "{" << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << ", " << int{c.alpha}
        << "}";
}
