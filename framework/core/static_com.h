// StaticCOM: the built-in object manager with its class registry and program-wide objects.
#pragma once

#include "framework/core/object_manager.h"

// Creates the built-in object manager directly (start-up does this).
OmResult OmCreateStaticCOM(IUnknown* outer, IObjectManager** out);
