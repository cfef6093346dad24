// GeneralFont: one bitmap and one mask file per character below "fonts\general\", the mask
// made the glyph's alpha; the last glyph loaded is kept for the next request.
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "media/raster/image_codecs.h"
#include "media/raster/image_processor.h"
#include "media/text/bitmap_font_properties.h"
#include "media/text/font_paths.h"
#include "media/text/shared_os_reference.h"

#include <cstdio>

namespace {

constexpr char invalid_stem[] = "invalid";

class GeneralFont final : public OmObject<GeneralFont, IFont> {
public:
    ~GeneralFont() { drop_glyph(); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFont, this}});
    }

    OmResult SetProperty(uint32_t id, intptr_t value) override {
        OmResult r = properties_.set(id, value, OM_FONT_STORED);
        if (r >= 0) drop_glyph();
        return r;
    }
    OmResult GetProperty(uint32_t id, intptr_t* value) override {
        return properties_.get(id, value, OM_FONT_STORED);
    }
    OmResult Reset() override {
        properties_ = {};
        drop_glyph();
        return OM_S_OK;
    }

    OmResult DrawGlyph(uint16_t code, IRaster* target, const OmRect* rect) override {
        if (!om_glyph_rect_fits(rect, target)) return OM_E_FAIL;
        OmResult r = load_glyph(code, target->GetFormat());
        if (r < 0) return r;
        return target->BlitConvert(rect, glyph_, nullptr, OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
    }

    OmResult GetGlyphWidth(uint16_t code, IRaster* target, int32_t* width) override {
        if (!width) return OM_E_FAIL;
        OmResult r = load_glyph(code, target ? target->GetFormat() : 0);
        if (r < 0) return r;
        *width = int32_t(glyph_->GetWidth());
        return OM_S_OK;
    }

private:
    void drop_glyph() {
        if (glyph_) glyph_->Release();
        glyph_ = nullptr;
    }

    // Keeps the glyph of the code in the target's format (0: the files' own format).
    OmResult load_glyph(uint16_t code, uint32_t format) {
        if (glyph_ && code == glyph_code_ && format == glyph_format_) return OM_S_OK;
        drop_glyph();
        std::string directory;
        OmResult r =
            om_font_directory("fonts\\general\\", '\\', properties_.family, properties_.size,
                              properties_.bold, properties_.italic, &directory);
        if (r < 0) return r;
        char stem[8];
        std::snprintf(stem, sizeof stem, "%04X", unsigned(code));
        IRaster* glyph = nullptr;
        if (load_files(directory + stem, &glyph) < 0) {
            warn(code, directory);
            if (load_files(directory + invalid_stem, &glyph) < 0) return OM_E_FAIL;
        }
        if (format && glyph->GetFormat() != format) {
            IRaster* converted = nullptr;
            r = OmNewMemoryRaster(glyph->GetWidth(), glyph->GetHeight(), format, &converted);
            if (r >= 0)
                r = converted->BlitConvert(nullptr, glyph, nullptr,
                                           OM_BLIT_CARRY_KEY | OM_BLIT_CONVERT);
            glyph->Release();
            if (r < 0) {
                if (converted) converted->Release();
                return r;
            }
            glyph = converted;
        }
        glyph_ = glyph;
        glyph_code_ = code;
        glyph_format_ = format;
        return OM_S_OK;
    }

    // stem.bmp, with stem.msk (a BMP picture as well) as its alpha when that loads too.
    static OmResult load_files(const std::string& stem, IRaster** out) {
        IFileStorage* storage = nullptr;
        IObjectRW* bmp = nullptr;
        IImageProc* images = nullptr;
        OmResult r = OmCreate(CLSID_Storage, IID_IFileStorage, &storage);
        if (r >= 0) r = OmCreate(CLSID_Bmp, IID_IObjectRW, &bmp);
        if (r >= 0) r = OmCreate(CLSID_ImageProc, IID_IImageProc, &images);
        IRaster* bitmap = nullptr;
        IRaster* mask = nullptr;
        if (r >= 0) r = read_bmp(storage, bmp, stem + ".bmp", &bitmap);
        if (r >= 0 && read_bmp(storage, bmp, stem + ".msk", &mask) >= 0) {
            IRaster* combined = nullptr;
            r = images->CombineMask(bitmap, mask, &combined);
            mask->Release();
            bitmap->Release();
            bitmap = r >= 0 ? combined : nullptr;
        }
        if (images) images->Release();
        if (bmp) bmp->Release();
        if (storage) storage->Release();
        if (r < 0) return r;
        *out = bitmap;
        return OM_S_OK;
    }

    static OmResult read_bmp(IFileStorage* storage, IObjectRW* bmp, const std::string& path,
                             IRaster** out) {
        IByteStream* stream = nullptr;
        OmResult r = storage->Open(path.c_str(), OM_OPEN_READ, OM_OPEN_BINARY, &stream);
        if (r < 0) return r;
        r = bmp->ReadStream(stream, "bmp", nullptr, IID_IRaster, reinterpret_cast<void**>(out));
        stream->Release();
        return r;
    }

    // The font has nowhere to pass its warning on; it goes to the debugger output.
    static void warn(uint16_t code, const std::string& directory) {
        char text[512];
        std::snprintf(text, sizeof text,
                      "Warning: Could not create/load the bitmap for the character who'se Unicode "
                      "value is %04X in the font %s",
                      unsigned(code), directory.c_str());
        if (IOmOS* os = OmOSGetShared()) os->DebugOutput(text);
    }

    OmSharedOSReference os_;
    OmBitmapFontProperties properties_;
    IRaster* glyph_ = nullptr;
    uint16_t glyph_code_ = 0;
    uint32_t glyph_format_ = 0;
};

const OmClassRecord classes[] = {
    {&CLSID_GeneralFont, nullptr, nullptr, OmCreateComponent<GeneralFont>, "GeneralFont"},
};

} // namespace

OM_DEFINE_MODULE(GeneralFont, classes)
