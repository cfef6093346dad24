// PNG files of ARGB pixels for tests, over libpng's simplified API.
#include "tests/support/png_file.h"

#include "platform/graphics/presenter.h"

#include <png.h>

#include <cstring>

namespace testsupport {

bool write_png(const std::string& path, const Image& image) {
    if (image.pixels.size() != size_t(image.width) * image.height) return false;
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = image.width;
    png.height = image.height;
    png.format = PNG_FORMAT_BGRA; // little-endian 0xAARRGGBB words
    return png_image_write_to_file(&png, path.c_str(), 0, image.pixels.data(), 0, nullptr) != 0;
}

bool read_png(const std::string& path, Image* image) {
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str())) return false;
    png.format = PNG_FORMAT_BGRA;
    image->width = png.width;
    image->height = png.height;
    image->pixels.assign(size_t(png.width) * png.height, 0);
    if (!png_image_finish_read(&png, nullptr, image->pixels.data(), 0, nullptr)) {
        png_image_free(&png);
        return false;
    }
    return true;
}

bool write_last_frame_png(const std::string& path) {
    const platform::PresentedFrame& f = platform::last_presented_frame();
    if (f.width == 0) return false;
    return write_png(path, Image{f.width, f.height, f.pixels});
}

} // namespace testsupport
