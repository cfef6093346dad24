// The rollover image swap shared by HTMLBrowser and HTMLBlitBrowser.
#include "frontend/html/html_browser_rollover.h"

#include "frontend/html/html_document.h"
#include "frontend/html/html_hit_test.h"

void swapHtmlRolloverImage(IObjHash* root, IObjHash* image_table, int32_t link, int32_t state) {
    IObjHash* node = getHtmlLink(root, link);
    if (!node || !node->Has("rolloverreplacefrom") || !node->Has("rolloverreplaceto")) return;
    IObjHash* images = htmlNodeAt(root, "images");
    IObjHash* from = htmlNodeAt(images, node->GetString("rolloverreplacefrom", ""));
    IObjHash* to = htmlNodeAt(images, node->GetString("rolloverreplaceto", ""));
    if (!from || !to) return;
    IUnknown* raster = nullptr;
    if (state == HTML_STATE_ACTIVE || state == HTML_STATE_HIGHLIGHTED) {
        raster = to->Get("_raster");
    } else if (state == HTML_STATE_VISITED || state == HTML_STATE_NORMAL) {
        IObjHash* entry = htmlNodeAt(image_table, from->GetString("src", ""));
        raster = entry ? entry->Get("_raster") : nullptr;
    }
    if (raster) setHtmlObject(from, "_raster", raster);
}
