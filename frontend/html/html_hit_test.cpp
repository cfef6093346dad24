// Hit testing, link boxes and link colour states of a laid-out HTML document.
#include "frontend/html/html_hit_test.h"

#include "framework/core/com_ref.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_pixels.h"

#include <functional>
#include <unordered_map>

namespace {

// Calls `visit`(box, owner, origin x, origin y) for every fragment and placed image of the
// cell in document order, descending into placed tables; a non-negative answer stops the
// walk and is returned.
using BoxVisitor = std::function<int32_t(IObjHash*, IObjHash*, int32_t, int32_t)>;

int32_t walk_table(IObjHash* table, int32_t origin_x, int32_t origin_y, const BoxVisitor& visit);

int32_t walk_cell(IObjHash* cell, int32_t origin_x, int32_t origin_y, const BoxVisitor& visit) {
    ICOMArray* objs = htmlArrayAt(cell, "objs");
    if (!objs) return -1;
    const int32_t count = objs->Count();
    for (int32_t i = 0; i < count; ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (!node) continue;
        int32_t answer = -1;
        if (htmlNodeIs(node, "text")) {
            ICOMArray* frags = htmlArrayAt(node, "_frags");
            const int32_t frag_count = frags ? frags->Count() : 0;
            for (int32_t f = 0; f < frag_count && answer < 0; ++f) {
                if (IObjHash* frag = htmlArrayNode(frags, f)) {
                    answer = visit(frag, node, origin_x, origin_y);
                }
            }
        } else if (htmlNodeIs(node, "table")) {
            answer = walk_table(node, origin_x, origin_y, visit);
        } else if (node->Has("_x")) {
            answer = visit(node, node, origin_x, origin_y);
        }
        if (answer >= 0) return answer;
    }
    return -1;
}

int32_t walk_table(IObjHash* table, int32_t origin_x, int32_t origin_y, const BoxVisitor& visit) {
    // A table the layout could not place has no position and nothing in it can be hit.
    if (!table->Has("_x")) return -1;
    ICOMArray* rows = htmlArrayAt(table, "rows");
    const int32_t row_count = rows ? rows->Count() : 0;
    int32_t top = htmlAddPixels(origin_y, table->GetInt("_y", 0));
    for (int32_t r = 0; r < row_count; ++r) {
        ICOMArray* cells = htmlArrayAt(htmlArrayNode(rows, r), "cells");
        const int32_t cell_count = cells ? cells->Count() : 0;
        int32_t left = htmlAddPixels(origin_x, table->GetInt("_x", 0));
        IObjHash* last = nullptr;
        for (int32_t c = 0; c < cell_count; ++c) {
            IObjHash* cell = htmlArrayNode(cells, c);
            if (!cell) continue;
            const int32_t answer = walk_cell(cell, left, top, visit);
            if (answer >= 0) return answer;
            left = htmlAddPixels(left, cell->GetInt("_width", 0));
            last = cell;
        }
        if (last) top = htmlAddPixels(top, last->GetInt("_height", 0));
    }
    return -1;
}

bool box_contains(IObjHash* box, int32_t origin_x, int32_t origin_y, int32_t x, int32_t y) {
    const int32_t left = htmlAddPixels(origin_x, box->GetInt("_x", 0));
    const int32_t top = htmlAddPixels(origin_y, box->GetInt("_y", 0));
    return left <= x && x <= int64_t(left) + box->GetInt("_width", 0) && top <= y &&
           y <= int64_t(top) + box->GetInt("_height", 0);
}

} // namespace

int32_t hitTestHtmlBox(IObjHash* root, IObjHash* box, IObjHash* owner, int32_t origin_x,
                       int32_t origin_y, int32_t x, int32_t y) {
    if (!box_contains(box, origin_x, origin_y, x, y)) return -1;
    ICOMArray* links = htmlArrayAt(root, "links");
    const int32_t count = links ? links->Count() : 0;
    for (int32_t i = 0; i < count; ++i) {
        ICOMArray* objs = htmlArrayAt(htmlArrayNode(links, i), "objs");
        if (!objs) return -1;
        if (htmlArrayHolds(objs, owner)) return i;
    }
    return -1;
}

int32_t hitTestHtmlCell(IObjHash* root, IObjHash* cell, int32_t origin_x, int32_t origin_y,
                        int32_t x, int32_t y) {
    return walk_cell(cell, origin_x, origin_y,
                     [&](IObjHash* box, IObjHash* owner, int32_t ox, int32_t oy) {
                         return hitTestHtmlBox(root, box, owner, ox, oy, x, y);
                     });
}

int32_t hitTestHtmlTable(IObjHash* root, IObjHash* table, int32_t origin_x, int32_t origin_y,
                         int32_t x, int32_t y) {
    return walk_table(table, origin_x, origin_y,
                      [&](IObjHash* box, IObjHash* owner, int32_t ox, int32_t oy) {
                          return hitTestHtmlBox(root, box, owner, ox, oy, x, y);
                      });
}

