// The shared storage object of the data-file harnesses: every storage the code makes through
// CLSID_Storage, CLSID_FileStorage or CLSID_Win32Storage opens its paths in one map in memory.
// Files written are kept as the streams the writer wrote to and read back from them, so
// writer/reader round trips need no disk. `reset` empties the map between inputs.
#pragma once

#include "framework/core/class_factory.h"
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/io/memory_stream.h"
#include "framework/platform/file_storage.h"
#include "fuzz/framework_harness.h"

#include <map>
#include <span>
#include <string>
#include <string_view>

namespace fuzzing {

inline constexpr GUID CLSID_FuzzSharedStorage = om_guid("3B8F6C2E-51A4-4E07-9D1B-7A2C5E9F0B64");

// Backslashes read as slashes, letters in either case name the same file and a leading "./"
// is dropped, as the disk storage does.
inline std::string storage_key(std::string_view path) {
    std::string key(path);
    for (char& c : key) {
        if (c == '\\') c = '/';
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    }
    while (key.rfind("./", 0) == 0) key.erase(0, 2);
    return key;
}

struct SharedFiles {
    std::map<std::string, std::string> files;
    std::map<std::string, ComRef<IByteStream>> written;

    void reset() {
        files.clear();
        written.clear();
    }
    void put(const std::string& path, std::span<const uint8_t> bytes) {
        const std::string key = storage_key(path);
        written.erase(key);
        files[key].assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    void put(const std::string& path, std::string_view text) {
        const std::string key = storage_key(path);
        written.erase(key);
        files[key] = std::string(text);
    }
    // Whether a file is at the path (written or put).
    bool has(const std::string& path) const {
        const std::string key = storage_key(path);
        return written.count(key) != 0 || files.count(key) != 0;
    }
    // The bytes at a path (written or put); false when there is no such file.
    bool get(const std::string& path, std::string& out) const {
        const std::string key = storage_key(path);
        if (auto w = written.find(key); w != written.end()) {
            out = bytes_of(w->second.get());
            return true;
        }
        auto f = files.find(key);
        if (f == files.end()) return false;
        out = f->second;
        return true;
    }
};

inline SharedFiles& shared_files() {
    static SharedFiles files;
    return files;
}

class SharedMemoryStorage final : public OmObject<SharedMemoryStorage, IFileStorage> {
    static bool matches(const char* glob, const char* name) {
        if (*glob == '\0') return *name == '\0';
        if (*glob == '*') return matches(glob + 1, name) || (*name && matches(glob, name + 1));
        return *name && (*glob == '?' || *glob == *name) && matches(glob + 1, name + 1);
    }

public:
    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFileStorage, this}});
    }
    OmResult Open(const char* path, uint32_t mode, uint32_t, IByteStream** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!path) return OM_E_FAIL;
        const std::string key = storage_key(path);
        SharedFiles& shared = shared_files();
        ComRef<IByteStream> stream;
        OmResult r = OmNewMemoryStream(stream.put());
        if (r < 0) return r;
        std::string bytes;
        const bool exists = shared.get(key, bytes);
        if (mode == OM_OPEN_READ) {
            if (!exists) return OM_E_FAIL;
        } else if (mode == OM_OPEN_WRITE) {
            bytes.clear();
        } else if (mode != OM_OPEN_APPEND) {
            return OM_E_FAIL;
        }
        if (!bytes.empty()) stream->Write(bytes.data(), uint32_t(bytes.size()), nullptr);
        stream->Seek(0, mode == OM_OPEN_READ ? OM_SEEK_START : OM_SEEK_END, nullptr);
        if (mode != OM_OPEN_READ) {
            shared.files.erase(key);
            shared.written[key] = stream;
        }
        *out = stream.detach();
        return OM_S_OK;
    }
    OmResult Rename(const char* from, const char* to) override {
        if (!from || !to) return OM_E_FAIL;
        std::string bytes;
        SharedFiles& shared = shared_files();
        if (!shared.get(storage_key(from), bytes)) return OM_E_FAIL;
        Delete(from);
        shared.put(storage_key(to), std::string_view(bytes));
        return OM_S_OK;
    }
    OmResult Delete(const char* path) override {
        if (!path) return OM_E_FAIL;
        SharedFiles& shared = shared_files();
        const std::string key = storage_key(path);
        const bool found = shared.files.erase(key) + shared.written.erase(key) > 0;
        return found ? OM_S_OK : OM_E_FAIL;
    }
    OmResult MakeDirectory(const char*) override { return OM_S_OK; }
    OmResult Reserved1(void*, void*) override { return OM_E_FAIL; }
    OmResult Reserved2(void*, void*) override { return OM_E_FAIL; }
    // The files of the pattern's directory whose names match its last component ('*', '?'),
    // by name; directories are not listed.
    OmResult Enumerate(const char* pattern, OmEnumerateCallback callback, void* context) override {
        if (!pattern || !callback) return OM_E_FAIL;
        const std::string key = storage_key(pattern);
        const size_t slash = key.rfind('/');
        const std::string directory = slash == std::string::npos ? "" : key.substr(0, slash + 1);
        const std::string glob = key.substr(directory.size());
        std::map<std::string, bool> names;
        const SharedFiles& shared = shared_files();
        auto note = [&](const std::string& path) {
            if (path.compare(0, directory.size(), directory) != 0) return;
            const std::string name = path.substr(directory.size());
            if (name.find('/') == std::string::npos && matches(glob.c_str(), name.c_str()))
                names[name] = true;
        };
        for (const auto& file : shared.files) note(file.first);
        for (const auto& file : shared.written) note(file.first);
        if (names.empty()) return OM_E_NOTHINGENUMERATED;
        OmResult r = OM_S_OK;
        for (const auto& name : names) {
            r = callback(name.first.c_str(), OM_FILE_NONE, context);
            if (r < 0) return r;
        }
        return r;
    }
    OmResult GetInfo(const char* path, OmFileInfo* out) override {
        if (!path || !out) return OM_E_FAIL;
        std::string bytes;
        if (!shared_files().get(storage_key(path), bytes)) return OM_E_FAIL;
        *out = {OM_FILE_REGULAR, uint32_t(bytes.size())};
        return OM_S_OK;
    }
};

inline const OmClassRecord shared_storage_classes[] = {{&CLSID_FuzzSharedStorage, nullptr, nullptr,
                                                        OmCreateComponent<SharedMemoryStorage>,
                                                        "FuzzSharedStorage"}};

inline OmResult shared_storage_class_object(const GUID& clsid, const GUID& iid, void** out) {
    return OmGetClassObjectFromTable(shared_storage_classes, 1, clsid, iid, out);
}

// Makes CLSID_Storage and the disk storage classes open the shared map (after the storage modules
// are registered).
inline void use_shared_storage() {
    require(OmRegisterClassTable(shared_storage_classes, 1, shared_storage_class_object,
                                 OmGetObjectManager()) >= 0,
            "the shared storage is registered");
    require(OmSetTreatAsClass(CLSID_Storage, &CLSID_FuzzSharedStorage) >= 0 &&
                OmSetTreatAsClass(CLSID_FileStorage, &CLSID_FuzzSharedStorage) >= 0 &&
                OmSetTreatAsClass(CLSID_Win32Storage, &CLSID_FuzzSharedStorage) >= 0,
            "the storage is the shared one");
}

} // namespace fuzzing
