// The program's entry. Start-up runs its steps in order and stops at the first that fails,
// taking down what was made; shutdown runs after the front end whatever its result.
#include "program/program_entry.h"

#include "framework/containers/property_sheet.h"
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/component_libraries.h"
#include "framework/core/framework_startup.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "framework/platform/os_service.h"
#include "frontend/menus/front_end.h"
#include "frontend/menus/front_end_shutdown.h"
#include "frontend/multiplayer/multiplayer_session.h"
#include "frontend/settings/language_strings.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_file.h"
#include "frontend/settings/settings_values.h"
#include "frontend/setup/game_setup.h"
#include "frontend/single/single_player.h"
#include "frontend/startup/command_line.h"
#include "frontend/startup/damaged_files.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/game_services.h"
#include "frontend/startup/machine_game_id.h"
#include "frontend/startup/program_directory.h"
#include "frontend/startup/program_icon.h"
#include "frontend/startup/startup_trace.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/os/named_mutex.h"
#include "platform/paths.h"
#include "platform/window/window.h"
#include "program/class_registration.h"

#include <string>
#include <vector>

namespace {

constexpr char source_name[] = "aerovantnet";
constexpr uint32_t window_width = 640;
constexpr uint32_t window_height = 480;

// What start-up has made, so that a failed start takes down exactly that.
struct Run {
    bool framework = false;
    bool window_components = false;
    bool strings = false;
    bool video = false;
    TvCommandLine command_line;
    // Lines for the error log that come before it is open.
    std::vector<std::pair<std::string, std::string>> early_log;
    ComRef<IPropertySheet> sheet;
    ComRef<IFileStorage> storage;
    TvSettingsFileState settings_file;
    TvVideoChoice video_choice;
};

int refuse(const char* text) {
    platform::message_box(TV_ERROR_TITLE, text);
    return -1;
}

// The video failure box, in the user's language; when the engine did not even initialise, the
// cursor is brought back for it first.
int refuse_video(bool show_cursor = false) {
    while (show_cursor && platform::show_cursor(true) < 0) {}
    platform::message_box(TvGetLanguageString(TV_ERROR_TITLE_STRING),
                          TvGetLanguageString(TV_VIDEO_FAILED_STRING));
    return -1;
}

// --- start-up steps: 0 to go on, -1 to stop -----------------------------------------------

int start_framework(Run& run) {
    TvTraceStep("framework start");
    if (OmStartup() < 0) return refuse(TV_FRAMEWORK_FAILED_TEXT);
    run.framework = true;
    return 0;
}

int register_classes(Run&) {
    TvTraceStep("class registration");
    TvRegisterClasses(OmGetObjectManager());
    TvInstallGameServices();
    return 0;
}

int load_component_libraries(Run&) {
    TvTraceStep("component libraries");
    // Optional: no dlls.ini means none.
    OmLoadComponentDlls(TV_COMPONENT_LIST);
    return 0;
}

int read_machine_game_id(Run&) {
    TvTraceStep("machine game id");
    TvReadMachineGameId();
    return 0;
}

int read_command_line(Run& run) {
    TvTraceStep("command line");
    run.command_line = TvParseCommandLine(TvGetProgramOptions().command_line.c_str());
    for (uint32_t i = 0; i < run.command_line.host_requests; ++i) {
        TvTraceStep("server program");
        if (TvStartServerProgram() != 0) {
            run.early_log.emplace_back("Couldn't start the server program",
                                       TvGetProgramDirectory() + TV_SERVER_PROGRAM_NAME);
            continue;
        }
        platform::Sleep(TV_SERVER_START_WAIT_MS);
    }
    return 0;
}

// A second copy would truncate the running copy's error log: it leaves, silently, first.
int refuse_second_instance(Run&) {
    TvTraceStep("instance check");
    if (platform::NamedMutex* running = platform::open_named_mutex(TV_WINDOW_NAME)) {
        platform::close_named_mutex(running);
        return -1;
    }
    return 0;
}

// Opened before the window components, so that their failures can be written.
int open_error_log(Run& run) {
    TvTraceStep("error log");
    std::string directory = TvGetProgramDirectory();
    if (directory.size() > 1) directory.pop_back();
    platform::change_dir(directory);
    TvOpenErrorLog((TvGetProgramDirectory() + TV_ERROR_LOG_NAME).c_str());
    TvRouteMessageBoxesToErrorLog();
    for (const auto& [message, detail] : run.early_log)
        TvWriteErrorLine2(source_name, __LINE__, message.c_str(), detail.c_str());
    return 0;
}

int open_window_components(Run& run) {
    TvTraceStep("window components");
    if (TvOpenWindowComponents() < 0) return refuse(TV_WINDOW_COMPONENTS_FAILED_TEXT);
    run.window_components = true;
    return 0;
}

int create_settings_sheet(Run& run) {
    TvTraceStep("settings sheet");
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, run.sheet.put()) < 0)
        return refuse(TV_SHEET_FAILED_TEXT);
    TvTraceStep("settings storage");
    if (OmCreate(CLSID_FileStorage, IID_IFileStorage, run.storage.put()) < 0)
        return refuse(TV_STORAGE_FAILED_TEXT);
    return 0;
}

