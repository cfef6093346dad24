// The URL text functions and the field helpers the web components share.
#include "framework/core/text_fields.h"
#include "net/web/url_fields.h"
#include "net/web/url_parts.h"

namespace {

// The longest host OmUrlGetPath skips.
constexpr size_t pathHostMax = 39;

OmResult copy_span(const char* text, size_t length, char* buffer, uint32_t size) {
    if (buffer == nullptr || size <= length) return OM_E_FAIL;
    std::memcpy(buffer, text, length);
    buffer[length] = 0;
    return OM_S_OK;
}

// Characters up to the first `separator` outside double quotes.
size_t span_to(const char* text, char separator) {
    return OmFieldLength(text, separator, '"');
}

// Past the scheme and its ':' (when a ':' comes before any '/') and the "//" that must follow;
// null when there is no "//".
const char* after_slashes(const char* url) {
    const size_t colon = span_to(url, ':');
    if (url[colon] == ':' && colon < span_to(url, '/')) url += colon + 1;
    if (url[0] != '/' || url[1] != '/') return nullptr;
    return url + 2;
}

} // namespace

namespace omweb {

OmResult copy_out(const char* text, char* buffer, uint32_t size) {
    return copy_span(text, std::strlen(text), buffer, size);
}

std::string normalised_path(const char* text) {
    std::string path = text[0] == '/' ? text : std::string("/") + text;
    if (path.back() != '/') path += '/';
    return path;
}

} // namespace omweb

OmResult OmUrlGetScheme(const char* url, char* buffer, uint32_t size) {
    if (url == nullptr) return OM_E_FAIL;
    const size_t colon = span_to(url, ':');
    return copy_span(url, url[colon] == ':' ? colon : 0, buffer, size);
}

OmResult OmUrlGetHost(const char* url, char* buffer, uint32_t size) {
    if (url == nullptr) return OM_E_FAIL;
    const char* host = after_slashes(url);
    if (host == nullptr) return OM_E_FAIL;
    return copy_span(host, span_to(host, '/'), buffer, size);
}

OmResult OmUrlGetPath(const char* url, char* buffer, uint32_t size) {
    if (url == nullptr) return OM_E_FAIL;
    const char* host = after_slashes(url);
    if (host == nullptr) return OM_E_FAIL;
    const size_t hostLength = span_to(host, '/');
    if (hostLength > pathHostMax) return OM_E_FAIL;
    const char* path = host + hostLength;
    return copy_span(path, span_to(path, '?'), buffer, size);
}

OmResult OmUrlGetFileName(const char* text, char* buffer, uint32_t size) {
    if (text == nullptr) return OM_E_FAIL;
    const uint32_t fields = OmCountFieldsQuoted(text, '/', '"');
    if (fields < 2) return OM_E_FAIL;
    const char* last = OmFindField(text, '/', '"', fields - 1);
    return copy_span(last, std::strlen(last), buffer, size);
}
