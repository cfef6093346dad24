// FontFace over FreeType and fontconfig: resolution of a request to a face file, sizing by
// cell height, monochrome glyphs with synthesised styles, underline and strike-out.
#include "platform/text/font_face.h"

#include "platform/text/cp1252.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <array>
#include <map>
#include <mutex>
#include <tuple>

namespace platform {

namespace {

// Synthetic italic slant: x += 0.2 y, about the 12 degrees of a usual oblique.
constexpr FT_Fixed italic_shear = 0x3333;
// Faces kept alive by the cache although nothing holds them any more.
constexpr size_t idle_faces_kept = 32;

// The FreeType library, shared by every face (a face keeps it alive so that faces released
// late in the program's shutdown still find it).
struct FreeTypeLibrary {
    FT_Library library = nullptr;
    std::mutex mutex; // FreeType calls on faces of this library
    FreeTypeLibrary() {
        if (FT_Init_FreeType(&library) != 0) library = nullptr;
    }
    ~FreeTypeLibrary() {
        if (library) FT_Done_FreeType(library);
    }
};

std::shared_ptr<FreeTypeLibrary> shared_library() {
    static std::shared_ptr<FreeTypeLibrary> library = std::make_shared<FreeTypeLibrary>();
    return library;
}

const char* generic_family(uint8_t pitch_and_family) {
    switch (pitch_and_family & 0xF0) {
    case FONT_FAMILY_ROMAN: return "serif";
    case FONT_FAMILY_MODERN: return "monospace";
    case FONT_FAMILY_SCRIPT: return "cursive";
    case FONT_FAMILY_DECORATIVE: return "fantasy";
    case FONT_FAMILY_SWISS: return "sans-serif";
    default: return (pitch_and_family & 3) == FONT_PITCH_FIXED ? "monospace" : "sans-serif";
    }
}

struct ResolvedFace {
    std::string file;
    int index = 0;
    std::string family;
};

// fontconfig's best match for the face name, weight, slant and pitch, with the family's
// generic face behind the name.
bool resolve_face(const FontRequest& request, ResolvedFace* out) {
    if (!FcInit()) return false;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    if (!request.face.empty())
        FcPatternAddString(pattern, FC_FAMILY,
                           reinterpret_cast<const FcChar8*>(request.face.c_str()));
    FcPatternAddString(pattern, FC_FAMILY,
                       reinterpret_cast<const FcChar8*>(generic_family(request.pitch_and_family)));
    FcPatternAddInteger(pattern, FC_WEIGHT,
                        request.weight >= 700 ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if ((request.pitch_and_family & 3) == FONT_PITCH_FIXED)
        FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* file = nullptr;
    FcChar8* family = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found) {
        out->file = reinterpret_cast<const char*>(file);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &out->index) != FcResultMatch) out->index = 0;
        if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch && family)
            out->family = reinterpret_cast<const char*>(family);
    }
    FcPatternDestroy(match);
    return found;
}

int32_t round_26_6(FT_Pos value) {
    return int32_t((value + 32) >> 6);
}

class FreeTypeFace final : public FontFace {
public:
    ~FreeTypeFace() override {
        if (face_) {
            std::lock_guard lock(library_->mutex);
            FT_Done_Face(face_);
        }
    }

    bool open(const FontRequest& request) {
        library_ = shared_library();
        if (!library_->library || request.height < 1) return false;
        ResolvedFace resolved;
        if (!resolve_face(request, &resolved)) return false;
        family_ = resolved.family;
        std::lock_guard lock(library_->mutex);
        if (FT_New_Face(library_->library, resolved.file.c_str(), resolved.index, &face_) != 0) {
            face_ = nullptr;
            return false;
        }
        // The cell height, ascent plus descent, is the size asked for.
        FT_Size_RequestRec size{FT_SIZE_REQUEST_TYPE_REAL_DIM, 0, FT_Long(request.height) << 6, 0,
                                0};
        if (FT_Request_Size(face_, &size) != 0) return false;
        native_bold_ = (face_->style_flags & FT_STYLE_FLAG_BOLD) != 0;
        native_italic_ = (face_->style_flags & FT_STYLE_FLAG_ITALIC) != 0;
        embolden_ = request.weight >= 700 && !native_bold_;
        if (request.italic && !native_italic_) {
            FT_Matrix shear{0x10000, italic_shear, 0, 0x10000};
            FT_Set_Transform(face_, &shear, nullptr);
        }
        FT_Fixed y_scale = face_->size->metrics.y_scale;
        baseline_ = round_26_6(FT_MulFix(face_->ascender, y_scale));
        if (request.underline) {
            underline_thickness_ =
                std::max(1, round_26_6(FT_MulFix(face_->underline_thickness, y_scale)));
            underline_top_ = baseline_ - round_26_6(FT_MulFix(face_->underline_position, y_scale)) -
                             underline_thickness_ / 2;
        }
        if (request.strikeout) {
            const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
            FT_Pos position =
                os2 && os2->yStrikeoutSize > 0 ? os2->yStrikeoutPosition : face_->ascender / 3;
            FT_Pos size =
                os2 && os2->yStrikeoutSize > 0 ? os2->yStrikeoutSize : face_->underline_thickness;
            strike_thickness_ = std::max(1, round_26_6(FT_MulFix(size, y_scale)));
            strike_top_ = baseline_ - round_26_6(FT_MulFix(position, y_scale));
        }
        advances_.fill(-1);
        return true;
    }

