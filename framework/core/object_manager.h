// The object manager and class registry interfaces, and the Om functions that reach the
// program-wide object manager.
#pragma once

#include "framework/core/class_record.h"

inline constexpr GUID IID_IObjectManager = om_guid("1A3DD4C1-1667-11D5-8DAA-0010B58247E7");
inline constexpr GUID IID_IClassRegistry = om_guid("4DC0308D-28DB-11D5-A4AE-00010239331A");
inline constexpr GUID CLSID_StaticCOM = om_guid("4DC0308E-28DB-11D5-A4AE-00010239331A");
inline constexpr GUID CLSID_StaticCOMDirectory = om_guid("4DC0308F-28DB-11D5-A4AE-00010239331A");

// Name of the named entry that holds a class's get-class-object function.
inline constexpr char OM_CREATE_OBJECT_ENTRY[] = "CreateObject";
// Name of the named entry that, when it reads non-zero, picks a class within a category.
inline constexpr char OM_SELECTED_ENTRY[] = "Selected";

// Relation kinds of IClassRegistry::SetRelation/GetRelation.
enum OmRelationKind : int32_t {
    OM_RELATION_SECOND_LIST_CLASSES = 0, // ids whose second list holds id
    OM_RELATION_CATEGORY_CLASSES = 1,    // the classes of category id
    OM_RELATION_SECOND_LIST = 2,         // class id's second list
    OM_RELATION_CLASS_CATEGORIES = 3,    // the categories of class id
    OM_RELATION_TREAT_AS = 4,            // the class that stands for class id
    OM_RELATION_ALL_CLASSES = 5,         // every registered class (GetRelation only)
    OM_RELATION_ALL_CATEGORIES = 6,      // every registered category (GetRelation only)
};

struct IClassRegistry : IUnknown {
    // Creates or updates a class entry (its named entries survive) and sets its category
    // lists (null removes the class's pairs). OM_E_FAIL for a size above 88, OM_E_OUTOFMEMORY.
    virtual OmResult RegisterClass(const GUID& clsid, const OmClassDescription* description,
                                   const GUID* const* categories,
                                   const GUID* const* categories2) = 0;
    // OM_E_FAIL when out's size word is below 88; OM_E_NOTFOUND for an unknown class.
    virtual OmResult GetClassDescription(const GUID& clsid, OmClassDescription* out) = 0;
    // Removes the class and its category pairs; its treat-as mapping stays. OM_E_NOTFOUND.
    virtual OmResult UnregisterClass(const GUID& clsid) = 0;
    // "CreateObject" stores a function pointer, every other name a C string; null removes.
    // OM_E_NOTFOUND for an unknown class.
    virtual OmResult SetNamedEntry(const GUID& clsid, const char* name, const void* value) = 0;
    // "CreateObject" (size must be 0) writes the pointer into a pointer-sized *out; other names
    // copy the string with its NUL into `size` bytes. OM_E_NOTFOUND, OM_E_FAIL.
    virtual OmResult GetNamedEntry(const GUID& clsid, const char* name, void* out,
                                   uint32_t size) = 0;
    // OM_E_FAIL for a size above 84; OM_E_OUTOFMEMORY.
    virtual OmResult RegisterCategory(const GUID& catid,
                                      const OmCategoryDescription* description) = 0;
    // OM_E_FAIL when out's size word is below 84; OM_E_NOTFOUND.
    virtual OmResult GetCategory(const GUID& catid, OmCategoryDescription* out) = 0;
    // OM_E_NOTFOUND.
    virtual OmResult UnregisterCategory(const GUID& catid) = 0;
    // Redirects creation of `clsid` to `target`; null clears the redirection.
    virtual OmResult SetTreatAs(const GUID& clsid, const GUID* target) = 0;
    // Replaces the relation of `kind` (0-4) for `id` with a zero-terminated list (or none).
    virtual OmResult SetRelation(int32_t kind, const GUID& id, const GUID* list) = 0;
    // Steps *cursor to the next related id (a zero cursor starts the walk). 0 while an id is
    // produced; OM_E_FAIL at the end (cursor cleared), for an unknown kind or a cursor that
    // is not in the set.
    virtual OmResult GetRelation(int32_t kind, const GUID& id, GUID* cursor) = 0;
};

struct IObjectManager : IUnknown {
    // A class factory (or other interface of the class object) for `clsid`, following
    // treat-as redirections. `outer` and `context` are passed through unused.
    virtual OmResult GetClassObject(const GUID& clsid, IUnknown* outer, uint32_t context,
                                    const GUID& iid, void** out) = 0;
    // The same for the selected (else first) class of a category; OM_E_NOTFOUND when empty.
    virtual OmResult GetClassObjectOfCategory(const GUID& catid, IUnknown* outer, uint32_t context,
                                              const GUID& iid, void** out) = 0;
    // Creates an object of `clsid` and queries it for `iid`; the caller gets one reference.
    virtual OmResult CreateInstance(const GUID& clsid, IUnknown* outer, uint32_t context,
                                    const GUID& iid, void** out) = 0;
    virtual OmResult CreateInstanceOfCategory(const GUID& catid, IUnknown* outer, uint32_t context,
                                              const GUID& iid, void** out) = 0;
    // Does nothing; 0.
    virtual OmResult Reserved() = 0;
    // The class registry, no reference added.
    virtual IClassRegistry* GetClassRegistry() = 0;
    // Stores a program-wide object under `id`, taking over the caller's reference and
    // releasing the one stored before. OM_E_OUTOFMEMORY.
    virtual OmResult RegisterGlobalObject(const GUID& id, IUnknown* object) = 0;
    // The object stored under `id` or null; no reference added.
    virtual IUnknown* LookupGlobalObject(const GUID& id) = 0;
};

// Installs the program-wide object manager, taking over the caller's reference. A second
// non-null value while one is set is refused with OM_E_FAIL; null releases and clears it.
OmResult OmSetObjectManager(IObjectManager* manager);
// The program-wide object manager, no reference added; null before start-up.
IObjectManager* OmGetObjectManager();

// Wrappers over the program-wide manager; each answers OM_E_NOMANAGER when none is set.
OmResult OmGetClassObject(const GUID& clsid, IUnknown* outer, uint32_t context, const GUID& iid,
                          void** out);
OmResult OmCreateInstance(const GUID& clsid, IUnknown* outer, uint32_t context, const GUID& iid,
                          void** out);
OmResult OmCreateInstanceOfCategory(const GUID& catid, IUnknown* outer, uint32_t context,
                                    const GUID& iid, void** out);
OmResult OmRegisterGlobalObject(const GUID& id, IUnknown* object);
// Null when no manager is set.
IUnknown* OmLookupGlobalObject(const GUID& id);
// Steps *clsid through the classes of a category (registry relation 1).
OmResult OmFindNextClassOfCategory(const GUID& catid, GUID* clsid);
OmResult OmSetTreatAsClass(const GUID& clsid, const GUID* target);

// Typed form of the create call: OmCreate<IFoo>(CLSID_Foo, IID_IFoo, &foo).
template <class T>
OmResult OmCreate(const GUID& clsid, const GUID& iid, T** out) {
    return OmCreateInstance(clsid, nullptr, 0, iid, reinterpret_cast<void**>(out));
}
