// The base of every component interface, and the class factory interface.
#pragma once

#include "platform/com/guid.h"
#include "platform/com/result_codes.h"

inline constexpr GUID IID_IUnknown = om_guid("00000000-0000-0000-C000-000000000046");
inline constexpr GUID IID_IClassFactory = om_guid("00000001-0000-0000-C000-000000000046");

struct IUnknown {
    // Stores the interface `iid` of this object in *out with one more reference; 0, or
    // OM_E_NOINTERFACE with *out null.
    virtual OmResult QueryInterface(const GUID& iid, void** out) = 0;
    // Adds a reference; returns the new count.
    virtual uint32_t AddRef() = 0;
    // Drops a reference; the object frees itself when the last one goes. Returns the new count.
    virtual uint32_t Release() = 0;
};

struct IClassFactory : IUnknown {
    // Creates an object of the factory's class and queries it for `iid` into *out.
    // OM_E_NOAGGREGATION for a non-null outer; otherwise the create or query result.
    virtual OmResult CreateInstance(IUnknown* outer, const GUID& iid, void** out) = 0;
    // Does nothing; 0.
    virtual OmResult LockServer(int32_t lock) = 0;
};
