// Helpers for container tests: value objects to store and a look at their reference counts.
#pragma once

#include "framework/containers/values.h"
#include "framework/core/com_ref.h"

#include <gtest/gtest.h>

#include <vector>

namespace testsupport {

// The object's reference count, read by adding and dropping one.
inline uint32_t ref_count_of(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// `n` Int objects holding 0 .. n - 1; the caller owns one reference to each.
inline std::vector<IInt*> make_ints(int n) {
    std::vector<IInt*> ints;
    for (int i = 0; i < n; ++i) {
        IInt* value = nullptr;
        EXPECT_EQ(OmNewInt(i, &value), 0);
        ints.push_back(value);
    }
    return ints;
}

// The Int value of an element, or -1 for null or another kind of object.
inline int32_t int_of(IUnknown* object) {
    IInt* value = om_exact_int(object);
    return value ? value->Get() : -1;
}

// The module's factory makes the class, refusing aggregation; the object answers `iid` and
// IObjectIO, whose Write reports that no chunked-file component is built in yet.
inline void expect_container_module(OmGetClassObjectFunction module, const GUID& clsid,
                                    const GUID& iid) {
    ComRef<IClassFactory> factory;
    ASSERT_EQ(module(clsid, IID_IClassFactory, factory.put_void()), 0);
    ComRef<IUnknown> created;
    ASSERT_EQ(factory->CreateInstance(nullptr, iid, created.put_void()), 0);
    ComRef<IObjectIO> io;
    ASSERT_EQ(created->QueryInterface(IID_IObjectIO, io.put_void()), 0);
    EXPECT_EQ(io->Write(nullptr), OM_E_FAIL);
    ComRef<IUnknown> aggregated;
    EXPECT_EQ(factory->CreateInstance(created.get(), iid, aggregated.put_void()),
              OM_E_NOAGGREGATION);
}

} // namespace testsupport
