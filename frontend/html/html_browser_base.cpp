// The browser object and page object shared by HTMLNullBrowser, HTMLBrowser and
// HTMLBlitBrowser: page loading and caching, link selection and states, layout.
#include "frontend/html/html_browser_base.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "frontend/html/html_document.h"
#include "frontend/html/html_layout.h"
#include "frontend/html/html_parser.h"

#include <algorithm>
#include <cstring>

namespace {

struct DefaultSetting {
    const char* key;
    int32_t value;
};

// The settings a new browser starts with (the menus change some after Init).
constexpr DefaultSetting default_settings[] = {
    {"texturemode", 2},      {"brspacing", 2},        {"wrapspacing", 2},
    {"paragraphspacing", 3}, {"alignmentspacing", 0}, {"tablespacing", 0},
};

template <class T>
void release_slot(T*& slot) {
    if (T* p = std::exchange(slot, nullptr)) p->Release();
}

// Copies the text cut to the buffer's size, always terminated when size > 0.
void copy_bounded(char* buffer, uint32_t size, const char* text) {
    if (!buffer || size == 0) return;
    const size_t n = std::min<size_t>(std::strlen(text), size - 1);
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
}

} // namespace

void htmlPageDirectory(const char* path, char (&directory)[HTML_BROWSER_PATH_CAPACITY]) {
    size_t end = 0; // one past the last '/' outside quotes
    bool quoted = false;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (path[i] == '"')
            quoted = !quoted;
        else if (path[i] == '/' && !quoted)
            end = i + 1;
    }
    end = std::min<size_t>(end, HTML_BROWSER_PATH_CAPACITY - 1);
    std::memcpy(directory, path, end);
    directory[end] = '\0';
}

// ---- page ----

HtmlPage::~HtmlPage() {
    if (owner_) owner_->forgetPage(this);
    release_slot(root_);
}

int32_t HtmlPage::LinkAt(int32_t x, int32_t y) {
    return hitTestHtmlDocument(root_, x, y);
}

OmResult HtmlPage::SetLinkState(int32_t link, int32_t state) {
    if (link < 0 || link >= countHtmlLinks(root_)) return OM_E_FAIL;
    if (owner_) owner_->swapRollover(this, link, state);
    return setHtmlLinkState(root_, link, state);
}

OmResult HtmlPage::MarkLinkFirstObjectNormal(int32_t link) {
    return markHtmlLinkFirstObjectNormal(root_, link);
}

int32_t HtmlPage::GetLinkCount() {
    return countHtmlLinks(root_);
}

OmResult HtmlPage::GetLink(int32_t link, char* href, uint32_t href_size, char* target,
                           uint32_t target_size) {
    IObjHash* node = link >= 0 ? getHtmlLink(root_, link) : nullptr;
    if (!node) return OM_E_FAIL;
    copy_bounded(href, href_size, node->GetString("href", ""));
    copy_bounded(target, target_size, node->GetString("target", ""));
    return OM_S_OK;
}

OmResult HtmlPage::SelectLink(int32_t link) {
    if (selected_ >= 0) SetLinkState(selected_, HTML_STATE_NORMAL);
    if (link >= 0) SetLinkState(link, HTML_STATE_ACTIVE);
    selected_ = link < 0 ? -1 : link;
    return OM_S_OK;
}

OmResult HtmlPage::Layout(int32_t width, int32_t height) {
    if (owner_) return owner_->layoutPage(this, width, height);
    const OmRect rect{0, 0, width, height};
    layoutHtmlDocument(root_, nullptr, &rect);
    return OM_S_OK;
}

OmResult HtmlPage::GetSize(int32_t* width, int32_t* height) {
    IObjHash* cell = htmlNodeAt(root_, "cell");
    if (width) *width = cell ? cell->GetInt("_width", 0) : 0;
    if (height) *height = cell ? cell->GetInt("_height", 0) : 0;
    return OM_S_OK;
}

OmResult HtmlPage::Draw(int32_t x, int32_t y) {
    // A page that outlived its browser has nothing left to draw with.
    if (!owner_) return OM_E_FAIL;
    return owner_->drawPage(this, x, y);
}

IObjHash* HtmlPage::GetPageProperties() {
    return htmlNodeAt(root_, "pageproperties");
}

OmResult HtmlPage::GetLinkBox(int32_t link, int32_t n, HtmlBox* out) {
    if (!out) return OM_E_FAIL;
    return getHtmlLinkBox(root_, link, n, out) ? OM_S_OK : OM_E_FAIL;
}

// ---- browser ----

HtmlBrowserBase::~HtmlBrowserBase() {
    releaseShared();
}

OmResult HtmlBrowserBase::init() {
    OmResult r = OmCreate(CLSID_ObjHash, IID_IObjHash, &fonts_);
    if (r >= 0) r = OmCreate(CLSID_ObjHash, IID_IObjHash, &images_);
    if (r >= 0) r = OmCreate(CLSID_ObjHash, IID_IObjHash, &pages_);
    if (r >= 0) r = OmCreate(CLSID_ImageProc, IID_IImageProc, &image_proc_);
    if (r >= 0) r = OmCreate(CLSID_ObjHash, IID_IObjHash, &settings_);
    for (const DefaultSetting& s : default_settings) {
        if (r >= 0) r = settings_->SetInt(s.key, s.value);
    }
    return r < 0 ? r : OM_S_OK;
}

