// font.cft: every glyph of one compressed face, run-length coded 4-bit alpha rows.
#pragma once

#include "framework/io/byte_stream.h"

#include <cstdint>
#include <vector>

inline constexpr uint32_t OM_CFT_MAGIC = 0x464F4E54;
inline constexpr uint32_t OM_CFT_HEADER_SIZE = 24;
// Files above this size are refused rather than read into memory.
inline constexpr uint32_t OM_CFT_MAX_FILE_SIZE = 64u << 20;

struct OmCftGlyph {
    uint32_t width;
    uint32_t length; // bytes of row data
    uint32_t offset; // of the row data within OmCftFont::data
};

struct OmCftFont {
    uint32_t height = 0;
    // One entry per code; -1 for a code without a glyph.
    std::vector<int32_t> glyph_of_code;
    std::vector<OmCftGlyph> glyphs;
    std::vector<uint8_t> data;

    const OmCftGlyph* glyph(uint32_t code) const {
        if (code >= glyph_of_code.size() || glyph_of_code[code] < 0) return nullptr;
        return &glyphs[size_t(glyph_of_code[code])];
    }
};

// Reads a whole font.cft from the stream's start. OM_E_FAIL for a wrong magic, a table size
// below what the glyphs need or a file too large; OM_E_ENDOFSTREAM when the file ends before
// its counts and lengths say; the stream's failure. *out is only changed on success.
OmResult om_read_cft(IByteStream* stream, OmCftFont* out);

// Decodes a glyph's rows into a raster of 16-bit 4-4-4-4 pixels (width x height at `pixels`,
// `stride` bytes per row, already cleared): alpha from the packets, red, green and blue from
// the A8 R8 G8 B8 colour. Runs are clipped to the glyph's width; a row whose data ends early
// keeps what it holds.
void om_decode_cft_glyph(const uint8_t* data, uint32_t length, uint32_t width, uint32_t height,
                         uint32_t colour, uint8_t* pixels, int32_t stride);
