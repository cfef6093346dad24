// The browser components' shared behaviour: creation, settings, the view, base paths, the
// page cache and the page object's links and selection.
#include "framework/io/memory_stream.h"
#include "frontend/html/html_browser_base.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_menu.h"
#include "tests/frontend/html/html_browser_test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace htmltest {
namespace {

using Browser = BrowserTest;

const char links_page[] = "<head><title>Menu</title></head><body><a href=zero>zero</a> <a href=one "
                          "target=main>one</a> <a href=two>two</a> "
                          "<a href=\"three\">three</a></body>";

ComRef<IByteStream> stream_of(const std::string& text) {
    ComRef<IByteStream> stream;
    EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    stream->Write(text.data(), uint32_t(text.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    return stream;
}

TEST_F(Browser, EveryClassIsRegisteredWithItsSettingsAndView) {
    for (const GUID* clsid : {&CLSID_HTMLBrowser, &CLSID_HTMLBlitBrowser, &CLSID_HTMLNullBrowser}) {
        ComRef<IHTMLBrowser> browser = make_browser(*clsid);
        ASSERT_TRUE(browser);
        ComRef<IUnknown> other;
        EXPECT_EQ(browser->QueryInterface(IID_IHTMLPage, other.put_void()), OM_E_NOINTERFACE);
        EXPECT_FALSE(other);
        IObjHash* settings = browser->GetSettings();
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(settings->GetInt("texturemode", -9), 2);
        EXPECT_EQ(settings->GetInt("brspacing", -9), 2);
        EXPECT_EQ(settings->GetInt("wrapspacing", -9), 2);
        EXPECT_EQ(settings->GetInt("paragraphspacing", -9), 3);
        EXPECT_EQ(settings->GetInt("alignmentspacing", -9), 0);
        EXPECT_EQ(settings->GetInt("tablespacing", -9), 0);
        OmRect view{};
        EXPECT_EQ(browser->GetRect(&view), OM_S_OK);
        EXPECT_EQ(view.width, 640);
        EXPECT_EQ(view.height, 480);
        const OmRect other_view{5, 6, 300, 200};
        EXPECT_EQ(browser->SetRect(&other_view), OM_S_OK);
        EXPECT_EQ(browser->GetRect(&view), OM_S_OK);
        EXPECT_EQ(view.x, 5);
        EXPECT_EQ(view.height, 200);
    }
    ComRef<IHTMLMenu> menu;
    EXPECT_EQ(OmCreate(CLSID_HTMLMenu, IID_IHTMLMenu, menu.put()), OM_S_OK);
}

TEST_F(Browser, SetPathTakes258CharactersAndRefuses259) {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    const std::string longest(258, 'p');
    EXPECT_EQ(browser->SetPath(longest.c_str()), OM_S_OK);
    EXPECT_EQ(browser->SetPath(std::string(259, 'q').c_str()), OM_E_FAIL);
    char buffer[300];
    EXPECT_EQ(browser->GetPath(buffer, 259), OM_S_OK);
    EXPECT_EQ(std::string(buffer), longest);
    buffer[0] = 'x';
    EXPECT_EQ(browser->GetPath(buffer, 258), OM_E_FAIL);
    EXPECT_EQ(buffer[0], 'x');
    EXPECT_EQ(browser->SetPath("menus/"), OM_S_OK);
    EXPECT_EQ(browser->GetPath(buffer, 7), OM_S_OK);
    EXPECT_STREQ(buffer, "menus/");
}

TEST_F(Browser, SecondInitIsRefused) {
    ComRef<IHTMLBrowser> null_browser = make_browser(CLSID_HTMLNullBrowser);
    EXPECT_EQ(null_browser->Init(storage.get(), nullptr), OM_S_OK);
    EXPECT_EQ(null_browser->Init(storage.get(), nullptr), OM_E_FAIL);
    ComRef<IHTMLBrowser> browser = drawing_browser();
    EXPECT_EQ(browser->Init(storage.get(), renderer.get()), OM_E_FAIL);
    // An output that is no renderer is refused with the query's failure.
    ComRef<IHTMLBrowser> unbound = make_browser(CLSID_HTMLBrowser);
    EXPECT_EQ(unbound->Init(storage.get(), storage.get()), OM_E_NOINTERFACE);
    EXPECT_EQ(unbound->Init(storage.get(), renderer.get()), OM_S_OK);
}

TEST_F(Browser, LoadPageCachesByPathUntilClearCaches) {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    ASSERT_EQ(browser->Init(storage.get(), nullptr), OM_S_OK);
    ComRef<IHTMLPage> first = load(browser.get(), "menus/main.html", links_page);
    ComRef<IHTMLPage> second;
    ASSERT_EQ(browser->LoadPage("menus/main.html", second.put()), OM_S_OK);
    EXPECT_EQ(first.get(), second.get());
    EXPECT_EQ(storage->opens("menus/main.html"), 1);

    // A changed file is seen only after the caches are emptied.
    storage->files["menus/main.html"] = "<body><a href=x>x</a></body>";
    EXPECT_EQ(browser->ClearCaches(), OM_S_OK);
    ComRef<IHTMLPage> third;
    ASSERT_EQ(browser->LoadPage("menus/main.html", third.put()), OM_S_OK);
    EXPECT_NE(third.get(), first.get());
    EXPECT_EQ(storage->opens("menus/main.html"), 2);
    EXPECT_EQ(third->GetLinkCount(), 1);
    EXPECT_EQ(first->GetLinkCount(), 4); // the old page lives on through its references
}

TEST_F(Browser, MissingFileFailsWithTheStoragesResultAndCachesNothing) {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    ASSERT_EQ(browser->Init(storage.get(), nullptr), OM_S_OK);
    ComRef<IHTMLPage> page;
    EXPECT_EQ(browser->LoadPage("menus/none.html", page.put()), OM_E_FAIL);
    EXPECT_FALSE(page);
    storage->files["menus/none.html"] = links_page;
    EXPECT_EQ(browser->LoadPage("menus/none.html", page.put()), OM_S_OK);
    EXPECT_EQ(storage->opens("menus/none.html"), 2);
    EXPECT_EQ(browser->LoadPage(std::string(260, 'a').c_str(), page.put()), OM_E_FAIL);
}

TEST_F(Browser, PageDirectoryEndsAtTheLastSlashOutsideQuotes) {
    const struct {
        const char* path;
        const char* directory;
    } cases[] = {
        {"menus/sub/page.html", "menus/sub/"},
        {"menus\\main.html", ""},
        {"page.html", ""},
        {"a/\"b/c\".html", "a/"},
        {"/dev/drive-c/x/y.html", "/dev/drive-c/x/"},
    };
    for (const auto& c : cases) {
        char directory[HTML_BROWSER_PATH_CAPACITY];
        htmlPageDirectory(c.path, directory);
        EXPECT_STREQ(directory, c.directory) << c.path;
    }
}

TEST_F(Browser, PageImagesAreLookedUpBesideThePageFile) {
    ComRef<IHTMLBrowser> browser = drawing_browser();
    storage->files["menus/sub/pic.png"] = png_picture(4, 4, 0xFF00FF00);
    ComRef<IHTMLPage> page =
        load(browser.get(), "menus/sub/page.html", "<body><img src=\"pic.png\"></body>");
    EXPECT_EQ(storage->opens("menus/sub/pic.png"), 1);
    // A parsed page takes the browser's base path.
    ASSERT_EQ(browser->SetPath("other/"), OM_S_OK);
    ComRef<IHTMLPage> parsed;
    ASSERT_EQ(browser->ParsePage(stream_of("<body><img src=pic2.png></body>").get(), parsed.put()),
              OM_S_OK);
    EXPECT_EQ(storage->opens("other/pic2.png"), 1);
}

TEST_F(Browser, LinksCountCopyAndBoundTheirTexts) {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    ComRef<IHTMLPage> page;
    ASSERT_EQ(browser->ParsePage(stream_of(links_page).get(), page.put()), OM_S_OK);
    EXPECT_EQ(page->GetLinkCount(), 4);
    char href[1024], target[256];
    ASSERT_EQ(page->GetLink(1, href, sizeof href, target, sizeof target), OM_S_OK);
    EXPECT_STREQ(href, "one");
    EXPECT_STREQ(target, "main");
    ASSERT_EQ(page->GetLink(3, href, sizeof href, target, sizeof target), OM_S_OK);
    EXPECT_STREQ(href, "three");
    EXPECT_STREQ(target, "");
    char small[3];
    ASSERT_EQ(page->GetLink(3, small, sizeof small, target, sizeof target), OM_S_OK);
    EXPECT_STREQ(small, "th");
    EXPECT_EQ(page->GetLink(4, href, sizeof href, target, sizeof target), OM_E_FAIL);
    EXPECT_EQ(page->GetLink(-1, href, sizeof href, target, sizeof target), OM_E_FAIL);
    EXPECT_EQ(page->SetLinkState(4, HTML_STATE_ACTIVE), OM_E_FAIL);
    EXPECT_EQ(page->MarkLinkFirstObjectNormal(4), OM_E_FAIL);
    EXPECT_EQ(page->MarkLinkFirstObjectNormal(0), OM_S_OK);
    ASSERT_NE(page->GetPageProperties(), nullptr);
    EXPECT_STREQ(page->GetPageProperties()->GetString("title", ""), "Menu");
}

TEST_F(Browser, NullBrowserPagesAreNotLaidOutAndDrawNothing) {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    ASSERT_EQ(browser->Init(storage.get(), nullptr), OM_S_OK);
    storage->files["x.png"] = png_picture(40, 30, 0xFF0000FF);
    ComRef<IHTMLPage> page = load(browser.get(), "p.html", "<body><img src=x.png></body>");
    int32_t width = -1, height = -1;
    EXPECT_EQ(page->GetSize(&width, &height), OM_S_OK);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, 0);
    EXPECT_EQ(storage->opens("x.png"), 0);
    EXPECT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(page->Layout(640, 480), OM_S_OK);
    EXPECT_EQ(page->GetSize(&width, &height), OM_S_OK);
    EXPECT_EQ(width, 0); // the null browser loads no pictures, so the image has no size
    EXPECT_EQ(page->LinkAt(0, 0), -1);
}

// The full-page link of a title screen: hit testing and boxes through the page.
TEST_F(Browser, LinkAtAndLinkBoxesUseTheLayout) {
    ComRef<IHTMLBrowser> browser = drawing_browser();
    ComRef<IHTMLPage> page =
        load(browser.get(), "t.html",
             "<body><a href=go><img src=none.png width=640 height=480></a></body>");
    EXPECT_EQ(page->LinkAt(0, 0), 0);
    EXPECT_EQ(page->LinkAt(640, 480), 0);
    EXPECT_EQ(page->LinkAt(641, 10), -1);
    HtmlBox box{};
    ASSERT_EQ(page->GetLinkBox(0, 0, &box), OM_S_OK);
    EXPECT_EQ(box.width, 640);
    EXPECT_EQ(box.height, 480);
    EXPECT_EQ(page->GetLinkBox(0, 1, &box), OM_E_FAIL);
    int32_t width = 0, height = 0;
    page->GetSize(&width, &height);
    EXPECT_EQ(width, 640);
}

// Link states read back through the document the page holds.
int32_t link_state(IHTMLPage* page, int32_t link) {
    IObjHash* root = static_cast<HtmlPage*>(page)->root();
    IObjHash* node = htmlArrayNode(htmlArrayAt(getHtmlLink(root, link), "objs"), 0);
    return node ? node->GetInt("_state", -9) : -9;
}

TEST_F(Browser, SelectionMovesTheActiveState) {
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    ComRef<IHTMLPage> page;
    ASSERT_EQ(browser->ParsePage(stream_of(links_page).get(), page.put()), OM_S_OK);
    EXPECT_EQ(page->GetSelectedLink(), -1);
    for (int32_t link = 0; link < 4; ++link) EXPECT_EQ(link_state(page.get(), link), 2);

    EXPECT_EQ(page->SelectLink(3), OM_S_OK);
    EXPECT_EQ(page->GetSelectedLink(), 3);
    EXPECT_EQ(link_state(page.get(), 3), 0);
    EXPECT_EQ(page->SelectLink(3), OM_S_OK);
    EXPECT_EQ(link_state(page.get(), 3), 0);
    EXPECT_EQ(page->SelectLink(1), OM_S_OK);
    EXPECT_EQ(link_state(page.get(), 3), 2);
    EXPECT_EQ(link_state(page.get(), 1), 0);
    EXPECT_EQ(page->SelectLink(-1), OM_S_OK);
    EXPECT_EQ(page->GetSelectedLink(), -1);
    EXPECT_EQ(link_state(page.get(), 1), 2);
}

TEST_F(Browser, PageOutlivingItsBrowserNoLongerDraws) {
    ComRef<IHTMLBrowser> browser = drawing_browser();
    ComRef<IHTMLPage> page = load(browser.get(), "p.html", "<body>text</body>");
    browser.reset();
    EXPECT_EQ(page->Draw(0, 0), OM_E_FAIL);
    EXPECT_EQ(page->Layout(100, 100), OM_S_OK);
    EXPECT_EQ(page->SelectLink(-1), OM_S_OK);
}

} // namespace
} // namespace htmltest
