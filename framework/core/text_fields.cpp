// Field and token splitting.
#include "framework/core/text_fields.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr char double_quote = '"';

// The end of the field that starts at `p`: its separator or the NUL.
const char* field_end(const char* p, char separator, char quote) {
    bool quoted = false;
    for (; *p; ++p) {
        if (*p == quote)
            quoted = !quoted;
        else if (*p == separator && !quoted)
            break;
    }
    return p;
}

const char* skip_separators(const char* p, char separator) {
    while (*p && *p == separator) ++p;
    return p;
}

OmResult copy_cut(const char* start, uint32_t length, char* buffer, uint32_t size) {
    if (!start || !buffer || !size) return OM_E_FAIL;
    length = std::min(length, size - 1);
    std::memcpy(buffer, start, length);
    buffer[length] = '\0';
    return OM_S_OK;
}

} // namespace

uint32_t OmFieldLength(const char* string, char separator, char quote) {
    if (!string) return 0;
    return uint32_t(field_end(string, separator, quote) - string);
}

uint32_t OmCountFieldsQuoted(const char* string, char separator, char quote) {
    if (!string) return 0;
    uint32_t count = 1;
    for (const char* p = field_end(string, separator, quote); *p;
         p = field_end(p + 1, separator, quote))
        ++count;
    return count;
}

uint32_t OmCountFields(const char* string, char separator) {
    return OmCountFieldsQuoted(string, separator, double_quote);
}

const char* OmFindField(const char* string, char separator, char quote, uint32_t index) {
    if (!string) return nullptr;
    const char* p = string;
    for (; index; --index) {
        p = field_end(p, separator, quote);
        if (!*p) return nullptr;
        ++p;
    }
    return p;
}

OmResult OmGetFieldQuoted(const char* string, char separator, char quote, uint32_t index,
                          char* buffer, uint32_t size) {
    const char* field = OmFindField(string, separator, quote, index);
    if (!field) return OM_E_FAIL;
    return copy_cut(field, OmFieldLength(field, separator, quote), buffer, size);
}

OmResult OmGetField(const char* string, char separator, uint32_t index, char* buffer,
                    uint32_t size) {
    return OmGetFieldQuoted(string, separator, double_quote, index, buffer, size);
}

uint32_t OmCountTokensQuoted(const char* string, char separator, char quote) {
    if (!string) return 0;
    uint32_t count = 0;
    for (const char* p = skip_separators(string, separator); *p;
         p = skip_separators(field_end(p, separator, quote), separator))
        ++count;
    return count;
}

uint32_t OmCountTokens(const char* string, char separator) {
    return OmCountTokensQuoted(string, separator, double_quote);
}

const char* OmFindToken(const char* string, char separator, char quote, uint32_t index) {
    if (!string) return nullptr;
    const char* p = skip_separators(string, separator);
    for (; *p && index; --index) p = skip_separators(field_end(p, separator, quote), separator);
    return *p ? p : nullptr;
}

OmResult OmGetTokenQuoted(const char* string, char separator, char quote, uint32_t index,
                          char* buffer, uint32_t size) {
    const char* token = OmFindToken(string, separator, quote, index);
    if (!token) return OM_E_FAIL;
    return copy_cut(token, OmFieldLength(token, separator, quote), buffer, size);
}

OmResult OmGetToken(const char* string, char separator, uint32_t index, char* buffer,
                    uint32_t size) {
    return OmGetTokenQuoted(string, separator, double_quote, index, buffer, size);
}

uint32_t OmCountWords(const char* string) {
    return OmCountTokensQuoted(string, ' ', double_quote);
}

OmResult OmGetWord(const char* string, uint32_t index, char* buffer, uint32_t size) {
    return OmGetTokenQuoted(string, ' ', double_quote, index, buffer, size);
}
