// HTMLBlitBrowser: pages drawn by copying rasters onto one target raster, for output
// without a renderer. Its character rasters live in the page's font nodes.
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "frontend/html/html_blit_renderer.h"
#include "frontend/html/html_browser_base.h"
#include "frontend/html/html_browser_rollover.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_hit_test.h"

namespace {

class HTMLBlitBrowser final : public HtmlBrowserBase {
public:
    ~HTMLBlitBrowser() override {
        releaseShared();
        if (factory_) factory_->Release();
        if (target_) target_->Release();
    }

    OmResult Init(IFileStorage* storage, IUnknown* output) override {
        if (target_) return OM_E_FAIL;
        if (!output) return OM_E_FAIL;
        ComRef<ICOMHash> properties;
        OmResult r = output->QueryInterface(IID_ICOMHash, properties.put_void());
        if (r < 0) return r;
        ComRef<IRaster> target;
        ComRef<IRasterCreate> factory;
        IUnknown* primary = properties->Get("rpPrimary");
        IUnknown* create = properties->Get("rcpCreate");
        if (!primary || !create || primary->QueryInterface(IID_IRaster, target.put_void()) < 0 ||
            create->QueryInterface(IID_IRasterCreate, factory.put_void()) < 0)
            return OM_E_FAIL;
        bindStorage(storage);
        target_ = target.detach();
        factory_ = factory.detach();
        return OM_S_OK;
    }

    OmResult preparePage(HtmlPage* page) override {
        IObjHash* root = page->root();
        ICOMArray* objs = htmlArrayAt(root, "objs");
        const int32_t count = objs ? objs->Count() : 0;
        for (int32_t i = 0; i < count; ++i) {
            IObjHash* text = htmlArrayNode(objs, i);
            if (!htmlNodeIs(text, "text")) continue;
            const std::string descriptor = htmlFontDescriptor(text);
            text->SetString("_fontname", descriptor.c_str());
            prepareHtmlTextFont({fontTable(), false}, text, descriptor);
            if (IObjHash* node = htmlNodeAt(text, "font")) {
                ComRef<IObjHash> characters;
                if (OmCreateObjHash(nullptr, characters.put()) >= 0)
                    setHtmlObject(node, "_charcolors", characters.get());
            }
        }
        if (factory_) {
            HtmlBlitPictureMaker maker(factory_);
            const HtmlImageSource source{imageTable(), imageProc(), storage(),
                                         page->baseDirectory(), &maker};
            OmResult r = prepareHtmlImages(source, root);
            if (r < 0) return r;
        }
        resetHtmlLinkStates(root);
        return layoutPage(page, view().width, view().height);
    }

    void swapRollover(HtmlPage* page, int32_t link, int32_t state) override {
        swapHtmlRolloverImage(page->root(), imageTable(), link, state);
    }

    OmResult drawPage(HtmlPage* page, int32_t x, int32_t y) override {
        if (!target_ || !factory_) return OM_E_FAIL;
        return blitHtmlPage({target_, factory_}, page->root(), x, y, view());
    }

private:
    IRasterCreate* factory_ = nullptr;
    IRaster* target_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_HTMLBlitBrowser, nullptr, nullptr, OmCreateComponent<HTMLBlitBrowser>,
     "HTMLBlitBrowser"},
};

} // namespace

OM_DEFINE_MODULE(HTMLBlitBrowser, classes)