void HtmlBrowserBase::releaseShared() {
    // Pages held elsewhere live on without a browser.
    for (HtmlPage* page : live_pages_) page->owner_ = nullptr;
    live_pages_.clear();
    release_slot(image_proc_);
    release_slot(storage_);
    release_slot(fonts_);
    release_slot(images_);
    release_slot(pages_);
    release_slot(settings_);
}

void HtmlBrowserBase::bindStorage(IFileStorage* storage) {
    if (storage) storage->AddRef();
    release_slot(storage_);
    storage_ = storage;
}

void HtmlBrowserBase::forgetPage(HtmlPage* page) {
    pageRetiring(page);
    auto it = std::find(live_pages_.begin(), live_pages_.end(), page);
    if (it != live_pages_.end()) live_pages_.erase(it);
}

OmResult HtmlBrowserBase::preparePage(HtmlPage*) {
    return OM_S_OK;
}

OmResult HtmlBrowserBase::layoutPage(HtmlPage* page, int32_t width, int32_t height) {
    const OmRect rect{0, 0, width, height};
    layoutHtmlDocument(page->root(), settings_, &rect);
    return OM_S_OK;
}

OmResult HtmlBrowserBase::createPage(IByteStream* stream, const char* base_directory,
                                     HtmlPage** out) {
    *out = nullptr;
    HtmlPage* page = nullptr;
    OmResult r = om_new_component(&page);
    if (r < 0) return r;
    IObjHash* root = nullptr;
    r = parseHtmlDocument(stream, &root);
    if (r < 0 || !root) {
        page->Release();
        return r < 0 ? r : OM_E_FAIL;
    }
    page->root_ = root;
    std::strncpy(page->base_directory_, base_directory, HTML_BROWSER_PATH_CAPACITY - 1);
    page->owner_ = this;
    live_pages_.push_back(page);
    resetHtmlLinkStates(root);
    *out = page;
    return OM_S_OK;
}

OmResult HtmlBrowserBase::LoadPage(const char* path, IHTMLPage** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!path || std::strlen(path) >= HTML_BROWSER_PATH_CAPACITY) return OM_E_FAIL;
    if (IUnknown* cached = pages_->Get(path)) {
        return cached->QueryInterface(IID_IHTMLPage, reinterpret_cast<void**>(out));
    }
    if (!storage_) return OM_E_FAIL;
    ComRef<IByteStream> stream;
    OmResult r = storage_->Open(path, OM_OPEN_READ, OM_OPEN_BINARY, stream.put());
    if (r < 0) return r;
    HtmlPage* page = nullptr;
    r = createPage(stream.get(), base_path_, &page);
    stream.reset();
    if (r < 0) return r;
    htmlPageDirectory(path, page->base_directory_);
    if ((r = preparePage(page)) < 0) {
        page->Release();
        return r;
    }
    if ((r = pages_->Set(path, page->identity())) < 0) {
        page->Release();
        return r;
    }
    page->AddRef();
    *out = page;
    return OM_S_OK;
}

OmResult HtmlBrowserBase::ParsePage(IByteStream* stream, IHTMLPage** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (!stream) return OM_E_FAIL;
    HtmlPage* page = nullptr;
    OmResult r = createPage(stream, base_path_, &page);
    if (r < 0) return r;
    if ((r = preparePage(page)) < 0) {
        page->Release();
        return r;
    }
    *out = page;
    return OM_S_OK;
}

OmResult HtmlBrowserBase::ClearCaches() {
    fonts_->RemoveAll();
    images_->RemoveAll();
    pages_->RemoveAll();
    return OM_S_OK;
}

OmResult HtmlBrowserBase::SetRect(const OmRect* rect) {
    if (!rect) return OM_E_FAIL;
    view_ = *rect;
    return OM_S_OK;
}

OmResult HtmlBrowserBase::SetScale(float horizontal, float vertical) {
    scale_[0] = horizontal;
    scale_[1] = vertical;
    return OM_S_OK;
}

OmResult HtmlBrowserBase::GetRect(OmRect* out) {
    if (!out) return OM_E_FAIL;
    *out = view_;
    return OM_S_OK;
}

OmResult HtmlBrowserBase::SetPath(const char* path) {
    if (!path) return OM_E_FAIL;
    const size_t length = std::strlen(path);
    if (length > HTML_BROWSER_PATH_LIMIT) return OM_E_FAIL;
    std::memcpy(base_path_, path, length + 1);
    return OM_S_OK;
}

OmResult HtmlBrowserBase::GetPath(char* buffer, uint32_t size) {
    const size_t length = std::strlen(base_path_);
    if (!buffer || size < length + 1) return OM_E_FAIL;
    std::memcpy(buffer, base_path_, length + 1);
    return OM_S_OK;
}
