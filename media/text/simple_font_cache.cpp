// SimpleFontCache: glyphs packed into pages by the rectangle packer, kept until their font
// is removed or the cache cleared; a full cache refuses new glyphs.
#include "framework/containers/rect_packer.h"
#include "framework/core/component.h"
#include "media/text/font_cache.h"
#include "media/text/shared_os_reference.h"

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace {

struct CachedGlyph {
    OmRect rect;
    uint32_t page;
};

struct CachePage {
    IRaster* raster = nullptr;
    OmRectPacker packer{};

    CachePage() = default;
    CachePage(const CachePage&) = delete;
    CachePage& operator=(const CachePage&) = delete;
    ~CachePage() {
        OmRectPackerRelease(&packer);
        if (raster) raster->Release();
    }
};

class SimpleFontCache final : public OmObject<SimpleFontCache, IFontCache> {
public:
    ~SimpleFontCache() {
        Clear();
        if (target_) target_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFontCache, this}});
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        if (id != OM_FONT_CACHE_PAGE_LIMIT) return OM_E_FAIL;
        page_limit_ = uint32_t(value);
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (!value) return OM_E_FAIL;
        if (id == OM_FONT_CACHE_PAGE_LIMIT)
            *value = page_limit_;
        else if (id == OM_FONT_CACHE_BATCH_PROTECTION)
            *value = 0;
        else
            return OM_E_FAIL;
        return OM_S_OK;
    }
    OmResult Reset() override {
        page_limit_ = 0;
        return OM_S_OK;
    }

    OmResult SetTarget(IRasterCreate* factory) override {
        if (!factory || target_) return OM_E_FAIL;
        intptr_t width = 0, height = 0;
        if (factory->GetProperty(OM_RASTER_WIDTH, &width) < 0 ||
            factory->GetProperty(OM_RASTER_HEIGHT, &height) < 0 || width < 1 || height < 1)
            return OM_E_FAIL;
        if (factory->IsPropertySet(OM_RASTER_FORMAT_PREFERENCE) != 1)
            factory->SetProperty(OM_RASTER_FORMAT_PREFERENCE, 1);
        if (factory->IsPropertySet(10) != 1) factory->SetProperty(10, 1);
        factory->AddRef();
        target_ = factory;
        page_width_ = int32_t(width);
        page_height_ = int32_t(height);
        return OM_S_OK;
    }
    OmResult GetTarget(IRasterCreate** out) override {
        if (!out) return OM_E_FAIL;
        *out = target_;
        return target_ ? OM_S_OK : OM_E_FAIL;
    }

    OmResult GetGlyph(IFont* font, uint16_t code, IRaster** page, OmRect* rect) override {
        if (!font || !page || !rect) return OM_E_FAIL;
        auto table = fonts_.find(font);
        if (table == fonts_.end()) {
            OmResult r = AddFont(font);
            if (r < 0) return r;
            table = fonts_.find(font);
        }
        auto known = table->second.find(code);
        if (known != table->second.end()) {
            *page = pages_[known->second.page]->raster;
            *rect = known->second.rect;
            return OM_S_OK;
        }
        if (!target_) return OM_E_FAIL;
        int32_t width = 0;
        intptr_t height = 0;
        OmResult r = font->GetGlyphWidth(code, nullptr, &width);
        if (r < 0) return r;
        if ((r = font->GetProperty(OM_FONT_SIZE, &height)) < 0) return r;
        if (width < 0 || height < 0 || width > page_width_ || height > page_height_)
            return OM_E_FAIL;
        CachedGlyph glyph{};
        if ((r = place(width, int32_t(height), &glyph)) < 0) return r;
        IRaster* raster = pages_[glyph.page]->raster;
        if (glyph.rect.width > 0 && glyph.rect.height > 0 &&
            (r = font->DrawGlyph(code, raster, &glyph.rect)) < 0) {
            free_area(glyph);
            return r;
        }
        table->second.emplace(code, glyph);
        *page = raster;
        *rect = glyph.rect;
        return OM_S_OK;
    }

    OmResult AddFont(IFont* font) override {
        if (!font) return OM_E_FAIL;
        if (fonts_.count(font)) return OM_S_OK;
        font->AddRef();
        fonts_.emplace(font, GlyphTable{});
        return OM_S_OK;
    }
    OmResult IsFontNew(IFont* font) override {
        return fonts_.count(font) ? OM_S_FONT_KNOWN : OM_S_FONT_NEW;
    }
    OmResult RemoveFont(IFont* font) override {
        auto table = fonts_.find(font);
        if (table == fonts_.end()) return OM_E_FAIL;
        for (auto& [code, glyph] : table->second) free_area(glyph);
        fonts_.erase(table);
        font->Release();
        return OM_S_OK;
    }
    OmResult Clear() override {
        while (!fonts_.empty()) RemoveFont(fonts_.begin()->first);
        pages_.clear();
        return OM_S_OK;
    }
    OmResult Empty(intptr_t) override { return OM_S_OK; }
    OmResult BeginBatch() override { return OM_S_OK; }
    OmResult EndBatch() override { return OM_S_OK; }

private:
    using GlyphTable = std::unordered_map<uint16_t, CachedGlyph>;

    // An area of the size on the first page with room, or on a new page.
    OmResult place(int32_t width, int32_t height, CachedGlyph* glyph) {
        glyph->rect = {0, 0, width, height};
        if (width == 0 || height == 0) {
            // Nothing to draw: an empty rectangle on the first page (made when none exists).
            if (pages_.empty()) {
                OmResult r = add_page();
                if (r < 0) return r;
            }
            glyph->page = 0;
            return OM_S_OK;
        }
        for (uint32_t i = 0; i < pages_.size(); ++i) {
            if (OmRectPackerAlloc(&pages_[i]->packer, width, height, &glyph->rect) == OM_S_OK) {
                glyph->page = i;
                return OM_S_OK;
            }
        }
        if (page_limit_ && pages_.size() >= page_limit_) return OM_E_FAIL;
        OmResult r = add_page();
        if (r < 0) return r;
        glyph->page = uint32_t(pages_.size() - 1);
        return OmRectPackerAlloc(&pages_.back()->packer, width, height, &glyph->rect);
    }

    OmResult add_page() {
        auto page = std::make_unique<CachePage>();
        OmResult r = target_->CreateRaster(&page->raster);
        if (r < 0) return r;
        if ((r = OmRectPackerInit(&page->packer, page_width_, page_height_)) < 0) return r;
        pages_.push_back(std::move(page));
        return OM_S_OK;
    }

    void free_area(const CachedGlyph& glyph) {
        if (glyph.rect.width > 0 && glyph.rect.height > 0 && glyph.page < pages_.size())
            OmRectPackerFree(&pages_[glyph.page]->packer, &glyph.rect);
    }

    OmSharedOSReference os_;
    uint32_t page_limit_ = 0;
    IRasterCreate* target_ = nullptr;
    int32_t page_width_ = 0;
    int32_t page_height_ = 0;
    std::vector<std::unique_ptr<CachePage>> pages_;
    std::map<IFont*, GlyphTable> fonts_;
};

const OmClassRecord classes[] = {
    {&CLSID_SimpleFontCache, nullptr, nullptr, OmCreateComponent<SimpleFontCache>,
     "SimpleFontCache"},
};

} // namespace

OM_DEFINE_MODULE(SimpleFontCache, classes)
