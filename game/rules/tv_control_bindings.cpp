// Reading the player's control bindings from the Control.ini sections of the settings' sheet,
// the key-name table, and installing the block on the player's plane.
#include "game/rules/tv_control_bindings.h"

#include "framework/containers/property_sheet.h"
#include "game/rules/tavrin_game.h"
#include "game/rules/tv_game_hooks.h"
#include "game/tv_frontend_services.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* kSource = "tvopgame";
// Values are read as text of at most 32 characters.
constexpr uint32_t kValueSize = 33;
// Every player's local controls come from the player-1 sections.
constexpr int32_t kControlsPlayer = 1;

constexpr const char* kNoType = "Couldn't read in 'type' field Control.ini in section";
constexpr const char* kNoAxis = "Axis undefinded in Control.ini in section";
constexpr const char* kNoUpKey = "Up button in Control.ini in section";
constexpr const char* kNoDownKey = "Down button in Control.ini in section";
constexpr const char* kNoButton = "Button undefinded in Control.ini in section";
constexpr const char* kBadType = "Unsupported control type inControl.ini in section";

constexpr TvKeyName kKeyNames[] = {
    {"leftarrow", 0x95},
    {"rightarrow", 0x96},
    {"uparrow", 0x93},
    {"downarrow", 0x94},
    {"leftshift", 0xac},
    {"rightshift", 0xad},
    {"leftctrl", 0xae},
    {"rightctrl", 0xaf},
    {"tab", 0xa9},
    {"keypad0", 0x97},
    {"keypad1", 0x9a},
    {"keypad2", 0x9e},
    {"keypad3", 0x9c},
    {"keypad4", 0x9f},
    {"keypad5", 0xa7},
    {"keypad6", 0xa0},
    {"keypad7", 0x99},
    {"keypad8", 0x9d},
    {"keypad9", 0x9b},
    {"keypadenter", 0xa6},
    {"keypadpoint", 0x98},
    {"keypadplus", 0xa5},
    {"keypadminus", 0xa4},
    {"keypaddivide", 0xa2},
    {"keypadmultiply", 0xa3},
    {"spacebar", 0x20},
    {"backslash", 0x5c},
    {"rightalt", 0xb1},
    {"leftalt", 0xb0},
    {"capslock", 0xaa},
    {"return", 0xab},
    {"backspace", 0xa8},
    {"insert", 0x8d},
    {"delete", 0x8e},
    {"home", 0x8f},
    {"end", 0x90},
    {"pageup", 0x91},
    {"pagedown", 0x92},
    {"numlock", 0xa1},
    {"keypaddelete", 0x98},
    {"f1", 0x81},
    {"f2", 0x82},
    {"f3", 0x83},
    {"f4", 0x84},
    {"f5", 0x85},
    {"f6", 0x86},
    {"f7", 0x87},
    {"f8", 0x88},
    {"f9", 0x89},
    {"f10", 0x8a},
    {"f11", 0x8b},
    {"f12", 0x8c},
    {"lastentry", -1},
};
static_assert(std::size(kKeyNames) == 53);

OmResult fail(int32_t line, const char* message, const char* section) {
    TvLogError2(kSource, line, message, section);
    return OM_E_FAIL;
}

// The value of a key of the current section, when present and within the value size.
bool read_text(IPropertySheet* sheet, const char* key, char (&buffer)[kValueSize]) {
    buffer[0] = '\0';
    return sheet->GetString(key, buffer, kValueSize) >= 0;
}

// An integer key ("%d"); absent or not a number: false.
bool read_int(IPropertySheet* sheet, const char* key, int32_t* out) {
    char text[kValueSize];
    return read_text(sheet, key, text) && std::sscanf(text, "%d", out) == 1;
}

// A key-name key; absent: false. An unknown name gives code 0.
bool read_key(IPropertySheet* sheet, const char* key, int32_t* out) {
    char text[kValueSize];
    if (!read_text(sheet, key, text)) return false;
    *out = TvLookUpKeyName(text);
    return true;
}

// "sensitivity" ("%f"); absent, not a number, or infinite ("nan", "inf" read as numbers and
// would spread into the plane's controls): 1.0.
float read_sensitivity(IPropertySheet* sheet) {
    char text[kValueSize];
    float value = 1.0f;
    if (read_text(sheet, "sensitivity", text) && std::sscanf(text, "%f", &value) == 1 &&
        std::isfinite(value))
        return value;
    return 1.0f;
}

TavrinGame* game_component(ITvGame* game) {
    return dynamic_cast<TavrinGame*>(game);
}

} // namespace

std::span<const TvKeyName> TvKeyNameTable() {
    return kKeyNames;
}

int32_t TvLookUpKeyName(const char* name) {
    if (!name) return 0;
    const size_t length = std::strlen(name);
    if (length == 1) return std::tolower(static_cast<unsigned char>(name[0]));
    for (const TvKeyName& entry : kKeyNames) {
        if (entry.code == -1) break;
        if (std::string_view(entry.name) == name) return entry.code;
    }
    return 0;
}

