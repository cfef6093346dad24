// Win32RedBookMusic: audio tracks of the default CD drive through the MCI "cdaudio" device,
// with the mixer's CD line as its volume while the game is in the foreground.
#pragma once

#include "framework/core/class_factory.h"
#include "sound/music/music.h"
#include "sound/music/music_players.h"

// Results of the CD player.
inline constexpr OmResult REDBOOK_S_NOT_OPEN = 0x002D0001; // nothing done
inline constexpr OmResult REDBOOK_E_NO_DRIVE = int32_t(0x802D0002u);
inline constexpr OmResult REDBOOK_E_HARDWARE = int32_t(0x802D0003u);
inline constexpr OmResult REDBOOK_E_BAD_TRACK = int32_t(0x802D0004u);
inline constexpr OmResult REDBOOK_E_BAD_POSITION = int32_t(0x802D0005u);
inline constexpr OmResult REDBOOK_E_IN_USE = int32_t(0x802D0006u);
inline constexpr OmResult REDBOOK_E_TRAY_OPEN = int32_t(0x802D0007u);
inline constexpr OmResult REDBOOK_E_NOT_AUDIO = int32_t(0x802D0008u);
inline constexpr OmResult REDBOOK_E_NOT_READY = int32_t(0x802D0009u);

// Play flags: bits 0-1 the play mode (0, 1 the track; 2, 3 on to the end of the disc); bit 2
// keeps the current position (the player's own resume).
inline constexpr uint32_t REDBOOK_PLAY_TO_END = 2;
inline constexpr uint32_t REDBOOK_PLAY_RESUME = 4;
// Status flags beside the play mode.
inline constexpr uint32_t REDBOOK_STATUS_PLAYING = 4;
inline constexpr uint32_t REDBOOK_STATUS_PAUSED = 8;
inline constexpr uint32_t REDBOOK_STATUS_STOPPED = 16;

inline constexpr int32_t REDBOOK_LAST_RETRY_TRACK = 100;

OM_DECLARE_MODULE(Win32RedBookMusic);
