// The Int, Real and Ptr value components: one template over the value's type.
#include "framework/containers/values.h"
#include "framework/io/iff.h"

#include <type_traits>
#include <typeinfo>

namespace {

template <class Interface, class T, const GUID& iid, uint32_t tag>
class ScalarValue final : public OmObject<ScalarValue<Interface, T, iid, tag>, Interface> {
public:
    OmResult QueryInterface(const GUID& asked, void** out) override {
        return om_query_interface(asked, out, {{&iid, this}, {&IID_IObjectIO, this}});
    }
    OmResult Clone(uint32_t, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        ScalarValue* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        copy->value_ = value_;
        *out = copy->identity();
        return OM_S_OK;
    }
    // A pointer never travels through a file: its chunk is empty, and writing one clears it
    // so that what was written and what is held agree.
    OmResult Write(IIFF* file) override {
        if constexpr (std::is_pointer_v<T>) {
            if (!file) return OM_E_FAIL;
            OmResult r = file->BeginChunk(tag);
            if (r < 0) return r;
            if (file->IsWriting()) value_ = nullptr;
            return file->EndChunk();
        } else {
            static_assert(sizeof(T) == 4, "numbers are stored as 4 bytes");
            return OmIffTransferChunk(file, tag, &value_, sizeof value_);
        }
    }
    OmResult Set(T value) override {
        value_ = value;
        return OM_S_OK;
    }
    T Get() override { return value_; }

    static OmResult make(T value, Interface** out) {
        if (!out) return OM_E_FAIL;
        ScalarValue* object;
        OmResult r = om_new_component(&object);
        *out = object;
        if (r >= 0) object->value_ = value;
        return r;
    }
    static Interface* exact(IUnknown* object) {
        if (!object || typeid(*object) != typeid(ScalarValue)) return nullptr;
        return static_cast<Interface*>(object);
    }

private:
    T value_;
};

using IntValue = ScalarValue<IInt, int32_t, IID_IInt, OM_TAG_INT>;
using RealValue = ScalarValue<IReal, float, IID_IReal, OM_TAG_REAL>;
using PtrValue = ScalarValue<IPtr, void*, IID_IPtr, OM_TAG_PTR>;

const OmClassRecord int_classes[] = {
    {&CLSID_Int, nullptr, nullptr, OmCreateComponent<IntValue>, "Int"}};
const OmClassRecord real_classes[] = {
    {&CLSID_Real, nullptr, nullptr, OmCreateComponent<RealValue>, "Real"}};
const OmClassRecord ptr_classes[] = {
    {&CLSID_Ptr, nullptr, nullptr, OmCreateComponent<PtrValue>, "Ptr"}};

} // namespace

OmResult OmNewInt(int32_t value, IInt** out) {
    return IntValue::make(value, out);
}
OmResult OmNewReal(float value, IReal** out) {
    return RealValue::make(value, out);
}
OmResult OmNewPtr(void* value, IPtr** out) {
    return PtrValue::make(value, out);
}

IInt* om_exact_int(IUnknown* object) {
    return IntValue::exact(object);
}
IReal* om_exact_real(IUnknown* object) {
    return RealValue::exact(object);
}
IPtr* om_exact_ptr(IUnknown* object) {
    return PtrValue::exact(object);
}

OM_DEFINE_MODULE(Int, int_classes)
OM_DEFINE_MODULE(Real, real_classes)
OM_DEFINE_MODULE(Ptr, ptr_classes)
