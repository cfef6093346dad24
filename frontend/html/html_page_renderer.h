// Page rendering through a renderer: every glyph, picture and background of a laid-out page
// is one screen quad (glyphs from the font cache's pages, pictures as textures), scaled from
// page units to the screen. Also the texture making of the renderer's page preparation.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/om_rect.h"
#include "frontend/html/html_page_preparation.h"
#include "media/display/renderer.h"
#include "media/text/font_cache.h"

// Glyph pages are 128 x 128 pixels.
inline constexpr int32_t HTML_GLYPH_PAGE_SIDE = 128;
// "texturemode" bit that shifts every quad by -0.5 before scaling.
inline constexpr int32_t HTML_TEXTUREMODE_HALF_PIXEL = 4;

// What pages are drawn with.
struct HtmlRenderOutput {
    IRenderer* renderer;
    IFontCache* font_cache;
    float scale_x;
    float scale_y;
    int32_t texture_mode; // the browser's "texturemode"
};

// Draws the page's document with its origin at (x, y), clipped to the clip {x, y, width,
// height}. 0; nothing is drawn (and no render state touched) when the page lies outside.
OmResult drawHtmlPage(const HtmlRenderOutput& output, IObjHash* root, int32_t x, int32_t y,
                      const OmRect& clip);

// Makes renderer textures of pictures (two pixels larger with a repeated border in
// texturemode 1).
class HtmlTextureMaker final : public HtmlPictureMaker {
public:
    HtmlTextureMaker(IRenderer* renderer, IImageProc* image_proc, int32_t texture_mode)
        : renderer_(renderer), image_proc_(image_proc), texture_mode_(texture_mode) {}
    OmResult make(IRaster* picture, IRaster** out) override;

private:
    IRenderer* renderer_;
    IImageProc* image_proc_;
    int32_t texture_mode_;
};
