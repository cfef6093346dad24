// ObjectRWSoundIni: loads the description into a property sheet, applies its maker keys,
// reads the sample through the sound readers (converting it to the asked format) and applies
// its sound keys to the result.
#include "sound/files/object_rw_sound_ini.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/io/meta_object_rw.h"
#include "sound/base/sound_create.h"
#include "sound/files/sound_keys.h"
#include "sound/processing/sound_processor.h"
#include "sound/processing/sound_values.h"

#include <cstring>
#include <string>
#include <strings.h>

namespace {

constexpr uint32_t sample_size = 260; // "Sample": up to 259 characters

// The sample's path: "Sample" beside the description, or the description's own path with
// every ".ini" (any case) made ".wav".
OmResult sample_path(IPropertySheet* sheet, const char* path, std::string& out) {
    const uint32_t length = sheet->GetStringLength("Sample");
    if (length > 0) {
        char sample[sample_size];
        if (length > sample_size || sheet->GetString("Sample", sample, sample_size) < 0)
            return OM_E_FAIL;
        const char* slash = std::strrchr(path, '/');
        out.assign(path, slash ? size_t(slash - path + 1) : 0);
        out += sample;
        return OM_S_OK;
    }
    out = path;
    for (size_t at = 0; (at = out.find('.', at)) != std::string::npos; ++at) {
        if (strncasecmp(out.c_str() + at, ".ini", 4) == 0) out.replace(at, 4, ".wav");
    }
    return OM_S_OK;
}

// The sound in `format` as the maker makes it, converted from `sound` when that differs.
OmResult convert_to(ISoundCreate* maker, uint32_t format, ComRef<ISound>& sound) {
    maker->SetProperty(MAKER_FORMAT, intptr_t(format));
    maker->SetProperty(MAKER_LENGTH, intptr_t(sound->GetLength()));
    maker->SetProperty(MAKER_RATE, sound_int_param(sound.get(), SOUND_INT_FREQUENCY));
    ComRef<ISound> converted;
    OmResult r = maker->CreateSound(converted.put());
    if (r < 0) return r;
    if (converted->GetFormat() == sound->GetFormat()) return OM_S_OK;
    ComRef<ISoundProcessor> processor;
    r = OmCreate(CLSID_SoundProcessor, IID_ISoundProcessor, processor.put());
    if (r < 0) return r;
    r = processor->Convert(converted.get(), sound.get());
    if (r < 0) return r;
    sound = std::move(converted);
    return OM_S_OK;
}

// Counts nested reads on this thread: a description naming itself (or a ring of them) must
// not recurse without end.
thread_local int32_t nesting = 0;

class NestingGuard {
public:
    NestingGuard() { ++nesting; }
    ~NestingGuard() { --nesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    bool too_deep() const { return nesting > SOUND_INI_MAX_NESTING; }
};

class ObjectRWSoundIni final : public ObjectRWBase<ObjectRWSoundIni> {
public:
    ObjectRWSoundIni() { extensions_ = "ini"; }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IObjectRW, this}});
    }

    OmResult Read(IFileStorage* storage, const char* path, IUnknown* context, const GUID& iid,
                  void** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        ComRef<ISoundCreate> maker;
        if (!storage || !path || !context ||
            context->QueryInterface(IID_ISoundCreate, maker.put_void()) < 0)
            return OM_E_FAIL;
        NestingGuard guard;
        if (guard.too_deep()) return OM_E_FAIL;

        ComRef<IPropertySheet> sheet;
        {
            char extension[OM_EXTENSION_MAX_LENGTH + 1];
            ComRef<IByteStream> stream;
            OmResult r = OmObjectRWOpenPath(storage, path, OM_OPEN_READ, extension, stream.put());
            if (r < 0) return r;
            r = OmCreate(CLSID_PropertySheet, IID_IPropertySheet, sheet.put());
            if (r < 0) return r;
            r = sheet->Load(stream.get());
            if (r < 0) return r;
        }
        uint32_t asked_format = 0;
        OmApplySoundMakerKeys(sheet.get(), maker.get(), &asked_format);

        std::string sample;
        OmResult r = sample_path(sheet.get(), path, sample);
        if (r < 0) return r;
        ComRef<IMetaObjectRW> meta;
        r = OmCreate(CLSID_MetaObjectRW, IID_IMetaObjectRW, meta.put());
        if (r < 0) return r;
        meta->AddCategory(CATID_SoundObjectRW);
        ComRef<IObjectRW> readers;
        r = meta->QueryInterface(IID_IObjectRW, readers.put_void());
        if (r < 0) return r;
        ComRef<ISound> sound;
        r = readers->Read(storage, sample.c_str(), maker.get(), IID_ISound, sound.put_void());
        if (r < 0) return r;
        if (asked_format && sound->GetFormat() != asked_format) {
            r = convert_to(maker.get(), asked_format, sound);
            if (r < 0) return r;
        }
        OmApplySoundKeys(sheet.get(), sound.get());
        return sound->QueryInterface(iid, out);
    }
};

const GUID* const sound_readers[] = {&CATID_SoundObjectRW, nullptr};
const OmClassRecord classes[] = {{&CLSID_ObjectRWSoundIni, sound_readers, nullptr,
                                  OmCreateComponent<ObjectRWSoundIni>, "ObjectRWSoundIni"}};

} // namespace

OM_DEFINE_MODULE(ObjectRWSoundIni, classes)
