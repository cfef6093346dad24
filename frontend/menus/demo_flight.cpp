// The demo flight: the demo scene drawn through the started engine into the main window.
#include "frontend/menus/demo_flight.h"

#include "engine/core/lg_engine.h"
#include "framework/platform/os_service.h"
#include "frontend/setup/window_hook.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_startup.h"
#include "platform/clock.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "tools/demoscene/demo_scene.h"
#include "tools/demoscene/demo_textures.h"

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr char error_title[] = "Aerovant Error";
constexpr long headless_frames = 120;

bool leave_requested = false;
long frames_shown = 0;

// A close request or Esc ends the flight; the window stays for the shutdown to take down.
intptr_t demo_message_hook(OmWindowHandle, uint32_t message, uintptr_t wparam, intptr_t) {
    if (message == platform::WM_CLOSE) {
        leave_requested = true;
        return 0;
    }
    if (message == platform::WM_KEYDOWN && wparam == platform::VK_ESCAPE) leave_requested = true;
    return -1;
}

bool keep_flying() {
    if (IOmOS* os = TvGetOS()) {
        os->Pump();
        if (os->IsQuitRequested()) return false;
    }
    return !leave_requested && !TvGetQuitFlag();
}

OmResult fly(const std::string& textures, long frames) {
    demoscene::DemoScene scene;
    if (!scene.build({}, textures)) {
        platform::message_box(error_title, "Could not build the demo scene: " + scene.error());
        return OM_E_FAIL;
    }
    const uint32_t start = platform::timeGetTime();
    for (; frames < 0 || frames_shown < frames; ++frames_shown) {
        if (!keep_flying()) break;
        scene.advance(float(platform::timeGetTime() - start) / 1000.0f);
        if (!scene.render_frame(TvGetVideoWindowHandle())) {
            platform::message_box(error_title, "Drawing failed: " + scene.error());
            return OM_E_FAIL;
        }
    }
    return OM_S_OK;
}

} // namespace

OmResult TvFlyDemo(long frames) {
    if (frames < 0 && platform::headless()) frames = headless_frames;
    leave_requested = false;
    frames_shown = 0;
    // Models name their textures without an extension; the demo's textures are BMP files.
    if (LgImageRegisterFileFormat("bmp", LgImageReadBMP, nullptr) != 1) {
        platform::message_box(error_title, "Could not register the BMP reader.");
        return OM_E_FAIL;
    }
    std::error_code ec;
    const std::filesystem::path textures =
        std::filesystem::temp_directory_path(ec) / ("corvel-textures-" + std::to_string(getpid()));
    if (ec || !std::filesystem::create_directories(textures, ec) ||
        !demoscene::write_demo_textures(textures.string())) {
        platform::message_box(error_title, "Could not prepare the demo textures.");
        std::filesystem::remove_all(textures, ec);
        return OM_E_FAIL;
    }
    IOmWindow* window = TvGetMainWindow();
    if (window) window->AddMessageHook(demo_message_hook);
    const OmResult result = fly(textures.string(), frames);
    if (window) window->RemoveMessageHook(demo_message_hook);
    std::filesystem::remove_all(textures, ec);
    return result;
}

long TvDemoFramesShown() {
    return frames_shown;
}
