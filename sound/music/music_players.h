// Class ids of the music players that MetaMusic creates by an entry's "type".
#pragma once

#include "framework/core/guid.h"

// "dmusic": a MIDI segment played through the DirectMusic stand-in.
inline constexpr GUID CLSID_Win32Dx7DirectMusic = om_guid("5B7C41E2-9D3A-4F61-8C25-1E0A7D94B3C8");
// "streamed": a WAV file streamed through one DirectSound buffer.
inline constexpr GUID CLSID_Win32Dx5StreamedMusic = om_guid("A21F6C0D-48E7-4B93-9E1C-73D5B20F8A46");
// "redbook": audio tracks of the CD drive.
inline constexpr GUID CLSID_Win32RedBookMusic = om_guid("E8D04A9B-62C1-4D7F-B5A3-0C9F1E27D654");
