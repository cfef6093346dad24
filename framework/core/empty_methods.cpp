// Small shared destroy steps of components.
#include "framework/core/empty_methods.h"

void OmReleaseFirstMember(IUnknown*& member) {
    if (IUnknown* held = member) {
        member = nullptr;
        held->Release();
    }
}

void OmEmptyMethod(void*) {}

void OmEmptyDestroy(void*) {}
