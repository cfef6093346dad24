// Reading the expression of a function or meta sound from its section: "Function" holds the
// text, or "FunctionFile" names a file of the sound directory that holds it.
#pragma once

#include "framework/containers/property_sheet.h"
#include "framework/maths/expression.h"
#include "framework/platform/file_storage.h"

#include <string>

// Longest "Function" text, and longest directory + "FunctionFile" path, without terminator.
inline constexpr size_t SOUND_FUNCTION_TEXT_MAX = 255;
// Longest directory + file name of a sound's member file ("SoundFile").
inline constexpr size_t SOUND_FILE_PATH_MAX = 259;

// A new compiled Expression in *out, or null when the section has neither key. The sheet's
// failure for a value that is too long, OM_E_FAIL for a path that is too long or without
// storage, the storage's failure to open the file, or the parser's failure.
OmResult OmReadSoundExpression(IPropertySheet* sheet, IFileStorage* storage, const char* directory,
                               IExpression** out);
// `directory` followed by the value of `key` in *path, at most `max` characters. The sheet's
// failure when the key is absent; OM_E_FAIL when the path is too long.
OmResult OmSoundFilePath(IPropertySheet* sheet, const char* key, const char* directory, size_t max,
                         std::string* path);
