// COMSet: an OmPtrArray of distinct members searched by identity.
#include "framework/containers/com_set.h"
#include "framework/containers/new_direct.h"

#include "framework/containers/om_array.h"

#include <algorithm>

namespace {

class COMSet final : public OmObject<COMSet, ICOMSet> {
public:
    ~COMSet() { RemoveAll(); }
    OmResult init() {
        cursor_ = -1;
        return OmPtrArrayInit(&members_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICOMSet, this}, {&IID_IObjectIO, this}});
    }

    OmResult Clone(uint32_t flags, IUnknown** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        COMSet* copy;
        OmResult r = om_new_component(&copy);
        for (int32_t i = 0; r >= 0 && i < members_.count; ++i) {
            IUnknown* member;
            r = OmCopyObject(at(i), flags, &member);
            if (r < 0) break;
            r = copy->Add(member);
            if (r < 0 && member) member->Release();
        }
        if (r < 0) {
            if (copy) copy->Release();
            return r;
        }
        copy->cursor_ = cursor_;
        *out = copy->identity();
        return OM_S_OK;
    }
    OmResult Write(IIFF*) override { return OM_E_FAIL; }

    int32_t Count() override { return members_.count; }
    OmResult RemoveAll() override {
        // From the end, so a release that reaches back into this set finds it consistent.
        while (members_.count) {
            IUnknown* member = at(members_.count - 1);
            --members_.count;
            if (member) member->Release();
        }
        OmPtrArrayFree(&members_);
        cursor_ = -1;
        return OM_S_OK;
    }
    int32_t Contains(IUnknown* object) override { return index_of(object) >= 0 ? 1 : 0; }
    int32_t Add(IUnknown* object) override {
        if (index_of(object) >= 0) return OM_S_OK;
        return OmPtrArrayAppend(&members_, object);
    }
    OmResult Remove(IUnknown* object) override {
        int32_t index = index_of(object);
        if (index < 0) return OM_E_FAIL;
        if (cursor_ >= index) --cursor_;
        OmPtrArrayRemoveAt(&members_, index);
        if (object) object->Release();
        return OM_S_OK;
    }
    OmResult Move(int32_t mode, IUnknown** member) override {
        if (member) *member = nullptr;
        int32_t next;
        switch (mode) {
        case OM_MOVE_NEXT:
            if (cursor_ >= members_.count - 1) return OM_E_FAIL;
            next = cursor_ + 1;
            break;
        case OM_MOVE_PREVIOUS:
            if (cursor_ < 1 || members_.count == 0) return OM_E_FAIL;
            next = std::min(cursor_ - 1, members_.count - 1);
            break;
        case OM_MOVE_FIRST:
            if (members_.count == 0) return OM_E_FAIL;
            next = 0;
            break;
        case OM_MOVE_LAST:
            if (members_.count == 0) return OM_E_FAIL;
            next = members_.count - 1;
            break;
        default: return OM_S_OK;
        }
        cursor_ = next;
        if (member) *member = at(cursor_);
        return OM_S_OK;
    }
    OmResult ForEach(OmMemberCallback callback, void* context) override {
        if (!callback) return OM_E_FAIL;
        // The cursor itself walks, so a callback that removes its member (moving the cursor
        // back by one) does not make the walk skip the member after it.
        for (cursor_ = 0; cursor_ < members_.count; ++cursor_) {
            OmResult r = callback(at(cursor_), context);
            if (r < 0) return r;
        }
        return OM_S_OK;
    }

private:
    IUnknown* at(int32_t index) const {
        return static_cast<IUnknown*>(OmPtrArrayItems(&members_)[index]);
    }
    int32_t index_of(IUnknown* object) const {
        void** items = OmPtrArrayItems(&members_);
        for (int32_t i = 0; i < members_.count; ++i)
            if (items[i] == object) return i;
        return -1;
    }

    OmPtrArray members_;
    int32_t cursor_;
};

const OmClassRecord classes[] = {
    {&CLSID_COMSet, nullptr, nullptr, OmCreateComponent<COMSet>, "COMSet"}};

} // namespace

OM_DEFINE_MODULE(COMSet, classes)

OmResult OmNewCOMSet(ICOMSet** out) {
    return om_new_direct<COMSet>(out);
}
