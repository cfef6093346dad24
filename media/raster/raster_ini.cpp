// RasterIni: a picture described by an INI file: "Image" (and optionally "Mask", whose
// brightness becomes the alpha) read relative to the INI file, delivered in the caller's
// description, with an optional "ColorKey".
#include "framework/containers/property_sheet.h"
#include "framework/core/object_manager.h"
#include "framework/io/meta_object_rw.h"
#include "framework/platform/debug_message.h"
#include "media/raster/codec_support.h"
#include "media/raster/image_codecs.h"
#include "media/raster/image_processor.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Value buffers: file names of at most 39 characters, keys of at most 9.
constexpr uint32_t name_size = 40;
constexpr uint32_t key_size = 10;
// An INI picture may name another INI picture; a chain deeper than this (or a file naming
// itself) is refused instead of recursing without end.
constexpr uint32_t max_nesting = 8;
uint32_t nesting = 0;

struct NestingGuard {
    NestingGuard() { ++nesting; }
    ~NestingGuard() { --nesting; }
};

// Decimal value: leading blanks, an optional sign, digits.
uint32_t parse_colour_key(const char* text) {
    while (*text == ' ' || *text == '\t') ++text;
    return uint32_t(std::strtol(text, nullptr, 10));
}

// Everything RasterIni holds while it reads, released on every path.
struct IniRead {
    IObjectRW* reader = nullptr;
    IRasterCreate* fresh = nullptr;
    IPropertySheet* sheet = nullptr;
    IRaster* image = nullptr;
    IRaster* mask = nullptr;
    ~IniRead() {
        for (IUnknown* held : {static_cast<IUnknown*>(reader), static_cast<IUnknown*>(fresh),
                               static_cast<IUnknown*>(sheet), static_cast<IUnknown*>(image),
                               static_cast<IUnknown*>(mask)})
            if (held) held->Release();
    }
};

OmResult load_sheet(IFileStorage* storage, const char* path, IPropertySheet* sheet) {
    IByteStream* stream;
    OmResult r = storage->Open(path, OM_OPEN_READ, OM_OPEN_BINARY, &stream);
    if (r < 0) return r;
    r = sheet->Load(stream);
    stream->Release();
    if (r < 0) return r;
    return sheet->SetSection("") < 0 ? sheet->UseSection("") : OM_S_OK;
}

class RasterIni final : public OmPictureRW<RasterIni> {
public:
    RasterIni() { extensions_ = "ini"; }

    OmResult Read(IFileStorage* storage, const char* path, IUnknown* context, const GUID&,
                  void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!options_[OM_IMAGE_OPTION_CONVERT]) {
            OmReportMessage(OM_SEVERITY_WARNING, "Ini files always do a conversion");
            return OM_E_FAIL;
        }
        if (!storage || !path || nesting >= max_nesting) return OM_E_FAIL;
        NestingGuard guard;
        IniRead held;
        IMetaObjectRW* meta;
        OmResult r = OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, &meta);
        if (r < 0) return r;
        meta->AddCategory(CATID_RasterObjectRW);
        meta->SetStorage(storage);
        r = meta->QueryInterface(IID_IObjectRW, reinterpret_cast<void**>(&held.reader));
        meta->Release();
        if (r < 0) return r;
        if ((r = OmNewRasterDescription(&held.fresh)) < 0) return r;
        if ((r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, &held.sheet)) < 0) return r;
        if ((r = load_sheet(storage, path, held.sheet)) < 0) return r;

        char image[name_size] = "", mask[name_size] = "", key[key_size] = "";
        held.sheet->GetString("Image", image, name_size);
        held.sheet->GetString("Mask", mask, name_size);
        bool has_key = held.sheet->GetString("ColorKey", key, key_size) >= 0;
        // Game data names its pictures with either separator (menus\images\x.ini): the
        // directory ends at the last of both, or the picture would be looked for above it.
        std::string directory(path);
        const size_t slash = directory.find_last_of("/\\");
        directory.resize(slash == std::string::npos ? 0 : slash + 1);

        r = held.reader->Read(storage, (directory + image).c_str(), held.fresh, IID_IRaster,
                              reinterpret_cast<void**>(&held.image));
        if (r < 0) return r;
        if (mask[0]) {
            r = held.reader->Read(storage, (directory + mask).c_str(), held.fresh, IID_IRaster,
                                  reinterpret_cast<void**>(&held.mask));
            if (r < 0) return r;
            IImageProcessor* processor;
            if ((r = OmCreate(CLSID_ImageProcessor, IID_IImageProcessor, &processor)) < 0) return r;
            IRaster* combined;
            r = processor->CombineMask(held.image, held.mask, &combined);
            processor->Release();
            if (r < 0) return r;
            held.image->Release();
            held.image = combined;
        }
        IRasterCreate* caller = om_context_description(context);
        IRaster* delivered;
        if (caller) {
            r = OmCopyRasterInto(held.image, caller, &delivered);
            caller->Release();
            if (r < 0) return r;
        } else {
            delivered = held.image;
            held.image = nullptr;
        }
        if (has_key) {
            delivered->SetProperty(OM_RASTER_COLOUR_KEY, intptr_t(parse_colour_key(key)));
            delivered->SetProperty(OM_RASTER_COLOUR_KEY_ENABLED, 1);
        }
        *out = delivered;
        return OM_S_OK;
    }
};

const GUID* const categories[] = {&CATID_RasterObjectRW, nullptr};
const OmClassRecord classes[] = {
    {&CLSID_RasterIni, categories, nullptr, OmCreateComponent<RasterIni>, "RasterIni"},
};

} // namespace

OM_DEFINE_MODULE(RasterIni, classes)
