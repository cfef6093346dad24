// FontCache: glyph pages owned by one font each, cut into shelves one font height high;
// least recently used glyphs and fonts make room, glyphs used in the current batch are kept,
// and shelves with holes are compacted when the batch ends.
#include "media/text/font_cache.h"
#include "framework/core/component.h"
#include "media/raster/raster_access.h"
#include "media/text/shared_os_reference.h"

#include <algorithm>
#include <cstring>
#include <list>
#include <unordered_map>
#include <vector>

namespace {

constexpr uint32_t default_page_limit = 20;
constexpr uint32_t low_depth_page_format = OM_FORMAT_ARGB1555;
// A lookup that keeps freeing space without placing its glyph gives up after this many
// rounds (every round frees a glyph, a page or a font, so it ends well before).
constexpr uint32_t max_rounds = 1u << 20;

struct FontRecord;
struct PageRecord;
struct LineRecord;

struct GlyphRecord {
    uint16_t code;
    int32_t width;
    int32_t x;
    LineRecord* line;
    PageRecord* page;
    std::list<GlyphRecord*>::iterator in_line;
    std::list<GlyphRecord*>::iterator in_font;
};

struct LineRecord {
    int32_t y;
    std::list<GlyphRecord*> glyphs; // right-most first
};

struct PageRecord {
    IRaster* raster = nullptr; // handed out with each glyph
    IRaster* copy = nullptr;   // the font draws into it
    uint32_t free_lines = 0;
    std::list<LineRecord*> lines; // top first
    FontRecord* font = nullptr;
};

struct FontRecord {
    IFont* font = nullptr;
    int32_t height = 0;
    std::list<GlyphRecord*> glyphs; // most recently used first
    std::unordered_map<uint16_t, GlyphRecord*> by_code;
    GlyphRecord* batch_mark = nullptr;
    std::list<PageRecord*> pages; // oldest first
    std::list<FontRecord*>::iterator in_fonts;
    bool in_overflow = false;
    bool in_compaction = false;
};

class FontCache final : public OmObject<FontCache, IFontCache> {
public:
    OmResult init() { return Reset(); }
    ~FontCache() {
        Clear();
        if (target_) target_->Release();
        if (copy_factory_) copy_factory_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFontCache, this}});
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        if (id == OM_FONT_CACHE_BATCH_PROTECTION) {
            batch_protection_ = value != 0;
            return OM_S_OK;
        }
        if (id != OM_FONT_CACHE_PAGE_LIMIT || value <= 0) return OM_E_FAIL;
        page_limit_ = uint32_t(value);
        while (pages_in_use_ > page_limit_ && !fonts_.empty()) remove_font(fonts_.back());
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (!value) return OM_E_FAIL;
        if (id == OM_FONT_CACHE_PAGE_LIMIT)
            *value = page_limit_;
        else if (id == OM_FONT_CACHE_BATCH_PROTECTION)
            *value = batch_protection_;
        else
            return OM_E_FAIL;
        return OM_S_OK;
    }
    OmResult Reset() override {
        page_limit_ = default_page_limit;
        batch_protection_ = true;
        while (pages_in_use_ > page_limit_ && !fonts_.empty()) remove_font(fonts_.back());
        return OM_S_OK;
    }

    OmResult SetTarget(IRasterCreate* factory) override {
        if (!factory) return OM_E_FAIL;
        intptr_t width = 0, height = 0, format = 0;
        if (factory->GetProperty(OM_RASTER_WIDTH, &width) < 0 ||
            factory->GetProperty(OM_RASTER_HEIGHT, &height) < 0 || width < 1 || height < 1)
            return OM_E_FAIL;
        if (factory->GetProperty(OM_RASTER_FORMAT, &format) < 0 ||
            om_pixel_bits(uint32_t(format)) < 16)
            format = low_depth_page_format;
        IRasterCreate* copies = nullptr;
        OmResult r = OmNewRasterDescription(&copies);
        if (r < 0) return r;
        copies->SetProperty(OM_RASTER_KIND, OM_RASTER_KIND_PICTURE);
        copies->SetProperty(OM_RASTER_WIDTH, width);
        copies->SetProperty(OM_RASTER_HEIGHT, height);
        copies->SetProperty(OM_RASTER_FORMAT, format);
        Clear();
        factory->AddRef();
        if (target_) target_->Release();
        if (copy_factory_) copy_factory_->Release();
        target_ = factory;
        copy_factory_ = copies;
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
        FontRecord* record = find(font);
        if (!record) {
            OmResult r = AddFont(font);
            if (r < 0) return r;
            record = find(font);
        }
        fonts_.splice(fonts_.begin(), fonts_, record->in_fonts);
        if (in_batch_ && !batch_font_mark_) batch_font_mark_ = record;
        auto known = record->by_code.find(code);
        if (known != record->by_code.end()) {
            GlyphRecord* glyph = known->second;
            if (!record->batch_mark) {
                record->batch_mark = glyph;
            } else if (record->batch_mark == glyph && glyph != record->glyphs.front()) {
                record->batch_mark = *std::prev(glyph->in_font);
            }
            record->glyphs.splice(record->glyphs.begin(), record->glyphs, glyph->in_font);
            answer(record, glyph, page, rect);
            return OM_S_OK;
        }
        return place_new_glyph(record, code, page, rect);
    }

    OmResult AddFont(IFont* font) override {
        if (!font) return OM_E_FAIL;
        if (find(font)) return OM_S_OK;
        intptr_t height = 0;
        OmResult r = font->GetProperty(OM_FONT_SIZE, &height);
        if (r < 0) return r;
        auto* record = new (std::nothrow) FontRecord;
        if (!record) return OM_E_OUTOFMEMORY;
        font->AddRef();
        record->font = font;
        record->height = int32_t(height);
        fonts_.push_front(record);
        record->in_fonts = fonts_.begin();
        by_font_.emplace(font, record);
        return OM_S_OK;
    }
    OmResult IsFontNew(IFont* font) override {
        return find(font) ? OM_S_FONT_KNOWN : OM_S_FONT_NEW;
    }
    OmResult RemoveFont(IFont* font) override {
        FontRecord* record = find(font);
        if (!record) return OM_E_FAIL;
        remove_font(record);
        return OM_S_OK;
    }
    OmResult Clear() override {
        while (!fonts_.empty()) remove_font(fonts_.front());
        return OM_S_OK;
    }
    OmResult Empty(intptr_t) override { return OM_S_OK; }

    OmResult BeginBatch() override {
        if (in_batch_) return OM_S_OK;
        in_batch_ = true;
        batch_font_mark_ = nullptr;
        overflow_.clear();
        compaction_.clear();
        for (FontRecord* f : fonts_) {
            f->batch_mark = nullptr;
            f->in_overflow = f->in_compaction = false;
        }
        return OM_S_OK;
    }

    OmResult EndBatch() override {
        if (!in_batch_) return OM_S_OK;
        in_batch_ = false;
        std::vector<FontRecord*> overflow = std::move(overflow_);
        overflow_.clear();
        for (FontRecord* f : overflow) {
            if (!f->batch_mark) {
                remove_font(f);
                continue;
            }
            while (f->glyphs.back() != f->batch_mark) remove_glyph(f->glyphs.back());
            join(compaction_, f, &FontRecord::in_compaction);
        }
        std::vector<FontRecord*> compaction = std::move(compaction_);
        compaction_.clear();
        for (FontRecord* f : compaction) compact(f);
        return OM_S_OK;
    }

