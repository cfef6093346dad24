// The framework as the data-file harnesses (sound, input, game data, front end) run it: every
// module group but the network and the input drivers (a harness registers what it needs), the
// debug-message service left out (reports of bad input cost nothing and write no log), the
// storage classes opening the shared map in memory, the program directory "/fuzz", the virtual
// clock and the manual audio backend (no audio device; a sound device made on it runs one
// worker thread, idle while nothing renders).
#pragma once

#include "fuzz/framework_harness.h"
#include "fuzz/shared_storage.h"
#include "platform/audio/audio_backend.h"
#include "platform/clock.h"
#include "platform/paths.h"
#include "program/module_groups.h"

OmResult DebugMessage_UnregisterClasses(IObjectManager* manager);

namespace fuzzing {

inline constexpr char kProgramDir[] = "/fuzz";

inline void start_data_framework() {
    static const bool started = [] {
        platform::use_virtual_clock(true);
        platform::set_virtual_time(1000);
        platform::set_program_dir(kProgramDir);
        platform::audio::set_backend(platform::audio::Backend::manual);
        start_framework();
        IObjectManager* manager = OmGetObjectManager();
        OmRegisterSystemModules(manager);
        DebugMessage_UnregisterClasses(manager);
        OmRegisterSoundModules(manager);
        OmRegisterDisplayModules(manager);
        OmRegisterWebModules(manager);
        use_shared_storage();
        return true;
    }();
    (void)started;
}

// A path under the program directory, as the storage sees it.
inline std::string program_path(const std::string& relative) {
    return std::string(kProgramDir) + "/" + relative;
}

} // namespace fuzzing
