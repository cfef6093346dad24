// The colours and pictures of a laid-out page's nodes, as both page drawers read them.
#include "frontend/html/html_page_walk.h"

namespace {

// Default link colours by state 0..3: "alink", "vlink", "link", "alink".
struct LinkColour {
    const char* key;
    int32_t fallback;
};
constexpr LinkColour link_colours[] = {
    {"alink", 0xFF00FF}, {"vlink", 0xFF0000}, {"link", 0x0000FF}, {"alink", 0x00FFFF}};

constexpr uint32_t opaque = 0xFF000000u;
constexpr uint32_t white = 0xFFFFFFFFu;

} // namespace

IRaster* htmlNodeRaster(IObjHash* node) {
    return node ? htmlBorrow<IRaster>(node->Get("_raster"), IID_IRaster) : nullptr;
}

IFont* htmlTextFont(IObjHash* text) {
    return htmlBorrow<IFont>(text->Get("_font"), IID_IFont);
}

uint32_t htmlTextColour(IObjHash* root, IObjHash* text) {
    int32_t colour;
    if (text->Has("_state")) {
        const int32_t state = text->GetInt("_state", HTML_STATE_NORMAL);
        if (state < 0 || state > 3) return white;
        colour = root->GetInt(link_colours[state].key, link_colours[state].fallback);
    } else {
        // The parser marks a font without its own colour with -1: the page's text colour.
        IObjHash* font = htmlNodeAt(text, "font");
        colour = font ? font->GetInt("color", HTML_NO_COLOUR) : HTML_NO_COLOUR;
        if (colour == HTML_NO_COLOUR) colour = root->GetInt("text", HTML_NO_COLOUR);
    }
    return opaque | (uint32_t(colour) & 0xFFFFFF);
}

IObjHash* htmlImageSource(IObjHash* image) {
    IObjHash* node = htmlNodeAt(image, "src");
    if (!node) return nullptr;
    if (image->Has("_state")) {
        const int32_t state = image->GetInt("_state", HTML_STATE_NORMAL);
        IObjHash* rollover = htmlNodeAt(image, "rolloversrc");
        if (rollover && (state == HTML_STATE_ACTIVE || state == HTML_STATE_HIGHLIGHTED))
            return rollover;
    }
    return node;
}

HtmlRect htmlBoxAt(IObjHash* node, float x, float y) {
    const float left = x + float(node->GetInt("_x", 0));
    const float top = y + float(node->GetInt("_y", 0));
    return {left, top, left + float(node->GetInt("_width", 0)),
            top + float(node->GetInt("_height", 0))};
}
