// Win32TrueTypeFont: glyphs of a TrueType face drawn by the platform's text layer into a
// 16-bit 5-5-5 drawing buffer (white on black), then turned into the glyph format: one text
// or background colour per pixel, or 4 x 4 smoothing into 4-bit coverage.
#include "framework/core/component.h"
#include "framework/platform/os_service.h"
#include "media/raster/raster_access.h"
#include "media/raster/shared_blitter.h"
#include "media/text/font.h"
#include "media/text/shared_os_reference.h"
#include "platform/text/font_face.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The drawing buffer's side; glyph rectangles must fit it (a quarter of it when smoothing).
constexpr int32_t drawing_size = 512;
constexpr int32_t smoothing_scale = 4;
constexpr size_t face_name_capacity = 32; // with the terminator
constexpr int32_t default_size = 32;
constexpr int32_t weight_normal = 400;
constexpr int32_t weight_bold = 700;
// Any of the 15 colour bits of a drawing-buffer pixel marks it as text.
constexpr uint16_t colour_bits = 0x7FFF;
// A smoothed pixel is white; its top nibble is the coverage.
constexpr uint16_t smoothed_white = 0x0FFF;

struct TrueTypeProperties {
    char face[face_name_capacity];
    int32_t bold;
    int32_t italic;
    int32_t strikeout;
    int32_t underline;
    int32_t pitch;
    int32_t family;
    int32_t size;
    int32_t stored;
    uint32_t colour;
    uint32_t background;
    int32_t smoothing;
};

constexpr TrueTypeProperties default_properties{{}, 0, 0, 0, 0, 0, 0, default_size, 1, 0, 0, 0};

class Win32TrueTypeFont final : public OmObject<Win32TrueTypeFont, IFont> {
public:
    ~Win32TrueTypeFont() { drop_drawing_objects(); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        TrueTypeProperties& p = properties_;
        int32_t v = int32_t(value);
        switch (id) {
        case OM_FONT_FACE: {
            const char* name = reinterpret_cast<const char*>(value);
            std::memset(p.face, 0, sizeof p.face);
            if (name) std::strncpy(p.face, name, sizeof p.face - 1);
            break;
        }
        case OM_FONT_BOLD: p.bold = v; break;
        case OM_FONT_ITALIC: p.italic = v; break;
        case OM_FONT_STRIKEOUT: p.strikeout = v; break;
        case OM_FONT_UNDERLINE: p.underline = v; break;
        case OM_FONT_PITCH: p.pitch = v; break;
        case OM_FONT_FAMILY: p.family = v; break;
        case OM_FONT_SIZE: p.size = v; break;
        case OM_FONT_STORED: p.stored = v; break;
        case OM_FONT_COLOUR: p.colour = uint32_t(value); break;
        case OM_FONT_BACKGROUND: p.background = uint32_t(value); break;
        case OM_FONT_SMOOTHING: p.smoothing = v; break;
        default: return OM_E_FAIL;
        }
        drop_drawing_objects();
        return OM_S_OK;
    }

    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (!value) return OM_E_FAIL;
        const TrueTypeProperties& p = properties_;
        switch (id) {
        case OM_FONT_FACE: *value = reinterpret_cast<intptr_t>(p.face); break;
        case OM_FONT_BOLD: *value = p.bold; break;
        case OM_FONT_ITALIC: *value = p.italic; break;
        case OM_FONT_STRIKEOUT: *value = p.strikeout; break;
        case OM_FONT_UNDERLINE: *value = p.underline; break;
        case OM_FONT_PITCH: *value = p.pitch; break;
        case OM_FONT_FAMILY: *value = p.family; break;
        case OM_FONT_SIZE: *value = p.size; break;
        case OM_FONT_STORED: *value = p.stored; break;
        case OM_FONT_COLOUR: *value = p.colour; break;
        case OM_FONT_BACKGROUND: *value = p.background; break;
        case OM_FONT_SMOOTHING: *value = p.smoothing; break;
        default: return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult Reset() override {
        properties_ = default_properties;
        drop_drawing_objects();
        return OM_S_OK;
    }

    OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) override {
        if (!target || !rect) return OM_E_FAIL;
        OmResult r = make_drawing_objects();
        if (r < 0) return r;
        int32_t limit = drawing_size / scale();
        if (rect->width < 0 || rect->height < 0 || rect->width > limit || rect->height > limit)
            return OM_E_FAIL;
        if (rect->width == 0 || rect->height == 0) return OM_S_OK;
        draw_character(uint8_t(code), rect->width * scale(), rect->height * scale());
        uint16_t* glyph_pixels = properties_.smoothing
                                     ? smooth_into_glyph(rect->width, rect->height)
                                     : colour_into_glyph(rect->width, rect->height);
        // The glyph is a raster of exactly the rectangle's size over the glyph rows.
        IRaster* glyph = nullptr;
        glyph_description_->SetProperty(OM_RASTER_WIDTH, rect->width);
        glyph_description_->SetProperty(OM_RASTER_HEIGHT, rect->height);
        glyph_description_->SetProperty(OM_RASTER_PIXELS, reinterpret_cast<intptr_t>(glyph_pixels));
        if ((r = glyph_description_->CreateRaster(&glyph)) < 0) return r;
        r = target->BlitConvert(rect, glyph, nullptr, OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
        glyph->Release();
        return r;
    }

    OmResult GetGlyphWidth(uint16_t code, IRaster*, int32_t* width) override {
        if (!width) return OM_E_FAIL;
        OmResult r = make_drawing_objects();
        if (r < 0) return r;
        int32_t measured = face_->measure(uint8_t(code));
        *width =
            properties_.smoothing ? (measured + smoothing_scale - 1) / smoothing_scale : measured;
        return OM_S_OK;
    }

private:
    int32_t scale() const { return properties_.smoothing ? smoothing_scale : 1; }

    // The face, the drawing buffer, the glyph raster and the packed colours, made on first use
    // after a property change. OM_E_FAIL (nothing kept) when a step fails.
    OmResult make_drawing_objects() {
        if (face_) return OM_S_OK;
        const TrueTypeProperties& p = properties_;
        platform::FontRequest request;
        request.face = p.face;
        request.height = p.size * scale();
        request.weight = p.bold ? weight_bold : weight_normal;
        request.italic = p.italic != 0;
        request.underline = p.underline != 0;
        request.strikeout = p.strikeout != 0;
        request.pitch_and_family = uint8_t(p.pitch | p.family);
        auto face = platform::open_font_face(request);
        if (!face) return OM_E_FAIL;
        pixels_.reset(new (std::nothrow) uint16_t[size_t(drawing_size) * drawing_size]);
        if (!pixels_) return OM_E_FAIL;
        uint32_t format = p.smoothing ? OM_FORMAT_ARGB4444 : OM_FORMAT_ARGB1555;
        int32_t glyph_side = drawing_size / scale();
        if (p.smoothing) {
            smoothed_.reset(new (std::nothrow) uint16_t[size_t(glyph_side) * glyph_side]);
            if (!smoothed_) return fail_drawing_objects();
        }
        IBlitter* blitter = nullptr;
        if (OmNewRasterDescription(&glyph_description_) < 0 ||
            om_acquire_shared_blitter(&blitter) < 0)
            return fail_drawing_objects();
        glyph_description_->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PICTURE);
        glyph_description_->SetProperty(OM_RASTER_FORMAT, format);
        glyph_description_->SetProperty(OM_RASTER_STRIDE, glyph_side * 2);
        uint32_t text = 0, background = 0;
        OmResult r = blitter->ConvertColour(&p.colour, format, &text);
        if (r >= 0) r = blitter->ConvertColour(&p.background, format, &background);
        om_release_shared_blitter(blitter);
        if (r < 0) return fail_drawing_objects();
        text_pixel_ = uint16_t(text);
        background_pixel_ = uint16_t(background);
        face_ = std::move(face);
        return OM_S_OK;
    }

