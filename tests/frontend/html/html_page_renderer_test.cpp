// HTMLBrowser's page rendering through a recording renderer: glyph and picture quads, their
// colours, offsets, scale and clipping, render states, rollovers, backgrounds, preparation.
#include "frontend/html/html_browser_base.h"
#include "frontend/html/html_document.h"
#include "media/text/font_cache.h"
#include "tests/frontend/html/html_browser_test_support.h"
#include "tests/support/source_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace htmltest {
namespace {

constexpr float glyph_width = float(GlyphFont::advance);
constexpr float glyph_height = 18; // size 3
constexpr float texel = 1.0f / 128;

IObjHash* root_of(IHTMLPage* page) {
    return static_cast<HtmlPage*>(page)->root();
}

// The first fragment of the n-th text node of the page.
IObjHash* fragment(IHTMLPage* page, int text_index) {
    ICOMArray* objs = htmlArrayAt(root_of(page), "objs");
    int seen = 0;
    for (int32_t i = 0; objs && i < objs->Count(); ++i) {
        IObjHash* node = htmlArrayNode(objs, i);
        if (htmlNodeIs(node, "text") && seen++ == text_index)
            return htmlArrayNode(htmlArrayAt(node, "_frags"), 0);
    }
    return nullptr;
}

// The raster of an entry of the page's "images" (keys as written in the page).
uintptr_t picture(IHTMLPage* page, const char* key) {
    IObjHash* node = htmlNodeAt(htmlNodeAt(root_of(page), "images"), key);
    return node ? reinterpret_cast<uintptr_t>(node->Get("_raster")) : 0;
}

class Rendering : public BrowserTest {
protected:
    void SetUp() override {
        BrowserTest::SetUp();
        browser = drawing_browser();
        storage->files["a.png"] = png_picture(4, 4, 0xFFFF0000);
        storage->files["b.png"] = png_picture(4, 4, 0xFF0000FF);
    }
    void TearDown() override {
        browser.reset();
        BrowserTest::TearDown();
    }
    ComRef<IHTMLPage> page_of(const std::string& html) {
        return load(browser.get(), "p.html", html);
    }
    const RecordedDraw& draw(size_t i) { return renderer->draws.at(i); }

