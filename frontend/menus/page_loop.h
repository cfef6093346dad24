// The page loop: runs the current page until the user chooses a link, the page times out, the
// user presses F5 or switches away, or the program is asked to quit; and the network status
// page a search counts down on.
#pragma once

#include "framework/core/result_codes.h"

#include <cstdint>
#include <string>

// Input codes the page loop reads.
inline constexpr uint16_t TV_MOUSE_X = 0x30;
inline constexpr uint16_t TV_MOUSE_Y = 0x31;
inline constexpr uint16_t TV_MOUSE_BUTTON = 0x41;
inline constexpr uint32_t TV_BUTTON_PRESSED = 0x23;
inline constexpr uint16_t TV_KEY_DOWN = 0x11;
inline constexpr uint16_t TV_KEY_UP = 0x10;
inline constexpr uint32_t TV_KEY_F5 = 0x85;
inline constexpr uint32_t TV_KEY_TAB = 0xa9;
inline constexpr uint32_t TV_KEY_LEFT_ALT = 0xb0;
inline constexpr uint32_t TV_KEY_RIGHT_ALT = 0xb1;
// The timer event handed to a loaded game.
inline constexpr uint16_t TV_TIMER_DEVICE = 1234;
inline constexpr uint16_t TV_TIMER_CODE = 0x301;

// The mouse-button events of one pass of a menu loop, turned into its click flag. A press sets
// bit 0 and a release clears the flag, except that a release whose press was read in the same
// pass leaves the flag set for that pass: a tap shorter than a pass (a touchpad tap, a scripted
// click) is still a click. After testing the flag, the loop calls `end_pass`, which clears such
// a flag, so the released button chooses nothing later.
class TvMenuClick {
public:
    void button(uint32_t& click, uint32_t value);
    void end_pass(uint32_t& click);

private:
    bool pressed_ = false;
    bool released_after_press_ = false;
};

// Runs the current page; `link` is the link buffer: on return it holds the chosen link,
// "command:timeout" after `timeout_ms` (0: no time-out), or is unchanged (F5, a task switch,
// a close request, the session's leave-page flag). Always 0.
OmResult TvRunPage(std::string& link, uint32_t timeout_ms);

// Shows a connecting or waiting page with its countdown (nothing when the same page and value
// are shown already). 0.
OmResult TvShowNetStatusPage(const char* page, int32_t value);

// How the page loop plays "Menu.Focus" and "Menu.Click" (the sound front end by default;
// null restores it).
using TvMenuSoundPlayer = OmResult (*)(const char* name);
void TvSetMenuSoundPlayer(TvMenuSoundPlayer player);

// Called at the start of every pass of the page loop with the pass number (from 0); tests
// script their input with it. Null removes it.
using TvMenuPassObserver = void (*)(long pass);
void TvSetMenuPassObserver(TvMenuPassObserver observer);

// Passes of the page loop since the program started (the frame limit of headless runs counts
// them).
long TvMenuPassCount();
void TvResetMenuPassCount();
// Counts one shown menu frame; at the program's frame limit the quit flag is set.
void TvCountMenuFrame();
