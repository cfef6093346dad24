// File: a local document named by host, path and file name, read and written through the
// storage service; the file opens at the first read or write.
#include "framework/core/class_ids.h"
#include "framework/core/com_ref.h"
#include "framework/core/component.h"
#include "framework/core/object_manager.h"
#include "framework/platform/file_storage.h"
#include "net/web/url_fields.h"
#include "net/web/url_parts.h"

#include <string>

namespace {

class File final : public OmObject<File, IOmUrlParts, IByteStream> {
public:
    OmResult init() { return OmCreate(CLSID_Storage, IID_IFileStorage, storage_.put()); }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IOmUrlParts, static_cast<IOmUrlParts*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)}});
    }

    OmResult SetPart(uint32_t id, const char* text) override {
        file_stream_.reset();
        if (text == nullptr) return OM_E_FAIL;
        switch (id) {
        case OM_PART_HOST: return host_.set(text);
        case OM_PART_PATH: return path_.set(omweb::normalised_path(text));
        case OM_PART_FILE: return file_.set(text);
        default: return OM_E_FAIL;
        }
    }

    OmResult GetPart(uint32_t id, char* buffer, uint32_t size) override {
        switch (id) {
        case OM_PART_HOST: return omweb::copy_out(host_.text, buffer, size);
        case OM_PART_PATH: return omweb::copy_out(path_.text, buffer, size);
        case OM_PART_FILE: return omweb::copy_out(file_.text, buffer, size);
        default: return OM_E_FAIL;
        }
    }

    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        OmResult r = open(OM_OPEN_READ);
        if (r < 0) return r;
        return file_stream_->Read(buffer, count, done);
    }

    OmResult Write(const void* buffer, uint32_t count, uint32_t* done) override {
        OmResult r = open(OM_OPEN_WRITE);
        if (r < 0) return r;
        return file_stream_->Write(buffer, count, done);
    }

    OmResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        if (!file_stream_) return OM_E_FAIL;
        return file_stream_->Seek(offset, origin, position);
    }

private:
    // "//" + host when there is one, then path and file name: a portable path.
    OmResult open(uint32_t mode) {
        if (file_stream_) return OM_S_OK;
        std::string name = host_.text[0] != 0 ? std::string("//") + host_.text : std::string();
        name += path_.text;
        name += file_.text;
        return storage_->Open(name.c_str(), mode, OM_OPEN_BINARY, file_stream_.put());
    }

    ComRef<IFileStorage> storage_;
    ComRef<IByteStream> file_stream_;
    omweb::Field<OM_URL_HOST_MAX> host_;
    omweb::Field<OM_URL_PATH_MAX> path_;
    omweb::Field<OM_URL_FILE_MAX> file_;
};

const OmClassRecord classes[] = {{&CLSID_File, nullptr, nullptr, OmCreateComponent<File>, "File"}};

} // namespace

OM_DEFINE_MODULE(File, classes)