    ComRef<IHTMLBrowser> browser;
};

TEST_F(Rendering, InitGivesTheGlyphCacheTexturePagesOf128Pixels) {
    ASSERT_TRUE(renderer->factory);
    const struct {
        uint32_t id;
        intptr_t value;
    } expected[] = {{OM_RASTER_KIND, 3},       {OM_RASTER_FORMAT, 0xC0310},
                    {OM_RASTER_WIDTH, 128},    {OM_RASTER_HEIGHT, 128},
                    {OM_RASTER_MIP_LEVELS, 1}, {OM_RASTER_FORMAT_PREFERENCE, 4}};
    for (const auto& e : expected) {
        intptr_t value = -1;
        EXPECT_EQ(renderer->factory->GetProperty(e.id, &value), OM_S_OK) << e.id;
        EXPECT_EQ(value, e.value) << e.id;
    }
    // A renderer without a texture factory leaves the browser unable to draw.
    auto refusing = RecordingRenderer::make();
    refusing->refuse_factory = true;
    ComRef<IHTMLBrowser> other = make_browser(CLSID_HTMLBrowser);
    EXPECT_EQ(other->Init(storage.get(), refusing.get()), OM_E_FAIL);
    storage->files["q.html"] = "<body>q</body>";
    ComRef<IHTMLPage> page;
    ASSERT_EQ(other->LoadPage("q.html", page.put()), OM_S_OK);
    EXPECT_EQ(page->Draw(0, 0), OM_E_FAIL);
    EXPECT_TRUE(refusing->draws.empty());
}

TEST_F(Rendering, EachGlyphIsOneWhiteQuadFromItsGlyphPage) {
    ComRef<IHTMLPage> page = page_of("<body>AB</body>");
    IObjHash* frag = fragment(page.get(), 0);
    ASSERT_NE(frag, nullptr);
    const float x = float(frag->GetInt("_x", 0)), y = float(frag->GetInt("_y", 0));
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    ASSERT_EQ(renderer->draws.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const RecordedDraw& d = draw(i);
        EXPECT_EQ(d.type, OM_PRIMITIVE_TRIANGLE_FAN);
        ASSERT_EQ(d.vertices.size(), 4u);
        EXPECT_EQ(d.flags, OM_DRAW_DONOTCLIP);
        EXPECT_NE(d.texture, 0u);
        const float left = x + glyph_width * float(i);
        EXPECT_FLOAT_EQ(d.vertices[0].sx, left);
        EXPECT_FLOAT_EQ(d.vertices[0].sy, y);
        EXPECT_FLOAT_EQ(d.vertices[2].sx, left + glyph_width);
        EXPECT_FLOAT_EQ(d.vertices[2].sy, y + glyph_height);
        EXPECT_FLOAT_EQ(d.vertices[2].tu - d.vertices[0].tu, glyph_width * texel);
        EXPECT_FLOAT_EQ(d.vertices[2].tv - d.vertices[0].tv, glyph_height * texel);
        EXPECT_EQ(d.vertices[0].diffuse, 0xFFFFFFFFu);
    }
    // One glyph page: the texture is set once for the fragment.
    EXPECT_EQ(renderer->sets_of(OM_RS_TEXTURE).size(), 1u);
    // The magnification state is set for the text and restored; the addressing states of
    // texturemode 2 likewise.
    EXPECT_EQ(renderer->sets_of(OM_RS_TEXTURE_MAG), (std::vector<uintptr_t>{1, 0}));
    EXPECT_EQ(renderer->sets_of(OM_RS_TEXTURE_ADDRESS_U), (std::vector<uintptr_t>{3, 0}));
    EXPECT_EQ(renderer->sets_of(OM_RS_TEXTURE_ADDRESS_V), (std::vector<uintptr_t>{3, 0}));
}

TEST_F(Rendering, TextureChangesOnlyWhenTheGlyphPageChanges) {
    // 16 x 7 glyphs of 8 x 18 fill a 128 x 128 page; the two words (the layout keeps 79
    // characters of a word) need two pages. The line is wide enough for one fragment.
    std::string letters;
    for (char c = 'A'; c <= 'Z'; ++c) letters += c;
    for (char c = 'a'; c <= 'z'; ++c) letters += c;
    for (char c = '0'; c <= '9'; ++c) letters += c;
    letters += ' ';
    for (int c = 0xA1; c <= 0xFF; ++c) letters += char(c);
    const OmRect wide{0, 0, 2000, 100};
    ASSERT_EQ(browser->SetRect(&wide), OM_S_OK);
    ComRef<IHTMLPage> page = page_of("<body>" + letters + "</body>");
    ASSERT_EQ(
        htmlArrayAt(htmlArrayNode(htmlArrayAt(root_of(page.get()), "objs"), 0), "_frags")->Count(),
        1);
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    const size_t glyphs = std::strlen(fragment(page.get(), 0)->GetString("_string", ""));
    ASSERT_GT(glyphs, 112u);
    ASSERT_EQ(renderer->draws.size(), glyphs);
    size_t changes = 0;
    for (size_t i = 0; i < renderer->draws.size(); ++i)
        if (i == 0 || draw(i).texture != draw(i - 1).texture) ++changes;
    EXPECT_EQ(changes, 2u);
    EXPECT_EQ(renderer->sets_of(OM_RS_TEXTURE).size(), changes);
}

TEST_F(Rendering, TexturemodeFourShiftsHalfAPixelBeforeScaling) {
    ComRef<IHTMLPage> page = page_of("<body>A</body>");
    IObjHash* frag = fragment(page.get(), 0);
    const float x = float(frag->GetInt("_x", 0)), y = float(frag->GetInt("_y", 0));
    browser->GetSettings()->SetInt("texturemode", 4);
    ASSERT_EQ(browser->SetScale(2.0f, 1.5f), OM_S_OK);
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    ASSERT_EQ(renderer->draws.size(), 1u);
    EXPECT_FLOAT_EQ(draw(0).vertices[0].sx, (x - 0.5f) * 2.0f);
    EXPECT_FLOAT_EQ(draw(0).vertices[0].sy, (y - 0.5f) * 1.5f);
    EXPECT_FLOAT_EQ(draw(0).vertices[2].sx, (x + glyph_width - 0.5f) * 2.0f);
    EXPECT_FLOAT_EQ(draw(0).vertices[2].sy, (y + glyph_height - 0.5f) * 1.5f);
    EXPECT_TRUE(renderer->sets_of(OM_RS_TEXTURE_ADDRESS_U).empty());
}

TEST_F(Rendering, GlyphsAreCutToTheViewAndHiddenOnesSkipped) {
    ComRef<IHTMLPage> page = page_of("<body>ABC</body>");
    const float x = float(fragment(page.get(), 0)->GetInt("_x", 0));
    const OmRect view{0, 0, int32_t(x + 12), 480};
    ASSERT_EQ(browser->SetRect(&view), OM_S_OK);
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    ASSERT_EQ(renderer->draws.size(), 2u);
    EXPECT_FLOAT_EQ(draw(1).vertices[2].sx, x + 12);
    EXPECT_FLOAT_EQ(draw(1).vertices[2].tu - draw(1).vertices[0].tu, 4 * texel);
}

TEST_F(Rendering, PageOutsideTheViewDrawsNothingAndTouchesNoState) {
    ComRef<IHTMLPage> page = page_of("<body bgcolor=#102030>text</body>");
    EXPECT_EQ(page->Draw(700, 0), OM_S_OK);
    EXPECT_EQ(page->Draw(0, -500), OM_S_OK);
    EXPECT_TRUE(renderer->draws.empty());
    EXPECT_TRUE(renderer->state_log.empty());
}

TEST_F(Rendering, TextColourFollowsLinkStateFontAndPage) {
    const struct {
        const char* html;
        int32_t state; // -1: no state change
        uint32_t colour;
    } cases[] = {
        {"<body><a href=x>L</a></body>", -1, 0xFF0000FF},
        {"<body><a href=x>L</a></body>", 3, 0xFF00FFFF},
        {"<body><a href=x>L</a></body>", 0, 0xFFFF00FF},
        {"<body><a href=x>L</a></body>", 1, 0xFFFF0000},
        {"<body alink=#123456><a href=x>L</a></body>", 3, 0xFF123456},
        {"<body link=#ABCDEF><a href=x>L</a></body>", 2, 0xFFABCDEF},
        {"<body>plain</body>", -1, 0xFFFFFFFF},
        {"<body text=#00FF00>plain</body>", -1, 0xFF00FF00},
        {"<body text=#00FF00><font color=#FF8000>own</font></body>", -1, 0xFFFF8000},
    };
    for (const auto& c : cases) {
        browser->ClearCaches();
        renderer->clear();
        ComRef<IHTMLPage> page = page_of(c.html);
        if (c.state >= 0) ASSERT_EQ(page->SetLinkState(0, c.state), OM_S_OK);
        ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
        ASSERT_FALSE(renderer->draws.empty()) << c.html;
        EXPECT_EQ(draw(0).vertices[0].diffuse, c.colour) << c.html << " state " << c.state;
    }
}

TEST_F(Rendering, TextBytesAreZeroExtendedToGlyphCodes) {
    ComRef<IHTMLPage> page = page_of("<body>\xE4\xF6\xFC\xDF</body>");
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(GlyphFont::drawn, (std::vector<uint16_t>{0xE4, 0xF6, 0xFC, 0xDF}));
}

TEST_F(Rendering, ImagesAreTexturesDrawnWhiteWithTheirInset) {
    const struct {
        int32_t mode;
        float inset;
        uint32_t texture_width;
    } cases[] = {{0, 0.5f / 4, 4}, {1, 1.0f / 6, 6}, {2, 0, 4}, {4, 0, 4}};
    for (const auto& c : cases) {
        browser->ClearCaches();
        renderer->clear();
        browser->GetSettings()->SetInt("texturemode", c.mode);
        ComRef<IHTMLPage> page = page_of("<body><img src=a.png></body>");
        const uintptr_t texture = picture(page.get(), "a.png");
        ASSERT_NE(texture, 0u) << c.mode;
        EXPECT_EQ(reinterpret_cast<IRaster*>(texture)->GetWidth(), c.texture_width);
        ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
        ASSERT_EQ(renderer->draws.size(), 1u);
        const RecordedDraw& d = draw(0);
        EXPECT_EQ(d.texture, texture);
        EXPECT_EQ(d.vertices[0].diffuse, 0xFFFFFFFFu);
        EXPECT_FLOAT_EQ(d.vertices[0].tu, c.inset) << c.mode;
        EXPECT_FLOAT_EQ(d.vertices[2].tv, 1 - c.inset) << c.mode;
        const float offset = (c.mode & 4) ? -0.5f : 0;
        EXPECT_FLOAT_EQ(d.vertices[2].sx - d.vertices[0].sx, 4) << c.mode;
        EXPECT_FLOAT_EQ(d.vertices[0].sx, offset) << c.mode;
    }
}

TEST_F(Rendering, TexturemodeOneRepeatsThePicturesEdgeIntoTheBorder) {
    browser->GetSettings()->SetInt("texturemode", 1);
    ComRef<IHTMLPage> page = page_of("<body><img src=a.png></body>");
    auto* texture = reinterpret_cast<IRaster*>(picture(page.get(), "a.png"));
    ASSERT_NE(texture, nullptr);
    void* pixels = nullptr;
    int32_t stride = 0;
    ASSERT_EQ(texture->Lock(OM_LOCK_READ, &pixels, &stride), OM_S_OK);
    // Every pixel, border included, is the picture's red (the texture keeps the picture's
    // 32-bit format here).
    ASSERT_EQ(texture->GetFormat(), OM_FORMAT_ARGB8888);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 6; ++x) {
            const uint32_t p = reinterpret_cast<const uint32_t*>(
                static_cast<const uint8_t*>(pixels) + y * stride)[x];
            EXPECT_EQ(p, 0xFFFF0000u) << x << "," << y;
        }
    }
    texture->Unlock();
}

