// The skeleton every component class shares: one reference count across its interfaces,
// freeing through the allocator, query-interface over a table, and the create functions.
#pragma once

#include "framework/core/allocated.h"
#include "framework/core/unknown.h"

#include <initializer_list>
#include <memory>
#include <tuple>

struct OmInterfaceEntry {
    const GUID* iid;
    IUnknown* pointer;
};

// Query-interface over the interfaces a class answers. The first entry is the object's
// identity: a query for IUnknown yields it, whichever interface is asked.
inline OmResult om_query_interface(const GUID& iid, void** out,
                                   std::initializer_list<OmInterfaceEntry> entries) {
    if (!out) return OM_E_FAIL;
    IUnknown* found = nullptr;
    if (iid == IID_IUnknown) {
        found = entries.begin()->pointer;
    } else {
        for (const OmInterfaceEntry& e : entries) {
            if (*e.iid == iid) {
                found = e.pointer;
                break;
            }
        }
    }
    *out = found;
    if (!found) return OM_E_NOINTERFACE;
    found->AddRef();
    return OM_S_OK;
}

// Base of a component class `Derived` implementing `Interfaces` (the first is the identity
// handed out by creation unless Derived hides identity()). Derived writes QueryInterface with
// om_query_interface, may define `OmResult init()` (run after zero-filled construction; a
// failure destroys the object) and frees what it owns in its destructor.
template <class Derived, class... Interfaces>
class OmObject : public Interfaces..., public OmAllocated {
    using Primary = std::tuple_element_t<0, std::tuple<Interfaces...>>;

public:
    uint32_t AddRef() override { return ++ref_count_; }
    uint32_t Release() override {
        if (ref_count_ != 1) return --ref_count_;
        Derived* self = static_cast<Derived*>(this);
        std::destroy_at(self);
        OmFreeMemory(self);
        return 0;
    }

    IUnknown* identity() { return static_cast<Primary*>(this); }
    uint32_t ref_count() const { return ref_count_; }

protected:
    OmObject() = default;
    ~OmObject() = default;
    OmObject(const OmObject&) = delete;
    OmObject& operator=(const OmObject&) = delete;

private:
    uint32_t ref_count_ = 1;
};

// Allocates and initialises a `T`; the caller gets its one reference.
// OM_E_OUTOFMEMORY, or the failure of T::init() (the object is gone again).
template <class T>
OmResult om_new_component(T** out) {
    *out = nullptr;
    T* object = new T;
    if (!object) return OM_E_OUTOFMEMORY;
    if constexpr (requires { object->init(); }) {
        OmResult r = object->init();
        if (r != OM_S_OK) {
            object->Release();
            return r;
        }
    }
    *out = object;
    return OM_S_OK;
}

// The create function of a class table entry: refuses aggregation, then om_new_component.
template <class T>
OmResult OmCreateComponent(IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    T* object;
    OmResult r = om_new_component(&object);
    if (r == OM_S_OK) *out = object->identity();
    return r;
}

// The create function of a singleton class: the one object in `instance` with one more
// reference, made on first use. T's destructor clears `instance`.
template <class T>
OmResult OmCreateSingleton(T*& instance, IUnknown* outer, IUnknown** out) {
    if (!out) return OM_E_FAIL;
    *out = nullptr;
    if (outer) return OM_E_NOAGGREGATION;
    if (!instance) {
        OmResult r = om_new_component(&instance);
        if (r != OM_S_OK) return r;
    } else {
        instance->AddRef();
    }
    *out = instance->identity();
    return OM_S_OK;
}