OmResult TvReadAxisBinding(IPropertySheet* sheet, TvAxisBinding* binding, const char* section) {
    if (!sheet || !binding || !section) return OM_E_FAIL;
    const OmResult selected = sheet->SetSection(section);
    if (selected < 0) return selected;
    char type[kValueSize];
    if (!read_text(sheet, "type", type)) return fail(__LINE__, kNoType, section);
    const std::string_view kind(type);
    if (kind == "mouse") {
        binding->kind = kTvBindMouseAxis;
        if (!read_int(sheet, "axis", &binding->first)) return fail(__LINE__, kNoAxis, section);
        binding->second = 1;
    } else if (kind == "joystick") {
        binding->kind = kTvBindJoystickAxis;
        if (sheet->GetStringLength("axis") > 0) {
            if (!read_int(sheet, "axis", &binding->first)) return fail(__LINE__, kNoAxis, section);
            binding->second = 2;
        } else {
            binding->kind = kTvBindJoystickButtons;
            if (!read_int(sheet, "upbutton", &binding->first) ||
                !read_int(sheet, "downbutton", &binding->second))
                return fail(__LINE__, kNoAxis, section);
        }
    } else if (kind == "keyboard") {
        binding->kind = kTvBindKeyboard;
        if (!read_key(sheet, "upkey", &binding->first)) return fail(__LINE__, kNoUpKey, section);
        if (!read_key(sheet, "downkey", &binding->second))
            return fail(__LINE__, kNoDownKey, section);
    } else {
        return fail(__LINE__, kBadType, section);
    }
    binding->sensitivity = read_sensitivity(sheet);
    return OM_S_OK;
}

OmResult TvReadButtonBinding(IPropertySheet* sheet, TvButtonBinding* binding, const char* section) {
    if (!sheet || !binding || !section) return OM_E_FAIL;
    const OmResult selected = sheet->SetSection(section);
    if (selected < 0) return selected;
    char type[kValueSize];
    if (!read_text(sheet, "type", type)) return fail(__LINE__, kNoType, section);
    const std::string_view kind(type);
    bool read = false;
    if (kind == "mouse") {
        binding->kind = kTvBindMouseButton;
        read = read_int(sheet, "button", &binding->code);
    } else if (kind == "joystick") {
        binding->kind = kTvBindJoystickButton;
        read = read_int(sheet, "button", &binding->code);
    } else if (kind == "keyboard") {
        binding->kind = kTvBindKeyboard;
        read = read_key(sheet, "key", &binding->code);
    } else {
        return fail(__LINE__, kBadType, section);
    }
    return read ? OM_S_OK : fail(__LINE__, kNoButton, section);
}

OmResult TvReadControlBindings(IPropertySheet* sheet, TvControlBindings* block) {
    if (!sheet || !block) return OM_E_FAIL;
    char player[32];
    std::snprintf(player, sizeof player, "Player%d", kControlsPlayer);
    if (sheet->SetSection(player) < 0) return OM_E_FAIL;
    *block = {};
    struct Axis {
        const char* format;
        TvAxisBinding* binding;
    };
    struct Button {
        const char* format;
        TvButtonBinding* binding;
    };
    const Axis axes[] = {{"Player%dRoll", &block->roll},
                         {"Player%dPitch", &block->pitch},
                         {"Player%dSlide", &block->slide},
                         {"Player%dThrottle", &block->throttle}};
    const Button buttons[] = {{"Player%dFire", &block->fire},
                              {"Player%dSecondary", &block->secondary},
                              {"Player%dSpecial", &block->special},
                              {"Player%dCamera", &block->camera},
                              {"Player%dCamAbove", &block->camera_above},
                              {"Player%dCamLeft", &block->camera_left},
                              {"Player%dCamRight", &block->camera_right},
                              {"Player%dCamBehind", &block->camera_behind},
                              {"Player%dTalk", &block->talk}};
    char section[64];
    // A binding that fails keeps what it wrote and does not stop the others.
    for (const Axis& axis : axes) {
        std::snprintf(section, sizeof section, axis.format, kControlsPlayer);
        TvReadAxisBinding(sheet, axis.binding, section);
    }
    for (const Button& button : buttons) {
        std::snprintf(section, sizeof section, button.format, kControlsPlayer);
        TvReadButtonBinding(sheet, button.binding, section);
    }
    return OM_S_OK;
}

OmResult TvInstallPlayerControls(ITvGame* game, ITvObject* plane, int32_t) {
    TavrinGame* component = game_component(game);
    if (!component || !plane || !component->settings()) return OM_S_OK;
    TvControlBindings block;
    if (TvReadControlBindings(component->settings()->settings_sheet, &block) < 0) return OM_S_OK;
    plane->SetProperty(kTvPlanePropControls, reinterpret_cast<uintptr_t>(&block));
    return OM_S_OK;
}

OmResult TvGameSetPlayerControls(ITvGame* game, int32_t slot) {
    TavrinGame* component = game_component(game);
    if (!component) return OM_S_OK;
    return TvInstallPlayerControls(game, component->player_plane(slot), slot);
}

void TvInstallControlBindingHooks() {
    TvGameHooks hooks = TvGameModuleHooks();
    hooks.install_control_bindings = TvInstallPlayerControls;
    TvInstallGameHooks(&hooks);
}