TEST_F(Rendering, RolloverLinksSwapThePictureWhileSelected) {
    ComRef<IHTMLPage> page =
        page_of("<body><a href=x rolloverreplacefrom=\"a.png\" rolloverreplaceto=\"b.png\">go</a>"
                "<img src=\"a.png\"><img src=\"b.png\">"
                "<a href=y rolloverreplacefrom=\"a.png\" rolloverreplaceto=\"none.png\">no</a>"
                "<img src=\"none.png\"></body>");
    const uintptr_t a = picture(page.get(), "\"a.png\"");
    const uintptr_t b = picture(page.get(), "\"b.png\"");
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    auto first_image_texture = [&]() {
        renderer->clear();
        EXPECT_EQ(page->Draw(0, 0), OM_S_OK);
        for (const RecordedDraw& d : renderer->draws)
            if (d.texture == a || d.texture == b) return d.texture;
        return uintptr_t(0);
    };
    EXPECT_EQ(first_image_texture(), a);
    ASSERT_EQ(page->SelectLink(0), OM_S_OK);
    EXPECT_EQ(first_image_texture(), b);
    ASSERT_EQ(page->SelectLink(-1), OM_S_OK);
    EXPECT_EQ(first_image_texture(), a);
    // A "to" image without a picture leaves the "from" image as it is.
    ASSERT_EQ(page->SelectLink(1), OM_S_OK);
    EXPECT_EQ(first_image_texture(), a);
}

