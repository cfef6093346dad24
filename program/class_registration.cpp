// The built-in class registration order. Modules of the game, the sound players, the
// engine-bound components, the input driver and the network client register here rather than
// in the framework's groups; each joins its line when its module is built.
#include "program/class_registration.h"

#include "framework/core/class_ids.h"
#include "framework/core/object_manager.h"
#include "framework/platform/os_extension.h"
#include "framework/platform/os_service.h"
#include "framework/platform/registry.h"
#include "frontend/startup/startup_trace.h"
#include "game/rules/tavrin_ai_plane.h"
#include "game/rules/tavrin_client_game.h"
#include "game/rules/tavrin_game.h"
#include "game/rules/tavrin_mission.h"
#include "game/rules/tavrin_net_plane.h"
#include "game/world/om_bezier_curve.h"
#include "game/world/om_lg_particles.h"
#include "game/world/om_lg_renderer.h"
#include "game/world/tavrin_ai_ground_object.h"
#include "game/world/tavrin_bsp_landscape.h"
#include "game/world/tavrin_camera.h"
#include "game/world/tavrin_ground_object.h"
#include "game/world/tv_object.h"
#include "game/world/tv_plane.h"
#include "game/world/tv_weapon.h"
#include "media/input/dx5_input_device.h"
#include "net/client/om_aerovant_client.h"
#include "program/module_groups.h"
#include "sound/music/win32_dx5_streamed_music.h"
#include "sound/music/win32_dx7_direct_music.h"
#include "sound/music/win32_red_book_music.h"

namespace {

using Kind = TvRegistrationKind;

// clang-format off
const TvRegistrationStep registration_order[] = {
    {Kind::module, "TavrinBSPLandscape", TvRegisterBSPLandscapeClass},
    {Kind::module, "TavrinObject", TvRegisterObjectClass},
    {Kind::module, "TavrinCamera", TvRegisterCameraClass},
    {Kind::module, "TavrinGame", TvRegisterGameClass},
    {Kind::module, "TavrinClientGame", TvRegisterClientGameClass},
    {Kind::module, "TavrinPlane", TvRegisterPlaneClass},
    {Kind::module, "TavrinAIPlane", TvRegisterAIPlaneClass},
    {Kind::module, "TavrinNetPlane", TvRegisterNetPlaneClass},
    {Kind::module, "TavrinGroundObject", TvRegisterGroundObjectClass},
    {Kind::module, "TavrinAIGroundObject", TvRegisterAIGroundObjectClass},
    {Kind::module, "TavrinWeapon", TvRegisterWeaponClass},
    {Kind::module, "TavrinMission", TvRegisterMissionClass},
    {Kind::module, "Win32Registry", Win32Registry_RegisterClasses},
    {Kind::module, "Win32OSExt", Win32OSExt_RegisterClasses},
    {Kind::module, "Win32Dx5StreamedMusic", Win32Dx5StreamedMusic_RegisterClasses},
    {Kind::module, "Win32RedBookMusic", Win32RedBookMusic_RegisterClasses},
    {Kind::module, "Win32Dx7DirectMusic", Win32Dx7DirectMusic_RegisterClasses},
    {Kind::module, "Win32OS", Win32OS_RegisterClasses},
    {Kind::module, "OmLgParticles", OmLgParticles_RegisterClasses},
    {Kind::module, "OmLgRenderer", OmLgRenderer_RegisterClasses},
    {Kind::module, "DX5InputDevice", DX5InputDevice_RegisterClasses},
    {Kind::group, "display", OmRegisterDisplayModules},
    {Kind::group, "containers", OmRegisterContainerModules},
    {Kind::group, "sound", OmRegisterSoundModules},
    {Kind::treat_as, "SoundDevice=Win32Dx6SoundControl2", nullptr},
    {Kind::group, "crypto", OmRegisterCryptoModules},
    {Kind::group, "web", OmRegisterWebModules},
    {Kind::group, "input", OmRegisterInputModules},
    {Kind::group, "maths", OmRegisterMathsModules},
    {Kind::group, "memory", OmRegisterMemoryModule},
    {Kind::group, "network", OmRegisterNetworkModules},
    {Kind::group, "system", OmRegisterSystemModules},
    {Kind::group, "storage", OmRegisterStorageModules},
    {Kind::group, "text", OmRegisterTextModules},
    {Kind::module, "OmAerovantClient", OmAerovantClient_RegisterClasses},
    {Kind::module, "OmBezierCurve", OmBezierCurve_RegisterClasses},
};
// clang-format on

} // namespace

std::span<const TvRegistrationStep> TvRegistrationOrder() {
    return registration_order;
}

void TvRegisterClasses(IObjectManager* manager) {
    for (const TvRegistrationStep& step : registration_order) {
        switch (step.kind) {
        case Kind::treat_as:
            TvTraceStep(std::string("treat-as ") + step.name);
            OmSetTreatAsClass(CLSID_SoundDevice, &CLSID_Win32Dx6SoundControl2);
            break;
        case Kind::module:
        case Kind::group:
            if (!step.register_classes) {
                TvTraceStep(std::string("register ") + step.name + " (not built)");
                break;
            }
            TvTraceStep(std::string("register ") + step.name);
            step.register_classes(manager);
            break;
        }
    }
}
