// Helpers for container tests: value objects to store and a look at their reference counts.
#pragma once

#include "framework/containers/values.h"

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

} // namespace testsupport
