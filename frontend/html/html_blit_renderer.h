// Page drawing by blitting: the laid-out page copied onto one target raster, text as one
// small raster per character and colour, pictures and backgrounds as raster copies, colour
// fills through the target. Positions are page units used as target pixels.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/om_rect.h"
#include "frontend/html/html_page_preparation.h"
#include "media/raster/raster.h"

// Where blitted pages go.
struct HtmlBlitOutput {
    IRaster* target;
    IRasterCreate* factory; // makes the character rasters
};

// Draws the page's document with its origin at (x, y), clipped to the clip {x, y, width,
// height} and to the target. 0.
OmResult blitHtmlPage(const HtmlBlitOutput& output, IObjHash* root, int32_t x, int32_t y,
                      const OmRect& clip);

// The key of a character raster in a font node's "_charcolors": RRGGBB in upper-case hex,
// the character byte, '|', the font descriptor.
std::string htmlCharacterKey(uint32_t colour, unsigned char code, const char* font_name);

// Makes plain rasters of pictures with the browser's raster factory (kind 6), carrying the
// picture's colour key.
class HtmlBlitPictureMaker final : public HtmlPictureMaker {
public:
    explicit HtmlBlitPictureMaker(IRasterCreate* factory) : factory_(factory) {}
    OmResult make(IRaster* picture, IRaster** out) override;

private:
    IRasterCreate* factory_;
};
