// COMArray: an OmPtrArray of object pointers that owns one reference per element.
#include "framework/containers/com_array.h"
#include "framework/containers/new_direct.h"

#include "framework/containers/om_array.h"
#include "framework/io/iff.h"

namespace {

class COMArray final : public OmObject<COMArray, ICOMArray> {
public:
    ~COMArray() { RemoveAll(); }
    OmResult init() { return OmPtrArrayInit(&array_); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICOMArray, this}, {&IID_IObjectIO, this}});
    }

    OmResult Clone(uint32_t flags, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        COMArray* copy;
        OmResult r = om_new_component(&copy);
        if (r < 0) return r;
        if (!OmPtrArrayReserve(&copy->array_, array_.count)) r = OM_E_OUTOFMEMORY;
        for (int32_t i = 0; r >= 0 && i < array_.count; ++i) {
            IUnknown* element;
            r = OmCopyObject(at(i), flags, &element);
            if (r >= 0) OmPtrArrayAppend(&copy->array_, element); // room reserved above
        }
        if (r < 0) {
            copy->Release();
            return r;
        }
        *out = copy->identity();
        return OM_S_OK;
    }
    // Every element in order (null included) through the file's object transfer; reading
    // appends objects until the chunk's data ends.
    OmResult Write(IIFF* file) override {
        if (!file) return OM_E_FAIL;
        OmResult r = file->BeginChunk(OM_TAG_COMARRAY);
        if (r < 0) return r;
        int32_t before = -1; // reading: the count before the read
        if (file->IsWriting()) {
            for (int32_t i = 0; r >= 0 && i < array_.count; ++i) {
                IUnknown* element = at(i);
                r = file->TransferObject(&element);
            }
        } else {
            before = array_.count;
            for (;;) {
                IUnknown* element = nullptr;
                r = file->TransferObject(&element);
                if (r < 0) {
                    if (r == OM_E_ENDOFSTREAM) r = OM_S_OK;
                    break;
                }
                if (Append(element) < 0) {
                    if (element) element->Release();
                    r = OM_E_OUTOFMEMORY;
                    break;
                }
            }
        }
        OmResult ended = file->EndChunk();
        if (r >= 0) r = ended;
        // A failed read drops what it appended: an element referring back to an object still
        // being read would otherwise hold it, and through it this array, in a cycle.
        if (r < 0 && before >= 0) SetCount(before);
        return r;
    }

    OmResult Reserved() override { return OM_S_OK; }
    int32_t Reserve(int32_t n) override { return OmPtrArrayReserve(&array_, n); }
    OmResult SetCount(int32_t n) override {
        if (n < 0) return OM_E_FAIL;
        if (n > array_.capacity && !OmPtrArrayReserve(&array_, n)) return OM_E_OUTOFMEMORY;
        while (array_.count > n) {
            IUnknown* element = at(array_.count - 1);
            --array_.count;
            if (element) element->Release();
        }
        for (int32_t i = array_.count; i < n; ++i) OmPtrArrayItems(&array_)[i] = nullptr;
        array_.count = n;
        return OM_S_OK;
    }
    OmResult Compact() override { return OmPtrArrayCompact(&array_); }
    int32_t Count() override { return array_.count; }
    OmResult RemoveAll() override {
        // Elements go one by one from the end, so a release that reaches back into this
        // array finds it consistent.
        SetCount(0);
        OmPtrArrayFree(&array_);
        return OM_S_OK;
    }
    OmResult RemoveAt(int32_t index) override {
        if (index < 0 || index >= array_.count) return OM_E_FAIL;
        IUnknown* element = at(index);
        OmPtrArrayRemoveAt(&array_, index);
        if (element) element->Release();
        return OM_S_OK;
    }
    int32_t Append(IUnknown* object) override { return OmPtrArrayAppend(&array_, object); }
    OmResult InsertAt(int32_t index, IUnknown* object) override {
        if (index < 0) return OM_E_FAIL;
        if (array_.count == array_.capacity && !OmPtrArrayGrow(&array_)) return OM_E_OUTOFMEMORY;
        OmPtrArrayInsert(&array_, index, object);
        return OM_S_OK;
    }
    IUnknown* GetAt(int32_t index) override {
        return static_cast<IUnknown*>(OmPtrArrayAt(&array_, index));
    }
    OmResult SetAt(int32_t index, IUnknown* object) override {
        if (index < 0 || index >= array_.count) return OM_E_FAIL;
        IUnknown* old = at(index);
        if (old == object) return OM_S_OK;
        OmPtrArraySetAt(&array_, index, object);
        if (old) old->Release();
        return OM_S_OK;
    }

private:
    IUnknown* at(int32_t index) const {
        return static_cast<IUnknown*>(OmPtrArrayItems(&array_)[index]);
    }

    OmPtrArray array_;
};

const OmClassRecord classes[] = {
    {&CLSID_COMArray, nullptr, nullptr, OmCreateComponent<COMArray>, "COMArray"}};

} // namespace

OM_DEFINE_MODULE(COMArray, classes)

OmResult OmNewCOMArray(ICOMArray** out) {
    return om_new_direct<COMArray>(out);
}
