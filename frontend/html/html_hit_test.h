// Hit testing and link state of a laid-out HTML document: which link lies under a point,
// where a link's boxes are, and which colour state each link shows. A link is named by its
// index in the root's "links".
#pragma once

#include "framework/containers/com_hash.h"

#include <cstdint>
#include <vector>

// A box in page coordinates.
struct HtmlBox {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The link under the point, or -1. Boxes include all four edges; the first box in document
// order that belongs to a link wins.
int32_t hitTestHtmlDocument(IObjHash* root, int32_t x, int32_t y);
// The n-th box (from 0) of the link's fragments and images in document order; false when
// there is none.
bool getHtmlLinkBox(IObjHash* root, int32_t link, int32_t n, HtmlBox* box);
// A box of a link, with the link's number.
struct HtmlLinkBox {
    int32_t link = -1;
    HtmlBox box;
};
// Every box of the links' fragments and images in document order, each with the link the hit
// test answers for its node; one walk of the document (getHtmlLinkBox walks it per box).
void listHtmlLinkBoxes(IObjHash* root, std::vector<HtmlLinkBox>* out);
// The link node, no reference added; null when there is none.
IObjHash* getHtmlLink(IObjHash* root, int32_t link);
// The number of links; 0 when the root has no "links".
int32_t countHtmlLinks(IObjHash* root);
// Sets "_state" on a text or image node; other nodes are left alone. 0.
OmResult setHtmlObjectState(IObjHash* root, IObjHash* node, int32_t state);
// Sets the state on every node of the link. OM_E_FAIL for a link number out of range.
OmResult setHtmlLinkState(IObjHash* root, int32_t link, int32_t state);
// Gives the link's first node state 2 and returns 0; 2 when the link holds no node;
// OM_E_FAIL for a link number out of range.
OmResult markHtmlLinkFirstObjectNormal(IObjHash* root, int32_t link);
// The root's "_curlink" becomes -1 and every link, last to first, gets state 2. 0.
OmResult resetHtmlLinkStates(IObjHash* root);

// Steps of the walk (exposed for the browsers' own walks).
int32_t hitTestHtmlCell(IObjHash* root, IObjHash* cell, int32_t origin_x, int32_t origin_y,
                        int32_t x, int32_t y);
int32_t hitTestHtmlTable(IObjHash* root, IObjHash* table, int32_t origin_x, int32_t origin_y,
                         int32_t x, int32_t y);
int32_t hitTestHtmlBox(IObjHash* root, IObjHash* box, IObjHash* owner, int32_t origin_x,
                       int32_t origin_y, int32_t x, int32_t y);
