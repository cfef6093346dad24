// COMStack: a last-in first-out stack of objects.
#pragma once

#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_COMStack = om_guid("DA6A762E-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ICOMStack = om_guid("DAC04AD6-C84F-11D4-871E-00C04F7963BA");

// Objects may be null. Push hands the caller's reference over, Pop hands the stack's back.
struct ICOMStack : IUnknown {
    // Puts the object on top; a full stack first grows by the growth step. 0, or
    // OM_E_OUTOFMEMORY with the stack unchanged (the caller keeps its reference).
    virtual OmResult Push(IUnknown* object) = 0;
    // Takes the top object off and hands it with its reference to the caller; null when empty.
    virtual IUnknown* Pop() = 0;
    // The top object or null; no reference added.
    virtual IUnknown* Top() = 0;
    // Pops and releases every object; 0.
    virtual OmResult RemoveAll() = 0;
    virtual int32_t Count() = 0;
    // Sets the growth step (at least 1); 0.
    virtual OmResult SetGrowth(int32_t step) = 0;
    // Capacity := (count / step + 1) x step. OM_E_OUTOFMEMORY leaves the block as it was.
    virtual OmResult Compact() = 0;
};

OM_DECLARE_MODULE(COMStack);

// A new empty COMStack (capacity 64, growth step 32), made directly. OM_E_OUTOFMEMORY.
OmResult OmNewCOMStack(ICOMStack** out);