private:
    FontRecord* find(IFont* font) {
        auto found = by_font_.find(font);
        return found == by_font_.end() ? nullptr : found->second;
    }

    static void answer(FontRecord* font, GlyphRecord* glyph, IRaster** page, OmRect* rect) {
        *page = glyph->page->raster;
        *rect = {glyph->x, glyph->line->y, glyph->width, font->height};
    }

    // Lists of fonts that a font joins once per batch.
    static void join(std::vector<FontRecord*>& list, FontRecord* font, bool FontRecord::*member) {
        if (font->*member) return;
        font->*member = true;
        list.push_back(font);
    }

    OmResult place_new_glyph(FontRecord* font, uint16_t code, IRaster** page, OmRect* rect) {
        if (font->height < 1 || font->height > page_height_) return OM_E_FAIL;
        int32_t width = -1;
        uint32_t attempt = pages_in_use_;
        for (uint32_t round = 0; round < max_rounds && attempt <= page_limit_ + 1; ++round) {
            if (!font->pages.empty()) {
                if (width < 0) {
                    OmResult r =
                        font->font->GetGlyphWidth(code, font->pages.front()->raster, &width);
                    if (r < 0) return r;
                    if (width > page_width_ || width < 0) return OM_E_FAIL;
                }
                LineRecord* line = nullptr;
                PageRecord* target_page = nullptr;
                int32_t x = 0;
                if (find_space(font, width, &target_page, &line, &x))
                    return place(font, code, width, target_page, line, x, page, rect);
            }
            if (pages_in_use_ < page_limit_) {
                OmResult r = new_page(font);
                if (r < 0) return r;
                ++attempt;
                continue;
            }
            bool give_up_elsewhere = true;
            if (width >= 0) {
                GlyphRecord* victim = choose_victim(font, width);
                if (victim) {
                    give_up_elsewhere =
                        (in_batch_ && victim == font->batch_mark) || victim == font->glyphs.front();
                    remove_glyph(victim);
                }
            }
            if (give_up_elsewhere) {
                join(overflow_, font, &FontRecord::in_overflow);
                FontRecord* oldest = fonts_.back();
                if (oldest == batch_font_mark_ || (oldest == font && oldest->pages.empty())) {
                    rect->width = std::max(width, 0);
                    return OM_E_FONT_CACHE_FULL;
                }
                if (!oldest->pages.empty())
                    remove_page(oldest->pages.back());
                else
                    remove_font(oldest);
            }
        }
        rect->width = std::max(width, 0);
        return OM_E_FONT_CACHE_FULL;
    }

    // The first space of the width in the font's lines, adding lines to pages that have free
    // ones.
    bool find_space(FontRecord* font, int32_t width, PageRecord** page_out, LineRecord** line_out,
                    int32_t* x_out) {
        for (PageRecord* page : font->pages) {
            for (LineRecord* line : page->lines) {
                if (space_in_line(line, width, x_out)) {
                    *page_out = page;
                    *line_out = line;
                    return true;
                }
            }
            if (page->free_lines > 0) {
                auto* line = new (std::nothrow) LineRecord;
                if (!line) return false;
                line->y = page->lines.empty() ? 0 : page->lines.back()->y + font->height;
                page->lines.push_back(line);
                --page->free_lines;
                *page_out = page;
                *line_out = line;
                *x_out = 0;
                return true;
            }
        }
        return false;
    }

    bool space_in_line(LineRecord* line, int32_t width, int32_t* x_out) const {
        int32_t right_edge = page_width_;
        for (GlyphRecord* glyph : line->glyphs) {
            int32_t end = glyph->x + glyph->width;
            if (right_edge - end >= width) {
                *x_out = end;
                return true;
            }
            right_edge = glyph->x;
        }
        if (line->glyphs.empty()) {
            *x_out = 0;
            return true;
        }
        return false;
    }

    // The least recently used glyph whose removal leaves room for the width, walking towards
    // the front but not past the batch's protected glyphs.
    GlyphRecord* choose_victim(FontRecord* font, int32_t width) {
        bool protect = in_batch_ && batch_protection_ && font->batch_mark;
        for (auto it = font->glyphs.rbegin(); it != font->glyphs.rend(); ++it) {
            GlyphRecord* glyph = *it;
            if (protect && glyph == font->batch_mark) break;
            LineRecord* line = glyph->line;
            bool right_most = line->glyphs.front() == glyph;
            int32_t room =
                right_most ? page_width_ - glyph->x : (*std::prev(glyph->in_line))->x - glyph->x;
            if (glyph->width == width || (glyph->width > width && right_most)) return glyph;
            if (room >= width) {
                if (!right_most) join(compaction_, font, &FontRecord::in_compaction);
                return glyph;
            }
        }
        return nullptr;
    }

    OmResult place(FontRecord* font, uint16_t code, int32_t width, PageRecord* page,
                   LineRecord* line, int32_t x, IRaster** page_out, OmRect* rect) {
        auto* glyph = new (std::nothrow) GlyphRecord{code, width, x, line, page, {}, {}};
        if (!glyph) return OM_E_OUTOFMEMORY;
        auto position = std::find_if(line->glyphs.begin(), line->glyphs.end(),
                                     [x](GlyphRecord* g) { return g->x < x; });
        glyph->in_line = line->glyphs.insert(position, glyph);
        font->glyphs.push_front(glyph);
        glyph->in_font = font->glyphs.begin();
        font->by_code.emplace(code, glyph);
        answer(font, glyph, page_out, rect);
        if (width > 0 && font->height > 0) {
            if (font->font->DrawGlyph(code, page->copy, rect) < 0) {
                remove_glyph(glyph);
                return OM_E_FAIL;
            }
            page->raster->BlitConvert(nullptr, page->copy, nullptr,
                                      OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
        }
        return OM_S_OK;
    }

    OmResult new_page(FontRecord* font) {
        if (!target_ || !copy_factory_) return OM_E_FAIL;
        auto* page = new (std::nothrow) PageRecord;
        if (!page) return OM_E_OUTOFMEMORY;
        uint32_t black = 0;
        if (target_->CreateRaster(&page->raster) < 0 ||
            copy_factory_->CreateRaster(&page->copy) < 0 ||
            page->copy->FillRect(nullptr, &black) < 0) {
            release_page_rasters(page);
            delete page;
            return OM_E_FAIL;
        }
        ++pages_in_use_;
        page->font = font;
        page->free_lines = uint32_t(page_height_ / font->height);
        font->pages.push_back(page);
        return OM_S_OK;
    }

    static void release_page_rasters(PageRecord* page) {
        if (page->raster) page->raster->Release();
        if (page->copy) page->copy->Release();
        page->raster = page->copy = nullptr;
    }

    void remove_glyph(GlyphRecord* glyph) {
        FontRecord* font = glyph->page->font;
        if (font->batch_mark == glyph) {
            // The mark passes to the next more recently used glyph, if any.
            font->batch_mark =
                glyph->in_font == font->glyphs.begin() ? nullptr : *std::prev(glyph->in_font);
        }
        glyph->line->glyphs.erase(glyph->in_line);
        font->glyphs.erase(glyph->in_font);
        font->by_code.erase(glyph->code);
        delete glyph;
    }

    void remove_page(PageRecord* page) {
        FontRecord* font = page->font;
        for (LineRecord* line : page->lines) {
            while (!line->glyphs.empty()) remove_glyph(line->glyphs.front());
            delete line;
        }
        font->pages.remove(page);
        release_page_rasters(page);
        delete page;
        --pages_in_use_;
    }

    void remove_font(FontRecord* font) {
        while (!font->pages.empty()) remove_page(font->pages.back());
        fonts_.erase(font->in_fonts);
        by_font_.erase(font->font);
        std::erase(overflow_, font);
        std::erase(compaction_, font);
        if (batch_font_mark_ == font) batch_font_mark_ = nullptr;
        IFont* held = font->font;
        delete font;
        held->Release();
    }

    // Closes the holes between neighbouring glyphs of every line, moving the pixels right
    // of each hole left by its width.
    void compact(FontRecord* font) {
        for (PageRecord* page : font->pages) {
            bool moved = false;
            for (LineRecord* line : page->lines) {
                // Left to right: the hole after each glyph is closed before looking further.
                std::vector<GlyphRecord*> left_to_right(line->glyphs.rbegin(), line->glyphs.rend());
                for (size_t i = 0; i + 1 < left_to_right.size(); ++i) {
                    int32_t end = left_to_right[i]->x + left_to_right[i]->width;
                    int32_t hole = left_to_right[i + 1]->x - end;
                    if (hole <= 0) continue;
                    move_block_left(page->copy, left_to_right[i + 1]->x, line->y, font->height,
                                    hole);
                    for (size_t k = i + 1; k < left_to_right.size(); ++k)
                        left_to_right[k]->x -= hole;
                    moved = true;
                }
            }
            if (moved)
                page->raster->BlitConvert(nullptr, page->copy, nullptr,
                                          OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
        }
    }

    // Moves the block from x to the page's right edge, rows y .. y + height - 1, left by
    // `shift` pixels.
    void move_block_left(IRaster* copy, int32_t x, int32_t y, int32_t height, int32_t shift) {
        uint32_t bytes = om_pixel_bits(copy->GetFormat()) / 8;
        OmRasterLock lock(copy, OM_LOCK_READ_WRITE);
        if (lock.result() < 0 || bytes == 0) return;
        int32_t rows = std::min(height, page_height_ - y);
        for (int32_t row = 0; row < rows; ++row) {
            uint8_t* line = lock.row(y + row);
            std::memmove(line + size_t(x - shift) * bytes, line + size_t(x) * bytes,
                         size_t(page_width_ - x) * bytes);
        }
    }

    OmSharedOSReference os_;
    bool in_batch_ = false;
    bool batch_protection_ = true;
    IRasterCreate* target_ = nullptr;
    uint32_t page_limit_ = default_page_limit;
    uint32_t pages_in_use_ = 0;
    int32_t page_width_ = 0;
    int32_t page_height_ = 0;
    std::list<FontRecord*> fonts_; // most recently used first
    std::unordered_map<IFont*, FontRecord*> by_font_;
    FontRecord* batch_font_mark_ = nullptr;
    std::vector<FontRecord*> overflow_;
    std::vector<FontRecord*> compaction_;
    IRasterCreate* copy_factory_ = nullptr;
};

const OmClassRecord classes[] = {
    {&CLSID_FontCache, nullptr, nullptr, OmCreateComponent<FontCache>, "FontCache"},
};

} // namespace

OM_DEFINE_MODULE(FontCache, classes)
