// INI text parsing: one line at a time, a byte per read, into a property sheet.
#include "framework/containers/property_sheet_load.h"

#include <cstring>

namespace {

bool is_blank(char c) {
    return c == ' ' || c == '\t';
}

uint32_t skip_blanks(const char* line, uint32_t p, uint32_t n) {
    while (p < n && is_blank(line[p])) ++p;
    return p;
}

uint32_t strip_blanks(const char* line, uint32_t start, uint32_t end) {
    while (end > start && is_blank(line[end - 1])) --end;
    return end;
}

// "[ name ] anything": blanks after '[' skipped, blanks before ']' stripped, the rest ignored.
OmResult enter_section(IPropertySheet* sheet, char* line, uint32_t p, uint32_t n) {
    uint32_t start = skip_blanks(line, p + 1, n);
    uint32_t end = start;
    for (; end < n && line[end] != ']'; ++end)
        if (end - start == OM_SHEET_MAX_SECTION_NAME) return OM_E_FAIL;
    if (end == n) return OM_E_FAIL;
    line[strip_blanks(line, start, end)] = '\0';
    const char* name = line + start;
    OmResult r = sheet->UseSection(name);
    if (r < 0) r = sheet->SetSection(name);
    return r;
}

// "key = value": both without surrounding blanks; a line without '=' is a key with "".
OmResult enter_key(IPropertySheet* sheet, char* line, uint32_t p, uint32_t n) {
    uint32_t start = p, end = p;
    while (end < n && line[end] != '=') ++end;
    if (end - start > OM_SHEET_MAX_KEY_NAME) return OM_E_FAIL;
    const char* value = "";
    if (end < n) {
        uint32_t value_start = skip_blanks(line, end + 1, n);
        line[strip_blanks(line, value_start, n)] = '\0';
        value = line + value_start;
    }
    line[strip_blanks(line, start, end)] = '\0';
    return sheet->SetString(line + start, value);
}

} // namespace

OmResult om_load_sheet_text(IPropertySheet* sheet, IByteStream* stream) {
    if (!stream) return OM_E_FAIL;
    char line[OM_SHEET_MAX_LINE + 2];
    for (bool last = false; !last;) {
        uint32_t n = 0;
        for (;;) {
            char c;
            uint32_t got = 0;
            // A stream that delivers nothing without failing (a pipe) is at its end as well.
            if (stream->Read(&c, 1, &got) < 0 || got != 1) {
                last = true;
                break;
            }
            if (c == '\r' || c == '\n') break;
            line[n++] = c;
            if (n > OM_SHEET_MAX_LINE) return OM_E_FAIL;
        }
        // The names and values are C strings: a NUL byte ends the line's text, so that blanks
        // in front of it are stripped like those at the line's end.
        n = uint32_t(strnlen(line, n));
        uint32_t p = skip_blanks(line, 0, n);
        if (p == n || line[p] == '#') continue;
        OmResult r =
            line[p] == '[' ? enter_section(sheet, line, p, n) : enter_key(sheet, line, p, n);
        if (r < 0) return r;
    }
    return OM_S_OK;
}
