// Making a container directly, without the object manager, for the OmNew... functions.
#pragma once

#include "framework/core/component.h"

// A new `T` handed out through its interface `Interface` (one reference), or null.
// OM_E_FAIL for a null out pointer, OM_E_OUTOFMEMORY, or T::init()'s failure.
template <class T, class Interface>
OmResult om_new_direct(Interface** out) {
    if (!out) return OM_E_FAIL;
    T* object;
    OmResult r = om_new_component(&object);
    *out = object;
    return r;
}