TEST_F(Rendering, RolloverSourceIsDrawnForActiveAndHighlightedImages) {
    ComRef<IHTMLPage> page =
        page_of("<body><a href=x><img src=a.png rolloversrc=b.png></a></body>");
    const uintptr_t a = picture(page.get(), "a.png"), b = picture(page.get(), "b.png");
    const struct {
        int32_t state;
        uintptr_t texture;
    } cases[] = {{2, a}, {3, b}, {1, a}, {0, b}};
    for (const auto& c : cases) {
        renderer->clear();
        ASSERT_EQ(page->SetLinkState(0, c.state), OM_S_OK);
        ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
        ASSERT_EQ(renderer->draws.size(), 1u);
        EXPECT_EQ(draw(0).texture, c.texture) << c.state;
    }
}

TEST_F(Rendering, UrlSourcesAreNeverLoaded) {
    ComRef<IHTMLPage> page =
        page_of("<body><img src=http://host/a.png width=10 height=10><img src=command:x></body>");
    EXPECT_EQ(storage->opened, (std::vector<std::string>{"p.html"}));
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    EXPECT_TRUE(renderer->draws.empty());
}

TEST_F(Rendering, FailedPicturesStayEmptyUntilTheCachesAreCleared) {
    ComRef<IHTMLPage> page = page_of("<body><img src=late.png></body>");
    storage->files["late.png"] = png_picture(2, 2, 0xFFFFFFFF);
    storage->files["q.html"] = "<body><img src=late.png></body>";
    ComRef<IHTMLPage> other;
    ASSERT_EQ(browser->LoadPage("q.html", other.put()), OM_S_OK);
    EXPECT_EQ(picture(other.get(), "late.png"), 0u);
    EXPECT_EQ(storage->opens("late.png"), 1);
    browser->ClearCaches();
    ASSERT_EQ(browser->LoadPage("q.html", other.put()), OM_S_OK);
    EXPECT_NE(picture(other.get(), "late.png"), 0u);
}

