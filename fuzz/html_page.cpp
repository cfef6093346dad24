// Fuzzes the menu pages' HTML engine: the bytes are tokenized and parsed into a document, laid
// out on a 640 x 480 page with a fixed-width font (every text node, in table cells too), and
// then every box of every link, listed in one walk of the document, is hit-tested at its
// centre, where some link must answer; the browser's per-box query must give the same boxes.
// The link states are set and reset as the browser does. The document must give back every
// block.
//
// Input: the page text.
#include "frontend/html/html_document.h"
#include "frontend/html/html_hit_test.h"
#include "frontend/html/html_layout.h"
#include "frontend/html/html_parser.h"
#include "frontend/html/html_pixels.h"
#include "fuzz/fixed_width_font.h"
#include "fuzz/framework_harness.h"

#include <algorithm>
#include <vector>

using fuzzing::require;

namespace {

// Links and boxes beyond these are not hit-tested (each test walks the whole document).
constexpr int32_t kMostLinks = 64;
constexpr int32_t kMostBoxes = 64;

IFont* font() {
    static ComRef<IFont> f = fuzzing::FixedWidthFont::make(8, 10);
    return f.get();
}

// Gives every text node the font. The root's "objs" lists every node of the page, those in
// table cells at any depth too, so one pass over it reaches them all.
void attach_font(IObjHash* root) {
    ICOMArray* objs = htmlArrayAt(root, "objs");
    for (int32_t i = 0; objs && i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text")) setHtmlObject(node, "_font", font());
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzzing::start_framework();
    font();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzing::start_framework();
    fuzzing::FrameworkBlocksBalanced balanced;
    auto stream = fuzzing::stream_of(std::span<const uint8_t>(data, size));
    ComRef<IObjHash> root;
    if (parseHtmlDocument(stream.get(), root.put()) < 0) {
        require(!root, "a refused page hands out no document");
        return 0;
    }
    require(bool(root), "a parsed page has a document");
    attach_font(root.get());
    const OmRect page{0, 0, 640, 480};
    if (layoutHtmlDocument(root.get(), nullptr, &page) < 0) return 0;

    const int32_t links = countHtmlLinks(root.get());
    require(links >= 0, "the link count is not negative");
    // Every box of every link, listed in one walk; each is hit-tested at its centre.
    std::vector<HtmlLinkBox> boxes;
    listHtmlLinkBoxes(root.get(), &boxes);
    std::vector<int32_t> boxes_of(size_t(std::min(links, kMostLinks)), 0);
    const int32_t checked_last = std::min(links, kMostLinks) - 1;
    for (const HtmlLinkBox& listed : boxes) {
        require(listed.link >= 0 && listed.link < links, "a listed box belongs to a link");
        if (listed.link >= kMostLinks || boxes_of[size_t(listed.link)]++ >= kMostBoxes) continue;
        const HtmlBox& box = listed.box;
        // The browser's own query walks the page per box: it must give the same boxes, asked
        // for every box of the first link and of the last link hit-tested.
        if (listed.link == 0 || listed.link == checked_last) {
            HtmlBox same;
            const int32_t n = boxes_of[size_t(listed.link)] - 1;
            require(getHtmlLinkBox(root.get(), listed.link, n, &same) && same.x == box.x &&
                        same.y == box.y && same.width == box.width && same.height == box.height,
                    "a link's box is the one its walk finds");
        }
        if (box.width < 0 || box.height < 0) continue;
        const int32_t hit =
            hitTestHtmlDocument(root.get(), htmlPixels(box.x + int64_t(box.width) / 2),
                                htmlPixels(box.y + int64_t(box.height) / 2));
        require(hit >= 0 && hit < links, "the centre of a link's box hits a link");
    }
    for (int32_t link = 0; link < links && link < kMostLinks; ++link) {
        require(getHtmlLink(root.get(), link) != nullptr, "every counted link has a node");
        HtmlBox past;
        require(!(link == 0 || link == checked_last) ||
                    !getHtmlLinkBox(root.get(), link, boxes_of[size_t(link)], &past) ||
                    boxes_of[size_t(link)] >= kMostBoxes,
                "a link has no box past those listed");
        setHtmlLinkState(root.get(), link, 1);
        markHtmlLinkFirstObjectNormal(root.get(), link);
    }
    require(getHtmlLink(root.get(), links) == nullptr, "no link past the count");
    require(hitTestHtmlDocument(root.get(), -1, -1) == -1 || links > 0, "no link, no hit");
    resetHtmlLinkStates(root.get());
    // The break between a document and its nodes: the layout's "_font"s and the parser's
    // back references must not keep the tree alive once the root goes.
    root.reset();
    return 0;
}
