// Win32InetStream: a document fetched through the platform's internet-file service. Setting
// the file name opens scheme://host/path/file; reads take the body as it arrives.
#include "framework/core/component.h"
#include "net/web/url_fields.h"
#include "net/web/url_parts.h"
#include "platform/inet/inet.h"

#include <string>

namespace {

// The URL text stays under this many characters.
constexpr size_t urlLimit = 1024;

class Win32InetStream final : public OmObject<Win32InetStream, IOmUrlParts, IByteStream> {
public:
    OmResult init() {
        scheme_.set("http");
        host_.set("localhost");
        path_.set("/");
        file_.set("index.html");
        session_ = platform::InternetOpenA(nullptr, platform::INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                           nullptr, 0);
        return session_ != nullptr ? OM_S_OK : OM_E_FAIL;
    }
    ~Win32InetStream() {
        close_url();
        if (session_ != nullptr) platform::InternetCloseHandle(session_);
    }

    OmResult QueryInterface(const GUID& iid, void** out) override {
        return om_query_interface(iid, out,
                                  {{&IID_IOmUrlParts, static_cast<IOmUrlParts*>(this)},
                                   {&IID_IByteStream, static_cast<IByteStream*>(this)}});
    }

    OmResult SetPart(uint32_t id, const char* text) override {
        if (text == nullptr) return OM_E_FAIL;
        switch (id) {
        case OM_PART_HOST: return host_.set(text);
        case OM_PART_PATH:
            if (std::strlen(text) > OM_URL_PATH_MAX) return OM_E_FAIL;
            return path_.set(omweb::normalised_path(text));
        case OM_PART_RELOAD:
            if (text[0] != 0)
                flags_ |= platform::INTERNET_FLAG_RELOAD;
            else
                flags_ &= ~platform::INTERNET_FLAG_RELOAD;
            return OM_S_OK;
        case OM_PART_SCHEME: return scheme_.set(text);
        case OM_PART_FILE: return open(text);
        default: return OM_E_FAIL;
        }
    }

    OmResult GetPart(uint32_t id, char* buffer, uint32_t size) override {
        switch (id) {
        case OM_PART_HOST: return omweb::copy_out(host_.text, buffer, size);
        case OM_PART_PATH: return omweb::copy_out(path_.text, buffer, size);
        case OM_PART_FILE: return omweb::copy_out(file_.text, buffer, size);
        case OM_PART_RELOAD:
            if (buffer == nullptr || size < 1) return OM_E_FAIL;
            buffer[0] = (flags_ & platform::INTERNET_FLAG_RELOAD) != 0 ? 1 : 0;
            return OM_S_OK;
        case OM_PART_SCHEME: return omweb::copy_out(scheme_.text, buffer, size);
        default: return OM_E_FAIL;
        }
    }

    // The end of the data (nothing read) closes the URL and ends the stream.
    OmResult Read(void* buffer, uint32_t count, uint32_t* done) override {
        if (url_ == nullptr) return OM_E_FAIL;
        if (count == 0) {
            if (done) *done = 0;
            return OM_S_OK;
        }
        uint32_t got = 0;
        if (!platform::InternetReadFile(url_, buffer, count, &got)) {
            close_url();
            return OM_E_FAIL;
        }
        if (done) *done = got;
        if (got != 0) return OM_S_OK;
        close_url();
        return OM_E_STREAMENDED;
    }

    OmResult Write(const void*, uint32_t, uint32_t*) override { return OM_E_FAIL; }
    OmResult Seek(int32_t, uint32_t, uint32_t*) override { return OM_E_FAIL; }

private:
    OmResult open(const char* file) {
        if (file_.set(file) < 0) return OM_E_FAIL;
        close_url();
        const std::string url =
            std::string(scheme_.text) + "://" + host_.text + path_.text + file_.text;
        if (url.size() >= urlLimit) return OM_E_FAIL;
        url_ = platform::InternetOpenUrlA(session_, url.c_str(), nullptr, 0, flags_, 0);
        if (url_ != nullptr) return OM_S_OK;
        return platform::InternetGetLastError() == platform::ERROR_FILE_NOT_FOUND ? OM_E_NODOCUMENT
                                                                                  : OM_E_FAIL;
    }

    void close_url() {
        if (url_ != nullptr) platform::InternetCloseHandle(url_);
        url_ = nullptr;
    }

    platform::HINTERNET session_ = nullptr;
    platform::HINTERNET url_ = nullptr;
    uint32_t flags_ = 0;
    omweb::Field<OM_URL_SCHEME_MAX> scheme_;
    omweb::Field<OM_URL_HOST_MAX> host_;
    omweb::Field<OM_URL_PATH_MAX> path_;
    omweb::Field<OM_URL_FILE_MAX> file_;
};

const GUID* const categories[] = {&CATID_OrmicHttpTP, nullptr};

const OmClassRecord classes[] = {{&CLSID_Win32InetStream, categories, nullptr,
                                  OmCreateComponent<Win32InetStream>, "Win32InetStream"}};

} // namespace

OM_DEFINE_MODULE(Win32InetStream, classes)
