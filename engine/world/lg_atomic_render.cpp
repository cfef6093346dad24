// Rendering atomics through the clump module's atomic pipeline.
#include "engine/core/lg_error.h"
#include "engine/world/lg_clump.h"

LgAtomic* LgAtomicDefaultRender(LgAtomic*) {
    LgErrorRaise(LgErrorGroupWorld, LgErrBadState);
    return nullptr;
}

void LgAtomicDestroyInstancedResource(LgAtomic* atomic) {
    atomic->instancedResource = nullptr;
}
