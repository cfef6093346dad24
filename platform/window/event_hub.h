// The event hub: the one reader of SDL's event queue. Whoever drains it, window events become
// window messages and keyboard, mouse and joystick events land in per-device buffers, so the
// window pump and the input drivers never steal each other's events.
#pragma once

#include "platform/window/messages.h"

#include <cstddef>
#include <cstdint>

namespace platform {

// --- SDL lifetime -------------------------------------------------------------------------

// Starts SDL subsystems (SDL_INIT_* flags) for a user; each successful call is paired with a
// release of the same flags. The video driver is the dummy one when headless. False when SDL
// refuses (the caller then works without SDL).
bool acquire_sdl(uint32_t sdl_flags);
void release_sdl(uint32_t sdl_flags);

// Moves every event waiting in SDL's queue into the window-message queue and the device
// buffers. Never blocks; does nothing while SDL's event subsystem is not running.
void drain_events();

// --- Window messages ----------------------------------------------------------------------

// Takes (or with remove false, looks at) the oldest queued message, draining SDL first.
// False when there is none.
bool peek_message(Msg* out, bool remove);
// Queues a message. False when the queue is full (10000 messages).
bool post_message(Window* window, uint32_t message, uintptr_t wparam, intptr_t lparam);
// Queues WM_QUIT with the exit code.
void post_quit_message(int exit_code);
// For key-down messages of keys that type a control character (Backspace, Tab, Enter,
// Escape) puts the matching WM_CHAR (WM_SYSCHAR with Alt) first in the queue; printable
// characters arrive as WM_CHAR from SDL's text input. True when a character was queued.
bool translate_message(const Msg& msg);
// Hands the message to its window's procedure; 0 for messages without a live window.
intptr_t dispatch_message(const Msg& msg);
// Forgets every queued message for a window (it is being destroyed).
void discard_window_messages(Window* window);
// Messages waiting in the window-message queue (without draining SDL).
size_t queued_message_count();
// Whether a message of that number waits in the queue (SDL drained first); nothing is taken.
// Loops that do not pump messages find a close request this way.
bool message_queued(uint32_t message);

// --- Input-device buffers -----------------------------------------------------------------

enum class InputDevice : uint8_t { keyboard = 0, mouse = 1, joystick = 2 };

// Parts of the mouse and of a joystick that a device event reports.
inline constexpr uint32_t MOUSE_X = 0;
inline constexpr uint32_t MOUSE_Y = 1;
inline constexpr uint32_t MOUSE_WHEEL = 2;
inline constexpr uint32_t MOUSE_BUTTON0 = 0x10; // + button: 0 left, 1 right, 2 middle, 3, 4
inline constexpr uint32_t JOY_AXIS0 = 0x000;    // + axis
inline constexpr uint32_t JOY_BUTTON0 = 0x100;  // + button
inline constexpr uint32_t JOY_HAT0 = 0x200;     // + hat
inline constexpr int32_t DEVICE_PRESSED = 0x80;

// One entry of a device buffer.
struct DeviceEvent {
    // Keyboard: the device key number (key_map.h); mouse and joystick: one of the parts above.
    uint32_t part;
    // Keys and buttons: DEVICE_PRESSED or 0. Mouse axes: relative motion (the wheel in
    // 120ths of a notch). Joystick axes: -32768..32767; hats: SDL_HAT_* bits.
    int32_t value;
    uint32_t time;     // timeGetTime() when the hub took the event from SDL
    uint32_t sequence; // one increasing count shared by all devices
    int32_t instance;  // SDL joystick instance id; 0 for keyboard and mouse
};

// Events of each device are kept only while buffering is switched on for it (the input
// drivers switch it on when they acquire the device); switching it off empties the buffer.
inline constexpr size_t DEVICE_BUFFER_CAPACITY = 1024;
void set_device_buffering(InputDevice device, bool on);
bool device_buffering(InputDevice device);
// Drains SDL, then moves up to `max` of the device's oldest events into `out` and returns how
// many. *overflowed (when given) tells whether events were dropped because the buffer was full
// since the last read.
size_t read_device_events(InputDevice device, DeviceEvent* out, size_t max,
                          bool* overflowed = nullptr);
// Events waiting for the device (without draining SDL).
size_t pending_device_events(InputDevice device);
// The keyboard's current state by device key number: DEVICE_PRESSED while down (kept whether
// or not buffering is on). Drains SDL first.
void keyboard_state(uint8_t out[256]);

// Clears every queue, buffer and key state (tests and shutdown).
void reset_event_hub();

} // namespace platform
