// Hit testing, link boxes and link states of laid-out pages.
#include "frontend/html/html_document.h"
#include "frontend/html/html_hit_test.h"
#include "frontend/html/html_layout.h"
#include "tests/frontend/html/html_test_support.h"

#include <gtest/gtest.h>

namespace htmltest {
namespace {

class HtmlHitTest : public HtmlTest {
protected:
    ComRef<IObjHash> layout(const std::string& body, int32_t width = 640, int32_t height = 480) {
        ComRef<IObjHash> root = parse_page("<body>" + body + "</body>");
        ComRef<IFont> font = FakeFont::make(8, 10);
        attach_font(root.get(), font.get());
        const OmRect rect{0, 0, width, height};
        EXPECT_EQ(layoutHtmlDocument(root.get(), nullptr, &rect), OM_S_OK);
        return root;
    }
    static IObjHash* obj(IObjHash* root, int32_t n) {
        return htmlArrayNode(htmlArrayAt(root, "objs"), n);
    }
};

bool operator==(const HtmlBox& a, const HtmlBox& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

// The page the menus' end-to-end tests use: one image link over the whole page space.
TEST_F(HtmlHitTest, FullPageImageLinkIsHitOnEveryEdge) {
    ComRef<IObjHash> root = layout("<a href=\"command:quit\"><img width=640 height=480></a>");
    const struct {
        int32_t x, y, link;
    } cases[] = {{0, 0, 0}, {640, 480, 0}, {320, 240, 0}, {641, 0, -1}, {0, 481, -1}, {-1, 10, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(hitTestHtmlDocument(root.get(), c.x, c.y), c.link) << c.x << "," << c.y;
    }
    EXPECT_STREQ(getHtmlLink(root.get(), 0)->GetString("href", ""), "command:quit");
    HtmlBox box;
    ASSERT_TRUE(getHtmlLinkBox(root.get(), 0, 0, &box));
    EXPECT_TRUE(box == (HtmlBox{0, 0, 640, 480}));
}

TEST_F(HtmlHitTest, BoxesReachingTheIntegerLimitAreHitToTheirEnd) {
    // The image is at y 3 and as high as the limit: its bottom edge lies beyond it.
    ComRef<IObjHash> root = layout("<p><a href=x><img width=10 height=2147483647></a>");
    const struct {
        int32_t x, y, link;
    } cases[] = {{5, 3, 0}, {5, 2000000000, 0}, {5, INT32_MAX, 0}, {5, 2, -1}, {11, 5, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(hitTestHtmlDocument(root.get(), c.x, c.y), c.link) << c.x << "," << c.y;
    }
}

TEST_F(HtmlHitTest, FragmentEdgesBelongToTheBox) {
    // "ab" at {0, 0, 16, 10}.
    ComRef<IObjHash> root = layout("<a href=x>ab</a>");
    const struct {
        int32_t x, y, link;
    } cases[] = {{16, 10, 0}, {0, 0, 0}, {17, 5, -1}, {5, 11, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(hitTestHtmlDocument(root.get(), c.x, c.y), c.link) << c.x << "," << c.y;
    }
}

TEST_F(HtmlHitTest, LinkSplitOverTwoLinesAnswersOnBothAndHasTwoBoxes) {
    ComRef<IObjHash> root = layout("plain <a href=x>aaaa bbbb cccc</a>", 100);
    // "plain" + blank = 48; "aaaa" on the first line; "bbbb cccc" wraps to the second.
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 60, 5), 0);
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 10, 15), 0);
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 10, 5), -1);
    HtmlBox box;
    ASSERT_TRUE(getHtmlLinkBox(root.get(), 0, 0, &box));
    EXPECT_TRUE(box == (HtmlBox{48, 0, 32, 10}));
    ASSERT_TRUE(getHtmlLinkBox(root.get(), 0, 1, &box));
    EXPECT_TRUE(box == (HtmlBox{0, 12, 72, 10}));
    EXPECT_FALSE(getHtmlLinkBox(root.get(), 0, 2, &box));
    EXPECT_FALSE(getHtmlLinkBox(root.get(), 1, 0, &box));
    EXPECT_FALSE(getHtmlLinkBox(root.get(), -1, 0, &box));
}

// The one-walk listing gives each link's boxes as the per-box query does, in document order,
// across lines and table cells.
TEST_F(HtmlHitTest, ListedLinkBoxesMatchThePerBoxQuery) {
    ComRef<IObjHash> root = layout(
        "plain <a href=x>aaaa bbbb cccc</a><table><tr><td><img width=50 height=50></td><td><a "
        "href=y><img width=20 height=20></a> <a href=z>zz</a></td></tr></table>",
        100);
    std::vector<HtmlLinkBox> listed;
    listHtmlLinkBoxes(root.get(), &listed);
    ASSERT_EQ(listed.size(), 4u);
    const int32_t links[] = {0, 0, 1, 2};
    int32_t n_of[3] = {};
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_EQ(listed[i].link, links[i]) << i;
        HtmlBox box;
        ASSERT_TRUE(getHtmlLinkBox(root.get(), links[i], n_of[links[i]]++, &box)) << i;
        EXPECT_TRUE(box == listed[i].box) << i;
    }
    EXPECT_TRUE(listed[0].box == (HtmlBox{48, 0, 32, 10}));
    ComRef<IObjHash> empty = parse_page("");
    listHtmlLinkBoxes(empty.get(), &listed);
    EXPECT_TRUE(listed.empty());
}