int load_settings(Run& run) {
    TvTraceStep("settings file");
    run.settings_file =
        TvLoadSettingsFile(run.storage.get(), run.sheet.get(), TV_SETTINGS_FILE_NAME);
    // Without a file the sheet stays empty until game set-up: [globalcontrol] and [server]
    // (and a "-client" address in it) are saved only from the second start on.
    if (run.settings_file.read)
        TvReadStartupSettings(run.sheet.get(), run.command_line.server_address, &run.video_choice);
    else
        TvStartWithoutSettingsFile(run.command_line.server_address);
    return 0;
}

int create_window(Run& run) {
    TvTraceStep("window");
    IOmWindow* window = TvGetMainWindow();
    window->SetWindowed(run.video_choice.windowed ? 1 : 0);
    window->SetClientSize(window_width, window_height);
    window->SetClassName(TV_WINDOW_NAME);
    window->SetTitle(TV_WINDOW_NAME);
    // Refused when another copy holds the window's lock: that copy stays, this one leaves.
    if (window->Create(nullptr) < 0) return -1;
    const std::vector<uint32_t> icon = TvProgramIcon(TV_PROGRAM_ICON_SIZE);
    platform::set_window_icon(window->GetHandle(), icon.data(), TV_PROGRAM_ICON_SIZE,
                              TV_PROGRAM_ICON_SIZE);
    TvGetOS()->Pump();
    return 0;
}

int load_language_strings(Run& run) {
    TvTraceStep("language strings");
    TvLoadLanguageStrings(run.sheet.get());
    run.strings = true;
    return 0;
}

int init_video(Run& run) {
    TvTraceStep("video init");
    run.video = true;
    if (TvInitVideo() < 0) return refuse_video(true);
    return 0;
}

int select_video_modes(Run& run) {
    TvTraceStep("video modes");
    TvSelectVideoModes(run.video_choice.renderer, run.video_choice.windowed);
    return 0;
}

// A mode outside the list (negative, or left from another renderer or display) would keep the
// game from starting, or leave the menus on a 0 x 0 screen: the first mode is used instead,
// and written back so that the fallback is reported once.
int start_video(Run& run) {
    TvTraceStep("video start");
    int32_t mode = run.video_choice.mode;
    if (mode < 0 || mode >= TvGetModeCount()) {
        const std::string detail = std::to_string(mode) + "; using mode 0";
        TvWriteErrorLine2(source_name, __LINE__,
                          "Video mode outside the mode list:", detail.c_str());
        mode = 0;
        if (run.sheet->UseSection(TV_SECTION_GRAPHICS) >= 0)
            TvSettingsSetInt(run.sheet.get(), TV_KEY_MODE, 0);
    }
    if (TvStartVideo(mode) < 0) return refuse_video();
    // Missions use this mode until the pilots' own ("videomode" in characters.ini) is read.
    TvSetConfiguredMissionMode(mode);
    return 0;
}

