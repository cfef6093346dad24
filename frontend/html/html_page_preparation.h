// Preparing a new page for drawing, shared by the drawing browsers: one font object per
// distinct text style and one picture per distinct image source, both cached in the
// browser's tables and handed to the document's nodes.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/platform/file_storage.h"
#include "media/raster/image_processor.h"
#include "media/text/font.h"

#include <string>

// face|bold|italic|underline|size, e.g. "arial|1|0|0|3": face from the text's "font" node
// ("default" when absent), size from it (3), the flags from the text node (0).
std::string htmlFontDescriptor(IObjHash* text);

// How a browser makes its fonts.
struct HtmlFontRequest {
    IObjHash* font_table; // descriptor -> font object
    bool smoothing;       // property 12 = 1 on new fonts
};

// Gives the text node "_font" (one reference of its own): the table's font under the
// descriptor, made as a Win32TrueTypeFont when missing. The font node gets "height" (the
// pixel height). The font's creation failure (the text is left without a font).
OmResult prepareHtmlTextFont(const HtmlFontRequest& request, IObjHash* text,
                             const std::string& descriptor);

// Makes the drawable raster of a loaded picture (a renderer texture or a blit raster).
class HtmlPictureMaker {
public:
    virtual OmResult make(IRaster* picture, IRaster** out) = 0;

protected:
    ~HtmlPictureMaker() = default;
};

// Where pictures come from.
struct HtmlImageSource {
    IObjHash* image_table; // "src" text -> entry {"_raster", "width", "height"}
    IImageProc* image_proc;
    IFileStorage* storage;
    const char* base_directory;
    HtmlPictureMaker* maker;
};

// True when the text starts with a URL scheme (some text before a ':').
bool htmlHasUrlScheme(const char* src);

// Prepares every entry of the "images" tables of the root and of every table cell below it:
// each image node without "_raster" gets the cached entry's raster, "width" and "height",
// the entry being loaded on first use. An entry whose picture fails to load stays empty.
OmResult prepareHtmlImages(const HtmlImageSource& source, IObjHash* root);