TEST_F(HtmlHitTest, ImageLinkInATableCellIsFoundWithTheCellOrigin) {
    ComRef<IObjHash> root = layout(
        "<img width=5 height=40><table><tr><td><img width=50 height=50></td><td><a href=y><img "
        "width=20 height=20></a></td></tr></table>");
    // The table stands below the first image's line at y 40; the second cell starts at x 50.
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 60, 50), 0);
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 10, 50), -1);
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 60, 20), -1);
    HtmlBox box;
    ASSERT_TRUE(getHtmlLinkBox(root.get(), 0, 0, &box));
    EXPECT_TRUE(box == (HtmlBox{50, 40, 20, 20}));
}

TEST_F(HtmlHitTest, FirstBoxInDocumentOrderWins) {
    ComRef<IObjHash> root =
        layout("<img width=30 height=30><a href=one><img width=30 height=30></a><a "
               "href=two><img width=30 height=30></a>");
    // Move both linked images onto the plain first one.
    for (int32_t n : {1, 2}) obj(root.get(), n)->SetInt("_x", 0);
    // The plain image answers nothing, so the walk goes on to the first link.
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 10, 10), 0);
    // The second link alone where only it reaches.
    obj(root.get(), 2)->SetInt("_x", 20);
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 40, 10), 1);
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 25, 10), 0);
}

TEST_F(HtmlHitTest, UnplacedTableAndEmptyDocumentAnswerNothing) {
    ComRef<IObjHash> root =
        layout("<table width=800><tr><td><a href=x><img width=10 height=10></a></td></tr></table>");
    EXPECT_EQ(hitTestHtmlDocument(root.get(), 5, 5), -1);
    ComRef<IObjHash> empty = parse_page("");
    EXPECT_EQ(hitTestHtmlDocument(empty.get(), 0, 0), -1);
    EXPECT_EQ(countHtmlLinks(empty.get()), 0);
    EXPECT_EQ(getHtmlLink(empty.get(), 0), nullptr);
}

TEST_F(HtmlHitTest, LinkStates) {
    ComRef<IObjHash> root =
        parse_page("<body><a href=a>text<img src=x.png></a><a href=b></a>plain</body>");
    ASSERT_EQ(countHtmlLinks(root.get()), 2);
    IObjHash* text = obj(root.get(), 0);
    IObjHash* image = obj(root.get(), 1);
    IObjHash* plain = obj(root.get(), 2);

    EXPECT_EQ(resetHtmlLinkStates(root.get()), OM_S_OK);
    EXPECT_EQ(root->GetInt("_curlink", 0), -1);
    EXPECT_EQ(text->GetInt("_state", -1), HTML_STATE_NORMAL);
    EXPECT_EQ(image->GetInt("_state", -1), HTML_STATE_NORMAL);
    EXPECT_FALSE(plain->Has("_state"));

    EXPECT_EQ(setHtmlLinkState(root.get(), 0, HTML_STATE_ACTIVE), OM_S_OK);
    EXPECT_EQ(text->GetInt("_state", -1), HTML_STATE_ACTIVE);
    EXPECT_EQ(image->GetInt("_state", -1), HTML_STATE_ACTIVE);
    EXPECT_EQ(markHtmlLinkFirstObjectNormal(root.get(), 0), OM_S_OK);
    EXPECT_EQ(text->GetInt("_state", -1), HTML_STATE_NORMAL);
    EXPECT_EQ(image->GetInt("_state", -1), HTML_STATE_ACTIVE);

    // The second link holds nothing.
    EXPECT_EQ(markHtmlLinkFirstObjectNormal(root.get(), 1), 2);
    for (int32_t link : {-1, 2}) {
        EXPECT_EQ(setHtmlLinkState(root.get(), link, 1), OM_E_FAIL);
        EXPECT_EQ(markHtmlLinkFirstObjectNormal(root.get(), link), OM_E_FAIL);
    }
    // Only text and image nodes take a state.
    EXPECT_EQ(setHtmlObjectState(root.get(), htmlNodeAt(root.get(), "cell"), 1), OM_S_OK);
    EXPECT_FALSE(htmlNodeAt(root.get(), "cell")->Has("_state"));
}

} // namespace
} // namespace htmltest
