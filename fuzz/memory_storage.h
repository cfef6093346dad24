// A file storage in memory for the harnesses whose readers open further files by path: files
// by exact path, read-only; every other operation fails as on a missing file.
#pragma once

#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/io/memory_stream.h"
#include "framework/platform/file_storage.h"
#include "fuzz/fuzz_support.h"

#include <map>
#include <span>
#include <string>

namespace fuzzing {

class MemoryStorage final : public OmObject<MemoryStorage, IFileStorage> {
public:
    static ComRef<MemoryStorage> make() {
        MemoryStorage* storage = nullptr;
        require(om_new_component(&storage) >= 0, "a memory storage is made");
        return ComRef<MemoryStorage>::adopt(storage);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IFileStorage, this}});
    }
    OmResult Open(const char* path, uint32_t mode, uint32_t, IByteStream** out) override {
        if (!out) return OM_E_FAIL;
        *out = nullptr;
        if (!path || mode != OM_OPEN_READ) return OM_E_FAIL;
        auto file = files.find(path);
        if (file == files.end()) return OM_E_FAIL;
        ComRef<IByteStream> stream;
        OmResult r = OmNewMemoryStream(stream.put());
        if (r < 0) return r;
        if (!file->second.empty())
            stream->Write(file->second.data(), uint32_t(file->second.size()), nullptr);
        stream->Seek(0, OM_SEEK_START, nullptr);
        *out = stream.detach();
        return OM_S_OK;
    }
    OmResult Rename(const char*, const char*) override { return OM_E_FAIL; }
    OmResult Delete(const char*) override { return OM_E_FAIL; }
    OmResult MakeDirectory(const char*) override { return OM_E_FAIL; }
    OmResult Reserved1(void*, void*) override { return OM_E_FAIL; }
    OmResult Reserved2(void*, void*) override { return OM_E_FAIL; }
    OmResult Enumerate(const char*, OmEnumerateCallback, void*) override { return OM_E_FAIL; }
    OmResult GetInfo(const char* path, OmFileInfo* out) override {
        if (!path || !out) return OM_E_FAIL;
        auto file = files.find(path);
        if (file == files.end()) return OM_E_FAIL;
        *out = {OM_FILE_REGULAR, uint32_t(file->second.size())};
        return OM_S_OK;
    }

    void put(const std::string& path, std::span<const uint8_t> bytes) {
        files[path].assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    std::map<std::string, std::string> files;
};

} // namespace fuzzing
