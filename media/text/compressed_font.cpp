// CompressedFont: every glyph of a face from one font.cft below "fonts/compressed/", read on
// the first request and decoded again at every draw in the text colour.
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_service.h"
#include "media/raster/raster_access.h"
#include "media/text/bitmap_font_properties.h"
#include "media/text/cft_file.h"
#include "media/text/font_paths.h"
#include "media/text/shared_os_reference.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

class CompressedFont final : public OmObject<CompressedFont, IFont> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        OmResult r = properties_.set(id, value, OM_FONT_COLOUR);
        if (r >= 0) font_.reset();
        return r;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return properties_.get(id, value, OM_FONT_COLOUR);
    }
    OmResult Reset() override {
        properties_ = {};
        font_.reset();
        return OM_S_OK;
    }

    OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) override {
        if (!om_glyph_rect_fits(rect, target)) return OM_E_FAIL;
        const OmCftGlyph* glyph = nullptr;
        OmResult r = find_glyph(code, &glyph);
        if (r < 0) return r;
        if (glyph->width == 0 || font_->height == 0) return OM_S_OK;
        IRaster* raster = nullptr;
        if ((r = OmNewMemoryRaster(glyph->width, font_->height, OM_FORMAT_ARGB4444, &raster)) < 0)
            return r;
        {
            OmRasterLock lock(raster, OM_LOCK_WRITE);
            if ((r = lock.result()) >= 0) {
                for (uint32_t y = 0; y < font_->height; ++y)
                    std::memset(lock.row(y), 0, size_t(glyph->width) * 2);
                om_decode_cft_glyph(font_->data.data() + glyph->offset, glyph->length, glyph->width,
                                    font_->height, properties_.colour, lock.row(0), lock.stride());
            }
        }
        if (r >= 0) {
            OmRect place{rect->x, rect->y, std::min(rect->width, int32_t(glyph->width)),
                         std::min(rect->height, int32_t(font_->height))};
            OmRect source{0, 0, place.width, place.height};
            r = target->BlitConvert(&place, raster, &source, OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
        }
        raster->Release();
        return r;
    }

    OmResult GetGlyphWidth(uint16_t code, IRaster*, int32_t* width) override {
        if (!width) return OM_E_FAIL;
        const OmCftGlyph* glyph = nullptr;
        OmResult r = find_glyph(code, &glyph);
        if (r < 0) return r;
        *width = int32_t(glyph->width);
        return OM_S_OK;
    }

private:
    // The code's glyph, reading the file first when nothing is loaded. OM_E_FAIL for a code
    // without one; the storage's or reader's failure (nothing stays loaded).
    OmResult find_glyph(uint16_t code, const OmCftGlyph** out) {
        if (!font_) {
            OmResult r = load();
            if (r < 0) return r;
        }
        *out = font_->glyph(code);
        return *out ? OM_S_OK : OM_E_FAIL;
    }

    OmResult load() {
        std::string path;
        OmResult r =
            om_font_directory("fonts/compressed/", '/', properties_.family, properties_.size,
                              properties_.bold, properties_.italic, &path);
        if (r < 0) return r;
        path += "font.cft";
        IFileStorage* storage = nullptr;
        if ((r = OmCreate(CLSID_Storage, IID_IFileStorage, &storage)) < 0) return r;
        IByteStream* stream = nullptr;
        r = storage->Open(path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, &stream);
        storage->Release();
        if (r < 0) return r;
        OmCftFont font;
        r = om_read_cft(stream, &font);
        stream->Release();
        if (r < 0) return r;
        font_ = std::move(font);
        return OM_S_OK;
    }

    OmSharedOSReference os_;
    OmBitmapFontProperties properties_;
    std::optional<OmCftFont> font_;
};

const OmClassRecord classes[] = {
    {&CLSID_CompressedFont, nullptr, nullptr, OmCreateComponent<CompressedFont>, "CompressedFont"},
};

} // namespace

OM_DEFINE_MODULE(CompressedFont, classes)
