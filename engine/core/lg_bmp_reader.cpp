// The engine's BMP reader: core and info headers, 1- to 32-bit pixels, uncompressed and RLE8.
#include "engine/core/lg_error.h"
#include "engine/core/lg_image.h"
#include "engine/core/lg_stream.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t fileHeaderSize = 14;
constexpr uint32_t coreHeaderSize = 12;
constexpr uint32_t infoHeaderSize = 40;
constexpr uint32_t compressionNone = 0;
constexpr uint32_t compressionRle8 = 1;
// Sizes from a file are trusted only this far: a texture source is never larger, and a
// hostile header must not make the reader ask for gigabytes before its data runs out.
constexpr int32_t largestSide = 16384;
constexpr int64_t largestImageBytes = int64_t{256} << 20;

uint32_t le16(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
}

struct BmpLayout {
    int32_t width = 0;
    int32_t height = 0; // always positive; topDown says which way the rows go
    bool topDown = false;
    uint32_t bits = 0;
    uint32_t compression = compressionNone;
    uint32_t paletteEntries = 0;
    uint32_t paletteEntrySize = 4;
    uint32_t dataOffset = 0;
};

bool fail(int32_t code) {
    LgErrorRaise(LgErrorGroupCore, code);
    return false;
}

bool read_exact(LgStream* stream, void* buffer, uint32_t length) {
    return LgStreamRead(stream, buffer, length) == length;
}

int32_t depth_for_bits(uint32_t bits) {
    switch (bits) {
    case 1:
    case 4: return 4;
    case 8: return 8;
    case 15:
    case 16:
    case 24:
    case 32: return 32;
    default: return 0;
    }
}

bool read_headers(LgStream* stream, BmpLayout& bmp) {
    uint8_t file[fileHeaderSize];
    if (!read_exact(stream, file, 2)) return false;
    if (file[0] != 'B' || file[1] != 'M') return fail(LgErrBadImage);
    if (!read_exact(stream, file + 2, fileHeaderSize - 2)) return false;
    bmp.dataOffset = le32(file + 10);
    uint8_t info[infoHeaderSize];
    if (!read_exact(stream, info, 4)) return false;
    const uint32_t infoSize = le32(info);
    if (infoSize == coreHeaderSize) {
        if (!read_exact(stream, info + 4, coreHeaderSize - 4)) return false;
        bmp.width = static_cast<int32_t>(le16(info + 4));
        bmp.height = static_cast<int32_t>(le16(info + 6));
        bmp.bits = le16(info + 10);
        bmp.paletteEntrySize = 3;
    } else if (infoSize == infoHeaderSize) {
        if (!read_exact(stream, info + 4, infoHeaderSize - 4)) return false;
        bmp.width = static_cast<int32_t>(le32(info + 4));
        const auto height = static_cast<int32_t>(le32(info + 8));
        bmp.topDown = height < 0;
        // The negation of the most negative height is refused by the size check below.
        bmp.height = height == INT32_MIN ? 0 : (height < 0 ? -height : height);
        bmp.bits = le16(info + 14);
        bmp.compression = le32(info + 16);
        bmp.paletteEntries = le32(info + 32);
    } else {
        return fail(LgErrBadImage);
    }
    if (bmp.compression != compressionNone &&
        !(bmp.compression == compressionRle8 && bmp.bits == 8))
        return fail(LgErrBadImage);
    if (depth_for_bits(bmp.bits) == 0) return fail(LgErrImageDepth);
    if (bmp.width <= 0 || bmp.height <= 0 || bmp.width > largestSide || bmp.height > largestSide)
        return fail(LgErrBadImage);
    const int64_t bytes =
        int64_t{LgImageStrideFor(bmp.width, depth_for_bits(bmp.bits))} * bmp.height;
    if (bytes > largestImageBytes) return fail(LgErrBadImage);
    const uint32_t headersEnd = fileHeaderSize + infoSize;
    if (bmp.dataOffset < headersEnd) return fail(LgErrBadImage);
    if (bmp.bits <= 8) {
        const uint32_t most = 1u << bmp.bits;
        if (bmp.paletteEntries == 0 || bmp.paletteEntries > most) bmp.paletteEntries = most;
        // A palette never runs into the pixel data, whatever the entry count claims.
        bmp.paletteEntries =
            std::min(bmp.paletteEntries, (bmp.dataOffset - headersEnd) / bmp.paletteEntrySize);
    } else {
        bmp.paletteEntries = 0;
    }
    return true;
}

bool read_palette(LgStream* stream, const BmpLayout& bmp, LgImage* image) {
    uint8_t entries[256 * 4];
    const uint32_t bytes = bmp.paletteEntries * bmp.paletteEntrySize;
    if (!read_exact(stream, entries, bytes)) return false;
    for (uint32_t i = 0; i < bmp.paletteEntries; ++i) {
        const uint8_t* e = entries + i * bmp.paletteEntrySize;
        image->palette[i] = {e[2], e[1], e[0], 255};
    }
    return true;
}

uint8_t* image_row(LgImage* image, const BmpLayout& bmp, int32_t fileRow) {
    const int32_t y = bmp.topDown ? fileRow : bmp.height - 1 - fileRow;
    return image->pixels + static_cast<size_t>(y) * image->stride;
}

