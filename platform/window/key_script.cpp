// Scripted key events for whole-program test runs.
#include "platform/window/key_script.h"

#include "platform/clock.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <sstream>

namespace platform {
namespace {

struct Script {
    std::mutex lock;
    std::vector<ScriptedKey> keys;
    size_t next = 0;
    uint64_t frames = 0;
    uint16_t modifiers = 0; // held by scripted events
    bool reported = false;
};

Script& script() {
    static Script s;
    return s;
}

uint16_t modifier_of(SDL_Scancode code) {
    switch (code) {
    case SDL_SCANCODE_LSHIFT: return KMOD_LSHIFT;
    case SDL_SCANCODE_RSHIFT: return KMOD_RSHIFT;
    case SDL_SCANCODE_LCTRL: return KMOD_LCTRL;
    case SDL_SCANCODE_RCTRL: return KMOD_RCTRL;
    case SDL_SCANCODE_LALT: return KMOD_LALT;
    case SDL_SCANCODE_RALT: return KMOD_RALT;
    default: return 0;
    }
}

// Pushes the event; the script's lock is held.
bool push_locked(Script& s, uint32_t scancode, bool down) {
    if (!SDL_WasInit(SDL_INIT_EVENTS)) {
        SDL_SetError("SDL's event queue is not running");
        return false;
    }
    const auto code = static_cast<SDL_Scancode>(scancode);
    const uint16_t modifier = modifier_of(code);
    if (down)
        s.modifiers |= modifier;
    else
        s.modifiers &= uint16_t(~modifier);
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.timestamp = SDL_GetTicks();
    SDL_Window* focus = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetKeyboardFocus() : nullptr;
    e.key.windowID = focus ? SDL_GetWindowID(focus) : 0;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = 0;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    e.key.keysym.mod = s.modifiers;
    return SDL_PushEvent(&e) == 1;
}

void after_frame() {
    Script& s = script();
    std::lock_guard guard(s.lock);
    ++s.frames;
    for (; s.next < s.keys.size() && s.keys[s.next].frame <= s.frames; ++s.next) {
        const ScriptedKey& key = s.keys[s.next];
        if (!push_locked(s, key.scancode, key.down) && !s.reported) {
            std::fprintf(stderr, "corvel: scripted key events cannot be delivered (%s)\n",
                         SDL_GetError());
            s.reported = true;
        }
    }
}

std::string trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

bool parse_key_script(const std::string& text, std::vector<ScriptedKey>* out, std::string* error) {
    std::vector<ScriptedKey> keys;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        line = trim(line.substr(0, line.find('#')));
        if (line.empty()) continue;
        std::istringstream words(line);
        unsigned long long frame = 0;
        std::string action;
        const bool numbered = static_cast<bool>(words >> frame) && frame > 0;
        words >> action;
        std::string name;
        std::getline(words, name);
        name = trim(name);
        const SDL_Scancode code =
            name.empty() ? SDL_SCANCODE_UNKNOWN : SDL_GetScancodeFromName(name.c_str());
        if (!numbered || (action != "down" && action != "up") || code == SDL_SCANCODE_UNKNOWN) {
            if (error)
                *error = "line " + std::to_string(number) +
                         ": not \"FRAME down|up KEY\" with a frame from 1 and a key name: " + line;
            return false;
        }
        keys.push_back({frame, uint32_t(code), action == "down"});
    }
    if (out) *out = std::move(keys);
    return true;
}

void start_key_script(std::vector<ScriptedKey> keys) {
    std::stable_sort(keys.begin(), keys.end(),
                     [](const ScriptedKey& a, const ScriptedKey& b) { return a.frame < b.frame; });
    {
        Script& s = script();
        std::lock_guard guard(s.lock);
        s.keys = std::move(keys);
        s.next = 0;
        s.frames = 0;
        s.modifiers = 0;
        s.reported = false;
    }
    add_frame_shown_listener(after_frame);
}

size_t stop_key_script() {
    remove_frame_shown_listener(after_frame);
    Script& s = script();
    std::lock_guard guard(s.lock);
    const size_t delivered = s.next;
    s.keys.clear();
    s.next = 0;
    return delivered;
}

bool push_key_event(uint32_t scancode, bool down) {
    Script& s = script();
    std::lock_guard guard(s.lock);
    return push_locked(s, scancode, down);
}

} // namespace platform
