// HTMLMenu: the menu bar's HTML from its description, selection and its clearing.
#include "framework/containers/values.h"
#include "framework/io/memory_stream.h"
#include "frontend/html/html_menu.h"
#include "tests/frontend/html/html_browser_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace htmltest {
namespace {

class Menu : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_EQ(OmCreate(CLSID_HTMLMenu, IID_IHTMLMenu, menu.put()), OM_S_OK);
        ASSERT_EQ(OmCreateObjHash(nullptr, description.put()), OM_S_OK);
        ASSERT_EQ(OmCreateObjHash(nullptr, menus.put()), OM_S_OK);
        ASSERT_EQ(OmCreateObjHash(nullptr, options.put()), OM_S_OK);
        options->SetString("Sound", "command:sound");
        menus->AddRef();
        description->Set("menu", menus.get());
        options->AddRef();
        menus->Set("Options", options.get());
        ASSERT_EQ(menu->SetDescription(description.get()), OM_S_OK);
    }
    void TearDown() override {
        menu.reset();
        options.reset();
        menus.reset();
        description.reset();
        BrowserTest::TearDown();
    }

    std::string written(OmResult expected = OM_S_OK) {
        ComRef<IByteStream> stream;
        EXPECT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
        EXPECT_EQ(menu->Write(stream.get()), expected);
        uint32_t size = 0;
        stream->Seek(0, OM_SEEK_END, &size);
        stream->Seek(0, OM_SEEK_START, nullptr);
        std::string text(size, '\0');
        uint32_t done = 0;
        if (size) stream->Read(text.data(), size, &done);
        return text;
    }

    ComRef<IHTMLMenu> menu;
    ComRef<IObjHash> description, menus, options;
};

const char collapsed_options[] =
    "<td><table><tr><td bgcolor=#00ffff><a href=\"menubar:menu=Options\">Options</a></td></tr>"
    "<tr><td></td></tr></table></td>";
const char expanded_options[] =
    "<td><table><tr><td bgcolor=#00ffff>Options</td></tr><br>"
    "<tr><td bgcolor=#00ffff><a href=\"command:sound\">Sound</a></td></tr>\n</table></td>";

TEST_F(Menu, WritesCollapsedMenusBetweenHeaderAndFooter) {
    description->SetString("header", "<body>");
    description->SetString("footer", "</body>");
    EXPECT_EQ(written(), std::string("<body><table>\n<tr>\n") + collapsed_options +
                             "</tr>\n</table>\n</body>");
    EXPECT_EQ(menu->GetDescription(), description.get());
}

TEST_F(Menu, SelectExpandsTheMenuAndClearSelectionCollapsesIt) {
    for (const char* link : {"menubar:menu=Options", "menubar:menu = Options"}) {
        ASSERT_EQ(menu->Select(link), OM_S_OK);
        EXPECT_EQ(menus->GetInt("Options.selected", 0), 1);
        // The selection mark is no column of its own.
        EXPECT_EQ(written(),
                  std::string("<table>\n<tr>\n") + expanded_options + "</tr>\n</table>\n");
        ASSERT_EQ(menu->ClearSelection(), OM_S_OK);
        EXPECT_EQ(menus->GetInt("Options.selected", -1), 0);
        EXPECT_EQ(written(),
                  std::string("<table>\n<tr>\n") + collapsed_options + "</tr>\n</table>\n");
    }
    // Other links change nothing.
    for (const char* link : {"command:quit", "menubar:item=Options", "menubar:menu=", ""})
        EXPECT_EQ(menu->Select(link), OM_S_OK);
    EXPECT_EQ(menus->GetInt("Options.selected", -1), 0);
}

TEST_F(Menu, OnlyHashesAreMenusAndOnlyStringsAreItems) {
    menus->SetInt("Loose", 3);
    menus->SetString("Text", "not a menu");
    options->SetInt("Broken", 1);
    ASSERT_EQ(menu->Select("menubar:menu=Options"), OM_S_OK);
    EXPECT_EQ(written(), std::string("<table>\n<tr>\n") + expanded_options + "</tr>\n</table>\n");
}

TEST_F(Menu, WithoutMenuTableNothingIsWritten) {
    description->Remove("menu");
    EXPECT_EQ(written(OM_E_FAIL), "");
    ComRef<IHTMLMenu> bare;
    ASSERT_EQ(OmCreate(CLSID_HTMLMenu, IID_IHTMLMenu, bare.put()), OM_S_OK);
    ComRef<IByteStream> stream;
    ASSERT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    EXPECT_EQ(bare->Write(stream.get()), OM_E_FAIL);
    EXPECT_EQ(bare->Select("menubar:menu=x"), OM_S_OK);
}

TEST_F(Menu, OverlongNamesAndItemsAreRefused) {
    const std::string long_name(60, 'n');
    ASSERT_EQ(menu->Select(("menubar:menu=" + long_name).c_str()), OM_S_OK);
    EXPECT_FALSE(menus->Has((long_name + ".selected").c_str()));
    options->SetString(std::string(300, 'l').c_str(), "command:long");
    ASSERT_EQ(menu->Select("menubar:menu=Options"), OM_S_OK);
    EXPECT_EQ(written(), std::string("<table>\n<tr>\n") + expanded_options + "</tr>\n</table>\n");
}

TEST_F(Menu, GeneratedBarParsesIntoItsLinks) {
    ComRef<IObjHash> file;
    ASSERT_EQ(OmCreateObjHash(nullptr, file.put()), OM_S_OK);
    file->SetString("Quit", "command:quit");
    file->AddRef();
    menus->Set("File", file.get());
    ASSERT_EQ(menu->Select("menubar:menu=File"), OM_S_OK);
    description->SetString("header", "<body>");
    description->SetString("footer", "</body>");
    const std::string html = written();
    ComRef<IHTMLBrowser> browser = make_browser(CLSID_HTMLNullBrowser);
    ComRef<IByteStream> stream;
    ASSERT_EQ(OmNewMemoryStream(stream.put()), OM_S_OK);
    stream->Write(html.data(), uint32_t(html.size()), nullptr);
    stream->Seek(0, OM_SEEK_START, nullptr);
    ComRef<IHTMLPage> page;
    ASSERT_EQ(browser->ParsePage(stream.get(), page.put()), OM_S_OK);
    ASSERT_EQ(page->GetLinkCount(), 2); // "menubar:menu=Options" and the File item
    char href[1024], target[256];
    std::vector<std::string> links;
    for (int32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(page->GetLink(i, href, sizeof href, target, sizeof target), OM_S_OK);
        links.push_back(href);
    }
    std::sort(links.begin(), links.end());
    // The parser splits at '=', so the link comes back with blanks around it; Select takes it.
    EXPECT_EQ(links, (std::vector<std::string>{"command:quit", "menubar:menu = Options"}));
    ASSERT_EQ(menu->Select(links[1].c_str()), OM_S_OK);
    EXPECT_EQ(menus->GetInt("Options.selected", 0), 1);
}

} // namespace
} // namespace htmltest
