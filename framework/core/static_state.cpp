// The list of registered state resets.
#include "framework/core/static_state.h"

#include <vector>

namespace {
// Function-local so registration from other translation units' static initialisers is safe.
std::vector<void (*)()>& resets() {
    static std::vector<void (*)()> list;
    return list;
}
} // namespace

OmStaticStateReset::OmStaticStateReset(void (*reset)()) {
    resets().push_back(reset);
}

void OmResetStaticState() {
    for (auto reset : resets()) reset();
}
