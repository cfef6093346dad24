// In-place string edits.
#include "framework/core/text_edit.h"

#include <cstring>

void OmStringToLower(char* string) {
    if (!string) return;
    for (char* p = string; *p; ++p)
        if (*p >= 'A' && *p <= 'Z') *p = char(*p - 'A' + 'a');
}

void OmStringToUpper(char* string) {
    if (!string) return;
    for (char* p = string; *p; ++p)
        if (*p >= 'a' && *p <= 'z') *p = char(*p - 'a' + 'A');
}

int32_t OmStringReplaceAll(char* string, const char* find, const char* replacement) {
    if (!string || !find || !*find || !replacement) return 0;
    size_t find_length = std::strlen(find), replacement_length = std::strlen(replacement);
    int32_t count = 0;
    for (char* p = std::strstr(string, find); p; p = std::strstr(p, find)) {
        if (find_length != replacement_length)
            std::memmove(p + replacement_length, p + find_length, std::strlen(p + find_length) + 1);
        std::memcpy(p, replacement, replacement_length);
        p += replacement_length;
        ++count;
    }
    return count;
}

void OmStringReplaceChar(char* string, char from, char to) {
    if (!string) return;
    for (char* p = string; *p; ++p)
        if (*p == from) *p = to;
}

void OmStringRemoveChar(char* string, char character) {
    if (!string) return;
    char* out = string;
    for (const char* p = string; *p; ++p)
        if (*p != character) *out++ = *p;
    *out = '\0';
}
