// StaticCOMDirectory: the class registry with class descriptions, named entries, categories
// and the relations between them.
#pragma once

#include "framework/core/object_manager.h"

// Creates a class registry directly (the object manager makes its own this way).
OmResult OmCreateStaticCOMDirectory(IUnknown* outer, IClassRegistry** out);

// Sets the "Selected" entry of a class, so creation by any of its categories picks it.
OmResult OmSelectClassOfCategory(IClassRegistry* registry, const GUID& clsid);
