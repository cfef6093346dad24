// Wildcard matching with one-star backtracking (linear for patterns with few stars).
#include "framework/platform/wildcard_match.h"

#include <cctype>
#include <cstring>
#include <string>

namespace {

bool same_letter(char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) ==
           std::tolower(static_cast<unsigned char>(b));
}

bool match(const char* p, const char* n) {
    const char* star = nullptr;
    const char* resume = nullptr;
    while (*n) {
        if (*p == '*') {
            star = p++;
            resume = n;
        } else if (*p && (*p == '?' || same_letter(*p, *n))) {
            ++p;
            ++n;
        } else if (star) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (*p == '*') ++p;
    return !*p;
}

} // namespace

bool om_wildcard_match(const char* pattern, const char* name) {
    if (match(pattern, name)) return true;
    size_t length = std::strlen(pattern);
    if (length >= 2 && std::strcmp(pattern + length - 2, ".*") == 0 && !std::strchr(name, '.'))
        return match(std::string(pattern, length - 2).c_str(), name);
    return false;
}
