// What the two page drawers (screen quads through a renderer, copies onto a raster) share: the
// walk over a laid-out page's objects and table cells, and the colours and pictures of its
// nodes.
#pragma once

#include "framework/containers/com_hash.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_quad.h"
#include "media/raster/raster.h"
#include "media/text/font.h"

#include <cstring>

// The picture of a node ("_raster"), borrowed from it; null for a null node or none.
IRaster* htmlNodeRaster(IObjHash* node);
// The font a text object was laid out with ("_font"), borrowed from it; null when none.
IFont* htmlTextFont(IObjHash* text);
// The opaque colour of a text object: a link's by its state ("alink", "vlink", "link",
// "alink", white for a state outside 0..3), else its font's, else the page's "text" colour.
uint32_t htmlTextColour(IObjHash* root, IObjHash* text);
// The picture node an image shows: its "rolloversrc" while active or highlighted, else its
// "src"; null when it has none.
IObjHash* htmlImageSource(IObjHash* image);
// A node's laid-out box ("_x", "_y", "_width", "_height") with its origin at (x, y).
HtmlRect htmlBoxAt(IObjHash* node, float x, float y);

// The walk over a page: Drawer (derived from this) provides text(object, clip, x, y),
// image(object, clip, x, y) and cell_backgrounds(cell, cell rectangle, clip).
template <class Drawer>
class HtmlPageWalk {
protected:
    // The objects of a cell in their order, with the cell's origin at (x, y).
    OmResult walk(IObjHash* cell, const HtmlRect& clip, float x, float y) {
        ICOMArray* objs = htmlArrayAt(cell, "objs");
        if (!objs) return OM_E_FAIL;
        const int32_t count = objs->Count();
        for (int32_t i = 0; i < count; ++i) {
            IObjHash* object = htmlArrayNode(objs, i);
            if (!object) continue;
            const char* type = htmlNodeType(object);
            if (std::strcmp(type, "text") == 0)
                drawer().text(object, clip, x, y);
            else if (std::strcmp(type, "image") == 0)
                drawer().image(object, clip, x, y);
            else if (std::strcmp(type, "table") == 0)
                table(object, clip, x, y);
        }
        return OM_S_OK;
    }

    // A laid-out table's cells row by row: each visible cell's backgrounds, then its objects.
    OmResult table(IObjHash* table, const HtmlRect& clip, float x, float y) {
        if (!table->Has("_x")) return OM_S_OK;
        const HtmlRect box = htmlBoxAt(table, x, y);
        HtmlRect visible = box;
        if (!clipHtmlRect(clip, &visible)) return OM_S_OK;
        ICOMArray* rows = htmlArrayAt(table, "rows");
        const int32_t row_count = rows ? rows->Count() : 0;
        float cell_y = box.top;
        for (int32_t row = 0; row < row_count; ++row) {
            ICOMArray* cells = htmlArrayAt(htmlArrayNode(rows, row), "cells");
            const int32_t cell_count = cells ? cells->Count() : 0;
            float cell_x = box.left;
            float last_height = 0;
            for (int32_t c = 0; c < cell_count; ++c) {
                IObjHash* cell = htmlArrayNode(cells, c);
                if (!cell) continue;
                const float width = float(cell->GetInt("_width", 0));
                last_height = float(cell->GetInt("_height", 0));
                HtmlRect rect{cell_x, cell_y, cell_x + width, cell_y + last_height};
                if (clipHtmlRect(clip, &rect)) {
                    drawer().cell_backgrounds(cell, rect, clip);
                    const OmResult r = walk(cell, rect, cell_x, cell_y);
                    if (r < 0) return r;
                }
                cell_x += width;
            }
            cell_y += last_height;
        }
        return OM_S_OK;
    }

private:
    Drawer& drawer() { return static_cast<Drawer&>(*this); }
};
