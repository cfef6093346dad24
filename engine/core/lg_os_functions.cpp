// Default file and string routines of the engine instance, over the C library and the
// platform path resolver.
#include "engine/core/lg_os_functions.h"

#include "platform/paths.h"

#include <cstdio>
#include <cstring>

namespace {

FILE* as_file(void* file) {
    return static_cast<FILE*>(file);
}

void* file_open(const char* path, const char* mode) {
    if (path == nullptr || mode == nullptr) return nullptr;
    return platform::open_file(path, mode);
}
int32_t file_close(void* file) {
    return std::fclose(as_file(file));
}
size_t file_read(void* buffer, size_t size, size_t count, void* file) {
    return std::fread(buffer, size, count, as_file(file));
}
size_t file_write(const void* buffer, size_t size, size_t count, void* file) {
    return std::fwrite(buffer, size, count, as_file(file));
}
char* file_read_line(char* buffer, int32_t size, void* file) {
    return std::fgets(buffer, size, as_file(file));
}
int32_t file_write_string(const char* text, void* file) {
    return std::fputs(text, as_file(file));
}
int32_t file_at_end(void* file) {
    return std::feof(as_file(file));
}
int32_t file_seek(void* file, long offset, int32_t origin) {
    return std::fseek(as_file(file), offset, origin);
}
int32_t file_flush(void* file) {
    return std::fflush(as_file(file));
}

int32_t str_format(char* buffer, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int32_t n = std::vsprintf(buffer, format, args);
    va_end(args);
    return n;
}
int32_t str_format_list(char* buffer, const char* format, va_list args) {
    return std::vsprintf(buffer, format, args);
}
char* str_copy(char* dst, const char* src) {
    return std::strcpy(dst, src);
}
char* str_copy_bounded(char* dst, const char* src, size_t n) {
    return std::strncpy(dst, src, n);
}
char* str_append(char* dst, const char* src) {
    return std::strcat(dst, src);
}
char* str_append_bounded(char* dst, const char* src, size_t n) {
    return std::strncat(dst, src, n);
}
char* str_find_substring(const char* text, const char* sub) {
    return const_cast<char*>(std::strstr(text, sub));
}
int32_t str_compare(const char* a, const char* b) {
    return std::strcmp(a, b);
}
size_t str_length(const char* text) {
    return std::strlen(text);
}
char* str_tokenise(char* text, const char* delimiters) {
    return std::strtok(text, delimiters);
}
int32_t str_scan(const char* text, const char* format, ...) {
    va_list args;
    va_start(args, format);
    const int32_t n = std::vsscanf(text, format, args);
    va_end(args);
    return n;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

} // namespace

int32_t LgFileExists(const char* path) {
    void* file = file_open(path, "rb");
    if (file == nullptr) return 0;
    file_close(file);
    return 1;
}

int32_t LgStrICmp(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return 0;
    for (;; ++a, ++b) {
        const int32_t ca = static_cast<unsigned char>(lower(*a));
        const int32_t cb = static_cast<unsigned char>(lower(*b));
        if (ca != cb || ca == 0) return ca - cb;
    }
}

char* LgStrRChr(const char* text, int32_t c) {
    const char* found = nullptr;
    const char wanted = static_cast<char>(c);
    for (;; ++text) {
        if (*text == wanted) found = text;
        if (*text == '\0') break;
    }
    return const_cast<char*>(found);
}

char* LgStrChr(const char* text, int32_t c) {
    const char wanted = static_cast<char>(c);
    for (;; ++text) {
        if (*text == wanted) return const_cast<char*>(text);
        if (*text == '\0') return nullptr;
    }
}

char* LgStrUpr(char* text) {
    for (char* p = text; *p != '\0'; ++p) *p = upper(*p);
    return text;
}

char* LgStrLwr(char* text) {
    for (char* p = text; *p != '\0'; ++p) *p = lower(*p);
    return text;
}

int32_t LgD3DInstallFileFunctions(LgFileFunctions* table) {
    table->exists = LgFileExists;
    table->open = file_open;
    table->close = file_close;
    table->read = file_read;
    table->write = file_write;
    table->readLine = file_read_line;
    table->writeString = file_write_string;
    table->atEnd = file_at_end;
    table->seek = file_seek;
    table->flush = file_flush;
    return 1;
}

int32_t LgD3DInstallStringFunctions(LgStringFunctions* table) {
    table->format = str_format;
    table->formatList = str_format_list;
    table->copy = str_copy;
    table->copyBounded = str_copy_bounded;
    table->append = str_append;
    table->appendBounded = str_append_bounded;
    table->findLast = LgStrRChr;
    table->findFirst = LgStrChr;
    table->findSubstring = str_find_substring;
    table->compare = str_compare;
    table->compareNoCase = LgStrICmp;
    table->length = str_length;
    table->toUpper = LgStrUpr;
    table->toLower = LgStrLwr;
    table->tokenise = str_tokenise;
    table->scan = str_scan;
    return 1;
}
