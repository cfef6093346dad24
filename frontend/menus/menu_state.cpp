// The menu state.
#include "frontend/menus/menu_state.h"

namespace {

TvMenuState state;

} // namespace

TvMenuState& TvMenus() {
    return state;
}

void TvResetMenuState() {
    state = TvMenuState{};
}

void TvSetLink(const std::string& text) {
    state.link = text.substr(0, TV_LINK_LIMIT);
}
