// The object the three browser components share (tables, view, scale, storage, settings)
// and the page object it hands out. Each browser class adds its output and overrides the
// hooks that prepare, draw and retire pages.
#pragma once

#include "framework/core/component.h"
#include "framework/platform/file_storage.h"
#include "frontend/html/html_browser.h"
#include "media/raster/image_processor.h"

#include <vector>

class HtmlBrowserBase;

// A parsed page: its document, its selected link and the directory its images come from.
class HtmlPage final : public OmObject<HtmlPage, IHTMLPage> {
public:
    ~HtmlPage();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IHTMLPage, this}});
    }

    int32_t LinkAt(int32_t x, int32_t y) override;
    OmResult SetLinkState(int32_t link, int32_t state) override;
    OmResult MarkLinkFirstObjectNormal(int32_t link) override;
    int32_t GetLinkCount() override;
    OmResult GetLink(int32_t link, char* href, uint32_t href_size, char* target,
                     uint32_t target_size) override;
    OmResult SelectLink(int32_t link) override;
    int32_t GetSelectedLink() override { return selected_; }
    OmResult Layout(int32_t width, int32_t height) override;
    OmResult GetSize(int32_t* width, int32_t* height) override;
    OmResult Draw(int32_t x, int32_t y) override;
    IObjHash* GetPageProperties() override;
    OmResult GetLinkBox(int32_t link, int32_t n, HtmlBox* out) override;

    IObjHash* root() const { return root_; }
    const char* baseDirectory() const { return base_directory_; }
    HtmlBrowserBase* owner() const { return owner_; }

private:
    friend class HtmlBrowserBase;

    int32_t selected_ = -1;
    char base_directory_[HTML_BROWSER_PATH_CAPACITY] = {};
    // Not referenced: the browser detaches its live pages when it goes.
    HtmlBrowserBase* owner_ = nullptr;
    IObjHash* root_ = nullptr;
};

class HtmlBrowserBase : public OmObject<HtmlBrowserBase, IHTMLBrowser> {
public:
    virtual ~HtmlBrowserBase();
    // Creates the four tables and the image processor and fills the settings.
    OmResult init();

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IHTMLBrowser, this}});
    }

    OmResult LoadPage(const char* path, IHTMLPage** out) override;
    OmResult ParsePage(IByteStream* stream, IHTMLPage** out) override;
    OmResult ClearCaches() override;
    OmResult SetRect(const OmRect* rect) override;
    OmResult SetScale(float horizontal, float vertical) override;
    OmResult GetRect(OmRect* out) override;
    OmResult SetPath(const char* path) override;
    OmResult GetPath(char* buffer, uint32_t size) override;
    IObjHash* GetSettings() override { return settings_; }

    // Hooks of the browser classes.
    // Fonts and images for a new page, then its layout at the view size (the drawing
    // browsers); the null browser does nothing.
    virtual OmResult preparePage(HtmlPage* page);
    // Before a link's objects change state: the drawing browsers swap rollover images.
    virtual void swapRollover(HtmlPage*, int32_t /*link*/, int32_t /*state*/) {}
    virtual OmResult drawPage(HtmlPage*, int32_t /*x*/, int32_t /*y*/) { return OM_S_OK; }
    // A page of this browser is about to release its document.
    virtual void pageRetiring(HtmlPage*) {}

    // Lays the page's document out in {0, 0, width, height} with the settings.
    OmResult layoutPage(HtmlPage* page, int32_t width, int32_t height);
    // Called by a page as it dies.
    void forgetPage(HtmlPage* page);

    IFileStorage* storage() const { return storage_; }
    IObjHash* fontTable() const { return fonts_; }
    IObjHash* imageTable() const { return images_; }
    IImageProc* imageProc() const { return image_proc_; }
    const OmRect& view() const { return view_; }
    float scaleX() const { return scale_[0]; }
    float scaleY() const { return scale_[1]; }
    int32_t setting(const char* key, int32_t fallback) const {
        return settings_->GetInt(key, fallback);
    }

protected:
    // Takes a reference to the storage (the previous one, if any, is released).
    void bindStorage(IFileStorage* storage);
    // Releases the shared members in their order; the drawing browsers call it first in
    // their destructors so pages dying on the way still reach their hooks.
    void releaseShared();

private:
    OmResult createPage(IByteStream* stream, const char* base_directory, HtmlPage** out);

    char base_path_[HTML_BROWSER_PATH_CAPACITY] = {};
    OmRect view_{0, 0, 640, 480};
    float scale_[2] = {1.0f, 1.0f};
    IFileStorage* storage_ = nullptr;
    IObjHash* fonts_ = nullptr;
    IObjHash* images_ = nullptr;
    IObjHash* pages_ = nullptr;
    IImageProc* image_proc_ = nullptr;
    IObjHash* settings_ = nullptr;
    std::vector<HtmlPage*> live_pages_;
};

// The directory part of a page path: up to and including its last '/' outside double
// quotes; empty without one.
void htmlPageDirectory(const char* path, char (&directory)[HTML_BROWSER_PATH_CAPACITY]);