int hide_cursor(Run&) {
    TvTraceStep("cursor hidden");
    while (platform::show_cursor(false) >= 0) {}
    platform::set_cursor_pos(0, 0);
    return 0;
}

// --- shutdown ------------------------------------------------------------------------------

void stop_video(Run& run) {
    if (!run.video) return;
    TvTraceStep("video stop");
    TvStopVideo();
    TvFreeVideoModes();
    TvCloseVideo();
    run.video = false;
}

void release_language_strings(Run& run) {
    if (!run.strings) return;
    TvTraceStep("language strings released");
    TvReleaseLanguageStrings();
    run.strings = false;
}

void save_settings(Run& run) {
    TvTraceStep("settings saved");
    if (TvSaveSettingsFile(run.storage.get(), run.sheet.get(), TV_SETTINGS_FILE_NAME,
                           run.settings_file) < 0)
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't save the settings to",
                          TV_SETTINGS_FILE_NAME);
}

void release_settings(Run& run) {
    TvTraceStep("settings released");
    run.sheet.reset();
    run.storage.reset();
}

void close_window_components(Run& run) {
    TvTraceStep("window components closed");
    TvCloseWindowComponents();
    run.window_components = false;
}

void stop_framework(Run& run) {
    if (!run.framework) return;
    TvTraceStep("framework shutdown");
    OmShutdown();
    run.framework = false;
}

// After a failed start: what was made is taken down, nothing is saved.
int abandon(Run& run) {
    TvTraceStep("start abandoned");
    TvShutDownFrontEnd();
    stop_video(run);
    release_language_strings(run);
    run.sheet.reset();
    run.storage.reset();
    platform::set_message_sink({});
    if (run.window_components) close_window_components(run);
    TvCloseErrorLog();
    TvRemoveGameServices();
    stop_framework(run);
    return -1;
}

int shut_down(Run& run) {
    TvTraceStep("front end shutdown");
    TvShutDownFrontEnd();
    stop_video(run);
    release_language_strings(run);
    save_settings(run);
    release_settings(run);
    TvTraceStep("cursor shown");
    platform::show_cursor(true);
    platform::set_message_sink({});
    close_window_components(run);
    TvRemoveGameServices();
    stop_framework(run);
    return 0;
}

} // namespace

int TvRunProgram(const TvProgramOptions& options) {
    TvTraceClear();
    TvResetDamagedFiles();
    TvSetProgramOptions(options);
    TvResetProgramSettings();
    TvForgetProgramDirectory();
    Run run;
    using Step = int (*)(Run&);
    static constexpr Step startup_steps[] = {
        start_framework,      register_classes,       load_component_libraries,
        read_machine_game_id, read_command_line,      refuse_second_instance,
        open_error_log,       open_window_components, create_settings_sheet,
        load_settings,        create_window,          load_language_strings,
        init_video,           select_video_modes,     start_video,
        hide_cursor,
    };
    for (Step step : startup_steps)
        if (step(run) < 0) return abandon(run);
    TvTraceStep("game set-up");
    bool front_end_failed = false;
    if (TvSetUpGame(run.sheet.get()) >= 0) {
        TvInstallSinglePlayerEntryPoints();
        TvInstallMultiplayerEntryPoint();
        TvTraceStep("front end " + run.command_line.start_command);
        front_end_failed = TvRunFrontEnd(run.command_line.start_command.c_str()) < 0;
    }
    const int result = shut_down(run);
    // Mend: the menus could not be set up (the error box was shown); the program ends after
    // its normal shutdown with -1, not with the 0 of a run that worked.
    if (front_end_failed) return -1;
    // Damaged data files end the program through the same shutdown, and not with 0 (which
    // would report the failure as success).
    return TvEndingOverDamagedFiles() ? TV_DAMAGED_FILES_EXIT : result;
}
