// IHTMLMenu and HTMLMenu: writes the HTML of a menu bar (one column per menu, the selected
// one expanded into its item links) from a description, for a page to include.
#pragma once

#include "framework/containers/com_hash.h"
#include "framework/core/class_factory.h"
#include "framework/io/byte_stream.h"

inline constexpr GUID CLSID_HTMLMenu = om_guid("DCBE8212-C84F-11D4-871E-00C04F7963BA");
inline constexpr GUID IID_IHTMLMenu = om_guid("DCF55828-C84F-11D4-871E-00C04F7963BA");

// Each written piece is formatted into a buffer of this size; longer pieces are refused.
inline constexpr size_t HTML_MENU_PIECE_CAPACITY = 256;
// A menu name with ".selected" must fit this (terminator included).
inline constexpr size_t HTML_MENU_KEY_CAPACITY = 64;

// The description: "header" and "footer" texts (optional), and "menu", an ObjHash whose
// ObjHash entries are menus (label -> link target Strings) and whose integer entries
// "<menu>.selected" mark the expanded menus.
struct IHTMLMenu : IUnknown {
    // Keeps the pointer (no reference). 0.
    virtual OmResult SetDescription(IObjHash* description) = 0;
    virtual IObjHash* GetDescription() = 0;
    // Writes the bar. OM_E_FAIL without a description or its "menu" (nothing written).
    virtual OmResult Write(IByteStream* stream) = 0;
    // A link "menubar:menu=<name>" (white space allowed around ':' ... '=') marks the menu
    // selected; other links change nothing. 0.
    virtual OmResult Select(const char* link) = 0;
    // Every "<menu>.selected" integer becomes 0. 0.
    virtual OmResult ClearSelection() = 0;
};

OM_DECLARE_MODULE(HTMLMenu);
