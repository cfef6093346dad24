// Small shared destroy steps of components.
#pragma once

#include "framework/core/unknown.h"

// Releases the interface held in `member` and clears it; nothing when it is already null.
void OmReleaseFirstMember(IUnknown*& member);
// Destroy steps of classes that own nothing beyond their memory.
void OmEmptyMethod(void* object);
void OmEmptyDestroy(void* object);
