// The dispatcher's entry points into the rest of the front end, and their defaults.
#include "frontend/menus/menu_entry_points.h"

#include "frontend/startup/error_log.h"

namespace {

constexpr char source_name[] = "tvnetmenu";

OmResult missing(const char* what) {
    TvWriteErrorLine2(source_name, __LINE__, "Not available in this build:", what);
    return OM_E_FAIL;
}

OmResult no_mission(int32_t) {
    return missing("single-player missions");
}
OmResult no_multiplayer(const char*) {
    return missing("multiplayer sessions");
}
OmResult no_pilot_creation(int32_t) {
    return missing("pilot creation");
}
OmResult no_pilots_file() {
    return missing("characters.ini");
}
OmResult no_server_entry() {
    return missing("server address entry");
}
OmResult no_control_capture(const char*, int32_t, int32_t) {
    return missing("control capture");
}
OmResult no_credits() {
    return missing("credits");
}

constexpr TvMenuEntryPoints defaults{no_mission,     no_multiplayer,  no_pilot_creation,
                                     no_pilots_file, no_server_entry, no_control_capture,
                                     no_credits};

TvMenuEntryPoints installed = defaults;

template <class F>
void take(F& slot, F given, F fallback) {
    slot = given ? given : fallback;
}

} // namespace

void TvInstallMenuEntryPoints(const TvMenuEntryPoints* e) {
    if (!e) {
        installed = defaults;
        return;
    }
    take(installed.play_mission, e->play_mission, defaults.play_mission);
    take(installed.run_multiplayer, e->run_multiplayer, defaults.run_multiplayer);
    take(installed.create_pilot, e->create_pilot, defaults.create_pilot);
    take(installed.save_pilots, e->save_pilots, defaults.save_pilots);
    take(installed.enter_server_address, e->enter_server_address, defaults.enter_server_address);
    take(installed.capture_control, e->capture_control, defaults.capture_control);
    take(installed.show_credits, e->show_credits, defaults.show_credits);
}

OmResult TvPlayMission(int32_t mission) {
    return installed.play_mission(mission);
}
OmResult TvRunMultiplayer(const char* address) {
    return installed.run_multiplayer(address);
}
OmResult TvCreatePilot(int32_t pilot) {
    return installed.create_pilot(pilot);
}
OmResult TvSavePilots() {
    return installed.save_pilots();
}
OmResult TvEnterServerAddress() {
    return installed.enter_server_address();
}
OmResult TvCaptureControl(const char* section, int32_t up, int32_t kind) {
    return installed.capture_control(section, up, kind);
}
OmResult TvShowCredits() {
    return installed.show_credits();
}
