// The fixture game's frame operations.
#include "tests/frontend/single/fixture_game.h"

#include "frontend/single/mission_loop.h"

namespace singletest {

OmResult FixtureGame::Update() {
    ++updates;
    return OM_S_OK;
}

OmResult FixtureGame::Render(TvOverlayCallback callback, void* context) {
    if (callback == TvDrawMissionResult) {
        ++result_renders;
        last_result_elapsed = uint32_t(reinterpret_cast<uintptr_t>(context));
        if (callback) callback(nullptr, context);
        return OM_S_OK;
    }
    ++overlay_renders;
    ++frames;
    if (callback) callback(nullptr, context);
    if (on_frame) on_frame(frames);
    return OM_S_OK;
}

} // namespace singletest
