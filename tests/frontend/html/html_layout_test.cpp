// The HTML layout against a fixed-width fake font: line wrapping, line breaks, alignment,
// images, table sizing and track distribution.
#include "frontend/html/html_document.h"
#include "frontend/html/html_layout.h"
#include "tests/frontend/html/html_test_support.h"

#include <gtest/gtest.h>

namespace htmltest {
namespace {

// Glyphs 8 pixels wide, lines 10 pixels high.
constexpr int32_t kAdvance = 8;
constexpr int32_t kLineHeight = 10;

struct Box {
    int32_t x, y, width, height;
    bool operator==(const Box&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Box& b) {
    return out << "{" << b.x << ", " << b.y << ", " << b.width << ", " << b.height << "}";
}

Box box_of(IObjHash* node) {
    return {node->GetInt("_x", -999), node->GetInt("_y", -999), node->GetInt("_width", -999),
            node->GetInt("_height", -999)};
}

class HtmlLayoutTest : public HtmlTest {
protected:
    // Parses the page body, gives its text the fake font and lays it out.
    ComRef<IObjHash> layout(const std::string& body, int32_t width, int32_t height,
                            IObjHash* settings = nullptr) {
        ComRef<IObjHash> root = parse_page("<body>" + body + "</body>");
        ComRef<IFont> font = FakeFont::make(kAdvance, kLineHeight);
        attach_font(root.get(), font.get());
        const OmRect rect{0, 0, width, height};
        EXPECT_EQ(layoutHtmlDocument(root.get(), settings, &rect), OM_S_OK);
        return root;
    }

