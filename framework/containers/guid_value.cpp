// The Guid value component: one 16-byte id.
#include "framework/containers/values.h"
#include "framework/io/iff.h"

#include <typeinfo>

namespace {

class GuidValue final : public OmObject<GuidValue, IGuidValue> {
public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IGuidValue, this}, {&IID_IObjectIO, this}});
    }
    OmResult Clone(uint32_t, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        IGuidValue* copy;
        OmResult r = OmNewGuid(value_, &copy);
        *out = copy;
        return r;
    }
    // The 16 bytes in their in-memory layout: the first three fields little-endian.
    OmResult Write(IIFF* file) override {
        return OmIffTransferChunk(file, OM_TAG_GUID, &value_, sizeof value_);
    }
    OmResult Set(const GUID* value) override {
        if (!value) return OM_E_FAIL;
        value_ = *value;
        return OM_S_OK;
    }
    OmResult Get(GUID* value) override {
        if (!value) return OM_E_FAIL;
        *value = value_;
        return OM_S_OK;
    }

private:
    GUID value_;
};

const OmClassRecord classes[] = {
    {&CLSID_Guid, nullptr, nullptr, OmCreateComponent<GuidValue>, "Guid"}};

} // namespace

OmResult OmNewGuid(const GUID& value, IGuidValue** out) {
    if (!out) return OM_E_FAIL;
    GuidValue* object;
    OmResult r = om_new_component(&object);
    *out = object;
    if (r >= 0) object->Set(&value);
    return r;
}

IGuidValue* om_exact_guid(IUnknown* object) {
    if (!object || typeid(*object) != typeid(GuidValue)) return nullptr;
    return static_cast<IGuidValue*>(object);
}

OM_DEFINE_MODULE(Guid, classes)
