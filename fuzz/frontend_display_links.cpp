// Fuzzes the display links through the dispatcher, run for real on a started display: the
// engine on the software device, headless and full screen, started once in its 640 x 480 mode
// with the menu camera on it. "command:videomode:" switches the mode, shows the confirmation
// page in it and switches back; "command:renderer:" tears the display down and starts the
// renderer's menu mode; the graphics settings links write [graphics]. The confirmation page
// answers as the input says (timed out, confirmed, or a close request); the menu browser is
// not made (pages are covered by the page harnesses), so the display the switches tear down
// and build again is the menu camera with its rasters. The device is the default software one
// with one texture format and no colour-keyed textures (so a start does not probe colour keys
// by drawing), its 640 x 480 and 800 x 600 modes, rasterising on the calling thread.
// Checks, after every input:
// - the display is one the device reports: the device is started in the mode of the list
//   entry the front end calls current, the screen, the window's client area, the menu camera's
//   rasters and the settings record all have that mode's size, and the sub-system is one of
//   the list;
// - a mode switch comes back to the menus' mode; the configured mission mode and the
//   [graphics] "mode" and "renderer" keys name entries that exist;
// - only "command:quit" ends the front end;
// - blocks balance (the engine's memory goes through the framework's allocator).
// The display is put back to the fixture's mode and renderer after each input.
//
// Input: a byte (low two bits: the confirmation page's answer), a byte choosing the link's
// form (the display forms, or none: the rest is the whole link), then the rest of the link.
#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine_instance.h"
#include "engine/core/lg_raster.h"
#include "engine/driver/lg_d3d_driver.h"
#include "engine/driver/lg_d3d_state.h"
#include "framework/containers/property_sheet.h"
#include "framework/platform/os_service.h"
#include "frontend/menus/dispatcher.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/menu_entry_points.h"
#include "frontend/menus/page_seam.h"
#include "frontend/settings/data_storage.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/window_hook.h"
#include "frontend/startup/game_services.h"
#include "frontend/startup/window_components.h"
#include "frontend/video/video_modes.h"
#include "frontend/video/video_startup.h"
#include "fuzz/data_harness.h"
#include "platform/graphics/device_profile.h"
#include "platform/headless.h"
#include "platform/os/named_mutex.h"
#include "program/class_registration.h"
#include "tests/fixtures/menu_session_state.h"

#include <cstdlib>
#include <optional>
#include <string>

using fuzzing::require;

namespace {

constexpr char kSettings[] = "[graphics]\nrenderer=0\nmode=0\nwindowed=0\nshadows=1\n"
                             "drawdistance=600.0\neffectsdetail=1000\n[globalcontrol]\ntype=3\n";

const char* const kForms[] = {
    "command:videomode:", "command:renderer:",      "command:vsync:", "command:detailtextures:",
    "command:shadows:",   "command:effectsdetail:", "slidebar:",      ""};

// What the confirmation page ends with.
const char* page_answer = TV_TIMEOUT_LINK;
int pages_run = 0;

std::string run_page(const char* page, uint32_t) {
    require(std::string(page) == TV_VIDEO_MODES_PAGE, "only the confirmation page runs");
    ++pages_run;
    return page_answer;
}

// The menus' display as the menu loop has it without its browser: the menu camera for the
// screen, the image readers registered again.
void set_up_display() {
    TvSetUpMenuCamera(tvfe::TvGetScreenWidth(), tvfe::TvGetScreenHeight(), 16);
}

// What the dispatcher starts outside the menus does nothing here.
OmResult refuse() {
    return OM_E_FAIL;
}
const TvMenuEntryPoints kNothing = {
    [](int32_t) { return refuse(); }, [](const char*) { return refuse(); },
    [](int32_t) { return refuse(); }, [] { return refuse(); },
    [] { return refuse(); },          [](const char*, int32_t, int32_t) { return refuse(); },
    [] { return refuse(); },
};

struct Fixture {
    fixtures::MenuSessionState state;
    int32_t mode = -1;
    int32_t renderer = -1;

