// The language string table.
#include "frontend/settings/language_strings.h"

#include "framework/containers/com_hash.h"
#include "framework/containers/property_sheet.h"
#include "framework/core/com_ref.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "frontend/settings/data_storage.h"
#include "frontend/settings/program_settings.h"
#include "frontend/settings/settings_values.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

IObjHash* string_table = nullptr;

// A key or value in double quotes loses them: the leading one, and a final one after it.
std::string unquote(const std::string& text) {
    if (text.empty() || text.front() != '"') return text;
    size_t end = text.size();
    if (end > 1 && text.back() == '"') --end;
    return text.substr(1, end - 1);
}

void read_strings(IPropertySheet* strings) {
    if (strings->SetSection(TV_STRINGS_SECTION) < 0) return;
    char name[OM_SHEET_NAME_SIZE];
    for (OmResult r = strings->MoveKey(name, nullptr, OM_MOVE_FIRST); r >= 0;
         r = strings->MoveKey(name, nullptr, OM_MOVE_NEXT)) {
        std::string value;
        TvSettingsGetText(strings, name, TV_STRING_VALUE_LIMIT, &value);
        std::string key = unquote(name);
        if (key.empty()) key.assign(1, '=');
        string_table->SetString(key.c_str(), unquote(value).c_str());
    }
}

} // namespace

OmResult TvLoadLanguageStrings(IPropertySheet* sheet) {
    tvfe::TvOpenDemoRecordings();
    TvProgramSettings& settings = TvGetProgramSettings();
    if (sheet) {
        if (sheet->SetSection(TV_SECTION_LANGUAGE) >= 0)
            TvSettingsGetText(sheet, TV_KEY_LANGUAGE, TV_SETTINGS_TEXT_LIMIT, &settings.language);
        if (sheet->SetSection(TV_SECTION_SERVER) >= 0) {
            settings.server_address.clear();
            TvSettingsGetText(sheet, TV_KEY_IPADDRESS, TV_SETTINGS_TEXT_LIMIT,
                              &settings.server_address);
        }
    }
    TvReleaseLanguageStrings();
    if (OmCreate(CLSID_ObjHash, IID_IObjHash, &string_table) < 0) {
        string_table = nullptr;
        return OM_S_OK;
    }
    ComRef<IPropertySheet> strings;
    if (OmCreate(CLSID_PropertySheet, IID_IPropertySheet, strings.put()) < 0) return OM_S_OK;
    std::vector<char> path(settings.language.size() + sizeof TV_STRINGS_PATH_FORMAT);
    std::snprintf(path.data(), path.size(), TV_STRINGS_PATH_FORMAT, settings.language.c_str());
    ComRef<IByteStream> stream;
    if (TvOpenDataFile(path.data(), OM_OPEN_TEXT, stream.put()) < 0) return OM_S_OK;
    // A file that stops at an unreadable line still gives the strings before it.
    strings->Load(stream.get());
    read_strings(strings.get());
    return OM_S_OK;
}

void TvReleaseLanguageStrings() {
    if (string_table) string_table->Release();
    string_table = nullptr;
}

std::string TvGetLanguageString(const char* key) {
    if (string_table && key) {
        if (const char* text = string_table->GetString(key, nullptr)) return text;
    }
    std::vector<char> text(sizeof TV_MISSING_STRING_FORMAT + (key ? std::strlen(key) : 0));
    std::snprintf(text.data(), text.size(), TV_MISSING_STRING_FORMAT, key ? key : "");
    return text.data();
}

unsigned TvLanguageStringCount() {
    return string_table ? string_table->Count() : 0;
}
