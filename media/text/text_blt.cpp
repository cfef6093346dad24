// TextBlt: text laid out in a box of a target raster by blitting glyphs from the cache's
// pages, with line breaks and wrapping.
#include "framework/core/component.h"
#include "media/raster/pixel_channels.h"
#include "media/raster/raster_access.h"
#include "media/text/shared_os_reference.h"
#include "media/text/text_font_binding.h"
#include "media/text/text_renderer.h"

namespace {

constexpr int32_t default_pen = 50;
constexpr uint32_t opaque = 0xFF000000u;
constexpr uint16_t wide_line_break = 10;
constexpr uint16_t narrow_line_break = 13;
constexpr uint16_t narrow_skipped = 10;

class TextBlt final : public OmObject<TextBlt, ITextBlt>, OmTextFontHolder {
public:
    OmResult init() { return Reset(); }
    ~TextBlt() {
        release_font_and_cache();
        if (target_) target_->Release();
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ITextBlt, this}});
    }

    OmResult Reset() override {
        pen_x_ = pen_y_ = default_pen;
        colour_ = opaque;
        return OM_S_OK;
    }

    OmResult SetFont(IFont* font) override { return set_text_font(font, in_batch_); }
    OmResult GetFont(IFont** out) override { return get_text_font(out); }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        int32_t v = int32_t(value);
        switch (id) {
        case OM_TEXT_COLOUR: colour_ = uint32_t(value) | opaque; break;
        case OM_TEXT_BACKGROUND: background_ = uint32_t(value) | opaque; break;
        case 4: flag4_ = v; break;
        case 5: flag5_ = v; break;
        case OM_TEXT_COLOUR_KEY_MODE: key_mode_ = v; break;
        case OM_TEXT_DRAW_SPACES: draw_spaces_ = v; break;
        case 8: flag8_ = v; break;
        case OM_TEXT_PEN_X: pen_x_ = v; break;
        case OM_TEXT_PEN_Y: pen_y_ = v; break;
        case OM_TEXT_TARGET: return set_target(reinterpret_cast<IRaster*>(value));
        case OM_TEXT_CACHE: hold_text_cache(reinterpret_cast<IFontCache*>(value)); break;
        case OM_TEXT_WIDE: wide_ = v; break;
        case OM_TEXT_TOP: top_ = v; break;
        case OM_TEXT_BOTTOM: bottom_ = v; break;
        case OM_TEXT_LEFT: left_ = v; break;
        case OM_TEXT_RIGHT: right_ = v; break;
        default: return OM_E_FAIL;
        }
        return OM_S_OK;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        if (!value) return OM_E_FAIL;
        switch (id) {
        case OM_TEXT_COLOUR: *value = colour_; break;
        case OM_TEXT_BACKGROUND: *value = background_; break;
        case 4: *value = flag4_; break;
        case 5: *value = flag5_; break;
        case OM_TEXT_COLOUR_KEY_MODE: *value = key_mode_; break;
        case OM_TEXT_DRAW_SPACES: *value = draw_spaces_; break;
        case 8: *value = flag8_; break;
        case OM_TEXT_PEN_X: *value = pen_x_; break;
        case OM_TEXT_PEN_Y: *value = pen_y_; break;
        case OM_TEXT_TARGET: *value = reinterpret_cast<intptr_t>(target_); break;
        case OM_TEXT_CACHE: *value = reinterpret_cast<intptr_t>(cache_); break;
        case OM_TEXT_WIDE: *value = wide_; break;
        case OM_TEXT_TOP: *value = top_; break;
        case OM_TEXT_BOTTOM: *value = bottom_; break;
        case OM_TEXT_LEFT: *value = left_; break;
        case OM_TEXT_RIGHT: *value = right_; break;
        default: return OM_E_FAIL;
        }
        return OM_S_OK;
    }

    OmResult DrawText(const void* text) override {
        if (!target_ || !cache_ || !text) return OM_E_FAIL;
        intptr_t size = 0;
        if (const OmResult r = ready_text_font(&size); r < 0) return r;
        line_height_ = int32_t(size);
        if (pen_y_ >= int32_t(target_->GetHeight())) return OM_S_OK;
        const auto* narrow = static_cast<const uint8_t*>(text);
        const auto* wide = static_cast<const uint16_t*>(text);
        OmResult result = OM_S_OK;
        for (size_t i = 0;; ++i) {
            uint16_t c = wide_ ? wide[i] : narrow[i];
            if (!c) break;
            if (c == (wide_ ? wide_line_break : narrow_line_break)) {
                if (!break_line()) return OM_S_OK;
                continue;
            }
            if (!wide_ && c == narrow_skipped) continue;
            IRaster* page = nullptr;
            OmRect rect{};
            result = cache_->GetGlyph(font_, c, &page, &rect);
            if (result == OM_E_FONT_CACHE_FULL) {
                cache_full_ = true;
                continue;
            }
            if (result < 0) return result;
            if (key_mode_ == 0) key_page_by_first_pixel(page);
            if (pen_x_ + rect.width >= right_ && !break_line()) return OM_S_OK;
            OmRect place{pen_x_, pen_y_, rect.width, line_height_};
            pen_x_ += rect.width;
            if (c == ' ' && !draw_spaces_) continue;
            target_->BlitConvert(&place, page, &rect, OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
        }
        return result;
    }

    OmResult Empty(intptr_t) override { return OM_S_OK; }
    OmResult Begin() override {
        in_batch_ = true;
        return OM_S_OK;
    }
    OmResult End() override {
        in_batch_ = false;
        return OM_S_OK;
    }

private:
    OmResult set_target(IRaster* target) {
        if (target) target->AddRef();
        if (target_) target_->Release();
        target_ = target;
        if (target_) {
            left_ = top_ = 0;
            right_ = int32_t(target_->GetWidth());
            bottom_ = int32_t(target_->GetHeight());
        }
        return OM_S_OK;
    }

    // Moves the pen to the start of the next line; false when that is at the bottom edge.
    bool break_line() {
        pen_y_ += line_height_;
        pen_x_ = left_;
        return pen_y_ < bottom_;
    }

    // The page's first pixel becomes its colour key.
    static void key_page_by_first_pixel(IRaster* page) {
        uint32_t bytes = om_pixel_bits(page->GetFormat()) / 8;
        if (bytes != 1 && bytes != 2 && bytes != 4) return;
        uint32_t key;
        {
            OmRasterLock lock(page, OM_LOCK_READ);
            if (lock.result() < 0) return;
            key = om_read_pixel(lock.row(0), bytes);
        }
        page->SetProperty(OM_RASTER_COLOUR_KEY, key);
        page->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
    }

    OmSharedOSReference os_;
    IRaster* target_ = nullptr;
    bool in_batch_ = false;
    bool cache_full_ = false;
    int32_t pen_x_ = default_pen;
    int32_t pen_y_ = default_pen;
    int32_t line_height_ = 0;
    uint32_t colour_ = opaque;
    uint32_t background_ = opaque;
    int32_t flag4_ = 0;
    int32_t flag5_ = 0;
    int32_t key_mode_ = 0;
    int32_t draw_spaces_ = 0;
    int32_t flag8_ = 0;
    int32_t wide_ = 0;
    int32_t top_ = 0;
    int32_t bottom_ = 0;
    int32_t left_ = 0;
    int32_t right_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_TextBlt, nullptr, nullptr, OmCreateComponent<TextBlt>, "TextBlt"},
};

} // namespace

OM_DEFINE_MODULE(TextBlt, classes)
