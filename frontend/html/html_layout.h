// The HTML layout: places a parsed page inside a page size. Text runs break into line
// fragments, images and tables go on lines, tables are sized from their cells, and lines
// shift for alignment. It writes only keys beginning with "_"; every text node must carry its
// measured font (an IFont) under "_font" before the layout runs.
#pragma once

#include "framework/containers/com_array.h"
#include "framework/containers/com_hash.h"
#include "media/raster/pixel_format.h"
#include "media/text/font.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <tuple>
#include <vector>

// Tables nested deeper than this are left without position, as tables that do not fit are:
// every level multiplies the layouts of what it holds (the menus' pages nest one deep).
inline constexpr int32_t HTML_MOST_NESTED_TABLES = 8;

// Page size used when the layout is given no rectangle.
inline constexpr int32_t HTML_DEFAULT_PAGE_WIDTH = 800;
inline constexpr int32_t HTML_DEFAULT_PAGE_HEIGHT = 600;

// Pixels added between lines, read from the layout settings table ("wrapspacing",
// "brspacing", "paragraphspacing", "alignmentspacing", "tablespacing"); the defaults apply to
// absent keys.
struct HtmlLayoutSpacing {
    int32_t wrap = 2;
    int32_t br = 0;
    int32_t paragraph = 3;
    int32_t alignment = 0;
    int32_t table = 0;

    static HtmlLayoutSpacing fromSettings(IObjHash* settings);
};

// One font as the layout measures it: line height (font property 8) and the advance widths
// of the 256 byte codes, each asked of the font once.
class HtmlMeasuredFont {
public:
    HtmlMeasuredFont(IUnknown* object, IFont* font);
    IUnknown* object() const { return object_; }
    int32_t lineHeight() const { return line_height_; }
    // The advance width of a byte; 0x7F, the non-breaking space, measures as a blank.
    int32_t width(unsigned char code);

private:
    IUnknown* object_; // the font as stored in the text node (the tree keeps it alive)
    IFont* font_;
    int32_t line_height_ = 0;
    std::array<int32_t, 256> widths_;
};

// The fonts measured during one run.
class HtmlFontMetrics {
public:
    // The metrics of the font object, made on first use; null when it is no IFont.
    HtmlMeasuredFont* measure(IUnknown* font_object);

private:
    std::vector<std::unique_ptr<HtmlMeasuredFont>> fonts_;
};

// The extents of the cell layouts of one run, by cell and given space. A table lays each of
// its cells out three times (two measures and the final layout), so without them a page of
// nested tables would cost three times more per level of nesting; a measure whose answer is
// known is not laid out again. A cell's layout depends only on its content and the space it
// is given, and the layout that stands is always run, so the page comes out the same.
class HtmlCellExtents {
public:
    struct Extent {
        OmResult result;
        int32_t width;
        int32_t height;
    };
    const Extent* find(IObjHash* cell, int32_t width, int32_t height) const;
    void keep(IObjHash* cell, int32_t width, int32_t height, const Extent& extent);

private:
    std::map<std::tuple<IObjHash*, int32_t, int32_t>, Extent> extents_;
};

// What one layout run shares: the spacing, the measured fonts and the cell extents; while
// `measuring` is set, cell layouts are measures whose known answers are reused.
// `table_depth` counts the tables being sized around the current cell.
struct HtmlLayoutRun {
    HtmlLayoutSpacing spacing;
    HtmlFontMetrics metrics;
    HtmlCellExtents extents;
    bool measuring = false;
    int32_t table_depth = 0;
};

// The context of one cell layout (pixels).
struct HtmlLayoutContext {
    int32_t line_x = 0;          // width already used on the current line
    int32_t line_y = 0;          // top of the current line
    int32_t width = 0;           // available width
    int32_t height = 0;          // available height
    int32_t line_height = 0;     // tallest item on the current line
    int32_t widest_line = 0;     // largest line x reached
    int32_t lowest_line_end = 0; // largest line y reached
    ICOMArray* owner = nullptr;  // the cell's "_objs": receives the line-end records
    HtmlLayoutRun* run = nullptr;
};

// Lays out the whole page in the rectangle's width and height (800 x 600 when null), with
// the settings table's spacing (defaults when null). The root cell's layout result.
OmResult layoutHtmlDocument(IObjHash* root, IObjHash* settings, const OmRect* rect);
// Lays out one cell in the given space and returns the extent of its content through the
// same two values. OM_E_FAIL when the node is no cell.
OmResult layoutHtmlCell(HtmlLayoutRun& run, IObjHash* cell, int32_t* width, int32_t* height);

// Context operations.
void OmHtmlLayoutContextInit(HtmlLayoutContext& context, HtmlLayoutRun& run, ICOMArray* owner,
                             int32_t width, int32_t height);
void OmHtmlLayoutContextGetArgs(const HtmlLayoutContext& context, int32_t* width, int32_t* height);
// Ends the current line (a "_br" record) and moves down by its height plus the spacing;
// nothing at all when spacing, line height and line x are all 0.
OmResult htmlLayoutNewLine(HtmlLayoutContext& context, int32_t spacing);
// True when an item this wide must start a new line to fit.
bool htmlLayoutWouldWrap(const HtmlLayoutContext& context, int32_t width);
// Puts an item on the line, starting a new one when needed. OM_E_FAIL when it cannot be
// placed (below the available height, or wider than the available width).
OmResult htmlLayoutPlace(HtmlLayoutContext& context, int32_t width, int32_t height);
// Places a blank unless the line is empty.
OmResult htmlLayoutPad(HtmlLayoutContext& context, int32_t width);
void htmlLayoutGetPos(const HtmlLayoutContext& context, int32_t* x, int32_t* y);
void htmlLayoutGetExtent(const HtmlLayoutContext& context, int32_t* width, int32_t* height);

// Steps of the cell layout.
OmResult wrapTextIntoFrags(HtmlLayoutContext& context, IObjHash* text, ICOMArray* objs);
OmResult addHtmlFrag(IObjHash* text, int32_t x, int32_t y, int32_t width, int32_t height,
                     IObjHash** out);
OmResult layoutHtmlImage(HtmlLayoutContext& context, IObjHash* image, ICOMArray* objs);
OmResult layoutHtmlTable(HtmlLayoutContext& context, IObjHash* table, ICOMArray* objs);
OmResult sizeHtmlTable(HtmlLayoutContext& context, IObjHash* table, int32_t* width,
                       int32_t* height);

// One column or row of a table: its size and whether a cell gave it explicitly.
struct HtmlTrack {
    int32_t size = 0;
    bool fixed = false;
};
// Fits the tracks to the total (see the table sizing); may change the total when the table
// gave no explicit size.
void distributeHtmlTracks(std::vector<HtmlTrack>& tracks, bool explicit_size, int32_t* total);

using HtmlCellCallback = OmResult (*)(IObjHash* cell, int32_t column, int32_t row, void* data);
// Visits rows in order and cells in order within a row; stops at the first failure.
OmResult forEachHtmlCell(IObjHash* table, HtmlCellCallback callback, void* data);
// Shifts each laid-out line of the cell for its horizontal and vertical alignment.
void alignHtmlCellLines(IObjHash* cell, int32_t content_height);
