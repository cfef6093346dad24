// Win32Storage: the file-system service. Portable paths become native ones and then paths of
// this machine through the platform's resolver (drive roots, '\', case-insensitive names).
#include "framework/platform/file_storage.h"

#include "framework/core/portable_path.h"
#include "framework/core/static_state.h"
#include "framework/platform/file_stream.h"
#include "framework/platform/wildcard_match.h"
#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <vector>

namespace {

// The machine path of a portable path, through its native form.
OmResult resolve(const char* portable, char (&native)[OM_MAX_PATH], std::string& resolved) {
    OmResult r = OmPortableToNativePath(portable, native, OM_MAX_PATH);
    if (r < 0) return r;
    resolved = platform::resolve_path(native);
    return OM_S_OK;
}

OmResult resolve(const char* portable, std::string& resolved) {
    char native[OM_MAX_PATH];
    return resolve(portable, native, resolved);
}

// Resolves a path and reads its status: the conversion's failure, or OM_E_FAIL when the path
// cannot be examined.
OmResult examine(const char* portable, std::string& resolved, struct stat& st) {
    OmResult r = resolve(portable, resolved);
    if (r < 0) return r;
    return ::stat(resolved.c_str(), &st) == 0 ? OM_S_OK : OM_E_FAIL;
}

bool is_dot_entry(const std::string& name) {
    return name == "." || name == "..";
}

// "." and ".." first, then by name ignoring case, then byte order.
bool listed_before(const std::string& a, const std::string& b) {
    if (is_dot_entry(a) != is_dot_entry(b)) return is_dot_entry(a);
    int c = strcasecmp(a.c_str(), b.c_str());
    return c ? c < 0 : a < b;
}

class Win32Storage final : public OmObject<Win32Storage, IFileStorage> {
public:
    static Win32Storage* instance;

    ~Win32Storage() { instance = nullptr; }

    static OmResult Create(IUnknown* outer, IUnknown** out) {
        return OmCreateSingleton(instance, outer, out);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFileStorage, this}});
    }

    OmResult Open(const char* path, uint32_t mode, uint32_t kind, IByteStream** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (mode < OM_OPEN_READ || mode > OM_OPEN_APPEND || kind < OM_OPEN_BINARY ||
            kind > OM_OPEN_TEXT)
            return OM_E_FAIL;
        char native[OM_MAX_PATH];
        std::string resolved;
        OmResult r = resolve(path, native, resolved);
        if (r < 0) return r;
        return om_open_file_stream(native, resolved.c_str(), mode, kind, out);
    }

    OmResult Rename(const char* old_path, const char* new_path) override {
        std::string old_resolved, new_resolved;
        OmResult r = resolve(old_path, old_resolved);
        if (r >= 0) r = resolve(new_path, new_resolved);
        if (r < 0) return r;
        return std::rename(old_resolved.c_str(), new_resolved.c_str()) == 0 ? OM_S_OK : OM_E_FAIL;
    }

    OmResult Delete(const char* path) override {
        std::string resolved;
        struct stat st;
        OmResult r = examine(path, resolved, st);
        if (r < 0) return r;
        int removed = -1;
        if (S_ISDIR(st.st_mode))
            removed = ::rmdir(resolved.c_str());
        else if (S_ISREG(st.st_mode))
            removed = ::unlink(resolved.c_str());
        return removed == 0 ? OM_S_OK : OM_E_FAIL;
    }

    OmResult MakeDirectory(const char* path) override {
        std::string resolved;
        OmResult r = resolve(path, resolved);
        if (r < 0) return r;
        return ::mkdir(resolved.c_str(), 0777) == 0 ? OM_S_OK : OM_E_FAIL;
    }

    OmResult Reserved1(void*, void*) override { return OM_E_FAIL; }
    OmResult Reserved2(void*, void*) override { return OM_E_FAIL; }

    OmResult Enumerate(const char* pattern, OmEnumerateCallback callback, void* context) override {
        if (!callback) return OM_E_FAIL;
        char native[OM_MAX_PATH];
        OmResult r = OmPortableToNativePath(pattern, native, OM_MAX_PATH);
        if (r < 0) return r;
        // The directory keeps its separator, so that a drive root "c:\" stays a root.
        char* last = std::strrchr(native, '\\');
        std::string directory = last ? std::string(native, size_t(last - native + 1)) : "";
        const char* name_pattern = last ? last + 1 : native;
        std::string resolved = directory.empty() ? "." : platform::resolve_path(directory);

        std::vector<std::string> names;
        if (DIR* d = ::opendir(resolved.c_str())) {
            while (dirent* e = ::readdir(d))
                if (om_wildcard_match(name_pattern, e->d_name)) names.emplace_back(e->d_name);
            ::closedir(d);
        }
        if (names.empty()) return OM_E_NOTHINGENUMERATED;
        std::sort(names.begin(), names.end(), listed_before);

        OmResult last_result = OM_S_OK;
        for (const std::string& name : names) {
            char portable[OM_MAX_PATH];
            if (OmNativeToPortablePath(name.c_str(), portable, OM_MAX_PATH) < 0) continue;
            struct stat st;
            std::string full = resolved + "/" + name;
            uint32_t kind = ::stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
                                ? OM_FILE_DIRECTORY
                                : OM_FILE_NONE;
            last_result = callback(portable, kind, context);
            if (last_result < 0) break;
        }
        return last_result;
    }

    OmResult GetInfo(const char* path, OmFileInfo* out) override {
        if (!out) return OM_E_FAIL;
        std::string resolved;
        struct stat st;
        OmResult r = examine(path, resolved, st);
        if (r < 0) return r;
        if (S_ISDIR(st.st_mode)) {
            *out = {OM_FILE_DIRECTORY, 0};
        } else if (S_ISREG(st.st_mode)) {
            // Sizes beyond 32 bits are reported as the largest 32-bit size.
            *out = {OM_FILE_REGULAR, uint32_t(std::min<off_t>(st.st_size, UINT32_MAX))};
        } else {
            *out = {OM_FILE_NONE, 0};
        }
        return OM_S_OK;
    }
};

Win32Storage* Win32Storage::instance = nullptr;

const OmStaticStateReset reset_instance([] { Win32Storage::instance = nullptr; });

const OmClassRecord classes[] = {
    {&CLSID_Win32Storage, nullptr, nullptr, Win32Storage::Create, "Win32Storage"}};

} // namespace

OM_DEFINE_MODULE(Win32Storage, classes)