    void drop_drawing_objects() {
        face_.reset();
        pixels_.reset();
        smoothed_.reset();
        if (glyph_description_) glyph_description_->Release();
        glyph_description_ = nullptr;
    }

    OmResult fail_drawing_objects() {
        drop_drawing_objects();
        return OM_E_FAIL;
    }

    // Clears width x height of the drawing buffer to black and draws the character at its
    // top left.
    void draw_character(uint8_t character, int32_t width, int32_t height) {
        for (int32_t y = 0; y < height; ++y)
            std::fill_n(pixels_.get() + int64_t(y) * drawing_size, width, uint16_t(0));
        face_->draw(character, {pixels_.get(), drawing_size, drawing_size, drawing_size}, 0, 0);
    }

    // Turns the drawing rows into glyph pixels in place: the text colour where any colour
    // bit is set, else the background.
    uint16_t* colour_into_glyph(int32_t width, int32_t height) {
        for (int32_t y = 0; y < height; ++y) {
            uint16_t* row = pixels_.get() + int64_t(y) * drawing_size;
            for (int32_t x = 0; x < width; ++x)
                row[x] = (row[x] & colour_bits) ? text_pixel_ : background_pixel_;
        }
        return pixels_.get();
    }

    // Each output pixel sums its 4 x 4 block; (sum >> 3) | 0x0FFF puts k covered pixels
    // (each 0x7FFF) at coverage k - 1, and an empty block at white, fully transparent.
    uint16_t* smooth_into_glyph(int32_t width, int32_t height) {
        constexpr int32_t glyph_side = drawing_size / smoothing_scale;
        for (int32_t y = 0; y < height; ++y) {
            uint16_t* out = smoothed_.get() + int64_t(y) * glyph_side;
            for (int32_t x = 0; x < width; ++x) {
                uint32_t sum = 0;
                for (int32_t dy = 0; dy < smoothing_scale; ++dy) {
                    const uint16_t* in = pixels_.get() +
                                         int64_t(y * smoothing_scale + dy) * drawing_size +
                                         x * smoothing_scale;
                    for (int32_t dx = 0; dx < smoothing_scale; ++dx) sum += in[dx];
                }
                out[x] = sum ? uint16_t((sum >> 3) | smoothed_white) : smoothed_white;
            }
        }
        return smoothed_.get();
    }

    OmSharedOSReference os_;
    TrueTypeProperties properties_ = default_properties;
    std::shared_ptr<platform::FontFace> face_;
    std::unique_ptr<uint16_t[]> pixels_;   // the drawing buffer
    std::unique_ptr<uint16_t[]> smoothed_; // smoothed glyph rows
    IRasterCreate* glyph_description_ = nullptr;
    uint16_t text_pixel_ = 0;
    uint16_t background_pixel_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_TrueTypeFont, nullptr, nullptr, OmCreateComponent<Win32TrueTypeFont>,
     "Win32TrueTypeFont"},
    {&CLSID_Win32TrueTypeFont, nullptr, nullptr, OmCreateComponent<Win32TrueTypeFont>,
     "Win32TrueTypeFont"},
};

} // namespace

OM_DEFINE_MODULE(Win32TrueTypeFont, classes)
