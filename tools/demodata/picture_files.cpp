// Writing pictures as BMP, PNG and JPEG files, and the small drawing helpers the set shares.
#include "tools/demodata/picture_files.h"

#include <png.h>
// libjpeg's header needs the C standard types first.
#include <cstdio>
#include <jpeglib.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace demodata {

Picture solid(int32_t width, int32_t height, uint32_t colour) {
    Picture p;
    p.width = width;
    p.height = height;
    p.pixels.assign(size_t(width) * size_t(height), colour);
    return p;
}

namespace {

uint32_t hash(int32_t x, int32_t y, uint32_t seed) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u + seed * 2246822519u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

float lattice(int32_t x, int32_t y, uint32_t seed) {
    return float(hash(x, y, seed) & 0xffff) / 65535.0f;
}

} // namespace

float noise(int32_t x, int32_t y, int32_t cell, uint32_t seed) {
    const int32_t cx = x / cell, cy = y / cell;
    const float fx = float(x % cell) / float(cell), fy = float(y % cell) / float(cell);
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float a = lattice(cx, cy, seed), b = lattice(cx + 1, cy, seed);
    const float c = lattice(cx, cy + 1, seed), d = lattice(cx + 1, cy + 1, seed);
    return (a + (b - a) * sx) + ((c + (d - c) * sx) - (a + (b - a) * sx)) * sy;
}

float smooth_noise(float x, float y, uint32_t seed) {
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const auto cx = int32_t(fx0), cy = int32_t(fy0);
    const float fx = x - fx0, fy = y - fy0;
    const float sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
    const float a = lattice(cx, cy, seed), b = lattice(cx + 1, cy, seed);
    const float c = lattice(cx, cy + 1, seed), d = lattice(cx + 1, cy + 1, seed);
    const float top = a + (b - a) * sx, bottom = c + (d - c) * sx;
    return top + (bottom - top) * sy;
}

uint32_t rgb(int r, int g, int b) {
    auto c = [](int v) { return uint32_t(std::clamp(v, 0, 255)); };
    return c(r) << 16 | c(g) << 8 | c(b);
}

uint32_t shade(uint32_t colour, float factor) {
    return rgb(int(std::lround(float(colour >> 16 & 255) * factor)),
               int(std::lround(float(colour >> 8 & 255) * factor)),
               int(std::lround(float(colour & 255) * factor)));
}

uint32_t mix(uint32_t a, uint32_t b, float t) {
    auto channel = [&](int shift) {
        const float x = float(a >> shift & 255), y = float(b >> shift & 255);
        return int(std::lround(x + (y - x) * t));
    };
    return rgb(channel(16), channel(8), channel(0));
}

bool write_bmp(OutputTree& out, const std::string& relative, const Picture& picture) {
    if (!out.make_parent(relative)) return false;
    if (!demoscene::write_bmp_24(out.path(relative), picture))
        return out.fail("cannot write " + relative);
    out.note_written(relative);
    return true;
}

bool write_mask(OutputTree& out, const std::string& relative, const Picture& picture) {
    if (!out.make_parent(relative)) return false;
    if (!demoscene::write_bmp_grey(out.path(relative), picture))
        return out.fail("cannot write " + relative);
    out.note_written(relative);
    return true;
}

bool write_png(OutputTree& out, const std::string& relative, const Picture& picture) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = uint32_t(picture.width);
    png.height = uint32_t(picture.height);
    png.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB words
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, picture.pixels.data(), 0, nullptr))
        return out.fail("cannot encode " + relative);
    std::vector<uint8_t> bytes(size);
    if (!png_image_write_to_memory(&png, bytes.data(), &size, 0, picture.pixels.data(), 0, nullptr))
        return out.fail("cannot encode " + relative);
    bytes.resize(size);
    return out.write(relative, bytes);
}

bool write_jpeg(OutputTree& out, const std::string& relative, const Picture& picture) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(size_t(picture.width) * 3);
    while (info.next_scanline < info.image_height) {
        const size_t y = info.next_scanline;
        for (size_t x = 0; x < size_t(picture.width); ++x) {
            const uint32_t c = picture.pixels[y * size_t(picture.width) + x];
            row[x * 3] = uint8_t(c >> 16);
            row[x * 3 + 1] = uint8_t(c >> 8);
            row[x * 3 + 2] = uint8_t(c);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out.write(relative, bytes);
}

bool write_masked(OutputTree& out, const std::string& directory, const std::string& name,
                  const Picture& colour, const Picture& mask, const std::string& maskName) {
    const std::string m = maskName.empty() ? name + "m" : maskName;
    return write_bmp(out, directory + "/" + name + ".bmp", colour) &&
           write_mask(out, directory + "/" + m + ".bmp", mask);
}

} // namespace demodata
