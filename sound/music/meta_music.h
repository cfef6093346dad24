// MetaMusic: the game's one music component. Reads music.ini from the program directory and
// on Select creates the player that the entry's section names, forwarding every other music
// operation to it.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/music/music.h"

// The outside media player's class (no module of this program provides it).
inline constexpr GUID CLSID_MediaMusic = om_guid("0495534F-4EAE-11D5-A4BA-00010239331A");

inline constexpr char META_MUSIC_FILE[] = "music.ini";
// Sections "0" .. "998" are entries.
inline constexpr int32_t META_MUSIC_MAX_ENTRIES = 999;

OM_DECLARE_MODULE(MetaMusic);
