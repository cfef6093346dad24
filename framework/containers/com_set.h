// COMSet: a set of objects without duplicates, in insertion order, with a built-in cursor.
#pragma once

#include "framework/containers/move_modes.h"
#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_COMSet = om_guid("125B4F77-DDA3-11D4-8723-00C04F7963BA");
inline constexpr GUID IID_ICOMSet = om_guid("125B4F76-DDA3-11D4-8723-00C04F7963BA");

// Called per member by ForEach; a negative result stops the walk.
using OmMemberCallback = OmResult (*)(IUnknown* member, void* context);

// Members are compared by identity; a null member is allowed. Adding hands the caller's
// reference over; reads add none. The cursor is an index, -1 when not placed.
struct ICOMSet : IObjectIO {
    // Clone: a new set with each member copied by OmCopyObject(flags), in order, and the same
    // cursor index; the first failure is returned and the copy dropped. Write is not
    // supported: OM_E_FAIL.

    virtual int32_t Count() = 0;
    // Releases every member; the cursor goes back to -1. 0.
    virtual OmResult RemoveAll() = 0;
    // 1 when the object is a member, else 0.
    virtual int32_t Contains(IUnknown* object) = 0;
    // Appends the object and returns its index, taking over the caller's reference. A member
    // already: 0, nothing changes and the caller keeps its reference. OM_E_OUTOFMEMORY (the
    // caller keeps its reference).
    virtual int32_t Add(IUnknown* object) = 0;
    // Releases and removes the member; a cursor at or after it moves back by one.
    // OM_E_FAIL when the object is not a member.
    virtual OmResult Remove(IUnknown* object) = 0;
    // Moves the cursor (OmMoveMode) and gives out the member it reaches (no reference added);
    // *member is null first. OM_E_FAIL when there is no such member (next from the last or
    // beyond, previous from below 1, first or last of an empty set), the cursor staying.
    // Any other mode: 0 with nothing given.
    virtual OmResult Move(int32_t mode, IUnknown** member) = 0;
    // Calls the callback for every member in order, the cursor following the walk; the first
    // negative result stops it there and is returned. Otherwise the cursor ends at the count
    // and the result is 0. The callback may remove the member it is given.
    virtual OmResult ForEach(OmMemberCallback callback, void* context) = 0;
};

OM_DECLARE_MODULE(COMSet);

// A new empty COMSet, made directly. OM_E_OUTOFMEMORY.
OmResult OmNewCOMSet(ICOMSet** out);
