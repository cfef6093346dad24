// COMList: a doubly linked list of objects walked through separate cursor objects.
#pragma once

#include "framework/containers/object_io.h"
#include "framework/core/class_factory.h"

inline constexpr GUID CLSID_COMList = om_guid("6EE245CC-86E9-405D-BDA4-F3A22A20A063");
inline constexpr GUID IID_ICOMList = om_guid("9AAC6B45-6617-4EEC-87D2-EC58DCE4BD30");
inline constexpr GUID IID_ICOMListCursor = om_guid("35B39740-AFE5-471D-9D13-E1214BB9E0EB");

// A cursor on a COMList. A cursor whose node was removed from the list (by anyone) notices it
// on its next step and starts again from the head, as First does, before making that step;
// First and Last need no such check.
struct ICOMListCursor : IUnknown {
    // Stands on the head (nothing when the list is empty); 0.
    virtual OmResult First() = 0;
    // Stands on the tail; 0.
    virtual OmResult Last() = 0;
    // Moves to the next node (none past the tail); 0.
    virtual OmResult Next() = 0;
    // Moves to the previous node (none before the head); 0.
    virtual OmResult Previous() = 0;
    // The object under the cursor, or null; no reference added.
    virtual IUnknown* Current() = 0;
    // Unlinks the current node, moving on to the next one, and hands its object with the
    // list's reference to the caller; null when there is no current node.
    virtual IUnknown* RemoveCurrent() = 0;
    // Links the object before the current node (at the head when there is none) and stands on
    // it, taking over the caller's reference; 0. OM_E_OUTOFMEMORY (the caller keeps it).
    virtual OmResult InsertBefore(IUnknown* object) = 0;
    // The mirror image: after the current node, at the tail when there is none.
    virtual OmResult InsertAfter(IUnknown* object) = 0;
};

// Objects may be null. Adding hands the caller's reference over; taking out hands the list's
// reference to the caller; reads add none.
struct ICOMList : IObjectIO {
    // Clone and Write are not supported: OM_E_FAIL. The list does not answer IObjectIO.

    // Links the object at the head, taking over the caller's reference; 0.
    // OM_E_OUTOFMEMORY when no node can be had (the caller keeps its reference).
    virtual OmResult AddHead(IUnknown* object) = 0;
    // The same at the tail.
    virtual OmResult AddTail(IUnknown* object) = 0;
    // The first object, or null.
    virtual IUnknown* Head() = 0;
    // The last object, or null.
    virtual IUnknown* Tail() = 0;
    // Unlinks the head and hands its object with the reference to the caller; null when empty.
    virtual IUnknown* RemoveHead() = 0;
    // The same at the tail.
    virtual IUnknown* RemoveTail() = 0;
    // Releases every object; 0.
    virtual OmResult RemoveAll() = 0;
    // A new cursor on the head (reference count 1, holding a reference to the list), or null
    // when memory runs out.
    virtual ICOMListCursor* CreateCursor() = 0;
};

OM_DECLARE_MODULE(COMList);

// A new empty COMList, made directly. OM_E_OUTOFMEMORY.
OmResult OmNewCOMList(ICOMList** out);