int32_t hitTestHtmlDocument(IObjHash* root, int32_t x, int32_t y) {
    IObjHash* cell = htmlNodeAt(root, "cell");
    return cell ? hitTestHtmlCell(root, cell, 0, 0, x, y) : -1;
}

bool getHtmlLinkBox(IObjHash* root, int32_t link, int32_t n, HtmlBox* box) {
    ICOMArray* objs = htmlArrayAt(getHtmlLink(root, link), "objs");
    IObjHash* cell = htmlNodeAt(root, "cell");
    if (!objs || !cell || n < 0) return false;
    int32_t seen = 0;
    const int32_t found =
        walk_cell(cell, 0, 0, [&](IObjHash* node, IObjHash* owner, int32_t ox, int32_t oy) {
            if (!htmlArrayHolds(objs, owner) || seen++ != n) return -1;
            *box = HtmlBox{htmlAddPixels(ox, node->GetInt("_x", 0)),
                           htmlAddPixels(oy, node->GetInt("_y", 0)), node->GetInt("_width", 0),
                           node->GetInt("_height", 0)};
            return 0;
        });
    return found >= 0;
}

void listHtmlLinkBoxes(IObjHash* root, std::vector<HtmlLinkBox>* out) {
    out->clear();
    IObjHash* cell = htmlNodeAt(root, "cell");
    ICOMArray* links = htmlArrayAt(root, "links");
    if (!cell || !links) return;
    // The link of each node by its identity: the first link holding it, and none from a link
    // without "objs" on, as the hit test searches.
    std::unordered_map<IUnknown*, int32_t> link_of;
    const auto identity = [](IUnknown* object) -> IUnknown* {
        ComRef<IUnknown> unknown;
        if (!object || object->QueryInterface(IID_IUnknown, unknown.put_void()) < 0) return nullptr;
        return unknown.get(); // the node stays alive in the document
    };
    const int32_t count = links->Count();
    for (int32_t i = 0; i < count; ++i) {
        ICOMArray* objs = htmlArrayAt(htmlArrayNode(links, i), "objs");
        if (!objs) break;
        for (int32_t k = 0, n = objs->Count(); k < n; ++k) {
            if (IUnknown* node = identity(objs->GetAt(k))) link_of.emplace(node, i);
        }
    }
    if (link_of.empty()) return;
    walk_cell(cell, 0, 0, [&](IObjHash* node, IObjHash* owner, int32_t ox, int32_t oy) {
        const auto found = link_of.find(identity(owner));
        if (found != link_of.end()) {
            out->push_back(
                {found->second, HtmlBox{htmlAddPixels(ox, node->GetInt("_x", 0)),
                                        htmlAddPixels(oy, node->GetInt("_y", 0)),
                                        node->GetInt("_width", 0), node->GetInt("_height", 0)}});
        }
        return -1;
    });
}

IObjHash* getHtmlLink(IObjHash* root, int32_t link) {
    ICOMArray* links = htmlArrayAt(root, "links");
    if (!links || link < 0 || link >= links->Count()) return nullptr;
    return htmlArrayNode(links, link);
}

int32_t countHtmlLinks(IObjHash* root) {
    ICOMArray* links = htmlArrayAt(root, "links");
    return links ? links->Count() : 0;
}

OmResult setHtmlObjectState(IObjHash*, IObjHash* node, int32_t state) {
    if (node && (htmlNodeIs(node, "text") || htmlNodeIs(node, "image"))) {
        node->SetInt("_state", state);
    }
    return OM_S_OK;
}

OmResult setHtmlLinkState(IObjHash* root, int32_t link, int32_t state) {
    if (link < 0 || link >= countHtmlLinks(root)) return OM_E_FAIL;
    ICOMArray* objs = htmlArrayAt(getHtmlLink(root, link), "objs");
    const int32_t count = objs ? objs->Count() : 0;
    for (int32_t i = 0; i < count; ++i) setHtmlObjectState(root, htmlArrayNode(objs, i), state);
    return OM_S_OK;
}

OmResult markHtmlLinkFirstObjectNormal(IObjHash* root, int32_t link) {
    if (link < 0 || link >= countHtmlLinks(root)) return OM_E_FAIL;
    ICOMArray* objs = htmlArrayAt(getHtmlLink(root, link), "objs");
    if (!objs || objs->Count() == 0) return 2;
    setHtmlObjectState(root, htmlArrayNode(objs, 0), 2);
    return OM_S_OK;
}

OmResult resetHtmlLinkStates(IObjHash* root) {
    if (!root) return OM_E_FAIL;
    root->SetInt("_curlink", -1);
    for (int32_t link = countHtmlLinks(root) - 1; link >= 0; --link) {
        setHtmlLinkState(root, link, 2);
    }
    return OM_S_OK;
}
