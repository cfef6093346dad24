// COMStack: a block of object pointers that grows by a step when full.
#include "framework/containers/com_stack.h"
#include "framework/containers/new_direct.h"

#include <cstring>

namespace {

constexpr int32_t initial_capacity = 64;
constexpr int32_t initial_growth = 32;

class COMStack final : public OmObject<COMStack, ICOMStack> {
public:
    ~COMStack() {
        // The stack owns a reference to each object it still holds.
        RemoveAll();
        OmFreeMemory(slots_);
    }
    OmResult init() {
        growth_ = initial_growth;
        return resize(initial_capacity);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_ICOMStack, this}});
    }

    OmResult Push(IUnknown* object) override {
        if (count_ == capacity_) {
            OmResult r = resize(int64_t(capacity_) + growth_);
            if (r < 0) return r;
        }
        slots_[count_++] = object;
        return OM_S_OK;
    }
    IUnknown* Pop() override { return count_ ? slots_[--count_] : nullptr; }
    IUnknown* Top() override { return count_ ? slots_[count_ - 1] : nullptr; }
    OmResult RemoveAll() override {
        while (count_) {
            if (IUnknown* object = Pop()) object->Release();
        }
        return OM_S_OK;
    }
    int32_t Count() override { return count_; }
    OmResult SetGrowth(int32_t step) override {
        growth_ = step < 1 ? 1 : step;
        return OM_S_OK;
    }
    OmResult Compact() override { return resize((int64_t(count_) / growth_ + 1) * growth_); }

private:
    // Moves the objects into a block of `capacity` slots (never below the count).
    OmResult resize(int64_t capacity) {
        if (capacity > INT32_MAX) return OM_E_OUTOFMEMORY;
        auto* slots = static_cast<IUnknown**>(OmAllocMemory(size_t(capacity) * sizeof(IUnknown*)));
        if (!slots) return OM_E_OUTOFMEMORY;
        if (count_) std::memcpy(slots, slots_, size_t(count_) * sizeof(IUnknown*));
        OmFreeMemory(slots_);
        slots_ = slots;
        capacity_ = int32_t(capacity);
        return OM_S_OK;
    }

    int32_t capacity_;
    int32_t growth_;
    IUnknown** slots_;
    int32_t count_;
};

const OmClassRecord classes[] = {
    {&CLSID_COMStack, nullptr, nullptr, OmCreateComponent<COMStack>, "COMStack"}};

} // namespace

OM_DEFINE_MODULE(COMStack, classes)

OmResult OmNewCOMStack(ICOMStack** out) {
    return om_new_direct<COMStack>(out);
}
