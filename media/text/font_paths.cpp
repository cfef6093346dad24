// The family, size and style directories of the bitmap font trees.
#include "media/text/font_paths.h"

#include "framework/platform/os_service.h"
#include "media/text/font.h"

#include <cstdio>

namespace {

// The program directory may take up to 260 characters.
constexpr uint32_t program_directory_capacity = 261;

} // namespace

const char* om_font_family_directory(int32_t family) {
    switch (family) {
    case OM_FONT_FAMILY_ANY: return "default";
    case OM_FONT_FAMILY_ROMAN: return "roman";
    case OM_FONT_FAMILY_SWISS: return "swiss";
    case OM_FONT_FAMILY_MODERN: return "modern";
    case OM_FONT_FAMILY_SCRIPT: return "script";
    case OM_FONT_FAMILY_DECORATIVE: return "decor";
    default: return nullptr;
    }
}

const char* om_font_style_directory(bool bold, bool italic) {
    if (bold && italic) return "it_bold";
    if (bold) return "bold";
    if (italic) return "italic";
    return "normal";
}

OmResult om_font_directory(const char* root, char separator, int32_t family, int32_t size,
                           bool bold, bool italic, std::string* out) {
    char program_directory[program_directory_capacity];
    if (OmOSGetAppPath(program_directory, sizeof program_directory) < 0) return OM_E_FAIL;
    std::string path = program_directory;
    path += root;
    if (const char* family_directory = om_font_family_directory(family)) {
        path += family_directory;
        path += separator;
    }
    char size_directory[16];
    std::snprintf(size_directory, sizeof size_directory, "p_%04d", int(size));
    path += size_directory;
    path += separator;
    path += om_font_style_directory(bold, italic);
    path += separator;
    *out = std::move(path);
    return OM_S_OK;
}
