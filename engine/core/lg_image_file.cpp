// Image file formats by extension and the image search path: registering readers, finding
// files and reading images.
#include "engine/core/lg_error.h"
#include "engine/core/lg_free_list.h"
#include "engine/core/lg_image.h"

#include <cstring>

namespace {

const LgMemoryFunctions& memory() {
    return LgEngineInstancePtr->memoryFunctions;
}

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// The extension of a file name: from the last '.' after the last ':', '/' or '\'.
const char* extension_of(const char* name) {
    const char* dot = nullptr;
    for (const char* p = name; *p != '\0'; ++p) {
        if (*p == ':' || *p == '/' || *p == '\\')
            dot = nullptr;
        else if (*p == '.')
            dot = p;
    }
    return dot;
}

LgImageFileFormat* find_format(LgImageSlice* s, const char* extension) {
    if (extension == nullptr) return nullptr;
    for (LgImageFileFormat* f = s->formats; f != nullptr; f = f->next)
        if (std::strcmp(f->lowerCase, extension) == 0 || std::strcmp(f->upperCase, extension) == 0)
            return f;
    return nullptr;
}

bool is_absolute(const char* name) {
    return name[0] == '/' || name[0] == '\\' || (name[0] != '\0' && name[1] == ':');
}

// Grows a module buffer to hold at least `needed` bytes.
bool reserve(char*& buffer, int32_t& size, size_t needed) {
    if (needed <= static_cast<size_t>(size)) return true;
    if (needed > 0x7fffffff) return false;
    auto* grown = static_cast<char*>(memory().realloc(buffer, needed));
    if (grown == nullptr) {
        LgErrorRaise(LgErrorGroupCore, LgErrOutOfMemory);
        return false;
    }
    buffer = grown;
    size = static_cast<int32_t>(needed);
    return true;
}

// Builds prefix + name + suffix in the module's scratch buffer; null without memory.
const char* candidate(LgImageSlice* s, const char* prefix, size_t prefixLength, const char* name,
                      const char* suffix) {
    const size_t nameLength = std::strlen(name);
    const size_t suffixLength = std::strlen(suffix);
    if (!reserve(s->scratch, s->scratchSize, prefixLength + nameLength + suffixLength + 1))
        return nullptr;
    std::memcpy(s->scratch, prefix, prefixLength);
    std::memcpy(s->scratch + prefixLength, name, nameLength);
    std::memcpy(s->scratch + prefixLength + nameLength, suffix, suffixLength + 1);
    return s->scratch;
}

// Calls visit(directory, length) for each directory of the search path (one empty directory
// when the name is absolute or the path is empty) until it returns true.
template <typename Visit>
bool walk_path(const LgImageSlice* s, const char* name, Visit visit) {
    if (is_absolute(name) || s->path[0] == '\0') return visit("", size_t{0});
    for (const char* dir = s->path;;) {
        const char* end = std::strchr(dir, ';');
        const size_t length = end != nullptr ? static_cast<size_t>(end - dir) : std::strlen(dir);
        if (visit(dir, length)) return true;
        if (end == nullptr) return false;
        dir = end + 1;
    }
}

bool exists(const char* path) {
    return LgEngineInstancePtr->fileFunctions.exists(path) != 0;
}

} // namespace

const char* LgImageSetPath(const char* path) {
    LgImageSlice* s = LgImageModuleSlice();
    if (s == nullptr) return nullptr;
    const char* text = path != nullptr ? path : "";
    const size_t length = std::strlen(text);
    // The caller may hand back the module's own buffer; copy through a move.
    if (text != s->path && !reserve(s->path, s->pathSize, length + 1)) return nullptr;
    std::memmove(s->path, text, length + 1);
    return s->path;
}

const char* LgImageGetPath() {
    const LgImageSlice* s = LgImageModuleSlice();
    return s != nullptr ? s->path : nullptr;
}

int32_t LgImageRegisterFileFormat(const char* extension, LgImageReadFunc reader,
                                  LgImageWriteFunc writer) {
    LgImageSlice* s = LgImageModuleSlice();
    if (s == nullptr || extension == nullptr) return 0;
    if (extension[0] == '.') ++extension;
    const size_t length = std::strlen(extension);
    if (length == 0 || length > static_cast<size_t>(LgImageExtensionMax)) {
        LgErrorRaise(LgErrorGroupCore, LgErrInvalidArgument);
        return 0;
    }
    char lowerCase[LgImageExtensionMax + 2] = {'.'};
    char upperCase[LgImageExtensionMax + 2] = {'.'};
    for (size_t i = 0; i < length; ++i) {
        lowerCase[i + 1] = lower(extension[i]);
        upperCase[i + 1] = upper(extension[i]);
    }
    LgImageFileFormat* format = nullptr;
    for (LgImageFileFormat* f = s->formats; f != nullptr; f = f->next)
        if (std::strcmp(f->lowerCase, lowerCase) == 0) format = f;
    if (format == nullptr) {
        format = static_cast<LgImageFileFormat*>(LgFreeListTake(s->formatList));
        if (format == nullptr) return 0;
        std::memset(static_cast<void*>(format), 0, sizeof(LgImageFileFormat));
        std::memcpy(format->lowerCase, lowerCase, sizeof(lowerCase));
        std::memcpy(format->upperCase, upperCase, sizeof(upperCase));
        format->next = s->formats;
        s->formats = format;
    }
    if (reader != nullptr) format->reader = reader;
    if (writer != nullptr) format->writer = writer;
    return 1;
}

LgImage* LgImageRead(const char* name) {
    LgImageSlice* s = LgImageModuleSlice();
    if (s == nullptr || name == nullptr) return nullptr;
    const LgImageFileFormat* format = find_format(s, extension_of(name));
    if (format == nullptr || format->reader == nullptr) return nullptr;
    LgImage* image = nullptr;
    bool found = false;
    walk_path(s, name, [&](const char* dir, size_t length) {
        const char* path = candidate(s, dir, length, name, "");
        if (path == nullptr || !exists(path)) return false;
        found = true;
        image = format->reader(path);
        return image != nullptr;
    });
    if (!found) LgErrorRaise(LgErrorGroupCore, LgErrFileNotFound);
    return image;
}

const char* LgImageFindFile(const char* name) {
    LgImageSlice* s = LgImageModuleSlice();
    if (s == nullptr || name == nullptr) return nullptr;
    auto exists_with = [&](const char* dir, size_t length, const char* suffix) {
        const char* path = candidate(s, dir, length, name, suffix);
        return path != nullptr && exists(path);
    };
    // Game data names some images with their extension already.
    if (find_format(s, extension_of(name)) != nullptr &&
        walk_path(s, name,
                  [&](const char* dir, size_t length) { return exists_with(dir, length, ""); }))
        return "";
    const char* found = nullptr;
    walk_path(s, name, [&](const char* dir, size_t length) {
        for (const LgImageFileFormat* f = s->formats; f != nullptr; f = f->next) {
            if (exists_with(dir, length, f->lowerCase))
                found = f->lowerCase;
            else if (exists_with(dir, length, f->upperCase))
                found = f->upperCase;
            if (found != nullptr) return true;
        }
        return false;
    });
    return found;
}