TEST_F(Rendering, PageBackgroundPrecedence) {
    storage->files["bg.png"] = png_picture(4, 4, 0xFF00FF00);
    const struct {
        const char* body;
        bool textured;
        bool drawn;
    } cases[] = {
        {"<body bgcolor=#FF0000>", false, true},
        {"<body bgcolor=#FF0000 background=bg.png>", true, true},
        {"<body bgcolor=#FF0000 backgroundstretch=bg.png>", true, true},
        {"<body bgcolor=#FF0000 background=missing.png>", false, false},
        {"<body>", false, false},
    };
    for (const auto& c : cases) {
        browser->ClearCaches();
        renderer->clear();
        ComRef<IHTMLPage> page =
            page_of(std::string(c.body) + "<img src=a.png width=40 height=20></body>");
        const uintptr_t a = picture(page.get(), "a.png");
        ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
        ASSERT_EQ(renderer->draws.size(), c.drawn ? 2u : 1u) << c.body;
        EXPECT_EQ(renderer->draws.back().texture, a);
        if (!c.drawn) continue;
        const RecordedDraw& background = draw(0);
        EXPECT_EQ(background.texture != 0, c.textured) << c.body;
        EXPECT_EQ(background.vertices[0].diffuse, c.textured ? 0xFFFFFFFFu : 0xFFFF0000u);
        // The page box is the view's size.
        EXPECT_FLOAT_EQ(background.vertices[2].sx, 640);
        EXPECT_FLOAT_EQ(background.vertices[2].sy, 480);
        // A tiled background repeats every 4 pixels: 160 x 120 copies; a stretched one once.
        if (c.textured) {
            const bool tiled = std::string(c.body).find(" background=") != std::string::npos;
            EXPECT_FLOAT_EQ(background.vertices[2].tu, tiled ? 160 : 1);
            EXPECT_FLOAT_EQ(background.vertices[2].tv, tiled ? 120 : 1);
        }
    }
}

TEST_F(Rendering, CellBackgroundsComeBeforeTheCellsObjects) {
    storage->files["bg.png"] = png_picture(4, 4, 0xFF00FF00);
    ComRef<IHTMLPage> page =
        page_of("<body><table><tr><td bgcolor=#00FF00 background=bg.png width=100 height=50>"
                "<img src=a.png></td></tr></table></body>");
    ASSERT_EQ(page->Draw(0, 0), OM_S_OK);
    ASSERT_EQ(renderer->draws.size(), 3u);
    EXPECT_EQ(draw(0).texture, 0u);
    EXPECT_EQ(draw(0).vertices[0].diffuse, 0xFF00FF00u);
    EXPECT_EQ(draw(1).texture, picture(page.get(), "bg.png"));
    EXPECT_EQ(draw(2).texture, picture(page.get(), "a.png"));
    const float width = draw(0).vertices[2].sx - draw(0).vertices[0].sx;
    EXPECT_GT(width, 4);
    // The picture repeats across the cell (coordinates halved past the picture's width).
    EXPECT_FLOAT_EQ(draw(1).vertices[2].tu, width / 4 / 2);
}