    int32_t measure(uint8_t character) override {
        if (advances_[character] >= 0) return advances_[character];
        std::lock_guard lock(library_->mutex);
        if (!load(character)) return advances_[character] = 0;
        return advances_[character] = round_26_6(face_->glyph->advance.x);
    }

    void draw(uint8_t character, const TextPixels& target, int32_t x, int32_t y) override {
        std::lock_guard lock(library_->mutex);
        if (!load(character)) return;
        FT_GlyphSlot slot = face_->glyph;
        int32_t advance = round_26_6(slot->advance.x);
        advances_[character] = advance;
        if (FT_Render_Glyph(slot, FT_RENDER_MODE_MONO) == 0 &&
            slot->bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
            const FT_Bitmap& bitmap = slot->bitmap;
            int32_t left = x + slot->bitmap_left;
            int32_t top = y + baseline_ - slot->bitmap_top;
            for (uint32_t row = 0; row < bitmap.rows; ++row) {
                int32_t py = top + int32_t(row);
                if (py < 0 || py >= target.height) continue;
                const uint8_t* bits = bitmap.buffer + int64_t(row) * bitmap.pitch;
                uint16_t* out = target.pixels + int64_t(py) * target.stride;
                for (uint32_t column = 0; column < bitmap.width; ++column) {
                    int32_t px = left + int32_t(column);
                    if (px < 0 || px >= target.width) continue;
                    if (bits[column >> 3] & (0x80 >> (column & 7))) out[px] = TEXT_PIXEL_WHITE;
                }
            }
        }
        if (underline_thickness_)
            fill_rows(target, x, advance, y + underline_top_, underline_thickness_);
        if (strike_thickness_) fill_rows(target, x, advance, y + strike_top_, strike_thickness_);
    }

    const std::string& family() const override { return family_; }
    bool native_bold() const override { return native_bold_; }
    bool native_italic() const override { return native_italic_; }

private:
    // Loads the character's outline, hinted for monochrome, emboldened when the style is
    // synthesised. Called with the library's mutex held.
    bool load(uint8_t character) {
        FT_UInt index = FT_Get_Char_Index(face_, FT_ULong(cp1252_to_unicode(character)));
        if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP) != 0) return false;
        if (embolden_) FT_GlyphSlot_Embolden(face_->glyph);
        return true;
    }

    static void fill_rows(const TextPixels& target, int32_t x, int32_t width, int32_t top,
                          int32_t rows) {
        int32_t x0 = std::max(x, 0), x1 = std::min(x + width, target.width);
        for (int32_t py = std::max(top, 0); py < std::min(top + rows, target.height); ++py)
            std::fill(target.pixels + int64_t(py) * target.stride + x0,
                      target.pixels + int64_t(py) * target.stride + std::max(x0, x1),
                      TEXT_PIXEL_WHITE);
    }

    std::shared_ptr<FreeTypeLibrary> library_;
    FT_Face face_ = nullptr;
    std::string family_;
    bool native_bold_ = false;
    bool native_italic_ = false;
    bool embolden_ = false;
    int32_t baseline_ = 0;
    int32_t underline_top_ = 0;
    int32_t underline_thickness_ = 0;
    int32_t strike_top_ = 0;
    int32_t strike_thickness_ = 0;
    std::array<int32_t, 256> advances_{};
};

using FaceKey = std::tuple<std::string, int32_t, int32_t, bool, bool, bool, uint8_t>;

FaceKey key_of(const FontRequest& r) {
    return {r.face,      r.height,    r.weight >= 700 ? 700 : 400, r.italic,
            r.underline, r.strikeout, r.pitch_and_family};
}

// Faces by request: opening and sizing a face is far dearer than drawing with it.
struct FaceCache {
    std::mutex mutex;
    std::map<FaceKey, std::shared_ptr<FontFace>> faces;

    // Drops faces nobody holds once too many are idle.
    void trim() {
        size_t idle = 0;
        for (auto& [key, face] : faces) idle += face.use_count() == 1;
        if (idle <= idle_faces_kept) return;
        std::erase_if(faces, [](const auto& entry) { return entry.second.use_count() == 1; });
    }
};

FaceCache& face_cache() {
    static FaceCache cache;
    return cache;
}

} // namespace

std::shared_ptr<FontFace> open_font_face(const FontRequest& request) {
    if (request.height < 1) return nullptr;
    FaceCache& cache = face_cache();
    std::lock_guard lock(cache.mutex);
    FaceKey key = key_of(request);
    auto found = cache.faces.find(key);
    if (found != cache.faces.end()) return found->second;
    auto face = std::make_shared<FreeTypeFace>();
    if (!face->open(request)) return nullptr;
    cache.trim();
    cache.faces.emplace(std::move(key), face);
    return face;
}

} // namespace platform
