// Fuzzes font.cft: hostile files read whole, then every glyph decoded into a raster of
// exactly its width and the file's height. A file that reads must keep every glyph's data
// inside the file, and decoding must stay inside the raster.
//
// Input: the file.
#include "fuzz/framework_harness.h"
#include "media/text/cft_file.h"

#include <vector>

using fuzzing::require;

namespace {

// Glyph rasters above this many pixels are not decoded (the reader takes them, a font
// would make them through the raster factory's own limits).
constexpr uint64_t kMaxPixels = 1u << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;
    auto stream = fuzzing::stream_of(std::span<const uint8_t>(data, size));
    OmCftFont font;
    if (om_read_cft(stream.get(), &font) < 0) return 0;
    for (uint32_t code = 0; code < font.glyph_of_code.size(); ++code) {
        const OmCftGlyph* glyph = font.glyph(code);
        if (!glyph) continue;
        require(uint64_t(glyph->offset) + glyph->length <= font.data.size(),
                "a glyph's data lies inside the file");
        if (uint64_t(glyph->width) * font.height > kMaxPixels || !glyph->width || !font.height)
            continue;
        std::vector<uint16_t> raster(size_t(glyph->width) * font.height);
        om_decode_cft_glyph(font.data.data() + glyph->offset, glyph->length, glyph->width,
                            font.height, 0xFFFFFFFF, reinterpret_cast<uint8_t*>(raster.data()),
                            int32_t(glyph->width * 2));
    }
    return 0;
}
