// The one-slot error record of the engine (module 0x40f).
#include "engine/core/lg_error.h"

#include "engine/core/lg_module.h"

namespace {

LgModule errorModule;

// Errors raised while the error module is closed (before start, after stop) still need a
// home: this slot. Init empties it; start empties it and hands over to the slice; stop copies
// the slice back, so the first error since start stays readable until the next start.
LgError unstartedSlot = LgErrorNone;

LgError* current_slot() {
    if (LgError* slot = errorModule.slice<LgError>()) return slot;
    return &unstartedSlot;
}

bool is_empty(const LgError& e) {
    return e.pluginId == LgErrorNone.pluginId && e.code == LgErrorNone.code;
}

} // namespace

void LgErrorResetUnstarted() {
    unstartedSlot = LgErrorNone;
}

const LgError* LgErrorSet(const LgError* error) {
    if (error == nullptr) return error;
    LgError* slot = current_slot();
    if (!is_empty(*slot)) return error;
    slot->code = error->code;
    slot->pluginId = error->code < 0 ? LgErrorGroupGeneric : error->pluginId;
    return error;
}

int32_t LgErrorCode(int32_t code, ...) {
    return code;
}

LgError* LgErrorGet(LgError* out) {
    if (out != nullptr) *out = *current_slot();
    return out;
}

void LgErrorRaise(uint32_t group, int32_t code) {
    const LgError error{group, code};
    LgErrorSet(&error);
}

void* LgErrorOpen(void* instance, int32_t offset, int32_t) {
    errorModule.offset = offset;
    ++errorModule.openCount;
    *LgModule::slice_of<LgError>(instance, offset) = LgErrorNone;
    unstartedSlot = LgErrorNone;
    return instance;
}

void* LgErrorClose(void* instance, int32_t offset, int32_t) {
    unstartedSlot = *LgModule::slice_of<LgError>(instance, offset);
    if (errorModule.openCount > 0) --errorModule.openCount;
    return instance;
}
