// HTMLBlitBrowser: binding to a target raster, per-character colour rasters, fills, picture
// copies and tiles drawn into a memory target.
#include "framework/containers/com_hash.h"
#include "frontend/html/html_blit_renderer.h"
#include "frontend/html/html_browser_base.h"
#include "frontend/html/html_document.h"
#include "tests/frontend/html/html_browser_test_support.h"

#include <gtest/gtest.h>

namespace htmltest {
namespace {

constexpr uint32_t grey = 0xFF777777;

class Blit : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        ASSERT_EQ(OmNewMemoryRaster(64, 32, OM_FORMAT_ARGB8888, target.put()), OM_S_OK);
        target->FillRect(nullptr, &grey);
        ASSERT_EQ(OmNewRasterDescription(factory.put()), OM_S_OK);
        factory->SetProperty(OM_RASTER_FORMAT, OM_FORMAT_ARGB8888);
        properties = property_table(true, true);
        browser = make_browser(CLSID_HTMLBlitBrowser);
        ASSERT_EQ(browser->Init(storage.get(), properties.get()), OM_S_OK);
        storage->files["a.png"] = png_picture(4, 4, 0xFFFF0000);
        storage->files["b.png"] = png_picture(4, 4, 0xFF0000FF);
    }
    void TearDown() override {
        browser.reset();
        properties.reset();
        factory.reset();
        target.reset();
        BrowserTest::TearDown();
    }

    ComRef<ICOMHash> property_table(bool with_target, bool with_factory) {
        ComRef<ICOMHash> table;
        EXPECT_EQ(OmCreate(CLSID_COMHash, IID_ICOMHash, table.put()), OM_S_OK);
        if (with_target) {
            target->AddRef();
            table->Set("rpPrimary", target.get());
        }
        if (with_factory) {
            factory->AddRef();
            table->Set("rcpCreate", factory.get());
        }
        return table;
    }

    uint32_t pixel(int32_t x, int32_t y) {
        void* pixels = nullptr;
        int32_t stride = 0;
        EXPECT_EQ(target->Lock(OM_LOCK_READ, &pixels, &stride), OM_S_OK);
        const uint32_t p =
            reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(pixels) + y * stride)[x];
        target->Unlock();
        return p;
    }

    ComRef<IRaster> target;
    ComRef<IRasterCreate> factory;
    ComRef<ICOMHash> properties;
    ComRef<IHTMLBrowser> browser;
};

IObjHash* first_fragment(IHTMLPage* page) {
    IObjHash* root = static_cast<HtmlPage*>(page)->root();
    ICOMArray* objs = htmlArrayAt(root, "objs");
    for (int32_t i = 0; objs && i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text")) return htmlArrayNode(htmlArrayAt(node, "_frags"), 0);
    }
    return nullptr;
}

TEST_F(Blit, InitNeedsTheTargetAndTheFactory) {
    EXPECT_EQ(browser->Init(storage.get(), properties.get()), OM_E_FAIL);
    ComRef<IHTMLBrowser> other = make_browser(CLSID_HTMLBlitBrowser);
    EXPECT_EQ(other->Init(storage.get(), property_table(false, true).get()), OM_E_FAIL);
    EXPECT_EQ(other->Init(storage.get(), property_table(true, false).get()), OM_E_FAIL);
    EXPECT_EQ(other->Init(storage.get(), target.get()), OM_E_NOINTERFACE);
    // Still unbound: a complete table binds it now.
    EXPECT_EQ(other->Init(storage.get(), property_table(true, true).get()), OM_S_OK);
}

TEST_F(Blit, CharacterKeysJoinColourByteAndFont) {
    EXPECT_EQ(htmlCharacterKey(0xFF0000FF, 'A', "arial|0|0|0|3"), "0000FFA|arial|0|0|0|3");
    EXPECT_EQ(htmlCharacterKey(0xFFABCDEF, 0xE4, "x"), "ABCDEF\xE4|x");
}