    static IObjHash* cell(IObjHash* root) { return htmlNodeAt(root, "cell"); }
    // The n-th content node of the root's "objs" (document order).
    static IObjHash* obj(IObjHash* root, int32_t n) {
        return htmlArrayNode(htmlArrayAt(root, "objs"), n);
    }
    static IObjHash* frag(IObjHash* text, int32_t n) {
        return htmlArrayNode(htmlArrayAt(text, "_frags"), n);
    }
    static int32_t frag_count(IObjHash* text) {
        ICOMArray* frags = htmlArrayAt(text, "_frags");
        return frags ? frags->Count() : -1;
    }
    // The "type" of every entry of the cell's laid-out sequence.
    static std::vector<std::string> laid_out_types(IObjHash* cell) {
        std::vector<std::string> types;
        ICOMArray* objs = htmlArrayAt(cell, "_objs");
        for (int32_t i = 0; objs && i < objs->Count(); ++i) {
            types.push_back(htmlNodeType(htmlArrayNode(objs, i)));
        }
        return types;
    }
    static ComRef<IObjHash> settings(std::initializer_list<std::pair<const char*, int32_t>> keys) {
        ComRef<IObjHash> table;
        EXPECT_EQ(OmCreateObjHash(nullptr, table.put()), OM_S_OK);
        for (const auto& [key, value] : keys) table->SetInt(key, value);
        return table;
    }
};

TEST_F(HtmlLayoutTest, TextWrapsIntoFragmentsWithLineEndRecords) {
    // Words of 32 pixels, blanks of 8, in a 100-pixel line.
    ComRef<IObjHash> root = layout("aaaa bbbb cccc dddd", 100, 100);
    IObjHash* text = obj(root.get(), 0);
    ASSERT_EQ(frag_count(text), 2);
    EXPECT_EQ(box_of(frag(text, 0)), (Box{0, 0, 72, kLineHeight}));
    EXPECT_STREQ(frag(text, 0)->GetString("_string", ""), "aaaa bbbb");
    // The new line is the line height plus the default "wrapspacing" of 2 further down.
    EXPECT_EQ(box_of(frag(text, 1)), (Box{0, 12, 72, kLineHeight}));
    EXPECT_STREQ(frag(text, 1)->GetString("_string", ""), "cccc dddd");
    EXPECT_EQ(laid_out_types(cell(root.get())),
              (std::vector<std::string>{"text", "frag", "_br", "frag", "_br"}));
    ICOMArray* laid_out = htmlArrayAt(cell(root.get()), "_objs");
    IObjHash* first_end = htmlArrayNode(laid_out, 2);
    EXPECT_EQ(first_end->GetInt("_width", -1), 72);
    EXPECT_EQ(first_end->GetInt("_totalwidth", -1), 100);
    // The last line holds the trailing blank of the run's pad.
    EXPECT_EQ(htmlArrayNode(laid_out, 4)->GetInt("_width", -1), 80);
    EXPECT_EQ(cell(root.get())->GetInt("_width", -1), 80);
    EXPECT_EQ(cell(root.get())->GetInt("_height", -1), 22);
    EXPECT_EQ(cell(root.get())->GetInt("_totalwidth", -1), 100);
    EXPECT_EQ(cell(root.get())->GetInt("_totalheight", -1), 100);
}

TEST_F(HtmlLayoutTest, RunStartingNearTheLineEndMovesItsFirstWordDown) {
    ComRef<IObjHash> root = layout("<b>xxxxxxxxxx</b>yy zz", 100, 100);
    IObjHash* second = obj(root.get(), 1);
    ASSERT_EQ(frag_count(second), 1);
    EXPECT_EQ(box_of(frag(second, 0)), (Box{0, 12, 40, kLineHeight}));
    EXPECT_STREQ(frag(second, 0)->GetString("_string", ""), "yy zz");
}

TEST_F(HtmlLayoutTest, NopadJoinsRunsWithoutABlank) {
    ComRef<IObjHash> root = layout("<nopad>ab</nopad>cd", 200, 100);
    EXPECT_EQ(box_of(frag(obj(root.get(), 1), 0)).x, 16);
    root = layout("ab<b>cd</b>", 200, 100);
    EXPECT_EQ(box_of(frag(obj(root.get(), 1), 0)).x, 24);
}

TEST_F(HtmlLayoutTest, WordWiderThanTheLineIsCutToIt) {
    ComRef<IObjHash> root = layout("abcdefgh", 20, 100);
    IObjHash* text = obj(root.get(), 0);
    ASSERT_EQ(frag_count(text), 1);
    EXPECT_STREQ(frag(text, 0)->GetString("_string", ""), "ab");
    EXPECT_EQ(box_of(frag(text, 0)), (Box{0, 0, 16, kLineHeight}));
}

TEST_F(HtmlLayoutTest, WideFirstWordPlacedOnANewLineKeepsItsFragmentThere) {
    // "abcdefgh" is cut to 12 of 13 characters (96 pixels); with its blank it is wider
    // than the line, so it is placed without the wrap test and the placement moves it down.
    ComRef<IObjHash> root = layout("<b>x</b>abcdefghijklm", 100, 100);
    IObjHash* text = obj(root.get(), 1);
    ASSERT_EQ(frag_count(text), 1);
    EXPECT_EQ(box_of(frag(text, 0)), (Box{0, 12, 96, kLineHeight}));
}

TEST_F(HtmlLayoutTest, LineBreakSpacing) {
    const struct {
        int32_t brspacing;
        int32_t second_line_y;
    } cases[] = {
        {0, 10}, // the second break falls on an empty line and does nothing
        {5, 20}, // every break ends a line and adds the spacing
    };
    for (const auto& c : cases) {
        ComRef<IObjHash> spacing = settings({{"brspacing", c.brspacing}});
        ComRef<IObjHash> root = layout("a<br><br>b", 200, 100, spacing.get());
        EXPECT_EQ(box_of(frag(obj(root.get(), 3), 0)).y, c.second_line_y) << c.brspacing;
    }
    ComRef<IObjHash> spacing = settings({{"paragraphspacing", 7}});
    ComRef<IObjHash> root = layout("a<p>b", 200, 100, spacing.get());
    EXPECT_EQ(box_of(frag(obj(root.get(), 2), 0)).y, 17);
}

TEST_F(HtmlLayoutTest, HorizontalAlignmentShiftsWholeLines) {
    const struct {
        const char* body;
        int32_t x;
    } cases[] = {
        {"<center><img width=100 height=10></center>", 270},
        {"<center><img width=101 height=10></center>", 269},
        {"<table><tr><td width=640 align=right><img width=100 height=10></td></tr></table>", 540},
        {"<table><tr><td width=640 align=center><img width=100 height=10></td></tr></table>", 270},
        {"<table><tr><td width=640 align=left><img width=100 height=10></td></tr></table>", 0},
    };
    for (const auto& c : cases) {
        ComRef<IObjHash> root = layout(c.body, 640, 480);
        ICOMArray* objs = htmlArrayAt(root.get(), "objs");
        IObjHash* image = nullptr;
        for (int32_t i = 0; i < objs->Count(); ++i) {
            if (htmlNodeIs(htmlArrayNode(objs, i), "image")) image = htmlArrayNode(objs, i);
        }
        ASSERT_TRUE(image) << c.body;
        EXPECT_EQ(image->GetInt("_x", -1), c.x) << c.body;
    }
}

TEST_F(HtmlLayoutTest, ClosingCenterReturnsToTheLeft) {
    ComRef<IObjHash> root =
        layout("<center><img width=100 height=10></center><img width=100 height=10>", 640, 480);
    EXPECT_EQ(obj(root.get(), 1)->GetInt("_x", -1), 270);
    EXPECT_EQ(obj(root.get(), 3)->GetInt("_x", -1), 0);
    EXPECT_EQ(laid_out_types(cell(root.get())),
              (std::vector<std::string>{"center", "image", "_br", "left", "image", "_br"}));
}

TEST_F(HtmlLayoutTest, VerticalAlignmentInAFixedHeightCell) {
    const struct {
        const char* valign;
        int32_t y;
    } cases[] = {{"top", 0}, {"middle", 40}, {"bottom", 80}};
    for (const auto& c : cases) {
        ComRef<IObjHash> root = layout(std::string("<table><tr><td height=100 valign=") + c.valign +
                                           "><img width=10 height=20></td></tr></table>",
                                       640, 480);
        EXPECT_EQ(obj(root.get(), 2)->GetInt("_y", -1), c.y) << c.valign;
    }
}

TEST_F(HtmlLayoutTest, ImageThatDoesNotFitStartsTheNextLine) {
    ComRef<IObjHash> root = layout("<img width=600 height=20><img width=100 height=30>", 640, 480);
    EXPECT_EQ(box_of(obj(root.get(), 0)), (Box{0, 0, 600, 20}));
    EXPECT_EQ(box_of(obj(root.get(), 1)), (Box{0, 22, 100, 30}));
}

TEST_F(HtmlLayoutTest, ImageSizeFallsBackToItsRaster) {
    ComRef<IObjHash> root = parse_page("<body><img src=a.png><img src=a.png height=5></body>");
    IObjHash* raster = htmlNodeAt(htmlNodeAt(root.get(), "images"), "a.png");
    raster->SetInt("width", 30);
    raster->SetInt("height", 40);
    ASSERT_EQ(layoutHtmlDocument(root.get(), nullptr, nullptr), OM_S_OK);
    EXPECT_EQ(box_of(obj(root.get(), 0)), (Box{0, 0, 30, 40}));
    EXPECT_EQ(box_of(obj(root.get(), 1)), (Box{30, 0, 30, 5}));
}

TEST_F(HtmlLayoutTest, TableColumnsShareThePage) {
    const struct {
        const char* body;
        int32_t first, second, table_width, table_height;
    } cases[] = {
        // Natural widths 300 and 500 in 640; neither image fits its narrowed column any more,
        // so the row has no height.
        {"<table><tr><td><img width=300 height=10></td><td><img width=500 height=10></td>"
         "</tr></table>",
         240, 400, 640, 0},
        // The first column fixed at 300; its image still fits.
        {"<table><tr><td width=300><img width=300 height=10></td><td><img width=500 "
         "height=10></td></tr></table>",
         300, 340, 640, 10},
        // Columns stretched to an explicit width.
        {"<table width=600><tr><td><img width=100 height=10></td><td><img width=200 "
         "height=10></td></tr></table>",
         200, 400, 600, 10},
        // Without an explicit width the table shrinks to its columns.
        {"<table><tr><td><img width=100 height=10></td><td><img width=200 height=10></td>"
         "</tr></table>",
         100, 200, 300, 10},
    };
    for (const auto& c : cases) {
        ComRef<IObjHash> root = layout(c.body, 640, 480);
        IObjHash* table = obj(root.get(), 0);
        ICOMArray* cells = htmlArrayAt(htmlArrayNode(htmlArrayAt(table, "rows"), 0), "cells");
        EXPECT_EQ(htmlArrayNode(cells, 0)->GetInt("_width", -1), c.first) << c.body;
        EXPECT_EQ(htmlArrayNode(cells, 1)->GetInt("_width", -1), c.second) << c.body;
        EXPECT_EQ(box_of(table), (Box{0, 0, c.table_width, c.table_height})) << c.body;
    }
}

TEST_F(HtmlLayoutTest, TableRowsTakeTheirTallestCell) {
    ComRef<IObjHash> root = layout("<table><tr><td><img width=10 height=30></td><td><img "
                                   "width=10 height=50></td></tr><tr><td>x</td></tr></table>",
                                   640, 480);
    IObjHash* table = obj(root.get(), 0);
    ICOMArray* rows = htmlArrayAt(table, "rows");
    IObjHash* lower = htmlArrayNode(htmlArrayAt(htmlArrayNode(rows, 1), "cells"), 0);
    EXPECT_EQ(htmlArrayNode(htmlArrayAt(htmlArrayNode(rows, 0), "cells"), 0)->GetInt("_height", 0),
              50);
    EXPECT_EQ(lower->GetInt("_height", 0), kLineHeight);
    EXPECT_EQ(box_of(table).height, 50 + kLineHeight);
    // A table stands on lines of its own ("tablespacing", not "wrapspacing", between them).
    root = layout("a<table><tr><td><img width=10 height=30></td></tr></table>b", 640, 480);
    EXPECT_EQ(box_of(obj(root.get(), 1)), (Box{0, 10, 10, 30}));
    EXPECT_EQ(box_of(frag(obj(root.get(), 3), 0)).y, 40);
}

TEST_F(HtmlLayoutTest, UnplaceableTableIsSkippedAndTheRestLaidOut) {
    ComRef<IObjHash> root =
        layout("<table width=800><tr><td>wide</td></tr></table><img width=10 height=10>", 640, 480);
    EXPECT_FALSE(obj(root.get(), 0)->Has("_x"));
    EXPECT_FALSE(obj(root.get(), 0)->Has("_width"));
    EXPECT_EQ(box_of(obj(root.get(), 2)), (Box{0, 0, 10, 10}));
}

// Each level of nesting lays the tables inside it out three times more; past the limit a
// table is left without position like one that does not fit, and what it holds unlaid.
TEST_F(HtmlLayoutTest, TablesNestedPastTheLimitAreNotPlaced) {
    std::string page;
    for (int32_t depth = 0; depth <= HTML_MOST_NESTED_TABLES; ++depth) page += "<table><tr><td>";
    page += "deep";
    ComRef<IObjHash> root = layout(page, 640, 480);
    // The root's "objs": the tables from the outermost in, then the text.
    for (int32_t n = 0; n < HTML_MOST_NESTED_TABLES; ++n) {
        EXPECT_TRUE(obj(root.get(), n)->Has("_x")) << n;
    }
    EXPECT_FALSE(obj(root.get(), HTML_MOST_NESTED_TABLES)->Has("_x"));
    EXPECT_FALSE(obj(root.get(), HTML_MOST_NESTED_TABLES + 1)->Has("_frags"));
    // One level less and the text is laid out, at the top left of every cell around it.
    page = "";
    for (int32_t depth = 0; depth < HTML_MOST_NESTED_TABLES; ++depth) page += "<table><tr><td>";
    root = layout(page + "deep", 640, 480);
    IObjHash* text = obj(root.get(), HTML_MOST_NESTED_TABLES);
    ASSERT_TRUE(text->Has("_frags"));
    EXPECT_EQ(box_of(frag(text, 0)), (Box{0, 0, 4 * kAdvance, kLineHeight}));
}

TEST_F(HtmlLayoutTest, LayoutWithoutARectangleUsesTheDefaultPage) {
    ComRef<IObjHash> root = parse_page("<body><img width=700 height=10></body>");
    ASSERT_EQ(layoutHtmlDocument(root.get(), nullptr, nullptr), OM_S_OK);
    EXPECT_EQ(cell(root.get())->GetInt("_totalwidth", 0), 800);
    EXPECT_EQ(cell(root.get())->GetInt("_totalheight", 0), 600);
    EXPECT_EQ(box_of(obj(root.get(), 0)), (Box{0, 0, 700, 10}));
}

TEST_F(HtmlLayoutTest, ItemsThatCannotBePlacedStayWithoutPosition) {
    // Laid out once in a large page, then in one too small: the second layout removes the
    // image's old box and leaves it out of the cell's sequence.
    ComRef<IObjHash> root = layout("<img width=100 height=10>", 640, 480);
    EXPECT_TRUE(obj(root.get(), 0)->Has("_x"));
    const OmRect narrow{0, 0, 50, 480};
    ASSERT_EQ(layoutHtmlDocument(root.get(), nullptr, &narrow), OM_S_OK);
    EXPECT_FALSE(obj(root.get(), 0)->Has("_x"));
    EXPECT_TRUE(laid_out_types(cell(root.get())).empty());
    // Below the available height nothing more is placed.
    root = layout("<img width=10 height=30><br><img width=10 height=30><br><img width=10 "
                  "height=30>",
                  640, 40);
    EXPECT_TRUE(obj(root.get(), 0)->Has("_x"));
    EXPECT_TRUE(obj(root.get(), 2)->Has("_x"));
    EXPECT_FALSE(obj(root.get(), 4)->Has("_x"));
}

// Sizes may be anything a 32-bit integer holds: positions and sums stop at its limits
// instead of wrapping round to the other side of the page.
TEST_F(HtmlLayoutTest, SizesAtTheIntegerLimitsSaturate) {
    // Nothing is placed below a line as high as the limit (it is not above the page).
    ComRef<IObjHash> root =
        layout("<p><img width=10 height=2147483647><br><img width=10 height=10>", 640, 480);
    EXPECT_EQ(box_of(obj(root.get(), 1)), (Box{0, 3, 10, INT32_MAX}));
    EXPECT_FALSE(obj(root.get(), 3)->Has("_x"));
    EXPECT_EQ(cell(root.get())->GetInt("_height", 0), INT32_MAX);
    // Widths far below zero take the line to the lower limit and no further.
    root = layout("<img width=-2000000000 height=1><img width=-2000000000 height=1>"
                  "<img width=-2000000000 height=1>",
                  640, 480);
    EXPECT_EQ(obj(root.get(), 1)->GetInt("_x", 0), -2000000000);
    EXPECT_EQ(obj(root.get(), 2)->GetInt("_x", 0), INT32_MIN);
    // A right-aligned line that ends before the lowest position moves to the highest.
    root = layout("<table><tr><td width=640 align=right><img width=-2147483648 height=1></td>"
                  "</tr></table>",
                  640, 480);
    IObjHash* image = obj(root.get(), 2); // after the table and the alignment marker
    ASSERT_TRUE(htmlNodeIs(image, "image"));
    EXPECT_EQ(image->GetInt("_x", 0), INT32_MAX);
}

TEST_F(HtmlLayoutTest, TextWithoutAMeasuredFontIsLeftOut) {
    ComRef<IObjHash> root = layout("words<img width=10 height=10>", 640, 480);
    EXPECT_TRUE(obj(root.get(), 0)->Has("_frags"));
    obj(root.get(), 0)->Remove("_font");
    ASSERT_EQ(layoutHtmlDocument(root.get(), nullptr, nullptr), OM_S_OK);
    EXPECT_FALSE(obj(root.get(), 0)->Has("_frags"));
    EXPECT_EQ(box_of(obj(root.get(), 1)), (Box{0, 0, 10, 10}));
}

TEST_F(HtmlLayoutTest, CellLayoutRefusesOtherNodes) {
    ComRef<IObjHash> root = parse_page("<body>x</body>");
    HtmlLayoutRun run;
    int32_t width = 100, height = 100;
    EXPECT_EQ(layoutHtmlCell(run, root.get(), &width, &height), OM_E_FAIL);
    EXPECT_EQ(layoutHtmlCell(run, nullptr, &width, &height), OM_E_FAIL);
}

TEST_F(HtmlLayoutTest, FontIsMeasuredOncePerCharacterPerRun) {
    ComRef<IObjHash> root = parse_page("<body>abab abab<b>ba</b></body>");
    ComRef<IFont> font = FakeFont::make(kAdvance, kLineHeight);
    attach_font(root.get(), font.get());
    ASSERT_EQ(layoutHtmlDocument(root.get(), nullptr, nullptr), OM_S_OK);
    // a, b and the blank.
    EXPECT_EQ(static_cast<FakeFont*>(font.get())->width_queries, 3);
}

TEST(HtmlTrackDistribution, Cases) {
    const struct {
        std::vector<HtmlTrack> tracks;
        bool explicit_size;
        int32_t total;
        std::vector<int32_t> sizes;
        int32_t new_total;
    } cases[] = {
        {{{300, false}, {500, false}}, false, 640, {240, 400}, 640},
        {{{300, true}, {500, false}}, false, 640, {300, 340}, 640},
        {{{400, true}, {400, true}, {100, false}}, false, 640, {284, 284, 71}, 640},
        {{{100, false}, {200, false}}, true, 600, {200, 400}, 600},
        {{{100, false}, {200, false}}, false, 600, {100, 200}, 300},
        {{{0, false}, {0, false}}, true, 600, {0, 0}, 600},
        {{{100, false}, {200, true}}, true, 300, {100, 200}, 300},
        // Sizes that add up past the 32-bit limit.
        {{{INT32_MAX, true}, {INT32_MAX, true}}, false, 640, {320, 320}, 640},
        {{{INT32_MAX, false}, {INT32_MAX, false}, {INT32_MAX, false}},
         false,
         480,
         {160, 160, 160},
         480},
    };
    for (const auto& c : cases) {
        std::vector<HtmlTrack> tracks = c.tracks;
        int32_t total = c.total;
        distributeHtmlTracks(tracks, c.explicit_size, &total);
        std::vector<int32_t> sizes;
        for (const HtmlTrack& t : tracks) sizes.push_back(t.size);
        EXPECT_EQ(sizes, c.sizes);
        EXPECT_EQ(total, c.new_total);
    }
}

} // namespace
} // namespace htmltest
