// Capturing a control's binding.
#include "frontend/single/control_capture.h"

#include "framework/containers/property_sheet.h"
#include "frontend/menus/menu_display.h"
#include "frontend/menus/page_loop.h"
#include "frontend/setup/game_settings_record.h"
#include "frontend/setup/game_setup.h"
#include "frontend/setup/input_devices.h"
#include "frontend/setup/window_hook.h"
#include "frontend/single/frame_clock.h"
#include "game/rules/tv_control_bindings.h"
#include "media/input/input.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <initializer_list>

namespace {

constexpr uint32_t escape_key = 0x80;
constexpr uint32_t no_key = 0xff;
constexpr int32_t mouse_axis_threshold = 20;
constexpr float joystick_axis_threshold = 0.25f;
constexpr float axis_not_seen = 5.0f;
constexpr uint16_t joystick_hat = 0x80;
constexpr uint16_t first_joystick_button = 192;
constexpr uint32_t joystick_button_pressed = 0x201;
constexpr uint32_t hat_centred = 0xFFFFFFFF;

struct Capture {
    const char* section;
    bool up;
    int32_t kind;
    int32_t mouse_x = 0;
    int32_t mouse_y = 0;
    int32_t mouse_button = 0;
    float axis_first[3] = {axis_not_seen, axis_not_seen, axis_not_seen};
    float axis_last[3] = {axis_not_seen, axis_not_seen, axis_not_seen};
    bool done = false;
};

// The section made current; false when it does not exist.
IPropertySheet* section_sheet(const Capture& c) {
    IPropertySheet* sheet = TvGetSettingsSheet();
    return sheet && sheet->SetSection(c.section) >= 0 ? sheet : nullptr;
}

void remove_keys(IPropertySheet* sheet, std::initializer_list<const char*> keys) {
    for (const char* key : keys) sheet->RemoveKey(key);
}

void write_key(Capture& c, uint32_t code) {
    c.done = true;
    IPropertySheet* sheet = section_sheet(c);
    if (!sheet) return;
    const std::string name = TvCapturedKeyName(code);
    if (c.kind == TV_CAPTURE_SINGLE) {
        remove_keys(
            sheet, {"button", "axis", "upbutton", "downbutton", "upkey", "downkey", "key", "type"});
        sheet->SetString("key", name.c_str());
    } else {
        const char* half = c.up ? "upkey" : "downkey";
        remove_keys(sheet, {"button", "axis", "upbutton", "downbutton", "key", half, "type"});
        sheet->SetString(half, name.c_str());
    }
    sheet->SetString("type", "keyboard");
}

// A joystick or mouse binding: `key` = `value` with its device type.
void write_device(Capture& c, const char* key, int32_t value, const char* type) {
    c.done = true;
    IPropertySheet* sheet = section_sheet(c);
    if (!sheet) return;
    remove_keys(sheet, {"button", "upkey", "downkey", "key", "axis", "type"});
    if (std::strcmp(key, "upbutton") == 0)
        sheet->RemoveKey("upbutton");
    else if (std::strcmp(key, "downbutton") == 0)
        sheet->RemoveKey("downbutton");
    else
        remove_keys(sheet, {"upbutton", "downbutton"});
    sheet->SetString(key, std::to_string(value).c_str());
    sheet->SetString("type", type);
}

void read_events(Capture& c) {
    IInput* input = TvGetInput();
    if (!input) return;
    input->Poll();
    const uint16_t keyboard = TvGetKeyboardDevice();
    const uint16_t mouse = TvGetMouseDevice();
    const uint16_t joystick = TvGetJoystickDevice();
    InputEvent event;
    while (input->GetEvent(&event) >= 0) {
        if (event.length) input->FreeEventData(&event);
        if (c.done) continue;
        if (mouse != 0 && event.source == mouse) {
            const int32_t value = int32_t(event.value);
            if (event.code == TV_MOUSE_X) c.mouse_x += value;
            if (event.code == TV_MOUSE_Y) c.mouse_y += value;
            if (event.value == TV_BUTTON_PRESSED) {
                if (event.code == 0x41) c.mouse_button = 1;
                if (event.code == 0x42) c.mouse_button = 2;
                if (event.code == 0x44) c.mouse_button = 3;
                if (event.code == 0x48) c.mouse_button = 4;
            }
        } else if (keyboard != 0 && event.source == keyboard) {
            if (event.code != TV_KEY_DOWN) continue;
            if (event.value == escape_key) {
                c.done = true;
            } else if (event.value != no_key) {
                write_key(c, event.value);
            }
        } else if (joystick != 0 && event.source == joystick) {
            if (event.value == joystick_button_pressed && event.code >= first_joystick_button) {
                const int32_t button = int32_t(event.code) - 191;
                const char* key = c.kind == TV_CAPTURE_SINGLE ? "button"
                                  : c.up                      ? "upbutton"
                                                              : "downbutton";
                write_device(c, key, button, "joystick");
            } else if (event.code <= 2) {
                const float value = std::bit_cast<float>(event.value);
                if (c.axis_first[event.code] == axis_not_seen) c.axis_first[event.code] = value;
                c.axis_last[event.code] = value;
            } else if (event.code == joystick_hat && c.kind == TV_CAPTURE_SINGLE &&
                       event.value != hat_centred) {
                write_device(c, "button", -1 - int32_t(event.value / 9000), "joystick");
            }
        }
    }
}

void judge_movement(Capture& c) {
    if (c.done) return;
    if (c.kind == TV_CAPTURE_AXIS) {
        for (int32_t axis = 0; axis < 3; ++axis) {
            if (c.axis_first[axis] == axis_not_seen) continue;
            if (std::fabs(c.axis_last[axis] - c.axis_first[axis]) > joystick_axis_threshold) {
                write_device(c, "axis", axis, "joystick");
                return;
            }
        }
        if (std::abs(c.mouse_x) > mouse_axis_threshold)
            write_device(c, "axis", 1, "mouse");
        else if (std::abs(c.mouse_y) > mouse_axis_threshold)
            write_device(c, "axis", 2, "mouse");
    } else if (c.mouse_button != 0) {
        write_device(c, "button", c.mouse_button, "mouse");
    }
}

} // namespace

std::string TvCapturedKeyName(uint32_t code) {
    for (const TvKeyName& entry : TvKeyNameTable())
        if (entry.code >= 0 && uint32_t(entry.code) == code) return entry.name;
    uint32_t c = code & 0xff;
    if ((c >= 'a' && c <= 'z') || (c >= 0xe0 && c <= 0xfe && c != 0xf7)) c -= 0x20;
    return std::string(1, char(c));
}

OmResult TvRunControlCapture(const char* section, int32_t up, int32_t kind) {
    if (!section || (kind != TV_CAPTURE_SINGLE && kind != TV_CAPTURE_AXIS)) return OM_S_OK;
    Capture c{section, up != 0, kind};
    if (IInput* input = TvGetInput()) input->Poll();
    while (!c.done && !TvGetQuitFlag()) {
        TvPumpWindowMessages();
        read_events(c);
        judge_movement(c);
        TvDrawPage();
        TvDrawPointer();
        TvShowMenuFrame(TvGetGameSettingsRecord().vsync != 0);
        TvCountMenuFrame();
    }
    return OM_S_OK;
}
