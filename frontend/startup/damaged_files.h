// The end over damaged data files: a signed data file failed its integrity check where the
// game cannot go on (a protected mission, a plane's model, the plane a player changes to). The
// game reports it from inside its loads; the front end notes it there and ends the program once
// the game's call has returned, since the game cannot be destroyed under its own feet: the
// network client is stopped, the game destroyed, the window minimised, the damaged-files box
// shown, and the program leaves through its normal shutdown with a non-zero exit value.
#pragma once

inline constexpr const char* TV_DAMAGED_FILES_TITLE = "Aerovant-Fehler";
inline constexpr const char* TV_DAMAGED_FILES_TEXT =
    "Kritische Dateien beschädigt! Bitte installieren Sie das Spiel erneut";
// The exit value after the damaged-files end. (Exiting with 0 would report the failure as
// success.)
inline constexpr int TV_DAMAGED_FILES_EXIT = -1;

// The game's hook (installed with the game services): notes the end and raises the quit flag,
// so that every loop ends.
void TvNoteDamagedFiles();
// Runs the end, once, when it was noted; true while the program is ending over damaged files.
bool TvEndOverDamagedFiles();
// Whether the program is ending over damaged files.
bool TvEndingOverDamagedFiles();
// Forgets an earlier run's end.
void TvResetDamagedFiles();
