// Scripted key events for whole-program test runs: key-down and key-up events put into SDL's
// event queue right after given frames are shown, so they reach the program the way typed keys
// do (the event hub turns them into window messages, the key state and the keyboard device's
// events). Set by the test hook CORVEL_KEY_SCRIPT=FILE (frontend/startup/test_hooks.h).
//
// The file holds one event a line, "FRAME down KEY" or "FRAME up KEY": after the FRAME-th frame
// shown (counted from 1) the key goes down or up. KEY is SDL's name of the key ("A", "Return",
// "Backspace", "Space", "Left Shift", ...), compared without regard to case. '#' starts a
// comment; blank lines are skipped. Events of one frame keep their order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct ScriptedKey {
    uint64_t frame;    // delivered after this frame is shown
    uint32_t scancode; // SDL_Scancode
    bool down;
};

// Reads a script; false with a message naming the line when a line is not an event.
bool parse_key_script(const std::string& text, std::vector<ScriptedKey>* out, std::string* error);
// Delivers the events from now on, counting the frames shown from the call (the first frame
// shown after it is frame 1); replaces a script already running.
void start_key_script(std::vector<ScriptedKey> keys);
// Stops delivering; events not yet delivered are dropped. Returns how many were delivered.
size_t stop_key_script();
// Puts one key event into SDL's queue as the keyboard does, for the window with keyboard focus
// (the event hub gives window-less events to the program's window). Shift, Ctrl and Alt held
// by earlier scripted events are in its modifier state. False when SDL's event queue is not
// running.
bool push_key_event(uint32_t scancode, bool down);

} // namespace platform
