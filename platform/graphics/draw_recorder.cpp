// The process-wide draw listener slot.
#include "platform/graphics/draw_recorder.h"

namespace platform {
namespace {
DrawRecorder* g_recorder = nullptr;
}

DrawRecorder* set_draw_recorder(DrawRecorder* recorder) {
    DrawRecorder* previous = g_recorder;
    g_recorder = recorder;
    return previous;
}

DrawRecorder* draw_recorder() {
    return g_recorder;
}

} // namespace platform
