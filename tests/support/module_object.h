// Creating a component straight from its module's class table, for tests that run before (or
// without) an object manager.
#pragma once

#include "framework/core/class_record.h"
#include "framework/core/com_ref.h"

#include <gtest/gtest.h>

namespace testsupport {

// An object of `clsid` from `module`'s class factory, queried for `iid` (null on failure).
template <class T>
ComRef<T> module_object(OmGetClassObjectFunction module, const GUID& clsid, const GUID& iid) {
    ComRef<IClassFactory> factory;
    EXPECT_EQ(module(clsid, IID_IClassFactory, factory.put_void()), 0);
    ComRef<T> object;
    if (factory) {
        EXPECT_EQ(factory->CreateInstance(nullptr, iid, object.put_void()), 0);
    }
    return object;
}

} // namespace testsupport
