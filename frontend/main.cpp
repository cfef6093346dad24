// Program entry of corvel. Until the front end's menus and missions exist, the program brings
// up everything built so far in the game's start-up order (framework and its modules, the
// component libraries, the application window, the 3D engine on the software device), flies
// the engine's demo scene until the window closes, Esc is pressed or the requested number of
// frames is shown, and takes it all down again in reverse order.
#include "framework/core/component_libraries.h"
#include "framework/core/framework_startup.h"
#include "framework/core/module_groups.h"
#include "framework/core/object_manager.h"
#include "platform/clock.h"
#include "platform/graphics/presenter.h"
#include "platform/headless.h"
#include "platform/message_box.h"
#include "platform/startup.h"
#include "platform/window/event_hub.h"
#include "platform/window/gfx_window_hooks.h"
#include "platform/window/window.h"
#include "tools/demoscene/demo_scene.h"
#include "tools/demoscene/demo_textures.h"
#include "tools/demoscene/engine_session.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr const char* error_title = "Aerovant Error";

struct Options {
    long frames = -1; // -1: until the window closes
};

bool parse_options(int argc, char** argv, Options* out) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (!end || *end || n < 0) return false;
            out->frames = n;
        } else {
            return false;
        }
    }
    return true;
}

// Pumps the window's messages; false once the user asks to leave.
bool pump_messages() {
    platform::Msg msg{};
    bool keep_going = true;
    while (platform::peek_message(&msg, true)) {
        if (msg.message == platform::WM_QUIT || msg.message == platform::WM_CLOSE ||
            (msg.message == platform::WM_KEYDOWN && msg.wparam == platform::VK_ESCAPE))
            keep_going = false;
        platform::translate_message(msg);
        platform::dispatch_message(msg);
    }
    return keep_going;
}

// Shows the demo flight on a started engine; 0 on a clean finish.
int fly_demo(const demoscene::EngineSession& session, const Options& options) {
    std::error_code ec;
    std::filesystem::path textures =
        std::filesystem::temp_directory_path(ec) / ("corvel-textures-" + std::to_string(getpid()));
    if (ec || !std::filesystem::create_directories(textures, ec) ||
        !demoscene::write_demo_textures(textures.string())) {
        platform::message_box(error_title, "Could not prepare the demo textures.");
        return -1;
    }
    int result = 0;
    {
        demoscene::DemoScene scene;
        if (!scene.build({}, textures.string())) {
            platform::message_box(error_title, "Could not build the demo scene: " + scene.error());
            result = -1;
        } else {
            const uint32_t start = platform::timeGetTime();
            for (long frame = 0; options.frames < 0 || frame < options.frames; ++frame) {
                if (!pump_messages()) break;
                scene.advance(float(platform::timeGetTime() - start) / 1000.0f);
                if (!scene.render_frame(session.window())) {
                    platform::message_box(error_title, "Drawing failed: " + scene.error());
                    result = -1;
                    break;
                }
            }
        }
    }
    std::filesystem::remove_all(textures, ec);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    platform::startup();
    Options options;
    if (!parse_options(argc, argv, &options)) {
        std::fprintf(stderr, "usage: corvel [--frames N]\n");
        return 2;
    }
    if (platform::headless() && options.frames < 0) options.frames = 120;

    if (OmStartup() < 0) {
        platform::message_box(error_title,
                              "Could not open Ormic 5 COM! Program file may be corrupted.");
        return -1;
    }
    OmRegisterAllModuleGroups(OmGetObjectManager());
    // The component libraries are optional: no dlls.ini means none.
    OmLoadComponentDlls(nullptr);

    int result = -1;
    platform::Window* window =
        platform::create_window({"Aerovant", "Aerovant", nullptr, nullptr, 640, 480});
    if (window) {
        platform::set_gfx_window_hooks(platform::window_service_gfx_hooks());
        platform::show_window(window, platform::SW_SHOWNORMAL);
        demoscene::EngineSession session;
        if (!session.begin({window, 640, 480, 16, true})) {
            platform::message_box(error_title, "Could not start video: " + session.error());
        } else {
            result = fly_demo(session, options);
            session.end();
        }
        platform::shut_down_presenter();
        platform::set_gfx_window_hooks({});
        platform::destroy_window(window);
    }
    OmShutdown();
    if (result == 0)
        std::printf("corvel: the framework, the window and the 3D engine started and stopped "
                    "cleanly; the game's menus and missions are not built yet.\n");
    return result;
}
