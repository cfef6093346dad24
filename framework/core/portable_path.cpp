// Path form conversions.
#include "framework/core/portable_path.h"

#include <cctype>
#include <cstring>
#include <string_view>

namespace {

constexpr std::string_view drive_prefix = "/dev/drive-";

// Builds a path in a bounded buffer; any overflow makes the whole result fail.
class PathWriter {
public:
    PathWriter(char* out, uint32_t size) : out_(out), size_(size) {
        if (out_ && size_) out_[0] = '\0';
    }
    void put(char c) {
        if (length_ + 1 >= size_) {
            overflow_ = true;
            return;
        }
        out_[length_++] = c;
    }
    void put_text(std::string_view text) {
        for (char c : text) put(c);
    }
    // Copies `text`, turning `from` into `to`.
    void put_mapped(std::string_view text, char from, char to) {
        for (char c : text) put(c == from ? to : c);
    }
    OmResult finish() {
        if (!out_ || !size_) return OM_E_FAIL;
        if (overflow_) {
            out_[0] = '\0';
            return OM_E_FAIL;
        }
        out_[length_] = '\0';
        return OM_S_OK;
    }

private:
    char* out_;
    uint32_t size_;
    uint32_t length_ = 0;
    bool overflow_ = false;
};

} // namespace

OmResult OmNativeToPortablePath(const char* native, char* out, uint32_t size) {
    PathWriter w(out, size);
    if (!native) return OM_E_FAIL;
    std::string_view path = native;
    size_t colon = path.find(':');
    if (colon == std::string_view::npos) {
        w.put_mapped(path, '\\', '/');
        return w.finish();
    }
    if (colon == 0 || colon + 1 >= path.size() || path[colon + 1] != '\\') {
        w.finish();
        return OM_E_FAIL;
    }
    w.put_text(drive_prefix);
    w.put(char(std::tolower(static_cast<unsigned char>(path[0]))));
    w.put_mapped(path.substr(colon + 1), '\\', '/');
    return w.finish();
}

OmResult OmPortableToNativePath(const char* portable, char* out, uint32_t size) {
    PathWriter w(out, size);
    if (!portable) return OM_E_FAIL;
    std::string_view path = portable;
    if (!path.starts_with(drive_prefix)) {
        w.put_mapped(path, '/', '\\');
        return w.finish();
    }
    std::string_view rest = path.substr(drive_prefix.size());
    if (rest.size() < 2) {
        w.finish();
        return OM_E_FAIL;
    }
    w.put(rest[0]);
    w.put(':');
    w.put_mapped(rest.substr(1), '/', '\\');
    return w.finish();
}

OmResult OmPathGetDirectory(const char* portable, char* out, uint32_t size) {
    PathWriter w(out, size);
    if (!portable) return OM_E_FAIL;
    size_t end = 0;
    bool quoted = false;
    for (size_t i = 0; portable[i]; ++i) {
        if (portable[i] == '"')
            quoted = !quoted;
        else if (portable[i] == '/' && !quoted)
            end = i + 1;
    }
    if (!end) {
        w.finish();
        return OM_E_FAIL;
    }
    w.put_text(std::string_view(portable, end));
    return w.finish();
}
