// The reference count shared by the sound classes that others derive from (OmObject serves
// final classes): atomic, as the device's worker lets references go too, and a Release that
// lets the object leave its control's attached list before it is destroyed.
#pragma once

#include "framework/core/allocated.h"
#include "framework/core/component.h"
#include "sound/base/sound_list_links.h"

#include <atomic>

template <class Interface>
class SoundObject : public Interface, public SoundListLinks, public OmAllocated {
public:
    uint32_t AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    uint32_t Release() override {
        uint32_t n = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (n == 0) {
            final_release();
            delete this;
        }
        return n;
    }

protected:
    SoundObject() = default;
    ~SoundObject() override = default;
    SoundObject(const SoundObject&) = delete;
    SoundObject& operator=(const SoundObject&) = delete;

    // Runs once the last reference has gone, before destruction.
    virtual void final_release() { leave_attached_list(static_cast<Interface*>(this)); }
    // Query-interface for IUnknown and the one interface `iid` of the class.
    OmResult query(const GUID& own_iid, const GUID& iid, void** out) {
        return om_query_interface(iid, out, {{&own_iid, static_cast<Interface*>(this)}});
    }

    std::atomic<uint32_t> refs_{1};
};
