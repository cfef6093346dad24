// Mode and renderer switches over video start-up.
#include "frontend/video/video_modes.h"

#include "engine/core/lg_camera.h"
#include "framework/containers/property_sheet.h"
#include "frontend/menus/game_session.h"
#include "frontend/menus/page_seam.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_values.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/single/front_end_release.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/startup_trace.h"
#include "frontend/video/video_startup.h"
#include "platform/window/window.h"

#include <string>

namespace {

constexpr char source_name[] = "tvdivideo";

int32_t configured_mission_mode = 0;

// The engine is stopped with nothing of the game or the menus left on it. Whether there was an
// engine camera to make again.
bool take_display_down() {
    TvDiscardGameComponent();
    TvReleaseMenuDisplay();
    const bool camera = TvGetEngineCamera() != nullptr;
    TvReleaseEngineCamera();
    TvStopVideo();
    TvTraceStep("menu video shut down");
    return camera;
}

// The menus on the new screen, and the settings record told its size and rasters.
void bring_display_up(bool camera) {
    if (camera) TvRecreateEngineCamera();
    TvSetUpMenuDisplay();
    TvGameSettings& record = TvGetGameSettingsRecord();
    record.width = tvfe::TvGetScreenWidth();
    record.height = tvfe::TvGetScreenHeight();
    record.frame_raster = LgCameraGetRaster(TvGetEngineCamera());
    record.depth_raster = LgCameraGetZRaster(TvGetEngineCamera());
    TvTraceStep("menu video restarted");
}

// A change asked for on the options pages: the keyboard and mouse are let go and the window is
// minimised while the engine restarts; then the window is restored and the devices taken again.
class MenuVideoChange {
public:
    MenuVideoChange() {
        TvReleaseInputDevices();
        TvTraceStep("input devices released");
        TvMinimizeWindow();
        TvTraceStep("window minimised");
    }
    ~MenuVideoChange() {
        TvRestoreWindow();
        TvTraceStep("window restored");
        // Mend: the release above would otherwise leave the menus without pointer or keys and
        // the settings record with a released Timer.
        TvReopenKeyboardAndMouse();
        TvGameSettings& record = TvGetGameSettingsRecord();
        record.keyboard_device = TvGetKeyboardDevice();
        record.mouse_device = TvGetMouseDevice();
        record.timer = TvGetTimer();
        TvTraceStep("input devices opened");
    }
    MenuVideoChange(const MenuVideoChange&) = delete;
    MenuVideoChange& operator=(const MenuVideoChange&) = delete;
};

// TvApplyVideoMode inside a menu change (nothing of it when the mode is already in use).
OmResult apply_from_menus(int32_t mode) {
    if (mode == TvGetCurrentMode()) return OM_S_OK;
    const MenuVideoChange change;
    return TvApplyVideoMode(mode);
}

void write_graphics_key(const char* key, int32_t value) {
    IPropertySheet* sheet = TvGetSettingsSheet();
    if (sheet && sheet->UseSection(TV_SECTION_GRAPHICS) >= 0) TvSettingsSetInt(sheet, key, value);
}

// The first 640 x 480 16-bit entry of the mode list, else 0.
int32_t menu_mode_entry() {
    for (int32_t i = 0; i < TvGetModeCount(); ++i) {
        const LgVideoMode* m = TvGetMode(i);
        if (m->width == 640 && m->height == 480 && m->depth == 16) return i;
    }
    return 0;
}

// The system pointer goes to the new screen's far corner, out of the menus' way.
void put_cursor_at_screen_size() {
    const int32_t width = tvfe::TvGetScreenWidth(), height = tvfe::TvGetScreenHeight();
    platform::set_cursor_pos(width, height);
    TvTraceStep("cursor at " + std::to_string(width) + " x " + std::to_string(height));
}

} // namespace

int32_t TvGetConfiguredMissionMode() {
    return configured_mission_mode;
}

void TvSetConfiguredMissionMode(int32_t mode) {
    configured_mission_mode = mode;
}

OmResult TvApplyVideoMode(int32_t mode) {
    const int32_t previous = TvGetCurrentMode();
    if (mode == previous) return OM_S_OK;
    const bool camera = take_display_down();
    OmResult result = OM_S_OK;
    if (TvStartVideo(mode) < 0) {
        const std::string detail = std::to_string(mode);
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't start video mode", detail.c_str());
        result = OM_E_FAIL;
        TvStartVideo(previous);
    }
    put_cursor_at_screen_size();
    bring_display_up(camera);
    write_graphics_key(TV_KEY_MODE, configured_mission_mode);
    // The pilots keep the mission mode: start-up reads it from them over [graphics] "mode".
    TvWritePilotsFile();
    TvTraceStep("pilots saved");
    return result;
}

OmResult TvChooseVideoMode(int32_t mode) {
    const int32_t remembered = TvGetCurrentMode();
    // A mode that did not start is shown as the previous one; confirming that configures
    // nothing, so missions never get a mode that is not in the list.
    const bool started = apply_from_menus(mode) >= 0;
    const std::string link = TvRunPage(TV_VIDEO_MODES_PAGE, TV_VIDEO_MODES_TIMEOUT_MS);
    const bool confirmed = started && link != TV_TIMEOUT_LINK && link != TV_QUIT_LINK;
    if (confirmed) configured_mission_mode = mode;
    apply_from_menus(remembered);
    if (confirmed) write_graphics_key(TV_KEY_MODE, configured_mission_mode);
    return confirmed ? OM_S_OK : OM_E_FAIL;
}

OmResult TvChooseRenderer(int32_t renderer) {
    // Only a renderer of the list can be chosen: another number would name no sub-system
    // while the engine kept its own, and the settings would keep that number.
    if (renderer < 0 || renderer >= TvGetSubSystemCount()) {
        const std::string detail = std::to_string(renderer);
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't start renderer", detail.c_str());
        return OM_E_FAIL;
    }
    const int32_t previous_renderer = TvGetCurrentSubSystem();
    const int32_t previous_mode = TvGetCurrentMode();
    const int32_t windowed = TvIsVideoWindowed();
    const MenuVideoChange change;
    const bool camera = take_display_down();
    TvFreeVideoModes();
    TvSelectVideoModes(renderer, windowed);
    int32_t entry = menu_mode_entry();
    OmResult result = OM_S_OK;
    if (TvStartVideo(entry) < 0) {
        const std::string detail = std::to_string(renderer);
        TvWriteErrorLine2(source_name, __LINE__, "Couldn't start renderer", detail.c_str());
        result = OM_E_FAIL;
        TvFreeVideoModes();
        TvSelectVideoModes(previous_renderer, windowed);
        renderer = previous_renderer;
        entry = previous_mode;
        TvStartVideo(entry);
    }
    bring_display_up(camera);
    write_graphics_key(TV_KEY_RENDERER, renderer);
    write_graphics_key(TV_KEY_MODE, entry);
    return result;
}
