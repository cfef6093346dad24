// HTMLBrowser, the browser of the menus: pages drawn as screen quads through a renderer,
// glyphs from a glyph cache that is emptied whenever a page dies; and HTMLNullBrowser, which
// loads, lays out and hit-tests pages but draws nothing.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "frontend/html/html_browser_base.h"
#include "frontend/html/html_browser_rollover.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_hit_test.h"
#include "frontend/html/html_page_renderer.h"

namespace {

// Properties of the glyph pages' description, in the order they are set.
struct FactoryProperty {
    uint32_t id;
    intptr_t value;
};
constexpr FactoryProperty glyph_page_properties[] = {
    {OM_RASTER_KIND, OM_RASTER_KIND_TEXTURE},
    {10, 1},
    {OM_RASTER_MIP_LEVELS, 1},
    {OM_RASTER_FORMAT, OM_FORMAT_ARGB4444},
    {OM_RASTER_WIDTH, HTML_GLYPH_PAGE_SIDE},
    {OM_RASTER_HEIGHT, HTML_GLYPH_PAGE_SIDE},
    {OM_RASTER_FORMAT_PREFERENCE, 4},
};

class HTMLNullBrowser final : public HtmlBrowserBase {
public:
    OmResult Init(IFileStorage* storage, IUnknown*) override {
        if (bound_) return OM_E_FAIL;
        bindStorage(storage);
        bound_ = true;
        return OM_S_OK;
    }

private:
    bool bound_ = false;
};

class HTMLBrowser final : public HtmlBrowserBase {
public:
    ~HTMLBrowser() override {
        releaseShared();
        if (font_cache_) font_cache_->Release();
        if (renderer_) renderer_->Release();
    }

    OmResult Init(IFileStorage* storage, IUnknown* output) override {
        if (renderer_) return OM_E_FAIL;
        if (!output) return OM_E_FAIL;
        IRenderer* renderer = nullptr;
        OmResult r = output->QueryInterface(IID_IRenderer, reinterpret_cast<void**>(&renderer));
        if (r < 0) return r;
        bindStorage(storage);
        renderer_ = renderer;
        ComRef<IRasterCreate> factory;
        if ((r = renderer_->CreateTextureFactory(factory.put())) < 0) return r;
        for (const FactoryProperty& p : glyph_page_properties) factory->SetProperty(p.id, p.value);
        ComRef<IFontCache> cache;
        if ((r = OmCreate(CLSID_SimpleFontCache, IID_IFontCache, cache.put())) < 0) return r;
        if (cache->SetTarget(factory.get()) < 0) return OM_E_FAIL;
        font_cache_ = cache.detach();
        return OM_S_OK;
    }

    OmResult preparePage(HtmlPage* page) override {
        const int32_t mode = setting("texturemode", 2);
        for_each_text(page->root(), [&](IObjHash* text) {
            prepareHtmlTextFont({fontTable(), true}, text, htmlFontDescriptor(text));
        });
        if (renderer_) {
            HtmlTextureMaker maker(renderer_, imageProc(), mode);
            const HtmlImageSource source{imageTable(), imageProc(), storage(),
                                         page->baseDirectory(), &maker};
            OmResult r = prepareHtmlImages(source, page->root());
            if (r < 0) return r;
        }
        resetHtmlLinkStates(page->root());
        return layoutPage(page, view().width, view().height);
    }

    void swapRollover(HtmlPage* page, int32_t link, int32_t state) override {
        swapHtmlRolloverImage(page->root(), imageTable(), link, state);
    }

    OmResult drawPage(HtmlPage* page, int32_t x, int32_t y) override {
        // Without a glyph cache the set-up failed: nothing may be drawn.
        if (!renderer_ || !font_cache_) return OM_E_FAIL;
        const HtmlRenderOutput output{renderer_, font_cache_, scaleX(), scaleY(),
                                      setting("texturemode", 2)};
        return drawHtmlPage(output, page->root(), x, y, view());
    }

    // Every page death empties the whole glyph cache; the next page drawn renders its
    // glyphs again.
    void pageRetiring(HtmlPage*) override {
        if (font_cache_) font_cache_->Clear();
    }

private:
    template <class F>
    static void for_each_text(IObjHash* root, F&& f) {
        ICOMArray* objs = htmlArrayAt(root, "objs");
        const int32_t count = objs ? objs->Count() : 0;
        for (int32_t i = 0; i < count; ++i) {
            IObjHash* object = htmlArrayNode(objs, i);
            if (htmlNodeIs(object, "text")) f(object);
        }
    }

    IRenderer* renderer_ = nullptr;
    IFontCache* font_cache_ = nullptr;
};

const OmClassRecord null_classes[] = {
    {&CLSID_HTMLNullBrowser, nullptr, nullptr, OmCreateComponent<HTMLNullBrowser>,
     "HTMLNullBrowser"},
};
const OmClassRecord browser_classes[] = {
    {&CLSID_HTMLBrowser, nullptr, nullptr, OmCreateComponent<HTMLBrowser>, "HTMLBrowser"},
};

} // namespace

OM_DEFINE_MODULE(HTMLNullBrowser, null_classes)
OM_DEFINE_MODULE(HTMLBrowser, browser_classes)
