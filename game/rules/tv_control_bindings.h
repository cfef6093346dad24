// The player's control bindings: the block read from the Control.ini sections of the settings'
// property sheet ([Player1], [Player1Roll], ... [Player1Talk]) and handed to the player's
// plane as its property 513, the key-name table those sections spell keys with, and which
// input events each kind of binding answers.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <span>

struct IPropertySheet;
struct ITvGame;
struct ITvObject;

// Binding kinds (the first word of every binding; 0: nothing bound).
enum TvBindingKind : uint32_t {
    kTvBindNone = 0,
    kTvBindKeyboard = 1,        // keys: axis up/down key codes, or one button key code
    kTvBindMouseAxis = 2,       // axis: mouse axis number
    kTvBindMouseButton = 3,     // button: mouse button number 1..4
    kTvBindJoystickAxis = 5,    // axis: joystick axis number
    kTvBindJoystickButton = 6,  // button: joystick button number, or a hat direction -1..-4
    kTvBindJoystickButtons = 7, // axis: an up and a down joystick button
};

// An axis binding (roll, pitch, slide, throttle). What `first` and `second` hold, and the
// input events (InputEvent code c, value v) that drive the axis:
// - kTvBindKeyboard: first = up key code, second = down key code (TvLookUpKeyName); key
//   pressed c = 17 / released c = 16 with v = the key code.
// - kTvBindMouseAxis: first = axis (1 x, 2 y), second = 1; the motion event c = 47 + axis
//   (48, 49) with v the signed count.
// - kTvBindJoystickAxis: first = axis, second = 2; axes 1, 2, 3 are the events c = axis - 1
//   (x 0, y 1, z 2), axis 4 the slider c = 64; v holds a float's bits (std::bit_cast).
// - kTvBindJoystickButtons: first = up button, second = down button (numbered from 1); the
//   button events c = 191 + button, v = 0x201 pressed, 0x202 released.
struct TvAxisBinding {
    uint32_t kind;
    int32_t first;
    int32_t second;
    float sensitivity; // "sensitivity", 1.0 when absent
    float value;       // 0 as read; the plane keeps the axis's current value here
};

// A button binding (fire ... talk). What `code` holds and the events that press it:
// - kTvBindKeyboard: the key code; c = 17 pressed, c = 16 released, v = the key code.
// - kTvBindMouseButton: button n = 1..4; c = 64 + (1 << (n - 1)) (65, 66, 68, 72),
//   v = 35 pressed, 36 released.
// - kTvBindJoystickButton: button n from 1; c = 191 + n, v = 0x201 pressed, 0x202 released.
//   Codes -1..-4 are the hat: c = 128 with v = 0, 9000, 18000, 27000 (hundredths of a
//   degree) is code -1 - v / 9000; v = 0xFFFFFFFF (centred) releases.
struct TvButtonBinding {
    uint32_t kind;
    int32_t code;
    float value; // 0 as read; the plane keeps 1.0 while the button is down
};

// The block, in the order of its sections. 47 words, zero-filled before it is read, so a
// binding whose section is missing stays kind 0.
struct TvControlBindings {
    TvAxisBinding roll, pitch, slide, throttle;
    TvButtonBinding fire, secondary, special, camera, camera_above, camera_left, camera_right,
        camera_behind, talk;
};
static_assert(sizeof(TvAxisBinding) == 5 * 4 && sizeof(TvButtonBinding) == 3 * 4);
static_assert(sizeof(TvControlBindings) == 47 * 4, "the plane copies 47 words");

// The plane property that takes the block (a pointer to it; the plane copies 47 words).
inline constexpr uint32_t kTvPlanePropControls = 513;

// Input event codes the bindings name (see the records above).
inline constexpr uint16_t kTvInputKeyReleased = 16;
inline constexpr uint16_t kTvInputKeyPressed = 17;
inline constexpr uint16_t kTvInputMouseAxisBase = 47;   // + axis
inline constexpr uint16_t kTvInputMouseButtonBase = 64; // + (1 << (button - 1))
inline constexpr uint32_t kTvInputMousePressed = 35;
inline constexpr uint32_t kTvInputMouseReleased = 36;
inline constexpr uint16_t kTvInputJoystickSlider = 64; // axis 4
inline constexpr uint16_t kTvInputJoystickHat = 128;
inline constexpr uint16_t kTvInputJoystickButtonBase = 191; // + button
inline constexpr uint32_t kTvInputJoystickPressed = 0x201;
inline constexpr uint32_t kTvInputJoystickReleased = 0x202;
inline constexpr uint32_t kTvInputHatCentred = 0xFFFFFFFF;

// A record of the key-name table: a 16-character name and its key code.
struct TvKeyName {
    char name[16];
    int32_t code;
};
// The 52 names in table order, followed by the end record "lastentry" (-1).
std::span<const TvKeyName> TvKeyNameTable();

// The key code of a Control.ini key name: one character is that character's code (upper case
// as lower case); a longer name is looked up in the table, case included; 0 when unknown.
int32_t TvLookUpKeyName(const char* name);

// Read one binding from its section of the sheet. 0; the section's absence result, with
// nothing logged; or OM_E_FAIL after logging "tvopgame line N: <message> <section>". The
// kind is set before the value keys are read, so a failed binding may keep its kind.
OmResult TvReadAxisBinding(IPropertySheet* sheet, TvAxisBinding* binding, const char* section);
OmResult TvReadButtonBinding(IPropertySheet* sheet, TvButtonBinding* binding, const char* section);

// Fills the block from the player-1 sections. OM_E_FAIL, the block untouched, when the sheet
// has no [Player1] section; otherwise 0, whatever single bindings failed.
OmResult TvReadControlBindings(IPropertySheet* sheet, TvControlBindings* block);

// Builds the block from the game's settings sheet and sets it as property 513 of the plane in
// the player slot; with no [Player1] section (or no plane) nothing is done. 0.
OmResult TvGameSetPlayerControls(ITvGame* game, int32_t slot);
// The same for a given plane: the entry the game calls when a player plane gets its camera.
OmResult TvInstallPlayerControls(ITvGame* game, ITvObject* plane, int32_t slot);
// Installs TvInstallPlayerControls in the game's module hooks (start-up calls it).
void TvInstallControlBindingHooks();
