// Property storage and rectangle checks shared by the bitmap fonts.
#include "media/text/bitmap_font_properties.h"

OmResult OmBitmapFontProperties::set(uint32_t id, intptr_t value, uint32_t last_id) {
    if (id < OM_FONT_FACE || id > last_id) return OM_E_FAIL;
    int32_t v = int32_t(value);
    switch (id) {
    case OM_FONT_BOLD: bold = v; break;
    case OM_FONT_ITALIC: italic = v; break;
    case OM_FONT_STRIKEOUT: strikeout = v; break;
    case OM_FONT_UNDERLINE: underline = v; break;
    case OM_FONT_PITCH: pitch = v; break;
    case OM_FONT_FAMILY: family = v; break;
    case OM_FONT_SIZE: size = v; break;
    case OM_FONT_STORED: stored = v; break;
    case OM_FONT_COLOUR: colour = uint32_t(value); break;
    default: break; // the face name
    }
    return OM_S_OK;
}

OmResult OmBitmapFontProperties::get(uint32_t id, intptr_t* value, uint32_t last_id) const {
    if (!value || id < OM_FONT_FACE || id > last_id) return OM_E_FAIL;
    switch (id) {
    case OM_FONT_FACE: *value = reinterpret_cast<intptr_t>(""); break;
    case OM_FONT_BOLD: *value = bold; break;
    case OM_FONT_ITALIC: *value = italic; break;
    case OM_FONT_STRIKEOUT: *value = strikeout; break;
    case OM_FONT_UNDERLINE: *value = underline; break;
    case OM_FONT_PITCH: *value = pitch; break;
    case OM_FONT_FAMILY: *value = family; break;
    case OM_FONT_SIZE: *value = size; break;
    case OM_FONT_STORED: *value = stored; break;
    case OM_FONT_COLOUR: *value = colour; break;
    }
    return OM_S_OK;
}

bool om_glyph_rect_fits(const OmRect* rect, IRaster* target) {
    return rect && target && rect->width >= 0 && rect->height >= 0 &&
           uint32_t(rect->width) <= target->GetWidth() &&
           uint32_t(rect->height) <= target->GetHeight();
}
