// Settings value conversions over the property sheet.
#include "frontend/settings/settings_values.h"

#include "framework/containers/property_sheet.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

bool read_value(IPropertySheet* sheet, const char* key, std::string* out) {
    const uint32_t length = sheet->GetStringLength(key);
    if (length == 0) {
        // A key with an empty value has length 1; 0 means there is no such key.
        return false;
    }
    std::vector<char> buffer(length);
    if (sheet->GetString(key, buffer.data(), length) < 0) return false;
    out->assign(buffer.data());
    return true;
}

} // namespace

bool TvSettingsGetInt(IPropertySheet* sheet, const char* key, int32_t* value) {
    std::string text;
    if (!read_value(sheet, key, &text)) return false;
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(start, &end, 10);
    if (end == start) return false;
    // Out of range reads as the nearest 32-bit value rather than wrapping.
    if (v > INT32_MAX) v = INT32_MAX;
    if (v < INT32_MIN) v = INT32_MIN;
    *value = int32_t(v);
    return true;
}

bool TvSettingsGetReal(IPropertySheet* sheet, const char* key, float* value) {
    std::string text;
    if (!read_value(sheet, key, &text)) return false;
    const char* start = text.c_str();
    char* end = nullptr;
    const float v = std::strtof(start, &end);
    // "nan", "inf" and numbers beyond a float's range read as numbers, and no setting means
    // them: they would reach sensitivities, volumes and distances.
    if (end == start || !std::isfinite(v)) return false;
    *value = v;
    return true;
}

bool TvSettingsGetText(IPropertySheet* sheet, const char* key, uint32_t limit, std::string* value) {
    std::string text;
    if (!read_value(sheet, key, &text)) return false;
    if (text.size() > limit) text.resize(limit);
    *value = text;
    return true;
}

void TvSettingsSetInt(IPropertySheet* sheet, const char* key, int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    sheet->SetString(key, text);
}

void TvSettingsSetReal(IPropertySheet* sheet, const char* key, float value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", double(value));
    sheet->SetString(key, text);
}

void TvSettingsSetSwitch(IPropertySheet* sheet, const char* key, bool on, bool on_when_missing) {
    if (on)
        sheet->SetString(key, "1");
    else if (on_when_missing)
        sheet->SetString(key, "0");
    else
        sheet->RemoveKey(key);
}
