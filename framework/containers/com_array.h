// COMArray: a component holding an array of objects, one reference to each.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_COMArray = om_guid("DA5E8A6C-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_ICOMArray = om_guid("DAB45F14-C84F-11D4-871E-00C04F7963BA");

inline constexpr uint32_t OM_TAG_COMARRAY = om_chunk_tag("CARR");

// Elements may be null. Adding hands the caller's reference over; reads add none.
struct ICOMArray : IObjectIO {
    // Clone: a new COMArray with each element copied by OmCopyObject(flags), in order; the
    // first failure is returned and the copy dropped. Write: the "CARR" chunk, each element
    // through the file's object transfer; reading appends until the chunk ends.

    // Unused slot; 0.
    virtual OmResult Reserved() = 0;
    // Room for n elements; 1, or 0 when it cannot be had or n is below the count.
    virtual int32_t Reserve(int32_t n) = 0;
    // Releases the elements at n and beyond, or adds null slots up to n.
    // OM_E_OUTOFMEMORY (unchanged); OM_E_FAIL for a negative n.
    virtual OmResult SetCount(int32_t n) = 0;
    // Shrinks the block to the count. OM_E_OUTOFMEMORY leaves it as it was.
    virtual OmResult Compact() = 0;
    virtual int32_t Count() = 0;
    // Releases every element and frees the block; 0.
    virtual OmResult RemoveAll() = 0;
    // Releases the element and closes its slot. OM_E_FAIL outside 0 .. count - 1.
    virtual OmResult RemoveAt(int32_t index) = 0;
    // Stores the object at the end and returns its index; OM_E_OUTOFMEMORY (negative) when
    // the array cannot grow, the caller keeping its reference.
    virtual int32_t Append(IUnknown* object) = 0;
    // Stores the object at the index (at or past the count: at the end); 0.
    // OM_E_OUTOFMEMORY (the caller keeps its reference); OM_E_FAIL for a negative index.
    virtual OmResult InsertAt(int32_t index, IUnknown* object) = 0;
    // The element, or null outside the array; no reference added.
    virtual IUnknown* GetAt(int32_t index) = 0;
    // Replaces the element, releasing a different one stored before; storing the object
    // already there does nothing. OM_E_FAIL outside 0 .. count - 1 (the caller keeps its
    // reference).
    virtual OmResult SetAt(int32_t index, IUnknown* object) = 0;
};

OM_DECLARE_MODULE(COMArray);

// A new empty COMArray, made directly. OM_E_OUTOFMEMORY.
OmResult OmNewCOMArray(ICOMArray** out);
