// What a module registers per class: the class record, its description and the module's
// get-class-object function.
#pragma once

#include "framework/core/unknown.h"

struct IObjectManager;

// create(outer, out): the new object (reference count 1) in *out, or a failure code.
using OmCreateFunction = OmResult (*)(IUnknown* outer, IUnknown** out);
// A module's get-class-object: a class factory for `clsid`, queried for `iid`.
using OmGetClassObjectFunction = OmResult (*)(const GUID& clsid, const GUID& iid, void** out);
// A module's register (and unregister) function over its class table.
using OmRegisterFunction = OmResult (*)(IObjectManager* manager);

// One entry of a module's class table. Category lists are null-terminated arrays of pointers
// to category ids; the first one states which categories the class belongs to.
struct OmClassRecord {
    const GUID* clsid;
    const GUID* const* categories;
    const GUID* const* categories2;
    OmCreateFunction create;
    const char* name;
};

inline constexpr uint32_t OM_CLASS_DESCRIPTION_SIZE = 88;
inline constexpr uint32_t OM_CLASS_NAME_CAPACITY = 84; // with the terminating NUL

struct OmClassDescription {
    uint32_t size; // always OM_CLASS_DESCRIPTION_SIZE
    char name[OM_CLASS_NAME_CAPACITY];
};
static_assert(sizeof(OmClassDescription) == OM_CLASS_DESCRIPTION_SIZE);

inline constexpr uint32_t OM_CATEGORY_DESCRIPTION_SIZE = 84;

// A category's description: the size word, the rest as the registering caller fills it.
struct OmCategoryDescription {
    uint32_t size; // OM_CATEGORY_DESCRIPTION_SIZE
    char text[OM_CATEGORY_DESCRIPTION_SIZE - 4];
};
static_assert(sizeof(OmCategoryDescription) == OM_CATEGORY_DESCRIPTION_SIZE);