    Fixture() {
        platform::set_headless(true);
        // The default device with one texture format, 565 (the engine needs a 16-bit one),
        // without colour-keyed textures (the engine would probe each format's colour key by
        // drawing test triangles at every start, half the cost of a switch), and the
        // rasteriser on the calling thread.
        platform::DeviceProfile profile = platform::default_profile();
        profile.texture_formats.resize(1);
        profile.device.dpcTriCaps.dwTextureCaps &= ~platform::D3DPTEXTURECAPS_TRANSPARENCY;
        // Two 16-bit modes are enough to switch between: 640 x 480 and 800 x 600.
        profile.display_modes = {profile.display_modes[0], profile.display_modes[2]};
        profile.raster_threads = 1;
        platform::set_device_profile(profile);
        fuzzing::start_data_framework();
        // The window's one-per-machine lock is not taken: its directory does not exist.
        platform::set_lock_dir("/nonexistent/corvel-fuzz-locks");
        // The menu camera's raster comes from the game's renderer class.
        TvRegisterClasses(OmGetObjectManager());
        TvInstallGameServices();
        require(TvOpenWindowComponents() >= 0, "the window components");
        IOmWindow* window = TvGetMainWindow();
        window->SetWindowed(0);
        window->SetClientSize(640, 480);
        window->SetClassName("corvel display links");
        require(window->Create(nullptr) >= 0, "the window");
        // The data storage the program opens at start-up (a layout link reads through it).
        require(tvfe::TvOpenDemoRecordings() >= 0, "the data storage");
        require(TvInitVideo() >= 0, "video");
        TvSelectVideoModes(-1, 0);
        for (int32_t i = 0; i < TvGetModeCount() && mode < 0; ++i)
            if (TvGetMode(i)->width == 640 && TvGetMode(i)->height == 480) mode = i;
        require(mode >= 0 && TvStartVideo(mode) >= 0, "the menus' mode starts");
        renderer = TvGetCurrentSubSystem();
        require(TvGetSubSystemCount() > 0, "a renderer");
        require(TvRecreateEngineCamera() >= 0, "the engine camera");
        set_up_display();
        static const TvPageHooks hooks = {run_page, nullptr, TvReleaseMenuVideo, set_up_display};
        TvInstallPageHooks(&hooks);
        TvInstallMenuEntryPoints(&kNothing);

        state = fixtures::MenuSessionState::fixture();
    }

    // The settings record told the display, as the menus' set-up tells it.
    static void tell_record() {
        TvGameSettings& record = TvGetGameSettingsRecord();
        record.width = tvfe::TvGetScreenWidth();
        record.height = tvfe::TvGetScreenHeight();
        record.frame_raster = LgCameraGetRaster(TvGetMenuCamera());
        record.depth_raster = LgCameraGetZRaster(TvGetMenuCamera());
    }

    void restore() {
        state.restore();
        tell_record();
        TvSetConfiguredMissionMode(mode);
        TvSetQuitFlag(0);
        pages_run = 0;
    }