void unpack_row(const uint8_t* in, uint8_t* out, const BmpLayout& bmp) {
    auto* rgba = reinterpret_cast<LgRGBA*>(out);
    for (int32_t x = 0; x < bmp.width; ++x) {
        switch (bmp.bits) {
        case 1: out[x] = static_cast<uint8_t>((in[x >> 3] >> (7 - (x & 7))) & 1); break;
        case 4: out[x] = static_cast<uint8_t>((in[x >> 1] >> ((x & 1) != 0 ? 0 : 4)) & 0x0f); break;
        case 8: out[x] = in[x]; break;
        case 15: {
            const uint32_t p = le16(in + 2 * x);
            rgba[x] = {static_cast<uint8_t>((p >> 7) & 0xf8), static_cast<uint8_t>((p >> 2) & 0xf8),
                       static_cast<uint8_t>((p << 3) & 0xf8), 255};
            break;
        }
        case 16: {
            const uint32_t p = le16(in + 2 * x);
            rgba[x] = {static_cast<uint8_t>((p >> 8) & 0xf8), static_cast<uint8_t>((p >> 3) & 0xfc),
                       static_cast<uint8_t>((p << 3) & 0xf8), 255};
            break;
        }
        case 24: rgba[x] = {in[3 * x + 2], in[3 * x + 1], in[3 * x], 255}; break;
        case 32: rgba[x] = {in[4 * x + 2], in[4 * x + 1], in[4 * x], 255}; break;
        default: break;
        }
    }
}

bool read_uncompressed(LgStream* stream, const BmpLayout& bmp, LgImage* image) {
    const uint32_t storedBits = bmp.bits == 15 ? 16 : bmp.bits;
    const uint32_t fileStride = ((storedBits * static_cast<uint32_t>(bmp.width) + 31) / 32) * 4;
    const LgMemoryFunctions& memory = LgEngineInstancePtr->memoryFunctions;
    auto* row = static_cast<uint8_t*>(memory.alloc(fileStride));
    if (row == nullptr) return fail(LgErrOutOfMemory);
    bool ok = true;
    for (int32_t r = 0; r < bmp.height && ok; ++r) {
        ok = read_exact(stream, row, fileStride);
        if (ok) unpack_row(row, image_row(image, bmp, r), bmp);
    }
    memory.free(row);
    return ok;
}

// RLE8: runs, literal runs and deltas are clipped to the row and the image; what falls
// outside is consumed from the file and dropped.
bool read_rle8(LgStream* stream, const BmpLayout& bmp, LgImage* image) {
    int32_t x = 0, row = 0;
    auto put = [&](const uint8_t* values, int32_t count, bool repeat) {
        if (row < bmp.height && x < bmp.width) {
            const int32_t n = std::min(count, bmp.width - x);
            uint8_t* out = image_row(image, bmp, row) + x;
            if (repeat)
                std::memset(out, values[0], static_cast<size_t>(n));
            else
                std::memcpy(out, values, static_cast<size_t>(n));
        }
        x = static_cast<int32_t>(std::min<int64_t>(int64_t{x} + count, bmp.width));
    };
    for (;;) {
        uint8_t pair[2];
        if (!read_exact(stream, pair, 2)) return false;
        if (pair[0] != 0) {
            put(&pair[1], pair[0], true);
            continue;
        }
        switch (pair[1]) {
        case 0:
            x = 0;
            ++row;
            break;
        case 1: return true;
        case 2: {
            uint8_t delta[2];
            if (!read_exact(stream, delta, 2)) return false;
            x = std::min(x + delta[0], bmp.width);
            row += delta[1];
            if (row >= bmp.height) return true;
            break;
        }
        default: {
            uint8_t literal[256];
            const uint32_t count = pair[1];
            if (!read_exact(stream, literal, count + (count & 1))) return false;
            put(literal, static_cast<int32_t>(count), false);
            break;
        }
        }
    }
}

LgImage* read_bmp(LgStream* stream) {
    BmpLayout bmp;
    if (!read_headers(stream, bmp)) return nullptr;
    LgImage* image = LgImageCreate(bmp.width, bmp.height, depth_for_bits(bmp.bits));
    if (image == nullptr) return nullptr;
    if (LgImageAllocatePixels(image) == nullptr) {
        LgImageDestroy(image);
        return nullptr;
    }
    const uint32_t paletteEnd = fileHeaderSize +
                                (bmp.paletteEntrySize == 3 ? coreHeaderSize : infoHeaderSize) +
                                bmp.paletteEntries * bmp.paletteEntrySize;
    const bool ok = read_palette(stream, bmp, image) &&
                    LgStreamSkip(stream, bmp.dataOffset - paletteEnd) != nullptr &&
                    (bmp.compression == compressionRle8 ? read_rle8(stream, bmp, image)
                                                        : read_uncompressed(stream, bmp, image));
    if (!ok) {
        LgImageDestroy(image);
        return nullptr;
    }
    return image;
}

} // namespace

LgImage* LgImageReadBMP(const char* path) {
    if (path == nullptr) return nullptr;
    LgStream* stream = LgStreamOpen(LgStreamTypeFileName, LgStreamAccessRead, path);
    if (stream == nullptr) return nullptr;
    LgImage* image = read_bmp(stream);
    LgStreamClose(stream, nullptr);
    return image;
}
