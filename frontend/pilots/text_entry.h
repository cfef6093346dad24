// The text entry pages: the new pilot's name and the server address are typed on pages that
// run while the keyboard device is released, the characters arriving as key-up messages
// through a window-message hook; and one pass of a page whose only link is "command:back".
#pragma once

#include "framework/core/result_codes.h"
#include "framework/platform/os_service.h"

#include <cstdint>
#include <string>

inline constexpr char TV_ENTER_NAME_PAGE[] = "menus\\entername.html";
inline constexpr char TV_ENTER_SERVER_PAGE[] = "menus\\enterserver.html";
inline constexpr char TV_TEXT_CURSOR = '_';
// Longest texts, the cursor included.
inline constexpr size_t TV_NAME_ENTRY_LIMIT = 13;
inline constexpr size_t TV_SERVER_ENTRY_LIMIT = 16;

// What one key-up does to an edited text (always ending with the cursor): Delete and
// Backspace remove the character before the cursor; Return ends the entry when any character
// before the cursor is not a blank (the cursor is removed, true is returned); any other key
// types its Latin-1 character (lowered, or raised with Shift) when it is an allowed one and
// the text is shorter than `limit`.
bool TvApplyEntryKey(std::string& text, uint32_t virtual_key, uint32_t character, bool shift,
                     size_t limit);

// Window hooks of the two pages: key-up messages of the application window edit the text
// (1); other messages go on to the window (-1).
intptr_t TvNameEntryHook(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                         intptr_t lparam);
intptr_t TvServerEntryHook(OmWindowHandle window, uint32_t message, uintptr_t wparam,
                           intptr_t lparam);

// Set while an entry page runs.
int32_t TvGetTextEntryFlag();
// Set when the entry is done.
int32_t TvGetEntryDoneFlag();

// Runs the server-address page until the address is entered (or the program is asked to
// quit); the address is written to [server] "ipaddress". 0 when entered, OM_E_FAIL when the
// entry ended without one.
OmResult TvRunServerAddressEntry();

// The name-entry page on the pilot's full name, until the name is entered (0) or a link is
// clicked (OM_E_FAIL). The name is in `name` either way.
OmResult TvRunNameEntry(char* name, size_t size);

// One pass of a page whose only link is "command:back": OM_E_FAIL when that link is clicked,
// else 0.
OmResult TvPollBackPage();
