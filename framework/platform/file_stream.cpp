// File streams over stdio: its buffer makes the byte-at-a-time reads of text parsers cheap.
#include "framework/platform/file_stream.h"

#include "framework/core/component.h"
#include "framework/core/portable_path.h"
#include "framework/platform/file_storage.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace {

class FileStream final : public OmObject<FileStream, IByteStream> {
public:
    ~FileStream() {
        if (file_) std::fclose(file_);
    }

    OmResult open(const char* native_path, const char* resolved_path, uint32_t mode,
                  uint32_t kind) {
        // Binary and text are the same here.
        static constexpr const char* modes[] = {"rb", "wb", "ab"};
        file_ = std::fopen(resolved_path, modes[mode - 1]);
        if (!file_) return OM_E_FAIL;
        // A directory opens for reading here but is no file to read.
        struct stat st;
        if (::fstat(fileno(file_), &st) != 0 || S_ISDIR(st.st_mode)) return OM_E_FAIL;
        std::snprintf(native_path_, sizeof native_path_, "%s", native_path);
        mode_ = mode;
        kind_ = kind;
        return OM_S_OK;
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out, {{&IID_IByteStream, this}});
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!count) return OM_S_OK;
        if (!buffer) return OM_E_FAIL;
        size_t got;
        if (count == 1) {
            int c = getc_unlocked(file_);
            got = c == EOF ? 0 : 1;
            if (got) *static_cast<uint8_t*>(buffer) = uint8_t(c);
        } else {
            got = fread_unlocked(buffer, 1, count, file_);
        }
        if (done) *done = uint32_t(got);
        if (got == count) return OM_S_OK;
        return feof_unlocked(file_) && !ferror_unlocked(file_) ? OM_E_ENDOFSTREAM : OM_E_FAIL;
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        if (done) *done = 0;
        if (!count) return OM_S_OK;
        if (!buffer) return OM_E_FAIL;
        size_t written = fwrite_unlocked(buffer, 1, count, file_);
        if (done) *done = uint32_t(written);
        return written == count ? OM_S_OK : OM_E_FAIL;
    }

    OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        int whence;
        switch (origin) {
        case OM_SEEK_START: whence = SEEK_SET; break;
        case OM_SEEK_CURRENT: whence = SEEK_CUR; break;
        case OM_SEEK_END: whence = SEEK_END; break;
        default: return OM_E_FAIL;
        }
        if (fseeko(file_, offset, whence) != 0) return OM_E_FAIL;
        if (position) {
            off_t at = ftello(file_);
            if (at < 0 || at > off_t(UINT32_MAX)) return OM_E_FAIL;
            *position = uint32_t(at);
        }
        return OM_S_OK;
    }

private:
    char native_path_[OM_MAX_PATH] = {};
    uint32_t mode_ = 0;
    uint32_t kind_ = 0;
    FILE* file_ = nullptr;
};

} // namespace

OmResult om_open_file_stream(const char* native_path, const char* resolved_path, uint32_t mode,
                             uint32_t kind, IByteStream** out) {
    *out = nullptr;
    if (mode < OM_OPEN_READ || mode > OM_OPEN_APPEND) return OM_E_FAIL;
    FileStream* stream;
    OmResult r = om_new_component(&stream);
    if (r < 0) return r;
    r = stream->open(native_path, resolved_path, mode, kind);
    if (r < 0) {
        stream->Release();
        return r;
    }
    *out = stream;
    return OM_S_OK;
}
