// ObjHash: COMHash with typed values kept in value components.
#include "framework/containers/hash_component.h"
#include "framework/containers/values.h"

namespace {

class ObjHash final : public HashComponent<ObjHash, IObjHash> {
public:
    static constexpr uint32_t chunk_tag = OM_TAG_OBJHASH;

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(
            iid, out, {{&IID_IObjHash, this}, {&IID_ICOMHash, this}, {&IID_IObjectIO, this}});
    }

    OmResult SetInt(const char* name, int32_t value) override {
        if (IInt* held = om_exact_int(Get(name))) return held->Set(value), OM_S_OK;
        return store_new(name, OmNewInt, value);
    }
    int32_t GetInt(const char* name, int32_t fallback) override {
        return read_value<IInt>(name, IID_IInt, om_exact_int, fallback);
    }
    OmResult SetReal(const char* name, float value) override {
        if (IReal* held = om_exact_real(Get(name))) return held->Set(value), OM_S_OK;
        return store_new(name, OmNewReal, value);
    }
    float GetReal(const char* name, float fallback) override {
        return read_value<IReal>(name, IID_IReal, om_exact_real, fallback);
    }
    OmResult SetString(const char* name, const char* text) override {
        if (IString* held = om_exact_string(Get(name))) return held->Set(text);
        return store_new(name, OmNewString, text);
    }
    const char* GetString(const char* name, const char* fallback) override {
        return read_value<IString>(name, IID_IString, om_exact_string, fallback);
    }
    OmResult SetPtr(const char* name, void* value) override {
        if (IPtr* held = om_exact_ptr(Get(name))) return held->Set(value);
        return store_new(name, OmNewPtr, value);
    }
    void* GetPtr(const char* name, void* fallback) override {
        return read_value<IPtr>(name, IID_IPtr, om_exact_ptr, fallback);
    }
    OmResult SetGuid(const char* name, const GUID* value) override {
        if (!value) return OM_E_FAIL;
        if (IGuidValue* held = om_exact_guid(Get(name))) return held->Set(value);
        return store_new<IGuidValue, const GUID&>(name, OmNewGuid, *value);
    }
    OmResult GetGuid(const char* name, GUID* value) override {
        if (!value) return OM_S_OK;
        IUnknown* object = Get(name);
        if (IGuidValue* held = om_exact_guid(object)) return held->Get(value), OM_S_OK;
        IGuidValue* other = nullptr;
        if (object &&
            object->QueryInterface(IID_IGuidValue, reinterpret_cast<void**>(&other)) >= 0 &&
            other) {
            other->Get(value);
            other->Release();
        }
        return OM_S_OK;
    }

private:
    // The new value object is made before anything under the name is touched, so a failure
    // leaves the entry as it was.
    template <class Interface, class Value>
    OmResult store_new(const char* name, OmResult (*make)(Value, Interface**), Value value) {
        if (!name) return OM_E_FAIL;
        Interface* object;
        OmResult r = make(value, &object);
        if (r < 0) return r;
        r = Set(name, object);
        if (r < 0) object->Release();
        return r;
    }

    template <class Interface, class Value>
    auto read_value(const char* name, const GUID& iid, Interface* (*exact)(IUnknown*),
                    Value fallback) -> Value {
        IUnknown* object = Get(name);
        if (!object) return fallback;
        if (Interface* held = exact(object)) return held->Get();
        Interface* other = nullptr;
        if (object->QueryInterface(iid, reinterpret_cast<void**>(&other)) < 0 || !other)
            return fallback;
        Value value = other->Get();
        other->Release();
        return value;
    }
};

const OmClassRecord classes[] = {
    {&CLSID_ObjHash, nullptr, nullptr, OmCreateComponent<ObjHash>, "ObjHash"}};

} // namespace

OmResult OmCreateObjHash(IUnknown* outer, IObjHash** out) {
    if (!out) return OM_E_FAIL;
    IUnknown* object;
    OmResult r = OmCreateComponent<ObjHash>(outer, &object);
    *out = static_cast<IObjHash*>(object);
    return r;
}

OM_DEFINE_MODULE(ObjHash, classes)
