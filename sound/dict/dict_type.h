// IDictType: a named kind of dictionary entry that loads objects by name from a storage,
// saves them, and adds or drops references to the objects it handed out.
#pragma once

#include "framework/core/unknown.h"
#include "framework/platform/file_storage.h"

inline constexpr GUID IID_IDictType = om_guid("DC2D12A0-C84F-11D4-871E-00C04F7963BA");

struct IDictType : IUnknown {
    // Keeps the storage and the template (each with a reference of its own). 0.
    virtual OmResult Init(IFileStorage* storage, IUnknown* template_object) = 0;
    // The type's name.
    virtual const char* GetTypeName() = 0;
    // The named object (one reference in *out). OM_E_FAIL before Init; the read's failure.
    virtual OmResult Load(const char* name, IUnknown** out) = 0;
    // Writes the object under the name. OM_E_FAIL before Init; the write's result.
    virtual OmResult Save(const char* name, IUnknown* object) = 0;
    // Does nothing. 0.
    virtual OmResult Reserved(void* first, void* second) = 0;
    // Releases the object: 1 when that was its last reference, else 0 (0 for none).
    virtual OmResult ReleaseObject(IUnknown* object) = 0;
    // Adds a reference to the object when one is given. 0.
    virtual OmResult AddRefObject(IUnknown* object) = 0;
};
