// SoundDictType: Load clones the template maker and reads the named file with it; Save
// writes a sound through the reader of the name's extension.
#include "sound/dict/sound_dict_type.h"

#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/meta_object_rw.h"
#include "sound/base/sound_create.h"
#include "sound/processing/sound_processor.h"

namespace {

class SoundDictType final : public OmObject<SoundDictType, IDictType> {
public:
    // The readers of the category, and the processor (held so the readers' conversions find
    // it made).
    OmResult init() {
        ComRef<IMetaObjectRW> meta;
        OmResult r = OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, meta.put());
        if (r < 0) return r;
        r = meta->AddCategory(CATID_SoundObjectRW);
        if (r < 0) return r;
        r = meta->QueryInterface(IID_IObjectRW, reader_.put_void());
        if (r < 0) return r;
        meta.reset();
        r = OmCreate(CLSID_SoundProcessor, IID_ISoundProcessor, processor_.put());
        return r < 0 ? r : OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IDictType, this}});
    }

    OmResult Init(IFileStorage* storage, IUnknown* template_object) override {
        storage_ = ComRef<IFileStorage>::share(storage);
        maker_.reset();
        if (template_object) template_object->QueryInterface(IID_ISoundCreate, maker_.put_void());
        return OM_S_OK;
    }

    const char* GetTypeName() override { return "sound"; }

    OmResult Load(const char* name, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!storage_ || !maker_) return OM_E_FAIL;
        ComRef<ISoundCreate> copy;
        OmResult r = maker_->Clone(copy.put());
        if (r < 0) return r;
        ComRef<ISound> sound;
        r = reader_->Read(storage_.get(), name, copy.get(), IID_ISound, sound.put_void());
        if (r < 0) return r;
        *out = sound.detach();
        return OM_S_OK;
    }

    OmResult Save(const char* name, IUnknown* object) override {
        if (!storage_ || !maker_) return OM_E_FAIL;
        return reader_->Write(storage_.get(), name, object);
    }

    OmResult Reserved(void*, void*) override { return OM_S_OK; }

    OmResult ReleaseObject(IUnknown* object) override {
        if (!object) return OM_S_OK;
        return object->Release() == 0 ? 1 : 0;
    }

    OmResult AddRefObject(IUnknown* object) override {
        if (object) object->AddRef();
        return OM_S_OK;
    }

private:
    // Released in this order: reader, storage, template, processor.
    ComRef<ISoundProcessor> processor_;
    ComRef<ISoundCreate> maker_;
    ComRef<IFileStorage> storage_;
    ComRef<IObjectRW> reader_;
};

const OmClassRecord classes[] = {
    {&CLSID_SoundDictType, nullptr, nullptr, OmCreateComponent<SoundDictType>, "SoundDictType"}};

} // namespace

OM_DEFINE_MODULE(SoundDictType, classes)
