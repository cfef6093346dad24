// ImageProc: the program's single image service; forwards to the shared Blitter, the
// ImageProcessor and the RasterCreate class factory, and loads and saves pictures by
// extension through the meta reader of the category "RasterObjectRW".
#include "framework/core/object_manager.h"
#include "framework/core/static_state.h"
#include "framework/io/meta_object_rw.h"
#include "media/raster/image_processor.h"
#include "media/raster/shared_blitter.h"

namespace {

// The meta reader that knows every picture reader, over the given storage (its own when
// null), as IObjectRW; the storage it will use in *used.
OmResult picture_readers(IFileStorage* storage, IObjectRW** out, IFileStorage** used) {
    IMetaObjectRW* meta;
    OmResult r = OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, &meta);
    if (r < 0) return r;
    meta->AddCategory(CATID_RasterObjectRW);
    if (storage) meta->SetStorage(storage);
    meta->GetStorage(used);
    r = meta->QueryInterface(IID_IObjectRW, reinterpret_cast<void**>(out));
    meta->Release();
    return r;
}

class ImageProc final : public OmObject<ImageProc, IImageProc> {
public:
    static ImageProc* instance;

    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }

    OmResult init() {
        OmResult r = om_acquire_shared_blitter(&blitter_);
        if (r >= 0)
            r = ImageProcessor_GetClassObject(CLSID_ImageProcessor, IID_IClassFactory,
                                              reinterpret_cast<void**>(&factory_));
        if (r >= 0) {
            r = factory_->CreateInstance(nullptr, IID_IImageProcessor,
                                         reinterpret_cast<void**>(&processor_));
            factory_->Release();
            factory_ = nullptr;
        }
        if (r >= 0)
            r = RasterCreate_GetClassObject(CLSID_RasterCreate, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory_));
        return r;
    }
    ~ImageProc() {
        if (factory_) factory_->Release();
        if (processor_) processor_->Release();
        if (blitter_) om_release_shared_blitter(blitter_);
        instance = nullptr;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IImageProc, this}});
    }

    OmResult Convert(IRaster* dest, IRaster* source) override {
        return blitter_->Convert(dest, source);
    }
    OmResult Copy(IRaster* dest, IRaster* source) override { return blitter_->Copy(dest, source); }
    OmResult Resample(IRaster* dest, IRaster* source) override {
        return processor_->Resample(dest, source);
    }
    OmResult ResampleToSize(IRaster* source, uint32_t width, uint32_t height,
                            IRaster** out) override {
        return processor_->ResampleToSize(source, width, height, out);
    }
    OmResult Halve(IRaster* dest, IRaster* source) override {
        return processor_->Halve(dest, source);
    }
    OmResult CombineMask(IRaster* image, IRaster* mask, IRaster** out) override {
        return processor_->CombineMask(image, mask, out);
    }
    OmResult AlphaFromBrightness(IRaster* raster) override {
        return processor_->AlphaFromBrightness(raster);
    }
    OmResult CopyAlpha(IRaster* dest, IRaster* source) override {
        return processor_->CopyAlpha(dest, source);
    }
    OmResult CreateRasterDescription(IUnknown* outer, const GUID& iid, void** out) override {
        return factory_->CreateInstance(outer, iid, out);
    }
    OmResult FillRect(IRaster* raster, const OmRect* rect, const uint32_t* colour) override {
        return blitter_->FillRect(raster, rect, colour);
    }
    OmResult ConvertColour(const uint32_t* colour, uint32_t format, uint32_t* out) override {
        return blitter_->ConvertColour(colour, format, out);
    }
    OmResult Blit(IRaster* dest, const OmRect* dest_rect, IRaster* source,
                  const OmRect* source_rect) override {
        return blitter_->Blit(dest, dest_rect, source, source_rect);
    }

    OmResult LoadRaster(IFileStorage* storage, const char* path, IRasterCreate* description,
                        IRaster** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        IObjectRW* readers;
        IFileStorage* used = nullptr;
        OmResult r = picture_readers(storage, &readers, &used);
        if (r < 0) return r;
        r = readers->Read(used, path, description, IID_IRaster, reinterpret_cast<void**>(out));
        readers->Release();
        return r;
    }

    OmResult SaveRaster(IFileStorage* storage, const char* path, IRaster* raster) override {
        IObjectRW* writers;
        IFileStorage* used = nullptr;
        OmResult r = picture_readers(storage, &writers, &used);
        if (r < 0) return r;
        r = writers->Write(used, path, raster);
        writers->Release();
        return r;
    }

private:
    IBlitter* blitter_;
    IImageProcessor* processor_;
    IClassFactory* factory_;
};

ImageProc* ImageProc::instance = nullptr;
const OmStaticStateReset reset_image_proc([] { ImageProc::instance = nullptr; });

const OmClassRecord classes[] = {
    {&CLSID_ImageProc, nullptr, nullptr, ImageProc::Create, "ImageProc"},
};

} // namespace

OM_DEFINE_MODULE(ImageProc, classes)
