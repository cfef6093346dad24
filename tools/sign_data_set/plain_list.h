// The plain list that sign_data_set signs from: its entries, checked before anything is
// written, so that a mistake never leaves half a data folder enciphered.
#pragma once

#include "framework/containers/property_sheet.h"
#include "framework/platform/file_storage.h"

#include <string>
#include <vector>

struct PlainListEntry {
    std::string section; // "warning", "secure" or "encrypt"
    std::string path;    // as the game opens it, '/' separated
    std::string form;    // "BINARY" or "TEXT"
};

struct PlainList {
    std::vector<PlainListEntry> entries;
    std::vector<std::string> problems; // one line each; the list is not signed when any
};

// Reads the list at `path` through `storage` and checks every entry against the files
// relative to the current directory: known form word, '/' separators, the file present, no
// text files and no earlier backups among the enciphered ones. Unknown sections are problems.
PlainList ReadPlainList(IFileStorage* storage, IPropertySheet* sheet, const std::string& path);
