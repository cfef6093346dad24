// aerovant.ini: loading it into the settings sheet at start and saving the sheet back at exit.
// A line the sheet cannot read costs only itself: it is logged and skipped, the rest is read,
// and the file as read is kept as aerovant.ini.bak before the save replaces it.
#pragma once

#include "framework/core/result_codes.h"

#include <string>

struct IFileStorage;
struct IPropertySheet;

inline constexpr char TV_SETTINGS_FILE_NAME[] = "aerovant.ini";
inline constexpr char TV_SETTINGS_BACKUP_SUFFIX[] = ".bak";

struct TvSettingsFileState {
    // The file could be opened and read.
    bool read = false;
    // Lines were skipped: the bytes as read, to be kept before the save.
    bool damaged = false;
    std::string bytes_as_read;
};

// Loads the file into the sheet. Unreadable lines are written to the error log and skipped;
// a broken section header skips the keys under it too (they are kept in the backup).
TvSettingsFileState TvLoadSettingsFile(IFileStorage* storage, IPropertySheet* sheet,
                                       const char* name);
// Saves the sheet into the file (created or truncated); when the load skipped lines, the file
// as read is first written to "<name>.bak". The failure of opening or writing the file.
OmResult TvSaveSettingsFile(IFileStorage* storage, IPropertySheet* sheet, const char* name,
                            const TvSettingsFileState& state);