    // The display back in the menus' mode of the fixture's renderer.
    void restore_display() {
        if (TvGetCurrentSubSystem() == renderer && TvGetCurrentMode() == mode) return;
        TvReleaseMenuVideo();
        TvReleaseEngineCamera();
        TvStopVideo();
        TvFreeVideoModes();
        TvSelectVideoModes(renderer, 0);
        require(TvStartVideo(mode) >= 0, "the menus' mode starts again");
        TvRecreateEngineCamera();
        set_up_display();
    }
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

bool same_mode(const LgVideoMode& a, const LgVideoMode& b) {
    return a.width == b.width && a.height == b.height && a.depth == b.depth && a.flags == b.flags;
}

bool raster_of_size(LgRaster* raster, int32_t width, int32_t height) {
    return raster && LgRasterGetWidth(raster) == width && LgRasterGetHeight(raster) == height;
}

// A [graphics] key that, when there, is an entry index below `count`.
void check_index_key(IPropertySheet* sheet, const char* key, int32_t count, const char* what) {
    char text[64] = {};
    if (sheet->SetSection("graphics") < 0 || sheet->GetString(key, text, sizeof text) < 0) return;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    require(end != text && *end == '\0' && value >= 0 && value < count, what);
}

void check_display(IPropertySheet* settings) {
    const int32_t current = TvGetCurrentMode();
    require(current >= 0 && current < TvGetModeCount(), "the current mode is an entry of the list");
    const LgVideoMode& listed = *TvGetMode(current);
    int32_t device_mode = -1;
    LgVideoMode device{};
    require(LgEngineDeviceRequest(LgD3DGetDevice(), LgDeviceRequestCurrentVideoMode, &device_mode,
                                  nullptr, 0) &&
                LgEngineGetVideoModeInfo(&device, device_mode) && same_mode(device, listed),
            "the device runs the mode the front end calls current");
    require(LgD3DDriver.started, "the device is started");
    const int32_t width = tvfe::TvGetScreenWidth(), height = tvfe::TvGetScreenHeight();
    require(width == listed.width && height == listed.height, "the screen has the mode's size");
    uint32_t client_w = 0, client_h = 0;
    TvGetMainWindow()->GetClientSize(&client_w, &client_h);
    require(int32_t(client_w) == width && int32_t(client_h) == height,
            "the window's client area has the mode's size");
    LgCamera* camera = TvGetMenuCamera();
    require(camera && raster_of_size(LgCameraGetRaster(camera), width, height) &&
                raster_of_size(LgCameraGetZRaster(camera), width, height),
            "the menu camera's rasters have the mode's size");
    const TvGameSettings& record = TvGetGameSettingsRecord();
    require(record.width == width && record.height == height,
            "the settings record has the screen's size");
    // A switch gives the record the engine camera's rasters (which a mission replaces by the
    // menu camera's when there are none); otherwise the menus' stay.
    LgCamera* engine_camera = TvGetEngineCamera();
    require((record.frame_raster == LgCameraGetRaster(camera) &&
             record.depth_raster == LgCameraGetZRaster(camera)) ||
                (engine_camera && record.frame_raster == LgCameraGetRaster(engine_camera) &&
                 record.depth_raster == LgCameraGetZRaster(engine_camera)),
            "the settings record has the menu camera's or the engine camera's rasters");
    require(TvGetSubSystem(TvGetCurrentSubSystem()) != nullptr, "the renderer is one of the list");
    const int32_t configured = TvGetConfiguredMissionMode();
    require(configured >= 0 && configured < TvGetModeCount(),
            "the configured mission mode is an entry of the list");
    check_index_key(settings, "mode", TvGetModeCount(), "[graphics] mode is an entry");
    check_index_key(settings, "renderer", TvGetSubSystemCount(),
                    "[graphics] renderer is a renderer of the list");
}

void run_input(const uint8_t* data, size_t size, bool checked) {
    Fixture& f = fixture();
    fuzzing::FuzzInput input(data, size);
    static const char* const answers[] = {TV_TIMEOUT_LINK, "command:back", TV_QUIT_LINK,
                                          TV_TIMEOUT_LINK};
    page_answer = answers[input.byte() & 3];
    const char* form = kForms[input.byte() % std::size(kForms)];
    const std::string link = form + std::string(fuzzing::text_of(input.rest()).c_str());

    f.restore();
    std::optional<fuzzing::FrameworkBlocksBalanced> balanced;
    if (checked) balanced.emplace();
    // The settings sheet is made for each input: a sheet keeps the pool blocks its largest
    // content needed.
    ComRef<IPropertySheet> settings;
    require(OmCreate(CLSID_PropertySheet, IID_IPropertySheet, settings.put()) >= 0, "a sheet");
    auto text = fuzzing::stream_of(std::string_view(kSettings));
    require(settings->Load(text.get()) >= 0, "the fixture settings load");
    TvHoldSettingsSheet(settings.get());

    TvMenus().current_page = "menus\\current.html";
    TvSetLink(link);
    const OmResult r = TvDispatchLink();
    require(r >= 0 || link == TV_QUIT_LINK, "only the quit link ends the front end");
    check_display(settings.get());
    if (link.rfind(kForms[0], 0) == 0 && pages_run)
        require(TvGetCurrentMode() == f.mode, "a mode switch comes back to the menus' mode");
    f.restore_display();
    TvHoldSettingsSheet(nullptr);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fixture();
    // What the first switches and settings writes make once is made here, outside the inputs'
    // balance checks.
    const uint8_t warm[][4] = {{1, 0, '1'}, {0, 0, '9'}, {0, 1, '0'}, {0, 2, '1'}, {0, 6, '1'}};
    for (const auto& input : warm) run_input(input, 3, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    run_input(data, size, true);
    return 0;
}
