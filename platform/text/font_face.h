// A TrueType face at one cell height and style, as the text drawing of the absent platform
// would select it: resolved through fontconfig, rasterised by FreeType, monochrome.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Pitch and family bits of a font request (the low two bits pitch, the next four family).
inline constexpr uint8_t FONT_PITCH_FIXED = 1;
inline constexpr uint8_t FONT_FAMILY_ROMAN = 16;
inline constexpr uint8_t FONT_FAMILY_SWISS = 32;
inline constexpr uint8_t FONT_FAMILY_MODERN = 48;
inline constexpr uint8_t FONT_FAMILY_SCRIPT = 64;
inline constexpr uint8_t FONT_FAMILY_DECORATIVE = 80;

// What a program asks for. `height` is the cell height in pixels (ascent + descent).
struct FontRequest {
    std::string face; // empty: the family's generic face
    int32_t height = 0;
    int32_t weight = 400; // 700 and above is bold
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
    uint8_t pitch_and_family = 0;

    bool operator==(const FontRequest&) const = default;
};

// A 16-bit 5-5-5 pixel buffer, top-down, that text is drawn into (white on black).
struct TextPixels {
    uint16_t* pixels;
    int32_t width;
    int32_t height;
    int32_t stride; // in pixels
};

inline constexpr uint16_t TEXT_PIXEL_WHITE = 0x7FFF;

class FontFace {
public:
    virtual ~FontFace() = default;
    // The advance of a character (a Windows-1252 byte) in pixels.
    virtual int32_t measure(uint8_t character) = 0;
    // Draws the character with its cell's top-left corner at (x, y): every pixel the glyph
    // covers becomes white; underline and strike-out run across the advance. Clipped to the
    // buffer.
    virtual void draw(uint8_t character, const TextPixels& target, int32_t x, int32_t y) = 0;
    // The family name fontconfig resolved the request to (for diagnostics and tests).
    virtual const std::string& family() const = 0;
    // Whether the resolved face is itself bold or italic (else the style is synthesised).
    virtual bool native_bold() const = 0;
    virtual bool native_italic() const = 0;
};

// The face for the request, shared with every other holder of the same request; null when
// no face resolves or the height is below 1.
std::shared_ptr<FontFace> open_font_face(const FontRequest& request);

} // namespace platform