TEST_F(Rendering, OneFontPerStyleForTheBrowsersLifetime) {
    ComRef<IHTMLPage> first =
        page_of("<body><b>bold</b> plain <b>again</b> <font size=5>big</font></body>");
    EXPECT_EQ(GlyphFont::created, 3);
    EXPECT_EQ(GlyphFont::faces, (std::vector<std::string>{"arial", "arial", "arial"}));
    storage->files["q.html"] = "<body>plain <b>bold</b></body>";
    ComRef<IHTMLPage> second;
    ASSERT_EQ(browser->LoadPage("q.html", second.put()), OM_S_OK);
    EXPECT_EQ(GlyphFont::created, 3);
    IObjHash* text = htmlArrayNode(htmlArrayAt(root_of(second.get()), "objs"), 0);
    EXPECT_EQ(htmlNodeAt(text, "font")->GetInt("height", 0), 18);
}

TEST_F(Rendering, GlyphCacheEmptiesWhenAPageDies) {
    ComRef<IHTMLPage> shown = page_of("<body>ab</body>");
    storage->files["q.html"] = "<body>zz</body>";
    ComRef<IHTMLPage> other;
    ASSERT_EQ(browser->LoadPage("q.html", other.put()), OM_S_OK);
    ASSERT_EQ(shown->Draw(0, 0), OM_S_OK);
    ASSERT_EQ(shown->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(GlyphFont::drawn, (std::vector<uint16_t>{'a', 'b'}));
    browser->ClearCaches();
    other.reset(); // its last reference
    ASSERT_EQ(shown->Draw(0, 0), OM_S_OK);
    EXPECT_EQ(GlyphFont::drawn, (std::vector<uint16_t>{'a', 'b', 'a', 'b'}));
}

} // namespace
} // namespace htmltest

namespace htmltest {
namespace {

// Every corpus page, whole and cut short, loads, draws, and has its links selected in both
// drawing browsers without a fault.
TEST_F(BrowserTest, CorpusPagesDrawInBothDrawingBrowsers) {
    namespace fs = std::filesystem;
    ComRef<IHTMLBrowser> quads = drawing_browser();
    ComRef<IRaster> target;
    ASSERT_EQ(OmNewMemoryRaster(320, 240, OM_FORMAT_ARGB8888, target.put()), OM_S_OK);
    ComRef<IRasterCreate> factory;
    ASSERT_EQ(OmNewRasterDescription(factory.put()), OM_S_OK);
    ComRef<ICOMHash> properties;
    ASSERT_EQ(OmCreate(CLSID_COMHash, IID_ICOMHash, properties.put()), OM_S_OK);
    target->AddRef();
    properties->Set("rpPrimary", target.get());
    factory->AddRef();
    properties->Set("rcpCreate", factory.get());
    ComRef<IHTMLBrowser> blits = make_browser(CLSID_HTMLBlitBrowser);
    ASSERT_EQ(blits->Init(storage.get(), properties.get()), OM_S_OK);
    storage->files["bg.png"] = png_picture(3, 5, 0xFF336699);
    int pages = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(testsupport::source_dir()) /
                                                    "tests/frontend/html/pages")) {
        if (entry.path().extension() != ".html") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        for (size_t cut : {text.size(), text.size() / 2, text.size() / 3}) {
            const std::string path = entry.path().filename().string() + std::to_string(cut);
            storage->files[path] = text.substr(0, cut);
            for (IHTMLBrowser* browser : {quads.get(), blits.get()}) {
                ComRef<IHTMLPage> page;
                ASSERT_EQ(browser->LoadPage(path.c_str(), page.put()), OM_S_OK) << path;
                for (int32_t link = -1; link < page->GetLinkCount(); ++link) {
                    page->SelectLink(link);
                    EXPECT_EQ(page->Draw(link * 7, link * 3), OM_S_OK) << path;
                }
                ++pages;
            }
        }
    }
    EXPECT_GT(pages, 30);
}

} // namespace
} // namespace htmltest