TEST_F(Blit, EachCharacterAndColourGetsOneRaster) {
    const OmRect view{0, 0, 64, 32};
    ASSERT_EQ(browser->SetRect(&view), OM_S_OK);
    storage->files["p.html"] = "<body><a href=x>AA</a></body>";
    ComRef<IHTMLPage> page;
    ASSERT_EQ(browser->LoadPage("p.html", page.put()), OM_S_OK);
    IObjHash* frag = first_fragment(page.get());
    ASSERT_NE(frag, nullptr);
    const int32_t x = frag->GetInt("_x", 0), y = frag->GetInt("_y", 0);

    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(GlyphFont::drawn, (std::vector<uint16_t>{'A'}));
    EXPECT_EQ(pixel(x, y), 0xFF0000FFu); // link colour
    EXPECT_EQ(pixel(x + 8, y + 17), 0xFF0000FFu);
    EXPECT_EQ(pixel(x + 16, y), grey); // past the text
    ASSERT_EQ(page->SetLinkState(0, HTML_STATE_ACTIVE), OM_S_OK);
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(GlyphFont::drawn, (std::vector<uint16_t>{'A', 'A'}));
    EXPECT_EQ(pixel(x, y), 0xFFFF00FFu);
    ASSERT_EQ(page->SetLinkState(0, HTML_STATE_NORMAL), OM_S_OK);
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(GlyphFont::drawn.size(), 2u);
    EXPECT_EQ(pixel(x, y), 0xFF0000FFu);
    IObjHash* text =
        htmlArrayNode(htmlArrayAt(static_cast<HtmlPage*>(page.get())->root(), "objs"), 0);
    EXPECT_STREQ(text->GetString("_fontname", ""), "arial|0|0|0|3");
}

TEST_F(Blit, BackgroundsFillAndTileWithinTheTarget) {
    const struct {
        const char* body;
        uint32_t corner; // pixel (63, 31)
    } cases[] = {
        {"<body bgcolor=#102030>", 0xFF102030},
        {"<body bgcolor=#102030 background=b.png>", 0xFF0000FF},
        {"<body backgroundstretch=a.png>", 0xFFFF0000},
        {"<body>", grey},
    };
    // The view keeps its 640 x 480: fills and copies stop at the target's edge.
    for (const auto& c : cases) {
        browser->ClearCaches();
        target->FillRect(nullptr, &grey);
        storage->files["p.html"] = std::string(c.body) + "</body>";
        ComRef<IHTMLPage> page;
        ASSERT_EQ(browser->LoadPage("p.html", page.put()), OM_S_OK);
        ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
        EXPECT_EQ(pixel(63, 31), c.corner) << c.body;
        EXPECT_EQ(pixel(0, 0), c.corner) << c.body;
    }
}

TEST_F(Blit, PicturesAndCellsAreCopiedAtTheirPlaces) {
    storage->files["p.html"] =
        "<body><table><tr><td bgcolor=#00FF00 width=20 height=10></td><td><img src=a.png>"
        "</td></tr></table></body>";
    const OmRect view{0, 0, 64, 32};
    ASSERT_EQ(browser->SetRect(&view), OM_S_OK);
    ComRef<IHTMLPage> page;
    ASSERT_EQ(browser->LoadPage("p.html", page.put()), OM_S_OK);
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(pixel(1, 1), 0xFF00FF00u);
    EXPECT_EQ(pixel(19, 9), 0xFF00FF00u);
    // The picture sits in the second cell, right of the first.
    bool red = false;
    for (int32_t x = 20; x < 40; ++x) red = red || pixel(x, 1) == 0xFFFF0000u;
    EXPECT_TRUE(red);
    // Drawn again at an offset: the clip to the view keeps it inside.
    ASSERT_EQ(page->Draw(60, 0), OM_S_OK);
    EXPECT_EQ(pixel(63, 1), 0xFF00FF00u);
}

} // namespace
} // namespace htmltest
