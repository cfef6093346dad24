// Path classification.
#include "engine/core/lg_path.h"

int32_t LgPathIsAbsolute(const char* path) {
    if (path == nullptr) return 0;
    if (path[0] == '\\') return 1;
    const char c = path[0];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    return letter && path[1] == ':';
}
