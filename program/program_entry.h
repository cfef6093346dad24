// The program's entry: start-up in its fixed order, the front end, and shutdown in its fixed
// order. Every step is traced (startup_trace.h).
#pragma once

#include "frontend/startup/program_options.h"

inline constexpr char TV_ERROR_TITLE[] = "Aerovant Error";
inline constexpr char TV_WINDOW_NAME[] = "Aerovant - Kestrune";
inline constexpr char TV_COMPONENT_LIST[] = "dlls.ini";

inline constexpr char TV_FRAMEWORK_FAILED_TEXT[] =
    "Could not open Ormic 5 COM! Program file may be corrupted.";
inline constexpr char TV_WINDOW_COMPONENTS_FAILED_TEXT[] =
    "Could not open Ormic 5 Windows components! Program file may be corrupted.";
inline constexpr char TV_SHEET_FAILED_TEXT[] =
    "Could not create property sheet - system low on memory?";
inline constexpr char TV_STORAGE_FAILED_TEXT[] =
    "Could not create storage component! Program file may be corrupted.";
// Language strings of the video failure box.
inline constexpr char TV_VIDEO_FAILED_STRING[] = "couldnotstartvideo";
inline constexpr char TV_ERROR_TITLE_STRING[] = "aerovanterror";

// Runs the program; 0 after a normal run, -1 after a failed start.
int TvRunProgram(const TvProgramOptions& options);
