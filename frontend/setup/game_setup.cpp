// Game set-up and what it holds.
#include "frontend/setup/game_setup.h"

#include "engine/core/lg_camera.h"
#include "engine/core/lg_engine_instance.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_service.h"
#include "framework/platform/profile.h"
#include "frontend/menus/page_seam.h"
#include "frontend/pilots/pilots_file.h"
#include "frontend/setup/cheat_gate.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/sound/sound_front_end.h"
#include "frontend/startup/error_log.h"
#include "frontend/startup/stage_log.h"
#include "frontend/startup/startup_trace.h"
#include "frontend/video/video_startup.h"
#include "game/tv_frontend_services.h"
#include "game/world/tavrin_ground_object.h"
#include "net/client/om_aerovant_client.h"
#include "platform/clock.h"
#include "platform/message_box.h"

#include <chrono>
#include <thread>

namespace {

constexpr char source_name[] = "tvnetmenu";

LgCamera* engine_camera = nullptr;
IPropertySheet* settings_sheet = nullptr;
IOmWindow* setup_window = nullptr;
IOmOS* setup_os = nullptr;
bool hook_added = false;
IOmAerovantClient* network_client = nullptr;
IProfile* profiler = nullptr;
TvGameSetupSettings setup_settings;

template <class T>
void release(T*& p) {
    if (p) p->Release();
    p = nullptr;
}

OmResult fail(int line, const char* message) {
    TvWriteErrorLine(source_name, line, message);
    return OM_E_FAIL;
}

// The network client's countdown goes to the menus' status page. The client calls it on every
// turn of its wait for the join; each turn also waits a millisecond, so the wait does not spin
// and, on the virtual clock (which otherwise moves only with shown frames), the countdown's
// clock moves on too, never faster than the join thread's wall clock.
void show_status_page(void*, const char* page, int32_t seconds) {
    TvShowStatusPage(page, seconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (platform::virtual_clock_active()) platform::advance_virtual_clock(1);
}

void create_profiler() {
    if (OmCreate(CLSID_Win32Profile, IID_IProfile, &profiler) < 0) {
        profiler = nullptr;
        TvWriteErrorLine(source_name, __LINE__, "Couldn't create the profiler.");
        return;
    }
    if (profiler->Init(TV_PROFILER_STAGES, TV_PROFILER_HISTORY) < 0)
        TvWriteErrorLine(source_name, __LINE__, "Couldn't set the profiler up.");
}

void fill_settings_record() {
    TvGameSettingsSources sources;
    sources.screen_width = tvfe::TvGetScreenWidth();
    sources.screen_height = tvfe::TvGetScreenHeight();
    sources.camera_raster = LgCameraGetRaster(engine_camera);
    sources.depth_raster = LgCameraGetZRaster(engine_camera);
    sources.keyboard_device = TvGetKeyboardDevice();
    sources.mouse_device = TvGetMouseDevice();
    sources.timer = TvGetTimer();
    sources.network_client = network_client;
    sources.settings_sheet = settings_sheet;
    // The record's detail-texture switch starts off; "detailtextures" switches it on.
    TvDetailTexturesEnabled = 0;
    TvReadGameSetupSettings(settings_sheet, TvCheatsUnlocked(TvGetPilotProgress()),
                            &setup_settings);
    if (setup_settings.detail_textures) TvDetailTexturesEnabled = 1;
    TvGroundShadowLevel = setup_settings.shadows;
    TvFillGameSettingsRecord(&TvGetGameSettingsRecord(), sources, setup_settings);
    TvSetImageReductionLevel(TvTextureReductionDivisor(LgEngineRequest0CGet()));
}

} // namespace

OmResult TvSetUpGame(IPropertySheet* sheet) {
    TvReleaseGameSetUp();
    TvResetWindowFlags();
    engine_camera = LgCameraCreate();
    if (!engine_camera) return OM_S_OK;
    if (!sheet) {
        platform::message_box(TV_SETUP_ERROR_TITLE, TV_SETUP_NO_SETTINGS_TEXT);
        return OM_E_FAIL;
    }
    TvHoldSettingsSheet(sheet);

    TvTraceStep("pilots");
    TvLoadPilots();
    TvTraceStep("input");
    TvCreateInput();
    TvTraceStep("sound");
    tvfe::TvOpenSound();

    if (OmCreate(CLSID_Win32OS, IID_IOmWindow, &setup_window) < 0) {
        setup_window = nullptr;
        return fail(__LINE__, "Couldn't open Win32 Win32 component.");
    }
    if (OmCreate(CLSID_Win32OS, IID_IOmOS, &setup_os) < 0) {
        setup_os = nullptr;
        return fail(__LINE__, "Couldn't open Win32 opGOS component.");
    }
    hook_added = setup_window->AddMessageHook(TvFrontEndMessageHook) >= 0;

    TvTraceStep("network client");
    if (OmCreate(CLSID_OmAerovantClient, IID_IOmAerovantClient, &network_client) < 0) {
        network_client = nullptr;
        return fail(__LINE__, "Couldn't create a client component.");
    }
    network_client->SetStatusPage(show_status_page, nullptr);

    TvTraceStep("settings record");
    create_profiler();
    fill_settings_record();
    TvGetGameSettingsRecord().profiler = TvStageLogProfiler(profiler);
    return OM_S_OK;
}

void TvReleaseProfiler() {
    TvGetGameSettingsRecord().profiler = nullptr;
    release(profiler);
}

void TvReleaseNetworkClient() {
    TvGetGameSettingsRecord().network_client = nullptr;
    release(network_client);
}

void TvReleaseSetUpWindow() {
    if (setup_window && hook_added) setup_window->RemoveMessageHook(TvFrontEndMessageHook);
    hook_added = false;
    release(setup_window);
    release(setup_os);
}

void TvReleaseGameSetUp() {
    TvReleaseProfiler();
    tvfe::TvCloseSound();
    TvReleaseNetworkClient();
    TvReleaseSetUpWindow();
    TvReleaseInput();
    TvGetGameSettingsRecord() = TvGameSettings{};
    TvReleaseEngineCamera();
    release(settings_sheet);
    setup_settings = {};
}

void TvReleaseEngineCamera() {
    if (engine_camera) LgCameraDestroy(engine_camera);
    engine_camera = nullptr;
}

OmResult TvRecreateEngineCamera() {
    TvReleaseEngineCamera();
    engine_camera = LgCameraCreate();
    return engine_camera ? OM_S_OK : OM_E_FAIL;
}

void TvHoldSettingsSheet(IPropertySheet* sheet) {
    if (sheet) sheet->AddRef();
    release(settings_sheet);
    settings_sheet = sheet;
}

IPropertySheet* TvGetSettingsSheet() {
    return settings_sheet;
}

LgCamera* TvGetEngineCamera() {
    return engine_camera;
}

IOmAerovantClient* TvGetNetworkClient() {
    return network_client;
}

void TvSetNetworkClient(IOmAerovantClient* client) {
    if (client) client->AddRef();
    release(network_client);
    network_client = client;
    TvGetGameSettingsRecord().network_client = client;
}

IProfile* TvGetProfiler() {
    return profiler;
}

const TvGameSetupSettings& TvGetGameSetupSettings() {
    return setup_settings;
}
